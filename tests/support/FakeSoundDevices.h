#pragma once

#include "platform/SoundDevices.h"

namespace cw::test {

/// Reports a fixed number of audio outputs and counts how often it was asked.
class FakeSoundDevices : public ISoundDevices {
public:
    explicit FakeSoundDevices(int outputs = 1) : outputs(outputs) {}
    int outputCount() override {
        ++asked;
        return outputs;
    }
    int outputs;
    int asked = 0;
};

} // namespace cw::test
