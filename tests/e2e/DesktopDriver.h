#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace cw::test {

/// Drives the real X server the end-to-end tests run on, through the standard X command-line tools.
class DesktopDriver {
public:
    /// Runs a tool and returns what it printed (empty when it failed).
    static QString run(const QString& program, const QStringList& arguments, int timeoutMs = 10000) {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return {};
        }
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    /// The ids of the visible top-level windows whose title matches a regular expression (any title when the
    /// pattern is empty), of one process when `pid` is given.
    static QStringList windowsNamed(const QString& pattern, qint64 pid = 0) {
        QStringList arguments{QStringLiteral("search"), QStringLiteral("--onlyvisible")};
        if (pid && !pattern.isEmpty()) {
            // Without --all, xdotool returns windows that match either condition.
            arguments << QStringLiteral("--all");
        }
        if (pid) {
            arguments << QStringLiteral("--pid") << QString::number(pid);
        }
        if (!pattern.isEmpty()) {
            arguments << QStringLiteral("--name") << pattern;
        }
        return run(QStringLiteral("xdotool"), arguments).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    /// The geometry of a window's client area in screen coordinates.
    static QRect geometry(const QString& window) {
        const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
        auto field = [&info](const char* name) {
            const qsizetype at = info.indexOf(QLatin1String(name));
            if (at < 0) {
                return -1;
            }
            const qsizetype start = at + qsizetype(qstrlen(name));
            return info.mid(start, info.indexOf(QLatin1Char('\n'), start) - start).trimmed().toInt();
        };
        return {field("Absolute upper-left X:"), field("Absolute upper-left Y:"), field("Width:"),
                field("Height:")};
    }

    /// Waits until some visible window matching `pattern` satisfies `accept`, and returns its id.
    template <typename Accept>
    static std::optional<QString> waitForWindow(const QString& pattern, Accept accept, int timeoutMs,
                                                qint64 pid = 0) {
        QDeadlineTimer deadline(timeoutMs);
        do {
            for (const QString& window : windowsNamed(pattern, pid)) {
                if (accept(window)) {
                    return window;
                }
            }
            QThread::msleep(50);
        } while (!deadline.hasExpired());
        return std::nullopt;
    }

    /// Whether a window has the main window's client size.
    static bool isMainWindow(const QString& window) { return geometry(window).size() == QSize(309, 271); }

    /// Starts the program and returns its main window once it is on screen (none when it did not appear).
    static std::optional<QString>
    startProgram(QProcess& process, const QString& program,
                 QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels) {
        process.setProcessChannelMode(channels);
        process.start(program, {});
        if (!process.waitForStarted()) {
            return std::nullopt;
        }
        return waitForWindow(QStringLiteral("^Chatterwisp$"), isMainWindow, 15000, process.processId());
    }

    /// Ends a program started by startProgram, politely first.
    static void endProgram(QProcess& process) {
        if (process.state() == QProcess::NotRunning) {
            return;
        }
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished();
        }
    }

    /// Gives a window the keyboard focus (no window manager needed) and types keys into it.
    static void sendKeys(const QString& window, const QStringList& keys) {
        run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        run(QStringLiteral("xdotool"),
            QStringList{QStringLiteral("key"), QStringLiteral("--clearmodifiers")} + keys);
    }

