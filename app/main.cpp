// Chatterwisp: a genie on the desktop reads text aloud.
#include "AppIdentity.h"
#include "Application.h"
#include "CWmain.h"
#include "CharacterServiceFactory.h"
#include "DesktopPlatform.h"
#include "FailureReport.h"
#include "Fonts.h"
#include "PortalShortcuts.h"
#include "SessionBus.h"
#include "core/Trace.h"

#include <QDBusConnection>
#include <QIcon>
#include <QLoggingCategory>
#include <QTimer>
#include <memory>

int main(int argc, char** argv) {
    cw::trace("main entered");
    cw::FontConfigWarmup fonts;
    cw::choosePlatform();
    cw::Application app(argc, argv);
    cw::trace("application made");
    QApplication::setApplicationName(cw::appIdentity().title);
    QApplication::setApplicationVersion(QString::fromLatin1(cw::kVersionString));
    QApplication::setDesktopFileName(QString::fromLatin1(cw::kAppId));
    // The program ends when its main window has closed, whatever the character's window is doing.
    QApplication::setQuitOnLastWindowClosed(false);
    cw::installFontSubstitutes();
    // Details are for developers, who switch them on with QT_LOGGING_RULES.
    QLoggingCategory::setFilterRules(QStringLiteral("chatterwisp.*.debug=false"));

    // One program per desktop session: a later start hands itself to the first and ends at once.
    cw::ApplicationBusObject busObject;
    const cw::SessionRole role = cw::claimSession(busObject);
    if (role == cw::SessionRole::Second) {
        cw::trace("handed to the running program");
        return 0;
    }

    cw::DesktopPlatform platform;
    fonts.wait(); // Qt would otherwise load a second copy beside it
    cw::CWmain window(platform.services(cw::makeCharacterService()));
    QApplication::setWindowIcon(window.windowIcon()); // the program's other windows take it up
    cw::trace("main window made");
    cw::FailurePath failurePath(platform.messageBoxes, platform.notificationArea,
                                window.state().TrayIconData);
    QObject::connect(&window, &cw::CWmain::failed, &failurePath, &cw::FailurePath::fail);
    app.setFailureHandler([&](const QString& reason) { failurePath.fail(reason); });
    QObject::connect(&window, &cw::CWmain::unloaded, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    cw::runHandler(
        [&] {
            window.Form_Initialize();
            window.Form_Load();
        },
        [&](const QString& reason) {
            // Also on the terminal: a report window cannot be read by whoever started the program from a
            // script.
            qCCritical(lcApp).noquote() << "failure:" << reason;
            failurePath.fail(reason);
        });
    // Only a loaded window takes the desktop's requests. One that came earlier was held until now: the call
    // that started this program through D-Bus activation, or one sent while a start-up message box waited.
    busObject.setHandlers({[&window] { window.activateFromDesktop(); },
                           [&window](const QString& name) { return window.activateAction(name); }});
    // Global shortcuts, where the desktop portal offers them: asked for once the event loop runs, answered
    // whenever the portal answers, so the window and the genie never wait on it.
    std::unique_ptr<cw::PortalShortcuts> shortcuts;
    if (role == cw::SessionRole::First) {
        shortcuts = std::make_unique<cw::PortalShortcuts>(
            QDBusConnection::sessionBus(), [&window](const QString& id) { window.activateAction(id); });
        QTimer::singleShot(0, shortcuts.get(), [&shortcuts] {
            shortcuts->start({{QStringLiteral("say-selection"), QStringLiteral("Say the selection")},
                              {QStringLiteral("stop"), QStringLiteral("Stop speaking")}});
        });
    }
    cw::trace("event loop entered");
    const int status = QApplication::exec();
    return failurePath.failed() ? 1 : status;
}
