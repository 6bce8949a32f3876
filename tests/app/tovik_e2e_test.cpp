// The tovik executable end to end on the private X server with Openbox (the paste under
// xfwm4 too), driven through xdotool, the tray, the command line, the control socket and
// what the X server shows.
#include "app/capture_row.h"
#include "app/session_window.h"
#include "capture/ui/capture_overlay_window.h"
#include "control/control_client.h"
#include "platform/x11_test_env.h"
#include "shortcuts/shortcut_preferences.h"
#include "support/control_places.h"
#include "support/store_fixture.h"
#include "support/tovik_process.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QUrl>

#include <csignal>
#include <unistd.h>

namespace tovik {
namespace {

using namespace x11test;

constexpr QSize monitorSize(1280, 1440);
constexpr QSize foldedToolbar(320, 56), unfoldedToolbar(320, 222), sessionWindow(900, 640);
constexpr QPoint rightMonitor(1280, 0); // under the pointer when the hot key is pressed

QString num(int value) {
    return QString::number(value);
}

struct XWindow {
    quint32 id = 0;
    QRect geometry;
};

// The viewable windows of a process of this size, as the X server has them (xdotool's own
// geometry counts a window manager's frame twice); of an empty size, its tray icon (48 × 48 at
// most).
QList<XWindow> windowsOf(qint64 pid, QSize size) {
    QList<XWindow> windows;
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root;
    for (const QByteArray& id :
         runTool("xdotool", {"search", "--all", "--onlyvisible", "--pid", num(pid), ""})
             .output.split('\n')) {
        const xcb_window_t window = id.toUInt();
        if (!window)
            continue;
        auto* g = xcb_get_geometry_reply(conn, xcb_get_geometry(conn, window), nullptr);
        auto* origin = xcb_translate_coordinates_reply(
            conn, xcb_translate_coordinates(conn, window, root, 0, 0), nullptr);
        const QSize s = g ? QSize(g->width, g->height) : QSize();
        if (g && origin && (size.isEmpty() ? s.width() <= 48 && s.height() <= 48 : s == size))
            windows.append({window, QRect(QPoint(origin->dst_x, origin->dst_y), s)});
        std::free(g);
        std::free(origin);
    }
    xcb_disconnect(conn);
    return windows;
}
// Waits until the process shows `count` windows of this size.
bool waitForCount(qint64 pid, QSize size, int count) {
    return QTest::qWaitFor([&] { return windowsOf(pid, size).size() == count; }, 5000);
}
std::optional<XWindow> waitForWindow(qint64 pid, QSize size) {
    QList<XWindow> found;
    (void)QTest::qWaitFor([&] { return !(found = windowsOf(pid, size)).isEmpty(); }, 5000);
    return found.isEmpty() ? std::nullopt : std::optional(found.last());
}

bool drag(QPoint from, QPoint to) {
    const QPoint middle = (from + to) / 2;
    return xdotool({"mousemove", num(from.x()), num(from.y()), "mousedown", "1", "mousemove",
                    num(middle.x()), num(middle.y()), "mousemove", num(to.x()), num(to.y()),
                    "mouseup", "1"});
}
bool clickAt(QPoint point) {
    return xdotool({"mousemove", num(point.x()), num(point.y()), "click", "1"});
}

// The screen's pixels in `wanted`, saved into the artefacts folder for a person to look at.
QImage screenshot(const QRect& wanted, const QString& name) {
    const QImage image = rootPixels(wanted);
    // scripts/screenshots.sh takes the README's pictures from here.
    const QString folder =
        qEnvironmentVariable("TOVIK_ARTIFACTS_DIR", QStringLiteral(TOVIK_ARTIFACTS_DIR));
    QDir().mkpath(folder);
    EXPECT_TRUE(image.save(folder + QLatin1Char('/') + name)) << name.toStdString();
    return image;
}

class TovikEndToEnd : public StoreFixture {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(splitIntoTwoMonitors());
        // A desktop of one colour, so that the dimming shows in the screenshots.
        ASSERT_EQ(runTool("xsetroot", {"-solid", "#4f7f9f"}).exitCode, 0);
    }
    // Where tovik draws its controls, read off the same widgets laid out here.
    void SetUp() override {
        const QString settingsPath = exportDir.filePath(QStringLiteral("tovik.conf"));
        places = controlPlaces(store, settingsPath);
        ShortcutPreferences preferences(settingsPath);

        // The session window with the two captures of the review test.
        addCapture({10, 10, 200, 120}, firstNote);
        addCapture({10, 10, 200, 120}, secondNote);
        SessionWindow window(store, preferences);
        window.setAttribute(Qt::WA_DontShowOnScreen);
        window.show();
        QCoreApplication::processEvents();
        const QList<CaptureRow*> rows = window.findChildren<CaptureRow*>();
        firstRow =
            rows.isEmpty() ? QPoint(-1, -1) : rows[0]->mapTo(&window, rows[0]->rect().center());
        commentEditor = centreOf(window, "commentEditor");
        copyAll = centreOf(window, "copyAllButton");
    }
    // Every test ends with the orderly quit the desktop session asks for (SIGTERM).
    void TearDown() override { EXPECT_EQ(tovik.running() ? tovik.waitForExit(true) : 0, 0); }

