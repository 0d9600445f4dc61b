// The engine against an output it cannot trust, on a clock moved by hand: an output that never begins, one
// that stops playing in the middle, and one that is lost are each left for the silent clock at the moment
// the rules say (1.5 s after the first samples, 4 s without progress, at once), and every request still ends
// with every word. While the output plays, the words follow its position, not the clock.
#include "EngineRecorder.h"
#include "FakeAudioOutput.h"
#include "core/Clock.h"
#include "tts/SpeechEngine.h"

#include <QDeadlineTimer>
#include <QTest>

using namespace cw::tts;
using cw::ManualClock;
using cw::tts::test::EngineRecorder;
using cw::tts::test::FakeAudioOutput;

namespace {

const QString kThreeWords = QStringLiteral("\\Spd=350\\One two three.");
const QStringList kThreeWordsHeard{"started \"One two three.\"", "word \"One\"", "word \"two\"",
                                   "word \"three.\"", "finished"};
const QString kSixWords = QStringLiteral("\\Spd=200\\One two three four five six.");
const QStringList kSixWordsHeard{"started \"One two three four five six.\"",
                                 "word \"One\"",
                                 "word \"two\"",
                                 "word \"three\"",
                                 "word \"four\"",
                                 "word \"five\"",
                                 "word \"six.\"",
                                 "finished"};

/// An engine on a hand-moved clock, playing through a fake output.
struct Rig {
    // The voice makes each sentence whole, so a clock moved by hand faster than real time cannot outrun
    // synthesis, which runs in real time on its thread.
    Rig() { engine.setDefaults(QStringLiteral("kal16"), 95, 198); }

    ManualClock clock;
    FakeAudioOutput output;
    SpeechEngine engine{clock, output};
    EngineRecorder rec{engine};

    /// Moves the clock on 10 ms at a time, letting the event loop run between steps (synthesis runs on a
    /// thread of its own), until `count` requests have finished; false if the engine never gets there.
    bool runClockUntilFinished(int count) {
        const QDeadlineTimer safetyNet(60000); // only against a hung engine; nothing is measured
        while (rec.finishedCount() < count) {
            if (safetyNet.hasExpired()) {
                return false;
            }
            clock.advance(10);
            QCoreApplication::processEvents();
        }
        return true;
    }
    qsizetype words(quint64 id) const { return rec.of(id).filter(QStringLiteral("word")).size(); }
};

} // namespace

class TestTtsOutputStalls : public QObject {
    Q_OBJECT
private slots:
    void anOutputThatNeverBeginsIsLeftAfterOneAndAHalfSeconds();
    void anOutputThatStandsStillIsLeftAfterFourSeconds();
    void aLostOutputIsLeftAtOnce();
    void wordsFollowTheOutputNotTheClock();
    void anOutputThatCannotStartLeavesTheRequestToTheClock();
};

void TestTtsOutputStalls::anOutputThatNeverBeginsIsLeftAfterOneAndAHalfSeconds() {
    Rig r;
    const quint64 id = r.engine.speak(kThreeWords);
    // The wait counts from the first samples, however long synthesis took on the real clock.
    QTRY_VERIFY(r.engine.statistics().nsToFirstSamples >= 0);
    r.output.take(320);                              // the device took some, and plays nothing
    const QStringList atFirstSamples = r.rec.of(id); // what lies on the very first sample, if anything

    r.clock.advance(1490);
    QCOMPARE(r.rec.of(id), atFirstSamples);
    QCOMPARE(r.output.calls, QStringList{"start"});

    QTest::ignoreMessage(QtWarningMsg, "audio output stalled - going on silently");
    r.clock.advance(20);
    QCOMPARE(r.output.calls, (QStringList{"start", "stop"}));
    QVERIFY(!r.output.hasSource());

    QVERIFY(r.runClockUntilFinished(1));
    QCOMPARE(r.rec.withoutMouths(id), kThreeWordsHeard);
    QVERIFY(r.rec.of(id).filter(QStringLiteral("mouth")).size() >= 3);
    QVERIFY(!r.engine.statistics().audible);
}

