// The floating toolbar, its window and placement, the session window and the store's
// window layer, on the offscreen platform.
#include "app/alert_runner.h"
#include "app/capture_detail.h"
#include "app/capture_row.h"
#include "app/desktop_session_ui.h"
#include "app/feedback_prompt_sheet.h"
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
#include "ui/compact_action.h"

#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>

namespace tovik {
namespace {

// What a test's alert runner saw of one alert.
struct AlertSeen {
    QString text;
    Qt::WindowModality modality = Qt::NonModal;
    Qt::WindowFlags flags;
};

// The session fixture plus private preferences, for the app's windows.
class AppWindowFixture : public StoreFixture {
protected:
    AppWindowFixture() {
        preferences.setApply([](const ShortcutBinding&) { return true; });
    }
    // Records every alert and dismisses it at once.
    AlertRunner alertRunner() {
        return [this](QMessageBox& box) {
            alerts.append({box.text(), box.windowModality(), box.windowFlags()});
        };
    }
    template<typename T = QWidget> static T* child(const QWidget& root, const char* name) {
        return root.findChild<T*>(QString::fromLatin1(name));
    }

    ShortcutPreferences preferences{exportDir.filePath(QStringLiteral("tovik.conf"))};
    QList<AlertSeen> alerts;
};

using Window = FloatingToolbarWindow;
const QRect left(0, 0, 1920, 1080), right(1920, 0, 1920, 1080);

TEST(ToolbarPlacement, repositionExamples) {
    // First launch: centred, bottom 32 above the visible area (a top panel takes 30).
    EXPECT_EQ(Window::initialFrame({QRect(0, 30, 1920, 1050), right}), QRect(800, 992, 320, 56));
    EXPECT_EQ(Window::initialFrame({}), QRect(440, 712, 320, 56));
    // Overlapping no screen: inside the first.
    EXPECT_EQ(Window::placement(QRect(-500, 2000, 320, 56), {left, QRect(1920, 0, 1280, 1024)}),
              QPoint(0, 1080 - 56));
    // Over two screens: onto the larger share; equal shares keep the screen listed first.
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
        return std::make_unique<Window>(store, preferences,
                                        Window::Environment{statePath, [this] { return areas; }});
    }
    QSettings state() const { return {statePath, QSettings::IniFormat}; }
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

