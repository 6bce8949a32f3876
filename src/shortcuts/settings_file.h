#pragma once

#include "model/failure.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace tovik {

// The user's INI settings file, which a person may edit by hand: read whole and bounded,
// and changed only by rewriting the line of one key, so that every other byte stays as
// written. A file that cannot be read or parsed is never written.
class SettingsFile {
public:
    // Larger files are not parsed.
    static constexpr qint64 maximumSize = 1024 * 1024;

    /** The file at `path`; a missing file reads as an empty one. A file that cannot be read, is
     *  larger than maximumSize or is not INI text gives a message naming it. */
    static Expected<SettingsFile> read(const QString& path);

    const QString& path() const { return path_; }
    /** The value of `key` in the General group as QSettings reads it; invalid when absent. */
    QVariant value(const QString& key) const;

    /** Sets `key` of the General group to `bytes` in the file as it is on disk now and replaces the
     *  file in one step; a failure names the file and leaves it as it was. */
    static Outcome writeValue(const QString& path, const QString& key, const QByteArray& bytes);

private:
    SettingsFile(QString path, bool empty)
        : path_(std::move(path))
        , empty_(empty) {}

    QString path_;
    bool empty_;
};

} // namespace tovik
