// The floating toolbar, its window and placement, the session window and the store's
// window layer, on the offscreen platform.
#include "app/alert_runner.h"
#include "app/desktop_session_ui.h"
#include "app/floating_toolbar.h"
#include "app/floating_toolbar_window.h"
#include "app/session_window.h"
#include "app/toolbar_thumbnail.h"
#include "capture/ui/capture_overlay_window.h"
#include "capture/ui/display_snapshots.h"
#include "platform/sticky_windows.h"
#include "shortcuts/shortcut_preferences.h"
#include "support/store_fixture.h"
#include "ui/capture_button_style.h"

#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSettings>
#include <QSignalSpy>

namespace tovik {
namespace {

// What a test's alert runner saw of one alert.
struct AlertSeen {
    QString title, text;
    Qt::WindowModality modality = Qt::NonModal;
    Qt::WindowFlags flags;
};

// The session fixture plus private preferences, for the app's windows; the fake screen
// shows something desktop-like so that thumbnails have content.
class AppWindowFixture : public StoreFixture {
protected:
    AppWindowFixture() {
        screens.images.insert(0, testing::desktopSnapshot(800, 600).image);
        preferences.setApply([](const ShortcutBinding&) { return true; });
    }
    // Records every alert and dismisses it at once.
    AlertRunner alertRunner() {
        return [this](QMessageBox& box) {
            alerts.append({box.windowTitle(), box.text(), box.windowModality(), box.windowFlags()});
        };
    }
    template<typename T = QWidget> static T* child(const QWidget& root, const char* name) {
        return root.findChild<T*>(QString::fromLatin1(name));
    }

