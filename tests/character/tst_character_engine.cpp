// The request queue of a character, driven by a hand-moved clock and a scripted speech timeline.
#include "CharacterTestSupport.h"

#include "character/CharacterEngine.h"
#include "character/Description.h"
#include "core/Failure.h"

#include <QSignalSpy>
#include <QTest>

using namespace cw::character;
using cw::Mouth;
using namespace cw::character::test;

namespace {

/// The program's own character, as drawn.
std::shared_ptr<const CharacterData> genie() {
    static const auto data =
        std::make_shared<const CharacterData>(readDescription(QStringLiteral(CW_GENIE_DESCRIPTION)).value());
    return data;
}

struct Rig {
    ManualClock clock;
    ScriptedSpeech speech{clock};
    CharacterEngine engine;
    QStringList animations;                         // names in the order they started
    QList<std::pair<cw::RequestId, bool>> finished; // requests in the order they ended
    QList<QPoint> positions;

    explicit Rig(std::shared_ptr<const CharacterData> data = tiny())
        : engine(std::move(data), clock, speech) {
        engine.setRandom([](int) { return 0; });
        QObject::connect(&engine, &CharacterEngine::animationStarted,
                         [this](const QString& n) { animations << n; });
        QObject::connect(&engine, &CharacterEngine::requestFinished, [this](cw::RequestId id, bool done) {
            finished.append({id, done});
        });
        QObject::connect(&engine, &CharacterEngine::moved, [this](QPoint p) { positions << p; });
    }
    // Shows the character and lets the showing animation finish.
    void shown() {
        engine.show();
        clock.advance(1000);
        animations.clear();
        finished.clear();
    }
    QString shownAnimation() const { return engine.data().animations[engine.animation()].name; }
    bool done(cw::RequestId id) const {
        for (const auto& [f, ok] : finished) {
            if (f == id)
                return ok;
        }
        return false;
    }
    bool ended(cw::RequestId id) const {
        return std::any_of(finished.begin(), finished.end(), [id](const auto& f) { return f.first == id; });
    }
};

} // namespace

class TestAgentEngine : public QObject {
    Q_OBJECT
private slots:
    // Say it after a change plays Show (when he is hidden), "Read", the speech and "ReadReturn". The genie's
    // gestures leave the voice room to be heard within 300 ms of the click with him on screen and 700 ms with
    // him hidden (the click and the sound take some time of their own), and he speaks from his open book.
    void sayItAfterAChangeSpeaksFromTheOpenBookAtOnce_data() {
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<QStringList>("before"); // gestures asked for before Say it
        QTest::addColumn<int>("budgetMs");
        QTest::newRow("on screen") << false << QStringList{} << 230;
        QTest::newRow("hidden") << true << QStringList{} << 560;
        QTest::newRow("right after a preset") << false << QStringList{"Write", "WriteReturn"} << 700;
    }
    void sayItAfterAChangeSpeaksFromTheOpenBookAtOnce() {
        QFETCH(bool, hidden);
        QFETCH(QStringList, before);
        QFETCH(int, budgetMs);
        Rig rig(genie());
        if (!hidden)
            rig.shown();
        for (const QString& gesture : before)
            rig.engine.play(gesture);
        rig.engine.show();
        rig.engine.play(QStringLiteral("Read"));
        rig.engine.speak(QStringLiteral("Hello there"));
        rig.engine.play(QStringLiteral("ReadReturn"));
        qint64 waited = 0;
        while (rig.speech.requests.isEmpty() && waited < 10'000) {
            rig.clock.advance(5);
            waited += 5;
        }
        qInfo("speech began %lld ms after Say it", waited);
        QVERIFY2(!rig.speech.requests.isEmpty(), "the request was never spoken");
        QVERIFY2(waited <= budgetMs,
                 qPrintable(QStringLiteral("speech began %1 ms after Say it").arg(waited)));
        QCOMPARE(rig.animations.mid(rig.animations.size() - 1), QStringList{"Read"});
        if (hidden)
            QCOMPARE(rig.animations, (QStringList{"Show", "Read"}));

        // He speaks in Read's last pose, the book open in his hands, his mouth moving.
        const CharacterData& data = rig.engine.data();
        const Animation& read = data.animations[rig.engine.animation()];
        QCOMPARE(read.name, QStringLiteral("Read"));
        QCOMPARE(rig.engine.frame(), int(read.frames.size()) - 1);
        QStringList layers;
        for (const Layer& layer : read.frames[std::size_t(rig.engine.frame())].layers)
            layers << data.images[std::size_t(layer.image)].name;
        QVERIFY2(layers.contains(QStringLiteral("bookOpen")), qPrintable(layers.join(u' ')));
        QVERIFY(rig.engine.mouth().has_value());
        // On the way there he held the book closed, then opened it: each pose on screen for a moment.
        int closedMs = 0;
        int openingMs = 0;
        for (const Frame& frame : read.frames) {
            QStringList names;
            for (const Layer& layer : frame.layers)
                names << data.images[std::size_t(layer.image)].name;
            if (names.contains(QStringLiteral("bookClosed")))
                closedMs += frame.duration;
            if (names.contains(QStringLiteral("bookOpen")) && &frame != &read.frames.back())
                openingMs += frame.duration;
        }
        QVERIFY2(closedMs >= 80, qPrintable(QStringLiteral("the closed book shows %1 ms").arg(closedMs)));
        QVERIFY2(openingMs >= 40, qPrintable(QStringLiteral("the opening book shows %1 ms").arg(openingMs)));
    }

