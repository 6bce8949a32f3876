// The tovik executable end to end on a private X server with Openbox: the hot key, the
// overlay, the annotation panel, the toolbar, direct paste, the tray and the control socket.
#include "e2e_driver.h"

#include "capture/ui/capture_overlay_window.h"
#include "platform/x11_test_env.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

namespace tovik::e2e {
namespace {

using x11test::OtherClient;
using x11test::PasteReceiver;

constexpr QSize monitorSize(1280, 1440);
constexpr QSize foldedToolbar(320, 56);
constexpr QSize unfoldedToolbar(320, 222);
constexpr QSize sessionWindow(900, 640);
// The monitor the pointer is on when the hot key is pressed.
constexpr int rightMonitorX = 1280;

QString num(int value) {
    return QString::number(value);
}

// A drag with the primary button through a few points, as a hand would make it.
bool drag(QPoint from, QPoint to) {
    const QPoint middle = (from + to) / 2;
    return xdotool({"mousemove", num(from.x()), num(from.y()), "mousedown", "1", "mousemove",
                    num(middle.x()), num(middle.y()), "mousemove", num(to.x()), num(to.y()),
                    "mouseup", "1"});
}

bool clickAt(QPoint point, int button = 1) {
    return xdotool({"mousemove", num(point.x()), num(point.y()), "click", num(button)});
}

int countOfSize(const QList<XWindow>& windows, QSize size) {
    return int(std::count_if(windows.begin(), windows.end(),
                             [size](const XWindow& w) { return w.geometry.size() == size; }));
}

bool isMarkOrange(QRgb pixel) {
    return qRed(pixel) > 200 && qGreen(pixel) > 60 && qGreen(pixel) < 150 && qBlue(pixel) < 100;
}

// A tray host for the tests that need the tray icon.
class Tray {
public:
    Tray() {
        process_.start(QStringLiteral("trayer"),
                       {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                        "100", "--height", "24", "--SetDockType", "true"});
        process_.waitForStarted();
        // trayer owns the tray selection once its panel is mapped.
        (void)QTest::qWaitFor(
            [] {
                return xdotool({"search", "--onlyvisible", "--class", "trayer"});
            },
            5000);
    }
    ~Tray() {
        process_.kill();
        process_.waitForFinished();
    }

private:
    QProcess process_;
};

class TovikEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(x11test::splitIntoTwoMonitors());
        setDesktopBackground(desktopPicture(QSize(2 * monitorSize.width(), monitorSize.height())));
        layout = controlLayout();
    }
    void TearDown() override {
        if (tovik.isRunning()) {
            EXPECT_EQ(tovik.stop(), 0);
        }
    }

    // Presses the hot key with the pointer at `pointer` and waits for both overlays.
    void pressHotKey(QPoint pointer = QPoint(rightMonitorX + 640, 700)) {
        ASSERT_TRUE(xdotool({"mousemove", num(pointer.x()), num(pointer.y())}));
        ASSERT_TRUE(xdotool({"key", "ctrl+shift+s"}));
        ASSERT_TRUE(tovik.waitForPhase("capturing"));
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return countOfSize(visibleWindows(tovik.pid()), monitorSize) == 2; }, 5000));
    }
    // Selects `selection` (overlay points) on the right monitor and waits until the other
    // overlay has gone.
    void select(const QRect& selection) {
        const QPoint offset(rightMonitorX, 0);
        ASSERT_TRUE(drag(selection.topLeft() + offset, selection.bottomRight() + offset));
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return countOfSize(visibleWindows(tovik.pid()), monitorSize) == 1; }, 5000));
    }
    // One capture with a comment on the right monitor, confirmed; the toolbar it leads to.
    XWindow captureWithComment(const QRect& selection, const QString& comment) {
        pressHotKey();
        select(selection);
        xdotool({"type", "--delay", "20", comment});
        xdotool({"key", "ctrl+Return"});
        EXPECT_TRUE(tovik.waitForPhase("monitoring"));
        return waitForWindowOfSize(tovik.pid(), foldedToolbar).value_or(XWindow{});
    }
    QJsonArray captures() const { return tovik.command("status").value("captures").toArray(); }

    static inline ControlLayout layout;
    TovikProcess tovik;
};

