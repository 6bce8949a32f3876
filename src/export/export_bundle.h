#pragma once

#include "export/png_encoder_pool.h"
#include "model/annotation.h"
#include "model/failure.h"
#include "platform/clipboard.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tovik {

// One written export folder. Paths are absolute local file paths.
struct ExportBundle {
    QString directory;
    QStringList images;
    QString prompt;

    QString feedbackFile() const;
    QStringList files() const; // images, then feedbackFile
    friend bool operator==(const ExportBundle&, const ExportBundle&) = default;
};

// The single-capture export.
struct ScreenshotExport {
    QString url; // path of the written PNG
    QByteArray png;
};

// Writes the session's captures (PNG per capture or one contact sheet, feedback.md,
// annotations.json) into a fresh "tovik-<UUID>" folder under baseDirectory. A capture's PNG
// comes from its job in `pngs` when it has one. On failure nothing is left behind and the
// error is passed up unchanged.
Expected<ExportBundle> makeBundle(const QList<CapturedItem>& captures, bool contactSheet,
                                  const QString& baseDirectory, const PngJobs& pngs = {});
Expected<ScreenshotExport> exportScreenshot(const CapturedItem& capture,
                                            const QString& baseDirectory,
                                            const std::shared_ptr<PngJob>& job = nullptr);

// What each action puts on the clipboard.
ClipboardPayload bundlePayload(const ExportBundle& bundle);           // copy all / contact sheet
ClipboardPayload screenshotPayload(const ScreenshotExport& exported); // copy one capture
ClipboardPayload pasteImagesPayload(const ExportBundle& bundle);      // direct paste, images
ClipboardPayload textPayload(const QString& text); // direct paste text, Copy prompt

} // namespace tovik