void TestTtsOutputStalls::anOutputThatStandsStillIsLeftAfterFourSeconds() {
    Rig r;
    const quint64 id = r.engine.speak(kSixWords);
    QTRY_VERIFY(r.engine.statistics().nsToFirstSamples >= 0);
    QVERIFY(r.output.take(8000) > 4000);
    r.output.play(4000);
    r.clock.advance(10);
    QVERIFY(r.engine.statistics().audible);
    const qsizetype wordsBeforeStall = r.words(id);

    // Four seconds in which the device holds audio and plays none of it: no word comes from the clock.
    r.clock.advance(3990);
    QCOMPARE(r.words(id), wordsBeforeStall);
    QCOMPARE(r.output.calls, QStringList{"start"});

    QTest::ignoreMessage(QtWarningMsg, "audio output stalled - going on silently");
    r.clock.advance(20);
    QCOMPARE(r.output.calls, (QStringList{"start", "stop"}));

    // What the device took but never played is spoken on the clock too: no word is lost.
    QVERIFY(r.runClockUntilFinished(1));
    QCOMPARE(r.rec.withoutMouths(id), kSixWordsHeard);
}

void TestTtsOutputStalls::aLostOutputIsLeftAtOnce() {
    Rig r;
    const quint64 id = r.engine.speak(kSixWords);
    QTRY_VERIFY(r.engine.statistics().nsToFirstSamples >= 0);
    QVERIFY(r.output.take(8000) > 2000);
    r.output.play(2000);
    r.clock.advance(10);

    r.output.loseDevice();
    QTest::ignoreMessage(QtWarningMsg, "audio output lost - going on silently");
    r.clock.advance(10); // one tick
    QCOMPARE(r.output.calls, (QStringList{"start", "pause"}));
    QVERIFY(!r.output.hasSource()); // the lost output reads nothing more of the request

    QVERIFY(r.runClockUntilFinished(1));
    QCOMPARE(r.rec.withoutMouths(id), kSixWordsHeard);
}

void TestTtsOutputStalls::wordsFollowTheOutputNotTheClock() {
    Rig r;
    const quint64 id = r.engine.speak(kThreeWords);
    QTRY_VERIFY(r.engine.statistics().nsToFirstSamples >= 0);
    const qsizetype atFirstSample = r.words(id);
    r.clock.advance(1000); // long enough to speak every word, but the device has played nothing
    QCOMPARE(r.words(id), atFirstSample);
    QVERIFY(atFirstSample < 3);

    // The device plays 10 ms of samples every 10 ms of the clock; the 5 ms it holds at the end are played out
    // on the clock once it has been told to drain.
    const int rate = r.engine.statistics().sampleRate;
    r.output.holdBack = rate / 200;
    while (r.rec.finishedCount() == 0) {
        r.output.take(rate / 100);
        r.output.playAll();
        r.clock.advance(10);
        QCoreApplication::processEvents();
        QVERIFY(r.clock.now() < 60000);
    }
    QCOMPARE(r.rec.withoutMouths(id), kThreeWordsHeard);
    QVERIFY(r.engine.statistics().audible);
    QCOMPARE(r.output.calls, (QStringList{"start", "drain", "pause"}));
}

void TestTtsOutputStalls::anOutputThatCannotStartLeavesTheRequestToTheClock() {
    Rig r;
    r.output.startSucceeds = false;
    QTest::ignoreMessage(QtInfoMsg, "no audio output - speaking silently");
    const quint64 first = r.engine.speak(kThreeWords);
    QVERIFY(r.runClockUntilFinished(1));
    QCOMPARE(r.rec.withoutMouths(first), kThreeWordsHeard);
    QVERIFY(!r.engine.statistics().audible);
    QCOMPARE(r.output.calls, (QStringList{"start", "pause"}));
}

QTEST_GUILESS_MAIN(TestTtsOutputStalls)
#include "tst_tts_output_stalls.moc"
