#include "Application.h"

#include "core/Failure.h"

#include <QLoggingCategory>
#include <exception>

Q_LOGGING_CATEGORY(lcApp, "chatterwisp.app")

namespace cw {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    // Handlers catch their own failures; one that still gets here escaped a handler by mistake. It takes the
    // same failure path, so the user sees the same report and the program still ends.
    QString failure;
    try {
        return QApplication::notify(receiver, event);
    } catch (const Failure& error) {
        failure = error.message();
    } catch (const std::exception& error) {
        failure = QString::fromLocal8Bit(error.what());
    } catch (...) {
        failure = QStringLiteral("An unknown error occurred.");
    }
    ++lastResortCatches_;
    qCCritical(lcApp) << "failure escaped its handler:" << failure;
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