    // Presses the hot key with the pointer on the right monitor and waits for both overlays.
    void pressHotKey() {
        ASSERT_TRUE(
            xdotool({"mousemove", num(rightMonitor.x() + 640), "700", "key", "ctrl+shift+s"}));
        ASSERT_TRUE(tovik.waitForPhase("capturing"));
        ASSERT_TRUE(waitForCount(tovik.pid(), monitorSize, 2));
    }
    // Selects on the right monitor; the other overlay goes.
    void select(const QRect& selection) {
        ASSERT_TRUE(
            drag(selection.topLeft() + rightMonitor, selection.bottomRight() + rightMonitor));
        ASSERT_TRUE(waitForCount(tovik.pid(), monitorSize, 1));
    }

    // One capture with a comment on the right monitor, confirmed.
    void captureWithComment(const QString& comment) {
        pressHotKey();
        select(QRect(200, 300, 400, 250));
        ASSERT_TRUE(xdotool({"type", "--delay", "20", comment}));
        ASSERT_TRUE(xdotool({"key", "ctrl+Return"}));
        ASSERT_TRUE(tovik.waitForPhase("monitoring"));
    }
    QStringList instructions() const {
        QStringList list;
        for (const QJsonValue& capture : tovik.status().value("captures").toArray())
            list.append(capture["instruction"].toString());
        return list;
    }

    const QString firstNote = QStringLiteral("First note"), secondNote = QStringLiteral("Second");
    ControlPlaces places;
    QPoint firstRow, commentEditor, copyAll; // where to click
    TovikProcess tovik;
};

// Hot key to toolbar, whose Paste pastes the images, then the text, into the receiver
// without ever taking the focus from it.
TEST_F(TovikEndToEnd, hotKey_captureWithPenAndComment_toolbarPastesIntoTheReceiver) {
    ASSERT_TRUE(tovik.start());
    PasteReceiver receiver;
    ASSERT_TRUE(receiver.start());

    pressHotKey();
    const QRect selection(200, 300, 500, 350);
    select(selection);
    ASSERT_TRUE(xdotool({"type", "--delay", "20", "Move the button left"}));
    const QRectF panel = CaptureOverlayWindow::editorFrame(QSizeF(monitorSize), QRectF(selection));
    ASSERT_TRUE(clickAt(rightMonitor + panel.topLeft().toPoint() + places.pen));
    ASSERT_TRUE(drag(rightMonitor + QPoint(300, 400), rightMonitor + QPoint(520, 400)));
    QTest::qWait(300);
    const QImage overlay =
        screenshot(QRect(rightMonitor, monitorSize), "e2e-overlay-selection-editor.png");
    // The pen drew inside the selection, in the marks' orange.
    const QColor stroke = overlay.pixelColor(410, 400);
    EXPECT_TRUE(stroke.red() > 200 && stroke.green() > 60 && stroke.green() < 150 &&
                stroke.blue() < 100)
        << stroke.name().toStdString();

    ASSERT_TRUE(xdotool({"key", "ctrl+Return"}));
    ASSERT_TRUE(tovik.waitForPhase("monitoring"));
    EXPECT_EQ(instructions(), QStringList{"Move the button left"});
    EXPECT_TRUE(waitForCount(tovik.pid(), monitorSize, 0));

    const std::optional<XWindow> toolbar = waitForWindow(tovik.pid(), foldedToolbar);
    ASSERT_TRUE(toolbar);
    // On every desktop (Openbox has no sticky state) and above the other windows.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const QByteArray hints = runTool("xprop", {"-id", QString::number(toolbar->id),
                                                   "_NET_WM_DESKTOP", "_NET_WM_STATE"})
                                     .output;
        return hints.contains("4294967295") && hints.contains("_NET_WM_STATE_ABOVE");
    }));
    // The capture gives the focus back to the application it came from.
    OtherClient client;
    ASSERT_TRUE(waitForActiveApp(client, receiver.app().pid));
    const std::optional<AppRef> before = client.activeApp();
    // A click on the background between the strip toggle and Paste does nothing, so any
    // change of the active window would be the panel taking the focus.
    ASSERT_TRUE(clickAt(toolbar->geometry.topLeft() +
                        QPoint((places.stripToggle.x() + places.paste.x()) / 2, places.paste.y())));
    QTest::qWait(300);
    EXPECT_EQ(client.activeApp(), before);
    EXPECT_TRUE(client.hasFocus(before->window));

    // The receiver still named active, the focus on no window: how xfwm4 left a browser after
    // a capture. The paste gives the keyboard back before it sends the keys.
    client.dropFocus();
    ASSERT_TRUE(clickAt(toolbar->geometry.topLeft() + places.paste));
    ASSERT_TRUE(receiver.waitForPastes(2));
    const QList<QJsonObject> pastes = receiver.pastes();
    ASSERT_EQ(pastes.size(), 2);
    EXPECT_TRUE(pastes[0]["uris"].toString().contains("/tovik-001.png"));
    EXPECT_FALSE(pastes[0]["uris"].toString().contains("feedback.md"));
    EXPECT_TRUE(pastes[1]["uris"].toString().isEmpty());
    EXPECT_TRUE(pastes[1]["text"].toString().contains("tovik-001.png"));
    EXPECT_TRUE(pastes[1]["text"].toString().contains("Move the button left"));
    EXPECT_EQ(client.activeApp(), before);

    ASSERT_TRUE(clickAt(toolbar->geometry.topLeft() + places.stripToggle));
    const std::optional<XWindow> unfolded = waitForWindow(tovik.pid(), unfoldedToolbar);
    ASSERT_TRUE(unfolded);
    QTest::qWait(200);
    screenshot(unfolded->geometry.adjusted(-40, -40, 40, 40), "e2e-toolbar-unfolded.png");
}

