// The character's window on a real X server: placed where the character stands, drawn, and on top.
#include "CharacterTestSupport.h"

#include "character/Agent.h"
#include "character/CharacterFile.h"
#include "character/CharacterWindow.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace cw::character;
using namespace cw::character::test;

class TestAgentWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("needs an X server (run under tools/headless.sh)");
    }

    void showsAndMovesOnScreen() {
        QTemporaryDir dir;
        QVERIFY(writeTinyCharacterFile(dir));

        Agent::Options options;
        ManualClock speechClock; // this test does not speak
        options.makeSpeech = [&speechClock](const VoiceDefaults&) {
            return std::make_unique<ScriptedSpeech>(speechClock);
        };
        options.folders = {dir.path()};
        Agent agent(options);
        agent.Load(QStringLiteral("Genie"), QStringLiteral("genie.acs"));
        cw::ICharacter& genie = agent.Item(QStringLiteral("Genie"));
        genie.Show();
        genie.MoveTo(300, 200);
        genie.Play(QStringLiteral("Greet"));

        CharacterWindow* window = agent.character(QStringLiteral("Genie"))->window();
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 2000);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTRY_COMPARE_WITH_TIMEOUT(window->geometry().topLeft(), QPoint(300, 200), 3000);
        QVERIFY(window->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));

        // What is on the screen there is the character's body.
        QTRY_VERIFY_WITH_TIMEOUT(agent.character(QStringLiteral("Genie"))->engine().activity() ==
                                     CharacterEngine::Activity::None,
                                 3000);
        QTRY_COMPARE(window->screen()->grabWindow(0, 300, 200, 40, 40).toImage().pixelColor(20, 25).rgb(),
                     QColor(0x20, 0x60, 0xff).rgb());

        genie.Hide();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 2000);
    }
};

QTEST_MAIN(TestAgentWindow)
#include "tst_character_window.moc"
