#pragma once

#include "platform/SoundDevices.h"

namespace cw {

/// The output devices of the desktop's sound server (PulseAudio, or PipeWire's PulseAudio service). A server
/// that does not answer within half a second counts as none, so start-up never hangs on it.
class PulseSoundDevices : public ISoundDevices {
public:
    int outputCount() override;
};

} // namespace cw
