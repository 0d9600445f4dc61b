// Drawing frames, the character window and the balloon on the offscreen platform.
#include "CharacterTestSupport.h"

#include "character/BalloonWindow.h"
#include "character/CharacterEngine.h"
#include "character/CharacterWindow.h"
#include "character/FrameRenderer.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

using namespace cw::character;
using cw::Mouth;
using namespace cw::character::test;

namespace {

constexpr QRgb kBody = 0xff2060ff;
constexpr QRgb kHead = 0xff20a040;
constexpr QRgb kSpark = 0xffffd000;
constexpr QRgb kWide1 = 0xffff0000;

int anim(const char* name) {
    return tiny()->findAnimation(QString::fromLatin1(name));
}

struct WindowRig {
    ManualClock clock;
    ScriptedSpeech speech{clock};
    CharacterEngine engine{tiny(), clock, speech};
    FrameRenderer renderer{tiny()};
    CharacterWindow window{engine, renderer};

    WindowRig() {
        engine.setRandom([](int) { return 0; });
        engine.setPosition({100, 100});
    }
    void run(qint64 ms) {
        clock.advance(ms);
        QCoreApplication::processEvents();
    }
};

// How much of a frame lies on an area, as a share of the frame.
double shareOn(const QRect& frame, const QRect& area) {
    const QRect on = frame.intersected(area);
    return on.isEmpty() ? 0.0 : double(on.width()) * on.height() / (double(frame.width()) * frame.height());
}

// Drags the window from a point of it by `by`.
void drag(QWidget& window, QPoint from, QPoint by) {
    QTest::mousePress(&window, Qt::LeftButton, {}, from);
    QTest::mouseMove(&window, from + by);
    QTest::mouseRelease(&window, Qt::LeftButton, {}, from + by);
}

// The tail's tip is just outside the frame, on the side the balloon is on, and within the frame's span there.
bool tailPointsAt(const BalloonWindow& balloon, const QRect& frame) {
    const QPoint tip = balloon.tailTip();
    switch (balloon.side()) {
    case BalloonWindow::Side::Above:
        return tip.y() == frame.top() - 1 && tip.x() >= frame.left() && tip.x() <= frame.right();
    case BalloonWindow::Side::Below:
        return tip.y() == frame.bottom() + 1 && tip.x() >= frame.left() && tip.x() <= frame.right();
    case BalloonWindow::Side::Right:
        return tip.x() == frame.right() + 1 && tip.y() >= frame.top() && tip.y() <= frame.bottom();
    case BalloonWindow::Side::Left:
        return tip.x() == frame.left() - 1 && tip.y() >= frame.top() && tip.y() <= frame.bottom();
    }
    return false;
}

} // namespace

class TestAgentRender : public QObject {
    Q_OBJECT
private slots:
    void layersAreDrawnInPlace() {
        FrameRenderer r(tiny());
        const QImage rest = r.render(anim("RestPose"), 0, std::nullopt, 1.0);
        QCOMPARE(rest.size(), QSize(40, 40));
        QCOMPARE(rest.pixel(1, 1), 0u); // nothing drawn there
        QCOMPARE(rest.pixel(20, 25), kBody);
        QCOMPARE(rest.pixel(20, 5), kHead); // the later layer in front
        QCOMPARE(rest.pixel(30, 12), kBody);

        // Rotated 45 degrees clockwise about the image's top-left corner, the body leaves that spot.
        const QImage spun = r.render(anim("Spin"), 0, std::nullopt, 1.0);
        QCOMPARE(qAlpha(spun.pixel(30, 12)), 0);
        QCOMPARE(spun.pixel(7, 35), kBody);

        // Half opacity.
        const QImage faded = r.render(anim("Blink"), 1, std::nullopt, 1.0);
        QVERIFY(std::abs(qAlpha(faded.pixel(20, 25)) - 128) <= 2);

        // Scaled about its centre: a 4 x 4 spark at (2, 2) twice as large covers (0, 0) to (8, 8).
        const QImage magic = r.render(anim("DoMagic2"), 0, std::nullopt, 1.0);
        QCOMPARE(magic.pixel(1, 1), kSpark);
        QCOMPARE(magic.pixel(7, 7), kSpark);
    }

