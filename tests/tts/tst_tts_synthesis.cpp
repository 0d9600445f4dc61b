// Speech synthesised from tagged requests, by every voice: the voice follows the tags, tags are silent, long
// texts stream, and the word and mouth timelines of fixed sentences stay as they were.
#include "AudioAnalysis.h"
#include "tts/FliteVoice.h"
#include "tts/HtsVoice.h"
#include "tts/RequestSynthesizer.h"
#include "tts/SpeechTags.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <cmath>
#include <map>
#include <memory>

using namespace cw::tts;

namespace {

const QString kParagraph = QStringLiteral(
    "A small boat drifted along the quiet river while two children watched from the bridge. They counted the "
    "ducks that followed it and laughed whenever one of them dived for bread. When the sun went down, their "
    "mother called them home for supper, and they ran across the field together.");
/// Three kinds of text (short words, everyday prose, longer words): words a minute depend on the text, so
/// the speed is measured over a mix, as the voices were calibrated (on other texts).
const QString kMixedText =
    kParagraph +
    QStringLiteral(
        " Every morning the small bakery on the corner opens before sunrise. The owner, a cheerful woman "
        "named "
        "Clara, bakes bread, rolls and cakes for the whole neighbourhood. People line up outside her door, "
        "chatting "
        "about the weather and the news, while the smell of warm butter drifts along the street. Our company "
        "announced yesterday that its new headquarters will open next spring. The building includes offices, "
        "a "
        "public library and a small theatre, and it was designed to use very little energy. Local residents "
        "welcomed the news, although some worried about traffic.");

/// The voice of the test row being run.
const Voice& testVoice() {
    QFETCH_GLOBAL(QString, voice);
    static std::map<QString, std::unique_ptr<Voice>> voices;
    auto& made = voices[voice];
    if (!made) {
        made = makeVoice(voice);
    }
    return *made;
}

SynthChunk synth(const QString& request) {
    const Voice& voice = testVoice();
    VoiceSettings defaults;
    defaults.pitchHz = voice.naturalPitchHz();
    defaults.wordsPerMinute = voice.naturalWordsPerMinute();
    return synthesizeAll(voice, parseSpeechTags(request, defaults));
}

int wordCount(const QString& text) {
    return int(text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts).size());
}

std::vector<std::int16_t> sawtooth(double hz, int rate) {
    std::vector<std::int16_t> out(static_cast<std::size_t>(rate));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double phase = std::fmod(double(i) * hz / rate, 1.0);
        out[i] = std::int16_t((phase * 2 - 1) * 12000);
    }
    return out;
}

} // namespace

class TestTtsSynthesis : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data();
    void pitchEstimatorReadsTones();
    void pitchFollowsTheTag_data();
    void pitchFollowsTheTag();
    void speedFollowsTheTag_data();
    void speedFollowsTheTag();
    void tagsAreNeverAudible();
    void volumeScalesTheSamples();
    void pauseLastsAsLongAsAsked();
    void voiceChangeMidSentenceAddsNoSilence();
    void monotoneFlattensTheIntonation();
    void whisperHasNoVoiceButKeepsTheWords();
    void firstChunkOfAHugeTextIsAsSmallAsOfOneSentence();
    void wordsFollowTheBalloonText();
    void oddTextIsSpokenWithoutHarm();
    void timelinesMatchTheKnownGoodOnes();
};

void TestTtsSynthesis::initTestCase_data() {
    QTest::addColumn<QString>("voice");
    QVERIFY2(HtsVoice::available(), "the natural voice is not installed (tools/install-deps.sh installs it)");
    QTest::newRow("slt-hts") << HtsVoice::kName;
    QTest::newRow("kal16") << QStringLiteral("kal16");
}

void TestTtsSynthesis::pitchEstimatorReadsTones() {
    for (const double hz : {50.0, 60.0, 150.0, 300.0, 390.0}) {
        const double got = test::medianPitchHz(sawtooth(hz, 16000), 16000);
        QVERIFY2(std::abs(got - hz) / hz < 0.03,
                 qPrintable(QStringLiteral("%1 Hz read as %2").arg(hz).arg(got)));
    }
}

void TestTtsSynthesis::pitchFollowsTheTag_data() {
    QTest::addColumn<int>("hz");
    for (const int hz : {50, 60, 100, 200, 300, 400}) {
        QTest::addRow("%d Hz", hz) << hz;
    }
}

