// Hot key to overlay on screen: presses Ctrl+Shift+S through XTest and waits until the X
// server shows the overlay's dimming at two far corners (XDamage on the root window wakes the
// probe). Between runs Esc cancels the capture and the desktop must show through again.
//
//   tests/support/with_display.sh build/bench/capture_latency [runs] [pause_ms]
//
// pause_ms (300 by default) is the idle time before each press; beyond tovik's quiet period
// (10 s) each press meets an app that has given its spare memory back.
// with_display.sh gives a private 2560 × 1440 Xvfb with Openbox. Set TOVIK_TRACE=1 to have
// tovik print where the time goes. The last line reads
//   latency: median_ms=<n> p95_ms=<n>
#include "tovik_driver.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using namespace std::chrono_literals;

constexpr int defaultRuns = 25;
// Time for the app to settle between runs, so that each press meets an idle app.
constexpr int defaultPauseMs = 300;

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    // Nearest rank.
    const auto rank = size_t(std::ceil(fraction * double(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : defaultRuns;
    const int pauseMs = argc > 2 ? std::max(0, atoi(argv[2])) : defaultPauseMs;

    TovikDriver driver;
    if (!driver.isValid()) {
        std::fprintf(stderr, "capture_latency: %s\n", qPrintable(driver.error()));
        return 1;
    }
    const QSize size = driver.screenSize();
    std::printf("screen %dx%d, %d runs, %d ms idle before each\n", size.width(), size.height(),
                runs, pauseMs);
    driver.whitenDesktop();
    if (!driver.startTovik()) {
        std::fprintf(stderr, "capture_latency: tovik did not start\n");
        return 1;
    }
    std::vector<double> latencies;
    for (int run = 1; run <= runs; ++run) {
        QThread::msleep(ulong(pauseMs));
        const auto pressed = driver.pressHotKey();
        const auto shown = driver.waitForOverlay(5s);
        if (!shown) {
            std::fprintf(stderr, "capture_latency: run %d: no overlay on screen\n", run);
            return 1;
        }
        const double ms = std::chrono::duration<double, std::milli>(*shown - pressed).count();
        latencies.push_back(ms);
        std::printf("run %2d: %6.1f ms\n", run, ms);
        std::fflush(stdout);
        driver.pressEscape();
        if (!driver.waitForReady(5s)) {
            std::fprintf(stderr, "capture_latency: run %d: Esc did not return to ready\n", run);
            return 1;
        }
    }
    driver.stopTovik();
    std::printf("latency: median_ms=%.1f p95_ms=%.1f\n", percentile(latencies, 0.5),
                percentile(latencies, 0.95));
    return 0;
}