    void sharpAtDevicePixelRatioTwo() {
        FrameRenderer r(tiny());
        const QImage img = r.render(anim("RestPose"), 0, std::nullopt, 2.0);
        QCOMPARE(img.size(), QSize(80, 80));
        QCOMPARE(img.devicePixelRatio(), 2.0);
        QCOMPARE(img.pixel(40, 50), kBody);
        QCOMPARE(img.pixel(40, 10), kHead);
        QCOMPARE(img.pixel(9, 19), 0u); // the body's edge falls exactly on a pixel edge
        QCOMPARE(img.pixel(10, 20), kBody);
    }

    void mouthOverlayOnlyWhereTheFrameCanSpeak() {
        FrameRenderer r(tiny());
        QCOMPARE(r.render(anim("Read"), 1, Mouth::Wide1, 1.0).pixel(20, 22), kWide1);
        QCOMPARE(r.render(anim("Read"), 1, std::nullopt, 1.0).pixel(20, 22), kBody);
        QCOMPARE(r.render(anim("Read"), 0, Mouth::Wide1, 1.0).pixel(20, 22), kBody);
    }

    void unreadableImagesAreRefused() {
        auto data = std::make_shared<CharacterData>(*tiny());
        data->images[0].svg = R"(<svg xmlns="http://www.w3.org/2000/svg"><rect/></svg>)"; // no size at all
        const auto refused = FrameRenderer::create(data);
        QVERIFY(!refused.ok());
        QVERIFY2(refused.message().contains(QStringLiteral("image \"%1\"").arg(data->images[0].name)),
                 qPrintable(refused.message()));
        QVERIFY(FrameRenderer::create(tiny()).ok());
    }

