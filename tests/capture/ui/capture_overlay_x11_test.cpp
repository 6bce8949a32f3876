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

TEST_F(OverlayX11Test, keyboardReturnsToOtherWindowsOnceClosed) {
    overlay->close();
    overlay.reset();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    ASSERT_TRUE(xdotool({"type", "--delay", "30", "ok"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return other.text() == "ok"; }));
}

} // namespace
} // namespace tovik
