#include "EspeakVoice.h"

#include "EspeakModule.h"
#include "Whisper.h"
#include "WholeSentence.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <algorithm>
#include <array>
#include <cmath>

namespace cw::tts {

Q_DECLARE_LOGGING_CATEGORY(lcTts)

namespace {

/// The top of the intonation over its bottom, as in eSpeak NG's own default voice ("pitch 82 118"): kept at
/// every pitch, so intonation keeps its shape.
constexpr double kTopOverBase = 118.0 / 82.0;
/// eSpeak NG's speed limits (espeakRATE_MINIMUM, espeakRATE_MAXIMUM).
constexpr int kSlowestRate = 80;
constexpr int kFastestRate = 450;
constexpr int kNaturalWordsPerMinute = 175;

/// Measured with tts_espeak (bench/tts): the median pitch heard for a voice file's base pitch, the mean of
/// French, German and Russian prose (which differ by 3 % at most).
constexpr std::array<std::pair<double, double>, 9> kBaseToHeardHz = {{{40, 45.7},
                                                                      {50, 58.8},
                                                                      {60, 70.9},
                                                                      {80, 97.7},
                                                                      {100, 124.4},
                                                                      {150, 190.7},
                                                                      {200, 257.4},
                                                                      {300, 389.3},
                                                                      {400, 520.9}}};

using RateToHeard = std::array<std::pair<double, double>, 9>;
/// Measured with tts_espeak: the words a minute heard for espeakRATE, spoken a sentence at a time as the
/// engine does. The languages differ (French is read a quarter faster than asked, Russian a third slower at
/// speed); a language not measured is taken at eSpeak NG's word.
struct SpeedCalibration {
    const char* language;
    RateToHeard rateToHeard;
};
constexpr std::array<SpeedCalibration, 3> kSpeeds = {{
    {"fr",
     {{{80, 106.0},
       {100, 126.3},
       {130, 167.1},
       {175, 228.0},
       {250, 329.4},
       {300, 395.3},
       {350, 456.2},
       {400, 509.6},
       {450, 574.6}}}},
    {"de",
     {{{80, 83.8},
       {100, 99.2},
       {130, 129.4},
       {175, 173.4},
       {250, 246.2},
       {300, 290.1},
       {350, 334.8},
       {400, 385.3},
       {450, 443.9}}}},
    {"ru",
     {{{80, 93.0},
       {100, 103.8},
       {130, 129.7},
       {175, 166.9},
       {250, 219.4},
       {300, 246.6},
       {350, 271.7},
       {400, 302.2},
       {450, 404.6}}}},
}};
constexpr RateToHeard kRateAsHeard = {{{80, 80},
                                       {100, 100},
                                       {130, 130},
                                       {175, 175},
                                       {250, 250},
                                       {300, 300},
                                       {350, 350},
                                       {400, 400},
                                       {450, 450}}};
/// Below its slowest rate, eSpeak NG is slowed by pauses between words: each unit of espeakWORDGAP adds this
/// much to every word at that rate (measured: 31.8 to 32.3 ms in the three languages).
constexpr double kSecondsPerWordGap = 0.032;

/// The x at which the measured curve `points` (x, y), rising, reaches `y`: linear interpolation, extended
/// beyond its ends.
template <std::size_t N> double inverse(const std::array<std::pair<double, double>, N>& points, double y) {
    for (std::size_t i = 1; i < N; ++i) {
        const auto [x0, y0] = points[i - 1];
        const auto [x1, y1] = points[i];
        if (y <= y1 || i + 1 == N) {
            return x0 + (y - y0) * (x1 - x0) / (y1 - y0);
        }
    }
    return y;
}

const RateToHeard& rateToHeard(const QString& language) {
    for (const SpeedCalibration& s : kSpeeds) {
        if (language == QLatin1String(s.language)) {
            return s.rateToHeard;
        }
    }
    return kRateAsHeard;
}

/// eSpeak NG as this process found it, once.
struct Installation {
    const EspeakModuleApi* api = nullptr;
    int sampleRate = 0;
    QString dataFolder;
    QHash<QString, QByteArray> identifiers; ///< "fr" -> "roa/fr"
    QString failure;                        ///< why there is none
};

const Installation& installation() {
    static const Installation found = [] {
        Installation i;
        const EspeakModuleLoad& module = espeakModule();
        if (!module.api) {
            i.failure = module.failure;
            return i;
        }
        QByteArray folder;
        const EspeakStatus status = module.api->initialise(i.sampleRate, folder);
        if (status != EspeakStatus::Ok) {
            i.failure = QString::fromLatin1(espeakStatusMessage(status));
            return i;
        }
        i.dataFolder = QFile::decodeName(folder);
        for (const EspeakLanguage& language : module.api->languages()) {
            const QString identifier = QString::fromUtf8(language.identifier);
            // Names are matched whatever their case: "cmn-latn-pinyin" is eSpeak NG's "cmn-Latn-pinyin".
            const QString name = identifier.section(u'/', -1).toLower();
            // Variants and MBROLA voices are not languages of their own.
            if (!identifier.startsWith(QStringLiteral("mb/")) && !identifier.contains(u'!') &&
                !i.identifiers.contains(name)) {
                i.identifiers.insert(name, language.identifier);
            }
        }
        i.api = module.api;
        return i;
    }();
    return found;
}

/// A folder of this process's own, removed when it ends. eSpeak NG takes a voice file's path only when it is
/// shorter than 60 bytes, and lower-cases it first: the folder's path is short and has no capitals.
class PrivateFolder {
public:
    PrivateFolder() {
        QStringList parents{qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(),
                            QStringLiteral("/tmp")};
        for (const QString& parent : parents) {
            if (parent.isEmpty() || parent != parent.toLower() || parent.size() > 24) {
                continue;
            }
            for (int attempt = 0; attempt < 100 && path_.isEmpty(); ++attempt) {
                const QString path = QStringLiteral("%1/cw-espeak-%2-%3")
                                         .arg(parent)
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(attempt);
                // mkdir fails when it exists: a folder made here is ours alone.
                if (QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
                    path_ = path;
                }
            }
            if (!path_.isEmpty()) {
                break;
            }
        }
    }
    ~PrivateFolder() {
        if (!path_.isEmpty()) {
            QDir(path_).removeRecursively();
        }
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    /// Empty when no folder could be made.
    const QString& path() const { return path_; }

private:
    QString path_;
};

/// The voice files written for this process: a copy of a language's own file with our pitch line, one per
/// (language, pitch), in the private folder.
class VoiceFiles {
public:
    /// The file for `identifier` at `baseHz`..`topHz`; empty when it cannot be written.
    QByteArray fileFor(const QString& identifier, int baseHz, int topHz) {
        const QString key = QStringLiteral("%1 %2 %3").arg(identifier).arg(baseHz).arg(topHz);
        QMutexLocker lock(&mutex_);
        if (const auto made = made_.constFind(key); made != made_.constEnd()) {
            return *made;
        }
        if (folder_.path().isEmpty()) {
            return {};
        }
        QFile own(installation().dataFolder + QStringLiteral("/lang/") + identifier);
        if (!own.open(QIODevice::ReadOnly)) {
            return {};
        }
        QByteArray content;
        for (const QByteArray& line : own.readAll().split('\n')) {
            if (!line.trimmed().startsWith("pitch")) {
                content += line + '\n';
            }
        }
        content +=
            QByteArrayLiteral("pitch ") + QByteArray::number(baseHz) + ' ' + QByteArray::number(topHz) + '\n';
        const QString path = folder_.path() + u'/' + QString::number(made_.size());
        {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
                return {};
            }
        }
        return made_[key] = QFile::encodeName(path);
    }

private:
    QMutex mutex_;
    PrivateFolder folder_;
    QHash<QString, QByteArray> made_;
};

VoiceFiles& voiceFiles() {
    static VoiceFiles files;
    return files;
}

/// The text as eSpeak NG is to read it, as long in UTF-16 as `text`: control characters (NUL ends its
/// text, 0x01 starts its embedded commands), unpaired surrogates and code points no script has (eSpeak NG
/// 1.51 reads freed memory on some, such as U+0BAB) become blanks.
QString plainText(const QString& text) {
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out[i];
        if (c.isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate()) {
            if (QChar::category(QChar::surrogateToUcs4(c, out[i + 1])) == QChar::Other_NotAssigned) {
                out[i] = u' ';
                out[i + 1] = u' ';
            }
            ++i;
        } else if (c.isSurrogate() || c.unicode() < 0x20 || c.unicode() == 0x7f ||
                   c.category() == QChar::Other_NotAssigned) {
            out[i] = u' ';
        }
    }
    return out;
}

/// Where each code point of `text` starts in UTF-16 units, and one more entry for its end.
std::vector<int> codePointOffsets(const QString& text) {
    std::vector<int> offsets;
    offsets.reserve(std::size_t(text.size()) + 1);
    for (qsizetype i = 0; i < text.size(); ++i) {
        offsets.push_back(int(i));
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        }
    }
    offsets.push_back(int(text.size()));
    return offsets;
}

bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c.isMark();
}

/// Whether the character at `i` is part of a word: a letter, or an apostrophe or hyphen between letters
/// ("l'on", "aujourd'hui", "peut-être").
bool inWord(const QString& text, qsizetype i) {
    if (isWordCharacter(text[i])) {
        return true;
    }
    const bool joiner =
        text[i] == u'\'' || text[i] == QChar(0x2019) || text[i] == u'-' || text[i] == QChar(0x2010);
    return joiner && i > 0 && i + 1 < text.size() && isWordCharacter(text[i - 1]) &&
           isWordCharacter(text[i + 1]);
}

/// The words eSpeak NG reported, placed in `text`. A word reaches to the end of its written word: eSpeak NG
/// reports "l'on" as "l". Reports of no place in the text (at clause ends), or inside the word before (some
/// words are spelled out), are dropped.
QList<Utterance::Token> tokensOf(const QList<EspeakSentence::Word>& reported, const QString& text) {
    const std::vector<int> offsets = codePointOffsets(text);
    const int codePoints = int(offsets.size()) - 1;
    QList<EspeakSentence::Word> words;
    for (const EspeakSentence::Word& word : reported) {
        if (word.start >= 0 && word.start < codePoints &&
            (words.isEmpty() || word.start > words.back().start)) {
            words << word;
        }
    }
    const auto at = [&](int codePoint) { return offsets[std::size_t(std::clamp(codePoint, 0, codePoints))]; };
    QList<Utterance::Token> tokens;
    int previousEnd = 0;
    for (qsizetype w = 0; w < words.size(); ++w) {
        int start = std::max(at(words[w].start), previousEnd);
        const int next = w + 1 < words.size() ? at(words[w + 1].start) : int(text.size());
        while (start < next && !inWord(text, start)) {
            ++start; // eSpeak NG may place a word on the punctuation before it
        }
        int end = std::min(std::max(at(words[w].start + std::max(words[w].length, 1)), start), next);
        while (end < next && inWord(text, end)) {
            ++end;
        }
        while (end > start && !inWord(text, end - 1)) {
            --end; // the word's own trailing punctuation
        }
        if (end <= start) {
            continue; // nothing of the text
        }
        tokens << Utterance::Token{text.mid(start, end - start), words[w].sample, start, end - start};
        previousEnd = end;
    }
    return tokens;
}

