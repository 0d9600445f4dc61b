#pragma once

#include <QByteArray>
#include <cstdint>

namespace cw {

/// Registry status codes, as the registry functions report them.
enum : long {
    kErrorSuccess = 0,
    kErrorFileNotFound = 2,
    kErrorAccessDenied = 5,
    kErrorInvalidHandle = 6,
    kErrorMoreData = 234,
};

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

using RegistryKey = std::int32_t;

/// A read-only view of the registry with the semantics of the ANSI registry functions: names and data are 8-bit
/// text, results are status codes.
class IRegistry {
public:
    virtual ~IRegistry() = default;

    /// Opens `subKey` below `root`; 0 and an open handle in `key` on success.
    virtual long RegOpenKeyEx(std::int32_t root, const QByteArray& subKey, std::uint32_t options,
                              std::uint32_t access, RegistryKey* key) = 0;
    /// Reads a value into `data` (capacity `*size` bytes). On 0, `type` and `*size` (bytes written) are set;
    /// a value longer than the capacity gives kErrorMoreData.
    virtual long RegQueryValueEx(RegistryKey key, const QByteArray& valueName, std::uint32_t* type, char* data,
                                 std::uint32_t* size) = 0;
    /// Closes a handle from RegOpenKeyEx.
    virtual long RegCloseKey(RegistryKey key) = 0;
};

} // namespace cw