    // The balloon's progress, told to whoever follows the character's speech: the Speak request's id with the
    // balloon text and each word, once the balloon shows it.
    void speechProgressNamesTheSpeakRequest() {
        Rig rig;
        rig.shown();
        QList<std::pair<cw::RequestId, QString>> started;
        QObject::connect(&rig.engine, &CharacterEngine::speechStarted,
                         [&started](cw::RequestId id, const QString& text) {
                             started.append({id, text});
                         });
        QList<std::tuple<cw::RequestId, int, int, int>> words; // id, start, length, balloon characters shown
        QObject::connect(&rig.engine, &CharacterEngine::wordSpoken,
                         [&rig, &words](cw::RequestId id, int s, int l) {
                             words.append({id, s, l, rig.engine.balloon().shown});
                         });
        rig.engine.play(QStringLiteral("Greet"));
        const cw::RequestId said = rig.engine.speak(QStringLiteral("Hello there"));
        rig.clock.advance(5000);
        QCOMPARE(started, (QList<std::pair<cw::RequestId, QString>>{{said, QStringLiteral("Hello there")}}));
        QCOMPARE(words, (QList<std::tuple<cw::RequestId, int, int, int>>{{said, 0, 5, 5}, {said, 6, 5, 11}}));
    }

    // Each key typed into the pitch or speed field plays "Alert"; a short gesture keeps typing from holding
    // the next request up.
    void theGeniesAlertIsShortAndEndsByItself() {
        const CharacterData& data = *genie();
        const Animation& alert = data.animations[data.findAnimation(QStringLiteral("Alert"))];
        int total = 0;
        for (const Frame& frame : alert.frames) {
            total += frame.duration;
            QVERIFY2(frame.branches.empty(), "a branch could make the gesture loop");
        }
        QVERIFY2(total <= 250, qPrintable(QStringLiteral("Alert lasts %1 ms").arg(total)));
    }

    void sayItRightAfterTypingThreeDigitsSpeaksWithinASecondAndAHalf() {
        Rig rig(genie());
        rig.engine.show();
        rig.clock.advance(5000);
        for (int key = 0; key < 3; ++key) {
            rig.engine.play(QStringLiteral("Alert"));
        }
        // Say it with the prompt untouched: Show, then Speak.
        rig.engine.show();
        rig.engine.speak(QStringLiteral("Type something in here"));
        qint64 waited = 0;
        while (rig.speech.requests.isEmpty() && waited < 10'000) {
            rig.clock.advance(10);
            waited += 10;
        }
        qInfo("speech began %lld ms after Say it, behind three Alerts", waited);
        QCOMPARE(rig.animations.count(QStringLiteral("Alert")), 3);
        QVERIFY2(!rig.speech.requests.isEmpty(), "the request was never spoken");
        QVERIFY2(waited <= 1500, qPrintable(QStringLiteral("speech began %1 ms after Say it").arg(waited)));
    }