    void imagesWithADeclaredSizeAreReadWhenFirstDrawn() {
        // Such an image is parsed when a frame first needs it; one that cannot be read then is left out and
        // the rest of the frame is drawn. (Loading a character file refuses a document that is not
        // well-formed.)
        auto data = std::make_shared<CharacterData>(*tiny());
        for (Image& image : data->images) {
            if (image.name == u"body")
                image.svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="30" height="30"><rect)";
        }
        FrameRenderer r(data);
        QCOMPARE(r.imageSize(0).isEmpty(), false);
        QImage rest;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("body.*cannot be read")));
        rest = r.render(anim("RestPose"), 0, std::nullopt, 1.0);
        QCOMPARE(rest.pixel(20, 25), 0u);   // the body is left out
        QCOMPARE(rest.pixel(20, 5), kHead); // the head is drawn
    }

    void windowIsAFramelessToolOnTop() {
        WindowRig rig;
        const Qt::WindowFlags flags = rig.window.windowFlags();
        QVERIFY(flags.testFlag(Qt::Tool));
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(rig.window.testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(rig.window.testAttribute(Qt::WA_ShowWithoutActivating));
        QCOMPARE(rig.window.size(), QSize(40, 40));
        QVERIFY(!rig.window.isVisible());

        rig.engine.show();
        rig.run(1000);
        QVERIFY(rig.window.isVisible());
        QCOMPARE(rig.window.pos(), QPoint(100, 100));
        // Clicks pass through where nothing is drawn.
        QVERIFY(rig.window.inputRegion().contains(QPoint(20, 25)));
        QVERIFY(!rig.window.inputRegion().contains(QPoint(1, 1)));

        rig.engine.moveTo({300, 200});
        rig.run(1100);
        QCOMPARE(rig.window.pos(), QPoint(300, 200));
        rig.engine.hide();
        rig.run(1000);
        QVERIFY(!rig.window.isVisible());
    }

    void nothingIsDrawnWhenNothingChanges() {
        WindowRig rig;
        rig.engine.show();
        rig.run(1000);
        const int before = rig.window.framesComposed();
        rig.run(30'000);
        QCOMPARE(rig.window.framesComposed(), before);
        QCOMPARE(rig.clock.wake(), -1);

        // Each frame change is drawn (once).
        rig.engine.play(QStringLiteral("Greet"));
        rig.run(0);
        rig.run(100);
        rig.run(100);
        QCOMPARE(rig.window.framesComposed(), before + 3);
    }

    void draggingMovesTheCharacter() {
        WindowRig rig;
        rig.engine.show();
        rig.run(1000);
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        QTest::mousePress(&rig.window, Qt::LeftButton, {}, QPoint(20, 25));
        QTest::mouseMove(&rig.window, QPoint(30, 45));
        QTest::mouseRelease(&rig.window, Qt::LeftButton, {}, QPoint(30, 45));
        QCOMPARE(rig.engine.position(), QPoint(110, 120));
        QCOMPARE(rig.window.pos(), QPoint(110, 120));
    }

    void theBalloonFollowsADraggedCharacter() {
        WindowRig rig;
        rig.engine.show();
        rig.run(1000);
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        const QRect area = rig.window.screen()->availableGeometry();
        // Dragged to the middle, then to the top edge, where the balloon goes beside him.
        for (const QPoint by : {QPoint(250, 180), QPoint(0, -330)}) {
            drag(rig.window, QPoint(20, 25), by);
            rig.engine.speak(QStringLiteral("Hello there"));
            rig.run(60);
            BalloonWindow& balloon = rig.window.balloon();
            QVERIFY(balloon.isVisible());
            const QRect frame(rig.window.pos(), rig.window.size());
            QCOMPARE(frame.topLeft(), rig.engine.position());
            QVERIFY2(tailPointsAt(balloon, frame), qPrintable(QStringLiteral("tail at %1,%2, frame at %3,%4")
                                                                  .arg(balloon.tailTip().x())
                                                                  .arg(balloon.tailTip().y())
                                                                  .arg(frame.x())
                                                                  .arg(frame.y())));
            QVERIFY(area.contains(balloon.geometry()));
            rig.run(3000);
        }
    }

    void aDragKeepsMoreThanHalfOfHimOnTheScreen() {
        WindowRig rig;
        rig.engine.show();
        rig.run(1000);
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        const QRect area = rig.window.screen()->availableGeometry();
        for (const QPoint by :
             {QPoint(-5000, 0), QPoint(0, -5000), QPoint(5000, 5000), QPoint(-5000, -5000)}) {
            drag(rig.window, QPoint(20, 25), by);
            const QRect frame(rig.engine.position(), rig.window.size());
            QVERIFY2(shareOn(frame, area) > 0.5,
                     qPrintable(QStringLiteral("dragged to %1,%2").arg(frame.x()).arg(frame.y())));
            QCOMPARE(rig.window.pos(), frame.topLeft());
        }
        // A move asked for by a caller goes exactly where it was asked, on the screen or not.
        rig.engine.moveTo({-30, -35}, 0);
        rig.run(100);
        QCOMPARE(rig.engine.position(), QPoint(-30, -35));
    }

    void dragLimitsAtEveryEdge() {
        const QRect area(0, 0, 1366, 736);
        const QSize genie(200, 220);
        // Inside: untouched.
        QCOMPARE(keptOnArea({500, 300}, genie, area), QPoint(500, 300));
        QCOMPARE(keptOnArea({-50, -55}, genie, area), QPoint(-50, -55));
        for (const QPoint far :
             {QPoint(-101, 300), QPoint(500, -101), QPoint(1300, 300), QPoint(500, 700), QPoint(-900, -900),
              QPoint(3000, 3000), QPoint(3000, -900), QPoint(-900, 3000)}) {
            const QPoint kept = keptOnArea(far, genie, area);
            QVERIFY2(shareOn(QRect(kept, genie), area) > 0.5, qPrintable(QStringLiteral("%1,%2 kept at %3,%4")
                                                                             .arg(far.x())
                                                                             .arg(far.y())
                                                                             .arg(kept.x())
                                                                             .arg(kept.y())));
        }
        // Only the axis that went too far is held back.
        QCOMPARE(keptOnArea({-900, 300}, genie, area).y(), 300);
        QCOMPARE(keptOnArea({500, -900}, genie, area).x(), 500);
        // An area elsewhere on the desktop (a second screen) holds him the same way.
        const QRect second(1366, 0, 1920, 1080);
        QVERIFY(shareOn(QRect(keptOnArea({0, 0}, genie, second), genie), second) > 0.5);
    }

    void heStandsBelowADialogThatHasTheFocus() {
        WindowRig rig;
        rig.engine.show();
        rig.run(1000);
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        QVERIFY(rig.window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));

        QWidget ordinary;
        ordinary.setWindowTitle(QStringLiteral("ordinary"));
        ordinary.show();
        ordinary.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&ordinary));
        QVERIFY(rig.window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));

        {
            QDialog help(&ordinary);
            help.setWindowTitle(QStringLiteral("help"));
            help.show();
            help.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&help));
            QTRY_VERIFY(!rig.window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
            QVERIFY(!rig.window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            QVERIFY(!rig.window.balloon().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            QVERIFY(rig.window.isVisible()); // stepping back does not hide him
        }
        ordinary.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&ordinary));
        QTRY_VERIFY(rig.window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(rig.window.balloon().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void balloonShowsTheAudibleWords() {
        WindowRig rig;
        rig.engine.show();
        rig.run(1000);
        rig.engine.speak(QStringLiteral("Hello there"));
        rig.run(60);
        BalloonWindow& balloon = rig.window.balloon();
        QVERIFY(balloon.isVisible());
        const QRect frame(rig.window.pos(), rig.window.size());
        QVERIFY(!balloon.geometry().intersects(frame.adjusted(0, 10, 0, 0)));
        rig.run(3000);
        QVERIFY(!balloon.isVisible());
    }

    void gettingReadyForSpeechShowsNothing() {
        // Once the character stands still the window gets ready for the first speech off screen: no balloon
        // appears, the frame stays as it is, and the first speech shows only its own words.
        WindowRig rig;
        rig.engine.show();
        rig.run(1000);
        const int composed = rig.window.framesComposed();
        const QImage frame = rig.window.frameImage();
        rig.run(0);
        BalloonWindow& balloon = rig.window.balloon();
        QVERIFY(!balloon.isVisible());
        QCOMPARE(rig.window.framesComposed(), composed);
        QCOMPARE(rig.window.frameImage(), frame);
        rig.engine.speak(QStringLiteral("Hi"));
        rig.run(60);
        QVERIFY(balloon.isVisible());
        QCOMPARE(balloon.lineCount(), 1);
        QVERIFY(balloon.width() < 200);
    }

    void longTextScrolls() {
        BalloonStyle style;
        style.lines = 2;
        style.charsPerLine = 16;
        BalloonWindow balloon(style);
        const QString text =
            QStringLiteral("one two three four five six seven eight nine ten eleven twelve thirteen");
        balloon.setText(text, 3);
        QVERIFY2(balloon.lineCount() >= 4, qPrintable(QString::number(balloon.lineCount())));
        QCOMPARE(balloon.visibleLines(), 2);
        QCOMPARE(balloon.firstVisibleLine(), 0);
        balloon.setText(text, int(text.size()));
        QCOMPARE(balloon.firstVisibleLine(), balloon.lineCount() - 2);

        // Short text: a single line, no scrolling.
        balloon.setText(QStringLiteral("Hi"), 2);
        QCOMPARE(balloon.lineCount(), 1);
        QCOMPARE(balloon.visibleLines(), 1);
    }

    void theFirstWordHeardStandsWhereItsScriptIsRead_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("firstWord");
        QTest::addColumn<bool>("fromTheRight");
        QTest::newRow("Latin") << QStringLiteral(
                                      "Hello everybody, we are going to read a long text together now")
                               << 5 << false;
        QTest::newRow("Hebrew") << QStringLiteral("שלום לכולם, אנחנו הולכים לקרוא עכשיו טקסט ארוך ביחד") << 4
                                << true;
        QTest::newRow("Arabic") << QStringLiteral("مرحبا بالجميع، سنقرأ الآن نصا طويلا معا في هذا المساء")
                                << 5 << true;
    }
    void theFirstWordHeardStandsWhereItsScriptIsRead() {
        QFETCH(QString, text);
        QFETCH(int, firstWord);
        QFETCH(bool, fromTheRight);
        BalloonStyle style;
        style.foreground = 0xffff0000; // text ink apart from the border and the background
        style.charsPerLine = 60;
        style.lines = 1;
        BalloonWindow balloon(style);
        balloon.setText(text, firstWord);
        balloon.place(QRect(600, 600, 100, 100), QRect(0, 0, 1600, 1200));
        const QImage image = balloon.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        int left = image.width();
        int right = -1;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() > 200 && c.red() > 200 && c.red() - c.green() > 60 && c.red() - c.blue() > 40) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        QVERIFY2(right >= 0, "no text drawn");
        // Only the first word is heard: it stands at the start of the line, left or right as the script
        // reads.
        const QString where =
            QStringLiteral("ink from %1 to %2 of %3").arg(left).arg(right).arg(image.width());
        if (fromTheRight) {
            QVERIFY2(left > image.width() / 2, qPrintable(where));
        } else {
            QVERIFY2(right < image.width() / 2, qPrintable(where));
        }
    }

    void textWithoutSpacesWraps() {
        BalloonStyle style;
        style.charsPerLine = 16;
        style.lines = 3;
        BalloonWindow balloon(style);
        const QString chinese =
            QStringLiteral("今天天气很好，我们沿着河边一直走到了那座古老的磨坊，然后坐下来休息了一会儿。");
        balloon.setText(chinese, int(chinese.size()));
        balloon.place(QRect(600, 600, 100, 100), QRect(0, 0, 1600, 1200));
        QVERIFY2(balloon.lineCount() >= 2, qPrintable(QString::number(balloon.lineCount())));
        QVERIFY2(
            balloon.width() < 600,
            qPrintable(QStringLiteral("%1 wide, %2 lines").arg(balloon.width()).arg(balloon.lineCount())));
    }

    void balloonGoesAboveOrBesideNearAnEdge() {
        BalloonWindow balloon(BalloonStyle{});
        balloon.setText(QStringLiteral("Hello there"), 11);
        const QRect screen(0, 0, 1280, 800);
        balloon.place(QRect(600, 400, 200, 220), screen);
        QCOMPARE(balloon.side(), BalloonWindow::Side::Above);
        QVERIFY(balloon.geometry().bottom() <= 400);
        QVERIFY(screen.contains(balloon.geometry()));

        balloon.place(QRect(600, 0, 200, 220), screen); // at the top edge: beside
        QCOMPARE(balloon.side(), BalloonWindow::Side::Right);
        QVERIFY(balloon.geometry().left() >= 800);

        balloon.place(QRect(1080, 0, 200, 220), screen); // top-right corner: the other side
        QCOMPARE(balloon.side(), BalloonWindow::Side::Left);
        QVERIFY(balloon.geometry().right() < 1080);
        QVERIFY(screen.contains(balloon.geometry()));
    }
};

QTEST_MAIN(TestAgentRender)
#include "tst_character_render.moc"
