#pragma once

#include "model/failure.h"

#include <QByteArray>
#include <QString>

namespace tovik {

// A fresh owner-only export directory "tovik-<UUID>" under a base directory. Files appear
// whole or not at all; a failed export removes the directory.
class ExportFolder {
public:
    // Creates the base directory's missing parents and the folder itself, mode 0700.
    static Expected<ExportFolder> create(const QString& baseDirectory);

    const QString& path() const { return path_; }
    // Writes to a temporary name and renames it into place; the OS error text on failure.
    Expected<QString> write(const QString& name, const QByteArray& bytes) const;
    // Deletes the folder and everything in it; failures are ignored.
    void remove() const;

private:
    explicit ExportFolder(QString path)
        : path_(std::move(path)) {}

    QString path_;
};

} // namespace tovik
