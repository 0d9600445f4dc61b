// Chatterwisp: a genie on the desktop reads text aloud.
#include "AppIdentity.h"
#include "Application.h"
#include "CWmain.h"
#include "CharacterServiceFactory.h"
#include "FailureReport.h"
#include "Fonts.h"
#include "platform/Failure.h"
#include "platform/qt/FileRegistry.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtNotificationArea.h"
#include "platform/qt/QtShell.h"
#include "platform/qt/QtSoundDevices.h"

#include <QIcon>

int main(int argc, char** argv) {
    cw::choosePlatform();
    cw::Application app(argc, argv);
    QApplication::setApplicationName(cw::appIdentity().title);
    QApplication::setApplicationVersion(QString::fromLatin1(cw::kVersionString));
    QApplication::setDesktopFileName(QStringLiteral("chatterwisp"));
    QApplication::setWindowIcon(cw::appIcon());
    // The program ends when its main window has closed, whatever the character's window is doing.
    QApplication::setQuitOnLastWindowClosed(false);
    cw::installFontSubstitutes();

    cw::QtNotificationArea notificationArea;
    cw::QtClipboard clipboard;
    cw::QtMessageBoxes messageBoxes;
    cw::QtSoundDevices soundDevices;
    cw::QtShell shell;
    cw::FileRegistry registry;

    cw::CWmain window({cw::makeCharacterService(), notificationArea, clipboard, messageBoxes, soundDevices,
                       shell, registry});
    bool failed = false;
    auto fail = [&](const QString& reason) {
        if (failed) {
            return;
        }
        failed = true;
        cw::reportFailure(reason, messageBoxes, notificationArea, window.state().TrayIconData);
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
    const int status = QApplication::exec();
    return failed ? 1 : status;
}
