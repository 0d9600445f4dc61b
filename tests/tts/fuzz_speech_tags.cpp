// Fuzz target: any bytes as a tagged request. The parser and the text steps after it must never crash, and
// what they produce must stay inside the balloon text.
#include "tts/SpeechTags.h"
#include "tts/TextChunks.h"

#include <cstdint>
#include <cstdlib>

using namespace cw::tts;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString request = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const ParsedRequest parsed = parseSpeechTags(request, VoiceSettings{});
    int next = 0;
    for (const SpeechPiece& piece : parsed.pieces) {
        if (piece.kind != SpeechPiece::Kind::Text) {
            continue;
        }
        if (piece.balloonStart != next || piece.balloonLength < 0 ||
            piece.balloonStart + piece.balloonLength > parsed.balloonText.size()) {
            std::abort();
        }
        next += piece.balloonLength;
        for (int at = 0; at < piece.spoken.size();) {
            const int end = chunkEnd(piece.spoken, at);
            if (end <= at || end > piece.spoken.size()) {
                std::abort();
            }
            const SpokenText spoken = spokenForm(piece.spoken.mid(at, end - at), piece.voice.context);
            if (spoken.origin.size() != spoken.text.size()) {
                std::abort();
            }
            at = end;
        }
    }
    if (next != parsed.balloonText.size()) {
        std::abort();
    }
    return 0;
}
