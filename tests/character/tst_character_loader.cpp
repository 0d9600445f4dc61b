// The character file: the readable description, the packed file, SVG safety and where Load looks.
#include "../support/TestFiles.h"
#include "CharacterTestSupport.h"
#include "SvgCases.h"

#include "character/Agent.h"
#include "character/CharacterFile.h"
#include "core/Failure.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace cw::character;
using cw::Mouth;
using namespace cw::character::test;

namespace {

using Mutation = std::function<void(QJsonObject&)>;

// Sets an environment variable for the life of a scope and puts back what was there before.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const QString& value)
        : name_(name), wasSet_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name_, value.toLocal8Bit());
    }
    ~EnvironmentOverride() {
        if (wasSet_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    const char* name_;
    bool wasSet_;
    QByteArray old_;
};

QJsonObject tinyJson() {
    QFile f(dataDir() + QStringLiteral("/tiny/tiny.json"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

// Changes one value deep inside the description: path elements are keys or list indexes.
QJsonValue withAt(QJsonValue node, QStringList path, const QJsonValue& value) {
    if (path.isEmpty())
        return value;
    const QString key = path.takeFirst();
    if (node.isArray()) {
        QJsonArray a = node.toArray();
        a[key.toInt()] = withAt(a[key.toInt()], path, value);
        return a;
    }
    QJsonObject o = node.toObject();
    if (value.isUndefined() && path.isEmpty())
        o.remove(key);
    else
        o[key] = withAt(o[key], path, value);
    return o;
}
Mutation set(const QString& path, const QJsonValue& value) {
    return [path, value](QJsonObject& root) { root = withAt(root, path.split(u'/'), value).toObject(); };
}
Mutation removeKey(const QString& path) {
    return set(path, QJsonValue(QJsonValue::Undefined));
}

QString describe(const Mutation& mutate) {
    QJsonObject root = tinyJson();
    mutate(root);
    return parseDescription(QJsonDocument(root).toJson(), dataDir() + QStringLiteral("/tiny")).message();
}

QByteArray packedTiny() {
    return pack(*tiny());
}

QString unpackProblem(const QByteArray& bytes) {
    return unpack(bytes).message();
}

ManualClock& sharedClock() {
    static ManualClock clock;
    return clock;
}

Agent::Options quietOptions(const QStringList& folders) {
    Agent::Options o;
    o.windows = false;
    o.folders = folders;
    o.makeClock = [] { return std::make_unique<ManualClock>(); };
    o.makeSpeech = [](const VoiceDefaults&) { return std::make_unique<ScriptedSpeech>(sharedClock()); };
    return o;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

Q_DECLARE_METATYPE(Mutation)

class TestAgentLoader : public QObject {
    Q_OBJECT
private slots:
    void theTestCharacterReads() {
        const CharacterData& c = *tiny();
        QCOMPARE(c.name, QStringLiteral("Tiny"));
        QCOMPARE(QSize(c.width, c.height), QSize(40, 40));
        QCOMPARE(c.balloon.lines, 2);
        QCOMPARE(c.voice.pitch, 120);
        const Animation& read = c.animations[c.findAnimation(QStringLiteral("Read"))];
        QCOMPARE(c.animations[read.returnAnimation].name, QStringLiteral("ReadReturn"));
        QVERIFY(read.frames.back().hasMouth);
        QCOMPARE(read.frames.back().mouth, QPointF(15, 20));
        QCOMPARE(c.images[c.mouths[int(Mouth::Narrow)]].name, QStringLiteral("mouth-narrow"));
        const Layer& spin = c.animations[c.findAnimation(QStringLiteral("Spin"))].frames[0].layers[0];
        QVERIFY(spin.hasPivot);
        QCOMPARE(spin.rotate, 45.0);
        QCOMPARE(c.states[int(State::IdlingLevel3)].size(), std::size_t(1));
    }

    void brokenDescriptionsAreRefusedWithThePlace_data() {
        QTest::addColumn<Mutation>("mutate");
        QTest::addColumn<QString>("message");
        QTest::newRow("zero duration") << set("animations/Greet/frames/1/duration", 0)
                                       << R"(animation "Greet", frame 1: duration 0 is not allowed)";
        QTest::newRow("negative duration") << set("animations/Blink/frames/0/duration", -5)
                                           << R"(animation "Blink", frame 0: duration -5 is not allowed)";
        QTest::newRow("endless frame") << set("animations/Blink/frames/0/duration", 600000)
                                       << R"(animation "Blink", frame 0: duration 600000 ms is longer)";
        QTest::newRow("fractional duration")
            << set("animations/Blink/frames/0/duration", 2.5)
            << R"(animation "Blink", frame 0, "duration": must be a whole number)";
        QTest::newRow("no frames") << set("animations/Think/frames", QJsonArray())
                                   << R"(animation "Think": has no frames)";
        QTest::newRow("branch nowhere") << set("animations/Spin/frames/0/branches/0/to", 3)
                                        << R"(animation "Spin", frame 0, branch 0: goes to frame 3)";
        QTest::newRow("too likely") << set("animations/Spin/frames/0/branches",
                                           QJsonArray{QJsonObject{{"to", 0}, {"probability", 60}},
                                                      QJsonObject{{"to", 0}, {"probability", 50}}})
                                    << R"(animation "Spin", frame 0: branch probabilities add up to 110)";
        QTest::newRow("exit nowhere") << set("animations/Sleep/frames/0/exit", 7)
                                      << R"(animation "Sleep", frame 0: exit goes to frame 7)";
        QTest::newRow("unknown image")
            << set("animations/Alert/frames/0/images/0/image", "lamp")
            << R"(animation "Alert", frame 0, image 0: the image "lamp" does not exist)";
        QTest::newRow("opacity") << set("animations/Alert/frames/0/images/0/opacity", 3)
                                 << R"(animation "Alert", frame 0, image 0: opacity 3 is outside 0 to 1)";
        QTest::newRow("scale") << set("animations/Alert/frames/0/images/0/scale", 0)
                               << R"(animation "Alert", frame 0, image 0: scale 0 is outside)";
        QTest::newRow("missing return")
            << set("animations/Read/return", "Unread")
            << R"(animation "Read": its return animation "Unread" does not exist)";
        QTest::newRow("missing mouth") << removeKey("mouths/Wide3") << R"(mouth "Wide3": is missing)";
        QTest::newRow("mouth without image")
            << set("mouths/Wide3", "lips") << R"(mouth "Wide3": the image "lips" does not exist)";
        QTest::newRow("unknown state") << set("states/Dancing", QJsonArray{"Greet"})
                                       << R"(state "Dancing": is not a state this program knows)";
        QTest::newRow("state without animation")
            << set("states/Speaking", QJsonArray{"Babble"})
            << R"(state "Speaking": the animation "Babble" does not exist)";
        QTest::newRow("no width") << removeKey("width") << R"("width": is missing)";
        QTest::newRow("huge frame") << set("height", 100000) << "frame size 40 x 100000 is outside";
        QTest::newRow("bad colour") << set("balloon/background", "#zzz")
                                    << R"(balloon, "background": "#zzz" is not a colour)";
        QTest::newRow("no lines") << set("balloon/lines", 0) << "balloon: 0 lines is outside";
        QTest::newRow("image file missing")
            << set("images/book", "nowhere.svg") << R"(image "book": cannot read)";
        QTest::newRow("frames not a list")
            << set("animations/Greet/frames", "lots") << R"(animation "Greet", "frames": must be a list)";
        QTest::newRow("too many frames") << set("animations/Greet/frames", [] {
            QJsonArray frames;
            for (int i = 0; i <= limits::kFramesPerAnimation; ++i)
                frames.append(QJsonObject{{"duration", 10}});
            return frames;
        }()) << R"(animation "Greet": more than 1000 frames)";
    }
    void brokenDescriptionsAreRefusedWithThePlace() {
        QFETCH(Mutation, mutate);
        QFETCH(QString, message);
        const QString got = describe(mutate);
        QVERIFY2(got.contains(message), qPrintable(QStringLiteral("got: ") + got));
    }

    void malformedJsonNamesTheLine() {
        const auto malformed = parseDescription("{\n  \"name\": \"x\",\n  oops\n}", dataDir());
        QVERIFY2(!malformed.ok(), "accepted");
        QVERIFY2(malformed.message().startsWith(QStringLiteral("line 3:")), qPrintable(malformed.message()));
        const auto missing = readDescription(dataDir() + QStringLiteral("/none.json"));
        QVERIFY2(!missing.ok(), "accepted");
        QVERIFY2(missing.message().contains(QStringLiteral("none.json: cannot read it")),
                 qPrintable(missing.message()));
    }

    void svgThatReachesOutsideIsRefused_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("problem"); // empty: accepted
        for (const SvgCase& c : svgCases())
            QTest::newRow(c.tag) << c.document << QString::fromUtf8(c.problem);
    }
    void svgThatReachesOutsideIsRefused() {
        QFETCH(QByteArray, document);
        QFETCH(QString, problem);
        const QString got = svgProblem(document);
        if (problem.isEmpty())
            QVERIFY2(got.isEmpty(), qPrintable(got));
        else
            QVERIFY2(got.contains(problem), qPrintable(QStringLiteral("got: ") + got));
    }

    void packedFileKeepsEverything() {
        const CharacterData& a = *tiny();
        const CharacterData b = unpack(packedTiny()).value();
        QCOMPARE(b.name, a.name);
        QCOMPARE(b.balloon.font, a.balloon.font);
        QCOMPARE(b.balloon.background, a.balloon.background);
        QCOMPARE(b.voice.voice, a.voice.voice);
        QCOMPARE(b.voice.speed, a.voice.speed);
        QCOMPARE(b.images.size(), a.images.size());
        for (std::size_t i = 0; i < a.images.size(); ++i) {
            QCOMPARE(b.images[i].name, a.images[i].name);
            QCOMPARE(b.images[i].svg, a.images[i].svg);
        }
        QCOMPARE(b.mouths, a.mouths);
        QCOMPARE(b.states, a.states);
        QCOMPARE(b.animations.size(), a.animations.size());
        for (std::size_t i = 0; i < a.animations.size(); ++i) {
            const Animation& x = a.animations[i];
            const Animation& y = b.animations[i];
            QCOMPARE(y.name, x.name);
            QCOMPARE(y.returnAnimation, x.returnAnimation);
            QCOMPARE(y.frames.size(), x.frames.size());
            for (std::size_t f = 0; f < x.frames.size(); ++f) {
                QCOMPARE(y.frames[f].duration, x.frames[f].duration);
                QCOMPARE(y.frames[f].exit, x.frames[f].exit);
                QCOMPARE(y.frames[f].hasMouth, x.frames[f].hasMouth);
                QCOMPARE(y.frames[f].mouth, x.frames[f].mouth);
                QCOMPARE(y.frames[f].branches.size(), x.frames[f].branches.size());
                QCOMPARE(y.frames[f].layers.size(), x.frames[f].layers.size());
                for (std::size_t l = 0; l < x.frames[f].layers.size(); ++l) {
                    const Layer& p = x.frames[f].layers[l];
                    const Layer& q = y.frames[f].layers[l];
                    QCOMPARE(q.image, p.image);
                    QCOMPARE(q.x, p.x);
                    QCOMPARE(q.rotate, p.rotate);
                    QCOMPARE(q.hasPivot, p.hasPivot);
                    QCOMPARE(q.scale, p.scale);
                    QCOMPARE(q.opacity, p.opacity);
                }
            }
        }
    }

    void damagedPackedFilesAreRefused() {
        const QByteArray good = packedTiny();
        QVERIFY(unpackProblem(good).isEmpty());

        // Cut short anywhere, the file is refused with a message, never read past its end.
        for (qsizetype n = 0; n < good.size(); n += 7)
            QVERIFY2(!unpackProblem(good.left(n)).isEmpty(), qPrintable(QString::number(n)));

        QByteArray wrongMagic = good;
        wrongMagic[1] = 'X';
        QVERIFY(unpackProblem(wrongMagic).contains(QStringLiteral("not a character file")));

        QByteArray newer = good;
        newer[8] = 2;
        QVERIFY(unpackProblem(newer).contains(QStringLiteral("format version 2 is not supported")));

        // The first section's size claims more than the file holds.
        QByteArray outside = good;
        outside[12 + 8 + 3] = char(0x7f);
        QVERIFY2(unpackProblem(outside).contains(QStringLiteral("lies outside the file")),
                 qPrintable(unpackProblem(outside)));

        // A count far beyond what the bytes could hold is refused before anything is allocated.
        const qsizetype imagesAt = good.indexOf("body") - 2 - 4;
        QByteArray manyImages = good;
        manyImages[imagesAt] = char(0xff);
        manyImages[imagesAt + 1] = char(0xff);
        QVERIFY2(unpackProblem(manyImages).contains(QStringLiteral("section \"IMGS\"")),
                 qPrintable(unpackProblem(manyImages)));

        // A value that passes the reader but not the checks names its place.
        CharacterData zero = *tiny();
        zero.animations[zero.findAnimation(QStringLiteral("Greet"))].frames[2].duration = 0;
        QCOMPARE(unpackProblem(pack(zero)),
                 QStringLiteral("animation \"Greet\", frame 2: duration 0 is not allowed"));

        CharacterData hostile = *tiny();
        hostile.images[0].svg = svgCases()[5].document; // an <image> of a local file
        QVERIFY(unpackProblem(pack(hostile)).startsWith(QStringLiteral("image \"body\": <image> refers to")));

        QByteArray huge(limits::kFileBytes + 1, '\0');
        QVERIFY(unpackProblem(huge).contains(QStringLiteral("larger than")));
    }

    void loadLooksInEachFolderInTurn() {
        QTemporaryDir first;
        QTemporaryDir second;
        QVERIFY(first.isValid() && second.isValid());
        QVERIFY(writeFile(second.filePath(QStringLiteral("genie.acs")), packedTiny()));

        Agent agent(quietOptions({first.path(), second.path()}));
        agent.Load(QStringLiteral("Genie"), QStringLiteral("genie.acs"));
        QVERIFY(agent.character(QStringLiteral("Genie")));
        QCOMPARE(agent.character(QStringLiteral("Genie"))->engine().data().name, QStringLiteral("Tiny"));
        cw::ICharacter& genie = agent.Item(QStringLiteral("Genie"));
        QVERIFY_THROWS_EXCEPTION(cw::Failure, genie.Play(QStringLiteral("Juggle")));
        QVERIFY(genie.Play(QStringLiteral("Greet")) > 0);
        QVERIFY_THROWS_EXCEPTION(cw::Failure, agent.Item(QStringLiteral("Merlin")));
        // The id is taken: loading it again would pull the character from under its callers.
        QVERIFY_THROWS_EXCEPTION(cw::Failure,
                                 agent.Load(QStringLiteral("Genie"), QStringLiteral("genie.acs")));
        QCOMPARE(&agent.Item(QStringLiteral("Genie")), &genie);

        // A name with a folder is looked for only there.
        QCOMPARE(agent.placesFor(QStringLiteral("/x/genie.acs")), QStringList{"/x/genie.acs"});
    }

    void loadFailureNamesTheFileEveryPlaceAndTheReason() {
        QTemporaryDir first;
        QTemporaryDir second;
        Agent agent(quietOptions({first.path(), second.path()}));
        try {
            agent.Load(QStringLiteral("Genie"), QStringLiteral("genie.acs"));
            QFAIL("loaded");
        } catch (const cw::Failure& e) {
            QVERIFY2(e.message().contains(QStringLiteral("\"genie.acs\"")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(first.filePath(QStringLiteral("genie.acs"))),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(second.filePath(QStringLiteral("genie.acs"))),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("none of these places")), qPrintable(e.message()));
        }

        // The first file found is the one used, and its damage is reported rather than skipped.
        CharacterData broken = *tiny();
        broken.animations[broken.findAnimation(QStringLiteral("Blink"))].frames[0].duration = 0;
        QVERIFY(writeFile(first.filePath(QStringLiteral("genie.acs")), pack(broken)));
        QVERIFY(writeFile(second.filePath(QStringLiteral("genie.acs")), packedTiny()));
        try {
            agent.Load(QStringLiteral("Genie"), QStringLiteral("genie.acs"));
            QFAIL("loaded");
        } catch (const cw::Failure& e) {
            QVERIFY2(e.message().contains(first.filePath(QStringLiteral("genie.acs")) +
                                          QStringLiteral(" is damaged")),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(
                         QStringLiteral("animation \"Blink\", frame 0: duration 0 is not allowed")),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(second.filePath(QStringLiteral("genie.acs"))),
                     qPrintable(e.message()));
        }
        QVERIFY(!agent.character(QStringLiteral("Genie")));
    }

    void aPlaceThatIsNoRegularFileIsRefusedWithoutWaiting_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("FIFO") << "fifo"
                              << " is not a file.";
        QTest::newRow("folder") << "folder"
                                << " is not a file.";
        QTest::newRow("link to an endless device") << "device"
                                                   << " is not a file.";
        QTest::newRow("over the size bound")
            << "huge" << QStringLiteral(" is larger than %1 bytes.").arg(limits::kFileBytes);
    }
    void aPlaceThatIsNoRegularFileIsRefusedWithoutWaiting() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir first;
        QTemporaryDir second;
        QVERIFY(first.isValid() && second.isValid());
        const QString place = first.filePath(QStringLiteral("genie.acs"));
        // Opened the ordinary way, a FIFO with no writer would hold the loader (and the program's start) up.
        QVERIFY(cw::test::makeUnreadablePlace(kind, place, limits::kFileBytes + 1));
        QVERIFY(writeFile(second.filePath(QStringLiteral("genie.acs")), packedTiny()));
        Agent agent(quietOptions({first.path(), second.path()}));
        try {
            agent.Load(QStringLiteral("Genie"), QStringLiteral("genie.acs"));
            QFAIL("loaded");
        } catch (const cw::Failure& e) {
            QVERIFY2(e.message().contains(place + reason), qPrintable(e.message()));
        }
        QVERIFY(!agent.character(QStringLiteral("Genie")));
    }

    void defaultFoldersStartWithTheProgramsOwn() {
        QTemporaryDir home;
        QTemporaryDir shared;
        QVERIFY(home.isValid() && shared.isValid());
        const EnvironmentOverride dataHome("XDG_DATA_HOME", home.path());
        const EnvironmentOverride dataDirs("XDG_DATA_DIRS", shared.filePath(QStringLiteral("one")) + u':' +
                                                                shared.filePath(QStringLiteral("two")));
        const QStringList folders = Agent::defaultFolders();

        const QString programFolder = QDir::cleanPath(QCoreApplication::applicationDirPath());
        QVERIFY(folders.size() >= 6);
        QCOMPARE(folders[0], programFolder);
        // An unpacked or relocated installation finds the data of its own prefix before anything else
        // installed.
        QCOMPARE(folders[1], QDir::cleanPath(programFolder + QStringLiteral("/../share/chatterwisp")));
        QVERIFY(folders[2].endsWith(QStringLiteral("/share/chatterwisp")));
        QCOMPARE(folders.mid(folders.size() - 3),
                 (QStringList{home.filePath(QStringLiteral("chatterwisp")),
                              shared.filePath(QStringLiteral("one/chatterwisp")),
                              shared.filePath(QStringLiteral("two/chatterwisp"))}));
    }
};

QTEST_MAIN(TestAgentLoader)
#include "tst_character_loader.moc"
