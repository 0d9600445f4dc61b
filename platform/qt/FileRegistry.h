#pragma once

#include "platform/Registry.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

namespace cw {

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
/// matched without regard to case. Nothing is read when it is made: the built-in values and the files are
/// read the first time a value is asked for, so a file that cannot be read never holds up the program's
/// start.
class FileRegistry : public IRegistry {
public:
    /// Files larger than this are ignored as a whole.
    static constexpr qsizetype kMaxFileBytes = 4 * 1024 * 1024;

    /// The standard files (standardFiles()) over the built-in values (standardBuiltIns()).
    FileRegistry();
    /// Applies `builtIns`, then each of `files` in order: a later statement overrides an earlier one.
    FileRegistry(const QStringList& files, const QList<RegistryFileEntry>& builtIns);

    /// chatterwisp/registry.reg in the system's configuration folder (/etc, or $CHATTERWISP_SYSCONFDIR when
    /// set), then chatterwisp/registry.reg in the user's configuration folder.
    static QStringList standardFiles();
    /// The system-information tool's path under HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO, value "PATH",
    /// when findSystemInformationProgram() finds one; otherwise nothing.
    static QList<RegistryFileEntry> standardBuiltIns();
    /// Desktop system-information programs that start without arguments, most suitable first.
    static QStringList systemInformationPrograms();
    /// The full path of the first of systemInformationPrograms() found in PATH, or an empty string.
    static QString findSystemInformationProgram();

    /// Whether the built-in values and the files have been read.
    bool loaded() const { return !pending_.has_value(); }
    /// Reads one more file and applies it over what is there; false (and nothing applied) when it is missing,
    /// not a regular file, unreadable, too large or not a registry file. Each reason is logged.
    bool readFile(const QString& path);
    /// Applies more statements over what is there, in order.
    void apply(const QList<RegistryFileEntry>& entries);

    std::optional<RegistryValue> value(std::int32_t root, const QString& key, const QString& name) override;

private:
    struct Sources {
        std::function<QList<RegistryFileEntry>()> builtIns;
        QStringList files;
    };
    void load();
    bool readOneFile(const QString& path);
    void applyEntries(const QList<RegistryFileEntry>& entries);

    /// What is still to be read; empty once loaded.
    std::optional<Sources> pending_;
    /// Values by case-folded name, per case-folded key path.
    QMap<QString, QHash<QString, RegistryValue>> keys_;
};

} // namespace cw
