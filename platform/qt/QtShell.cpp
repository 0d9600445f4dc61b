#include "QtShell.h"

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
Status usablePath(const QString& path, const char* what) {
    if (path.isEmpty()) {
        return Error{QStringLiteral("%1: no path given").arg(QLatin1String(what))};
    }
    if (path.contains(QChar(u'\0'))) {
        return Error{QStringLiteral("%1: the path holds a NUL character").arg(QLatin1String(what))};
    }
    return {};
}

} // namespace

QString QtShell::nativePath(const QString& path) {
    QString native = path;
    native.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return native;
}

Status QtShell::open(const QString& link) {
    const QUrl url(link, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        return Error{QStringLiteral("not a link: \"%1\"").arg(link)};
    }
    if (!QDesktopServices::openUrl(url)) {
        return Error{QStringLiteral("nothing on this desktop opens %1").arg(link)};
    }
    return {};
}

Result<bool> QtShell::fileExists(const QString& path) {
    if (const Status usable = usablePath(path, "file test"); !usable.ok()) {
        return usable.error();
    }
    const QString native = nativePath(path);
    std::error_code error;
    const auto status =
        std::filesystem::status(std::filesystem::path(QFile::encodeName(native).toStdString()), error);
    if (error) {
        // A missing file, or a folder on the way that is missing or is a file, is an ordinary "no".
        if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
            return false;
        }
        return Error{
            QStringLiteral("cannot search %1: %2").arg(native, QString::fromStdString(error.message()))};
    }
    if (!std::filesystem::is_regular_file(status)) {
        return false;
    }
    return !QFileInfo(native).fileName().startsWith(QLatin1Char('.'));
}

Status QtShell::startProgram(const QString& path) {
    if (Status usable = usablePath(path, "program start"); !usable.ok()) {
        return usable;
    }
    const QString program = nativePath(path);
    // No arguments and no shell: spaces, quotes and ";" stay part of the program's path.
    if (!QProcess::startDetached(program, {})) {
        return Error{QStringLiteral("cannot start %1").arg(program)};
    }
    return {};
}

} // namespace cw
