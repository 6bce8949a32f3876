// What the user sees on Wayland: from the capture's trigger to the overlays on screen, on
// the private headless sway of tests/support/with_wayland.sh (solid backgrounds):
//
//   TOVIK_TEST_POINTER=<build>/tests/support/tovik_test_pointer
//     tests/support/with_wayland.sh <build>/bench/wayland_capture_latency [runs] [pause_ms]
//
// Cases:
//   key      Ctrl+Shift+S bound in sway, pressed through a virtual keyboard; timed from
//            sway's binding event (the moment the compositor took the key)
//   command  `tovik capture` launched as a desktop shortcut would; timed from the launch
// Two figures a case: "mapped", once sway's window events show both overlays full screen
// (a Wayland window maps only with a committed buffer), and "shown", once grim sees the
// dimmed frozen desktop on the output under the pointer (a probe every few tens of ms). Esc
// ends each capture; the desktop must show through again before the next run. Two warm-up
// runs a case are not counted. One line a case, then
//   latency: median_ms=<worst case's shown median> p95_ms=<worst case's shown p95>
#include "control/control_client.h"
#include "control/control_protocol.h"

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int warmUpRuns = 2;
// On the first output, below the overlay's hint and away from the pointer.
const QPoint probe(400, 700);

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto rank = size_t(std::ceil(fraction * double(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}
// Serves events in short turns, so that each is handled, and timed, as it comes.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        QEventLoop turn;
        QTimer::singleShot(2, &turn, &QEventLoop::quit);
        turn.exec();
    }
    return true;
}
double ms(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}
QRgb pixel(QPoint at) {
    QProcess grim;
    grim.start("grim",
               {"-g", QStringLiteral("%1,%2 1x1").arg(at.x()).arg(at.y()), "-t", "ppm", "-"});
    if (!grim.waitForFinished(10000))
        return 0;
    const QImage image = QImage::fromData(grim.readAllStandardOutput(), "PPM");
    return image.isNull() ? 0 : image.pixel(0, 0);
}

// Sway's events as they come, each with the moment it was read.
class SwayEvents : public QObject {
public:
    explicit SwayEvents(const QString& kinds) {
        process_.start("swaymsg", {"-r", "-m", "-t", "subscribe", kinds});
        connect(&process_, &QProcess::readyReadStandardOutput, this, [this] {
            const Clock::time_point now = Clock::now();
            while (process_.canReadLine())
                events_.push_back({now, QJsonDocument::fromJson(process_.readLine()).object()});
        });
    }
    ~SwayEvents() override {
        process_.kill();
        process_.waitForFinished();
    }
    bool started() { return process_.waitForStarted(); }
    struct Event {
        Clock::time_point at;
        QJsonObject body;
    };
    std::vector<Event>& events() { return events_; }

private:
    QProcess process_;
    std::vector<Event> events_;
};

class Bench {
public:
    Bench()
        : tovikPath_(QStringLiteral(TOVIK_EXECUTABLE)) {}

    bool start() {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
        tovik_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        tovik_.start(tovikPath_, {});
        if (!tovik_.waitForStarted() ||
            !QTest::qWaitFor([this] { return !phase().isEmpty(); }, 20000))
            return false;
        // As root the bed runs sway as another user, whose exec cannot reach this tovik: its
        // binding event starts the command here instead.
        const bool swayIsUs = QFileInfo(qEnvironmentVariable("SWAYSOCK")).ownerId() == ::getuid();
        relay_ = !swayIsUs;
        const QString command = swayIsUs ? "exec " + tovikPath_ + " capture" : "nop tovik capture";
        // The first output's colour (the session window may cover it now).
        plain_ =
            QColor(u'#' + qEnvironmentVariable("TOVIK_TEST_BACKGROUNDS").section(',', 0, 0)).rgb();
        dimmed_ = dim(plain_);
        return bindings_.started() && windows_.started() &&
               run("swaymsg", {"bindsym", "Ctrl+Shift+s", command}) &&
               run(qEnvironmentVariable("TOVIK_TEST_POINTER"), {"move", "800", "500"});
    }
    ~Bench() {
        tovik_.terminate();
        if (!tovik_.waitForFinished(5000))
            tovik_.kill();
    }

    QString phase() const {
        const QString socket = QDir(qEnvironmentVariable("XDG_RUNTIME_DIR"))
                                   .filePath(tovik::controlProtocol::socketName());
        const auto answer = tovik::sendControlCommand(socket, "status", 2s);
        return answer ? answer->value("phase").toString() : QString();
    }
    bool relayed() const { return relay_; }

