#pragma once

#include <QString>

namespace cw::tts {

/// A speech module as loaded: the table its entry returned, or why there is none.
struct LoadedModule {
    const void* api = nullptr; ///< null when it could not be loaded; its first member is its version
    QString failure;           ///< every place looked in and why each failed; empty when loaded
};

/// Loads the module file `fileName`: the build tree's copy (`buildTreePath`) for a program of the build tree,
/// otherwise the one under the program's own prefix, then the installed one. Its `entry` must return a table
/// whose first int is `version`. The module stays loaded for the process.
LoadedModule loadSpeechModule(const QString& fileName, const QString& buildTreePath, const char* entry,
                              int version);

} // namespace cw::tts
