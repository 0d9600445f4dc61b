#pragma once

#include "platform/MessageBoxes.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

#include <QString>
#include <cstdint>

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
    /// The largest value that can be read, in bytes.
    static constexpr std::uint32_t kBufferSize = kMaxRegistryValueBytes;
    /// Window style for the tool: a normal window that takes the focus.
    static constexpr int kNormalFocus = 1;

    SysInfoLauncher(IRegistry& registry, IShell& shell, IMessageBoxes& messages)
        : registry_(registry), shell_(shell), messages_(messages) {}

    /// Reads value `SubKeyRef` of key `KeyName` below `KeyRoot`. True once the value was read: a string value
    /// becomes its text, a DWORD "&h" and its hex digits, any other type leaves `KeyVal` untouched. False and
    /// an empty `KeyVal` when the key or value cannot be read or is longer than kBufferSize bytes. Throws
    /// std::invalid_argument for a value without data.
    bool GetKeyValue(std::int32_t KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal);

    /// Starts the system-information tool, or shows "System Information Is Unavailable At This Time".
    void StartSysInfo();

    /// The message shown when the tool cannot be found or started.
    static QString unavailableMessage();

private:
    IRegistry& registry_;
    IShell& shell_;
    IMessageBoxes& messages_;
};

} // namespace cw
