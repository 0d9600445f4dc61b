// Finds and loads the speech modules (see ModuleLoader.h, FliteModule.h and EspeakModule.h).
#include "EspeakModule.h"
#include "FliteModule.h"
#include "ModuleLoader.h"

#include <QDir>
#include <QFileInfo>
#include <dlfcn.h>

namespace cw::tts {

namespace {

// Where a module is looked for, in order: for a program of the build tree, the build tree's module only;
// otherwise under the program's own prefix (so a package unpacked anywhere uses its own), then where it was
// installed.
QStringList modulePlaces(const QString& fileName, const QString& buildTreePath) {
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString buildTree = QStringLiteral(CW_BUILD_DIR) + u'/';
    if (!program.isEmpty() && program.startsWith(buildTree)) {
        return {buildTreePath};
    }
    const QString underPrefix =
        QFileInfo(program).absolutePath() + QStringLiteral("/" CW_FLITE_MODULE_FROM_PROGRAM "/") + fileName;
    QStringList places{QDir::cleanPath(underPrefix),
                       QStringLiteral(CW_FLITE_MODULE_INSTALLED_DIR "/") + fileName};
    places.removeDuplicates();
    return places;
}

} // namespace

LoadedModule loadSpeechModule(const QString& fileName, const QString& buildTreePath, const char* entry,
                              const std::function<const void*(void* symbol)>& call) {
    QStringList failures;
    for (const QString& place : modulePlaces(fileName, buildTreePath)) {
        if (!QFileInfo::exists(place)) {
            failures << place + QStringLiteral(": no such file");
            continue;
        }
        // Kept for the process: flite's voices and eSpeak NG's state live until it ends.
        void* module = dlopen(QFile::encodeName(place).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            failures << QString::fromLocal8Bit(dlerror());
            continue;
        }
        void* const symbol = dlsym(module, entry);
        const void* api = symbol ? call(symbol) : nullptr;
        if (api) {
            return {api, {}};
        }
        failures << place + QStringLiteral(": not a speech module of this version");
        dlclose(module);
    }
    return {nullptr, QStringLiteral("the speech module %1 could not be loaded: ").arg(fileName) +
                         failures.join(u"; ")};
}

const FliteModuleLoad& fliteModule() {
    static const FliteModuleLoad loaded = [] {
        const LoadedModule module =
            loadSpeechModule(QStringLiteral(CW_FLITE_MODULE_NAME), QStringLiteral(CW_FLITE_MODULE_BUILD_PATH),
                             kFliteModuleEntry, [](void* symbol) -> const void* {
                                 const FliteModuleApi* api =
                                     reinterpret_cast<const FliteModuleApi* (*)()>(symbol)();
                                 return api && api->version == kFliteModuleApiVersion ? api : nullptr;
                             });
        return FliteModuleLoad{static_cast<const FliteModuleApi*>(module.api), module.failure};
    }();
    return loaded;
}

const EspeakModuleLoad& espeakModule() {
    static const EspeakModuleLoad loaded = [] {
        const LoadedModule module = loadSpeechModule(
            QStringLiteral(CW_ESPEAK_MODULE_NAME), QStringLiteral(CW_ESPEAK_MODULE_BUILD_PATH),
            kEspeakModuleEntry, [](void* symbol) -> const void* {
                const EspeakModuleApi* api = reinterpret_cast<const EspeakModuleApi* (*)()>(symbol)();
                return api && api->version == kEspeakModuleApiVersion ? api : nullptr;
            });
        return EspeakModuleLoad{static_cast<const EspeakModuleApi*>(module.api), module.failure};
    }();
    return loaded;
}

} // namespace cw::tts
