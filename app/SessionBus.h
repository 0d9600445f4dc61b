#pragma once

#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <utility>

namespace cw {

/// Where the running program answers on the session bus: its desktop file id and the matching object path.
inline constexpr const char* kBusName = "com.example.chatterwisp";
inline constexpr const char* kBusObjectPath = "/com/example/chatterwisp";

/// The program's org.freedesktop.Application object: the desktop (or a second start) asks the running
/// program to come forward or to run an action. The handlers are plain functions, so what they do is tested
/// without a bus.
class ApplicationBusObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    struct Handlers {
        std::function<void()> activate;
        /// Runs an action by name; false when the name is unknown.
        std::function<bool(const QString& name)> activateAction;
    };

    explicit ApplicationBusObject(QObject* parent = nullptr) : QObject(parent) {}
    /// Until handlers are set, calls are accepted and do nothing.
    void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

public slots:
    void Activate(const QVariantMap& platformData);
    /// The program opens no files: refused with org.freedesktop.DBus.Error.NotSupported.
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& name, const QVariantList& parameter, const QVariantMap& platformData);

private:
    Handlers handlers_;
};

/// How this start of the program runs.
enum class SessionRole {
    First,  ///< it holds the bus name; later starts come to it
    Second, ///< another start holds the name and was asked to come forward: this one ends now
    Alone,  ///< no session bus, or the running one did not answer: it runs on its own
};

/// Whether the session offers a bus: an address in the environment, or the runtime folder's bus socket.
bool sessionBusOffered();

/// Claims the bus name for `object` on the session bus; when another start holds it, asks that one to
/// activate instead. Logs once when it runs alone.
SessionRole claimSession(ApplicationBusObject& object);

} // namespace cw
