#include "RequestSynthesizer.h"

#include "JapaneseReading.h"
#include "TextChunks.h"
#include "core/Trace.h"

#include <algorithm>

namespace cw::tts {
namespace {

bool hasSomethingToSay(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

/// Whether `text` ends a sentence or a clause, where flite's own pause belongs.
bool endsClause(const QString& text) {
    const QString t = text.trimmed();
    return t.isEmpty() ||
           QStringLiteral(".!?;:,\u3002\uFF01\uFF1F\u3001\uFF0C\u061F\u060C\u0964").contains(t.back()) ||
           text.endsWith(u'\n') ||
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

RequestSynthesizer::RequestSynthesizer(const Voice& voice, ParsedRequest request)
    : voice_(voice), request_(std::move(request)) {}

RequestSynthesizer::RequestSynthesizer(const Voice& voice, ParsedRequest request, FindLanguage findLanguage,
                                       QString startLanguage)
    : voice_(voice), request_(std::move(request)), findLanguage_(std::move(findLanguage)),
      paragraphLanguage_(std::move(startLanguage)) {}

QString RequestSynthesizer::languageAt(const SpeechPiece& piece, int from) {
    if (!findLanguage_ || piece.mapped || !paragraphStarts_) {
        return paragraphLanguage_;
    }
    paragraphStarts_ = false;
    // The paragraph runs to the next line break; only so much of it is handed over as tells its language.
    constexpr int kLookAt = 2000;
    const qsizetype lineEnd = piece.spoken.indexOf(u'\n', from);
    const qsizetype end = std::min<qsizetype>(lineEnd < 0 ? piece.spoken.size() : lineEnd, from + kLookAt);
    const ParagraphLanguage found = findLanguage_(QStringView(piece.spoken).mid(from, end - from));
    if (!found.language.isEmpty()) {
        paragraphLanguage_ = found.language;
    }
    if (tracing()) {
        VoiceSettings settings = piece.voice;
        settings.language = piece.voice.language.isEmpty() ? paragraphLanguage_ : piece.voice.language;
        trace("paragraph language",
              QStringLiteral("%1 (%2, %3%4) voice %5")
                  .arg(found.language.isEmpty() ? QStringLiteral("?") : found.language)
                  .arg(found.byScript ? QStringLiteral("by script") : QStringLiteral("by letters"))
                  .arg(found.confidence, 0, 'f', 2)
                  .arg(found.language.isEmpty() ? QStringLiteral(", kept ") + paragraphLanguage_ : QString())
                  .arg(voice_.nameFor(settings)));
    }
    return paragraphLanguage_;
}

void RequestSynthesizer::readInto(std::vector<qint16>& samples, qint64 max) {
    const std::vector<qint16> more = sentence_->read(std::min(max, sentenceStop_ - sentence_->position()));
    samples.insert(samples.end(), more.begin(), more.end());
}

std::vector<qint16> RequestSynthesizer::finishPiece(std::vector<qint16> samples) {
    applyVolume(samples, sentenceVolume_);
    if (sentence_->position() >= sentenceStop_) {
        sentence_.reset();
    }
    return samples;
}

SynthChunk RequestSynthesizer::next() {
    SynthChunk chunk;
    if (sentence_) {
        // The rest of a sentence, a tenth of a second at a time: Stop is never far from the next check.
        std::vector<qint16> samples;
        readInto(samples, std::max<qint64>(sampleRate() / 10, sentence_->ready()));
        chunk.samples = finishPiece(std::move(samples));
        position_ += qint64(chunk.samples.size());
        return chunk;
    }
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

    std::unique_ptr<SentenceSynthesis> sentence;
    SpokenText spoken;
    // A line break ends a paragraph: the chunk after it starts a new one.
    const auto firstLetter = std::find_if(text.begin(), text.end(), [](QChar c) { return !c.isSpace(); });
    paragraphStarts_ = paragraphStarts_ || std::find(text.begin(), firstLetter, u'\n') != firstLetter;
    const QString language = languageAt(piece, from + int(firstLetter - text.begin()));
    qsizetype lastLetter = text.size();
    while (lastLetter > 0 && text[lastLetter - 1].isSpace()) {
        --lastLetter;
    }
    paragraphStarts_ = text.indexOf(u'\n', lastLetter) >= 0;
    if (hasSomethingToSay(text)) {
        spoken = spokenForm(text, piece.voice.context);
        VoiceSettings settings = piece.voice;
        if (settings.language.isEmpty()) {
            settings.language = language;
        }
        if (settings.language == u"ja") {
            // Japanese is read from kana: each kanji word becomes its reading, which stands for the word.
            SpokenText reading = japaneseReading(spoken.text, JapaneseWords::Spaced);
            for (int& origin : reading.origin) {
                origin = spoken.origin.value(origin, origin);
            }
            spoken = std::move(reading);
        }
        sentence = voice_.begin(spoken.text, settings);
        characters_ += spoken.text.size();
    }
    if (sentence) {
        const QList<ChunkTiming::Phone>& phones = sentence->phones();
        // Voices frame every sentence with silence. Speech starts at once, so the first sound of a request
        // loses its leading silence; where a tag or the length limit cut a sentence, or a pause tag stands,
        // the pieces join without the silence the voice would put between sentences.
        const qint64 keep = sampleRate() / 200; // 5 ms
        qint64 trim = 0;
        if ((!audioYet_ || joinNext_) && !phones.isEmpty() && phones.front().name == "pau") {
            trim = std::clamp<qint64>(phones.front().end - keep, 0, sentence->length());
            sentence->skipTo(trim);
        }
        const bool beforePause = lastOfPiece && piece_ + 1 < request_.pieces.size() &&
                                 request_.pieces[piece_ + 1].kind == SpeechPiece::Kind::Pause;
        const bool lastOfRequest = lastOfPiece && piece_ + 1 >= request_.pieces.size();
        joinNext_ = beforePause || (!lastOfRequest && !endsClause(text));
        sentenceStop_ = sentence->length();
        if (joinNext_ && phones.size() > 1 && phones.back().name == "pau") {
            sentenceStop_ =
                std::clamp<qint64>(phones[phones.size() - 2].end + keep, trim, sentence->length());
        }
        sentenceVolume_ = piece.voice.volume;
        sentence_ = std::move(sentence);
        // The first piece is small, so it is heard at once, and lasts (40 ms) until the next is made; what
        // the voice has made already comes with it.
        const qint64 firstPiece = std::max<qint64>(sampleRate() / 25, sentence_->ready());
        std::vector<qint16> samples;
        readInto(samples, firstPiece);
        if (!audioYet_) {
            // The first phone may open with its own near-silence too (the closure of a "t" or a "p", the
            // breath of an "h", a murmur under 1 % of full scale, up to a quarter of a second of it): nobody
            // hears it, so the request starts where the sound does, with a moment of lead-in so the cut makes
            // no click.
            constexpr int kInaudible = 328;           // 1 % of full scale, -40 dB
            const qint64 leadIn = sampleRate() / 500; // 2 ms
            const auto loud = [](qint16 sample) { return std::abs(int(sample)) > kInaudible; };
            while (std::none_of(samples.begin(), samples.end(), loud) &&
                   sentence_->position() < sentenceStop_ && qint64(samples.size()) < sampleRate() / 4) {
                readInto(samples, sampleRate() / 50);
            }
            const auto firstSound = std::find_if(samples.begin(), samples.end(), loud);
            const qint64 quiet = std::max<qint64>(0, qint64(firstSound - samples.begin()) - leadIn);
            if (firstSound != samples.end() && quiet > 0) {
                samples.erase(samples.begin(), samples.begin() + quiet);
                trim += quiet;
            }
        }
        // What is heard first must last until the next piece is made, or the output runs dry for a moment.
        if (qint64(samples.size()) < firstPiece) {
            readInto(samples, firstPiece - qint64(samples.size()));
        }
        const qint64 length = std::max<qint64>(0, sentenceStop_ - trim);
        audioYet_ = audioYet_ || length > 0;
        for (const auto& phone : phones) {
            timing.phones << ChunkTiming::Phone{phone.name, std::clamp<qint64>(phone.end - trim, 0, length),
                                                phone.ipa};
        }
        int cursor = 0;
        for (const auto& token : sentence_->tokens()) {
            const qint64 start = std::clamp<qint64>(token.start - trim, 0, length);
            if (piece.mapped) {
                if (timing.words.isEmpty()) {
                    timing.words << ChunkTiming::Word{start, from, piece.balloonStart, piece.balloonLength};
                }
                continue;
            }
            // A voice that knows where its word stands says so (a word of a text with no spaces between its
            // words, as Chinese is written); otherwise the word is looked for after the one before it.
            const int found = token.textStart >= 0 && token.textStart < spoken.text.size() ? token.textStart
                              : token.name.isEmpty()                                       ? -1
                                                     : int(spoken.text.indexOf(token.name, cursor));
            if (found < 0) {
                continue;
            }
            cursor = found + int(token.textStart >= 0 ? token.textLength : token.name.size());
            auto [wordStart, wordEnd] = wordAround(text, spoken.origin[found]);
            if (token.textStart >= 0) {
                const int last = std::clamp(found + token.textLength, found + 1, int(spoken.text.size())) - 1;
                wordStart = spoken.origin[found];
                wordEnd = std::max(wordStart + 1, spoken.origin[last] + 1);
            }
            timing.words << ChunkTiming::Word{start, from + wordStart, piece.balloonStart + from + wordStart,
                                              wordEnd - wordStart};
        }
        timing.length = length;
        chunk.samples = finishPiece(std::move(samples));
    }
    if (piece.mapped && timing.words.isEmpty() && piece.balloonLength > 0) {
        timing.words << ChunkTiming::Word{0, from, piece.balloonStart, piece.balloonLength};
    }
    chunk.events = chunkTimeline(timing, position_, mouth_);
    position_ += qint64(chunk.samples.size());
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

SynthChunk synthesizeAll(const Voice& voice, const ParsedRequest& request) {
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
