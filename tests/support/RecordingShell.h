#pragma once

#include "core/Failure.h"
#include "platform/Shell.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace cw::test {

/// Records every shell request instead of performing it. Files exist only when listed in `existingFiles`;
/// a start fails (throws) for an empty path or one listed in `unstartable`.
class RecordingShell : public IShell {
public:
    struct Start {
        QString path;
        int windowStyle = 0;
        bool operator==(const Start&) const = default;
    };

    bool open(const QString& link) override {
        opened.append(link);
        return openSucceeds;
    }
    bool fileExists(const QString& path) override {
        tested.append(path);
        if (unsearchable.contains(path)) {
            throw Failure(QStringLiteral("cannot search ") + path);
        }
        return existingFiles.contains(path);
    }
    void startProgram(const QString& path, int windowStyle) override {
        attempts.append({path, windowStyle});
        if (path.isEmpty() || unstartable.contains(path)) {
            throw Failure(QStringLiteral("cannot start ") + path);
        }
        started.append({path, windowStyle});
    }

    bool openSucceeds = true;
    QSet<QString> existingFiles;
    QSet<QString> unsearchable;
    QSet<QString> unstartable;

    QStringList opened;
    QStringList tested;
    QList<Start> attempts; ///< every start asked for, successful or not
    QList<Start> started;  ///< the starts that succeeded
};

} // namespace cw::test
