#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <vector>

namespace cw {

/// A shortcut offered to the desktop: what the program calls it, and what the desktop shows the user.
struct GlobalShortcut {
    QString id;
    QString description;
};

/// Global shortcuts through the XDG desktop portal (org.freedesktop.portal.GlobalShortcuts), where the
/// desktop offers it: the program names its shortcuts and the desktop lets the user choose their keys; none
/// is grabbed here. Everything runs asynchronously on the event loop; where no portal offers the interface,
/// nothing is registered and one debug line says why.
class PortalShortcuts : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,        ///< start() not called yet
        Asking,      ///< waiting on the portal
        Unavailable, ///< no portal, or one without global shortcuts
        Bound,       ///< the shortcuts are registered; presses arrive
        Refused,     ///< the portal or the user declined, or a call failed
    };

    /// `activated` runs with a shortcut's id each time the user presses it.
    PortalShortcuts(QDBusConnection bus, std::function<void(const QString& id)> activated,
                    QObject* parent = nullptr);

    /// Asks the portal for a session and binds `shortcuts` in it; returns at once.
    void start(std::vector<GlobalShortcut> shortcuts);
    State state() const { return state_; }

signals:
    void stateChanged(cw::PortalShortcuts::State state);

private slots:
    void onActivated(const QDBusMessage& signal);

private:
    /// Calls a portal method whose answer comes as a Request's Response signal; `answered` gets the
    /// response code (0: success) and the results.
    void request(const QString& method, QVariantList arguments, QVariantMap options,
                 std::function<void(uint response, const QVariantMap& results)> answered);
    void createSession();
    void bindShortcuts(const QString& sessionHandle);
    void setState(State state);
    QString nextToken();

    QDBusConnection bus_;
    std::function<void(const QString&)> activated_;
    std::vector<GlobalShortcut> shortcuts_;
    QString sessionHandle_;
    State state_ = State::Idle;
    int tokens_ = 0;
};

} // namespace cw
