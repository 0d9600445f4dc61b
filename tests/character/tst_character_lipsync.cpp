// Lip sync: for a fixed speech timeline, the mouth drawn in the character's frame at each moment is the one
// the timeline gives for that moment, within one frame.
#include "CharacterTestSupport.h"

#include "character/CharacterEngine.h"
#include "character/CharacterWindow.h"
#include "character/FrameRenderer.h"

#include <QApplication>
#include <QTest>

using namespace cw::character;
using cw::Mouth;
using namespace cw::character::test;

namespace {

// The test character's mouth overlays are solid colours, in the order of Mouth.
const QRgb kMouthColour[cw::kMouthCount] = {0xff000000, 0xffff0000, 0xff00ff00, 0xff0000ff,
                                            0xffffff00, 0xffff00ff, 0xff00ffff};
constexpr qint64 kFrameMs = 1000 / 30;

std::vector<ScriptedSpeech::Event> timeline() {
    using E = ScriptedSpeech::Event;
    std::vector<E> events{{E::Started, 0}};
    // Irregular steps through every shape, as real phones would come.
    const int steps[] = {40, 70, 35, 90, 55, 120, 45, 60, 80, 50, 65, 95, 30, 75};
    qint64 t = 20;
    int shape = 1;
    for (int step : steps) {
        events.push_back({E::MouthShape, t, 0, 0, Mouth(shape)});
        shape = (shape + 3) % cw::kMouthCount;
        t += step;
    }
    events.push_back({E::MouthShape, t, 0, 0, Mouth::Closed});
    events.push_back({E::Finished, t + 40});
    return events;
}

Mouth expectedAt(const std::vector<ScriptedSpeech::Event>& events, qint64 t) {
    Mouth m = Mouth::Closed;
    for (const auto& e : events) {
        if (e.kind == ScriptedSpeech::Event::MouthShape && e.at <= t)
            m = e.shape;
    }
    return m;
}

} // namespace

class TestAgentLipSync : public QObject {
    Q_OBJECT
private slots:
    void mouthFollowsTheTimeline_data() {
        QTest::addColumn<QString>("before");
        QTest::newRow("reading from the book") << "Read";
        QTest::newRow("speaking animation") << "";
    }
    void mouthFollowsTheTimeline() {
        QFETCH(QString, before);
        ManualClock clock;
        ScriptedSpeech speech(clock);
        speech.script = timeline();
        CharacterEngine engine(tiny(), clock, speech);
        engine.setRandom([](int) { return 0; });
        FrameRenderer renderer(tiny());
        CharacterWindow window(engine, renderer);

        engine.show();
        if (!before.isEmpty())
            engine.play(before);
        clock.advance(1000);
        engine.speak(QStringLiteral("Hello there"));
        clock.advance(0);
        const qint64 start = clock.now();
        const qint64 end = speech.script.back().at;

        int checked = 0;
        while (clock.now() - start < end) {
            clock.advance(1);
            QCoreApplication::processEvents(); // the window composes on the next turn of the event loop
            const qint64 t = clock.now() - start;
            if (t >= end)
                break;
            const QRgb drawn = window.frameImage().pixel(20, 22);
            const QRgb now = kMouthColour[int(expectedAt(speech.script, t))];
            const QRgb frameAgo =
                kMouthColour[int(expectedAt(speech.script, std::max<qint64>(0, t - kFrameMs)))];
            QVERIFY2(drawn == now || drawn == frameAgo,
                     qPrintable(QStringLiteral("at %1 ms: drawn %2, timeline %3")
                                    .arg(t)
                                    .arg(drawn, 8, 16)
                                    .arg(now, 8, 16)));
            ++checked;
        }
        QVERIFY(checked > 500);

        // Once the speech is over the overlay is gone.
        clock.advance(200);
        QCoreApplication::processEvents();
        QVERIFY(!engine.mouth());
        const QRgb after = window.frameImage().pixel(20, 22);
        QVERIFY(std::find(std::begin(kMouthColour), std::end(kMouthColour), after) == std::end(kMouthColour));
    }
};

QTEST_MAIN(TestAgentLipSync)
#include "tst_character_lipsync.moc"
