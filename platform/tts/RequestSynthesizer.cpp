#include "platform/tts/RequestSynthesizer.h"

#include "platform/tts/TextChunks.h"
#include "platform/tts/Whisper.h"

#include <algorithm>

namespace cw::tts {
namespace {

bool hasSomethingToSay(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

/// The whitespace-delimited run of `text` around `at`.
std::pair<int, int> wordAround(const QString& text, int at) {
    int start = at;
    while (start > 0 && !text[start - 1].isSpace()) {
        --start;
    }
    int end = at;
    while (end < text.size() && !text[end].isSpace()) {
        ++end;
    }
    return {start, end};
}

} // namespace

RequestSynthesizer::RequestSynthesizer(const FliteVoice& voice, ParsedRequest request)
    : voice_(voice), request_(std::move(request)) {}

SynthChunk RequestSynthesizer::next() {
    SynthChunk chunk;
    if (atEnd()) {
        return chunk;
    }
    const SpeechPiece& piece = request_.pieces[piece_];
    switch (piece.kind) {
    case SpeechPiece::Kind::Bookmark: {
        TimelineEvent e;
        e.kind = TimelineEvent::Kind::Bookmark;
        e.sample = position_;
        e.mark = piece.value;
        chunk.events << e;
        ++piece_;
        return chunk;
    }
    case SpeechPiece::Kind::Pause: {
        if (mouth_ != Mouth::Closed) {
            TimelineEvent e;
            e.kind = TimelineEvent::Kind::Mouth;
            e.sample = position_;
            e.mouth = Mouth::Closed;
            chunk.events << e;
            mouth_ = Mouth::Closed;
        }
        chunk.samples.assign(std::size_t(qint64(piece.value) * sampleRate() / 1000), 0);
        position_ += qint64(chunk.samples.size());
        ++piece_;
        return chunk;
    }
    case SpeechPiece::Kind::Text:
        break;
    }
    chunk = nextText(piece);
    return chunk;
}

SynthChunk RequestSynthesizer::nextText(const SpeechPiece& piece) {
    SynthChunk chunk;
    const int from = offset_;
    const int to = piece.mapped ? int(piece.spoken.size()) : chunkEnd(piece.spoken, from);
    const bool lastOfPiece = to >= piece.spoken.size();
    const QString text = piece.spoken.mid(from, to - from);

    ChunkTiming timing;
    for (const TextMark& mark : piece.marks) {
        if (mark.offset >= from && (mark.offset < to || lastOfPiece)) {
            timing.marks << mark;
        }
    }

    if (hasSomethingToSay(text)) {
        const SpokenText spoken = spokenForm(text, piece.voice.context);
        Utterance utt = voice_.synthesize(spoken.text, piece.voice);
        characters_ += spoken.text.size();
        qint64 trim = 0;
        if (!audioYet_ && !utt.phones.isEmpty() && utt.phones.front().name == "pau") {
            // Speech starts at once: drop the leading silence of the request's first sound, keeping 5 ms.
            trim = std::max<qint64>(0, utt.phones.front().end - sampleRate() / 200);
            trim = std::min<qint64>(trim, qint64(utt.samples.size()));
            utt.samples.erase(utt.samples.begin(), utt.samples.begin() + trim);
        }
        audioYet_ = audioYet_ || !utt.samples.empty();
        for (auto& phone : utt.phones) {
            timing.phones << ChunkTiming::Phone{phone.name, std::max<qint64>(0, phone.end - trim)};
        }
        int cursor = 0;
        for (const auto& token : utt.tokens) {
            const qint64 start = std::max<qint64>(0, token.start - trim);
            if (piece.mapped) {
                if (timing.words.isEmpty()) {
                    timing.words << ChunkTiming::Word{start, from, piece.balloonStart, piece.balloonLength};
                }
                continue;
            }
            const int found = token.name.isEmpty() ? -1 : int(spoken.text.indexOf(token.name, cursor));
            if (found < 0) {
                continue;
            }
            cursor = found + int(token.name.size());
            const auto [wordStart, wordEnd] = wordAround(text, spoken.origin[found]);
            timing.words << ChunkTiming::Word{start, from + wordStart, piece.balloonStart + from + wordStart,
                                              wordEnd - wordStart};
        }
        if (piece.voice.character == VoiceCharacter::Whisper) {
            utt.samples = whisper(utt.samples, sampleRate());
        }
        applyVolume(utt.samples, piece.voice.volume);
        chunk.samples = std::move(utt.samples);
    }
    if (piece.mapped && timing.words.isEmpty() && piece.balloonLength > 0) {
        timing.words << ChunkTiming::Word{0, from, piece.balloonStart, piece.balloonLength};
    }
    timing.length = qint64(chunk.samples.size());
    chunk.events = chunkTimeline(timing, position_, mouth_);
    position_ += timing.length;
    if (lastOfPiece) {
        offset_ = 0;
        ++piece_;
    } else {
        offset_ = to;
    }
    return chunk;
}

void applyVolume(std::vector<qint16>& samples, int volume) {
    if (volume >= 65535) {
        return;
    }
    const qint64 scale = std::max(volume, 0);
    for (auto& s : samples) {
        s = qint16(qint64(s) * scale / 65535);
    }
}

SynthChunk synthesizeAll(const FliteVoice& voice, const ParsedRequest& request) {
    RequestSynthesizer synth(voice, request);
    SynthChunk all;
    while (!synth.atEnd()) {
        SynthChunk chunk = synth.next();
        all.samples.insert(all.samples.end(), chunk.samples.begin(), chunk.samples.end());
        all.events << chunk.events;
    }
    TimelineEvent end;
    end.kind = TimelineEvent::Kind::End;
    end.sample = synth.position();
    all.events << end;
    return all;
}

} // namespace cw::tts
