// Paragraphs handed to the voice of their language: the resampler that brings another voice to the request's
// rate, the voice that routes by language, and the synthesizer that finds each paragraph's language as it
// reaches it.

#include "AudioAnalysis.h"
#include "tts/FliteVoice.h"
#include "tts/HtsVoice.h"
#include "tts/MultilingualVoice.h"
#include "tts/RequestSynthesizer.h"
#include "tts/Resampler.h"
#include "tts/SpeechTags.h"

#include <QStringList>
#include <QTest>
#include <cmath>
#include <numbers>

using namespace cw::tts;

namespace {

std::vector<qint16> tone(double hz, int rate, int count, double amplitude = 10000) {
    std::vector<qint16> out(std::size_t(count), 0);
    for (int i = 0; i < count; ++i) {
        out[std::size_t(i)] = qint16(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate)));
    }
    return out;
}

double rms(const std::vector<qint16>& samples, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) {
        sum += double(samples[i]) * samples[i];
    }
    return std::sqrt(sum / double(std::max<std::size_t>(1, to - from)));
}

/// The frequency of a tone from its upward zero crossings (placed between samples), away from the edges.
double frequencyOf(const std::vector<qint16>& samples, int rate) {
    const std::size_t from = samples.size() / 10;
    const std::size_t to = samples.size() - from;
    double first = -1;
    double last = -1;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            const double at = double(i - 1) + double(-samples[i - 1]) / double(samples[i] - samples[i - 1]);
            first = first < 0 ? at : first;
            last = at;
            ++crossings;
        }
    }
    return crossings > 1 ? (crossings - 1) * double(rate) / (last - first) : 0;
}

std::vector<qint16> resampleAll(const Resampler& r, const std::vector<qint16>& in) {
    std::vector<qint16> out(std::size_t(r.outputLength(qint64(in.size()))), 0);
    r.produce(in, 0, qint64(out.size()), out.data());
    return out;
}

/// Everything a request made, with the settings each sentence was begun with.
struct Spoken {
    std::vector<qint16> samples;
    QList<TimelineEvent> events;
};

/// Speaks with `own` for English and a recorded voice for any other language, recording what each sentence
/// was begun with.
struct RoutedVoices {
    QStringList madeFor;
    MultilingualVoice voice{std::make_unique<HtsVoice>(),
                            [this](const QString& language) -> std::unique_ptr<Voice> {
                                madeFor << language;
                                if (language == u"xx") {
                                    return nullptr; // a language nobody speaks
                                }
                                return std::make_unique<FliteVoice>(QStringLiteral("kal16"));
                            }};
};

/// A language finder that answers from a table of first words and records what it was handed.
struct RecordingFinder {
    QStringList handed;
    QHash<QString, QString> byFirstWord;
    FindLanguage find() {
        return [this](QStringView paragraph) {
            handed << paragraph.toString();
            const QString first = paragraph.toString().section(u' ', 0, 0);
            ParagraphLanguage found;
            found.language = byFirstWord.value(first);
            found.confidence = found.language.isEmpty() ? 0.1 : 0.9;
            return found;
        };
    }
};

/// A voice that records the language of every sentence it begins, and speaks with kal16.
class LanguageRecordingVoice final : public Voice {
public:
    mutable QList<QPair<QString, VoiceSettings>> begun;
    QString name() const override { return inner_.name(); }
    int sampleRate() const override { return inner_.sampleRate(); }
    int naturalPitchHz() const override { return inner_.naturalPitchHz(); }
    int naturalWordsPerMinute() const override { return inner_.naturalWordsPerMinute(); }
    bool load() const override { return inner_.load(); }
    std::unique_ptr<SentenceSynthesis> begin(const QString& text, const VoiceSettings& voice) const override {
        begun << qMakePair(text, voice);
        return inner_.begin(text, voice);
    }

private:
    FliteVoice inner_{QStringLiteral("kal16")};
};

} // namespace

