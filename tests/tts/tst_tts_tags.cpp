// The speech-output tag parser: what is shown, what is spoken, and with which voice.
#include "tts/SpeechTags.h"

#include <QTest>

using namespace cw::tts;

namespace {

VoiceSettings defaults() {
    VoiceSettings v;
    v.pitchHz = 100;
    v.wordsPerMinute = 180;
    return v;
}

/// A compact rendering of the pieces: T(pitch,wpm)"text" with flags, P<ms> for pauses, B<n> for bookmarks.
QString describe(const ParsedRequest& parsed) {
    QStringList out;
    for (const SpeechPiece& p : parsed.pieces) {
        switch (p.kind) {
        case SpeechPiece::Kind::Pause:
            out << QStringLiteral("P%1").arg(p.value);
            continue;
        case SpeechPiece::Kind::Bookmark:
            out << QStringLiteral("B%1").arg(p.value);
            continue;
        case SpeechPiece::Kind::Text:
            break;
        }
        QString s = QStringLiteral("T(%1,%2)").arg(p.voice.pitchHz).arg(p.voice.wordsPerMinute);
        if (p.voice.volume != 65535) {
            s += QStringLiteral("v%1").arg(p.voice.volume);
        }
        if (p.voice.character == VoiceCharacter::Monotone) {
            s += u'M';
        } else if (p.voice.character == VoiceCharacter::Whisper) {
            s += u'W';
        }
        if (p.voice.context == ReadingContext::Email) {
            s += u'@';
        } else if (p.voice.context == ReadingContext::Address) {
            s += u'A';
        }
        if (p.voice.emphasis) {
            s += u'!';
        }
        s += u'"' + p.spoken + u'"';
        if (p.mapped) {
            s += u'=' + parsed.balloonText.mid(p.balloonStart, p.balloonLength);
        }
        for (const TextMark& m : p.marks) {
            s += QStringLiteral("#%1@%2").arg(m.mark).arg(m.offset);
        }
        out << s;
    }
    return out.join(u' ');
}

} // namespace

class TestSpeechTags : public QObject {
    Q_OBJECT
private slots:
    void parses_data();
    void parses();
    void balloonRangesCoverTheBalloonText();
    void repeatsOnlyWhenTheWholeRequestIsTheRepeatTag();
};

