#include "PulseSoundDevices.h"

#include "PulseOutput.h"

namespace cw {

namespace {
constexpr int kAnswerWithinMs = 500;
}

PulseSoundDevices::PulseSoundDevices()
    : firstCount_(std::async(std::launch::async, audio::countOutputDevices, kAnswerWithinMs)) {}

int PulseSoundDevices::outputCount() {
    if (firstCount_.valid()) {
        return firstCount_.get();
    }
    return audio::countOutputDevices(kAnswerWithinMs);
}

} // namespace cw