TEST_F(TovikEndToEnd, hotKey_capturesOnThePointersScreenWithPenAndComment_intoTheToolbar) {
    Tray tray;
    ASSERT_TRUE(tovik.start());
    // The tray icon docks in the tray host; the session window opens at launch.
    EXPECT_TRUE(QTest::qWaitFor(
        [this] {
            const QList<XWindow> windows = visibleWindows(tovik.pid());
            return std::any_of(windows.begin(), windows.end(), [](const XWindow& w) {
                return w.geometry.width() <= 48 && w.geometry.height() <= 48;
            });
        },
        5000));
    EXPECT_TRUE(waitForWindowOfSize(tovik.pid(), sessionWindow));

    pressHotKey();
    // The keyboard goes to the overlay of the screen under the pointer.
    const quint32 focus = focusedWindow();
    const QList<XWindow> overlays = visibleWindows(tovik.pid());
    const auto focused = std::find_if(overlays.begin(), overlays.end(),
                                      [focus](const XWindow& w) { return w.id == focus; });
    ASSERT_NE(focused, overlays.end());
    EXPECT_EQ(focused->geometry, QRect(QPoint(rightMonitorX, 0), monitorSize));

    const QRect selection(200, 300, 500, 350);
    select(selection);
    ASSERT_TRUE(xdotool({"type", "--delay", "20", "Move the button left"}));
    const QRectF panel = CaptureOverlayWindow::editorFrame(QSizeF(monitorSize), QRectF(selection));
    ASSERT_TRUE(clickAt(QPoint(rightMonitorX, 0) + panel.topLeft().toPoint() + layout.pen));
    const int strokeY = 400;
    ASSERT_TRUE(drag({rightMonitorX + 300, strokeY}, {rightMonitorX + 520, strokeY}));
    QTest::qWait(300);

    const QImage overlay = grabScreen(QRect(QPoint(rightMonitorX, 0), monitorSize));
    saveArtifact(overlay, "e2e-overlay-selection-editor.png");
    // The pen drew inside the selection, in the marks' orange.
    EXPECT_TRUE(isMarkOrange(overlay.pixel(410, strokeY)))
        << std::hex << overlay.pixel(410, strokeY);

    ASSERT_TRUE(xdotool({"key", "ctrl+Return"}));
    ASSERT_TRUE(tovik.waitForPhase("monitoring"));
    const QJsonArray list = captures();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0]["number"].toInt(), 1);
    EXPECT_EQ(list[0]["fileName"].toString(), "tovik-001.png");
    EXPECT_EQ(list[0]["instruction"].toString(), "Move the button left");
    EXPECT_EQ(countOfSize(visibleWindows(tovik.pid()), monitorSize), 0);

    const std::optional<XWindow> toolbar = waitForWindowOfSize(tovik.pid(), foldedToolbar);
    ASSERT_TRUE(toolbar);
    QTest::qWait(200);
    const QRect around = toolbar->geometry.adjusted(-40, -40, 40, 40);
    saveArtifact(grabScreen(around), "e2e-toolbar-folded.png");

    ASSERT_TRUE(clickAt(toolbar->geometry.topLeft() + layout.stripToggle));
    const std::optional<XWindow> unfolded = waitForWindowOfSize(tovik.pid(), unfoldedToolbar);
    ASSERT_TRUE(unfolded);
    QTest::qWait(200);
    saveArtifact(grabScreen(unfolded->geometry.adjusted(-40, -40, 40, 40)),
                 "e2e-toolbar-unfolded.png");
}

