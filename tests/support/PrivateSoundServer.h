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
#include <memory>
#include <vector>

namespace cw::test {

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
        process_ = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir_.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
        process_->setProcessEnvironment(env);
        process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
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
        process_->start(QStringLiteral("pulseaudio"), arguments);
        if (!process_->waitForStarted(5000)) {
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
        if (process_) {
            process_->kill();
            process_->waitForFinished(5000);
            process_.reset();
        }
        QFile::remove(socket());
    }

    /// Stops the server's process without ending it (it holds its socket and answers nothing), or lets it go
    /// on.
    void freeze(bool frozen) {
        if (process_) {
            ::kill(pid_t(process_->processId()), frozen ? SIGSTOP : SIGCONT);
        }
    }

    /// Runs pactl against this server; true when it succeeded.
    bool pactl(const QStringList& arguments) const {
        QProcess process;
        process.start(QStringLiteral("pactl"),
                      QStringList{QStringLiteral("--server=") + address()} + arguments);
        return process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
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
    std::unique_ptr<QProcess> process_;
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
