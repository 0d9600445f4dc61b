#pragma once

#include "core/Result.h"
#include "platform/MessageBoxes.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace cw {

/// Finds the system-information tool through the registry and starts it, or tells the user it is unavailable.
class SysInfoLauncher {
public:
    /// The first place: the full path of the tool's program file, started as read.
    static constexpr const char* kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
    static constexpr const char* kPathValue = "PATH";
    /// The second place: the folder that holds kProgramFile.
    static constexpr const char* kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
    static constexpr const char* kFolderValue = "MSINFO";
    static constexpr const char* kProgramFile = "\\MSINFO32.EXE";

    SysInfoLauncher(IRegistry& registry, IShell& shell, IMessageBoxes& messages)
        : registry_(registry), shell_(shell), messages_(messages) {}

    /// Reads value `SubKeyRef` of key `KeyName` below `KeyRoot`: a string value as its text, a number as "&h"
    /// and its hex digits, any other type as an empty text; nothing when the key or the value cannot be read.
    /// An error for a value that holds no data at all.
    Result<std::optional<QString>> GetKeyValue(RegistryRoot KeyRoot, const QString& KeyName,
                                               const QString& SubKeyRef);

    /// Starts the system-information tool, or shows "System Information Is Unavailable At This Time".
    void StartSysInfo();

    /// The message shown when the tool cannot be found or started.
    static QString unavailableMessage();

    /// Desktop system-information programs that start without arguments, most suitable first.
    static QStringList systemInformationPrograms();
    /// The full path of the first of systemInformationPrograms() found in PATH, or an empty string.
    static QString findSystemInformationProgram();
    /// The registry's built-in values for the launcher: the first place names findSystemInformationProgram()
    /// when one is installed; otherwise there are none. Registry files can override or remove it.
    static QList<RegistryText> builtInRegistryValues();

private:
    /// Finds and starts the tool; says why not when it cannot.
    Status startTool();

    IRegistry& registry_;
    IShell& shell_;
    IMessageBoxes& messages_;
};

} // namespace cw