TEST_F(TovikEndToEnd, escapeOnTheFirstCapture_returnsToReadyWithNothingOnScreen) {
    ASSERT_TRUE(tovik.start());
    pressHotKey();
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    ASSERT_TRUE(tovik.waitForPhase("ready"));
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return countOfSize(visibleWindows(tovik.pid()), monitorSize) == 0; }, 5000));
    EXPECT_FALSE(visibleWindowOfSize(tovik.pid(), foldedToolbar));
    EXPECT_TRUE(captures().isEmpty());
}

TEST_F(TovikEndToEnd, toolbarPaste_pastesImagesThenText_andNeverTakesTheFocus) {
    ASSERT_TRUE(tovik.start());
    PasteReceiver receiver;
    ASSERT_TRUE(receiver.start());

    const XWindow toolbar = captureWithComment(QRect(100, 100, 300, 200), "Paste me");
    ASSERT_NE(toolbar.id, 0u);
    OtherClient client;
    // The capture gives the focus back to the application it came from.
    ASSERT_TRUE(x11test::waitForActiveApp(client, receiver.app().pid));
    const std::optional<AppRef> before = client.activeApp();

    // A click on the panel's background, between the strip toggle and Paste, does nothing,
    // so any change of the active window afterwards would be the panel taking the focus.
    const QPoint background((layout.stripToggle.x() + layout.paste.x()) / 2, layout.paste.y());
    ASSERT_TRUE(clickAt(toolbar.geometry.topLeft() + background));
    QTest::qWait(300);
    EXPECT_EQ(client.activeApp(), before);
    EXPECT_TRUE(client.hasFocus(before->window));

    ASSERT_TRUE(clickAt(toolbar.geometry.topLeft() + layout.paste));
    EXPECT_EQ(client.activeApp(), before);
    ASSERT_TRUE(receiver.waitForPastes(2));
    const QList<QJsonObject> pastes = receiver.pastes();
    ASSERT_EQ(pastes.size(), 2);
    EXPECT_TRUE(pastes[0]["uris"].toString().contains("/tovik-001.png"));
    EXPECT_FALSE(pastes[0]["uris"].toString().contains("feedback.md"));
    EXPECT_TRUE(pastes[1]["uris"].toString().isEmpty());
    EXPECT_TRUE(pastes[1]["text"].toString().contains("tovik-001.png"));
    EXPECT_TRUE(pastes[1]["text"].toString().contains("Paste me"));
    EXPECT_EQ(client.activeApp(), before);
}

TEST_F(TovikEndToEnd, secondLaunch_showsTheRunningInstancesSessionWindowAndExits) {
    ASSERT_TRUE(tovik.start());
    ASSERT_TRUE(waitForWindowOfSize(tovik.pid(), sessionWindow));
    // A capture abandoned at once stops the session, which hides the session window.
    pressHotKey();
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    ASSERT_TRUE(tovik.waitForPhase("ready"));
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !visibleWindowOfSize(tovik.pid(), sessionWindow); }, 5000));

    const TovikProcess::Run second = tovik.run({});
    EXPECT_EQ(second.exitCode, 0) << second.errors.constData();
    EXPECT_TRUE(waitForWindowOfSize(tovik.pid(), sessionWindow));
    EXPECT_TRUE(tovik.isRunning());
}