    void requestsReturnAtOnceAndRunInOrder() {
        Rig rig;
        rig.engine.setPosition({0, 0});
        const auto show = rig.engine.show();
        const auto move = rig.engine.moveTo({300, 0});
        const auto greet = rig.engine.play(QStringLiteral("Greet"));
        const auto blink = rig.engine.play(QStringLiteral("Blink"));
        // Nothing happens inside the calls.
        QVERIFY(!rig.engine.isVisible());
        QVERIFY(rig.animations.isEmpty());
        QVERIFY(show < move && move < greet && greet < blink);

        rig.clock.advance(5000);
        QCOMPARE(rig.animations, (QStringList{"Appear", "FloatRight", "Greet", "Blink"}));
        QCOMPARE(rig.finished.size(), 4);
        QCOMPARE(rig.finished[0], std::make_pair(show, true));
        QCOMPARE(rig.finished[1], std::make_pair(move, true));
        QCOMPARE(rig.finished[2], std::make_pair(greet, true));
        QCOMPARE(rig.finished[3], std::make_pair(blink, true));
        QCOMPARE(rig.engine.position(), QPoint(300, 0));
    }

    void animationFramesFollowTheirDurations() {
        Rig rig;
        rig.shown();
        rig.engine.play(QStringLiteral("Greet")); // three frames of 100 ms
        rig.clock.advance(0);
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Greet"));
        QCOMPARE(rig.engine.frame(), 0);
        rig.clock.advance(99);
        QCOMPARE(rig.engine.frame(), 0);
        rig.clock.advance(1);
        QCOMPARE(rig.engine.frame(), 1);
        rig.clock.advance(100);
        QCOMPARE(rig.engine.frame(), 2);
        QCOMPARE(rig.engine.activity(), CharacterEngine::Activity::Playing);
        rig.clock.advance(100);
        QCOMPARE(rig.engine.activity(), CharacterEngine::Activity::None);
        QCOMPARE(rig.engine.frame(), 2); // the last frame stays on screen
    }

    void showAndHide() {
        Rig rig;
        QSignalSpy visibility(&rig.engine, &CharacterEngine::visibilityChanged);
        const auto first = rig.engine.show();
        rig.clock.advance(0);
        QVERIFY(rig.engine.isVisible());
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Appear"));
        rig.clock.advance(1000);
        QVERIFY(rig.done(first));

        // Showing a visible character changes nothing and plays nothing.
        rig.animations.clear();
        const auto again = rig.engine.show();
        rig.clock.advance(1000);
        QVERIFY(rig.done(again));
        QVERIFY(rig.animations.isEmpty());
        QCOMPARE(visibility.count(), 1);

        const auto hide = rig.engine.hide();
        rig.clock.advance(0);
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Vanish"));
        QVERIFY(rig.engine.isVisible()); // it plays its hiding animation first
        rig.clock.advance(1000);
        QVERIFY(!rig.engine.isVisible());
        QVERIFY(rig.done(hide));

        // Hiding a hidden character fails quietly; showing it again plays the showing animation.
        rig.animations.clear();
        const auto hideAgain = rig.engine.hide();
        const auto showAgain = rig.engine.show();
        rig.clock.advance(1000);
        QVERIFY(rig.ended(hideAgain) && !rig.done(hideAgain));
        QVERIFY(rig.done(showAgain));
        QCOMPARE(rig.animations, QStringList{"Appear"});
    }

    void returnAnimationsComeFirst() {
        Rig rig;
        rig.shown();
        rig.engine.play(QStringLiteral("Read"));
        rig.engine.play(QStringLiteral("Greet"));
        rig.clock.advance(2000);
        QCOMPARE(rig.animations, (QStringList{"Read", "ReadReturn", "Greet"}));

        // Asked for explicitly, the Return animation plays once, not twice.
        rig.animations.clear();
        rig.engine.play(QStringLiteral("Write"));
        rig.engine.play(QStringLiteral("WriteReturn"));
        rig.engine.play(QStringLiteral("Alert"));
        rig.clock.advance(2000);
        QCOMPARE(rig.animations, (QStringList{"Write", "WriteReturn", "Alert"}));

        // An animation without a Return leaves nothing to play.
        rig.animations.clear();
        rig.engine.play(QStringLiteral("Think"));
        rig.engine.play(QStringLiteral("Think"));
        rig.clock.advance(2000);
        QCOMPARE(rig.animations, (QStringList{"Think", "Think"}));

        // Reading, then moving: the book is put away before floating off.
        rig.animations.clear();
        rig.engine.play(QStringLiteral("Read"));
        rig.engine.moveTo(rig.engine.position() + QPoint(-100, 0));
        rig.clock.advance(3000);
        QCOMPARE(rig.animations, (QStringList{"Read", "ReadReturn", "FloatLeft"}));
    }