/// eSpeak NG's phonemes as phones that each end where the next begins, pauses named "pau": one before the
/// first phoneme (possibly empty) and one after the last, to the end of the sound.
QList<ChunkTiming::Phone> phonesOf(const QList<EspeakSentence::Phoneme>& phonemes, qint64 length) {
    QList<ChunkTiming::Phone> phones{ChunkTiming::Phone{QByteArrayLiteral("pau"), 0, false}};
    for (const EspeakSentence::Phoneme& phoneme : phonemes) {
        const qint64 start = std::clamp(phoneme.sample, phones.back().end, length);
        const bool pause = phoneme.ipa.isEmpty();
        phones.back().end = start; // the phone before ends where this one begins
        if (pause && phones.back().name == "pau" && !phones.back().ipa) {
            continue; // one pause, however many eSpeak NG reports
        }
        phones << ChunkTiming::Phone{pause ? QByteArrayLiteral("pau") : phoneme.ipa, start, !pause};
    }
    phones.back().end = length;
    if (phones.back().ipa) {
        phones << ChunkTiming::Phone{QByteArrayLiteral("pau"), length, false};
    }
    return phones;
}

} // namespace

bool EspeakVoice::available() {
    return installation().api != nullptr;
}

QStringList EspeakVoice::languages() {
    QStringList out = installation().identifiers.keys();
    out.sort();
    return out;
}

EspeakVoice::EspeakVoice(const QString& language) : language_(language.toLower()) {}

