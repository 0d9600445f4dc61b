// Finds and loads chatterwisp-flite.so (see FliteModule.h).
#include "FliteModule.h"

#include <QDir>
#include <QFileInfo>
#include <dlfcn.h>

namespace cw::tts {

namespace {

// Where the module is looked for, in order: for a program of the build tree, the build tree's module only;
// otherwise under the program's own prefix (so a package unpacked anywhere uses its own), then where it was
// installed.
QStringList fliteModulePlaces() {
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString buildTree = QStringLiteral(CW_BUILD_DIR) + u'/';
    if (!program.isEmpty() && program.startsWith(buildTree)) {
        return {QStringLiteral(CW_FLITE_MODULE_BUILD_PATH)};
    }
    const QString underPrefix = QFileInfo(program).absolutePath() +
                                QStringLiteral("/" CW_FLITE_MODULE_FROM_PROGRAM "/" CW_FLITE_MODULE_NAME);
    QStringList places{QDir::cleanPath(underPrefix),
                       QStringLiteral(CW_FLITE_MODULE_INSTALLED_DIR "/" CW_FLITE_MODULE_NAME)};
    places.removeDuplicates();
    return places;
}

FliteModuleLoad loadFliteModule() {
    QStringList failures;
    for (const QString& place : fliteModulePlaces()) {
        if (!QFileInfo::exists(place)) {
            failures << place + QStringLiteral(": no such file");
            continue;
        }
        // Kept for the process: flite's voices stay registered until it ends.
        void* module = dlopen(QFile::encodeName(place).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            failures << QString::fromLocal8Bit(dlerror());
            continue;
        }
        using Entry = const FliteModuleApi* (*)();
        const auto entry = reinterpret_cast<Entry>(dlsym(module, kFliteModuleEntry));
        const FliteModuleApi* api = entry ? entry() : nullptr;
        if (api && api->version == kFliteModuleApiVersion) {
            return {api, {}};
        }
        failures << place + QStringLiteral(": not a speech module of this version");
        dlclose(module);
    }
    return {nullptr, QStringLiteral("the speech module could not be loaded: ") + failures.join(u"; ")};
}

} // namespace

const FliteModuleLoad& fliteModule() {
    static const FliteModuleLoad loaded = loadFliteModule();
    return loaded;
}

} // namespace cw::tts
