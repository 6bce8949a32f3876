// Snapshots of every screen: the project's capture path (captureDisplays over the X11
// screen source, MIT-SHM) against QScreen::grabWindow(0), in one run. Needs an X display;
// for the reference 2560 × 1440 screen run it on the tests' private server:
//
//   tests/support/with_display.sh build/release/bench/capture_bench

#include "capture/screen_capture.h"
#include "platform/x11/x11_screen_source.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

using namespace tovik;

namespace {

constexpr int rounds = 40;

double millisecondsOf(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

QCoro::Task<> captureInto(ScreenSource& source,
                          std::optional<Expected<QList<DisplaySnapshot>>>& result) {
    result = co_await captureDisplays(source, CancelToken());
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "capture_bench: needs an X display; run it as\n"
                             "  tests/support/with_display.sh <build>/bench/capture_bench\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    X11ScreenSource source;

    qsizetype pixels = 0;
    const auto tovik = [&] {
        std::optional<Expected<QList<DisplaySnapshot>>> result;
        QCoro::waitFor(captureInto(source, result));
        const Expected<QList<DisplaySnapshot>>& snapshots = *result;
        if (!snapshots) {
            std::fprintf(stderr, "capture_bench: %s\n", qPrintable(snapshots.failure().message()));
            std::exit(1);
        }
        for (const DisplaySnapshot& snapshot : *snapshots)
            pixels += snapshot.image.width() * snapshot.image.height();
    };
    const auto baseline = [&] {
        const QPixmap pixmap = screen->grabWindow(0);
        pixels += pixmap.width() * pixmap.height();
    };

    // What the app does at start-up, long before the hot key is pressed.
    const double warmUp = millisecondsOf([&] { source.warmUp(); });
    const double tovikFirst = millisecondsOf(tovik);
    const double baselineFirst = millisecondsOf(baseline);

    // Alternating, so that drift of the machine's load hits both alike.
    QList<double> tovikTimes;
    QList<double> baselineTimes;
    for (int i = 0; i < rounds; ++i) {
        tovikTimes.append(millisecondsOf(tovik));
        baselineTimes.append(millisecondsOf(baseline));
    }
    const double tovikMs = median(tovikTimes);
    const double baselineMs = median(baselineTimes);

    std::printf("capture: %dx%d, %lld screen(s), %d rounds, %lld pixels grabbed\n",
                screen->virtualSize().width(), screen->virtualSize().height(),
                static_cast<long long>(QGuiApplication::screens().size()), rounds,
                static_cast<long long>(pixels));
    std::printf("capture: warm-up at start-up      %8.2f ms\n", warmUp);
    std::printf("capture: first snapshot  tovik    %8.2f ms  baseline %8.2f ms\n", tovikFirst,
                baselineFirst);
    std::printf("capture: steady median   tovik    %8.2f ms  baseline %8.2f ms\n", tovikMs,
                baselineMs);
    std::printf("capture: baseline_ms=%.2f tovik_ms=%.2f speedup=%.2f\n", baselineMs, tovikMs,
                baselineMs / tovikMs);
    return 0;
}