void TestTtsSynthesis::pitchFollowsTheTag() {
    QFETCH(int, hz);
    const SynthChunk audio =
        synth(QStringLiteral("\\Pit=%1\\\\Spd=100\\\\Chr=\\").arg(hz) + kParagraph.section(u'.', 0, 0));
    const double median = test::medianPitchHz(audio.samples, testVoice().sampleRate());
    QVERIFY2(std::abs(median - hz) <= 0.1 * hz, qPrintable(QStringLiteral("median pitch %1 Hz").arg(median)));
}

void TestTtsSynthesis::speedFollowsTheTag_data() {
    QTest::addColumn<int>("wpm");
    for (const int wpm : {50, 100, 250, 350}) {
        QTest::addRow("%d wpm", wpm) << wpm;
    }
}

void TestTtsSynthesis::speedFollowsTheTag() {
    QFETCH(int, wpm);
    const SynthChunk audio = synth(QStringLiteral("\\Pit=60\\\\Spd=%1\\\\Chr=\\").arg(wpm) + kMixedText);
    const double minutes = test::spokenSeconds(audio.samples, testVoice().sampleRate()) / 60;
    const double got = wordCount(kMixedText) / minutes;
    QVERIFY2(std::abs(got - wpm) <= 0.1 * wpm,
             qPrintable(QStringLiteral("spoke %1 words a minute").arg(got)));
}

void TestTtsSynthesis::tagsAreNeverAudible() {
    const SynthChunk plain =
        synth(QStringLiteral("The quick brown fox jumps over the lazy dog. It was not amused."));
    const SynthChunk tagged =
        synth(QStringLiteral("\\Chr=\\The quick \\Mrk=3\\brown fox\\Vol=65535\\ jumps over "
                             "\\ctx=\"unknown\"\\the la\\zy dog. It was not amused.\\"));
    QCOMPARE(tagged.samples.size(), plain.samples.size());
    QVERIFY(tagged.samples == plain.samples);
}

namespace {
/// For each word that follows a closed mouth, how long the mouth stayed closed before it, in milliseconds.
QList<qint64> closedBeforeWords(const SynthChunk& c, int rate) {
    QList<qint64> gaps;
    qint64 closedAt = -1;
    for (const TimelineEvent& e : c.events) {
        if (e.kind == TimelineEvent::Kind::Mouth) {
            closedAt = e.mouth == Mouth::Closed ? e.sample : -1;
        } else if (e.kind == TimelineEvent::Kind::Word && closedAt >= 0) {
            gaps << (e.sample - closedAt) * 1000 / rate;
            closedAt = -1;
        }
    }
    return gaps;
}
} // namespace

void TestTtsSynthesis::pauseLastsAsLongAsAsked() {
    // flite's own silence around the pieces is left out: the pause is what was asked for.
    const SynthChunk c = synth(QStringLiteral("\\Spd=100\\Wait\\Pau=800\\ for it"));
    const QList<qint64> gaps = closedBeforeWords(c, testVoice().sampleRate());
    QCOMPARE(gaps.size(), 1);
    QVERIFY2(std::abs(gaps[0] - 800) <= 15, qPrintable(QString::number(gaps[0])));
    // And it is silent.
    const int rate = testVoice().sampleRate();
    const auto closed = std::find_if(c.events.begin(), c.events.end(), [](const TimelineEvent& e) {
        return e.kind == TimelineEvent::Kind::Mouth && e.mouth == Mouth::Closed;
    });
    const qint64 from = closed->sample + rate / 100;
    QVERIFY(std::all_of(c.samples.begin() + long(from), c.samples.begin() + long(from + rate * 3 / 4),
                        [](std::int16_t v) { return std::abs(int(v)) < 100; }));
}

void TestTtsSynthesis::voiceChangeMidSentenceAddsNoSilence() {
    // Tags inside a sentence split it for the synthesiser, but not for the listener: no pause at the joins.
    const SynthChunk split =
        synth(QStringLiteral("\\Spd=200\\I said that you \\Emp\\should \\Vol=30000\\never do this again."));
    const QList<qint64> gaps = closedBeforeWords(split, testVoice().sampleRate());
    QVERIFY(!gaps.isEmpty());
    for (const qint64 gap : gaps) {
        QVERIFY2(gap <= 15, qPrintable(QString::number(gap)));
    }
}

