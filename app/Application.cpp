#include "Application.h"

#include "FailureReport.h"

#include <QLoggingCategory>
#include <exception>

Q_LOGGING_CATEGORY(lcApp, "chatterwisp.app")

namespace cw {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    // Handlers catch their own failures; one that still gets here escaped a handler by mistake. It takes the
    // same failure path, so the user sees the same report and the program still ends.
    bool handled = true;
    const std::optional<QString> failure =
        failureOf([&] { handled = QApplication::notify(receiver, event); });
    if (!failure) {
        return handled;
    }
    ++lastResortCatches_;
    qCCritical(lcApp) << "failure escaped its handler:" << *failure;
    if (onFailure_) {
        onFailure_(*failure);
    } else {
        std::terminate();
    }
    return true;
}

void choosePlatform() {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        return;
    }
    const bool wayland = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
                         qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (wayland && qEnvironmentVariableIsSet("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
}

} // namespace cw
