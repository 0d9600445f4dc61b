#pragma once

#include "platform/SoundDevices.h"

#include <future>

namespace cw {

namespace audio {
/// How many output devices the PulseAudio server offers; 0 when there is no server or it does not answer
/// within `timeoutMs`. A connection of its own, with a main loop run on the calling thread; any thread.
int countOutputDevices(int timeoutMs);
} // namespace audio

/// The output devices of the desktop's sound server (PulseAudio, or PipeWire's PulseAudio service). A server
/// that does not answer within half a second counts as none, so start-up never hangs on it. The first count
/// starts when the object is made, on a thread of its own, so that start-up's other work overlaps it.
class PulseSoundDevices : public ISoundDevices {
public:
    PulseSoundDevices();
    int outputCount() override;

private:
    std::future<int> firstCount_;
};

} // namespace cw
