#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QThread>
#include <optional>

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
    static std::optional<QString> startProgram(QProcess& process, const QString& program) {
        process.setProcessChannelMode(QProcess::ForwardedChannels);
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

    /// Saves a screenshot of a window (or of the whole screen for "root").
    static bool screenshot(const QString& window, const QString& file) {
        QProcess process;
        process.start(QStringLiteral("import"), {QStringLiteral("-window"), window, file});
        return process.waitForFinished(20000) && process.exitCode() == 0;
    }
};

} // namespace cw::test
