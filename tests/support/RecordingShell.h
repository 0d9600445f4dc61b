#pragma once

#include "platform/Shell.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace cw::test {

/// Records every shell request instead of performing it. Files exist only when listed in `existingFiles`, and
/// a path listed in `unsearchable` cannot be searched; a start fails for an empty path or one listed in
/// `unstartable`.
class RecordingShell : public IShell {
public:
    Status open(const QString& link) override {
        opened.append(link);
        if (!openSucceeds) {
            return Error{QStringLiteral("nothing opens ") + link};
        }
        return {};
    }
    Result<bool> fileExists(const QString& path) override {
        tested.append(path);
        if (unsearchable.contains(path)) {
            return Error{QStringLiteral("cannot search ") + path};
        }
        return existingFiles.contains(path);
    }
    Status startProgram(const QString& path) override {
        attempts.append(path);
        if (path.isEmpty() || unstartable.contains(path)) {
            return Error{QStringLiteral("cannot start ") + path};
        }
        started.append(path);
        return {};
    }

    bool openSucceeds = true;
    QSet<QString> existingFiles;
    QSet<QString> unsearchable;
    QSet<QString> unstartable;

    QStringList opened;
    QStringList tested;
    QStringList attempts; ///< every start asked for, successful or not
    QStringList started;  ///< the starts that succeeded
};

} // namespace cw::test
