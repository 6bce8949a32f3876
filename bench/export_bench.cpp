// Export of a session of 12 full-screen captures of a 2x display as PNG files: the
// project's writer against saving each image sequentially with Qt's default PNG writer.

#include "export/capture_rendering.h"
#include "export/export_bundle.h"
#include "export/png_encoder.h"
#include "screenshot_content.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace tovik;

namespace {

constexpr int captureCount = 12;
constexpr QSize displayPoints(1440, 900);
constexpr double pixelsPerPoint = 2;

qint64 pngBytes(const QString& directory) {
    qint64 total = 0;
    QDirIterator it(directory, {QStringLiteral("*.png")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        total += it.nextFileInfo().size();
    return total;
}

Annotation benchAnnotation(int number) {
    const QRectF display(QPointF(0, 0), QSizeF(displayPoints));
    PenStroke stroke{{{400, 300}, {460, 330}, {520, 320}, {560, 380}}, 3};
    return Annotation(QUuid::createUuid(), number, QDateTime::currentDateTimeUtc(),
                      QStringLiteral("Capture %1 of the benchmark").arg(number), 1,
                      QStringLiteral("Bench display"), QSizeF(displayPoints), display, display,
                      pixelsPerPoint, {stroke});
}

void phase(const char* name, qint64 ms, qint64 bytes = -1) {
    if (bytes < 0)
        std::printf("%-34s %6lld ms\n", name, static_cast<long long>(ms));
    else
        std::printf("%-34s %6lld ms %12lld bytes\n", name, static_cast<long long>(ms),
                    static_cast<long long>(bytes));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "export_bench: no temporary directory\n");
        return 1;
    }
    const QSize pixels = displayPoints * pixelsPerPoint;
    QElapsedTimer timer;

    timer.start();
    QList<QImage> displays;
    for (int i = 0; i < captureCount; ++i)
        displays.append(bench::screenshotContent(pixels.width(), pixels.height(), i));
    phase("content (12 x 2880x1800)", timer.elapsed());

    timer.restart();
    QList<CapturedItem> captures;
    for (int i = 0; i < captureCount; ++i) {
        const Annotation annotation = benchAnnotation(i + 1);
        Expected<QImage> image = CaptureRendering::render(displays[i], annotation);
        if (!image) {
            std::fprintf(stderr, "export_bench: %s\n", qPrintable(image.failure().message()));
            return 1;
        }
        captures.append({annotation, std::move(image).value()});
    }
    displays.clear();
    phase("render", timer.elapsed());

    timer.restart();
    const Expected<QByteArray> single = pngData(captures.first().image);
    phase("tovik encode, one capture, 1 core", timer.elapsed(), single ? single->size() : -1);

    QList<QImage> images;
    for (const CapturedItem& capture : captures)
        images.append(capture.image);
    timer.restart();
    const Expected<QList<QByteArray>> encoded = pngDataAll(images);
    qint64 encodedBytes = 0;
    for (const QByteArray& png : encoded ? *encoded : QList<QByteArray>())
        encodedBytes += png.size();
    phase("tovik encode only, all cores", timer.elapsed(), encodedBytes);

    const QString baselineDir = scratch.filePath(QStringLiteral("baseline"));
    QDir().mkpath(baselineDir);
    timer.restart();
    for (const CapturedItem& capture : captures) {
        const QString path = QDir(baselineDir).filePath(capture.annotation.fileName());
        if (!capture.image.save(path, "PNG")) {
            std::fprintf(stderr, "export_bench: QImage::save failed\n");
            return 1;
        }
    }
    const qint64 baselineMs = timer.elapsed();
    const qint64 baselineBytes = pngBytes(baselineDir);
    phase("baseline QImage::save, sequential", baselineMs, baselineBytes);

    const QString tovikBase = scratch.filePath(QStringLiteral("tovik"));
    timer.restart();
    const Expected<ExportBundle> bundle = makeBundle(captures, false, tovikBase);
    const qint64 tovikMs = timer.elapsed();
    if (!bundle) {
        std::fprintf(stderr, "export_bench: %s\n", qPrintable(bundle.failure().message()));
        return 1;
    }
    const qint64 tovikBytes = pngBytes(tovikBase);
    phase("tovik makeBundle (files)", tovikMs, tovikBytes);

    timer.restart();
    const Expected<ExportBundle> sheet = makeBundle(captures, true, tovikBase);
    phase("tovik makeBundle (contact sheet)", timer.elapsed(),
          sheet ? QFileInfo(sheet->images.first()).size() : -1);

    std::printf("export: baseline_ms=%lld tovik_ms=%lld speedup=%.2f size_ratio=%.2f\n",
                static_cast<long long>(baselineMs), static_cast<long long>(tovikMs),
                double(baselineMs) / std::max<qint64>(tovikMs, 1),
                double(tovikBytes) / double(baselineBytes));
    return 0;
}
