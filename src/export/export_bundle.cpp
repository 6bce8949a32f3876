#include "export/export_bundle.h"

#include "export/contact_sheet.h"
#include "export/export_folder.h"
#include "export/png_encoder.h"
#include "export/render_error.h"
#include "model/annotation_json.h"
#include "model/feedback_prompt.h"

#include <QDir>

namespace tovik {

namespace {

const QString contactSheetName = QStringLiteral("tovik-contact-sheet.png");
const QString feedbackName = QStringLiteral("feedback.md");
const QString annotationsName = QStringLiteral("annotations.json");

struct NamedFile {
    QString name;
    QByteArray bytes;
};

// The image files of an export, encoded before anything touches the disk.
Expected<QList<NamedFile>> imageFiles(const QList<CapturedItem>& captures, bool contactSheet) {
    if (contactSheet) {
        const Expected<QImage> sheet = renderContactSheet(captures);
        if (!sheet)
            return sheet.failure();
        Expected<QByteArray> png = pngData(*sheet);
        if (!png)
            return png.failure();
        return QList<NamedFile>{{contactSheetName, std::move(png).value()}};
    }
    QList<QImage> images;
    for (const CapturedItem& capture : captures)
        images.append(capture.image);
    Expected<QList<QByteArray>> pngs = pngDataAll(images);
    if (!pngs)
        return pngs.failure();
    QList<NamedFile> files;
    for (qsizetype i = 0; i < captures.size(); ++i)
        files.append({captures[i].annotation.fileName(), pngs.value()[i]});
    return files;
}

// Writes the files in order into a new folder; on any failure the folder goes away.
Expected<QPair<QString, QStringList>> writeFolder(const QList<NamedFile>& files,
                                                  const QString& baseDirectory) {
    const Expected<ExportFolder> folder = ExportFolder::create(baseDirectory);
    if (!folder)
        return folder.failure();
    QStringList paths;
    for (const NamedFile& file : files) {
        const Expected<QString> path = folder->write(file.name, file.bytes);
        if (!path) {
            folder->remove();
            return path.failure();
        }
        paths.append(*path);
    }
    return qMakePair(folder->path(), paths);
}

} // namespace

QString ExportBundle::feedbackFile() const {
    return QDir(directory).filePath(feedbackName);
}

QStringList ExportBundle::files() const {
    return images + QStringList{feedbackFile()};
}

Expected<ExportBundle> makeBundle(const QList<CapturedItem>& captures, bool contactSheet,
                                  const QString& baseDirectory) {
    if (captures.isEmpty())
        return Failure::of(RenderError::empty);
    QList<Annotation> annotations;
    for (const CapturedItem& capture : captures)
        annotations.append(capture.annotation);
    Expected<QList<NamedFile>> files = imageFiles(captures, contactSheet);
    if (!files)
        return files.failure();
    const QString prompt = FeedbackPrompt::text(annotations, contactSheet);
    Expected<QByteArray> json = AnnotationJson::encode(annotations);
    if (!json)
        return json.failure();
    const qsizetype imageCount = files->size();
    files.value().append({feedbackName, prompt.toUtf8()});
    files.value().append({annotationsName, std::move(json).value()});

    const auto written = writeFolder(*files, baseDirectory);
    if (!written)
        return written.failure();
    return ExportBundle{written->first, written->second.first(imageCount), prompt};
}

Expected<ScreenshotExport> exportScreenshot(const CapturedItem& capture,
                                            const QString& baseDirectory) {
    Expected<QByteArray> png = pngData(capture.image);
    if (!png)
        return png.failure();
    const auto written = writeFolder({{capture.annotation.fileName(), *png}}, baseDirectory);
    if (!written)
        return written.failure();
    return ScreenshotExport{written->second.first(), std::move(png).value()};
}

} // namespace tovik
