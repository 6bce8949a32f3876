#include "app/floating_toolbar.h"
#include "app/floating_toolbar_window.h"
#include "app/toolbar_thumbnail.h"
#include "app_window_fixture.h"
#include "ui/capture_button_style.h"

#include <QDir>
#include <QLabel>

namespace tovik {
namespace {

class FloatingToolbarTest : public AppWindowFixture {
protected:
    CaptureButtonStyle* button(const char* name) {
        return child<CaptureButtonStyle>(toolbar, name);
    }
    bool visible(const char* name) {
        const QWidget* widget = child<QWidget>(toolbar, name);
        return widget && widget->isVisibleTo(&toolbar);
    }
    // The thumbnails in the order they are laid out.
    QList<ToolbarThumbnail*> thumbnails() {
        QList<ToolbarThumbnail*> shown;
        for (ToolbarThumbnail* thumbnail : toolbar.findChildren<ToolbarThumbnail*>()) {
            if (thumbnail->isVisibleTo(&toolbar))
                shown.append(thumbnail);
        }
        std::sort(shown.begin(), shown.end(),
                  [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
        return shown;
    }
    void layOut() {
        toolbar.resize(FloatingToolbarWindow::panelWidth,
                       store.toolbarExpanded() ? FloatingToolbarWindow::unfoldedHeight
                                               : FloatingToolbarWindow::foldedHeight);
        toolbar.show();
        QTest::qWait(1);
    }

    FloatingToolbar toolbar{store, preferences};
};

TEST_F(FloatingToolbarTest, emptySession_pasteDisabled_toggleOnlyFoldsUnfoldedStrip) {
    EXPECT_FALSE(button("pasteButton")->isEnabled());
    EXPECT_FALSE(button("stripToggle")->isEnabled());
    EXPECT_FALSE(visible("strip"));
    EXPECT_EQ(button("stripToggle")->text(), QStringLiteral("0"));
    EXPECT_EQ(button("stripToggle")->accessibleValue(), QStringLiteral("0 screenshots, collapsed"));

    store.setToolbarExpanded(true);
    EXPECT_TRUE(visible("strip"));
    EXPECT_TRUE(visible("noScreenshots"));
    EXPECT_EQ(child<QLabel>(toolbar, "noScreenshots")->text(),
              QStringLiteral("No screenshots yet"));
    EXPECT_EQ(child<QLabel>(toolbar, "captureCount")->text(), QStringLiteral("0 captures"));
    auto* toggle = button("stripToggle");
    ASSERT_TRUE(toggle->isEnabled());
    EXPECT_EQ(toggle->toolTip(), QStringLiteral("Hide screenshots"));
    EXPECT_EQ(toggle->accessibleName(), QStringLiteral("Hide screenshots"));
    EXPECT_EQ(toggle->accessibleValue(), QStringLiteral("0 screenshots, expanded"));
    toggle->click();
    EXPECT_FALSE(store.toolbarExpanded());
    EXPECT_EQ(toggle->toolTip(), QStringLiteral("Show screenshots"));
}

TEST_F(FloatingToolbarTest, captures_thumbnailsInOrderNamedAfterTheirSummaries) {
    addCapture({10, 10, 200, 120}, QStringLiteral("Button is misaligned"));
    addCapture({300, 200, 120, 200}, QStringLiteral("  Wrong colour\n"));
    store.setToolbarExpanded(true);
    layOut();

    EXPECT_FALSE(visible("noScreenshots"));
    EXPECT_EQ(child<QLabel>(toolbar, "captureCount")->text(), QStringLiteral("2 captures"));
    EXPECT_TRUE(button("pasteButton")->isEnabled());
    EXPECT_EQ(button("stripToggle")->text(), QStringLiteral("2"));
    EXPECT_EQ(button("stripToggle")->accessibleValue(), QStringLiteral("2 screenshots, expanded"));
    const QList<ToolbarThumbnail*> shown = thumbnails();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0]->accessibleName(), QStringLiteral("Screenshot 1: Button is misaligned"));
    EXPECT_EQ(shown[1]->accessibleName(), QStringLiteral("Screenshot 2: Wrong colour"));
    EXPECT_EQ(shown[1]->toolTip(), QStringLiteral("Wrong colour"));
    EXPECT_EQ(child<QLabel>(*shown[1], "thumbnailNumber")->text(), QStringLiteral("#2"));
}

TEST_F(FloatingToolbarTest, removingCapture_dropsOnlyItsThumbnail) {
    const QUuid first = addCapture();
    const QUuid second = addCapture();
    addCapture();
    store.setToolbarExpanded(true);
    layOut();
    const QList<ToolbarThumbnail*> before = thumbnails();
    ASSERT_EQ(before.size(), 3);

    store.remove(second);
    QTest::qWait(1);
    const QList<ToolbarThumbnail*> after = thumbnails();
    ASSERT_EQ(after.size(), 2);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[0]->id(), first);
    EXPECT_EQ(after[1], before[2]);
    EXPECT_EQ(toolbar.findChildren<ToolbarThumbnail*>().size(), 2);
}

TEST_F(FloatingToolbarTest, copyFromThumbnail_resultSurvivesTheChangesTheCopyMakes) {
    addCapture();
    store.setToolbarExpanded(true);
    layOut();
    ScreenshotCopyActions* actions = thumbnails().value(0)->copyActions();
    actions->copy();
    ASSERT_TRUE(QTest::qWaitFor([this] { return clipboard.writes.size() == 1; }));
    ASSERT_TRUE(waitUntilIdle());
    QTest::qWait(1);
    EXPECT_EQ(thumbnails().value(0)->copyActions()->state(), ScreenshotCopyActions::State::copied);
}

TEST_F(FloatingToolbarTest, whileExporting_captureCloseAndPasteDisabled_toggleUsable) {
    addCapture();
    addCapture();
    holdExport();
    EXPECT_FALSE(button("captureButton")->isEnabled());
    EXPECT_FALSE(button("pasteButton")->isEnabled());
    EXPECT_FALSE(button("closeButton")->isEnabled());
    EXPECT_EQ(button("pasteButton")->text(), QStringLiteral("Preparing\u2026"));
    EXPECT_TRUE(button("stripToggle")->isEnabled());
    // the longer label still fits between the toggle and Close, inside the panel
    layOut();
    const QRect toggle = button("stripToggle")->geometry();
    const QRect paste = button("pasteButton")->geometry();
    const QRect close = button("closeButton")->geometry();
    EXPECT_LT(toggle.right(), paste.left());
    EXPECT_LT(paste.right(), close.left());
    EXPECT_LE(close.right(), FloatingToolbarWindow::panelWidth - 4);

    releaseExport();
    EXPECT_TRUE(button("captureButton")->isEnabled());
    EXPECT_TRUE(button("pasteButton")->isEnabled());
    EXPECT_TRUE(button("closeButton")->isEnabled());
    EXPECT_EQ(button("pasteButton")->text(), QStringLiteral("Paste"));
}

TEST_F(FloatingToolbarTest, captureHelp_followsNewlySavedShortcut) {
    EXPECT_EQ(button("captureButton")->toolTip(), QStringLiteral("Select a region (Ctrl+Shift+S)"));
    ShortcutBinding binding;
    binding.key = QStringLiteral("K");
    binding.command = true;
    binding.option = true;
    ASSERT_TRUE(preferences.save(binding));
    EXPECT_EQ(button("captureButton")->toolTip(), QStringLiteral("Select a region (Ctrl+Alt+K)"));
}

TEST_F(FloatingToolbarTest, controls_eachCallTheirStoreOperation) {
    addCapture();
    store.setToolbarExpanded(true);
    ui.calls.clear();
    button("viewAllButton")->click();
    EXPECT_EQ(ui.calls.value(0), QStringLiteral("hideToolbar"));
    EXPECT_TRUE(ui.sessionWindowVisible);

    button("captureButton")->click();
    EXPECT_EQ(store.phase(), Phase::capturing);
    store.cancelCapture();
    ASSERT_EQ(store.phase(), Phase::monitoring);

    button("pasteButton")->click();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(keys.events.size(), 4);

    button("closeButton")->click();
    EXPECT_EQ(store.phase(), Phase::review);
    EXPECT_FALSE(store.toolbarExpanded());
}

// Pictures for a person to look at, and the basics of the look checked by pixel.
TEST_F(FloatingToolbarTest, look_foldedAndUnfolded_darkPanelWithClearCorners) {
    addCapture({40, 60, 420, 300}, QStringLiteral("Header overlaps the menu"));
    addCapture({500, 280, 260, 240}, QStringLiteral("Settings text is cut off"));
    addCapture({100, 380, 300, 160});
    FloatingToolbarWindow window(
        store, preferences, {settingsPath(), [] { return QList<QRect>{QRect(0, 0, 800, 600)}; }});
    window.show();
    QTest::qWait(1);
    const QImage folded = window.grab().toImage();
    store.setToolbarExpanded(true);
    window.resize(FloatingToolbarWindow::panelWidth, FloatingToolbarWindow::unfoldedHeight);
    QTest::qWait(1);
    const QImage unfolded = window.grab().toImage();

    QDir().mkpath(QStringLiteral(TOVIK_ARTIFACTS_DIR));
    folded.save(QStringLiteral(TOVIK_ARTIFACTS_DIR "/toolbar_folded.png"));
    unfolded.save(QStringLiteral(TOVIK_ARTIFACTS_DIR "/toolbar_unfolded.png"));

    ASSERT_EQ(folded.size() / folded.devicePixelRatio(), QSize(320, 56));
    ASSERT_EQ(unfolded.size() / unfolded.devicePixelRatio(), QSize(320, 222));
    for (const QImage& image : {folded, unfolded}) {
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
        // the surface between the buttons: white level 0.08
        const QColor surface = image.pixelColor(image.width() / 2, image.height() - 6);
        EXPECT_NEAR(surface.red(), 20, 2);
        EXPECT_EQ(surface.alpha(), 255);
    }
}

} // namespace
} // namespace tovik