    /// Clicks a point of a window, in window coordinates.
    static void click(const QString& window, QPoint at) {
        run(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(at.x()),
             QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
    }

    /// The text of the text field at `at` of a window, copied out through the clipboard (empty when the copy
    /// did not land). Leaves the field's text selected, so the primary selection holds it too.
    static QString copiedText(const QString& window, QPoint at) {
        click(window, at);
        sendKeys(window, {QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c")});
        QString copied;
        (void)QTest::qWaitFor(
            [&copied] {
                copied = run(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                       QStringLiteral("clipboard")});
                return !copied.isEmpty();
            },
            5000);
        return copied;
    }

    /// The notification-area icon of a process: the tray host embeds it as a small window of the process's.
    static std::optional<QString> trayIconOf(qint64 pid, int timeoutMs) {
        return waitForWindow(
            QString(), [](const QString& w) { return geometry(w).width() <= 64; }, timeoutMs, pid);
    }

    /// Whether a window still exists on the X server.
    static bool windowExists(const QString& window) {
        QProcess process;
        process.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
        return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    /// Saves a screenshot of a window (or of the whole screen for "root").
    static bool screenshot(const QString& window, const QString& file) {
        QProcess process;
        process.start(QStringLiteral("import"), {QStringLiteral("-window"), window, file});
        return process.waitForFinished(20000) && process.exitCode() == 0;
    }
};

/// The program's request trace (docs/trace.md), read from its error output while it runs, so that a test
/// waits for a step the program has taken instead of on the clock. Other lines it prints are passed on to the
/// test's own error output. Set up before the program starts; start it with `channels()`.
class ProgramTrace {
public:
    explicit ProgramTrace(QProcess& process) : process_(process) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("chatterwisp.trace=true"));
        process.setProcessEnvironment(environment);
    }
    static constexpr QProcess::ProcessChannelMode channels() { return QProcess::ForwardedOutputChannel; }

    /// How many steps have been seen so far: a starting point for `waitFor`.
    qsizetype mark() {
        take();
        return qsizetype(steps_.size());
    }

    /// Waits for a step (its name and detail, "clipboard text read 27", matching `pattern` whole) taken after
    /// the first `from` steps; returns the count of steps up to and including it.
    std::optional<qsizetype> waitFor(const QString& pattern, qsizetype from, int timeoutMs) {
        const QRegularExpression wanted(QRegularExpression::anchoredPattern(pattern));
        QDeadlineTimer deadline(timeoutMs);
        for (qsizetype seen = from;;) {
            take();
            for (; seen < qsizetype(steps_.size()); ++seen) {
                if (wanted.match(steps_[std::size_t(seen)]).hasMatch()) {
                    return seen + 1;
                }
            }
            if (deadline.hasExpired()) {
                std::fprintf(stderr, "no step \"%s\" came; the last steps were:\n", qPrintable(pattern));
                for (auto step = steps_.size() > 12 ? steps_.end() - 12 : steps_.begin();
                     step != steps_.end(); ++step) {
                    std::fprintf(stderr, "  %s\n", qPrintable(*step));
                }
                return std::nullopt;
            }
            QTest::qWait(20); // the event loop runs on: the test's own processes write and read meanwhile
        }
    }

    /// The steps after the first `from` and up to and including step `to`.
    QStringList stepsBetween(qsizetype from, qsizetype to) {
        take();
        QStringList steps;
        for (qsizetype i = std::max<qsizetype>(from, 0); i < std::min(to, qsizetype(steps_.size())); ++i) {
            steps.append(steps_[std::size_t(i)]);
        }
        return steps;
    }

    /// The program's own log lines (categories "chatterwisp.*" but the trace) printed after the first `from`
    /// steps and before step `to` was taken.
    QStringList logLinesBetween(qsizetype from, qsizetype to) {
        take();
        QStringList lines;
        for (const auto& [after, line] : logLines_) {
            if (after >= from && after < to) {
                lines.append(line);
            }
        }
        return lines;
    }

private:
    void take() {
        pending_ += process_.readAllStandardError();
        static const QByteArray prefix("chatterwisp.trace: ");
        for (qsizetype end; (end = pending_.indexOf('\n')) >= 0; pending_.remove(0, end + 1)) {
            const QByteArray line = pending_.left(end);
            const qsizetype at = line.indexOf(prefix);
            if (at < 0) {
                if (line.startsWith("chatterwisp.")) {
                    logLines_.emplace_back(qsizetype(steps_.size()), QString::fromUtf8(line));
                }
                std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
                std::fputc('\n', stderr);
                continue;
            }
            // "<milliseconds> <step> [detail]": keep what follows the time.
            const QByteArray rest = line.mid(at + prefix.size());
            steps_.push_back(QString::fromUtf8(rest.mid(rest.indexOf(' ') + 1)));
        }
    }

    QProcess& process_;
    QByteArray pending_;
    std::vector<QString> steps_;
    std::vector<std::pair<qsizetype, QString>> logLines_; // each with the count of steps before it
};

} // namespace cw::test
