// Fuzz target: any bytes as a tagged request spoken by the natural voice: flite's front end, the HTS label
// writer, the HTS engine and the frame-wise vocoder must never crash on what the tags and the text make of
// it, and every event must fall inside the audio and the balloon text.
#include "FuzzSpeech.h"
#include "tts/HtsVoice.h"

#include <cstdint>
#include <cstdlib>

using namespace cw::tts;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const HtsVoice voice;
    if (!HtsVoice::available()) {
        std::abort(); // nothing would be tested
    }
    const QString request = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    test::speakAndCheckEvents(voice, request);
    return 0;
}
