#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace cw {

/// The top-level keys of the registry this program looks below.
enum class RegistryRoot {
    LocalMachine, ///< settings of the whole machine
    CurrentUser,  ///< settings of the user running the program
};

/// One registry value, as the program reads it.
struct RegistryValue {
    enum class Kind {
        Empty,  ///< stored with no data at all, whatever its type
        Text,   ///< a string
        Number, ///< a 32-bit number
        Other,  ///< a type this program does not read (raw bytes, lists of strings, 64-bit numbers, ...)
    };
    Kind kind = Kind::Empty;
    QString text;             ///< for Text
    std::uint32_t number = 0; ///< for Number

    static RegistryValue fromText(QString text) { return {Kind::Text, std::move(text), 0}; }
    static RegistryValue fromNumber(std::uint32_t number) { return {Kind::Number, QString(), number}; }
    bool operator==(const RegistryValue&) const = default;
};

/// A string value and where it lives: value `name` (empty: the key's default value) of `key`
/// ("SOFTWARE\Example") below `root`.
struct RegistryText {
    RegistryRoot root = RegistryRoot::LocalMachine;
    QString key;
    QString name;
    QString text;
    bool operator==(const RegistryText&) const = default;
};

/// A read-only view of the registry.
class IRegistry {
public:
    virtual ~IRegistry() = default;

    /// Value `name` (empty: the key's default value) of `key` ("SOFTWARE\Example") below `root`; nothing when
    /// the key or the value does not exist or cannot be read. Never throws.
    virtual std::optional<RegistryValue> value(RegistryRoot root, const QString& key,
                                               const QString& name) = 0;
};

} // namespace cw