    QString statePath = exportDir.filePath(QStringLiteral("state/tovik/state.conf"));
    QList<QRect> areas{left, right};
    FakeStickyWindows sticky;
    DesktopSessionUi desktopUi{
        preferences, {statePath, [this] { return areas; }, &sticky}, alertRunner()};
    SessionStore desktopStore{{screens, desktop, clipboard, keys, clock, desktopUi, encoder},
                              exportDir.path()};
    QWidget sessionWindow;
};

TEST_F(ToolbarWindowTest,
       savedPosition_restoredOntoARemainingScreen_corruptIgnored_dragOnBackgroundSaved) {
    state().setValue(Window::stateKey, QPoint(2500, 300));
    store.setToolbarExpanded(true);
    areas = {left};
    // At the remaining screen's right edge, at the saved height; the size is never restored.
    EXPECT_EQ(makeWindow()->geometry(), QRect(1920 - 320, 300, 320, 56));
    state().setValue(Window::stateKey, QStringLiteral("somewhere"));
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
    EXPECT_EQ(state().value(Window::stateKey), QVariant(dragged));
}

TEST_F(ToolbarWindowTest,
       showToolbar_oneStickyPanelThatTakesNoFocus_unfoldKeepsTheBottomEdge_alertsOnTop) {
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

    // Alerts: modal and on top; past the window manager only over the overlays.
    desktopUi.runAlert(QStringLiteral("Couldn\u2019t paste"), QStringLiteral("The app is gone."));
    std::unique_ptr<OverlayWindow> overlay =
        desktopUi.createOverlay(testing::flatSnapshot(800, 600), 1, {});
    overlay->show();
    desktopUi.runAlert(QStringLiteral("Capture couldn\u2019t be saved"), QString());
    overlay->close();
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_EQ(alerts[0].modality, Qt::ApplicationModal);
    EXPECT_EQ(alerts[0].flags & (Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint),
              Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(
        alerts[1].flags.testFlags(Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint));
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
       strip_thumbnailsInOrder_removalDropsOnlyItsOwn_copyStateSurvives_controlsWaitForTheExport) {
    EXPECT_FALSE(button("pasteButton")->isEnabled());
    EXPECT_FALSE(button("stripToggle")->isEnabled()); // nothing to unfold, but it folds
    store.setToolbarExpanded(true);
    EXPECT_TRUE(thumbnails().isEmpty() && child(bar, "noScreenshots")->isVisibleTo(&bar));
    button("stripToggle")->click();
    EXPECT_FALSE(store.toolbarExpanded());

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

    // The controls call the store; while it exports they wait; help follows the shortcut.
    EXPECT_EQ(button("captureButton")->toolTip(), QStringLiteral("Select a region (Ctrl+Shift+S)"));
    ASSERT_TRUE(preferences.save({QStringLiteral("K"), true, false, true, false}));
    EXPECT_EQ(button("captureButton")->toolTip(), QStringLiteral("Select a region (Ctrl+Alt+K)"));

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

class SessionWindowTest : public AppWindowFixture {
protected:
    SessionWindowTest() {
        window.resize(SessionWindow::initialSize);
        window.show();
    }
    template<typename T = CaptureButtonStyle> T* find(const char* name) {
        return child<T>(window, name);
    }
    QString status() { return find<QLabel>("status")->text(); }
    QAction* menuItem(const QString& text) {
        for (QAction* action : find<QMenu>("sessionActionsMenu")->actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }
    // The sidebar's rows, top to bottom.
    QList<CaptureRow*> rows() {
        QTest::qWait(1); // removed rows go on the next turn of the loop
        QList<CaptureRow*> shown = window.findChildren<CaptureRow*>();
        std::sort(shown.begin(), shown.end(), [](auto* a, auto* b) { return a->y() < b->y(); });
        return shown;
    }
    QPlainTextEdit* editor() { return find<QPlainTextEdit>("commentEditor"); }

    SessionWindow window{store, preferences, alertRunner()};
};

TEST_F(SessionWindowTest,
       empty_capturesFromTheWindow_saysWhenTheShortcutIsUnavailable_closeOnlyHides) {
    EXPECT_TRUE(find<QWidget>("emptyState")->isVisible());
    EXPECT_EQ(status(), QStringLiteral("0 captures"));
    EXPECT_TRUE(find("copyAllButton")->isEnabled());
    EXPECT_FALSE(find<QLabel>("shortcutUnavailable")->isVisible());
    store.setSessionShortcutAvailable(false);
    EXPECT_TRUE(find<QLabel>("shortcutUnavailable")->isVisible());
    // Where the desktop binds keys itself, it says where.
    window.setDesktopBindsShortcuts(true);
    EXPECT_TRUE(find<QLabel>("shortcutUnavailable")->text().contains("tovik capture"));
    EXPECT_EQ(find("captureButton")->toolTip(), QStringLiteral("Add a capture (Ctrl+Shift+S)"));
    ASSERT_TRUE(preferences.save({QStringLiteral("K"), true, false, true, false}));
    EXPECT_EQ(find("captureButton")->toolTip(), QStringLiteral("Add a capture (Ctrl+Alt+K)"));
    EXPECT_FALSE(find("stopSessionButton")->isVisible());

    find("captureRegionButton")->click();
    EXPECT_EQ(store.phase(), Phase::capturing);
    EXPECT_TRUE(find("stopSessionButton")->isVisible() && find("showToolbarButton")->isVisible());
    // No captures to lose: a new session starts without asking.
    store.stopSession();
    menuItem(QStringLiteral("New session\u2026"))->trigger();
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(store.phase(), Phase::capturing);

    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    EXPECT_FALSE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(lastClosed.count(), 0);
    // An error waits until the window is shown, then is cleared.
    store.setError(QStringLiteral("The display arrangement changed."));
    QTest::qWait(1);
    EXPECT_TRUE(alerts.isEmpty());
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !alerts.isEmpty(); }));
    EXPECT_EQ(alerts[0].text, QStringLiteral("The display arrangement changed."));
    EXPECT_EQ(store.error(), std::nullopt);
}

TEST_F(SessionWindowTest, captures_rowsPickTheShownOne_removalFallsBack_actionsFollowTheExport) {
    addCapture({10, 10, 200, 120}, QStringLiteral("Button is misaligned"));
    const QUuid second = addCapture();
    QList<CaptureRow*> list = rows();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0]->accessibleName(), QStringLiteral("Capture 1: Button is misaligned"));
    // Nothing picked: the last capture is shown.
    EXPECT_TRUE(list[1]->selected() && !list[0]->selected());
    EXPECT_EQ(find<CaptureDetail>("captureDetail")->id(), second);

    list[0]->click();
    EXPECT_TRUE(list[0]->selected() && !list[1]->selected());
    EXPECT_EQ(editor()->toPlainText(), QStringLiteral("Button is misaligned"));

    find<CompactAction>("removeCaptureButton")->click();
    list = rows();
    ASSERT_EQ(list.size(), 1);
    EXPECT_TRUE(list[0]->selected());
    EXPECT_EQ(find<CaptureDetail>("captureDetail")->id(), second);
    EXPECT_TRUE(editor()->toPlainText().isEmpty());
    EXPECT_EQ(status(), QStringLiteral("1 capture"));
    EXPECT_EQ(store.items()[0].id(), second);

    // The prompt copied and previewed, the export's state shown, a new session asked for.
    EXPECT_FALSE(menuItem(QStringLiteral("Show exported files"))->isVisible());
    EXPECT_FALSE(menuItem(QStringLiteral("New session\u2026"))->isEnabled());

    menuItem(QStringLiteral("Copy prompt"))->trigger();
    EXPECT_EQ(clipboard.writes.last(), textPayload(store.prompt()));
    EXPECT_EQ(status(), QStringLiteral("Feedback text copied"));
    menuItem(QStringLiteral("Preview feedback"))->trigger();
    auto* sheet = find<FeedbackPromptSheet>("feedbackPromptSheet");
    ASSERT_TRUE(QTest::qWaitFor([sheet] { return sheet->isVisible(); }));
    EXPECT_EQ(child<QPlainTextEdit>(*sheet, "promptText")->toPlainText(), store.prompt());
    child<CaptureButtonStyle>(*sheet, "doneButton")->click();
    EXPECT_FALSE(sheet->isVisible());

    clock.autoAdvance = false; // a paste waits on the clock, so it keeps exporting
    store.paste();
    ASSERT_TRUE(QTest::qWaitFor([this] { return clock.pendingWaits() == 1; }));
    EXPECT_EQ(status(), QStringLiteral("Preparing files\u2026"));
    EXPECT_TRUE(find<QProgressBar>("busyIndicator")->isVisible());
    EXPECT_FALSE(find("copyAllButton")->isEnabled());
    EXPECT_TRUE(editor()->isReadOnly());
    EXPECT_FALSE(menuItem(QStringLiteral("Copy prompt"))->isEnabled());
    clock.autoAdvance = true;
    clock.advance(std::chrono::seconds(10));
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_TRUE(menuItem(QStringLiteral("Show exported files"))->isVisible());
    EXPECT_FALSE(editor()->isReadOnly());

    store.stopSession();
    menuItem(QStringLiteral("New session\u2026"))->trigger();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].text, QStringLiteral("Start a new session?"));
    EXPECT_EQ(store.items().size(), 1); // dismissed
}

} // namespace
} // namespace tovik
