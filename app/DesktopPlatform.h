#pragma once

#include "CWmain.h"
#include "about/SysInfoLauncher.h"
#include "platform/audio/PulseSoundDevices.h"
#include "platform/qt/FileRegistry.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtNotificationArea.h"
#include "platform/qt/QtShell.h"

#include <memory>

namespace cw {

/// The real platform services of the desktop, owned together. They must outlive the main window made on them.
struct DesktopPlatform {
    QtNotificationArea notificationArea;
    QtClipboard clipboard;
    QtMessageBoxes messageBoxes;
    PulseSoundDevices soundDevices;
    QtShell shell;
    FileRegistry registry{&SysInfoLauncher::builtInRegistryValues};

    /// The services for a main window, with the given character service as its `Agent1`.
    PlatformServices services(std::unique_ptr<ICharacterService> characters) {
        return {
            std::move(characters), notificationArea, clipboard, messageBoxes, soundDevices, shell, registry};
    }
};

} // namespace cw
