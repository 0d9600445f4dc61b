#pragma once

namespace cw {

/// The machine's sound output devices.
class ISoundDevices {
public:
    virtual ~ISoundDevices() = default;

    /// How many audio output devices there are now.
    virtual int outputCount() = 0;
};

} // namespace cw