void TestTtsSynthesis::volumeScalesTheSamples() {
    const QString text = QStringLiteral("Loud and clear.");
    const auto peak = [](const SynthChunk& c) {
        int p = 0;
        for (const auto s : c.samples) {
            p = std::max(p, std::abs(int(s)));
        }
        return p;
    };
    const int full = peak(synth(text));
    const int half = peak(synth(QStringLiteral("\\Vol=32768\\") + text));
    QVERIFY(full > 1000);
    QVERIFY(std::abs(half - full / 2) <= 1);
    QCOMPARE(peak(synth(QStringLiteral("\\Vol=0\\") + text)), 0);
}

void TestTtsSynthesis::monotoneFlattensTheIntonation() {
    // The spread of pitch across the sentence: the middle half of the per-frame estimates.
    const auto spread = [](const SynthChunk& c) {
        std::vector<double> track;
        const int rate = testVoice().sampleRate();
        const std::size_t window = std::size_t(rate / 10);
        for (std::size_t at = 0; at + window < c.samples.size(); at += window) {
            const std::vector<std::int16_t> part(c.samples.begin() + long(at),
                                                 c.samples.begin() + long(at + window));
            const double hz = test::medianPitchHz(part, rate);
            if (hz > 0) {
                track.push_back(hz);
            }
        }
        std::sort(track.begin(), track.end());
        return track.size() < 4 ? 0.0 : track[track.size() * 3 / 4] - track[track.size() / 4];
    };
    const QString text =
        QStringLiteral("\\Pit=150\\Why would anyone ever want to climb that mountain again?");
    const double normal = spread(synth(text));
    const double flat = spread(synth(QStringLiteral("\\Chr=\"Monotone\"\\") + text));
    QVERIFY2(flat < normal / 2,
             qPrintable(QStringLiteral("spread %1 Hz, monotone %2 Hz").arg(normal).arg(flat)));
}

void TestTtsSynthesis::whisperHasNoVoiceButKeepsTheWords() {
    const QString text = QStringLiteral("Can you keep a secret? Nobody else must ever know about it.");
    const SynthChunk normal = synth(text);
    const SynthChunk whispered = synth(QStringLiteral("\\Chr=\"Whisper\"\\") + text);
    const int rate = testVoice().sampleRate();
    const auto rms = [](const SynthChunk& c) {
        double sum = 0;
        for (const auto s : c.samples) {
            sum += double(s) * s;
        }
        return std::sqrt(sum / double(std::max<std::size_t>(c.samples.size(), 1)));
    };
    const std::size_t voiced = test::pitchTrack(normal.samples, rate).size();
    QVERIFY(voiced > 50);
    QVERIFY2(test::pitchTrack(whispered.samples, rate).size() * 10 < voiced,
             qPrintable(QString::number(test::pitchTrack(whispered.samples, rate).size())));
    // The balloon and the mouth follow a whisper the same way: the same events, each within 5 ms (where the
    // first sound of the request begins may differ by a murmur).
    const qint64 within = rate / 200;
    QVERIFY(std::abs(qint64(whispered.samples.size()) - qint64(normal.samples.size())) <= within);
    QVERIFY(rms(whispered) > 0.3 * rms(normal) && rms(whispered) < rms(normal));
    QCOMPARE(whispered.events.size(), normal.events.size());
    for (qsizetype i = 0; i < normal.events.size(); ++i) {
        TimelineEvent moved = whispered.events[i];
        QVERIFY(std::abs(moved.sample - normal.events[i].sample) <= within);
        moved.sample = normal.events[i].sample;
        QCOMPARE(moved, normal.events[i]);
    }
}

void TestTtsSynthesis::firstChunkOfAHugeTextIsAsSmallAsOfOneSentence() {
    const QString sentence = QStringLiteral("This sentence is spoken first. ");
    QString huge;
    while (huge.size() < 1024 * 1024) {
        huge += QStringLiteral("And then a great deal more follows, sentence after sentence. ");
    }
    const Voice& voice = testVoice();
    RequestSynthesizer shortOne(voice, parseSpeechTags(sentence, {}));
    RequestSynthesizer longOne(voice, parseSpeechTags(sentence + huge, {}));
    const SynthChunk a = shortOne.next();
    const SynthChunk b = longOne.next();
    QVERIFY(!b.samples.empty());
    QCOMPARE(longOne.charactersSynthesised(), shortOne.charactersSynthesised());
    QCOMPARE(b.samples.size(), a.samples.size());
    QVERIFY(!longOne.atEnd());
    // A sentence longer than a chunk is not waited for either.
    RequestSynthesizer runOn(voice, parseSpeechTags(huge.replace(u'.', u','), {}));
    runOn.next();
    QVERIFY(runOn.charactersSynthesised() <= 200);
}

