#pragma once

#include "platform/SoundDevices.h"

namespace cw {

/// Sound devices as Qt Multimedia sees them (on Linux: the PulseAudio or PipeWire server's sinks).
class QtSoundDevices : public ISoundDevices {
public:
    int outputCount() override;
};

} // namespace cw
