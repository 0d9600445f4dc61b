#include "SessionBus.h"

#include "Application.h"
#include "core/Trace.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QFileInfo>

namespace cw {

namespace {

constexpr const char* kInterface = "org.freedesktop.Application";
// A running program that does not answer within this long is taken as gone: this start runs on its own.
constexpr int kActivateTimeoutMs = 1000;

} // namespace

void ApplicationBusObject::Activate(const QVariantMap& /*platformData*/) {
    if (handlers_.activate) {
        handlers_.activate();
    }
}

void ApplicationBusObject::Open(const QStringList& /*uris*/, const QVariantMap& /*platformData*/) {
    if (calledFromDBus()) {
        sendErrorReply(QDBusError::NotSupported, QStringLiteral("Chatterwisp opens no files."));
    }
}

void ApplicationBusObject::ActivateAction(const QString& name, const QVariantList& /*parameter*/,
                                          const QVariantMap& /*platformData*/) {
    const bool known = !handlers_.activateAction || handlers_.activateAction(name);
    if (!known && calledFromDBus()) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such action: %1").arg(name));
    }
}

bool sessionBusOffered() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return true;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

SessionRole claimSession(ApplicationBusObject& object) {
    // Without an address libdbus would start a bus of its own for the X display (dbus-launch): that costs a
    // process at every start and is no session anyone else shares.
    if (!sessionBusOffered()) {
        qCInfo(lcApp) << "no session bus: none is offered - this start runs on its own";
        return SessionRole::Alone;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCInfo(lcApp).noquote() << "no session bus:" << bus.lastError().message()
                                << "- this start runs on its own";
        return SessionRole::Alone;
    }
    const QString name = QString::fromLatin1(kBusName);
    const QString path = QString::fromLatin1(kBusObjectPath);
    // The object is in place before the name is, so no call can find the name without it.
    bus.registerObject(path, &object, QDBusConnection::ExportAllSlots);
    if (bus.registerService(name)) {
        trace("session name claimed");
        return SessionRole::First;
    }
    bus.unregisterObject(path);
    QDBusMessage activate = QDBusMessage::createMethodCall(name, path, QString::fromLatin1(kInterface),
                                                           QStringLiteral("Activate"));
    activate << QVariantMap{};
    const QDBusMessage reply = bus.call(activate, QDBus::Block, kActivateTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        qCInfo(lcApp).noquote() << "the running Chatterwisp did not answer:" << reply.errorMessage()
                                << "- this start runs on its own";
        return SessionRole::Alone;
    }
    return SessionRole::Second;
}

} // namespace cw
