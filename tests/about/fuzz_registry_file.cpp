// Fuzz target for the registry-file reader: any bytes must parse without crashing, and whatever parses must
// be readable back through the registry functions.
#include "platform/qt/FileRegistry.h"

#include <QByteArray>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const cw::RegistryFileContents contents = cw::parseRegistryFile(bytes);
    if (!contents.recognised && !contents.entries.isEmpty()) {
        std::abort();
    }

    cw::FileRegistry registry({}, {});
    registry.apply(contents.entries);
    for (const cw::RegistryFileEntry& entry : contents.entries) {
        const qsizetype slash = entry.key.indexOf(QLatin1Char('\\'));
        const QByteArray subKey = slash < 0 ? QByteArray() : entry.key.mid(slash + 1).toLocal8Bit();
        cw::RegistryKey key = 0;
        if (registry.RegOpenKeyEx(cw::kHkeyLocalMachine, subKey, 0, 0x2003F, &key) != cw::kErrorSuccess) {
            continue;
        }
        std::array<char, 1024> buffer{};
        std::uint32_t type = 0;
        std::uint32_t capacity = buffer.size();
        const long status =
            registry.RegQueryValueEx(key, entry.name.toLocal8Bit(), &type, buffer.data(), &capacity);
        if (status == cw::kErrorSuccess && capacity > buffer.size()) {
            std::abort(); // more bytes reported than the buffer holds
        }
        registry.RegCloseKey(key);
    }
    return 0;
}
