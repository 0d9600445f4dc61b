// The real clipboard against a real owner (xclip) on the X server of tools/headless.sh: a text sent whole or
// in pieces (INCR) arrives whole, a text over the size limit is refused rather than cut, QtClipboard reads
// one text at a time, every copy is counted, and clipboard monitoring leaves another program's text alone.
#include "RecordingCharacter.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/XcbSelectionReader.h"
#include "speech/SpeechCommands.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <memory>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace cw;
using namespace std::chrono_literals;

namespace {

// Owns the X clipboard with a text, through xclip, while it lives. Started with plain fork and exec, which
// ThreadSanitizer follows (it cannot follow the clone() that QProcess uses).
class ClipboardOwner {
public:
    explicit ClipboardOwner(const QByteArray& text, const char* selection = "clipboard") {
        int input[2];
        if (::pipe(input) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            // It ends with the test, also when a sanitizer stops the test before the destructor runs: left
            // behind, it would hold the test's output open and keep the test runner waiting.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::dup2(input[0], STDIN_FILENO);
            ::close(input[0]);
            ::close(input[1]);
            ::execlp("xclip", "xclip", "-selection", selection, "-i", "-quiet", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(input[0]);
        for (qsizetype sent = 0; pid_ > 0 && sent < text.size();) {
            const ssize_t n = ::write(input[1], text.constData() + sent, std::size_t(text.size() - sent));
            if (n <= 0) {
                break;
            }
            sent += n;
        }
        ::close(input[1]);
    }
    ~ClipboardOwner() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

// Lines of text, `bytes` long in all.
QByteArray linesOf(qint64 bytes) {
    QByteArray text;
    text.reserve(bytes);
    for (int line = 0; text.size() < bytes; ++line) {
        text += "Line " + QByteArray::number(line) + " of a long clipboard text, for the genie to read.\n";
    }
    text.truncate(bytes);
    return text;
}

// True once a read gives a text: the owner has taken the clipboard (before that it reads as empty).
bool readsText(XcbSelectionReader& reader, std::optional<QByteArray>& text) {
    text = reader.readClipboardText(2s);
    return text && !text->isEmpty();
}

// The clipboard's text as another program reads it now; "(failed)" when the read fails.
QByteArray clipboardNow() {
    XcbSelectionReader probe;
    return probe.readClipboardText(2s).value_or("(failed)");
}

// One step towards a read round trip through QtClipboard's reader thread; true once a read asked here has
// been answered. Call it until it is true: a read still in flight is waited out first. By then every read
// asked before has been answered, and every copy made before has been counted.
bool readRoundTripDone(QtClipboard& clipboard, const std::shared_ptr<int>& state) {
    enum { Idle, Pending, Answered };
    if (*state == Idle) {
        *state = Pending;
        auto asking = std::make_shared<bool>(true);
        clipboard.requestText(
            [state, asking](std::optional<QString>) { *state = *asking ? Idle : Answered; });
        *asking = false;
    }
    return *state == Answered;
}

// The main window's speech controls, with clipboard monitoring on the real clipboard.
struct MonitoringWindow {
    QStringList log;
    test::RecordingCharacter character{log};
    SpeechState state;
    QWidget window;
    QPlainTextEdit* box = new QPlainTextEdit(&window);
    QLineEdit* pitch = new QLineEdit(QStringLiteral("60"), &window);
    QLineEdit* speed = new QLineEdit(QStringLiteral("100"), &window);
    QCheckBox* check = new QCheckBox(&window);
    QTimer* timer = new QTimer(&window);
    QtClipboard clipboard;
    SpeechCommands commands{SpeechControls{box, pitch, speed, check, timer}, state, clipboard};

    MonitoringWindow() { state.Character = &character; }
};

// The names of this process's threads.
QByteArrayList threadNames() {
    QByteArrayList names;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly)) {
            names.append(comm.readAll().trimmed());
        }
    }
    return names;
}

} // namespace

class ClipboardTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            QSKIP("needs an X server: run under tools/headless.sh");
        }
        if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty()) {
            QSKIP("needs xclip");
        }
    }

    void aShortTextArrivesWhole() {
        const QByteArray text = QStringLiteral("Hello, w\u00f6rld!").toUtf8();
        ClipboardOwner owner(text);
        QVERIFY(owner.started());
        XcbSelectionReader reader;
        QVERIFY(reader.connected());
        std::optional<QByteArray> read;
        QTRY_VERIFY(readsText(reader, read));
        QCOMPARE(*read, text);
        QCOMPARE(reader.lastReadPieces(), 1);
    }

    void aLargeTextArrivesWholeInPieces() {
        // xclip sends texts larger than about 1 MiB incrementally.
        const QByteArray text = linesOf(3 * 1024 * 1024 + 17);
        ClipboardOwner owner(text);
        XcbSelectionReader reader;
        std::optional<QByteArray> read;
        QTRY_VERIFY_WITH_TIMEOUT(readsText(reader, read), 20'000);
        QCOMPARE(read->size(), text.size());
        QVERIFY(*read == text);
        QVERIFY2(reader.lastReadPieces() > 1, "the text did not come in pieces");
        QVERIFY(!reader.lastReadTooLarge());
    }

    void aTextOverTheLimitIsRefusedNotCut_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<qint64>("limit");
        QTest::newRow("sent whole") << qint64(5000) << qint64(4096);
        QTest::newRow("one byte over") << qint64(4097) << qint64(4096);
        QTest::newRow("sent in pieces") << qint64(3 * 1024 * 1024) << qint64(1024 * 1024);
    }
    void aTextOverTheLimitIsRefusedNotCut() {
        QFETCH(qint64, bytes);
        QFETCH(qint64, limit);
        const QByteArray text = linesOf(bytes);
        ClipboardOwner owner(text);
        XcbSelectionReader large(QByteArray(), bytes);
        std::optional<QByteArray> read;
        QTRY_VERIFY_WITH_TIMEOUT(readsText(large, read), 20'000);
        QVERIFY(*read == text); // exactly at its own limit

        XcbSelectionReader limited(QByteArray(), limit);
        QCOMPARE(limited.readClipboardText(2s), std::nullopt);
        QVERIFY(limited.lastReadTooLarge());
        // The next read starts afresh: the same reader still reads what fits, and never takes a piece that
        // the refused owner goes on sending for its text.
        ClipboardOwner smaller("short");
        QTRY_VERIFY_WITH_TIMEOUT(readsText(limited, read), 10'000);
        QCOMPARE(*read, QByteArray("short"));
        QVERIFY(!limited.lastReadTooLarge());
    }

    void thePrimarySelectionIsReadApartFromTheClipboard() {
        ClipboardOwner clipboardOwner("copied");
        ClipboardOwner primaryOwner("selected", "primary");
        XcbSelectionReader reader;
        std::optional<QByteArray> read;
        QTRY_VERIFY(readsText(reader, read));
        QCOMPARE(*read, QByteArray("copied"));
        QTRY_COMPARE(reader.readText(XcbSelectionReader::Selection::Primary, 2s), QByteArray("selected"));

        // Through the clipboard service: a read of each at once, neither refused for the other.
        QtClipboard clipboard;
        std::optional<std::optional<QString>> copied;
        std::optional<std::optional<QString>> selected;
        clipboard.requestText([&](std::optional<QString> text) { copied = std::move(text); });
        clipboard.requestSelectionText(IClipboard::Selection::Primary,
                                       [&](std::optional<QString> text) { selected = std::move(text); });
        QTRY_VERIFY(copied && selected);
        QCOMPARE(*copied, std::optional<QString>(QStringLiteral("copied")));
        QCOMPARE(*selected, std::optional<QString>(QStringLiteral("selected")));
    }

    void theRealClipboardReadsOneTextAtATime() {
        ClipboardOwner owner("first");
        XcbSelectionReader probe;
        std::optional<QByteArray> read;
        QTRY_VERIFY(readsText(probe, read));
        QCOMPARE(*read, QByteArray("first"));

        const qsizetype threadsBefore = threadNames().size();
        QtClipboard clipboard;
        QVERIFY(clipboard.readsOffThread());
        // The reader's thread and X connection wait for the first read: none of it at start-up.
        QCOMPARE(threadNames().size(), threadsBefore);
        std::optional<QString> first;
        bool firstDone = false;
        clipboard.requestText([&](std::optional<QString> text) {
            first = std::move(text);
            firstDone = true;
        });
        bool secondDone = false;
        std::optional<QString> second = QStringLiteral("unset");
        clipboard.requestText([&](std::optional<QString> text) {
            second = std::move(text);
            secondDone = true;
        });
        QVERIFY2(secondDone, "a second read while one is in flight is answered at once");
        QCOMPARE(second, std::nullopt);
        QVERIFY(!firstDone);
        QTRY_VERIFY(firstDone);
        QCOMPARE(first, std::optional<QString>(QStringLiteral("first")));
        QVERIFY(threadNames().contains("clipboard reade")); // names are cut to 15 characters

        // Once the first is done, reading is possible again.
        bool thirdDone = false;
        clipboard.requestText([&](std::optional<QString> text) {
            QCOMPARE(text, std::optional<QString>(QStringLiteral("first")));
            thirdDone = true;
        });
        QTRY_VERIFY(thirdDone);
    }

    void everyCopyCountsAlsoOfTheSameText() {
        QtClipboard clipboard;
        const quint64 before = clipboard.copyCount();    // starts watching, on the reader's thread
        const auto roundTrip = std::make_shared<int>(0); // by its answer, the watch is in place
        QTRY_VERIFY(readRoundTripDone(clipboard, roundTrip));
        {
            ClipboardOwner first("same text");
            QTRY_VERIFY_WITH_TIMEOUT(clipboard.copyCount() == before + 1, 10'000);
        }
        ClipboardOwner second("same text");
        QTRY_VERIFY_WITH_TIMEOUT(clipboard.copyCount() == before + 2, 10'000);
    }

    void clearingEmptiesAnotherProgramsClipboardAndIsNoCopy() {
        ClipboardOwner owner("the user's text");
        QTRY_COMPARE_WITH_TIMEOUT(clipboardNow(), QByteArray("the user's text"), 10'000);
        XcbSelectionReader watcher;
        QVERIFY(watcher.watchesCopies());
        QtClipboard clipboard;
        clipboard.clear();
        // The emptying is known to the server before it answers this read, and so is any notice of it.
        QTRY_COMPARE_WITH_TIMEOUT(clipboardNow(), QByteArray(), 10'000);
        QCOMPARE(watcher.readClipboardText(2s), std::optional<QByteArray>(QByteArray()));
        QCOMPARE(watcher.copiesSeen(), quint64(0));
    }

    void monitoringLeavesTheClipboardAloneAndShowsOnlyNewCopies() {
        ClipboardOwner before("copied before monitoring");
        QTRY_COMPARE_WITH_TIMEOUT(clipboardNow(), QByteArray("copied before monitoring"), 10'000);
        MonitoringWindow w;
        w.box->setPlainText(QStringLiteral("old box text"));
        w.commands.startMonitoring();
        QCOMPARE(w.box->toPlainText(), QString());
        QCOMPARE(clipboardNow(), QByteArray("copied before monitoring"));

        w.box->setPlainText(QStringLiteral("typed by the user"));
        for (int tick = 0; tick < 3; ++tick) {
            w.commands.readClipboard();
            const auto roundTrip = std::make_shared<int>(0); // any read the tick started has been applied
            QTRY_VERIFY(readRoundTripDone(w.clipboard, roundTrip));
        }
        QCOMPARE(w.box->toPlainText(), QStringLiteral("typed by the user"));

        ClipboardOwner fresh("typed by the user, then copied"); // an owner event that proves notices flow
        QTRY_COMPARE_WITH_TIMEOUT((w.commands.readClipboard(), w.box->toPlainText()),
                                  QStringLiteral("typed by the user, then copied"), 10'000);

        w.box->setPlainText(QStringLiteral("typed again"));
        ClipboardOwner again("typed by the user, then copied"); // the same text, copied anew
        QTRY_COMPARE_WITH_TIMEOUT((w.commands.readClipboard(), w.box->toPlainText()),
                                  QStringLiteral("typed by the user, then copied"), 10'000);

        w.commands.clearAll();
        QCOMPARE(w.box->toPlainText(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(clipboardNow(), QByteArray(), 10'000);
    }

    void aTextOverTheLimitFailsWithOneLogLine() {
        ClipboardOwner owner(linesOf(5000));
        XcbSelectionReader probe;
        std::optional<QByteArray> owned;
        QTRY_VERIFY(readsText(probe, owned));

        static int overTheLimit = 0;
        overTheLimit = 0;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
                if (type == QtWarningMsg && QByteArray(context.category) == "chatterwisp.clipboard" &&
                    text.contains(QLatin1String("over the limit"))) {
                    ++overTheLimit;
                }
            });
        QtClipboard clipboard(4096);
        bool done = false;
        std::optional<QString> read = QStringLiteral("unset");
        clipboard.requestText([&](std::optional<QString> text) {
            read = std::move(text);
            done = true;
        });
        QTRY_VERIFY(done);
        qInstallMessageHandler(previous);
        QCOMPARE(read, std::nullopt);
        QCOMPARE(overTheLimit, 1);
    }
};

QTEST_MAIN(ClipboardTest)
#include "tst_clipboard.moc"