void TestSpeechTags::parses_data() {
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("balloon");
    QTest::addColumn<QString>("pieces");

    // What the Say-it command sends: pitch, speed and an empty voice character before the text.
    QTest::newRow("program request") << "\\Pit=60\\\\Spd=100\\\\Chr=\\Hello world"
                                     << "Hello world"
                                     << "T(60,100)\"Hello world\"";
    QTest::newRow("preset 2") << "\\Pit=50\\\\Spd=350\\\\Chr=\\Hi."
                              << "Hi."
                              << "T(50,350)\"Hi.\"";
    QTest::newRow("program request, empty text") << "\\Pit=60\\\\Spd=100\\\\Chr=\\"
                                                 << ""
                                                 << "";
    QTest::newRow("empty pitch field") << "\\Pit=\\\\Spd=100\\\\Chr=\\Hi"
                                       << "Hi"
                                       << "T(100,100)\"Hi\"";
    QTest::newRow("empty speed field") << "\\Pit=60\\\\Spd=\\\\Chr=\\Hi"
                                       << "Hi"
                                       << "T(60,180)\"Hi\"";
    QTest::newRow("lettered fields") << "\\Pit=abc\\\\Spd=1x0\\\\Chr=\\Hi"
                                     << "Hi"
                                     << "T(100,180)\"Hi\"";
    QTest::newRow("negative pitch") << "\\Pit=-60\\Hi"
                                    << "Hi"
                                    << "T(100,180)\"Hi\"";
    QTest::newRow("zero pitch and speed") << "\\Pit=0\\\\Spd=0\\Hi"
                                          << "Hi"
                                          << "T(100,180)\"Hi\"";
    QTest::newRow("pitch beyond the tag's range") << "\\Pit=70000\\Hi"
                                                  << "Hi"
                                                  << "T(100,180)\"Hi\"";
    QTest::newRow("huge number") << "\\Spd=99999999999999999999\\Hi"
                                 << "Hi"
                                 << "T(100,180)\"Hi\"";
    QTest::newRow("unreachable values are clamped") << "\\Pit=999\\\\Spd=999\\\\Chr=\\x"
                                                    << "x"
                                                    << "T(400,350)\"x\"";
    QTest::newRow("low values are clamped") << "\\Pit=10\\\\Spd=20\\x"
                                            << "x"
                                            << "T(50,50)\"x\"";
    QTest::newRow("blanks around a number") << "\\Pit= 200 \\x"
                                            << "x"
                                            << "T(200,180)\"x\"";
    QTest::newRow("names ignore case") << "\\pIT=200\\\\SPD=300\\x"
                                       << "x"
                                       << "T(200,300)\"x\"";

    QTest::newRow("backslashes in a path") << "C:\\Users\\me"
                                           << "C:Usersme"
                                           << "T(100,180)\"C:Usersme\"";
    QTest::newRow("doubled backslash in text") << "a \\\\ b"
                                               << "a  b"
                                               << "T(100,180)\"a  b\"";
    QTest::newRow("trailing backslash") << "end\\"
                                        << "end"
                                        << "T(100,180)\"end\"";
    QTest::newRow("unknown tag") << "\\Foo=1\\bar"
                                 << "Foo=1bar"
                                 << "T(100,180)\"Foo=1bar\"";
    QTest::newRow("longer name") << "\\Pitch is high"
                                 << "Pitch is high"
                                 << "T(100,180)\"Pitch is high\"";
    QTest::newRow("name without = or closer") << "\\Pit 60\\ x"
                                              << "Pit 60 x"
                                              << "T(100,180)\"Pit 60 x\"";
    QTest::newRow("unterminated tag at the end") << "Hello \\Pit=200"
                                                 << "Hello "
                                                 << "T(100,180)\"Hello \"";
    QTest::newRow("unterminated bare tag at the end") << "Hi \\Emp"
                                                      << "Hi "
                                                      << "T(100,180)\"Hi \"";
    QTest::newRow("unterminated quote") << "Hi \\Map=\"a"
                                        << "Hi "
                                        << "T(100,180)\"Hi \"";

    QTest::newRow("volume") << "\\Vol=0\\quiet"
                            << "quiet"
                            << "T(100,180)v0\"quiet\"";
    QTest::newRow("volume beyond range") << "\\Vol=65536\\x"
                                         << "x"
                                         << "T(100,180)\"x\"";
    QTest::newRow("monotone") << "\\Chr=\"Monotone\"\\flat"
                              << "flat"
                              << "T(100,180)M\"flat\"";
    QTest::newRow("whisper, lower case") << "\\chr=\"whisper\"\\x"
                                         << "x"
                                         << "T(100,180)W\"x\"";
    QTest::newRow("unquoted character") << "\\Chr=Monotone\\x"
                                        << "x"
                                        << "T(100,180)M\"x\"";
    QTest::newRow("unknown character") << "\\Chr=\"Robot\"\\x"
                                       << "x"
                                       << "T(100,180)\"x\"";
    QTest::newRow("empty character keeps the current one") << "\\Chr=\"Monotone\"\\a \\Chr=\\b"
                                                           << "a b"
                                                           << "T(100,180)M\"a b\"";
    QTest::newRow("normal again") << "\\Chr=\"Monotone\"\\a \\Chr=\"Normal\"\\b"
                                  << "a b"
                                  << "T(100,180)M\"a \" T(100,180)\"b\"";

    QTest::newRow("pause") << "one\\Pau=500\\two"
                           << "onetwo"
                           << "T(100,180)\"one\" P500 T(100,180)\"two\"";
    QTest::newRow("zero pause") << "one \\Pau=0\\two"
                                << "one two"
                                << "T(100,180)\"one two\"";
    QTest::newRow("bookmark inside text") << "one \\Mrk=7\\two"
                                          << "one two"
                                          << "T(100,180)\"one two\"#7@4";
    QTest::newRow("bookmark zero") << "\\Mrk=0\\x"
                                   << "x"
                                   << "T(100,180)\"x\"";
    QTest::newRow("bookmark first") << "\\Mrk=5\\x"
                                    << "x"
                                    << "B5 T(100,180)\"x\"";
    QTest::newRow("bookmark last") << "x\\Mrk=5\\"
                                   << "x"
                                   << "T(100,180)\"x\" B5";
    QTest::newRow("bookmark before a voice change") << "a \\Mrk=2\\\\Pit=200\\b"
                                                    << "a b"
                                                    << "T(100,180)\"a \" B2 T(200,180)\"b\"";
    QTest::newRow("emphasis") << "\\Emp\\very good"
                              << "very good"
                              << "T(100,180)!\"very\" T(100,180)\" good\"";
    QTest::newRow("emphasis across blanks") << "a \\Emp\\ big one"
                                            << "a  big one"
                                            << "T(100,180)\"a \" T(100,180)!\" big\" T(100,180)\" one\"";
    QTest::newRow("reset") << "\\Pit=200\\\\Vol=9\\a \\Rst\\b"
                           << "a b"
                           << "T(200,180)v9\"a \" T(100,180)\"b\"";
    QTest::newRow("reset drops a pending emphasis") << "\\Emp\\\\Rst\\b"
                                                    << "b"
                                                    << "T(100,180)\"b\"";
    QTest::newRow("map") << "I am \\Map=\"spoken\"=\"shown\"\\ here"
                         << "I am shown here"
                         << "T(100,180)\"I am \" T(100,180)\"spoken\"=shown T(100,180)\" here\"";
    QTest::newRow("map with quotes and backslashes") << "\\Map=\"say \"\"hi\"\"\"=\"x\\\\y\"\\"
                                                     << "x\\y"
                                                     << "T(100,180)\"say \"hi\"\"=x\\y";
    QTest::newRow("map with a lone backslash is dropped") << "\\Map=\"a\\b\"=\"c\"\\"
                                                          << "b\"=\"c\""
                                                          << "T(100,180)\"b\"=\"c\"\"";
    QTest::newRow("map with one part is ignored") << "\\Map=\"a\"\\x"
                                                  << "x"
                                                  << "T(100,180)\"x\"";
    QTest::newRow("e-mail context") << "\\Ctx=\"E-mail\"\\a@b.c"
                                    << "a@b.c"
                                    << "T(100,180)@\"a@b.c\"";
    QTest::newRow("address context") << "\\Ctx=\"Address\"\\1 Main St."
                                     << "1 Main St."
                                     << "T(100,180)A\"1 Main St.\"";
    QTest::newRow("repeat tag inside text is ignored") << "\\Lst\\ more"
                                                       << " more"
                                                       << "T(100,180)\" more\"";
    QTest::newRow("same voice again does not split") << "\\Pit=60\\\\Spd=100\\\\Chr=\\a \\Pit=60\\b"
                                                     << "a b"
                                                     << "T(60,100)\"a b\"";
}

