#pragma once

// A recording stand-in for the XDG desktop portal's global shortcuts, on a test's private session bus. Debian
// 12 ships no portal backend with GlobalShortcuts, so this fake stands in only where no real one exists: it
// owns org.freedesktop.portal.Desktop, answers CreateSession and BindShortcuts through Request objects'
// Response signals as the portal does, records the shortcuts it was given, and emits Activated when told.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QTimer>
#include <QVariantMap>
#include <vector>

namespace cw::test {

class FakeShortcutsPortal : public QDBusVirtualObject {
public:
    struct Shortcut {
        QString id;
        QVariantMap properties;
    };
    enum class Answer { Grant, Cancel, NoInterface };

    /// Claims the portal's name on the bus at `address`, over a connection of its own.
    FakeShortcutsPortal(const QString& address, Answer answer = Answer::Grant)
        : bus_(QDBusConnection::connectToBus(address, QStringLiteral("fake portal"))), answer_(answer) {
        registered_ = bus_.registerVirtualObject(QString::fromLatin1(kPath), this) &&
                      bus_.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    ~FakeShortcutsPortal() override {
        bus_.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
        bus_.unregisterObject(QString::fromLatin1(kPath));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake portal"));
    }

    bool registered() const { return registered_; }
    /// The shortcuts bound so far, in the order given.
    const std::vector<Shortcut>& bound() const { return bound_; }
    /// The session handles handed out.
    const QStringList& sessions() const { return sessions_; }

    /// The user pressed a shortcut of `session`.
    void activate(const QString& session, const QString& id) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QString::fromLatin1(kPath), QString::fromLatin1(kInterface), QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(0) << QVariantMap{};
        bus_.send(signal);
    }

    QString introspect(const QString& /*path*/) const override {
        if (answer_ == Answer::NoInterface) {
            return {};
        }
        return QStringLiteral(
            "<interface name=\"org.freedesktop.portal.GlobalShortcuts\">"
            "<property name=\"version\" type=\"u\" access=\"read\"/>"
            "<method name=\"CreateSession\"><arg type=\"a{sv}\" direction=\"in\"/>"
            "<arg type=\"o\" direction=\"out\"/></method>"
            "<method name=\"BindShortcuts\"><arg type=\"o\" direction=\"in\"/><arg type=\"a(sa{sv})\" "
            "direction=\"in\"/><arg type=\"s\" direction=\"in\"/><arg type=\"a{sv}\" direction=\"in\"/>"
            "<arg type=\"o\" direction=\"out\"/></method>"
            "<signal name=\"Activated\"><arg type=\"o\"/><arg type=\"s\"/><arg type=\"t\"/><arg "
            "type=\"a{sv}\"/></signal>"
            "</interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QVariantList arguments = message.arguments();
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties") &&
            message.member() == QLatin1String("Get")) {
            if (answer_ == Answer::NoInterface ||
                arguments.value(0).toString() != QLatin1String(kInterface)) {
                connection.send(
                    message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                                             QStringLiteral("No such interface")));
            } else {
                connection.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(1)))));
            }
            return true;
        }
        if (message.interface() != QLatin1String(kInterface) || answer_ == Answer::NoInterface) {
            return false;
        }
        if (message.member() == QLatin1String("CreateSession")) {
            const QVariantMap options = qdbus_cast<QVariantMap>(arguments.value(0));
            const QString session =
                QStringLiteral("%1/session/%2/%3")
                    .arg(QString::fromLatin1(kPath), senderPart(message),
                         options.value(QStringLiteral("session_handle_token")).toString());
            sessions_.append(session);
            respond(message, connection, options, {{QStringLiteral("session_handle"), session}});
            return true;
        }
        if (message.member() == QLatin1String("BindShortcuts")) {
            const QDBusArgument list = arguments.value(1).value<QDBusArgument>();
            list.beginArray();
            while (!list.atEnd()) {
                Shortcut shortcut;
                list.beginStructure();
                list >> shortcut.id >> shortcut.properties;
                list.endStructure();
                bound_.push_back(shortcut);
            }
            list.endArray();
            respond(message, connection, qdbus_cast<QVariantMap>(arguments.value(3)), {});
            return true;
        }
        return false;
    }

private:
    static constexpr const char* kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char* kInterface = "org.freedesktop.portal.GlobalShortcuts";

    static QString senderPart(const QDBusMessage& message) {
        return message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    }

    // Answers the call with its Request's path, then sends the Request's Response, as the portal does.
    void respond(const QDBusMessage& call, const QDBusConnection& connection, const QVariantMap& options,
                 const QVariantMap& results) {
        const QString request = QStringLiteral("%1/request/%2/%3")
                                    .arg(QString::fromLatin1(kPath), senderPart(call),
                                         options.value(QStringLiteral("handle_token")).toString());
        QDBusConnection bus = connection;
        bus.send(call.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        response << uint(answer_ == Answer::Cancel ? 1 : 0) << results;
        bus.send(response);
    }

    QDBusConnection bus_;
    Answer answer_;
    bool registered_ = false;
    std::vector<Shortcut> bound_;
    QStringList sessions_;
};

} // namespace cw::test
