// Fuzz target for the registry-file reader: any bytes must parse without crashing, and whatever parses must
// be readable back through the registry.
#include "platform/qt/FileRegistry.h"

#include <QByteArray>
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
        registry.value(cw::RegistryRoot::LocalMachine, slash < 0 ? QString() : entry.key.mid(slash + 1),
                       entry.name);
    }
    // The last statement has the last word: a value it sets is read back as its type reads.
    if (!contents.entries.isEmpty()) {
        const cw::RegistryFileEntry& last = contents.entries.back();
        const QString root = QStringLiteral("HKEY_LOCAL_MACHINE");
        if (last.kind == cw::RegistryFileEntry::Kind::Value && last.key.startsWith(root)) {
            const QString subKey = last.key.mid(root.size() + 1);
            if (registry.value(cw::RegistryRoot::LocalMachine, subKey, last.name) !=
                cw::FileRegistry::readable(last.value)) {
                std::abort();
            }
        }
    }
    return 0;
}
