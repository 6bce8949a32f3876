#include "shortcuts/settings_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStringDecoder>

namespace tovik {
namespace {

const QByteArray generalSection = QByteArrayLiteral("[General]");

QString readProblem(const QString& path, const QString& reason) {
    return QStringLiteral("Couldn’t read the settings file “%1” (%2). tovik runs on its default "
                          "settings and leaves the file as it is.")
        .arg(QDir::toNativeSeparators(path), reason);
}

QString writeProblem(const QString& path, const QString& reason) {
    return QStringLiteral("Couldn’t write the settings file “%1” (%2).")
        .arg(QDir::toNativeSeparators(path), reason);
}

bool isComment(const QByteArray& line) {
    return line.startsWith(';') || line.startsWith('#');
}

bool isSection(const QByteArray& line) {
    return line.size() >= 2 && line.startsWith('[') && line.endsWith(']');
}

// The key of a `key=value` line, trimmed; empty for any other line.
QByteArray keyOf(const QByteArray& line) {
    const qsizetype equals = line.indexOf('=');
    return equals > 0 ? line.left(equals).trimmed() : QByteArray();
}

// Text QSettings reads the way it was meant: UTF-8 without control characters, each line
// empty, a comment, a section header or a key with a value.
bool isIniText(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return false;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 && c != u'\n' && c != u'\r' && c != u'\t')
            return false;
    }
    for (const QByteArray& raw : bytes.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.isEmpty() && !isComment(line) && !isSection(line) && keyOf(line).isEmpty())
            return false;
    }
    return true;
}

// The value as QSettings writes a byte array: quoted, with quotes and backslashes escaped.
// The binding's JSON is ASCII, so nothing else needs escaping.
QByteArray iniByteArray(const QByteArray& bytes) {
    QByteArray escaped = bytes;
    escaped.replace('\\', "\\\\").replace('"', "\\\"");
    return "\"@ByteArray(" + escaped + ")\"";
}

// `bytes` with every General line of `key` set to `value`, or the line added at the top of
// the General section; every other byte as it was.
QByteArray withValue(const QByteArray& bytes, const QByteArray& key, const QByteArray& value) {
    const QByteArray newline = bytes.contains("\r\n") ? "\r\n" : "\n";
    const QByteArray entry = key + '=' + value;
    QList<QByteArray> lines = bytes.split('\n');
    bool inGeneral = true; // keys before the first section belong to General
    bool replaced = false;
    qsizetype generalHeader = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (isSection(line)) {
            inGeneral = line == generalSection;
            if (inGeneral && generalHeader < 0)
                generalHeader = i;
        } else if (inGeneral && !isComment(line) && keyOf(line) == key) {
            lines[i] = entry + (lines[i].endsWith('\r') ? "\r" : "");
            replaced = true;
        }
    }
    if (replaced)
        return lines.join('\n');
    if (generalHeader >= 0) {
        lines.insert(generalHeader + 1, entry + (newline == "\r\n" ? "\r" : ""));
        return lines.join('\n');
    }
    QByteArray added = generalSection + newline + entry + newline;
    if (!bytes.isEmpty())
        added += newline;
    return added + bytes;
}

struct FileBytes {
    QByteArray bytes;
    QString problem; // empty when read
};

FileBytes readBounded(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {{}, file.errorString()};
    // The size is checked on what was read, since the file may grow meanwhile.
    const QByteArray bytes = file.read(SettingsFile::maximumSize + 1);
    if (file.error() != QFileDevice::NoError)
        return {{}, file.errorString()};
    if (bytes.size() > SettingsFile::maximumSize)
        return {{}, QStringLiteral("it is larger than 1 MB")};
    if (!isIniText(bytes))
        return {{}, QStringLiteral("it is not a settings file")};
    return {bytes, {}};
}

} // namespace

Expected<SettingsFile> SettingsFile::read(const QString& path) {
    const FileBytes read = readBounded(path);
    if (!read.problem.isEmpty())
        return Failure::platform(readProblem(path, read.problem));
    if (!read.bytes.isEmpty()) {
        const QSettings settings(path, QSettings::IniFormat);
        if (settings.status() != QSettings::NoError)
            return Failure::platform(
                readProblem(path, QStringLiteral("it is not a settings file")));
    }
    return SettingsFile(path, read.bytes.isEmpty());
}

QVariant SettingsFile::value(const QString& key) const {
    if (empty_)
        return {};
    return QSettings(path_, QSettings::IniFormat).value(key);
}

Outcome SettingsFile::writeValue(const QString& path, const QString& key, const QByteArray& bytes) {
    // What is on disk now, so that an edit made since start-up is kept too.
    const FileBytes current = readBounded(path);
    if (!current.problem.isEmpty())
        return Failure::platform(writeProblem(path, current.problem));
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return Failure::platform(writeProblem(path, QStringLiteral("its folder cannot be made")));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure::platform(writeProblem(path, file.errorString()));
    file.write(withValue(current.bytes, key.toUtf8(), iniByteArray(bytes)));
    if (!file.commit())
        return Failure::platform(writeProblem(path, file.errorString()));
    return Done{};
}

} // namespace tovik
