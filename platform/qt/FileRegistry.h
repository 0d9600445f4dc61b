#pragma once

#include "core/Result.h"
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

/// Value types of the export format: the type numbers of "hex(n):" data.
enum : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
};

/// The most bytes one stored value may hold; a longer value counts as missing.
constexpr qsizetype kMaxRegistryValueBytes = 1024;

/// A value as a registry file stores it: its type number and its bytes, strings as 8-bit text in the
/// system's encoding with their terminating zero byte (the layout the value's size limit counts in).
struct RegistryFileValue {
    std::uint32_t type = kRegNone;
    QByteArray data;
    bool operator==(const RegistryFileValue&) const = default;
};

/// One statement of a registry file, in file order.
struct RegistryFileEntry {
    enum class Kind { Key, DeleteKey, Value, DeleteValue };
    Kind kind = Kind::Key;
    QString key;  ///< full key path with the root's full name, e.g. "HKEY_LOCAL_MACHINE\SOFTWARE\Example"
    QString name; ///< value name; empty for the key's default value ("@")
    RegistryFileValue value;
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

/// A read-only registry made of registry export files over a few built-in values the program gives it. Key
/// and value names are matched without regard to case. Nothing is read when it is made: the built-in values
/// and the files are read the first time a value is asked for, so a file that cannot be read never holds up
/// the program's start.
class FileRegistry : public IRegistry {
public:
    /// Files larger than this are ignored as a whole.
    static constexpr qsizetype kMaxFileBytes = 4 * 1024 * 1024;

    /// Gives the built-in values when the registry is first read; empty when there are none.
    using BuiltIns = std::function<QList<RegistryText>()>;

    /// The standard files (standardFiles()) over `builtIns`.
    explicit FileRegistry(BuiltIns builtIns);
    /// Applies `builtIns`, then each of `files` in order: a later statement overrides an earlier one.
    FileRegistry(const QStringList& files, BuiltIns builtIns);

    /// chatterwisp/registry.reg in the system's configuration folder (/etc, or $CHATTERWISP_SYSCONFDIR when
    /// set), then chatterwisp/registry.reg in the user's configuration folder.
    static QStringList standardFiles();
    /// What value() gives for a stored value: its text (one terminating zero dropped), its number, Empty or
    /// Other; nothing when it holds more than kMaxRegistryValueBytes bytes.
    static std::optional<RegistryValue> readable(const RegistryFileValue& stored);

    /// Whether the built-in values and the files have been read.
    bool loaded() const { return !pending_.has_value(); }
    /// Reads one more file and applies it over what is there; an error (and nothing applied) when it is
    /// missing, not a regular file, unreadable, too large or not a registry file. Each reason but a missing
    /// file is also logged.
    Status readFile(const QString& path);
    /// Applies more statements over what is there, in order.
    void apply(const QList<RegistryFileEntry>& entries);

    std::optional<RegistryValue> value(RegistryRoot root, const QString& key, const QString& name) override;

private:
    struct Sources {
        BuiltIns builtIns;
        QStringList files;
    };
    void load();
    Status readOneFile(const QString& path);
    void applyEntries(const QList<RegistryFileEntry>& entries);

    /// What is still to be read; empty once loaded.
    std::optional<Sources> pending_;
    /// Values by case-folded name, per case-folded key path.
    QMap<QString, QHash<QString, RegistryFileValue>> keys_;
};

} // namespace cw
