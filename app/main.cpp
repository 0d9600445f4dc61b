// Chatterwisp: a genie on the desktop reads text aloud.
#include "AppIdentity.h"
#include "Application.h"
#include "CWmain.h"
#include "CharacterServiceFactory.h"
#include "DesktopPlatform.h"
#include "FailureReport.h"
#include "Fonts.h"
#include "platform/Failure.h"
#include "platform/trace/Trace.h"

#include <QIcon>
#include <QLoggingCategory>

int main(int argc, char** argv) {
    cw::trace("main entered");
    cw::choosePlatform();
    cw::Application app(argc, argv);
    cw::trace("application made");
    QApplication::setApplicationName(cw::appIdentity().title);
    QApplication::setApplicationVersion(QString::fromLatin1(cw::kVersionString));
    QApplication::setDesktopFileName(QStringLiteral("chatterwisp"));
    QApplication::setWindowIcon(cw::appIcon());
    // The program ends when its main window has closed, whatever the character's window is doing.
    QApplication::setQuitOnLastWindowClosed(false);
    cw::installFontSubstitutes();
    // Details are for developers, who switch them on with QT_LOGGING_RULES.
    QLoggingCategory::setFilterRules(QStringLiteral("chatterwisp.*.debug=false\ncw.*.debug=false"));

    cw::DesktopPlatform platform;
    cw::CWmain window(platform.services(cw::makeCharacterService()));
    cw::trace("main window made");
    bool failed = false;
    auto fail = [&](const QString& reason) {
        if (failed) {
            return;
        }
        failed = true;
        cw::reportFailure(reason, platform.messageBoxes, platform.notificationArea,
                          window.state().TrayIconData);
        QCoreApplication::exit(1);
    };
    app.setFailureHandler(fail);
    QObject::connect(&window, &cw::CWmain::unloaded, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    try {
        window.Form_Initialize();
        window.Form_Load();
    } catch (const cw::Failure& failure) {
        fail(failure.message());
        return 1;
    }
    cw::trace("event loop entered");
    const int status = QApplication::exec();
    return failed ? 1 : status;
}
