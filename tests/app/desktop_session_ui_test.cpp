#include "app/desktop_session_ui.h"
#include "app/floating_toolbar.h"
#include "app_window_fixture.h"
#include "capture/ui/capture_draft.h"
#include "capture/ui/capture_overlay_window.h"
#include "platform/sticky_windows.h"
#include "ui/capture_button_style.h"

#include <QWindow>

namespace tovik {
namespace {

// Records whether the window was already on screen when it was made sticky.
struct FakeStickyWindows final : StickyWindows {
    QList<bool> visibleAtCall;
    bool makeSticky(QWindow& window) override {
        visibleAtCall.append(window.isVisible());
        return true;
    }
};

// A store whose windows are the real ones.
class DesktopSessionUiTest : public AppWindowFixture {
protected:
    DesktopSessionUiTest() {
        desktopUi.setStore(&desktopStore);
        desktopUi.setSessionWindow(&sessionWindow);
    }

    QList<QRect> areas{QRect(0, 0, 1920, 1080)};
    FakeStickyWindows sticky;
    DesktopSessionUi desktopUi{
        preferences, {settingsPath(), [this] { return areas; }, &sticky}, alertRunner()};
    SessionStore desktopStore{{screens, desktop, clipboard, keys, clock, desktopUi},
                              exportDir.path()};
    QWidget sessionWindow;
};

TEST_F(DesktopSessionUiTest, showToolbar_makesOneStickyPanelThatTakesNoFocus) {
    EXPECT_FALSE(desktopUi.hasToolbar());
    desktopStore.showToolbar();
    FloatingToolbarWindow* toolbar = desktopUi.toolbar();
    ASSERT_NE(toolbar, nullptr);
    EXPECT_TRUE(toolbar->isVisible());
    const Qt::WindowFlags flags = toolbar->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(toolbar->windowType(), Qt::Tool);
    EXPECT_TRUE(toolbar->testAttribute(Qt::WA_ShowWithoutActivating));

    desktopStore.showReviewWindow();
    EXPECT_FALSE(toolbar->isVisible());
    EXPECT_TRUE(sessionWindow.isVisible());
    desktopStore.showToolbar();
    EXPECT_EQ(desktopUi.toolbar(), toolbar);
    EXPECT_TRUE(toolbar->isVisible());
    EXPECT_FALSE(sessionWindow.isVisible());
    // asked before each show, while the window was not yet mapped
    EXPECT_EQ(sticky.visibleAtCall, QList<bool>({false, false}));
}

TEST_F(DesktopSessionUiTest, unfoldAndFold_keepBottomEdgeOnScreen) {
    desktopStore.showToolbar();
    FloatingToolbarWindow* toolbar = desktopUi.toolbar();
    const QRect folded = toolbar->geometry();
    ASSERT_EQ(folded, FloatingToolbarWindow::initialFrame(areas));

    desktopStore.setToolbarExpanded(true);
    EXPECT_EQ(toolbar->geometry(), QRect(folded.x(), folded.bottom() - 221, 320, 222));
    desktopStore.setToolbarExpanded(false);
    EXPECT_EQ(toolbar->geometry(), folded);

    // on a short screen the unfolded panel is pushed back inside
    toolbar->move(0, 0);
    desktopStore.setToolbarExpanded(true);
    EXPECT_EQ(toolbar->geometry(), QRect(0, 0, 320, 222));
}

TEST_F(DesktopSessionUiTest, confirmedCapture_showsToolbarWithIt) {
    desktopStore.startOrCapture();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !desktopStore.overlays().empty(); }));
    auto* overlay = dynamic_cast<CaptureOverlayWindow*>(desktopStore.overlays().front().get());
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(overlay->isVisible());
    overlay->draft()->setSelection(QRectF(20, 20, 200, 100));
    overlay->confirm();

    ASSERT_TRUE(QTest::qWaitFor([this] { return desktopStore.phase() == Phase::monitoring; }));
    ASSERT_TRUE(desktopUi.hasToolbar());
    EXPECT_TRUE(desktopUi.toolbar()->isVisible());
    EXPECT_EQ(
        desktopUi.toolbar()->findChild<CaptureButtonStyle*>(QStringLiteral("stripToggle"))->text(),
        QStringLiteral("1"));
}

TEST_F(DesktopSessionUiTest, alert_isModalAndOnTop_bypassesWindowManagerOnlyOverOverlays) {
    desktopUi.runAlert(QStringLiteral("Couldn\u2019t paste"), QStringLiteral("The app is gone."));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].text, QStringLiteral("Couldn\u2019t paste"));
    EXPECT_EQ(alerts[0].informativeText, QStringLiteral("The app is gone."));
    EXPECT_EQ(alerts[0].modality, Qt::ApplicationModal);
    EXPECT_TRUE(alerts[0].flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(alerts[0].flags.testFlag(Qt::X11BypassWindowManagerHint));

    std::unique_ptr<OverlayWindow> overlay =
        desktopUi.createOverlay(testing::flatSnapshot(800, 600), 1, {});
    overlay->show();
    desktopUi.runAlert(QStringLiteral("Capture couldn\u2019t be saved"), QString());
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_TRUE(alerts[1].flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(alerts[1].flags.testFlag(Qt::X11BypassWindowManagerHint));
    overlay->close();
}

} // namespace
} // namespace tovik
