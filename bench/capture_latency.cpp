// What the user sees: from the capture's trigger to the overlay's frozen, dimmed screen on
// the X server, found at two far corners (XDamage on the root window wakes the probe). Esc
// cancels each capture and the desktop must show through again before the next run.
//
//   tests/support/with_display.sh build/bench/capture_latency [runs] [pause_ms] [cases]
//
// Cases (a comma list; all by default), each plain and, with "+compositor", behind
// xcompmgr started by the benchmark:
//   first    the hot key through XTest in a fresh session (tovik ready)
//   cold     the hot key once tovik has given back what it keeps for fast captures (the
//            overlay window, grab buffers), as after 10 s between sessions; a tovik of its
//            own trims after 1 s (TOVIK_IDLE_TRIM_MS) and each run waits 1.5 s before the key
//   command  `tovik capture` launched as a desktop shortcut would, in a fresh session
//   later    the hot key while the floating toolbar is shown after one confirmed capture,
//            a terminal under the toolbar that repaints what it uncovers
//   encoding the hot key 50 ms after a 1600 × 1000 capture is confirmed, while its PNG is
//            being encoded in the background (the stall is measured from the key on)
//   export   `tovik copy` of the session's captures (the cases' above and three of
//            1400 × 900), timed until the files are on the clipboard
//   paste    `tovik paste` of those into a terminal, timed until the last key is sent
// For export and paste the time is not a capture's: only their stall counts in the last lines.
// pause_ms (300 by default) is the idle time before each trigger. Each case starts with two
// unmeasured warm-up runs, printed apart: right after launch the first capture also hides
// the session window and waits for what it covered to be redrawn. A watchdog asks tovik for
// its status over the control socket all along: its longest round trip is the longest
// stall of tovik's main thread while the case ran (capture and cancel).
// with_display.sh gives a private Xvfb with Openbox, 2560 × 1440 unless TOVIK_TEST_SCREEN
// says otherwise. Set TOVIK_TRACE=1 to have tovik print where the time goes. One line per
// case, then
//   stall: max_ms=<n>
//   latency: median_ms=<worst case's> p95_ms=<worst case's>
#include "stall_watchdog.h"
#include "tovik_driver.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

using namespace std::chrono_literals;

