// The natural (HTS) voice: its frame-by-frame vocoder makes exactly what the HTS engine makes, pieces of any
// size join without a seam, phones and words cover each sentence, monotone and whisper do what they say, and
// Stop in the middle of a frame silences the request and leaves the engine ready for the next.
#include "AudioAnalysis.h"
#include "EngineRecorder.h"
#include "FakeAudioOutput.h"
#include "core/Clock.h"
#include "tts/HighBandSwap.h"
#include "tts/HtsVoice.h"
#include "tts/SpeechEngine.h"

#include <QTest>
#include <algorithm>
#include <cmath>
#include <numbers>

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

std::vector<qint16> tones(std::initializer_list<std::pair<double, double>> hzAndAmplitude, int count,
                          int rate) {
    std::vector<qint16> out(std::size_t(count), 0);
    for (int i = 0; i < count; ++i) {
        double v = 0;
        for (const auto& [hz, amplitude] : hzAndAmplitude) {
            v += amplitude * std::sin(2 * std::numbers::pi * hz * i / rate);
        }
        out[std::size_t(i)] = qint16(std::lround(v));
    }
    return out;
}

/// The amplitude of one frequency in `samples` from `from` on (Goertzel).
double amplitudeAt(const std::vector<qint16>& samples, std::size_t from, double hz, int rate) {
    const double w = 2 * std::numbers::pi * hz / rate;
    double s1 = 0;
    double s2 = 0;
    for (std::size_t i = from; i < samples.size(); ++i) {
        const double s0 = samples[i] + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double n = double(samples.size() - from);
    return 2 * std::sqrt(s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2) / n;
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
    void theHighBandIsSwappedAtItsOwnLoudness();
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
    voice.setBuzzReduction(false);
    for (const VoiceSettings& settings : {settingsAt(120), settingsAt(300, VoiceCharacter::Monotone)}) {
        const std::vector<qint16> ours = voice.synthesize(kSentence, settings).samples;
        const std::vector<qint16> engines = voice.engineWaveform(kSentence, settings);
        QVERIFY(ours.size() > 16000);
        QCOMPARE(ours.size(), engines.size());
        QVERIFY(ours == engines);
    }
    // The genie's own constant changes the sound, not its length.
    HtsVoice male;
    male.setBuzzReduction(false);
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

void TestTtsHtsVoice::theHighBandIsSwappedAtItsOwnLoudness() {
    // What softens the buzz: above 5 kHz, a voiced frame's sound is replaced by the noise-excited one's, at
    // the loudness the voiced one had there; below, it is kept. Tones stand in for both, fed a frame at a
    // time.
    const int rate = 32000;
    const int length = rate / 2;
    std::vector<qint16> voiced = tones({{500, 8000}, {9000, 1000}}, length, rate);
    const std::vector<qint16> noise = tones({{7000, 3000}}, length, rate);
    HighBandSwap swap(5000, rate);
    for (int at = 0; at < length; at += 160) {
        std::vector<qint16> a(voiced.begin() + at, voiced.begin() + at + 160);
        swap.mix(a, std::vector<qint16>(noise.begin() + at, noise.begin() + at + 160));
        std::copy(a.begin(), a.end(), voiced.begin() + at);
    }
    const std::size_t settled = std::size_t(rate / 10);
    QVERIFY(std::abs(amplitudeAt(voiced, settled, 500, rate) - 8000) < 80); // the low band, within 1 %
    QVERIFY2(amplitudeAt(voiced, settled, 9000, rate) < 100,
             qPrintable(QString::number(amplitudeAt(voiced, settled, 9000, rate)))); // 20 dB down
    QVERIFY(std::abs(amplitudeAt(voiced, settled, 7000, rate) - 1000) < 100); // the noise's, at its loudness
}

QTEST_GUILESS_MAIN(TestTtsHtsVoice)
#include "tst_tts_hts_voice.moc"
