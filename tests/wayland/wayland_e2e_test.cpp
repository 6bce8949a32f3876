// The tovik executable end to end on the private Wayland desktop of
// tests/support/with_wayland.sh: a pattern on each output, the capture started by a sway key
// binding and by `tovik capture`, overlays on both outputs, a region with a pen stroke and a
// comment, and the toolbar's Paste, which on Wayland puts everything on the clipboard.
#include "capture/ui/capture_canvas.h"
#include "capture/ui/capture_overlay_window.h"
#include "control/control_client.h"
#include "control/control_protocol.h"
#include "shortcuts/shortcut_preferences.h"
#include "support/control_places.h"
#include "support/run_tool.h"
#include "support/store_fixture.h"
#include "support/tovik_process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QUrl>

#include <csignal>
#include <unistd.h>

namespace tovik {
namespace {

using namespace std::chrono_literals;

QString num(int value) {
    return QString::number(value);
}

// The desktop's outputs, HEADLESS-1 and on, as with_wayland.sh made them.
struct TestScreen {
    QString name;
    QRect geometry;
};
QList<TestScreen> testScreens() {
    QList<TestScreen> screens;
    for (const QString& geometry : qEnvironmentVariable("TOVIK_TEST_SCREENS").split(',')) {
        const QStringList n = geometry.split(QRegularExpression("[x+]"));
        if (n.size() != 4)
            return {};
        screens.append({QStringLiteral("HEADLESS-%1").arg(screens.size() + 1),
                        QRect(n[2].toInt(), n[3].toInt(), n[0].toInt(), n[1].toInt())});
    }
    return screens;
}

// Pointer input through tovik_test_pointer, in layout coordinates: steps such as
// {"move", "10", "20", "press", "release"}; true once the compositor has taken them.
bool pointer(const QStringList& steps) {
    return runTool(qEnvironmentVariable("TOVIK_TEST_POINTER"), steps).exitCode == 0;
}

// The pattern on output `index`: neighbouring pixels differ, and no shift or other output
// gives the same colours, so a crop matches it only from the right place at the right scale.
QRgb pattern(int index, QPoint at) {
    return qRgb((at.x() * 5) & 0xff, (at.y() * 5) & 0xff,
                ((at.x() >> 8) | (at.y() >> 8) << 3) + index * 64);
}
// What the overlay shows over it.
QRgb dimmed(QRgb colour) {
    const int alpha = qRound(CaptureCanvas::dimmingAlpha * 255);
    const auto dim = [alpha](int c) { return c * (255 - alpha) / 255; };
    return qRgb(dim(qRed(colour)), dim(qGreen(colour)), dim(qBlue(colour)));
}
bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// What the outputs show, through grim, in layout coordinates from 0,0.
QImage screenshot() {
    const ToolResult shot = runTool("grim", {"-t", "ppm", "-"});
    return shot.exitCode == 0 ? QImage::fromData(shot.output, "PPM") : QImage();
}
// Whether `screen` shows `expected` (a function of the output's own coordinates) at points
// spread over its lower part, under the overlay's hint and away from the pointer's corner.
bool shows(const TestScreen& screen, int index, const std::function<QRgb(QRgb)>& expected) {
    const QImage shot = screenshot();
    const QRect area = screen.geometry;
    for (const QPoint at : {QPoint(40, area.height() / 2), QPoint(area.width() / 3, 500),
                            QPoint(area.width() - 200, area.height() - 30)}) {
        if (shot.isNull() ||
            !near(shot.pixel(area.topLeft() + at), expected(pattern(index, at)), 2))
            return false;
    }
    return true;
}

struct SwayWindow {
    QRect content;
    bool fullscreen = false;
};
void collectWindows(const QJsonObject& node, qint64 pid, QList<SwayWindow>& windows) {
    if (node.value("pid").toInteger(-1) == pid && node.value("visible").toBool()) {
        const QJsonObject rect = node.value("rect").toObject();
        const QJsonObject window = node.value("window_rect").toObject();
        windows.append({QRect(rect.value("x").toInt() + window.value("x").toInt(),
                              rect.value("y").toInt() + window.value("y").toInt(),
                              window.value("width").toInt(), window.value("height").toInt()),
                        node.value("fullscreen_mode").toInt() != 0});
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(children).toArray())
            collectWindows(child.toObject(), pid, windows);
    }
}
// The windows of process `pid` that sway shows.
QList<SwayWindow> windowsOf(qint64 pid) {
    const ToolResult tree = runTool("swaymsg", {"-r", "-t", "get_tree"});
    QList<SwayWindow> windows;
    if (tree.exitCode == 0)
        collectWindows(QJsonDocument::fromJson(tree.output).object(), pid, windows);
    return windows;
}

bool key(const QStringList& arguments) {
    return runTool("wtype", arguments).exitCode == 0;
}
bool moveTo(QPoint at) {
    return pointer({"move", num(at.x()), num(at.y())});
}
bool click(QPoint at) {
    return moveTo(at) && pointer({"press", "release"});
}
bool drag(QPoint from, QPoint to) {
    const QPoint middle = (from + to) / 2;
    return pointer({"move", num(from.x()), num(from.y()), "press", "move", num(middle.x()),
                    num(middle.y()), "move", num(to.x()), num(to.y()), "release"});
}

class WaylandEndToEnd : public StoreFixture {
protected:
    static void SetUpTestSuite() {
        // Images of the outputs' exact sizes: swaybg stretches them by nothing.
        static QTemporaryDir folder;
        const QList<TestScreen> screens = testScreens();
        ASSERT_EQ(screens.size(), 2);
        for (int i = 0; i < screens.size(); ++i) {
            QImage image(screens[i].geometry.size(), QImage::Format_RGB32);
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x)
                    image.setPixel(x, y, pattern(i, {x, y}));
            }
            const QString file = folder.filePath(QStringLiteral("pattern-%1.png").arg(i));
            ASSERT_TRUE(image.save(file));
            ASSERT_EQ(
                runTool(QStringLiteral(TOVIK_WAYLAND_BACKGROUND), {screens[i].name, file}).exitCode,
                0);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return shows(screens[i], i, [](QRgb c) { return c; }); }, 20000))
                << screens[i].name.toStdString();
        }
    }
    void SetUp() override {
        screens = testScreens();
        places = controlPlaces(store, exportDir.filePath(QStringLiteral("tovik.conf")));
        ASSERT_TRUE(tovik.start());
    }
    void TearDown() override { EXPECT_EQ(tovik.running() ? tovik.waitForExit(true) : 0, 0); }

    // Both overlays full screen, each on its output.
    bool waitForOverlays() {
        return QTest::qWaitFor(
            [&] {
                QList<QRect> covered;
                for (const SwayWindow& w : windowsOf(tovik.pid())) {
                    if (w.fullscreen)
                        covered.append(w.content);
                }
                return covered.size() == 2 && covered.contains(screens[0].geometry) &&
                       covered.contains(screens[1].geometry);
            },
            20000);
    }
    std::optional<QRect> waitForToolbar() {
        std::optional<QRect> found;
        (void)QTest::qWaitFor(
            [&] {
                for (const SwayWindow& w : windowsOf(tovik.pid()))
                    found =
                        w.content.size() == SessionStore::toolbarSize(false) ? w.content : found;
                return found.has_value();
            },
            20000);
        return found;
    }

    QList<TestScreen> screens;
    ControlPlaces places; // where to click, from the widgets' own layout
    TovikProcess tovik{TovikProcess::Runtime::desktops, 20s};
};

