#include "PortalShortcuts.h"

#include "Application.h"
#include "core/Trace.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPointer>
#include <utility>

namespace cw::portal {

/// One element of BindShortcuts' a(sa{sv}): the shortcut's id and its properties.
struct ShortcutEntry {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const ShortcutEntry& entry) {
    argument.beginStructure();
    argument << entry.id << entry.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ShortcutEntry& entry) {
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.endStructure();
    return argument;
}

} // namespace cw::portal

Q_DECLARE_METATYPE(cw::portal::ShortcutEntry)

namespace cw {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

} // namespace

namespace portal {

/// One portal request: listens for the Response signal on the request's object path and hands it on once.
class PendingRequest : public QObject {
    Q_OBJECT
public:
    using Answered = std::function<void(uint response, const QVariantMap& results)>;

    PendingRequest(QDBusConnection bus, Answered answered, QObject* parent)
        : QObject(parent), bus_(std::move(bus)), answered_(std::move(answered)) {}

    /// Listens on `path` (and no longer on the one before).
    void listen(const QString& path) {
        if (!path_.isEmpty()) {
            bus_.disconnect(kPortalService, path_, kRequestInterface, QStringLiteral("Response"), this,
                            SLOT(onResponse(QDBusMessage)));
        }
        path_ = path;
        bus_.connect(kPortalService, path_, kRequestInterface, QStringLiteral("Response"), this,
                     SLOT(onResponse(QDBusMessage)));
    }
    const QString& path() const { return path_; }

    /// Ends the request without a response: the call itself failed.
    void fail() { finish(2, {}); }

private slots:
    void onResponse(const QDBusMessage& signal) {
        const QVariantList arguments = signal.arguments();
        const uint response = arguments.value(0, 2u).toUInt();
        const QVariantMap results =
            arguments.size() > 1 ? qdbus_cast<QVariantMap>(arguments[1]) : QVariantMap{};
        finish(response, results);
    }

private:
    void finish(uint response, const QVariantMap& results) {
        if (!answered_) {
            return; // answered already
        }
        bus_.disconnect(kPortalService, path_, kRequestInterface, QStringLiteral("Response"), this,
                        SLOT(onResponse(QDBusMessage)));
        std::exchange(answered_, nullptr)(response, results);
        deleteLater();
    }

    QDBusConnection bus_;
    Answered answered_;
    QString path_;
};

} // namespace portal

PortalShortcuts::PortalShortcuts(QDBusConnection bus, std::function<void(const QString& id)> activated,
                                 QObject* parent)
    : QObject(parent), bus_(std::move(bus)), activated_(std::move(activated)) {
    qDBusRegisterMetaType<portal::ShortcutEntry>();
    qDBusRegisterMetaType<QList<portal::ShortcutEntry>>();
}

void PortalShortcuts::setState(State state) {
    if (state_ != state) {
        state_ = state;
        emit stateChanged(state);
    }
}

QString PortalShortcuts::nextToken() {
    return QStringLiteral("chatterwisp%1").arg(++tokens_);
}

void PortalShortcuts::start(std::vector<GlobalShortcut> shortcuts) {
    shortcuts_ = std::move(shortcuts);
    if (!bus_.isConnected()) {
        qCDebug(lcApp) << "no global shortcuts: no session bus";
        setState(State::Unavailable);
        return;
    }
    setState(State::Asking);
    // The interface's version says whether the portal offers it at all; an older portal, or none, answers
    // with an error.
    QDBusMessage get = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kShortcutsInterface << QStringLiteral("version");
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        const uint version = reply.isError() ? 0 : reply.value().variant().toUInt();
        if (version == 0) {
            qCDebug(lcApp).noquote() << "no global shortcuts: the desktop portal does not offer them"
                                     << (reply.isError() ? QStringLiteral("(%1)").arg(reply.error().name())
                                                         : QString());
            setState(State::Unavailable);
            return;
        }
        createSession();
    });
}

void PortalShortcuts::request(const QString& method, QVariantList arguments, QVariantMap options,
                              std::function<void(uint response, const QVariantMap& results)> answered) {
    // The Response comes on an object path made of this connection's name and a token of ours; listening
    // there before the call leaves no gap for a quick answer to fall into.
    const QString token = nextToken();
    options.insert(QStringLiteral("handle_token"), token);
    const QString sender = bus_.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    auto* pending = new portal::PendingRequest(bus_, std::move(answered), this);
    pending->listen(QStringLiteral("%1/request/%2/%3").arg(kPortalPath, sender, token));

    arguments << options;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kShortcutsInterface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    const QPointer<portal::PendingRequest> guard(pending);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [guard, method](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *call;
                if (!guard) {
                    return; // answered already
                }
                if (reply.isError()) {
                    qCInfo(lcApp).noquote() << "global shortcuts not registered:" << method
                                            << "failed:" << reply.error().message();
                    guard->fail();
                } else if (reply.value().path() != guard->path()) {
                    guard->listen(reply.value().path()); // a portal that chose the path itself
                }
            });
}

void PortalShortcuts::createSession() {
    request(QStringLiteral("CreateSession"), {},
            {{QStringLiteral("session_handle_token"), QStringLiteral("chatterwisp")}},
            [this](uint response, const QVariantMap& results) {
                const QVariant handle = results.value(QStringLiteral("session_handle"));
                const QString session = handle.canConvert<QDBusObjectPath>()
                                            ? handle.value<QDBusObjectPath>().path()
                                            : handle.toString();
                if (response != 0 || session.isEmpty()) {
                    qCInfo(lcApp) << "global shortcuts not registered: the portal gave no session";
                    setState(State::Refused);
                    return;
                }
                bindShortcuts(session);
            });
}

void PortalShortcuts::bindShortcuts(const QString& sessionHandle) {
    sessionHandle_ = sessionHandle;
    // Presses may come as soon as the shortcuts are bound.
    bus_.connect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"), this,
                 SLOT(onActivated(QDBusMessage)));
    QList<portal::ShortcutEntry> entries;
    for (const GlobalShortcut& shortcut : shortcuts_) {
        // No preferred trigger: the keys are the user's to choose.
        entries.append({shortcut.id, {{QStringLiteral("description"), shortcut.description}}});
    }
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(sessionHandle)), QVariant::fromValue(entries), QString()},
            {}, [this](uint response, const QVariantMap& /*results*/) {
                if (response != 0) {
                    qCInfo(lcApp) << "global shortcuts not registered: declined";
                    setState(State::Refused);
                    return;
                }
                trace("global shortcuts bound", static_cast<qint64>(shortcuts_.size()));
                setState(State::Bound);
            });
}

void PortalShortcuts::onActivated(const QDBusMessage& signal) {
    const QVariantList arguments = signal.arguments();
    if (arguments.size() < 2 || qvariant_cast<QDBusObjectPath>(arguments[0]).path() != sessionHandle_) {
        return; // another session's
    }
    const QString id = arguments[1].toString();
    for (const GlobalShortcut& shortcut : shortcuts_) {
        if (shortcut.id == id && activated_) {
            activated_(id);
            return;
        }
    }
}

} // namespace cw

#include "PortalShortcuts.moc"
