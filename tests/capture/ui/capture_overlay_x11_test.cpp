#include "capture/ui/capture_draft.h"
#include "capture/ui/capture_overlay_window.h"

#include "capture/ui/display_snapshots.h"
#include "platform/x11_test_env.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace tovik {
namespace {

using namespace x11test;

std::unique_ptr<CaptureOverlayWindow> openOverlay(QRect screen, OverlayCallbacks callbacks = {}) {
    DisplaySnapshot snapshot = testing::flatSnapshot(screen.width(), screen.height());
    snapshot.screen.geometry = screen;
    auto overlay = std::make_unique<CaptureOverlayWindow>(snapshot, 1, std::move(callbacks));
    overlay->show();
    return overlay;
}

struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

// The overlay takes the keyboard from the window that had it; keys reach it even after
// another client took the focus, and go back to the window once the overlay closed.
TEST(OverlayX11, keysArriveAfterAnotherClientTakesTheFocus_andAreFreeOnceClosed) {
    QLineEdit other;
    other.resize(300, 40);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    int cancels = 0;
    OverlayCallbacks callbacks;
    callbacks.cancel = [&cancels] { ++cancels; };
    auto overlay = openOverlay(QGuiApplication::primaryScreen()->geometry(), std::move(callbacks));
    overlay->makeKey();
    // Qt hands grabbed keys to its focus window, which is the receiver until the overlay's
    // focus-in arrives: a person's first key comes later than that, xdotool's need not.
    ASSERT_TRUE(QTest::qWaitForWindowActive(overlay.get()));

    // What a window manager's focus-stealing prevention or a popping-up program does.
    QProcess thief;
    thief.start("xmessage", {"focus thief"});
    ASSERT_TRUE(thief.waitForStarted());
    ASSERT_TRUE(xdotool({"search", "--sync", "--classname", "xmessage", "windowfocus", "--sync"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !overlay->isActiveWindow(); }));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return cancels == 1; }));
    thief.kill();
    thief.waitForFinished();

    overlay->close();
    overlay.reset();
    other.activateWindow();
    // Qt may count the window active again before the window manager has given it the X
    // focus, and keys typed meanwhile go nowhere: wait for the server's focus itself.
    OtherClient client;
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.hasFocus(xcb_window_t(other.winId())); }));
    ASSERT_TRUE(xdotool({"type", "--delay", "30", "ok"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return other.text() == "ok"; }))
        << other.text().toStdString();
}

// Each full-screen paint is a screen's worth of pixels on the hot key's path: showing the
// overlay and giving it the keyboard paints the frozen screen once.
TEST(OverlayX11, showingAndTakingTheKeyboardPaintsTheScreenOnce) {
    auto overlay = openOverlay(QGuiApplication::primaryScreen()->geometry());
    auto* canvas = overlay->findChild<QWidget*>(QStringLiteral("captureCanvas"));
    ASSERT_NE(canvas, nullptr);
    PaintCounter paints;
    canvas->installEventFilter(&paints);
    overlay->makeKey();
    ASSERT_TRUE(QTest::qWaitForWindowActive(overlay.get()));
    QTest::qWait(200);
    EXPECT_EQ(paints.count, 1);
}

// Two monitors side by side: each overlay covers its own, and a drag that starts on one stays
// on it however far the pointer goes.
TEST(OverlayX11TwoMonitors, eachCoversItsMonitorAndDragsStayOnTheStartingOne) {
    ASSERT_TRUE(splitIntoTwoMonitors());
    const int half = QGuiApplication::primaryScreen()->virtualSize().width() / 2;
    std::unique_ptr<CaptureOverlayWindow> overlays[2];
    for (int i = 0; i < 2; ++i) {
        QScreen* screen = QGuiApplication::screens()[i];
        overlays[i] = openOverlay(screen->geometry());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(overlays[i].get()));
        EXPECT_EQ(overlays[i]->frame(), screen->geometry());
        EXPECT_EQ(overlays[i]->windowHandle()->screen(), screen);
    }
    CaptureOverlayWindow* right = overlays[overlays[0]->frame().x() > 0 ? 0 : 1].get();
    ASSERT_EQ(right->frame().x(), half);
    const auto x = [&](int offset) { return QString::number(half + offset); };
    ASSERT_TRUE(xdotool({"mousemove", x(100), "200", "mousedown", "1", "mousemove", x(-300), "300",
                         "mousemove", x(-400), "400", "mouseup", "1"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return right->editor() != nullptr; }));
    EXPECT_EQ(right->draft()->selection(), QRectF(0, 200, 100, 200));
}

} // namespace
} // namespace tovik
