#include "Application.h"

#include "platform/Failure.h"

#include <QLoggingCategory>
#include <exception>

Q_LOGGING_CATEGORY(lcApp, "chatterwisp.app")

namespace cw {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    QString failure;
    try {
        return QApplication::notify(receiver, event);
    } catch (const Failure& error) {
        failure = error.message();
    } catch (const std::exception& error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    qCCritical(lcApp) << "failure:" << failure;
    if (onFailure_) {
        onFailure_(failure);
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
