#include "capture/ui/capture_draft.h"
#include "capture/ui/capture_editor.h"
#include "capture/ui/capture_overlay_window.h"

#include "capture/ui/display_snapshots.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace tovik {
namespace {

// Real X input through XTest, on the suite's private server.
bool xdotool(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

class OverlayX11Test : public ::testing::Test {
protected:
    QLineEdit other; // a normal window that had the keyboard before the capture
    std::unique_ptr<CaptureOverlayWindow> overlay;
    QList<QString> comments;
    int cancels = 0;

    void SetUp() override {
        other.setWindowTitle(QStringLiteral("Receiver"));
        other.resize(300, 40);
        other.show();
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));

        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        OverlayCallbacks callbacks;
        callbacks.confirm = [this](const QRectF&, const QString& comment, const QList<PenStroke>&) {
            comments.append(comment);
        };
        callbacks.cancel = [this] { ++cancels; };
        overlay = std::make_unique<CaptureOverlayWindow>(
            testing::flatSnapshot(screen.width(), screen.height()), 1, std::move(callbacks));
        overlay->show();
        overlay->makeKey();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(overlay.get()));
        // Qt hands grabbed keys to its focus window, which is the receiver until the overlay's
        // focus-in arrives: a person's first key comes later than that, xdotool's need not.
        ASSERT_TRUE(QTest::qWaitForWindowActive(overlay.get()));
    }

    void TearDown() override {
        if (overlay)
            overlay->close();
    }
};

TEST_F(OverlayX11Test, coversTheScreenAndTakesTypedKeysFromTheFocusedWindow) {
    EXPECT_EQ(overlay->frame(), QGuiApplication::primaryScreen()->geometry());
    ASSERT_TRUE(xdotool({"mousemove", "200", "200", "mousedown", "1", "mousemove", "400", "300",
                         "mousemove", "600", "500", "mouseup", "1"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlay->editor() != nullptr; }));
    EXPECT_EQ(overlay->draft()->selection(), QRectF(200, 200, 400, 300));

    ASSERT_TRUE(xdotool({"type", "--delay", "30", "hi there"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return overlay->draft()->comment() == "hi there"; }))
        << overlay->draft()->comment().toStdString();
    ASSERT_TRUE(xdotool({"key", "ctrl+Return"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !comments.isEmpty(); }));
    EXPECT_EQ(comments.first(), QStringLiteral("hi there"));
    EXPECT_TRUE(other.text().isEmpty());
}

TEST_F(OverlayX11Test, escapeCancelsBeforeAnyRegion) {
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return cancels == 1; }));
}

TEST_F(OverlayX11Test, keysStillArriveAfterAnotherClientTakesTheFocus) {
    // What a window manager's focus-stealing prevention or a popping-up program does.
    QProcess thief;
    thief.start(QStringLiteral("xmessage"), {QStringLiteral("focus thief")});
    ASSERT_TRUE(thief.waitForStarted());
    ASSERT_TRUE(xdotool({"search", "--sync", "--classname", "xmessage", "windowfocus", "--sync"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !overlay->isActiveWindow(); }));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return cancels == 1; }));
    thief.kill();
    thief.waitForFinished();
}

TEST_F(OverlayX11Test, keyboardReturnsToOtherWindowsOnceClosed) {
    overlay->close();
    overlay.reset();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    ASSERT_TRUE(xdotool({"type", "--delay", "30", "ok"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return other.text() == "ok"; }));
}

// Two monitors side by side: each overlay covers its own, and a drag that starts on one stays
// on it however far the pointer goes.
TEST(OverlayX11TwoMonitors, eachCoversItsMonitorAndDragsStayOnTheStartingOne) {
    const QSize size = QGuiApplication::primaryScreen()->size();
    const QString half = QStringLiteral("%1/0x%2/0").arg(size.width() / 2).arg(size.height());
    ASSERT_EQ(QProcess::execute(QStringLiteral("xrandr"),
                                {"--setmonitor", "left", half + "+0+0", "screen"}),
              0);
    ASSERT_EQ(QProcess::execute(QStringLiteral("xrandr"),
                                {"--setmonitor", "right",
                                 half + QStringLiteral("+%1+0").arg(size.width() / 2), "none"}),
              0);
    ASSERT_TRUE(QTest::qWaitFor([] { return QGuiApplication::screens().size() == 2; }));

    std::vector<std::unique_ptr<CaptureOverlayWindow>> overlays;
    for (QScreen* screen : QGuiApplication::screens()) {
        DisplaySnapshot snapshot =
            testing::flatSnapshot(screen->geometry().width(), screen->geometry().height());
        snapshot.screen.geometry = screen->geometry();
        snapshot.screen.name = screen->name();
        overlays.push_back(std::make_unique<CaptureOverlayWindow>(snapshot, 1, OverlayCallbacks{}));
        overlays.back()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(overlays.back().get()));
        EXPECT_EQ(overlays.back()->frame(), screen->geometry());
        EXPECT_EQ(overlays.back()->windowHandle()->screen(), screen);
    }
    const auto right = std::find_if(overlays.begin(), overlays.end(),
                                    [](const auto& o) { return o->frame().x() > 0; });
    ASSERT_NE(right, overlays.end());
    const int left = (*right)->frame().x();
    ASSERT_TRUE(xdotool({"mousemove", QString::number(left + 100), "200", "mousedown", "1",
                         "mousemove", QString::number(left - 300), "300", "mousemove",
                         QString::number(left - 400), "400", "mouseup", "1"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return (*right)->editor() != nullptr; }));
    EXPECT_EQ((*right)->draft()->selection(), QRectF(0, 200, 100, 200));
    for (const auto& overlay : overlays)
        overlay->close();
    QProcess::execute(QStringLiteral("xrandr"), {"--delmonitor", "right"});
    QProcess::execute(QStringLiteral("xrandr"), {"--delmonitor", "left"});
}

} // namespace
} // namespace tovik
