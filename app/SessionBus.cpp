#include "SessionBus.h"

#include "Application.h"
#include "core/Trace.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>

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

SessionRole claimSession(ApplicationBusObject& object) {
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