class TestTtsMultilingual : public QObject {
    Q_OBJECT

private slots:
    void resamplerKeepsToneAndLevel_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("eSpeak to the natural voice") << 22050 << 32000;
        QTest::newRow("eSpeak to the diphone voice") << 22050 << 16000;
        QTest::newRow("up by two") << 16000 << 32000;
    }
    void resamplerKeepsToneAndLevel() {
        QFETCH(int, from);
        QFETCH(int, to);
        const Resampler r(from, to);
        const std::vector<qint16> in = tone(440, from, from / 2);
        const std::vector<qint16> out = resampleAll(r, in);
        QCOMPARE(qint64(out.size()), r.outputLength(qint64(in.size())));
        QVERIFY(std::abs(double(out.size()) - double(in.size()) * to / from) <= 1);
        QVERIFY2(std::abs(frequencyOf(out, to) - 440) < 0.5,
                 qPrintable(QString::number(frequencyOf(out, to))));
        const double level = rms(out, out.size() / 10, out.size() * 9 / 10);
        QVERIFY2(std::abs(level / rms(in, in.size() / 10, in.size() * 9 / 10) - 1) < 0.01,
                 qPrintable(QString::number(level)));
    }

    void resamplerRemovesWhatTheLowerRateCannotHold() {
        // 10 kHz fits 22050 Hz but not 16000 Hz: kept, it would fold back to 6 kHz.
        const Resampler r(22050, 16000);
        const std::vector<qint16> out = resampleAll(r, tone(10000, 22050, 22050 / 2));
        QVERIFY2(rms(out, out.size() / 10, out.size() * 9 / 10) < 10000 * 0.707 * 0.03,
                 qPrintable(QString::number(rms(out, out.size() / 10, out.size() * 9 / 10))));
    }

    void resamplerGivesTheSameSoundInAnyPieces() {
        const Resampler r(22050, 32000);
        std::vector<qint16> in = tone(300, 22050, 5000);
        for (std::size_t i = 0; i < in.size(); i += 37) {
            in[i] = qint16(in[i] / 2 + 7000); // something that is no pure tone
        }
        const std::vector<qint16> whole = resampleAll(r, in);
        std::vector<qint16> pieces;
        qint64 at = 0;
        for (const qint64 size : {1, 7, 159, 640, 641, 1000}) {
            std::vector<qint16> piece(std::size_t(size), 0);
            r.produce(in, at, size, piece.data());
            pieces.insert(pieces.end(), piece.begin(), piece.end());
            at += size;
        }
        QVERIFY(std::equal(pieces.begin(), pieces.end(), whole.begin()));
        QCOMPARE(r.toOutput(22050), qint64(32000));
    }

    void englishAndUndecidedStayWithTheOwnVoice() {
        RoutedVoices routed;
        for (const QString& language : {QString(), QStringLiteral("en"), QStringLiteral("en-gb")}) {
            VoiceSettings settings;
            settings.language = language;
            QCOMPARE(routed.voice.nameFor(settings), HtsVoice::kName);
        }
        QVERIFY(routed.madeFor.isEmpty()); // nothing else was loaded for them
    }

    void anotherLanguageSpeaksWithItsVoiceAtTheRequestsRate() {
        RoutedVoices routed;
        VoiceSettings settings;
        settings.language = QStringLiteral("fr");
        settings.pitchHz = 120;
        QCOMPARE(routed.voice.nameFor(settings), QStringLiteral("kal16"));
        const Utterance own =
            FliteVoice(QStringLiteral("kal16")).synthesize(QStringLiteral("Hello there."), settings);
        const Utterance routedUtterance = routed.voice.synthesize(QStringLiteral("Hello there."), settings);
        QCOMPARE(routed.voice.sampleRate(), 32000);
        // Twice the samples at twice the rate: the same sound, as long, at the same pitch.
        QVERIFY(std::abs(double(routedUtterance.samples.size()) - 2.0 * double(own.samples.size())) <= 2);
        const double pitch = cw::tts::test::medianPitchHz(routedUtterance.samples, 32000);
        const double ownPitch = cw::tts::test::medianPitchHz(own.samples, 16000);
        QVERIFY2(ownPitch > 0 && std::abs(pitch / ownPitch - 1) < 0.03,
                 qPrintable(QStringLiteral("%1 Hz, %2 Hz at its own rate").arg(pitch).arg(ownPitch)));
        QCOMPARE(routedUtterance.phones.size(), own.phones.size());
        QCOMPARE(routedUtterance.phones.back().end, qint64(routedUtterance.samples.size()));
        QCOMPARE(routedUtterance.tokens.size(), own.tokens.size());
        QCOMPARE(routedUtterance.tokens[1].start, own.tokens[1].start * 2);
        // Made once, kept for the next sentence.
        routed.voice.synthesize(QStringLiteral("Again."), settings);
        QCOMPARE(routed.madeFor, QStringList{QStringLiteral("fr")});
    }

    void aLanguageWithNoVoiceIsStillSpoken() {
        RoutedVoices routed;
        VoiceSettings settings;
        settings.language = QStringLiteral("xx");
        QCOMPARE(routed.voice.nameFor(settings), HtsVoice::kName);
        QVERIFY(!routed.voice.synthesize(QStringLiteral("Hello."), settings).samples.empty());
        routed.voice.synthesize(QStringLiteral("Hello."), settings);
        QCOMPARE(routed.madeFor, QStringList{QStringLiteral("xx")}); // asked once, not at every sentence
    }

    void eachParagraphIsSpokenInItsLanguage() {
        LanguageRecordingVoice voice;
        RecordingFinder finder;
        finder.byFirstWord = {{QStringLiteral("Hello"), QStringLiteral("en")},
                              {QStringLiteral("Bonjour"), QStringLiteral("fr")},
                              {QStringLiteral("Guten"), QStringLiteral("de")}};
        const QString text =
            QStringLiteral("Hello there. How are you?\nBonjour tout le monde. Ça va?\n\nOk.\n"
                           "Guten Tag.\n12 345");
        VoiceSettings defaults;
        defaults.pitchHz = 140;
        RequestSynthesizer synth(voice, parseSpeechTags(QStringLiteral("\\Pit=200\\") + text, defaults),
                                 finder.find(), QStringLiteral("it"));
        synth.next();
        // Only the paragraph reached has been looked at, and only up to its end.
        QCOMPARE(finder.handed, QStringList{QStringLiteral("Hello there. How are you?")});
        while (!synth.atEnd()) {
            synth.next();
        }
        QCOMPARE(finder.handed,
                 (QStringList{QStringLiteral("Hello there. How are you?"),
                              QStringLiteral("Bonjour tout le monde. Ça va?"), QStringLiteral("Ok."),
                              QStringLiteral("Guten Tag."), QStringLiteral("12 345")}));
        QStringList languages;
        for (const auto& [sentence, settings] : voice.begun) {
            languages << sentence.trimmed() + u'=' + settings.language;
            QCOMPARE(settings.pitchHz, 200); // the tag holds across the change of language
        }
        QCOMPARE(languages,
                 (QStringList{QStringLiteral("Hello there.=en"), QStringLiteral("How are you?=en"),
                              QStringLiteral("Bonjour tout le monde.=fr"), QStringLiteral("Ça va?=fr"),
                              QStringLiteral("Ok.=fr"), // too short to tell: the one before
                              QStringLiteral("Guten Tag.=de"), QStringLiteral("12 345=de")}));
    }

    void theFirstParagraphUndecidedTakesTheStartingLanguage() {
        LanguageRecordingVoice voice;
        RecordingFinder finder;
        RequestSynthesizer synth(voice, parseSpeechTags(QStringLiteral("Hi!"), {}), finder.find(),
                                 QStringLiteral("fr"));
        while (!synth.atEnd()) {
            synth.next();
        }
        QCOMPARE(voice.begun.size(), 1);
        QCOMPARE(voice.begun.front().second.language, QStringLiteral("fr"));
    }

    void aLanguageTagWinsOverWhatIsFound() {
        LanguageRecordingVoice voice;
        RecordingFinder finder;
        finder.byFirstWord = {{QStringLiteral("Hello"), QStringLiteral("en")}};
        RequestSynthesizer synth(
            voice,
            parseSpeechTags(QStringLiteral("\\Lng=\"de\"\\Hello there.\n\\Lng=\"Auto\"\\Hello again."), {}),
            finder.find(), QStringLiteral("en"));
        while (!synth.atEnd()) {
            synth.next();
        }
        QCOMPARE(voice.begun.size(), 2);
        QCOMPARE(voice.begun[0].second.language, QStringLiteral("de"));
        QCOMPARE(voice.begun[1].second.language, QStringLiteral("en"));
    }

    void aHugeParagraphIsLookedAtOnlyInPart() {
        LanguageRecordingVoice voice;
        RecordingFinder finder;
        const QString huge = QStringLiteral("Bonjour le monde. ").repeated(60000); // over 1 MB
        RequestSynthesizer synth(voice, parseSpeechTags(huge, {}), finder.find(), QStringLiteral("en"));
        synth.next();
        QCOMPARE(finder.handed.size(), 1);
        QVERIFY2(finder.handed.front().size() <= 2000,
                 qPrintable(QString::number(finder.handed.front().size())));
    }

    void languageTags() {
        const auto languageOf = [](const QString& request) {
            const ParsedRequest parsed = parseSpeechTags(request, {});
            return parsed.pieces.isEmpty() ? QStringLiteral("<none>") : parsed.pieces.back().voice.language;
        };
        QCOMPARE(languageOf(QStringLiteral("\\Lng=\"fr\"\\Salut")), QStringLiteral("fr"));
        QCOMPARE(languageOf(QStringLiteral("\\lng=\"PT-br\"\\Oi")), QStringLiteral("pt-br"));
        QCOMPARE(languageOf(QStringLiteral("\\Lng=\"fr\"\\\\Lng=\"Auto\"\\Hi")), QString());
        // Nothing that is no language code changes the language, and no tag is ever spoken.
        for (const QString& bad : {QStringLiteral("\\Lng=\"fr\"\\\\Lng=\"../etc\"\\Hi"),
                                   QStringLiteral("\\Lng=\"fr\"\\\\Lng=\"\"\\Hi"),
                                   QStringLiteral("\\Lng=\"fr\"\\\\Lng=\"f\"\\Hi")}) {
            QCOMPARE(languageOf(bad), QStringLiteral("fr"));
            QCOMPARE(parseSpeechTags(bad, {}).balloonText, QStringLiteral("Hi"));
        }
    }
};

QTEST_GUILESS_MAIN(TestTtsMultilingual)
#include "tst_tts_multilingual.moc"