    void unknownAnimationFailsAtTheCall() {
        Rig rig;
        rig.shown();
        try {
            rig.engine.play(QStringLiteral("Juggle"));
            QFAIL("no failure");
        } catch (const cw::Failure& e) {
            QVERIFY2(e.message().contains(QStringLiteral("\"Juggle\"")), qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(cw::Failure, rig.engine.play(QStringLiteral("greet"))); // names are exact
        rig.clock.advance(1000);
        QVERIFY(rig.finished.isEmpty());
        QVERIFY(rig.animations.isEmpty());
    }

    void requestsToAHiddenCharacterFailQuietly() {
        Rig rig;
        rig.engine.setPosition({50, 50});
        const auto play = rig.engine.play(QStringLiteral("Greet"));
        const auto speak = rig.engine.speak(QStringLiteral("Hello"));
        const auto move = rig.engine.moveTo({400, 400});
        const auto hide = rig.engine.hide();
        rig.clock.advance(2000);
        QCOMPARE(rig.finished.size(), 4);
        for (auto id : {play, speak, move, hide})
            QVERIFY(rig.ended(id) && !rig.done(id));
        QVERIFY(rig.animations.isEmpty());
        QVERIFY(rig.speech.requests.isEmpty());
        QVERIFY(!rig.engine.balloon().visible);
        QCOMPARE(rig.engine.position(), QPoint(50, 50));
        QVERIFY(!rig.engine.isVisible());
    }

    void moveIsSmoothAndStaysOnScreen() {
        Rig rig;
        rig.engine.setAreaFor([](const QRect&) { return QRect(0, 0, 800, 600); });
        rig.engine.setPosition({100, 100});
        rig.shown();
        const auto move = rig.engine.moveTo({500, 300}); // default: one second
        rig.clock.advance(0);
        QCOMPARE(rig.shownAnimation(), QStringLiteral("FloatRight"));
        rig.clock.advance(500);
        const QPoint half = rig.engine.position();
        QVERIFY2(half.x() > 100 && half.x() < 500 && half.y() > 100 && half.y() < 300,
                 qPrintable(QStringLiteral("%1,%2").arg(half.x()).arg(half.y())));
        QVERIFY(!rig.ended(move));
        rig.clock.advance(500);
        QCOMPARE(rig.engine.position(), QPoint(500, 300));
        QVERIFY(rig.done(move));
        // At least 30 positions a second, each step forward and none overshooting.
        QVERIFY2(rig.positions.size() >= 30, qPrintable(QString::number(rig.positions.size())));
        for (int i = 1; i < rig.positions.size(); ++i) {
            QVERIFY(rig.positions[i].x() >= rig.positions[i - 1].x());
            QVERIFY(rig.positions[i].x() <= 500);
        }

        // A target off the screen's available area is pulled back inside it (the frame is 40 x 40).
        rig.positions.clear();
        rig.engine.moveTo({2000, -50});
        rig.clock.advance(1500);
        QCOMPARE(rig.engine.position(), QPoint(760, 0));
        QCOMPARE(rig.animations.last(), QStringLiteral("FloatUp"));

        // Moving to where it stands completes at once without floating.
        rig.animations.clear();
        const auto stay = rig.engine.moveTo({760, 0});
        rig.clock.advance(0);
        QVERIFY(rig.done(stay));
        QVERIFY(rig.animations.isEmpty());
    }

    void movingPlaysTheAnimationOfItsDirection_data() {
        QTest::addColumn<QPoint>("target");
        QTest::addColumn<QString>("animation");
        QTest::newRow("left") << QPoint(0, 210) << "FloatLeft";
        QTest::newRow("right") << QPoint(400, 190) << "FloatRight";
        QTest::newRow("up") << QPoint(210, 0) << "FloatUp";
        QTest::newRow("down") << QPoint(190, 400) << "FloatDown";
    }
    void movingPlaysTheAnimationOfItsDirection() {
        QFETCH(QPoint, target);
        QFETCH(QString, animation);
        Rig rig;
        rig.engine.setPosition({200, 200});
        rig.shown();
        rig.engine.moveTo(target);
        rig.clock.advance(1500);
        QCOMPARE(rig.animations, QStringList{animation});
        QCOMPARE(rig.engine.position(), target);
    }

    void speakingShowsTheBalloonWordByWord() {
        Rig rig;
        rig.shown();
        const auto speak = rig.engine.speak(QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\Hello there"));
        rig.clock.advance(0);
        QCOMPARE(rig.speech.requests,
                 QStringList{QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\Hello there")});
        QVERIFY(!rig.engine.balloon().visible); // nothing audible yet
        rig.clock.advance(1);
        QVERIFY(rig.engine.balloon().visible);
        QCOMPARE(rig.engine.balloon().text, QStringLiteral("Hello there"));
        QCOMPARE(rig.engine.balloon().shown, 0);
        rig.clock.advance(50);
        QCOMPARE(rig.engine.balloon().text.left(rig.engine.balloon().shown), QStringLiteral("Hello"));
        rig.clock.advance(250);
        QCOMPARE(rig.engine.balloon().shown, 11);
        QVERIFY(!rig.ended(speak));
        rig.clock.advance(300); // the speech ends at 600 ms
        rig.clock.advance(500); // the speaking animation takes its exit
        QVERIFY(rig.done(speak));
        QVERIFY(rig.engine.balloon().visible); // it lingers a moment
        QVERIFY(!rig.engine.mouth());
        rig.clock.advance(CharacterEngine::kBalloonLingerMs);
        QVERIFY(!rig.engine.balloon().visible);
    }

    void nothingToReadShowsNoBalloon() {
        Rig rig;
        rig.shown();
        rig.speech.balloonText = QStringLiteral(" ");
        const auto speak = rig.engine.speak(QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\"));
        for (int i = 0; i < 100; ++i) {
            rig.clock.advance(10);
            QVERIFY(!rig.engine.balloon().visible);
        }
        QVERIFY(rig.done(speak));
    }

    void speakingPose() {
        // After "Read" the character speaks from the book: the pose holds and the mouth moves in it.
        Rig rig;
        rig.shown();
        rig.engine.play(QStringLiteral("Read"));
        rig.engine.speak(QStringLiteral("Hello there"));
        rig.engine.play(QStringLiteral("ReadReturn"));
        rig.clock.advance(200 + 60);
        QCOMPARE(rig.animations, QStringList{"Read"});
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Read"));
        QCOMPARE(rig.engine.frame(), 1);
        QCOMPARE(rig.engine.mouth(), std::optional<Mouth>(Mouth::Wide1));
        rig.clock.advance(2000);
        QCOMPARE(rig.animations, (QStringList{"Read", "ReadReturn"}));

        // Elsewhere it plays its Speaking animation, loops it while the speech lasts and ends by its exit
        // frame.
        rig.animations.clear();
        rig.speech.script.back().at = 550; // ends during the frame that has an exit
        rig.engine.speak(QStringLiteral("Hello there"));
        rig.clock.advance(260);
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Explain"));
        QVERIFY(rig.engine.mouth().has_value());
        rig.clock.advance(290);
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Explain"));
        QCOMPARE(rig.engine.frame(), 2);
        QVERIFY(!rig.engine.mouth());
        rig.clock.advance(100);
        QCOMPARE(rig.engine.activity(), CharacterEngine::Activity::None);
    }

    void stopEndsEverythingInEveryState_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("settle"); // ms after the last request before Stop
        QTest::addColumn<bool>("visibleAfter");
        QTest::newRow("showing") << "showing" << 50 << true;
        QTest::newRow("hiding") << "hiding" << 50 << false;
        QTest::newRow("moving") << "moving" << 300 << true;
        QTest::newRow("playing") << "playing" << 150 << true;
        QTest::newRow("looping") << "looping" << 1500 << true;
        QTest::newRow("returning") << "returning" << 250 << true;
        QTest::newRow("speaking") << "speaking" << 250 << true;
        QTest::newRow("idling") << "idling" << 185'000 << true;
        QTest::newRow("quiet") << "quiet" << 10 << true;
    }
    void stopEndsEverythingInEveryState() {
        QFETCH(QString, state);
        QFETCH(int, settle);
        QFETCH(bool, visibleAfter);
        Rig rig;
        rig.engine.setPosition({100, 100});
        QList<cw::RequestId> ids;
        if (state == u"showing") {
            ids << rig.engine.show();
        } else {
            rig.shown();
            rig.engine.setIdleOn(state == u"idling");
            if (state == u"hiding")
                ids << rig.engine.hide();
            else if (state == u"moving")
                ids << rig.engine.moveTo({600, 100});
            else if (state == u"playing")
                ids << rig.engine.play(QStringLiteral("Greet"));
            else if (state == u"looping")
                ids << rig.engine.play(QStringLiteral("Spin"));
            else if (state == u"returning")
                ids << rig.engine.play(QStringLiteral("Read")) << rig.engine.play(QStringLiteral("Alert"));
            else if (state == u"speaking")
                ids << rig.engine.speak(QStringLiteral("Hello there"));
        }
        ids << rig.engine.play(QStringLiteral("Greet")) << rig.engine.speak(QStringLiteral("queued"));
        rig.clock.advance(settle);
        if (state == u"idling") {
            // The queued requests woke it; Stop during a fresh idle spell instead.
            rig.clock.advance(185'000);
            QVERIFY(rig.engine.idleLevel() > 0);
        }
        const QPoint before = rig.engine.position();
        const int stopsBefore = rig.speech.stops;
        rig.engine.stop();

        // Everything ends at once, without waiting for the clock.
        for (auto id : ids)
            QVERIFY2(rig.ended(id), qPrintable(QString::number(id)));
        QCOMPARE(rig.engine.activity(), CharacterEngine::Activity::None);
        QCOMPARE(rig.engine.isVisible(), visibleAfter);
        QVERIFY(!rig.engine.balloon().visible);
        QVERIFY(!rig.engine.mouth());
        QCOMPARE(rig.engine.position(), before);
        QCOMPARE(rig.shownAnimation(), QStringLiteral("RestPose"));
        if (state == u"speaking") {
            QCOMPARE(rig.speech.stops, stopsBefore + 1);
            QVERIFY(!rig.speech.speaking());
        }

        // Nothing more happens by itself, and the next request works.
        rig.animations.clear();
        const int endedBefore = int(rig.finished.size());
        rig.clock.advance(5000);
        QCOMPARE(int(rig.finished.size()), endedBefore);
        QVERIFY(rig.animations.isEmpty());
        const auto next = visibleAfter ? rig.engine.play(QStringLiteral("Blink")) : rig.engine.show();
        rig.clock.advance(1000);
        QVERIFY(rig.done(next));
    }

    void idleLevelsRiseAndTheNextRequestWakes() {
        Rig rig;
        rig.shown();
        rig.engine.setIdleOn(true);
        rig.clock.advance(9'900);
        QVERIFY(rig.animations.isEmpty());
        QCOMPARE(rig.engine.idleLevel(), 0);
        rig.clock.advance(100);
        QCOMPARE(rig.animations, QStringList{"Glance"});
        QCOMPARE(rig.engine.idleLevel(), 1);
        QCOMPARE(rig.engine.activity(), CharacterEngine::Activity::Idling);

        rig.clock.advance(50'000); // one minute quiet
        QVERIFY(rig.animations.contains(QStringLiteral("Glance")));
        QVERIFY(!rig.animations.contains(QStringLiteral("LookAround")));
        rig.clock.advance(10'000);
        rig.clock.advance(9'000);
        QVERIFY(rig.animations.contains(QStringLiteral("LookAround")));
        QVERIFY(!rig.animations.contains(QStringLiteral("Sleep")));
        rig.clock.advance(121'000); // three minutes quiet and a bit
        QCOMPARE(rig.animations.last(), QStringLiteral("Sleep"));
        QCOMPARE(rig.engine.idleLevel(), 3);
        rig.clock.advance(60'000); // sleeps on
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Sleep"));

        // A request wakes it: the sleep takes its exit frame, then the request is served.
        rig.animations.clear();
        const auto greet = rig.engine.play(QStringLiteral("Greet"));
        rig.clock.advance(0);
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Sleep"));
        QCOMPARE(rig.engine.frame(), 1);
        rig.clock.advance(150);
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Greet"));
        rig.clock.advance(300);
        QVERIFY(rig.done(greet));
        QCOMPARE(rig.engine.idleLevel(), 0);

        // Idling starts over from level 1.
        rig.animations.clear();
        rig.clock.advance(10'000);
        QCOMPARE(rig.animations, QStringList{"Glance"});

        // Switched off, the character stays still.
        rig.engine.setIdleOn(false);
        rig.animations.clear();
        rig.clock.advance(400'000);
        QVERIFY(rig.animations.isEmpty());
        QCOMPARE(rig.engine.idleLevel(), 0);
    }

    void speechDuringAnIdleAnimationStartsAtOnce() {
        // Say it as the program sends it: Show, then Speak. The voice does not wait for the idle animation's
        // way out (the sleep has an exit frame).
        Rig rig;
        rig.shown();
        rig.engine.setIdleOn(true);
        rig.clock.advance(200'000);
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Sleep"));
        QCOMPARE(rig.engine.activity(), CharacterEngine::Activity::Idling);
        const auto show = rig.engine.show();
        const auto speak = rig.engine.speak(QStringLiteral("Hello there"));
        rig.clock.advance(0);
        QCOMPARE(rig.speech.requests, QStringList{"Hello there"});
        QCOMPARE(rig.engine.activity(), CharacterEngine::Activity::Speaking);
        QCOMPARE(rig.engine.idleLevel(), 0);
        QVERIFY(rig.done(show));
        rig.clock.advance(1000);
        QVERIFY(rig.done(speak));
        QCOMPARE(rig.finished.first().first, show);

        // A gesture queued ahead of the speech still comes first, after the idle animation's way out; the
        // speech follows when the gesture has ended.
        rig.clock.advance(200'000);
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Sleep"));
        rig.animations.clear();
        rig.engine.show();
        rig.engine.play(QStringLiteral("Read"));
        rig.engine.speak(QStringLiteral("Hello again"));
        rig.clock.advance(0);
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Sleep"));
        QCOMPARE(rig.engine.frame(), 1);
        QCOMPARE(rig.speech.requests.size(), 1);
        rig.clock.advance(150);
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Read"));
        QCOMPARE(rig.speech.requests.size(), 1);
        rig.clock.advance(1000);
        QCOMPARE(rig.speech.requests, (QStringList{"Hello there", "Hello again"}));
        QCOMPARE(rig.animations.first(), QStringLiteral("Read"));
    }

    void noIdlingWhileHidden() {
        Rig rig;
        rig.engine.setIdleOn(true);
        rig.clock.advance(200'000);
        QVERIFY(rig.animations.isEmpty());
        QCOMPARE(rig.clock.wake(), -1); // nothing to wake for
    }

    void aLoopingAnimationGivesWayToTheNextRequest() {
        Rig rig;
        rig.shown();
        rig.engine.play(QStringLiteral("Spin"));
        rig.clock.advance(10'000);
        QCOMPARE(rig.shownAnimation(), QStringLiteral("Spin")); // loops while nothing waits
        const auto blink = rig.engine.play(QStringLiteral("Blink"));
        rig.clock.advance(300);
        QVERIFY(rig.done(blink));
    }

    void languageGoesToSpeech() {
        Rig rig;
        rig.engine.setLanguageID(1033);
        QCOMPARE(rig.speech.languages, QList<int>{1033});
    }

    void draggingMovesWithoutAnimation() {
        Rig rig;
        rig.shown();
        rig.engine.speak(QStringLiteral("Hello there"));
        rig.clock.advance(100);
        rig.engine.dismissBalloon(); // still speaking: the balloon stays
        QVERIFY(rig.engine.balloon().visible);
        rig.clock.advance(1000);
        rig.engine.setPosition({321, 123});
        rig.engine.dismissBalloon();
        QVERIFY(!rig.engine.balloon().visible);
        QCOMPARE(rig.engine.position(), QPoint(321, 123));
        QCOMPARE(rig.positions.last(), QPoint(321, 123));
    }
};

QTEST_GUILESS_MAIN(TestAgentEngine)
#include "tst_character_engine.moc"
