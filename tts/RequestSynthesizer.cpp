#include "RequestSynthesizer.h"

#include "TextChunks.h"
#include "Whisper.h"

#include <algorithm>

namespace cw::tts {
namespace {

bool hasSomethingToSay(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

/// Whether `text` ends a sentence or a clause, where flite's own pause belongs.
bool endsClause(const QString& text) {
    const QString t = text.trimmed();
    return t.isEmpty() || QStringLiteral(".!?;:,").contains(t.back()) || text.endsWith(u'\n') ||
           (t.size() > 1 && QStringLiteral("\"')").contains(t.back()) &&
            QStringLiteral(".!?;:,").contains(t[t.size() - 2]));
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
        joinNext_ = true; // what follows a pause starts at once
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
        // flite frames every utterance with silence. Speech starts at once, so the first sound of a request
        // loses its leading silence; where a tag or the length limit cut a sentence, or a pause tag stands,
        // the pieces join without the silence flite would put between sentences.
        const qint64 keep = sampleRate() / 200; // 5 ms
        qint64 trim = 0;
        if ((!audioYet_ || joinNext_) && !utt.phones.isEmpty() && utt.phones.front().name == "pau") {
            trim = std::clamp<qint64>(utt.phones.front().end - keep, 0, qint64(utt.samples.size()));
            utt.samples.erase(utt.samples.begin(), utt.samples.begin() + trim);
        }
        if (!audioYet_) {
            // The first phone may open with its own near-silence too (the closure of a "t" or a "p", a murmur
            // under 1 % of full scale): nobody hears it, so the request starts where the sound does, with a
            // moment of lead-in so the cut makes no click.
            constexpr int kInaudible = 328;           // 1 % of full scale, -40 dB
            const qint64 leadIn = sampleRate() / 500; // 2 ms
            const auto firstSound = std::find_if(utt.samples.begin(), utt.samples.end(), [](qint16 sample) {
                return std::abs(int(sample)) > kInaudible;
            });
            const qint64 quiet = std::max<qint64>(0, qint64(firstSound - utt.samples.begin()) - leadIn);
            if (firstSound != utt.samples.end() && quiet > 0) {
                utt.samples.erase(utt.samples.begin(), utt.samples.begin() + quiet);
                trim += quiet;
            }
        }
        const bool beforePause = lastOfPiece && piece_ + 1 < request_.pieces.size() &&
                                 request_.pieces[piece_ + 1].kind == SpeechPiece::Kind::Pause;
        const bool lastOfRequest = lastOfPiece && piece_ + 1 >= request_.pieces.size();
        joinNext_ = beforePause || (!lastOfRequest && !endsClause(text));
        if (joinNext_ && utt.phones.size() > 1 && utt.phones.back().name == "pau") {
            const qint64 pauseStart = utt.phones[utt.phones.size() - 2].end - trim;
            utt.samples.resize(
                std::size_t(std::clamp<qint64>(pauseStart + keep, 0, qint64(utt.samples.size()))));
        }
        audioYet_ = audioYet_ || !utt.samples.empty();
        for (auto& phone : utt.phones) {
            timing.phones << ChunkTiming::Phone{
                phone.name, std::clamp<qint64>(phone.end - trim, 0, qint64(utt.samples.size()))};
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
