#include "app/app_delegate.h"

#include "session/session_store.h"
#include "shortcuts/global_shortcut.h"
#include "shortcuts/shortcut_preferences.h"
#include "support/fake_clipboard.h"
#include "support/fake_clock.h"
#include "support/fake_desktop.h"
#include "support/fake_hot_key_backend.h"
#include "support/fake_key_injector.h"
#include "support/fake_screen_source.h"
#include "support/fake_session_ui.h"
#include "support/fake_updater.h"
#include "updates/update_controller.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace tovik {
namespace {

const ShortcutBinding ctrlAltK{QStringLiteral("K"), true, false, true, false};

// The delegate on the real store, preferences, hot key and update controller, with fakes
// for the desktop and the windows.
class AppDelegateTest : public ::testing::Test {
protected:
    explicit AppDelegateTest(QString channel = {})
        : updates(
              [this](UpdaterDelegate& delegate) {
                  auto made = std::make_unique<FakeUpdater>(delegate);
                  updater = made.get();
                  return made;
              },
              std::move(channel)) {
        screens.screenList = {FakeScreenSource::screen("Main", {0, 0, 800, 600}, 1, 1)};
        desktop.frontmost = editor;
    }
    ~AppDelegateTest() override { QTest::qWait(1); }

    void launch() { delegate.applicationDidFinishLaunching(); }
    QStringList visibleTitles() const {
        QStringList titles;
        for (const QAction* action : delegate.statusMenu()->actions()) {
            if (action->isVisible())
                titles.append(action->text());
        }
        return titles;
    }
    QString shortcutText(const QString& title) const {
        for (const QAction* action : delegate.statusMenu()->actions()) {
            if (action->text() == title)
                return action->shortcut().toString();
        }
        return "(no item)";
    }
    void openMenu() { Q_EMIT delegate.statusMenu()->aboutToShow(); }

    QTemporaryDir dir;
    FakeScreenSource screens;
    FakeDesktop desktop;
    FakeClipboard clipboard;
    FakeKeyInjector keys;
    FakeClock clock;
    FakeSessionUi ui;
    FakeHotKeyBackend hotKeys;
    FakeUpdater* updater = nullptr;
    SessionStore store{{screens, desktop, clipboard, keys, clock, ui}, dir.path()};
    UpdateController updates;
    ShortcutPreferences preferences{dir.filePath("tovik.conf")};
    GlobalShortcut shortcut{hotKeys, preferences};
    AppDelegate delegate{{store, updates, shortcut, preferences, desktop}};
    const AppRef editor = FakeDesktop::app(100, 0x1000, "editor");
    const AppRef browser = FakeDesktop::app(200, 0x2000, "browser");
};

class AppDelegateWithUpdatesTest : public AppDelegateTest {
protected:
    AppDelegateWithUpdatesTest()
        : AppDelegateTest(QStringLiteral("direct")) {}
};

TEST_F(AppDelegateTest, launch_withoutUpdateChannel_showsFourItemsWithTheirKeysAndNoUpdater) {
    launch();
    EXPECT_EQ(visibleTitles(), QStringList({"Start session / capture", "Show session",
                                            "Stop session", "Quit tovik"}));
    EXPECT_EQ(delegate.statusMenu()->actions().at(3), delegate.updateMenuItem());
    EXPECT_EQ(shortcutText("Start session / capture"), "Ctrl+Shift+S");
    EXPECT_EQ(shortcutText("Quit tovik"), "Ctrl+Q");
    EXPECT_EQ(updater, nullptr);
    EXPECT_EQ(delegate.statusItem()->contextMenu(), delegate.statusMenu());
    EXPECT_EQ(delegate.statusItem()->toolTip(), "tovik");
}

TEST_F(AppDelegateTest, launch_registersStoredBindingRemembersFrontAppAndShowsSessionWindow) {
    launch();
    ASSERT_TRUE(hotKeys.current.has_value());
    EXPECT_EQ(hotKeys.current->keysym, ShortcutBinding::defaultBinding().hotKeyGrab()->keysym);
    EXPECT_TRUE(store.sessionShortcutAvailable());
    EXPECT_EQ(store.previousApp(), editor);
    EXPECT_EQ(ui.calls.last(), "showSessionWindow");
}

TEST_F(AppDelegateTest, launch_withTakenCombination_recordsTheHotKeyAsUnavailable) {
    hotKeys.refuse = true;
    launch();
    EXPECT_FALSE(store.sessionShortcutAvailable());
    EXPECT_FALSE(shortcut.isLive());
}

TEST_F(AppDelegateTest, hotKeyAndMenuItem_startInReadyAndCaptureWhileMonitoring) {
    launch();
    hotKeys.press();
    EXPECT_EQ(store.phase(), Phase::capturing);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !store.overlays().empty(); }));
    ui.overlays.last()->callbacks.confirm({10, 10, 100, 50}, "first", {});
    ASSERT_EQ(store.phase(), Phase::monitoring);

    delegate.sessionMenuItem()->trigger();
    EXPECT_EQ(store.phase(), Phase::capturing);
    ASSERT_TRUE(QTest::qWaitFor([this] { return ui.overlays.size() == 2; }));
    // The second capture belongs to the same session.
    EXPECT_EQ(ui.overlays.last()->number, 2);
}

TEST_F(AppDelegateTest, menuItems_forwardToTheStore) {
    launch();
    ui.calls.clear();
    delegate.statusMenu()->actions().at(1)->trigger(); // Show session
    EXPECT_EQ(ui.calls, QStringList({"showSessionWindow"}));

    hotKeys.press();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !store.overlays().empty(); }));
    delegate.statusMenu()->actions().at(2)->trigger(); // Stop session
    EXPECT_EQ(store.phase(), Phase::ready);
    EXPECT_TRUE(store.overlays().empty());
}

