#pragma once

#include "platform/Registry.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace cw {

/// One registry value: its type and its bytes as the ANSI registry functions hand them out (strings as local
/// 8-bit text with their terminating zero byte).
struct RegistryValue {
    std::uint32_t type = kRegNone;
    QByteArray data;
    bool operator==(const RegistryValue&) const = default;
};

/// One statement of a registry file, in file order.
struct RegistryFileEntry {
    enum class Kind { Key, DeleteKey, Value, DeleteValue };
    Kind kind = Kind::Key;
    QString key;  ///< full key path with the root's full name, e.g. "HKEY_LOCAL_MACHINE\SOFTWARE\Example"
    QString name; ///< value name; empty for the key's default value ("@")
    RegistryValue value;
    bool operator==(const RegistryFileEntry&) const = default;
};

/// What a registry file says.
struct RegistryFileContents {
    bool recognised = false; ///< the file starts with a known header and is not too large
    QList<RegistryFileEntry> entries;
    QStringList problems; ///< one line per statement that was skipped, with its line number
};

/// Reads the text of a registry export file ("Windows Registry Editor Version 5.00" in UTF-16LE or UTF-8, or
/// "REGEDIT4"). Never throws: malformed statements are skipped and listed in `problems`.
RegistryFileContents parseRegistryFile(const QByteArray& bytes);

/// A read-only registry made of registry export files over a few built-in values. Key and value names are
/// matched without regard to case. Nothing can be written through it, so any access asked for is granted.
class FileRegistry : public IRegistry {
public:
    /// Files larger than this are ignored as a whole.
    static constexpr qsizetype kMaxFileBytes = 4 * 1024 * 1024;

    /// The standard files (standardFiles()) over the built-in values (standardBuiltIns()).
    FileRegistry();
    /// Applies `builtIns`, then each of `files` in order: a later statement overrides an earlier one.
    FileRegistry(const QStringList& files, const QList<RegistryFileEntry>& builtIns);

    /// /etc/chatterwisp/registry.reg, then chatterwisp/registry.reg in the user's configuration folder.
    static QStringList standardFiles();
    /// The system-information tool's path under HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO, value "PATH",
    /// when findSystemInformationProgram() finds one; otherwise nothing.
    static QList<RegistryFileEntry> standardBuiltIns();
    /// Desktop system-information programs that start without arguments, most suitable first.
    static QStringList systemInformationPrograms();
    /// The full path of the first of systemInformationPrograms() found in PATH, or an empty string.
    static QString findSystemInformationProgram();

    /// Reads one file and applies it; false (and nothing applied) when it is missing, unreadable, too large
    /// or not a registry file.
    bool readFile(const QString& path);
    /// Applies the statements of one file, in order.
    void apply(const QList<RegistryFileEntry>& entries);

    long RegOpenKeyEx(std::int32_t root, const QByteArray& subKey, std::uint32_t options,
                      std::uint32_t access, RegistryKey* key) override;
    long RegQueryValueEx(RegistryKey key, const QByteArray& valueName, std::uint32_t* type, char* data,
                         std::uint32_t* size) override;
    long RegCloseKey(RegistryKey key) override;

private:
    bool keyExists(const QString& foldedPath) const;
    bool resolve(RegistryKey key, QString* foldedPath) const;

    /// Values by case-folded name, per case-folded key path.
    QMap<QString, QHash<QString, RegistryValue>> keys_;
    QHash<RegistryKey, QString> handles_;
    RegistryKey nextHandle_ = 1;
};

} // namespace cw
