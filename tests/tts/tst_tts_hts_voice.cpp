// The natural (HTS) voice: its frame-by-frame vocoder makes exactly what the HTS engine makes, pieces of any
// size join without a seam, phones and words cover each sentence, monotone and whisper do what they say, and
// Stop in the middle of a frame silences the request and leaves the engine ready for the next.
#include "AudioAnalysis.h"
#include "EngineRecorder.h"
#include "FakeAudioOutput.h"
#include "core/Clock.h"
#include "tts/HtsVoice.h"
#include "tts/SpeechEngine.h"

#include <QTest>
#include <algorithm>

using namespace cw::tts;
using cw::ManualClock;
using test::EngineRecorder;
using test::FakeAudioOutput;

namespace {

const QString kSentence = QStringLiteral("Is it $12.50, or 7 pounds? Dr. Smith wasn't sure.");

VoiceSettings settingsAt(int pitchHz, VoiceCharacter character = VoiceCharacter::Normal) {
    VoiceSettings settings;
    settings.pitchHz = pitchHz;
    settings.wordsPerMinute = 170;
    settings.character = character;
    return settings;
}

} // namespace

class TestTtsHtsVoice : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void frameByFrameIsTheEnginesOwnSound();
    void piecesOfAnySizeJoinWithoutASeam();
    void phonesAndWordsCoverTheSentence();
    void monotoneIsFlatAtTheAskedPitch();
    void whisperIsSofterAndKeepsItsLength();
    void stopInTheMiddleOfAFrameSilencesAtOnce();
};

void TestTtsHtsVoice::initTestCase() {
    QVERIFY2(HtsVoice::available(), "the natural voice is not installed (tools/install-deps.sh installs it)");
    QVERIFY(HtsVoice().load());
}

void TestTtsHtsVoice::frameByFrameIsTheEnginesOwnSound() {
    // With the voice's own all-pass constant, the frames vocoded one at a time through the engine's vocoder
    // are, sample for sample, the engine's own whole waveform: the frames are handed over as it hands them.
    HtsVoice voice;
    voice.setAlpha(0.45);
    for (const VoiceSettings& settings : {settingsAt(120), settingsAt(300, VoiceCharacter::Monotone)}) {
        const std::vector<qint16> ours = voice.synthesize(kSentence, settings).samples;
        const std::vector<qint16> engines = voice.engineWaveform(kSentence, settings);
        QVERIFY(ours.size() > 16000);
        QCOMPARE(ours.size(), engines.size());
        QVERIFY(ours == engines);
    }
    // The genie's own constant changes the sound, not its length.
    const HtsVoice male;
    const std::vector<qint16> his = male.synthesize(kSentence, settingsAt(120)).samples;
    QCOMPARE(his.size(), voice.engineWaveform(kSentence, settingsAt(120)).size());
    QVERIFY(his != voice.engineWaveform(kSentence, settingsAt(120)));
}

void TestTtsHtsVoice::piecesOfAnySizeJoinWithoutASeam() {
    const HtsVoice voice;
    const std::vector<qint16> whole = voice.synthesize(kSentence, settingsAt(110)).samples;
    const std::unique_ptr<SentenceSynthesis> sentence = voice.begin(kSentence, settingsAt(110));
    QVERIFY(sentence);
    std::vector<qint16> pieces;
    // Sizes that end inside frames (a frame is 160 samples), across them, and on their edges.
    const qint64 sizes[] = {1, 7, 159, 160, 161, 333, 1000, 3200};
    for (int i = 0; !sentence->atEnd(); ++i) {
        const std::vector<qint16> piece = sentence->read(sizes[i % std::size(sizes)]);
        QVERIFY(!piece.empty());
        pieces.insert(pieces.end(), piece.begin(), piece.end());
    }
    QVERIFY(sentence->read(100).empty());
    QVERIFY(pieces == whole);
}

