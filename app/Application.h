#pragma once

#include <QApplication>
#include <QLoggingCategory>
#include <functional>

/// The program's own messages: failures that end it, for whoever started it from a terminal.
Q_DECLARE_LOGGING_CATEGORY(lcApp)

namespace cw {

/// The program's application object. Handlers catch their own failures; as a last resort a failure that still
/// escapes an event handler ends up here instead of tearing the process down, and goes to the failure
/// handler.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    /// Receives the message of every failure that escaped a handler.
    void setFailureHandler(std::function<void(const QString& message)> handler) {
        onFailure_ = std::move(handler);
    }

    bool notify(QObject* receiver, QEvent* event) override;

    /// How many failures have escaped a handler and were caught here.
    int lastResortCatches() const { return lastResortCatches_; }

private:
    int lastResortCatches_ = 0;
    std::function<void(const QString&)> onFailure_;
};

/// Before the application object exists: runs the program through XWayland on Wayland desktops (so the
/// character can place its window), unless the user chose a platform.
void choosePlatform();

} // namespace cw
