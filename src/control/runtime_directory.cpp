#include "control/runtime_directory.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tovik {

namespace {
constexpr mode_t privateMode = S_IRWXU;
} // namespace

QString message(RuntimeDirectoryError error) {
    switch (error) {
    case RuntimeDirectoryError::notPrivate:
        return QStringLiteral(
            "tovik’s runtime folder is not private to this user, so its control socket was not "
            "opened.");
    }
    return {};
}

bool isPrivateDirectory(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

Expected<QString> runtimeDirectory() {
    const QString session = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(session) && isPrivateDirectory(session))
        return QDir::cleanPath(session);

    const QString fallback =
        QDir(QDir::tempPath()).filePath(QStringLiteral("tovik-%1").arg(::getuid()));
    if (::mkdir(QFile::encodeName(fallback).constData(), privateMode) != 0 && errno != EEXIST)
        return Failure::platform(
            QStringLiteral("%1: %2").arg(fallback, QString::fromLocal8Bit(std::strerror(errno))));
    if (!isPrivateDirectory(fallback))
        return Failure::of(RuntimeDirectoryError::notPrivate);
    return fallback;
}

} // namespace tovik