void TestTtsSynthesis::wordsFollowTheBalloonText() {
    const QString request =
        QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\Send it to \\Ctx=\"E-mail\"\\bob@example.com, "
                       "\\Map=\"please\"=\"pls\"\\ by 10:30 \"today\" (or never).");
    const ParsedRequest parsed = parseSpeechTags(request, {});
    const SynthChunk all = synthesizeAll(testVoice(), parsed);
    QStringList words;
    qint64 last = -1;
    for (const TimelineEvent& e : all.events) {
        QVERIFY(e.sample >= last);
        last = e.sample;
        if (e.kind == TimelineEvent::Kind::Word) {
            words << parsed.balloonText.mid(e.start, e.length);
        }
    }
    QCOMPARE(words, parsed.balloonText.split(u' '));
    QCOMPARE(all.events.back().kind, TimelineEvent::Kind::End);
    QCOMPARE(all.events.back().sample, qint64(all.samples.size()));
}

void TestTtsSynthesis::oddTextIsSpokenWithoutHarm() {
    for (const QString& text : {QStringLiteral("\u00e9t\u00e9 \u00fcber na\u00efve"),
                                QStringLiteral("\U0001F600 \u4e2d\u6587 \t\r\n"),
                                QStringLiteral("!!! ??? ... ---"), QStringLiteral("\\Pau=300\\"), QString(),
                                // One word longer than a chunk, spelled letter by letter: three chunks of it
                                // take the natural voice as long as twenty-five take flite.
                                QString(testVoice().name() == QStringLiteral("kal16") ? 5000 : 600, u'x'),
                                QStringLiteral("1234567890123456789012345678901234567890")}) {
        const ParsedRequest parsed = parseSpeechTags(text, {});
        const SynthChunk all = synthesizeAll(testVoice(), parsed);
        for (const TimelineEvent& e : all.events) {
            QVERIFY(e.start >= 0 && e.start + e.length <= parsed.balloonText.size());
            QVERIFY(e.sample >= 0 && e.sample <= qint64(all.samples.size()));
        }
    }
}

void TestTtsSynthesis::timelinesMatchTheKnownGoodOnes() {
    // Each file holds a request on its first line ("request: ...") and the timeline it must give.
    // kal16's files are in the folder, every other voice's in a folder of its name.
    const Voice& voice = testVoice();
    const QDir kal16(QStringLiteral(CW_TTS_TIMELINES));
    const QDir dir(voice.name() == QStringLiteral("kal16") ? kal16.path() : kal16.filePath(voice.name()));
    const bool update = qEnvironmentVariableIsSet("CW_UPDATE_TIMELINES");
    if (update && !dir.exists()) {
        QVERIFY(QDir().mkpath(dir.path()));
        for (const QString& name : kal16.entryList({QStringLiteral("*.txt")}, QDir::Files)) {
            QFile::copy(kal16.filePath(name), dir.filePath(name)); // the requests; the timelines follow
        }
    }
    const QStringList files = dir.entryList({QStringLiteral("*.txt")}, QDir::Files);
    QVERIFY(files.size() >= 3);
    for (const QString& name : files) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString content = QString::fromUtf8(file.readAll());
        file.close();
        const QString header = content.section(u'\n', 0, 0);
        QVERIFY2(header.startsWith(QStringLiteral("request: ")), qPrintable(name));
        const QString request = header.mid(9);
        const ParsedRequest parsed = parseSpeechTags(request, {});
        const QString expected =
            header + u'\n' +
            formatTimeline(synthesizeAll(voice, parsed).events, voice.sampleRate(), parsed.balloonText);
        if (update) {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
            file.write(expected.toUtf8());
            continue;
        }
        QCOMPARE(expected, content);
    }
}

QTEST_GUILESS_MAIN(TestTtsSynthesis)
#include "tst_tts_synthesis.moc"
