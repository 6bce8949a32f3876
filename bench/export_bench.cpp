// Export as the user meets it. Encoding: region captures of mixed kinds and sizes through
// the project's encoder pool, against Qt's PNG writer at the same zlib level (quality 85),
// one image after another and on every core through QtConcurrent. Copy all: the real session
// store on fake desktop services, from the request to the clipboard holding the files, for
// 1 and 12 captures of 2880 x 1800 pixels.

#include "export/png_encoder_pool.h"
#include "screenshot_content.h"
#include "session/session_store.h"
#include "support/fake_session_services.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace tovik;

namespace {

constexpr int rounds = 7;
constexpr int regionCount = 12;
// Qt's PNG writer maps quality 80 to 89 to zlib level 1, the level of the project's encoder.
constexpr int levelOneQuality = 85;

struct Figures {
    QList<double> ms;
    double median() const {
        QList<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted.isEmpty() ? 0 : sorted[sorted.size() / 2];
    }
    double least() const { return *std::min_element(ms.begin(), ms.end()); }
    double most() const { return *std::max_element(ms.begin(), ms.end()); }
};

void report(const char* name, const Figures& f, qint64 bytes = -1) {
    std::printf("%-44s median %8.1f ms  (%.1f-%.1f over %lld runs)", name, f.median(), f.least(),
                f.most(), static_cast<long long>(f.ms.size()));
    if (bytes >= 0)
        std::printf("  %10lld bytes", static_cast<long long>(bytes));
    std::printf("\n");
}

// The benchmark cannot go on without it.
void require(bool ok, const char* what) {
    if (ok)
        return;
    std::fprintf(stderr, "export_bench: %s\n", what);
    std::exit(1);
}

double timed(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

QByteArray qtPng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(levelOneQuality);
    writer.write(image);
    return bytes;
}

qint64 totalSize(const QList<QByteArray>& files) {
    qint64 total = 0;
    for (const QByteArray& file : files)
        total += file.size();
    return total;
}

// A session of the real store on fakes, whose screen shows a 2x screenshot.
class Session : public FakeSessionServices {
public:
    explicit Session(int captures) {
        const QImage screen = bench::screenshotContent(2880, 1800, captures);
        screens.screenList = {FakeScreenSource::screen("Main", {0, 0, 1440, 900}, 2, 1)};
        screens.images.insert(0, screen);
        for (int i = 0; i < captures; ++i) {
            store.startOrCapture();
            require(QTest::qWaitFor([this] { return !ui.openOverlays().isEmpty(); }),
                    "no overlay opened");
            ui.openOverlays().first()->callbacks.confirm(QRectF(0, 0, 1440, 900),
                                                         QStringLiteral("Capture %1").arg(i), {});
        }
    }
    // Copy all from the request to the files on the clipboard, in ms.
    double copyAll() {
        // An edit, as a user makes between copies, so that each copy writes a new folder.
        store.updateComment(store.items().first().id(), QString::number(++edits));
        const qsizetype before = clipboard.writes.size();
        // Woken by the write itself: a polling wait would measure its own period.
        QEventLoop written;
        clipboard.accept = [&](const ClipboardPayload&) {
            written.quit();
            return true;
        };
        QTimer::singleShot(60000, &written, [&] { written.exit(1); });
        const double ms = timed([&] {
            store.copyFiles(false);
            if (clipboard.writes.size() == before)
                require(written.exec() == 0, "copy all never reached the clipboard");
        });
        clipboard.accept = [](const ClipboardPayload&) { return true; };
        return ms;
    }

    QTemporaryDir exportBase;
    SessionStore store{services(), exportBase.path()};
    int edits = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QList<QImage> regions;
    qint64 pixels = 0;
    for (int i = 0; i < regionCount; ++i) {
        regions.append(bench::regionCrop(i));
        pixels += qint64(regions.last().width()) * regions.last().height();
    }
    std::printf("content: %d region captures, %.1f megapixels, 4 kinds\n", regionCount,
                double(pixels) / 1e6);

    Figures qtSequential, qtParallel, tovik;
    qint64 qtBytes = 0, tovikBytes = 0;
    // At the baseline's priority: the app's own pool runs below it, so as not to slow a
    // capture, which would make this comparison depend on whatever else the machine runs.
    PngEncoderPool pool(PngEncoderPool::defaultWorkers(), 0);
    for (int round = 0; round < rounds; ++round) {
        QList<QByteArray> files;
        qtSequential.ms.append(timed([&] {
            files.clear();
            for (const QImage& image : regions)
                files.append(qtPng(image));
        }));
        qtBytes = totalSize(files);
        qtParallel.ms.append(timed(
            [&] { files = QtConcurrent::blockingMapped<QList<QByteArray>>(regions, qtPng); }));
        tovik.ms.append(timed([&] {
            QList<std::shared_ptr<PngJob>> jobs;
            for (const QImage& image : regions)
                jobs.append(pool.encode(image));
            files.clear();
            for (const auto& job : jobs)
                files.append(job->result().value());
        }));
        tovikBytes = totalSize(files);
    }
    report("Qt level 1, sequential", qtSequential, qtBytes);
    report("Qt level 1, all cores (QtConcurrent)", qtParallel, qtBytes);
    report("tovik encoder pool, all cores", tovik, tovikBytes);

    Figures copyOne, copyTwelve, copyAtOnce;
    {
        Session session(1);
        session.encoder.waitForIdle();
        for (int round = 0; round < rounds; ++round)
            copyOne.ms.append(session.copyAll());
    }
    for (int round = 0; round < 3; ++round) {
        // The first copy, right after the last capture: its encodings may still run.
        Session session(12);
        copyAtOnce.ms.append(session.copyAll());
    }
    {
        Session session(12);
        session.encoder.waitForIdle();
        for (int round = 0; round < rounds; ++round)
            copyTwelve.ms.append(session.copyAll());
    }
    report("copy all, 1 capture 2880x1800", copyOne);
    report("copy all, 12 captures 2880x1800", copyTwelve);
    report("copy all, 12 captures, right after the last", copyAtOnce);

    std::printf("export: baseline_ms=%.0f tovik_ms=%.0f speedup=%.2f size_ratio=%.2f "
                "copy_all_ms=%.0f\n",
                qtParallel.median(), tovik.median(),
                qtParallel.median() / std::max(tovik.median(), 0.001),
                double(tovikBytes) / double(qtBytes), copyTwelve.median());
    return 0;
}
