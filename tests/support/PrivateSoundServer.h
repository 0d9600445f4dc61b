#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace cw::test {

/// A program started with posix_spawn rather than QProcess: ThreadSanitizer (clang 14) fails its own check
/// when a process with threads forks through the clone() that QProcess uses, and the server and pactl are
/// started from tests that run under it.
class SpawnedProcess {
public:
    /// Starts `program` (looked up in PATH) with `arguments`, the environment plus `extra` ("NAME=value"),
    /// and its standard output and error sent to /dev/null when `quiet` (so a server that outlives a test
    /// that crashed holds none of the test's pipes, on which ctest would wait). False when it could not be
    /// started.
    bool start(const QString& program, const QStringList& arguments, const QStringList& extra = {},
               bool quiet = false) {
        std::vector<QByteArray> argBytes{program.toLocal8Bit()};
        for (const QString& a : arguments) {
            argBytes.push_back(a.toLocal8Bit());
        }
        std::vector<char*> argv;
        for (QByteArray& a : argBytes) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        std::vector<QByteArray> envBytes;
        for (char** e = environ; *e; ++e) {
            const QByteArray entry(*e);
            const QByteArray name = entry.left(entry.indexOf('=') + 1);
            bool replaced = false;
            for (const QString& x : extra) {
                replaced = replaced || x.toLocal8Bit().startsWith(name);
            }
            if (!replaced) {
                envBytes.push_back(entry);
            }
        }
        for (const QString& x : extra) {
            envBytes.push_back(x.toLocal8Bit());
        }
        std::vector<char*> envp;
        for (QByteArray& e : envBytes) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (quiet) {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        }
        const int failed = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (failed) {
            pid_ = -1;
        }
        return pid_ > 0;
    }
    /// Waits up to `timeoutMs` for it to end; true when it ended with exit status 0.
    bool waitForSuccess(int timeoutMs) {
        QDeadlineTimer deadline(timeoutMs);
        while (pid_ > 0) {
            int status = 0;
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                pid_ = -1;
                return WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
            if (done < 0) {
                pid_ = -1;
                return false;
            }
            if (deadline.hasExpired()) {
                kill();
                return false;
            }
            QThread::msleep(5);
        }
        return false;
    }
    /// Ends it at once and collects it.
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    void signal(int number) {
        if (pid_ > 0) {
            ::kill(pid_, number);
        }
    }
    ~SpawnedProcess() { kill(); }

private:
    pid_t pid_ = -1;
};

/// A PulseAudio server of a test's own, on a private socket, with one or more null sinks: a test can kill it
/// and start it again without taking the sound away from any other test. Its address stays the same across
/// restarts, so a client told `address()` once finds it again.
class PrivateSoundServer {
public:
    static bool available() {
        return !QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty();
    }

    /// unix:<socket>, for PULSE_SERVER or parec --server.
    QString address() const { return QStringLiteral("unix:") + socket(); }

    /// Starts the server with null sinks of these names (the first is the default); true once it answers.
    bool start(const QStringList& sinks = {QStringLiteral("cw_private_sink")}) {
        process_ = std::make_unique<SpawnedProcess>();
        QStringList arguments{QStringLiteral("--daemonize=no"),
                              QStringLiteral("-n"),
                              QStringLiteral("--exit-idle-time=-1"),
                              QStringLiteral("--use-pid-file=no"),
                              QStringLiteral("--disable-shm=yes"),
                              QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") +
                                  socket()};
        for (const QString& sink : sinks) {
            arguments << QStringLiteral("--load=module-null-sink sink_name=") + sink;
        }
        if (!process_->start(
                QStringLiteral("pulseaudio"), arguments,
                {QStringLiteral("HOME=") + dir_.path(), QStringLiteral("XDG_RUNTIME_DIR=") + dir_.path()},
                true)) {
            return false;
        }
        // Ready once it answers on its socket.
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (QFile::exists(socket()) && pactl({QStringLiteral("info")})) {
                return true;
            }
            QThread::msleep(20);
        }
        return false;
    }

    /// Ends the server at once, as a crash would.
    void kill() {
        process_.reset(); // kills and collects it
        QFile::remove(socket());
    }

    /// Stops the server's process without ending it (it holds its socket and answers nothing), or lets it go
    /// on.
    void freeze(bool frozen) {
        if (process_) {
            process_->signal(frozen ? SIGSTOP : SIGCONT);
        }
    }

    /// Runs pactl against this server; true when it succeeded.
    bool pactl(const QStringList& arguments) const {
        SpawnedProcess process;
        return process.start(QStringLiteral("pactl"),
                             QStringList{QStringLiteral("--server=") + address()} + arguments, {}, true) &&
               process.waitForSuccess(5000);
    }

    /// How many playback streams the server has (a program's prepared output counts, even while paused).
    int streams() const {
        QProcess process;
        process.start(QStringLiteral("pactl"),
                      {QStringLiteral("--server=") + address(), QStringLiteral("list"),
                       QStringLiteral("short"), QStringLiteral("sink-inputs")});
        if (!process.waitForFinished(5000) || process.exitCode() != 0) {
            return 0;
        }
        return int(QString::fromUtf8(process.readAllStandardOutput())
                       .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                       .size());
    }

    ~PrivateSoundServer() { kill(); }

private:
    QString socket() const { return dir_.filePath(QStringLiteral("native")); }

    QTemporaryDir dir_;
    std::unique_ptr<SpawnedProcess> process_;
};

/// Records what one sink of a sound server plays, 16 kHz mono, through parec.
class MonitorRecording {
public:
    static constexpr int kRate = 16000;

    bool start(const QString& server, const QString& sink) {
        process_.start(QStringLiteral("parec"),
                       {QStringLiteral("--server=") + server, QStringLiteral("-d"),
                        sink + QStringLiteral(".monitor"), QStringLiteral("--raw"),
                        QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(kRate),
                        QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=10")});
        return process_.waitForStarted(5000);
    }
    ~MonitorRecording() {
        process_.kill();
        process_.waitForFinished(3000);
    }
    /// How many samples louder than background have been recorded so far.
    int loudSamples() {
        pending_.append(process_.readAllStandardOutput());
        const qsizetype whole = pending_.size() / 2 * 2;
        const auto* data = reinterpret_cast<const unsigned char*>(pending_.constData());
        for (qsizetype i = 0; i < whole; i += 2) {
            if (std::abs(int(static_cast<std::int16_t>(data[i] | (data[i + 1] << 8)))) > 1000) {
                ++loud_;
            }
        }
        pending_.remove(0, whole);
        return loud_;
    }

private:
    QProcess process_;
    QByteArray pending_;
    int loud_ = 0;
};

} // namespace cw::test