void TestTtsHtsVoice::phonesAndWordsCoverTheSentence() {
    const HtsVoice voice;
    const std::unique_ptr<SentenceSynthesis> sentence = voice.begin(kSentence, settingsAt(110));
    QVERIFY(sentence);
    const auto& phones = sentence->phones();
    QVERIFY(phones.size() > 20);
    QCOMPARE(phones.front().name, QByteArray("pau"));
    QCOMPARE(phones.back().end, sentence->length());
    for (qsizetype i = 1; i < phones.size(); ++i) {
        QVERIFY(phones[i].end > phones[i - 1].end); // every phone lasts at least a frame
    }
    QStringList tokens;
    qint64 last = -1;
    for (const auto& token : sentence->tokens()) {
        QVERIFY(token.start > last);
        QVERIFY(
            std::any_of(phones.begin(), phones.end(), [&](const auto& p) { return p.end == token.start; }));
        last = token.start;
        tokens << token.name;
    }
    // One entry a token, however many words it is read as ("twelve dollars and fifty cents").
    QCOMPARE(tokens,
             (QStringList{"Is", "it", "$12.50", "or", "7", "pounds", "Dr", "Smith", "wasn't", "sure"}));
}

void TestTtsHtsVoice::monotoneIsFlatAtTheAskedPitch() {
    const HtsVoice voice;
    for (const int hz : {80, 200}) {
        const std::vector<qint16> samples =
            voice.synthesize(kSentence, settingsAt(hz, VoiceCharacter::Monotone)).samples;
        std::vector<double> track = test::pitchTrack(samples, voice.sampleRate());
        QVERIFY(track.size() > 20);
        std::sort(track.begin(), track.end());
        const double median = track[track.size() / 2];
        const double spread = track[track.size() * 3 / 4] - track[track.size() / 4];
        QVERIFY2(std::abs(median - hz) <= 0.1 * hz, qPrintable(QString::number(median)));
        QVERIFY2(spread <= 0.05 * hz, qPrintable(QString::number(spread)));
    }
}

void TestTtsHtsVoice::whisperIsSofterAndKeepsItsLength() {
    const HtsVoice voice;
    const std::vector<qint16> spoken = voice.synthesize(kSentence, settingsAt(120)).samples;
    const std::vector<qint16> whispered =
        voice.synthesize(kSentence, settingsAt(120, VoiceCharacter::Whisper)).samples;
    QCOMPARE(whispered.size(), spoken.size());
    // Not one frame is voiced: the vocoder excites every one with noise.
    const auto [voicedSpoken, frames] = voice.voicedFrames(kSentence, settingsAt(120));
    QVERIFY(voicedSpoken > frames / 4);
    QCOMPARE(voice.voicedFrames(kSentence, settingsAt(120, VoiceCharacter::Whisper)),
             std::make_pair(0, frames));
    // And a pitch tracker finds little to follow (noise through a narrow formant can look periodic for a
    // frame).
    const std::size_t voiced = test::pitchTrack(spoken, voice.sampleRate()).size();
    QVERIFY2(test::pitchTrack(whispered, voice.sampleRate()).size() * 4 < voiced,
             qPrintable(QString::number(voiced)));
    const auto peak = [](const std::vector<qint16>& s) {
        return std::abs(int(*std::max_element(
            s.begin(), s.end(), [](qint16 a, qint16 b) { return std::abs(int(a)) < std::abs(int(b)); })));
    };
    QVERIFY(peak(whispered) < peak(spoken));
}

void TestTtsHtsVoice::stopInTheMiddleOfAFrameSilencesAtOnce() {
    ManualClock clock;
    FakeAudioOutput output;
    SpeechEngine engine(clock, output);
    EngineRecorder rec(engine);
    engine.setDefaults(HtsVoice::kName, 120, 170);
    const QString longText =
        QString(QStringLiteral("Every word of this is made a frame at a time. ")).repeated(40);
    const quint64 first = engine.speak(longText);
    QTRY_VERIFY(engine.statistics().nsToFirstSamples >= 0);
    QTRY_VERIFY(output.take(1234) > 0); // 7.7 frames: the device's read ends inside a frame
    engine.stop();
    QVERIFY(output.calls.contains(QStringLiteral("stop")));
    QVERIFY(!output.hasSource()); // nothing more of the request is heard
    QTRY_COMPARE(rec.finishedCount(), 1);
    QVERIFY(rec.of(first).contains(QStringLiteral("finished")));
    // The synthesis thread let go of the stopped request: the next one is made from its start.
    const quint64 second = engine.speak(QStringLiteral("Next."));
    QTRY_VERIFY(output.take(320) > 0);
    QVERIFY(second != first);
    engine.stop();
    QTRY_COMPARE(rec.finishedCount(), 2);
}

QTEST_GUILESS_MAIN(TestTtsHtsVoice)
#include "tst_tts_hts_voice.moc"