int EspeakVoice::sampleRate() const {
    const int rate = installation().sampleRate;
    return rate > 0 ? rate : 22050;
}

int EspeakVoice::naturalPitchHz() const {
    return 100;
}

int EspeakVoice::naturalWordsPerMinute() const {
    return kNaturalWordsPerMinute;
}

bool EspeakVoice::speaks() const {
    const Installation& found = installation();
    if (found.identifiers.contains(language_)) {
        return true;
    }
    static QMutex logging;
    static QSet<QString> logged;
    QMutexLocker lock(&logging);
    if (!found.api && logged.isEmpty()) {
        qCCritical(lcTts).noquote() << "no speech in other languages:" << found.failure;
    } else if (found.api && !logged.contains(language_)) {
        qCWarning(lcTts).noquote() << "eSpeak NG has no voice for language" << language_;
    }
    logged.insert(language_);
    return false;
}

bool EspeakVoice::load() const {
    if (!speaks()) {
        return false;
    }
    // eSpeak NG reads a language's dictionary when its voice is first set: read once here, its first sentence
    // starts sooner (Chinese's takes some 80 ms the first time, 25 ms after).
    VoiceSettings natural;
    natural.pitchHz = naturalPitchHz();
    natural.wordsPerMinute = naturalWordsPerMinute();
    synthesizeWith(QString(), parametersFor(natural));
    return true;
}

EspeakVoice::Parameters EspeakVoice::parametersFor(const VoiceSettings& voice) const {
    double pitch = voice.pitchHz;
    double wordsPerMinute = voice.wordsPerMinute;
    if (voice.emphasis) {
        pitch *= 1.25;
        wordsPerMinute /= 1.1;
    }
    Parameters p;
    p.baseHz = int(std::lround(inverse(kBaseToHeardHz, pitch)));
    p.topHz = int(std::lround(p.baseHz * kTopOverBase));
    const RateToHeard& speeds = rateToHeard(language_);
    const double slowest = speeds.front().second;
    if (wordsPerMinute < slowest) {
        p.wordsPerMinute = kSlowestRate;
        p.wordGap =
            int(std::lround((60 / std::max(wordsPerMinute, 1.0) - 60 / slowest) / kSecondsPerWordGap));
    } else {
        p.wordsPerMinute =
            std::clamp(int(std::lround(inverse(speeds, wordsPerMinute))), kSlowestRate, kFastestRate);
    }
    p.monotone = voice.character == VoiceCharacter::Monotone;
    return p;
}

Utterance EspeakVoice::synthesizeWith(const QString& text, const Parameters& parameters) const {
    Utterance out;
    if (!speaks()) {
        return out;
    }
    const Installation& found = installation();
    const QByteArray file = voiceFiles().fileFor(QString::fromUtf8(found.identifiers.value(language_)),
                                                 parameters.baseHz, parameters.topHz);
    if (file.isEmpty()) {
        static QMutex logged;
        QMutexLocker lock(&logged);
        static bool failureLogged = false;
        if (!std::exchange(failureLogged, true)) {
            qCCritical(lcTts) << "no voice file could be written for eSpeak NG";
        }
        return out;
    }
    const QString plain = plainText(text);
    EspeakSentence sentence;
    const EspeakStatus status = found.api->synthesize(
        file.constData(), plain.toUtf8(),
        EspeakParameters{parameters.wordsPerMinute, parameters.wordGap, parameters.monotone}, sentence);
    if (status != EspeakStatus::Ok) {
        qCWarning(lcTts) << "nothing synthesised:" << espeakStatusMessage(status);
        return out;
    }
    const qint64 length = qint64(sentence.samples.size());
    out.phones = phonesOf(sentence.phonemes, length);
    out.tokens = tokensOf(sentence.words, plain);
    out.samples = std::move(sentence.samples);
    return out;
}

std::unique_ptr<SentenceSynthesis> EspeakVoice::begin(const QString& text, const VoiceSettings& voice) const {
    Utterance utterance = synthesizeWith(text, parametersFor(voice));
    if (utterance.samples.empty()) {
        return nullptr;
    }
    if (voice.character == VoiceCharacter::Whisper) {
        utterance.samples = whisper(utterance.samples, sampleRate());
    }
    return std::make_unique<WholeSentence>(std::move(utterance));
}

} // namespace cw::tts
