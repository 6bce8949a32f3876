// Resident memory of tovik: idle with a tray host, after one capture-and-cancel cycle and
// after fifty. Snapshots and overlays must be released when a capture ends, so the last two
// differ by no more than a few megabytes. "Idle" is measured once tovik has given back the
// memory it keeps for fast captures, which it does after some quiet time between sessions.
// Then twelve whole-screen captures are confirmed and copied (`tovik copy`): the peak
// resident set over the captures and their background encoding, and during the copy alone,
// against the captures' pixel bytes.
//
//   tests/support/with_display.sh build/bench/capture_memory [cycles]
//
// Exits 1 when idle use reaches 60 MB, the cycles add 5 MB or more, or the copy's peak passes
// the captures' pixel bytes plus 80 MB.
#include "tovik_driver.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <cstdio>

namespace {

using namespace std::chrono_literals;

constexpr int defaultCycles = 50;
constexpr double idleLimitMb = 60;
constexpr double growthLimitMb = 5;
// Long enough for the app to finish what a cycle leaves queued (deferred deletions).
constexpr auto settleTime = 1s;
// Longer than tovik's quiet period before it trims its memory.
constexpr auto idleTime = 12s;
constexpr int exportedCaptures = 12;
constexpr double exportHeadroomMb = 80;
// Time for the background encodings of the captures to finish, as a user reads the toolbar.
constexpr auto encodeTime = 3s;

double mb(qint64 kb) {
    return double(kb) / 1024.0;
}

bool cycle(TovikDriver& driver) {
    driver.pressHotKey();
    if (!driver.waitForOverlay(5s))
        return false;
    driver.pressEscape();
    return driver.waitForReady(5s);
}

// Hot key, a selection of the whole screen, Ctrl+Return.
bool confirmedCapture(TovikDriver& driver) {
    driver.pressHotKey();
    if (!driver.waitForOverlay(5s))
        return false;
    return driver.confirmRegion(QRect(QPoint(0, 0), driver.screenSize() - QSize(1, 1)), 5s);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int cycles = argc > 1 ? std::max(2, atoi(argv[1])) : defaultCycles;

    TovikDriver driver;
    if (!driver.isValid()) {
        std::fprintf(stderr, "capture_memory: %s\n", qPrintable(driver.error()));
        return 1;
    }
    driver.whitenDesktop();
    QProcess tray;
    // A small panel in the top-right corner, clear of the driver's probe points.
    tray.start(QStringLiteral("trayer"),
               {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "100",
                "--height", "24", "--SetDockType", "true"});
    if (!tray.waitForStarted())
        std::fprintf(stderr, "capture_memory: no tray host (trayer); measuring without one\n");
    QThread::msleep(500);
    if (!driver.startTovik()) {
        std::fprintf(stderr, "capture_memory: tovik did not start\n");
        return 1;
    }
    QThread::msleep(std::chrono::milliseconds(idleTime).count());
    const qint64 idle = driver.residentKb();

    qint64 afterFirst = 0;
    for (int i = 1; i <= cycles; ++i) {
        if (!cycle(driver)) {
            std::fprintf(stderr, "capture_memory: cycle %d did not complete\n", i);
            return 1;
        }
        if (i == 1) {
            QThread::msleep(std::chrono::milliseconds(settleTime).count());
            afterFirst = driver.residentKb();
        }
    }
    QThread::msleep(std::chrono::milliseconds(settleTime).count());
    const qint64 afterAll = driver.residentKb();
    QThread::msleep(std::chrono::milliseconds(idleTime - settleTime).count());
    const qint64 idleAgain = driver.residentKb();

    driver.resetPeakResident();
    for (int i = 1; i <= exportedCaptures; ++i) {
        if (!confirmedCapture(driver)) {
            std::fprintf(stderr, "capture_memory: capture %d was not confirmed\n", i);
            return 1;
        }
    }
    QThread::msleep(std::chrono::milliseconds(encodeTime).count());
    const qint64 capturesPeak = driver.peakResidentKb();
    const qint64 beforeCopy = driver.residentKb();
    driver.resetPeakResident();
    if (driver.command(QStringLiteral("copy"), 60s).isEmpty()) {
        std::fprintf(stderr, "capture_memory: copy all failed\n");
        return 1;
    }
    const qint64 copyPeak = driver.peakResidentKb();
    driver.stopTovik();
    tray.kill();
    tray.waitForFinished();

    const double growth = mb(afterAll - afterFirst);
    std::printf("idle with tray: %.1f MB at start, %.1f MB after the cycles (limit %.0f)\n",
                mb(idle), mb(idleAgain), idleLimitMb);
    std::printf("after 1 cycle: %.1f MB, after %d cycles: %.1f MB, growth %.1f MB (limit %.0f)\n",
                mb(afterFirst), cycles, mb(afterAll), growth, growthLimitMb);
    const QSize screen = driver.screenSize();
    const double pixelMb =
        mb(qint64(screen.width()) * screen.height() * 4 * exportedCaptures / 1024);
    std::printf("%d captures of %dx%d: %.1f MB of pixels; peak %.1f MB while capturing and "
                "encoding, %.1f MB before the copy, peak %.1f MB during it (limit %.1f)\n",
                exportedCaptures, screen.width(), screen.height(), pixelMb, mb(capturesPeak),
                mb(beforeCopy), mb(copyPeak), pixelMb + exportHeadroomMb);
    std::printf("memory: idle_mb=%.1f first_mb=%.1f last_mb=%.1f growth_mb=%.1f pixels_mb=%.1f "
                "export_peak_mb=%.1f\n",
                mb(idle), mb(afterFirst), mb(afterAll), growth, pixelMb, mb(copyPeak));
    return std::max(mb(idle), mb(idleAgain)) < idleLimitMb && growth < growthLimitMb &&
                   mb(copyPeak) <= pixelMb + exportHeadroomMb
               ? 0
               : 1;
}