    QString settingsPath = exportDir.filePath(QStringLiteral("tovik.conf"));
    ShortcutPreferences preferences{settingsPath};
    QList<AlertSeen> alerts;
};

using Window = FloatingToolbarWindow;
const QRect left(0, 0, 1920, 1080), right(1920, 0, 1920, 1080);

TEST(ToolbarPlacement, repositionExamples) {
    // First launch: centred, bottom 32 above the visible area (a top panel takes 30).
    EXPECT_EQ(Window::initialFrame({QRect(0, 30, 1920, 1050), right}), QRect(800, 992, 320, 56));
    EXPECT_EQ(Window::initialFrame({}), QRect(440, 712, 320, 56));
    // Saved on a disconnected screen: inside the remaining one; overlapping none: the first.
    EXPECT_EQ(Window::placement(QRect(3000, 500, 320, 56), {left}), QPoint(1600, 500));
    EXPECT_EQ(Window::placement(QRect(-500, 2000, 320, 56), {left, QRect(1920, 0, 1280, 1024)}),
              QPoint(0, 1080 - 56));
    // Over two screens: onto the larger share; equal shares keep the screen listed first.
    EXPECT_EQ(Window::placement(QRect(1700, 500, 320, 56), {left, right}), QPoint(1600, 500));
    EXPECT_EQ(Window::placement(QRect(1800, 500, 320, 56), {left, right}), QPoint(1920, 500));
    EXPECT_EQ(Window::placement(QRect(1760, 500, 320, 56), {left, right}), QPoint(1600, 500));
    EXPECT_EQ(Window::placement(QRect(1760, 500, 320, 56), {right, left}), QPoint(1920, 500));
    // Larger than the area: keeps its left and bottom edges.
    EXPECT_EQ(Window::placement(QRect(50, 50, 320, 222), {QRect(10, 0, 300, 200)}),
              QPoint(10, -22));
    EXPECT_EQ(Window::placement(QRect(50, 50, 320, 56), {}), std::nullopt);
}

// Records whether the window was already on screen when it was made sticky.
struct FakeStickyWindows final : StickyWindows {
    QList<bool> visibleAtCall;
    bool makeSticky(QWindow& window) override {
        visibleAtCall.append(window.isVisible());
        return true;
    }
};

class ToolbarWindowTest : public AppWindowFixture {
protected:
    ToolbarWindowTest() {
        desktopUi.setStore(&desktopStore);
        desktopUi.setSessionWindow(&sessionWindow);
    }
    std::unique_ptr<Window> makeWindow() {
        return std::make_unique<Window>(
            store, preferences, Window::Environment{settingsPath, [this] { return areas; }});
    }
    QSettings settings() const { return {settingsPath, QSettings::IniFormat}; }
    // A drag with the primary button, as the window system sends it to `target`.
    static void drag(QWidget* target, QPoint from, QPoint by) {
        const std::pair<QEvent::Type, QPoint> events[] = {{QEvent::MouseButtonPress, from},
                                                          {QEvent::MouseMove, from + by},
                                                          {QEvent::MouseButtonRelease, from + by}};
        for (const auto& [type, at] : events) {
            QMouseEvent event(type, target->mapFromGlobal(QPointF(at)), QPointF(at), Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(target, &event);
        }
    }

    QList<QRect> areas{left, right};
    FakeStickyWindows sticky;
    DesktopSessionUi desktopUi{
        preferences, {settingsPath, [this] { return areas; }, &sticky}, alertRunner()};
    SessionStore desktopStore{{screens, desktop, clipboard, keys, clock, desktopUi},
                              exportDir.path()};
    QWidget sessionWindow;
};

TEST_F(ToolbarWindowTest,
       savedPosition_restoredOntoARemainingScreen_corruptIgnored_dragOnBackgroundSaved) {
    settings().setValue(Window::settingsKey, QPoint(2500, 300));
    store.setToolbarExpanded(true);
    areas = {left};
    // At the remaining screen's right edge, at the saved height; the size is never restored.
    EXPECT_EQ(makeWindow()->geometry(), QRect(1920 - 320, 300, 320, 56));
    settings().setValue(Window::settingsKey, QStringLiteral("somewhere"));
    EXPECT_EQ(makeWindow()->geometry(), Window::initialFrame(areas));

    areas = {left, right};
    store.setToolbarExpanded(false);
    const QPoint dragged = Window::initialFrame(areas).topLeft() + QPoint(-300, -200);
    {
        const auto window = makeWindow();
        window->show();
        auto* capture = child(*window, "captureButton");
        drag(capture, capture->mapToGlobal(capture->rect().center()), {50, 0});
        EXPECT_EQ(window->pos(), Window::initialFrame(areas).topLeft()); // not by a control
        // but by the flexible space between the strip toggle and Paste
        auto* bar = child(*window, "controlBar");
        const int gapX = child(*window, "pasteButton")->x() - 12;
        drag(bar, bar->mapToGlobal(QPoint(gapX, bar->height() / 2)), {-300, -200});
        EXPECT_EQ(window->pos(), dragged);
        QTest::qWait(1);
    }
    EXPECT_EQ(settings().value(Window::settingsKey), QVariant(dragged));
    EXPECT_EQ(makeWindow()->pos(), dragged);
}

TEST_F(ToolbarWindowTest, showToolbar_oneStickyPanelThatTakesNoFocus_unfoldKeepsTheBottomEdge) {
    desktopStore.showToolbar();
    Window* toolbar = desktopUi.toolbar();
    ASSERT_NE(toolbar, nullptr);
    EXPECT_TRUE(toolbar->windowFlags().testFlags(
        Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint));
    EXPECT_EQ(toolbar->windowType(), Qt::Tool);
    EXPECT_TRUE(toolbar->testAttribute(Qt::WA_ShowWithoutActivating));
    const QRect folded = toolbar->geometry();
    ASSERT_EQ(folded, Window::initialFrame(areas));
    desktopStore.setToolbarExpanded(true);
    EXPECT_EQ(toolbar->geometry(), QRect(folded.x(), folded.bottom() - 221, 320, 222));
    desktopStore.setToolbarExpanded(false);
    EXPECT_EQ(toolbar->geometry(), folded);
    toolbar->move(0, 0); // unfolded at the top, it is pushed back inside
    desktopStore.setToolbarExpanded(true);
    EXPECT_EQ(toolbar->geometry(), QRect(0, 0, 320, 222));

    desktopStore.showReviewWindow();
    EXPECT_FALSE(toolbar->isVisible());
    desktopStore.showToolbar();
    EXPECT_EQ(desktopUi.toolbar(), toolbar);
    EXPECT_TRUE(toolbar->isVisible());
    EXPECT_FALSE(sessionWindow.isVisible());
    // Asked before each show, while the window was not yet mapped.
    EXPECT_EQ(sticky.visibleAtCall, QList<bool>({false, false}));
}

TEST_F(ToolbarWindowTest, alert_isModalAndOnTop_bypassesTheWindowManagerOnlyOverOverlays) {
    desktopUi.runAlert(QStringLiteral("Couldn\u2019t paste"), QStringLiteral("The app is gone."));
    std::unique_ptr<OverlayWindow> overlay =
        desktopUi.createOverlay(testing::flatSnapshot(800, 600), 1, {});
    overlay->show();
    desktopUi.runAlert(QStringLiteral("Capture couldn\u2019t be saved"), QString());
    overlay->close();
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_EQ(alerts[0].modality, Qt::ApplicationModal);
    EXPECT_TRUE(alerts[0].flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(alerts[0].flags.testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_TRUE(alerts[1].flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(alerts[1].flags.testFlag(Qt::X11BypassWindowManagerHint));
}

class FloatingToolbarTest : public AppWindowFixture {
protected:
    CaptureButtonStyle* button(const char* name) { return child<CaptureButtonStyle>(bar, name); }
    QString label(const char* name) { return child<QLabel>(bar, name)->text(); }
    // The thumbnails shown, left to right, once laid out.
    QList<ToolbarThumbnail*> thumbnails() {
        bar.resize(320, store.toolbarExpanded() ? 222 : 56);
        bar.show();
        QTest::qWait(1);
        QList<ToolbarThumbnail*> shown;
        for (ToolbarThumbnail* thumbnail : bar.findChildren<ToolbarThumbnail*>()) {
            if (thumbnail->isVisibleTo(&bar))
                shown.append(thumbnail);
        }
        std::sort(shown.begin(), shown.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
        return shown;
    }

    FloatingToolbar bar{store, preferences};
};

TEST_F(FloatingToolbarTest,
       strip_emptyThenThumbnailsInOrder_removalDropsOnlyItsThumbnail_copyStateSurvives) {
    EXPECT_FALSE(button("pasteButton")->isEnabled());
    EXPECT_FALSE(button("stripToggle")->isEnabled()); // nothing to unfold, but it folds
    store.setToolbarExpanded(true);
    EXPECT_EQ(label("noScreenshots"), QStringLiteral("No screenshots yet"));
    EXPECT_EQ(button("stripToggle")->accessibleValue(), QStringLiteral("0 screenshots, expanded"));
    button("stripToggle")->click();
    EXPECT_FALSE(store.toolbarExpanded());
    EXPECT_EQ(button("stripToggle")->toolTip(), QStringLiteral("Show screenshots"));

    addCapture({10, 10, 200, 120}, QStringLiteral("Button is misaligned"));
    const QUuid second = addCapture({300, 200, 120, 200}, QStringLiteral("  Wrong colour\n"));
    addCapture();
    store.setToolbarExpanded(true);
    const QList<ToolbarThumbnail*> before = thumbnails();
    EXPECT_FALSE(child(bar, "noScreenshots")->isVisibleTo(&bar));
    EXPECT_EQ(label("captureCount"), QStringLiteral("3 captures"));
    EXPECT_EQ(button("stripToggle")->text(), QStringLiteral("3"));
    ASSERT_EQ(before.size(), 3);
    EXPECT_EQ(before[0]->accessibleName(), QStringLiteral("Screenshot 1: Button is misaligned"));
    EXPECT_EQ(before[1]->toolTip(), QStringLiteral("Wrong colour"));

    store.remove(second);
    EXPECT_EQ(thumbnails(), QList<ToolbarThumbnail*>({before[0], before[2]}));
    EXPECT_EQ(bar.findChildren<ToolbarThumbnail*>().size(), 2);

    // A copy's result survives the changes the copy makes to the session.
    before[0]->copyActions()->copy();
    ASSERT_TRUE(QTest::qWaitFor([this] { return clipboard.writes.size() == 1; }));
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(thumbnails().value(0)->copyActions()->state(), ScreenshotCopyActions::State::copied);
}

TEST_F(FloatingToolbarTest, controls_callTheStore_disabledWhileExporting_helpFollowsTheShortcut) {
    EXPECT_EQ(button("captureButton")->toolTip(), QStringLiteral("Select a region (Ctrl+Shift+S)"));
    ASSERT_TRUE(preferences.save({QStringLiteral("K"), true, false, true, false}));
    EXPECT_EQ(button("captureButton")->toolTip(), QStringLiteral("Select a region (Ctrl+Alt+K)"));

    addCapture();
    clock.autoAdvance = false; // the paste waits on the clock, so it keeps exporting
    button("pasteButton")->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return clock.pendingWaits() == 1; }));
    EXPECT_FALSE(button("captureButton")->isEnabled() || button("pasteButton")->isEnabled() ||
                 button("closeButton")->isEnabled());
    EXPECT_TRUE(button("stripToggle")->isEnabled());
    EXPECT_EQ(button("pasteButton")->text(), QStringLiteral("Preparing\u2026"));
    thumbnails(); // the longer label fits between the toggle and Close, inside the panel
    EXPECT_LT(button("stripToggle")->geometry().right(), button("pasteButton")->geometry().left());
    EXPECT_LT(button("pasteButton")->geometry().right(), button("closeButton")->geometry().left());
    EXPECT_LE(button("closeButton")->geometry().right(), 320 - 4);
    clock.autoAdvance = true;
    clock.advance(std::chrono::seconds(10));
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(keys.events.size(), 4);
    EXPECT_TRUE(button("captureButton")->isEnabled());
    EXPECT_EQ(button("pasteButton")->text(), QStringLiteral("Paste"));

    store.setToolbarExpanded(true);
    button("viewAllButton")->click();
    EXPECT_TRUE(ui.sessionWindowVisible);
    button("captureButton")->click();
    EXPECT_EQ(store.phase(), Phase::capturing);
    store.cancelCapture();
    button("closeButton")->click();
    EXPECT_EQ(store.phase(), Phase::review);
    EXPECT_FALSE(store.toolbarExpanded());
}

TEST_F(AppWindowFixture, sessionWindow_closeOnlyHides_errorShownOnceVisibleThenCleared) {
    SessionWindow window{store, alertRunner()};
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    store.setError(QStringLiteral("The display arrangement changed."));
    QTest::qWait(1);
    EXPECT_TRUE(alerts.isEmpty());
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !alerts.isEmpty(); }));
    EXPECT_EQ(alerts[0].title, QStringLiteral("tovik"));
    EXPECT_EQ(alerts[0].text, QStringLiteral("The display arrangement changed."));
    EXPECT_EQ(store.error(), std::nullopt);

    EXPECT_FALSE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(lastClosed.count(), 0);
}

} // namespace
} // namespace tovik