constexpr int defaultRuns = 30;
// Time for the app to settle between runs, so that each press meets an idle app.
constexpr int defaultPauseMs = 300;
constexpr int warmUpRuns = 2;
// The cold case's quiet period before tovik trims, and the idle time before each of its keys.
constexpr int coldTrimMs = 1000;
constexpr int coldPauseMs = 1500;
const QStringList allCases = {
    QStringLiteral("first"),
    QStringLiteral("cold"),
    QStringLiteral("command"),
    QStringLiteral("later"),
    QStringLiteral("encoding"),
    QStringLiteral("export"),
    QStringLiteral("paste"),
    QStringLiteral("first+compositor"),
    QStringLiteral("cold+compositor"),
    QStringLiteral("command+compositor"),
    QStringLiteral("later+compositor"),
    QStringLiteral("encoding+compositor"),
    QStringLiteral("export+compositor"),
    QStringLiteral("paste+compositor"),
};

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    // Nearest rank.
    const auto rank = size_t(std::ceil(fraction * double(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

struct Result {
    QString name;
    std::vector<double> latencies;
    double longestStallMs = 0;
    bool capture = true; // a trigger-to-overlay time, not a command's
};

class Bench {
public:
    Bench(TovikDriver& driver, int runs, int pauseMs)
        : driver_(driver)
        , runs_(runs)
        , pauseMs_(pauseMs) {}

    // One case: `trigger` starts a capture; Esc brings tovik back to `phase`.
    // `pauseMs`, when given, replaces the idle time before each trigger.
    bool run(const QString& name, const std::function<TovikDriver::Clock::time_point()>& trigger,
             const QString& phase, StallWatchdog& watchdog, int pauseMs = -1) {
        Result result{name, {}, 0};
        for (int run = 1 - warmUpRuns; run <= runs_; ++run) {
            QThread::msleep(ulong(pauseMs < 0 ? pauseMs_ : pauseMs));
            watchdog.reset();
            const auto started = trigger();
            const auto shown = driver_.waitForOverlay(5s);
            if (!shown) {
                std::fprintf(stderr, "capture_latency: %s, run %d: no overlay on screen\n",
                             qPrintable(name), run);
                return false;
            }
            const double ms = std::chrono::duration<double, std::milli>(*shown - started).count();
            driver_.pressEscape();
            if (!driver_.waitForPhase(phase, 5s)) {
                std::fprintf(stderr, "capture_latency: %s, run %d: Esc did not return to %s\n",
                             qPrintable(name), run, qPrintable(phase));
                return false;
            }
            const double stall = watchdog.longestMs();
            if (run < 1) {
                std::printf("%s warm-up: %6.1f ms, longest stall %5.1f ms\n", qPrintable(name), ms,
                            stall);
                continue;
            }
            record(result, run, ms, stall);
        }
        results_.push_back(std::move(result));
        return true;
    }

    // A case of commands: `command` over the control socket, timed until tovik answers.
    bool runCommand(const QString& name, const QString& command, StallWatchdog& watchdog) {
        Result result{name, {}, 0, false};
        for (int run = 1; run <= runs_; ++run) {
            QThread::msleep(ulong(pauseMs_));
            watchdog.reset();
            const auto started = TovikDriver::Clock::now();
            const QJsonObject answer = driver_.command(command, 30s);
            const double ms =
                std::chrono::duration<double, std::milli>(TovikDriver::Clock::now() - started)
                    .count();
            if (answer.isEmpty()) {
                std::fprintf(stderr, "capture_latency: %s, run %d: `tovik %s` failed\n",
                             qPrintable(name), run, qPrintable(command));
                return false;
            }
            record(result, run, ms, watchdog.longestMs());
        }
        results_.push_back(std::move(result));
        return true;
    }

    const std::vector<Result>& results() const { return results_; }

private:
    static void record(Result& result, int run, double ms, double stall) {
        result.latencies.push_back(ms);
        result.longestStallMs = std::max(result.longestStallMs, stall);
        std::printf("%s run %2d: %6.1f ms, longest stall %5.1f ms\n", qPrintable(result.name), run,
                    ms, stall);
        std::fflush(stdout);
    }

    TovikDriver& driver_;
    int runs_;
    int pauseMs_;
    std::vector<Result> results_;
};

// Runs the selected cases of one compositing setting in one tovik.
bool runCases(TovikDriver& driver, Bench& bench, const QStringList& cases, bool composited) {
    const QString suffix = composited ? QStringLiteral("+compositor") : QString();
    const auto wanted = [&](const char* name) {
        return cases.contains(QLatin1String(name) + suffix);
    };
    if (!wanted("first") && !wanted("cold") && !wanted("command") && !wanted("later") &&
        !wanted("encoding") && !wanted("export") && !wanted("paste"))
        return true;
    if (composited && !driver.startCompositor()) {
        std::fprintf(stderr, "capture_latency: xcompmgr did not start\n");
        return false;
    }
    const auto hotKey = [&] { return driver.pressHotKey(); };
    const QString ready = QStringLiteral("ready");
    if (wanted("cold")) {
        if (!driver.startTovik(coldTrimMs)) {
            std::fprintf(stderr, "capture_latency: tovik did not start\n");
            return false;
        }
        StallWatchdog watchdog(driver.socketPath());
        const bool ok =
            bench.run(QStringLiteral("cold") + suffix, hotKey, ready, watchdog, coldPauseMs);
        driver.stopTovik();
        if (!ok)
            return false;
        if (!wanted("first") && !wanted("command") && !wanted("later") && !wanted("encoding") &&
            !wanted("export") && !wanted("paste")) {
            driver.stopCompositor();
            return true;
        }
    }
    if (!driver.startTovik()) {
        std::fprintf(stderr, "capture_latency: tovik did not start\n");
        return false;
    }
    StallWatchdog watchdog(driver.socketPath());
    bool ok = true;
    if (ok && wanted("first"))
        ok = bench.run(QStringLiteral("first") + suffix, hotKey, ready, watchdog);
    if (ok && wanted("command"))
        ok = bench.run(
            QStringLiteral("command") + suffix, [&] { return driver.runCaptureCommand(); }, ready,
            watchdog);
    const QPoint middle(driver.screenSize().width() / 2, driver.screenSize().height() / 2);
    const auto confirm = [&](QRect region) {
        driver.pressHotKey();
        if (driver.waitForOverlay(5s) && driver.confirmRegion(region, 5s))
            return true;
        std::fprintf(stderr, "capture_latency: a capture was not confirmed\n");
        return false;
    };
    if (ok && (wanted("later") || wanted("encoding") || wanted("export") || wanted("paste")))
        ok = confirm(QRect(middle - QPoint(200, 200), QSize(400, 200)));
    if (ok && wanted("later"))
        ok = bench.run(QStringLiteral("later") + suffix, hotKey, QStringLiteral("monitoring"),
                       watchdog);
    if (ok && wanted("encoding")) {
        const QRect region(QPoint(300, 200), QSize(1600, 1000));
        ok = bench.run(
            QStringLiteral("encoding") + suffix,
            [&] {
                confirm(region);
                QThread::msleep(50);
                watchdog.reset();
                return driver.pressHotKey();
            },
            QStringLiteral("monitoring"), watchdog);
    }
    if (ok && (wanted("export") || wanted("paste"))) {
        for (int i = 0; ok && i < 3; ++i)
            ok = confirm(QRect(QPoint(100 + 200 * i, 100), QSize(1400, 900)));
    }
    if (ok && wanted("export"))
        ok = bench.runCommand(QStringLiteral("export") + suffix, QStringLiteral("copy"), watchdog);
    if (ok && wanted("paste")) {
        // The session pastes into the application it came from: the terminal, once a capture
        // has started from it.
        const char* problem = nullptr;
        if (!driver.startPasteTarget())
            problem = "the terminal did not start or take the focus";
        else if (driver.pressHotKey(); !driver.waitForOverlay(5s))
            problem = "no overlay showed within 5 s of the hot key";
        else if (driver.pressEscape(); !driver.waitForPhase(QStringLiteral("monitoring"), 5s))
            problem = "Esc did not end the capture within 5 s";
        ok = problem == nullptr;
        if (!ok)
            std::fprintf(stderr, "capture_latency: the paste target was not set up: %s\n", problem);
        else
            ok = bench.runCommand(QStringLiteral("paste") + suffix, QStringLiteral("paste"),
                                  watchdog);
    }
    driver.stopTovik();
    driver.stopCompositor();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : defaultRuns;
    const int pauseMs = argc > 2 ? std::max(0, atoi(argv[2])) : defaultPauseMs;
    const QStringList cases =
        argc > 3 ? QString::fromLocal8Bit(argv[3]).split(QLatin1Char(',')) : allCases;
    for (const QString& name : cases) {
        if (!allCases.contains(name)) {
            std::fprintf(stderr, "capture_latency: unknown case '%s' (one of %s)\n",
                         qPrintable(name), qPrintable(allCases.join(QLatin1Char(','))));
            return 2;
        }
    }

    TovikDriver driver;
    if (!driver.isValid()) {
        std::fprintf(stderr, "capture_latency: %s\n", qPrintable(driver.error()));
        return 1;
    }
    const QSize size = driver.screenSize();
    const double megapixels = double(size.width()) * size.height() / 1e6;
    std::printf("screen %dx%d (%.1f MP), %d runs per case, %d ms idle before each\n", size.width(),
                size.height(), megapixels, runs, pauseMs);
    driver.whitenDesktop();
    if (!driver.startClientUnderToolbar()) {
        std::fprintf(stderr, "capture_latency: the terminal under the toolbar did not start\n");
        return 1;
    }
    Bench bench(driver, runs, pauseMs);
    if (!runCases(driver, bench, cases, false) || !runCases(driver, bench, cases, true))
        return 1;
    driver.stopClients();

    double worstMedian = 0;
    double worstP95 = 0;
    double longestStall = 0;
    for (const Result& result : bench.results()) {
        const double median = percentile(result.latencies, 0.5);
        const double p95 = percentile(result.latencies, 0.95);
        std::printf("case %-19s median_ms=%.1f p95_ms=%.1f ms_per_mp=%.2f max_stall_ms=%.1f\n",
                    qPrintable(result.name), median, p95, median / megapixels,
                    result.longestStallMs);
        if (result.capture) {
            worstMedian = std::max(worstMedian, median);
            worstP95 = std::max(worstP95, p95);
        }
        longestStall = std::max(longestStall, result.longestStallMs);
    }
    std::printf("stall: max_ms=%.1f\n", longestStall);
    std::printf("latency: median_ms=%.1f p95_ms=%.1f\n", worstMedian, worstP95);
    return 0;
}
