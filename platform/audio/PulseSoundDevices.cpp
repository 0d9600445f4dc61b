#include "platform/audio/PulseSoundDevices.h"

#include "platform/audio/PulseOutput.h"

namespace cw {

int PulseSoundDevices::outputCount() {
    constexpr int kAnswerWithinMs = 500;
    return audio::countOutputDevices(kAnswerWithinMs);
}

} // namespace cw
