#include "export/export_bundle.h"

#include <QRegularExpression>
#include <QUrl>

namespace tovik {

namespace {

const QString uriListType = QStringLiteral("text/uri-list");
const QString gnomeFilesType = QStringLiteral("x-special/gnome-copied-files");
const QString utf8TextType = QStringLiteral("text/plain;charset=utf-8");

QList<QByteArray> fileUris(const QStringList& paths) {
    QList<QByteArray> uris;
    for (const QString& path : paths)
        uris.append(QUrl::fromLocalFile(path).toEncoded());
    return uris;
}

// The file managers' and browsers' views of a list of files.
QList<ClipboardPayload::Format> fileFormats(const QStringList& paths) {
    const QList<QByteArray> uris = fileUris(paths);
    QByteArray uriList; // every line ends in CRLF
    for (const QByteArray& uri : uris)
        uriList += uri + "\r\n";
    QByteArray gnomeFiles = "copy";
    for (const QByteArray& uri : uris)
        gnomeFiles += '\n' + uri;
    return {{uriListType, uriList}, {gnomeFilesType, gnomeFiles}};
}

// Single-quoted for a POSIX shell unless every character is harmless.
QString shellQuoted(const QString& path) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+,:@%=-]+$"));
    if (plain.match(path).hasMatch())
        return path;
    QString quoted = path;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace

ClipboardPayload bundlePayload(const ExportBundle& bundle) {
    ClipboardPayload payload{fileFormats(bundle.files())};
    payload.formats.append({utf8TextType, bundle.prompt.toUtf8()});
    return payload;
}

ClipboardPayload screenshotPayload(const ScreenshotExport& exported) {
    ClipboardPayload payload{fileFormats({exported.url})};
    payload.formats.append({QStringLiteral("image/png"), exported.png});
    return payload;
}

ClipboardPayload pasteImagesPayload(const ExportBundle& bundle) {
    // No image/png here: browsers would attach it as one more file.
    ClipboardPayload payload{fileFormats(bundle.images)};
    // Each path followed by a space, the last too: in a terminal the feedback text pasted
    // next must not stick to it.
    QString paths;
    for (const QString& path : bundle.images)
        paths += shellQuoted(path) + QLatin1Char(' ');
    payload.formats.append({QStringLiteral("text/plain"), paths.toUtf8()});
    return payload;
}

ClipboardPayload textPayload(const QString& text) {
    return ClipboardPayload{{{utf8TextType, text.toUtf8()}}};
}

} // namespace tovik
