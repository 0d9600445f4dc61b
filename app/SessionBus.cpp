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

void ApplicationBusObject::setHandlers(Handlers handlers) {
    handlers_ = std::move(handlers);
    ready_ = true;
    for (const std::function<void()>& call : std::exchange(held_, {})) {
        call();
    }
}

void ApplicationBusObject::runOrHold(std::function<void()> call) {
    if (ready_) {
        call();
        return;
    }
    // Calls come with the event loop, and a start-up message box runs one before the window is loaded; a
    // start by D-Bus activation finds its call waiting as soon as it claims the name.
    held_.push_back(std::move(call));
}

ApplicationBusObject::HeldCaller ApplicationBusObject::holdAnswer() {
    if (ready_ || !calledFromDBus()) {
        return std::nullopt;
    }
    setDelayedReply(true);
    return std::make_pair(connection(), message());
}

void ApplicationBusObject::Activate(const QVariantMap& /*platformData*/) {
    runOrHold([this, caller = holdAnswer()] {
        if (handlers_.activate) {
            handlers_.activate();
        }
        if (caller) {
            caller->first.send(caller->second.createReply());
        }
    });
}

void ApplicationBusObject::Open(const QStringList& /*uris*/, const QVariantMap& /*platformData*/) {
    if (calledFromDBus()) {
        sendErrorReply(QDBusError::NotSupported, QStringLiteral("Chatterwisp opens no files."));
    }
}

void ApplicationBusObject::ActivateAction(const QString& name, const QVariantList& /*parameter*/,
                                          const QVariantMap& /*platformData*/) {
    runOrHold([this, name, caller = holdAnswer()] {
        const bool known = !handlers_.activateAction || handlers_.activateAction(name);
        const QString refusal = QStringLiteral("No such action: %1").arg(name);
        if (caller) {
            caller->first.send(known ? caller->second.createReply()
                                     : caller->second.createErrorReply(QDBusError::InvalidArgs, refusal));
        } else if (!known && calledFromDBus()) { // run at once, inside the call
            sendErrorReply(QDBusError::InvalidArgs, refusal);
        }
    });
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