void TestSpeechTags::parses() {
    QFETCH(QString, request);
    QFETCH(QString, balloon);
    QFETCH(QString, pieces);
    const ParsedRequest parsed = parseSpeechTags(request, defaults());
    QCOMPARE(parsed.balloonText, balloon);
    QCOMPARE(describe(parsed), pieces);
    QVERIFY(!parsed.repeatPrevious);
}

void TestSpeechTags::balloonRangesCoverTheBalloonText() {
    // Every balloon character belongs to exactly one text piece, in order.
    const ParsedRequest parsed = parseSpeechTags(
        "\\Pit=60\\\\Spd=100\\\\Chr=\\One \\Emp\\two, \\Map=\"3\"=\"three\"\\ \\Pit=300\\four "
        "\\Pau=20\\five\\Mrk=1\\.",
        defaults());
    int next = 0;
    for (const SpeechPiece& p : parsed.pieces) {
        if (p.kind != SpeechPiece::Kind::Text) {
            continue;
        }
        QCOMPARE(p.balloonStart, next);
        if (!p.mapped) {
            QCOMPARE(parsed.balloonText.mid(p.balloonStart, p.balloonLength), p.spoken);
        }
        next += p.balloonLength;
    }
    QCOMPARE(next, parsed.balloonText.size());
    QCOMPARE(parsed.balloonText, QStringLiteral("One two, three four five."));
}

void TestSpeechTags::repeatsOnlyWhenTheWholeRequestIsTheRepeatTag() {
    QVERIFY(parseSpeechTags("\\Lst\\", defaults()).repeatPrevious);
    QVERIFY(parseSpeechTags("  \\lst\\ ", defaults()).repeatPrevious);
    QVERIFY(!parseSpeechTags("\\Lst\\x", defaults()).repeatPrevious);
    QVERIFY(!parseSpeechTags("\\Pit=60\\\\Lst\\", defaults()).repeatPrevious);
}

QTEST_GUILESS_MAIN(TestSpeechTags)
#include "tst_tts_tags.moc"
