#include "QtShell.h"

#include "core/Failure.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>
#include <filesystem>
#include <system_error>

namespace cw {

namespace {

// A NUL would silently cut the path short at the system call, naming a different file than asked for.
void requireUsablePath(const QString& path, const char* what) {
    if (path.isEmpty()) {
        throw Failure(QStringLiteral("%1: no path given").arg(QLatin1String(what)));
    }
    if (path.contains(QChar(u'\0'))) {
        throw Failure(QStringLiteral("%1: the path holds a NUL character").arg(QLatin1String(what)));
    }
}

} // namespace

QString QtShell::nativePath(const QString& path) {
    QString native = path;
    native.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return native;
}

bool QtShell::open(const QString& link) {
    const QUrl url(link, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        return false;
    }
    return QDesktopServices::openUrl(url);
}

bool QtShell::fileExists(const QString& path) {
    requireUsablePath(path, "file test");
    const QString native = nativePath(path);
    std::error_code error;
    const auto status =
        std::filesystem::status(std::filesystem::path(QFile::encodeName(native).toStdString()), error);
    if (error) {
        // A missing file, or a folder on the way that is missing or is a file, is an ordinary "no".
        if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
            return false;
        }
        throw Failure(
            QStringLiteral("cannot search %1: %2").arg(native, QString::fromStdString(error.message())));
    }
    if (!std::filesystem::is_regular_file(status)) {
        return false;
    }
    return !QFileInfo(native).fileName().startsWith(QLatin1Char('.'));
}

void QtShell::startProgram(const QString& path, int /*windowStyle*/) {
    requireUsablePath(path, "program start");
    const QString program = nativePath(path);
    // No arguments and no shell: spaces, quotes and ";" stay part of the program's path.
    if (!QProcess::startDetached(program, {})) {
        throw Failure(QStringLiteral("cannot start %1").arg(program));
    }
}

} // namespace cw
