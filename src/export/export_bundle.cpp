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

Expected<QByteArray> pngOf(const CapturedItem& capture, const std::shared_ptr<PngJob>& job) {
    return job ? job->result() : pngData(capture.image);
}

// The image files of an export, encoded before anything touches the disk.
Expected<QList<NamedFile>> imageFiles(const QList<CapturedItem>& captures, bool contactSheet,
                                      const PngJobs& pngs) {
    if (contactSheet) {
        const Expected<QImage> sheet = renderContactSheet(captures);
        if (!sheet)
            return sheet.failure();
        Expected<QByteArray> png = pngData(*sheet);
        if (!png)
            return png.failure();
        return QList<NamedFile>{{contactSheetName, std::move(png).value()}};
    }
    QList<NamedFile> files;
    for (const CapturedItem& capture : captures) {
        Expected<QByteArray> png = pngOf(capture, pngs.value(capture.id()));
        if (!png)
            return png.failure();
        files.append({capture.annotation.fileName(), std::move(png).value()});
    }
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
                                  const QString& baseDirectory, const PngJobs& pngs) {
    if (captures.isEmpty())
        return Failure::of(RenderError::empty);
    QList<Annotation> annotations;
    for (const CapturedItem& capture : captures)
        annotations.append(capture.annotation);
    Expected<QList<NamedFile>> files = imageFiles(captures, contactSheet, pngs);
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
                                            const QString& baseDirectory,
                                            const std::shared_ptr<PngJob>& job) {
    Expected<QByteArray> png = pngOf(capture, job);
    if (!png)
        return png.failure();
    const auto written = writeFolder({{capture.annotation.fileName(), *png}}, baseDirectory);
    if (!written)
        return written.failure();
    return ScreenshotExport{written->second.first(), std::move(png).value()};
}

} // namespace tovik
