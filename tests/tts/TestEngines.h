#pragma once

// Speech engines put together as a program does: a clock, an output, and the engine on them.

#include "core/Clock.h"
#include "platform/audio/PulseOutput.h"
#include "tts/SilentOutput.h"
#include "tts/SpeechEngine.h"

#include <memory>
#include <stdexcept>

namespace cw::tts::test {

/// An engine that speaks silently on the real clock.
struct SilentEngine {
    SystemClock clock;
    SilentOutput output{clock};
    SpeechEngine engine{clock, output};
};

/// An engine that speaks through the sound server named by PULSE_SERVER (or the desktop's), on the real
/// clock.
struct DeviceEngine {
    static std::unique_ptr<audio::PulseOutput> makeOutput() {
        auto output = audio::PulseOutput::create(SpeechEngine::defaultSampleRate());
        if (!output) {
            throw std::runtime_error("no sound server client could be started");
        }
        return output;
    }

    SystemClock clock;
    std::unique_ptr<audio::PulseOutput> output = makeOutput();
    SpeechEngine engine{clock, *output};
};

} // namespace cw::tts::test