// A first capture abandoned at once stops the session, which hides the session window. Then
// two captures reviewed in the session window: a comment edited there reaches the files Copy
// all exports (removal and the prompt: the session window's widget tests). Quit by command line.
TEST_F(TovikEndToEnd, escapeOnFirstCapture_thenSessionWindowReviewEditCopy_quitByCommandLine) {
    ASSERT_TRUE(tovik.start());
    ASSERT_TRUE(waitForWindow(tovik.pid(), sessionWindow));
    pressHotKey();
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    ASSERT_TRUE(tovik.waitForPhase("ready"));
    EXPECT_TRUE(waitForCount(tovik.pid(), monitorSize, 0));
    ASSERT_TRUE(waitForCount(tovik.pid(), sessionWindow, 0));
    EXPECT_TRUE(waitForCount(tovik.pid(), foldedToolbar, 0));
    EXPECT_TRUE(instructions().isEmpty());

    captureWithComment(firstNote);
    captureWithComment(secondNote);
    ASSERT_EQ(TovikProcess::run({}).exitCode, 0); // a second launch brings the window back
    const std::optional<XWindow> window = waitForWindow(tovik.pid(), sessionWindow);
    ASSERT_TRUE(window);
    QTest::qWait(300);
    screenshot(window->geometry, "session-window-captures.png");

    ASSERT_TRUE(clickAt(window->geometry.topLeft() + firstRow));
    ASSERT_TRUE(clickAt(window->geometry.topLeft() + commentEditor));
    ASSERT_TRUE(xdotool({"key", "ctrl+End", "type", "--delay", "20", " edited"}));
    const QStringList edited{firstNote + " edited", secondNote};
    ASSERT_TRUE(QTest::qWaitFor([&] { return instructions() == edited; }, 5000));

    ASSERT_TRUE(clickAt(window->geometry.topLeft() + copyAll));
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return readClipboard("text/uri-list").contains("feedback.md"); }, 5000));
    // feedback.md comes last.
    const QByteArray uris = readClipboard("text/uri-list").trimmed();
    QFile feedback(QUrl(QString::fromUtf8(uris.split('\n').last().trimmed())).toLocalFile());
    ASSERT_TRUE(feedback.open(QIODevice::ReadOnly)) << uris.toStdString();
    EXPECT_TRUE(feedback.readAll().contains("First note edited"));

    EXPECT_EQ(TovikProcess::run({"quit"}).exitCode, 0);
    EXPECT_EQ(tovik.waitForExit(), 0);
    EXPECT_FALSE(QFile::exists(tovik.socketPath()));
}

// Quit always ends the process with the session window open and its icon docked in a tray
// host: from the tray menu, from the window (Ctrl+Q) and by SIGTERM, as a desktop session
// ends it.
TEST_F(TovikEndToEnd, quit_endsTheProcessEveryTime) {
    QProcess tray; // a tray host, which its destructor ends
    tray.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                          "100", "--height", "24", "--SetDockType", "true"});
    const QStringList trayer{"search", "--onlyvisible", "--class", "trayer"};
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return xdotool(trayer); }, 5000)); // owns the tray once mapped
    for (int run = 0; run < 21; ++run) {
        ASSERT_TRUE(tovik.start());
        const std::optional<XWindow> window = waitForWindow(tovik.pid(), sessionWindow);
        const std::optional<XWindow> icon = waitForWindow(tovik.pid(), QSize());
        ASSERT_TRUE(window && icon);
        switch (run % 3) {
        case 0: // the tray menu's last item
            ASSERT_TRUE(xdotool({"mousemove", num(icon->geometry.center().x()),
                                 num(icon->geometry.center().y()), "click", "3", "sleep", "0.3",
                                 "key", "Up", "Return"}));
            break;
        case 1:
            ASSERT_TRUE(clickAt(window->geometry.center()));
            ASSERT_TRUE(xdotool({"key", "ctrl+q"}));
            break;
        case 2:
            ::kill(pid_t(tovik.pid()), SIGTERM);
            break;
        }
        ASSERT_EQ(tovik.waitForExit(), 0) << "run " << run;
    }
}

} // namespace
} // namespace tovik
