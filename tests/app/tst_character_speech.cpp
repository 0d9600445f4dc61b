// The character speaking through the real speech engine (silent where there is no sound device): the balloon
// fills with the words as they are reached and the request ends.
#include "TinyCharacter.h"
#include "app/TtsSpeechOutput.h"
#include "character/Agent.h"
#include "character/CharacterFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace cw::character;
using namespace cw::test;

class TestAgentSpeech : public QObject {
    Q_OBJECT
private slots:
    void balloonFollowsTheSpeechEngine() {
        QTemporaryDir dir;
        QVERIFY(writeTinyCharacterFile(dir));
        Agent::Options options;
        options.makeSpeech = cw::makeSpeechOutput;
        options.folders = {dir.path()};
        options.windows = false;
        Agent agent(options);
        agent.Load(QStringLiteral("Genie"), QStringLiteral("genie.acs"));
        cw::ICharacter& genie = agent.Item(QStringLiteral("Genie"));
        CharacterEngine& engine = agent.character(QStringLiteral("Genie"))->engine();

        QList<std::pair<cw::RequestId, bool>> finished;
        connect(&engine, &CharacterEngine::requestFinished, [&finished](cw::RequestId id, bool done) {
            finished.append({id, done});
        });
        QStringList audible;
        connect(&engine, &CharacterEngine::balloonChanged, [&engine, &audible] {
            const auto& b = engine.balloon();
            if (b.visible && (audible.isEmpty() || audible.last() != b.text.left(b.shown)))
                audible << b.text.left(b.shown);
        });

        genie.Show();
        const cw::RequestId said =
            genie.Speak(QStringLiteral("\\Pit=60\\\\Spd=200\\\\Chr=\\Hello there, genie."));
        QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(finished.begin(), finished.end(), [said](const auto& f) { return f.first == said; }),
            20000);
        QVERIFY(std::find(finished.begin(), finished.end(), std::make_pair(said, true)) != finished.end());

        // The tags were applied, not shown; the words came one after another.
        QVERIFY2(audible.contains(QStringLiteral("Hello")), qPrintable(audible.join(u'|')));
        QCOMPARE(audible.last(), QStringLiteral("Hello there, genie."));
        for (int i = 1; i < audible.size(); ++i)
            QVERIFY(audible[i].startsWith(audible[i - 1]));
        QVERIFY(engine.balloon().visible); // lingers a moment
        QTRY_VERIFY_WITH_TIMEOUT(!engine.balloon().visible, 5000);
    }

    void voiceDefaultsBecomeTagsOnlyWhereGiven() {
        VoiceDefaults defaults;
        QCOMPARE(cw::defaultTags(defaults), QString());
        defaults.pitch = 120;
        QCOMPARE(cw::defaultTags(defaults), QStringLiteral("\\Pit=120\\"));
        defaults.speed = 180;
        QCOMPARE(cw::defaultTags(defaults), QStringLiteral("\\Pit=120\\\\Spd=180\\"));
        defaults.pitch = 0;
        QCOMPARE(cw::defaultTags(defaults), QStringLiteral("\\Spd=180\\"));
    }
};

QTEST_MAIN(TestAgentSpeech)
#include "tst_character_speech.moc"
