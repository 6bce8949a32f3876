#include "export/export_folder.h"

#include <QDir>
#include <QFile>
#include <QUuid>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tovik {

namespace {

constexpr mode_t ownerOnly = 0700;

Failure osError(int error) {
    return Failure::platform(QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

Expected<ExportFolder> ExportFolder::create(const QString& baseDirectory) {
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(baseDirectory).toStdString(), error);
    if (error)
        return Failure::platform(QString::fromLocal8Bit(error.message()));
    const QString name =
        QStringLiteral("tovik-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QString path = QDir(baseDirectory).absoluteFilePath(name);
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), ownerOnly) != 0)
        return osError(errno);
    // The umask may have cleared bits of the mode.
    if (::chmod(native.constData(), ownerOnly) != 0) {
        const int chmodError = errno;
        ::rmdir(native.constData());
        return osError(chmodError);
    }
    return ExportFolder(path);
}

Expected<QString> ExportFolder::write(const QString& name, const QByteArray& bytes) const {
    const QString path = QDir(path_).filePath(name);
    // The folder is private and fresh, so a fixed temporary name cannot collide.
    const QByteArray partial =
        QFile::encodeName(QDir(path_).filePath(QLatin1Char('.') + name + QLatin1String(".part")));
    const int fd = ::open(partial.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return osError(errno);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int writeError = errno;
            ::close(fd);
            ::unlink(partial.constData());
            return osError(writeError);
        }
        done += n;
    }
    if (::close(fd) != 0 ||
        ::rename(partial.constData(), QFile::encodeName(path).constData()) != 0) {
        const int closeError = errno;
        ::unlink(partial.constData());
        return osError(closeError);
    }
    return path;
}

void ExportFolder::remove() const {
    QDir(path_).removeRecursively();
}

} // namespace tovik
