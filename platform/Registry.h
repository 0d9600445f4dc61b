#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace cw {

/// Value types.
enum : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
};

/// Predefined root keys, as 32-bit signed handle values.
constexpr std::int32_t kHkeyLocalMachine = static_cast<std::int32_t>(0x80000002u);
constexpr std::int32_t kHkeyCurrentUser = static_cast<std::int32_t>(0x80000001u);

/// The most bytes of one value the program reads; a longer value counts as missing.
constexpr std::uint32_t kMaxRegistryValueBytes = 1024;

/// One registry value: its type and its bytes as the ANSI registry functions hand them out (strings as local
/// 8-bit text with their terminating zero byte).
struct RegistryValue {
    std::uint32_t type = kRegNone;
    QByteArray data;
    bool operator==(const RegistryValue&) const = default;
};

/// A read-only view of the registry.
class IRegistry {
public:
    virtual ~IRegistry() = default;

    /// Value `name` (empty: the key's default value) of `key` ("SOFTWARE\Example") below the predefined root
    /// `root`; nothing when the root, the key or the value does not exist or cannot be read. Never throws.
    virtual std::optional<RegistryValue> value(std::int32_t root, const QString& key,
                                               const QString& name) = 0;
};

} // namespace cw
