// The pure steps between a parsed request and its timeline: chunking, reading contexts, mouths, events.
#include "tts/Mouths.h"
#include "tts/TextChunks.h"
#include "tts/Timeline.h"

#include <QTest>

using namespace cw::tts;

class TestTtsText : public QObject {
    Q_OBJECT
private slots:
    void chunks_data();
    void chunks();
    void chunksCoverAnyTextWithoutGaps();
    void spokenForm_data();
    void spokenForm();
    void everyPhoneHasAMouth();
    void timelineCollapsesMouthsAndPlacesBookmarks();
};

void TestTtsText::chunks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QStringList>("chunks");
    QTest::newRow("sentences") << "One two. Three? Four!" << 160
                               << QStringList{"One two. ", "Three? ", "Four!"};
    QTest::newRow("no full stop") << "just words" << 160 << QStringList{"just words"};
    QTest::newRow("decimal point stays")
        << "Pi is 3.14 today. Yes" << 160 << QStringList{"Pi is 3.14 today. ", "Yes"};
    QTest::newRow("line breaks end sentences")
        << "line one\nline two" << 160 << QStringList{"line one\n", "line two"};
    QTest::newRow("long sentence cut at a clause")
        << "aaaa bbbb, cccc dddd eeee" << 16 << QStringList{"aaaa bbbb, ", "cccc dddd eeee"};
    QTest::newRow("long sentence cut at a word")
        << "aaaa bbbb cccc dddd" << 12 << QStringList{"aaaa bbbb ", "cccc dddd"};
    QTest::newRow("one long run") << "abcdefghij" << 4 << QStringList{"abcd", "efgh", "ij"};
}

void TestTtsText::chunks() {
    QFETCH(QString, text);
    QFETCH(int, maxLength);
    QFETCH(QStringList, chunks);
    QStringList got;
    for (int at = 0; at < text.size();) {
        const int end = chunkEnd(text, at, maxLength);
        got << text.mid(at, end - at);
        at = end;
    }
    QCOMPARE(got, chunks);
}

void TestTtsText::chunksCoverAnyTextWithoutGaps() {
    QString text;
    for (int i = 0; i < 3000; ++i) {
        text += QChar(u"ab .,!?\n\u2014"[i * 7 % 9]);
    }
    text += QString::fromUtf16(u"\U0001F600\U0001F600\U0001F600");
    for (const int maxLength : {1, 2, 7, 160}) {
        int at = 0;
        while (at < text.size()) {
            const int end = chunkEnd(text, at, maxLength);
            QVERIFY(end > at);
            QVERIFY(end - at <= maxLength || text.mid(at, end - at).trimmed().size() <= maxLength);
            QVERIFY(!text[end - 1].isHighSurrogate() || end - at == 1);
            at = end;
        }
        QCOMPARE(at, text.size());
    }
}

void TestTtsText::spokenForm_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("context");
    QTest::addColumn<QString>("spoken");
    QTest::newRow("unknown context reads as written")
        << "mail bob@x.org now" << int(ReadingContext::Unknown) << "mail bob@x.org now";
    QTest::newRow("e-mail address") << "mail bob_k@x.org." << int(ReadingContext::Email)
                                    << "mail bob underscore k at x dot org.";
    QTest::newRow("e-mail context leaves other words")
        << "Dr. Who" << int(ReadingContext::Email) << "Dr. Who";
    QTest::newRow("street abbreviations")
        << "12 Main St., Apt 4" << int(ReadingContext::Address) << "12 Main Street, Apartment 4";
}

void TestTtsText::spokenForm() {
    QFETCH(QString, text);
    QFETCH(int, context);
    QFETCH(QString, spoken);
    const SpokenText out = cw::tts::spokenForm(text, ReadingContext(context));
    QCOMPARE(out.text, spoken);
    QCOMPARE(out.origin.size(), out.text.size());
    // Origins never go backwards and always point into the source.
    for (qsizetype i = 0; i < out.origin.size(); ++i) {
        QVERIFY(out.origin[i] >= 0 && out.origin[i] < text.size());
        QVERIFY(i == 0 || out.origin[i] >= out.origin[i - 1]);
    }
}

void TestTtsText::everyPhoneHasAMouth() {
    // The US English phone set: silence and lips-together phones close the mouth, open vowels open it wide.
    QCOMPARE(mouthForPhone("pau"), Mouth::Closed);
    for (const char* lips : {"b", "m", "p"}) {
        QCOMPARE(mouthForPhone(lips), Mouth::Closed);
    }
    for (const char* open : {"aa", "ae", "ay", "aw"}) {
        QCOMPARE(mouthForPhone(open), Mouth::Wide4);
    }
    for (const char* round : {"ow", "uw", "w"}) {
        QCOMPARE(mouthForPhone(round), Mouth::Narrow);
    }
    const QList<QByteArray> phones = {"aa", "ae", "ah", "ao", "aw", "ax", "axr", "ay", "b",  "ch", "d",
                                      "dh", "eh", "er", "ey", "f",  "g",  "hh",  "ih", "iy", "jh", "k",
                                      "l",  "m",  "n",  "ng", "ow", "oy", "p",   "r",  "s",  "sh", "t",
                                      "th", "uh", "uw", "v",  "w",  "y",  "z",   "zh"};
    QSet<Mouth> used;
    for (const QByteArray& phone : phones) {
        used << mouthForPhone(phone);
    }
    QCOMPARE(used.size(), 7); // every mouth is drawn by some phone
}

void TestTtsText::timelineCollapsesMouthsAndPlacesBookmarks() {
    ChunkTiming t;
    t.phones = {{"pau", 100}, {"hh", 150}, {"ah", 200}, {"eh", 260}, {"m", 300}, {"pau", 400}};
    t.words = {{100, 0, 10, 3}, {200, 4, 14, 2}, {210, 4, 14, 2}};
    t.marks = {{4, 7}, {9, 8}};
    t.length = 400;
    Mouth mouth = Mouth::Closed;
    const QList<TimelineEvent> events = chunkTimeline(t, 1000, mouth);
    QCOMPARE(formatTimeline(events, 1000, QStringLiteral("0123456789abcdefghij")),
             QStringLiteral("   1100 word 10 3 \"abc\"\n"
                            "   1100 mouth Wide3\n"
                            "   1200 bookmark 7\n"
                            "   1200 word 14 2 \"ef\"\n"
                            "   1260 mouth Closed\n"
                            "   1400 bookmark 8\n"));
    QCOMPARE(mouth, Mouth::Closed);
}

QTEST_GUILESS_MAIN(TestTtsText)
#include "tst_tts_text.moc"
