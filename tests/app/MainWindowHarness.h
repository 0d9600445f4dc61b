#pragma once

#include "FakeClipboard.h"
#include "FakeSoundDevices.h"
#include "RecordingCharacter.h"
#include "RecordingMessageBoxes.h"
#include "RecordingNotificationArea.h"
#include "app/CWmain.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

#include <memory>

namespace cw::test {

/// The main window built on recording fakes, sharing one log of requests in the order they were made.
struct MainWindowHarness {
    // The window commands under test never reach the shell or the registry.
    struct UnusedShell : IShell {
        Status open(const QString&) override { return Error{QStringLiteral("unused")}; }
        Result<bool> fileExists(const QString&) override { return false; }
        Status startProgram(const QString&) override { return {}; }
    };
    struct EmptyRegistry : IRegistry {
        std::optional<RegistryValue> value(RegistryRoot, const QString&, const QString&) override {
            return std::nullopt;
        }
    };

    explicit MainWindowHarness(int soundOutputs = 1) : sound(soundOutputs) {
        auto service = std::make_unique<RecordingCharacterService>(log);
        characters = service.get();
        window = std::make_unique<CWmain>(
            PlatformServices{std::move(service), tray, clipboard, messageBoxes, sound, shell, registry});
    }

    /// Runs start-up as the program does, then forgets what start-up requested.
    void startUp() {
        window->Form_Initialize();
        window->Form_Load();
        log.clear();
    }

    RecordingCharacter& character() { return characters->character; }

    QStringList log;
    RecordingNotificationArea tray{log};
    FakeClipboard clipboard{log};
    RecordingMessageBoxes messageBoxes;
    FakeSoundDevices sound;
    UnusedShell shell;
    EmptyRegistry registry;
    RecordingCharacterService* characters = nullptr;
    std::unique_ptr<CWmain> window;
};

} // namespace cw::test
