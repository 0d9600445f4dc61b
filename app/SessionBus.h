#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

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
    /// Calls that came before the handlers were set are held (their callers wait for the answer) and run now,
    /// in the order they came.
    void setHandlers(Handlers handlers);

public slots:
    void Activate(const QVariantMap& platformData);
    /// The program opens no files: refused with org.freedesktop.DBus.Error.NotSupported.
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& name, const QVariantList& parameter, const QVariantMap& platformData);

private:
    /// A D-Bus caller whose answer is sent once its held call has run.
    using HeldCaller = std::optional<std::pair<QDBusConnection, QDBusMessage>>;
    /// Inside a D-Bus call that will be held: takes over its answer.
    HeldCaller holdAnswer();
    /// Runs `call` now, or holds it until the handlers are set.
    void runOrHold(std::function<void()> call);

    Handlers handlers_;
    bool ready_ = false;
    std::vector<std::function<void()>> held_;
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
