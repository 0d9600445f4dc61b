#pragma once

#include <QString>
#include <functional>

namespace cw::tts {

/// A speech module as loaded: the table its entry returned, or why there is none.
struct LoadedModule {
    const void* api = nullptr; ///< null when it could not be loaded
    QString failure;           ///< every place looked in and why each failed; empty when loaded
};

/// Loads the module file `fileName`: the build tree's copy (`buildTreePath`) for a program of the build tree,
/// otherwise the one under the program's own prefix, then the installed one. `call` is given the address of
/// its symbol `entry`, calls it as the function it is, and returns its table when it is of the version wanted
/// (null otherwise). The module stays loaded for the process.
LoadedModule loadSpeechModule(const QString& fileName, const QString& buildTreePath, const char* entry,
                              const std::function<const void*(void* symbol)>& call);

} // namespace cw::tts