// Ctrl+Shift+S bound in sway: both outputs frozen and dimmed; Esc ends the capture. Then
// `tovik capture`, a region on the first output with a comment and a pen stroke; the
// toolbar's Paste and `tovik copy` put the files and the text on the clipboard.
TEST_F(WaylandEndToEnd, keyBindingThenCaptureCommand_overlaysFrozen_pasteCopiesEverything) {
    // As root the bed runs sway as another user, whose `exec` cannot reach this tovik's
    // socket; its binding event starts the command here instead.
    const bool swayIsUs = QFileInfo(qEnvironmentVariable("SWAYSOCK")).ownerId() == ::getuid();
    QProcess relay;
    if (!swayIsUs) {
        relay.start("swaymsg", {"-m", "-t", "subscribe", "[\"binding\"]"});
        QObject::connect(&relay, &QProcess::readyReadStandardOutput, [&relay] {
            if (relay.readAllStandardOutput().contains("tovik capture"))
                QProcess::startDetached(QStringLiteral(TOVIK_EXECUTABLE), {"capture"});
        });
        ASSERT_TRUE(relay.waitForStarted());
    }
    const auto stopRelay = qScopeGuard([&relay] {
        relay.kill();
        relay.waitForFinished();
    });
    const QString command =
        swayIsUs ? "exec " + QStringLiteral(TOVIK_EXECUTABLE) + " capture" : "nop tovik capture";
    ASSERT_EQ(runTool("swaymsg", {"bindsym", "Ctrl+Shift+s", command}).exitCode, 0);
    ASSERT_TRUE(moveTo(screens[0].geometry.center()));

    ASSERT_TRUE(key({"-M", "ctrl", "-M", "shift", "-k", "s", "-m", "shift", "-m", "ctrl"}));
    ASSERT_TRUE(tovik.waitForPhase("capturing"));
    ASSERT_TRUE(waitForOverlays());
    EXPECT_TRUE(QTest::qWaitFor([&] { return shows(screens[0], 0, dimmed); }, 20000));
    // Sway 1.7 on headless outputs may keep an output away from the pointer on its last
    // frame until something there is redrawn; the pointer's visit redraws the overlay.
    ASSERT_TRUE(moveTo(screens[1].geometry.center()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shows(screens[1], 1, dimmed); }, 20000));

    ASSERT_TRUE(key({"-k", "Escape"}));
    ASSERT_TRUE(tovik.waitForPhase("ready"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return windowsOf(tovik.pid()).isEmpty(); }, 20000));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return shows(screens[1], 1, [](QRgb c) { return c; }); }, 20000));

    const QString comment = QStringLiteral("Align the header");
    ASSERT_EQ(TovikProcess::run({"capture"}).exitCode, 0);
    ASSERT_TRUE(tovik.waitForPhase("capturing"));
    ASSERT_TRUE(waitForOverlays());

    const QRect selection(QPoint(300, 250), QPoint(899, 649));
    ASSERT_TRUE(drag(selection.topLeft(), selection.bottomRight() + QPoint(1, 1)));
    // The other overlay goes once a region is chosen.
    ASSERT_TRUE(QTest::qWaitFor([&] { return windowsOf(tovik.pid()).size() == 1; }, 20000));
    ASSERT_TRUE(key({"-d", "10", comment}));
    const QRectF panel =
        CaptureOverlayWindow::editorFrame(QSizeF(screens[0].geometry.size()), QRectF(selection));
    ASSERT_TRUE(click(panel.topLeft().toPoint() + places.pen));
    const int strokeY = 450;
    ASSERT_TRUE(drag({400, strokeY}, {800, strokeY}));
    ASSERT_TRUE(key({"-M", "ctrl", "-k", "Return", "-m", "ctrl"}));
    ASSERT_TRUE(tovik.waitForPhase("monitoring"));
    const QJsonArray captures = tovik.status().value("captures").toArray();
    ASSERT_EQ(captures.size(), 1);
    EXPECT_EQ(captures[0]["instruction"].toString(), comment);

    // The click is also the input that lets tovik take the clipboard.
    const std::optional<QRect> toolbar = waitForToolbar();
    ASSERT_TRUE(toolbar);
    // Clicked once the user can see it: sway drops a click that comes within moments of
    // the toolbar's mapping (Qt gets the pointer's entry, no button).
    const QPoint background = toolbar->topLeft() + places.paste - QPoint(40, 0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QColor c = screenshot().pixelColor(background);
            return c.red() < 60 && c.green() < 60 && c.blue() < 60;
        },
        20000));
    ASSERT_TRUE(click(toolbar->topLeft() + places.paste));
    const QStringList types{"text/uri-list", "x-special/gnome-copied-files",
                            "text/plain;charset=utf-8", "text/plain"};
    const auto offered = [&] {
        const QList<QByteArray> listed = runTool("wl-paste", {"--list-types"}).output.split('\n');
        return std::all_of(types.begin(), types.end(),
                           [&](const QString& type) { return listed.contains(type.toUtf8()); });
    };
    ASSERT_TRUE(QTest::qWaitFor(offered, 20000));
    // Nobody can send the keys on Wayland: the notice says to.
    const ToolResult pasted = TovikProcess::run({"paste"});
    EXPECT_EQ(pasted.exitCode, 0);
    EXPECT_TRUE(pasted.output.contains("Press Ctrl+V")) << pasted.output.constData();
    const ToolResult copied = TovikProcess::run({"copy"});
    ASSERT_EQ(copied.exitCode, 0) << copied.output.constData();
    ASSERT_TRUE(offered());

    QStringList files;
    for (const QByteArray& line : runTool("wl-paste", {"-t", "text/uri-list"}).output.split('\n')) {
        if (!line.trimmed().isEmpty())
            files.append(QUrl(QString::fromUtf8(line.trimmed())).toLocalFile());
    }
    ASSERT_EQ(files.size(), 2);
    ASSERT_EQ(QFileInfo(files[0]).fileName(), "tovik-001.png");
    ASSERT_EQ(QFileInfo(files[1]).fileName(), "feedback.md");
    QFile feedback(files[1]);
    ASSERT_TRUE(feedback.open(QIODevice::ReadOnly));
    EXPECT_TRUE(feedback.readAll().contains(comment.toUtf8()));
    QFile annotations(QFileInfo(files[1]).dir().filePath("annotations.json"));
    ASSERT_TRUE(annotations.open(QIODevice::ReadOnly));
    const QJsonObject annotation =
        QJsonDocument::fromJson(annotations.readAll()).array()[0].toObject();
    EXPECT_EQ(annotation["displayName"].toString(), screens[0].name);
    const QJsonObject crop = annotation["crop"].toObject();
    const QRect cut(crop["x"].toInt(), crop["y"].toInt(), crop["width"].toInt(),
                    crop["height"].toInt());
    EXPECT_EQ(cut, selection);

    // The dragged region of the pattern, pixel for pixel, but for the pen stroke and the
    // number badge in its top-left corner.
    const QImage capture = QImage(files[0]).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(capture.size(), selection.size());
    int wrong = 0, checked = 0;
    for (int y = 0; y < capture.height(); ++y) {
        for (int x = 0; x < capture.width(); ++x) {
            const QPoint at = selection.topLeft() + QPoint(x, y);
            if (std::abs(at.y() - strokeY) < 12 || (x < 60 && y < 40))
                continue;
            ++checked;
            wrong += !near(capture.pixel(x, y), pattern(0, at), 1);
        }
    }
    EXPECT_GT(checked, selection.width() * selection.height() * 9 / 10);
    EXPECT_EQ(wrong, 0);
    // The stroke is there, in the marks' orange.
    const QColor stroke = capture.pixelColor(200, strokeY - selection.top());
    EXPECT_TRUE(stroke.red() > 200 && stroke.green() > 60 && stroke.green() < 150 &&
                stroke.blue() < 100)
        << stroke.name().toStdString();
}

} // namespace
} // namespace tovik