    // One capture: its trigger, then the moments both overlays were mapped full screen and
    // the dimmed desktop was seen.
    std::optional<std::pair<double, double>> measure(bool key) {
        bindings_.events().clear();
        windows_.events().clear();
        QProcess trigger;
        Clock::time_point started = Clock::now();
        if (key) {
            trigger.start("wtype",
                          {"-M", "ctrl", "-M", "shift", "-k", "s", "-m", "shift", "-m", "ctrl"});
            if (!waitUntil([this] { return !bindings_.events().empty(); }, 10s))
                return std::nullopt;
            started = bindings_.events().front().at;
            if (relay_)
                QProcess::startDetached(tovikPath_, {"capture"});
        } else {
            trigger.start(tovikPath_, {"capture"});
        }
        std::optional<Clock::time_point> mapped, shown;
        // grim runs beside the event loop, so sway's events are timed as they come. A shot
        // shows a frame drawn after its start: the start of the first dimmed one is the time.
        QProcess grim;
        Clock::time_point shot;
        const auto shoot = [&] {
            shot = Clock::now();
            grim.start("grim", {"-g", QStringLiteral("%1,%2 1x1").arg(probe.x()).arg(probe.y()),
                                "-t", "ppm", "-"});
        };
        shoot();
        const bool done = waitUntil(
            [&] {
                if (!mapped)
                    mapped = bothFullScreen();
                if (!shown && grim.state() == QProcess::NotRunning) {
                    const QImage image = QImage::fromData(grim.readAllStandardOutput(), "PPM");
                    if (!image.isNull() && near(image.pixel(0, 0), dimmed_))
                        shown = shot;
                    else
                        shoot();
                }
                return mapped && shown;
            },
            20s);
        trigger.waitForFinished();
        if (!done)
            return std::nullopt;
        return std::make_pair(ms(started, *mapped), ms(started, *shown));
    }
    bool cancel() {
        return run("wtype", {"-k", "Escape"}) &&
               QTest::qWaitFor([this] { return phase() == "ready" && near(pixel(probe), plain_); },
                               20000);
    }

private:
    static QRgb dim(QRgb c) {
        const auto d = [](int v) { return v * (255 - 107) / 255; }; // the overlay's 0.42
        return qRgb(d(qRed(c)), d(qGreen(c)), d(qBlue(c)));
    }
    static bool near(QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3 &&
               std::abs(qBlue(a) - qBlue(b)) <= 3;
    }
    // When the second of the process's windows became full screen, if both are.
    std::optional<Clock::time_point> bothFullScreen() {
        QSet<qint64> full;
        std::optional<Clock::time_point> last;
        for (const SwayEvents::Event& event : windows_.events()) {
            const QJsonObject container = event.body.value("container").toObject();
            if (container.value("pid").toInteger() != tovik_.processId())
                continue;
            const qint64 id = container.value("id").toInteger();
            if (container.value("fullscreen_mode").toInt() == 1 && !full.contains(id)) {
                full.insert(id);
                last = event.at;
            }
        }
        return full.size() >= 2 ? last : std::nullopt;
    }

    QString tovikPath_;
    QTemporaryDir config_;
    QProcess tovik_;
    SwayEvents bindings_{"[\"binding\"]"};
    SwayEvents windows_{"[\"window\"]"};
    bool relay_ = false;
    QRgb dimmed_ = 0, plain_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const int pauseMs = argc > 2 ? std::max(0, atoi(argv[2])) : 300;
    if (qEnvironmentVariable("SWAYSOCK").isEmpty() ||
        qEnvironmentVariable("TOVIK_TEST_POINTER").isEmpty()) {
        std::fprintf(stderr, "wayland_capture_latency: run under tests/support/with_wayland.sh "
                             "with TOVIK_TEST_POINTER set\n");
        return 2;
    }
    Bench bench;
    if (!bench.start()) {
        std::fprintf(stderr, "wayland_capture_latency: tovik or the desktop did not start\n");
        return 1;
    }
    std::printf("%d runs per case, %d ms idle before each%s\n", runs, pauseMs,
                bench.relayed() ? "; sway runs as another user: its binding event is relayed" : "");
    double worstMedian = 0, worstP95 = 0;
    for (const bool key : {true, false}) {
        const char* name = key ? "key" : "command";
        std::vector<double> mapped, shown;
        for (int i = 1 - warmUpRuns; i <= runs; ++i) {
            QThread::msleep(ulong(pauseMs));
            const auto times = bench.measure(key);
            if (!times || !bench.cancel()) {
                std::fprintf(stderr,
                             "wayland_capture_latency: %s, run %d: no overlay, or Esc "
                             "did not end it\n",
                             name, i);
                return 1;
            }
            std::printf("%s %s %2d: mapped %6.1f ms, shown %6.1f ms\n", name,
                        i < 1 ? "warm-up" : "run", i, times->first, times->second);
            std::fflush(stdout);
            if (i >= 1) {
                mapped.push_back(times->first);
                shown.push_back(times->second);
            }
        }
        const double median = percentile(shown, 0.5), p95 = percentile(shown, 0.95);
        std::printf("case %-8s mapped median_ms=%.1f p95_ms=%.1f shown median_ms=%.1f "
                    "p95_ms=%.1f\n",
                    name, percentile(mapped, 0.5), percentile(mapped, 0.95), median, p95);
        worstMedian = std::max(worstMedian, median);
        worstP95 = std::max(worstP95, p95);
    }
    std::printf("latency: median_ms=%.1f p95_ms=%.1f\n", worstMedian, worstP95);
    return 0;
}
