#pragma once

#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace cw::test {

/// A session bus of the test's own, ended with the test. Given a folder of service files, it starts the
/// services they name when they are called (D-Bus activation), and no others.
class PrivateSessionBus {
public:
    explicit PrivateSessionBus(const QString& serviceFolder = {}) {
        QStringList arguments{QStringLiteral("--nofork"), QStringLiteral("--print-address")};
        if (serviceFolder.isEmpty()) {
            arguments << QStringLiteral("--session");
        } else {
            QFile config(configFolder_.filePath(QStringLiteral("session.conf")));
            if (!config.open(QIODevice::WriteOnly)) {
                return;
            }
            config.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC"
                                        " \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                        " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                        "<busconfig>\n"
                                        "  <type>session</type>\n"
                                        "  <listen>unix:tmpdir=%1</listen>\n"
                                        "  <servicedir>%2</servicedir>\n"
                                        "  <policy context=\"default\">\n"
                                        "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                                        "    <allow eavesdrop=\"true\"/>\n"
                                        "    <allow own=\"*\"/>\n"
                                        "  </policy>\n"
                                        "</busconfig>\n")
                             .arg(configFolder_.path(), serviceFolder)
                             .toUtf8());
            config.close();
            arguments << QStringLiteral("--config-file") << config.fileName();
        }
        daemon_.start(QStringLiteral("dbus-daemon"), arguments);
        if (daemon_.waitForStarted() && daemon_.waitForReadyRead(10000)) {
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        }
    }
    ~PrivateSessionBus() {
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000)) {
            daemon_.kill();
            daemon_.waitForFinished();
        }
    }
    QString address() const { return address_; }

private:
    QTemporaryDir configFolder_;
    QProcess daemon_;
    QString address_;
};

/// A call that asks the running program for one of its actions ("say-selection", "stop", ...), as the desktop
/// file's actions do.
inline QDBusMessage activateActionCall(const QString& action) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("com.example.chatterwisp"), QStringLiteral("/com/example/chatterwisp"),
        QStringLiteral("org.freedesktop.Application"), QStringLiteral("ActivateAction"));
    call << action << QVariantList{} << QVariantMap{};
    return call;
}

} // namespace cw::test