TEST_F(TovikEndToEnd, commandLineAndControlSocket_reachTheInstanceAndSurviveBadRequests) {
    const TovikProcess::Run alone = tovik.run({"status"});
    EXPECT_NE(alone.exitCode, 0);
    EXPECT_TRUE(alone.output.isEmpty());
    EXPECT_TRUE(alone.errors.contains("tovik is not running.")) << alone.errors.constData();

    ASSERT_TRUE(tovik.start());
    EXPECT_EQ(tovik.run({"capture"}).exitCode, 0);
    ASSERT_TRUE(tovik.waitForPhase("capturing"));
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return countOfSize(visibleWindows(tovik.pid()), monitorSize) == 2; }, 5000));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    ASSERT_TRUE(tovik.waitForPhase("ready"));

    const TovikProcess::Run status = tovik.run({"status"});
    EXPECT_EQ(status.exitCode, 0);
    const QJsonObject printed = QJsonDocument::fromJson(status.output).object();
    EXPECT_EQ(printed["phase"].toString(), "ready");
    EXPECT_TRUE(printed["captures"].isArray());

    QLocalSocket socket;
    socket.connectToServer(tovik.socketPath());
    ASSERT_TRUE(socket.waitForConnected(2000));
    socket.write("garbage\n{\"command\":\"quit\"}\n" + QByteArray(8192, '{') + "\n");
    QList<QJsonObject> answers;
    (void)QTest::qWaitFor(
        [&] {
            while (socket.canReadLine())
                answers.append(QJsonDocument::fromJson(socket.readLine()).object());
            return answers.size() == 3;
        },
        3000);
    ASSERT_EQ(answers.size(), 3);
    for (const QJsonObject& answer : answers) {
        EXPECT_FALSE(answer["ok"].toBool());
        EXPECT_FALSE(answer["error"].toString().isEmpty());
    }
    EXPECT_EQ(tovik.phase(), "ready");

    EXPECT_EQ(tovik.stop(), 0);
    EXPECT_FALSE(QFile::exists(tovik.socketPath()));
    EXPECT_NE(tovik.run({"capture"}).exitCode, 0);
}

TEST_F(TovikEndToEnd, trayMenuAndIcon_stopShowAndStartWithoutTheHotKey) {
    Tray tray;
    ASSERT_TRUE(tovik.start());
    std::optional<XWindow> icon;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const XWindow& w : visibleWindows(tovik.pid())) {
                if (w.geometry.width() <= 48 && w.geometry.height() <= 48)
                    icon = w;
            }
            return icon.has_value();
        },
        5000));
    ASSERT_TRUE(waitForWindowOfSize(tovik.pid(), sessionWindow));
    const QPoint iconCentre = icon->geometry.center();
    saveArtifact(grabScreen(icon->geometry.adjusted(-60, -4, 4, 4)), "e2e-tray-icon.png");

    // "Stop session" is the third item: it hides the session window.
    ASSERT_TRUE(clickAt(iconCentre, 3));
    QTest::qWait(300);
    ASSERT_TRUE(xdotool({"key", "Down", "Down", "Down", "Return"}));
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !visibleWindowOfSize(tovik.pid(), sessionWindow); }, 5000));

    // A click on the icon brings it back.
    ASSERT_TRUE(clickAt(iconCentre, 1));
    EXPECT_TRUE(waitForWindowOfSize(tovik.pid(), sessionWindow));

    // "Start session / capture" is the first.
    ASSERT_TRUE(clickAt(iconCentre, 3));
    QTest::qWait(300);
    ASSERT_TRUE(xdotool({"key", "Down", "Return"}));
    EXPECT_TRUE(tovik.waitForPhase("capturing"));
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return countOfSize(visibleWindows(tovik.pid()), monitorSize) == 2; }, 5000));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_TRUE(tovik.waitForPhase("ready"));
}

TEST_F(TovikEndToEnd, waylandSession_saysSoAndEndsWithoutCapturing) {
    tovik.setEnvironment("XDG_SESSION_TYPE", "wayland");
    ASSERT_TRUE(tovik.launch());
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return xdotool({"search", "--onlyvisible", "--name", "tovik needs an X11 session"});
        },
        5000));
    EXPECT_TRUE(tovik.command("status").isEmpty());
    ASSERT_TRUE(xdotool({"key", "Return"}));
    EXPECT_EQ(tovik.waitForExit(), 1);
}

} // namespace
} // namespace tovik::e2e