TEST_F(AppDelegateTest, reopenAndTrayClick_showTheSessionWindow) {
    launch();
    ui.calls.clear();
    EXPECT_TRUE(delegate.applicationShouldHandleReopen());
    Q_EMIT delegate.statusItem()->activated(QSystemTrayIcon::Trigger);
    Q_EMIT delegate.statusItem()->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(ui.calls, QStringList({"showSessionWindow", "showSessionWindow"}));
}

TEST_F(AppDelegateTest, activation_recordsOtherLiveApplicationsOnly) {
    launch();
    desktop.bringToFront(browser);
    EXPECT_EQ(store.previousApp(), browser);

    desktop.bringToFront(FakeDesktop::app(FakeDesktop::ownPid, 0x3000, "tovik"));
    const AppRef gone = FakeDesktop::app(300, 0x4000, "gone");
    desktop.quit(gone);
    desktop.bringToFront(gone);
    EXPECT_EQ(store.previousApp(), browser);
}

TEST_F(AppDelegateTest, screenChange_whileCapturing_abandonsTheCaptureWithTheMessage) {
    launch();
    hotKeys.press();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !store.overlays().empty(); }));
    Q_EMIT desktop.screensChanged();
    EXPECT_EQ(store.phase(), Phase::ready);
    EXPECT_EQ(store.error(), "The display arrangement changed. Select the region again.");
}

TEST_F(AppDelegateTest, savedBinding_becomesTheHotKeyAndTheMenuKey) {
    launch();
    EXPECT_TRUE(preferences.save(ctrlAltK).ok());
    EXPECT_EQ(hotKeys.current->keysym, ctrlAltK.hotKeyGrab()->keysym);
    EXPECT_EQ(hotKeys.current->modifierMask, ctrlAltK.hotKeyGrab()->modifierMask);
    EXPECT_EQ(shortcutText("Start session / capture"), "Ctrl+Alt+K");
    EXPECT_TRUE(store.sessionShortcutAvailable());
}

TEST_F(AppDelegateTest, refusedBinding_outsideRecording_restoresTheStoredOne) {
    launch();
    hotKeys.refuse = true;
    EXPECT_FALSE(preferences.save(ctrlAltK).ok());
    // The stored binding is grabbed again (and refused again here): both attempts made.
    EXPECT_EQ(hotKeys.requests.last().keysym,
              ShortcutBinding::defaultBinding().hotKeyGrab()->keysym);
    EXPECT_FALSE(store.sessionShortcutAvailable());
    EXPECT_EQ(shortcutText("Start session / capture"), "Ctrl+Shift+S");

    hotKeys.refuse = false;
    EXPECT_TRUE(preferences.save(ctrlAltK).ok());
    EXPECT_TRUE(store.sessionShortcutAvailable());
}

TEST_F(AppDelegateTest, recording_suspendsTheHotKeyAndRestoresTheStoredBindingAfter) {
    launch();
    preferences.setRecording(true);
    EXPECT_FALSE(hotKeys.current.has_value());
    hotKeys.press();
    EXPECT_EQ(store.phase(), Phase::ready);

    hotKeys.refuse = true;
    EXPECT_FALSE(preferences.save(ctrlAltK).ok());
    EXPECT_FALSE(shortcut.isLive());
    EXPECT_EQ(hotKeys.requests.last().keysym, ctrlAltK.hotKeyGrab()->keysym);

    hotKeys.refuse = false;
    preferences.setRecording(false);
    ASSERT_TRUE(hotKeys.current.has_value());
    EXPECT_EQ(hotKeys.current->keysym, ShortcutBinding::defaultBinding().hotKeyGrab()->keysym);
    EXPECT_TRUE(store.sessionShortcutAvailable());
}

TEST_F(AppDelegateTest, shutdown_releasesTheHotKeyAndHooksAndClosesWindows) {
    launch();
    hotKeys.press();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !store.overlays().empty(); }));
    delegate.applicationWillTerminate();
    EXPECT_FALSE(hotKeys.current.has_value());
    EXPECT_TRUE(ui.overlays.last()->closed);
    // Without the apply hook no binding can be saved; recording changes grab nothing.
    EXPECT_FALSE(preferences.save(ctrlAltK).ok());
    const qsizetype requests = hotKeys.requests.size();
    preferences.setRecording(true);
    preferences.setRecording(false);
    EXPECT_EQ(hotKeys.requests.size(), requests);
    Q_EMIT desktop.screensChanged();
    desktop.bringToFront(browser);
    EXPECT_EQ(store.previousApp(), editor);
}

TEST_F(AppDelegateWithUpdatesTest, updateItem_followsTheUpdatersState) {
    launch();
    ASSERT_NE(updater, nullptr);
    QAction* item = delegate.updateMenuItem();
    EXPECT_TRUE(item->isVisible());

    updater->canCheck = false;
    openMenu();
    EXPECT_EQ(item->text(), "Check for updates…");
    EXPECT_FALSE(item->isEnabled());

    updater->canCheck = true;
    openMenu();
    EXPECT_TRUE(item->isEnabled());
    item->trigger();
    EXPECT_EQ(updater->checks, 1);

    int installs = 0;
    updater->canCheck = false;
    updater->reportInstallOnQuit([&installs] { ++installs; });
    openMenu();
    EXPECT_EQ(item->text(), "Install update and relaunch…");
    EXPECT_TRUE(item->isEnabled());
    item->trigger();
    EXPECT_EQ(installs, 1);
    EXPECT_EQ(updater->checks, 1);

    updater->reportAbort();
    openMenu();
    EXPECT_EQ(item->text(), "Check for updates…");
}

} // namespace
} // namespace tovik
