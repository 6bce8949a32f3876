// The app's wiring: tray menu, hot key, notifications and shutdown; idle memory trim.
// (Orderly quit on SIGTERM: every end-to-end test ends with it.)
#include "app/app_delegate.h"
#include "app/idle_memory_trim.h"

#include "shortcuts/global_shortcut.h"
#include "shortcuts/shortcut_preferences.h"
#include "support/fake_hot_key_backend.h"
#include "support/fake_updater.h"
#include "support/store_fixture.h"
#include "updates/update_controller.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>

namespace tovik {
namespace {

using namespace std::chrono_literals;

const ShortcutBinding ctrlAltK{QStringLiteral("K"), true, false, true, false};
const quint32 defaultKeysym = ShortcutBinding::defaultBinding().hotKeyGrab()->keysym;

// The delegate on the real store, preferences, hot key and update controller.
class AppDelegateTest : public StoreFixture {
protected:
    explicit AppDelegateTest(QString channel = {})
        : updates(
              [this](UpdaterDelegate& delegate) {
                  auto made = std::make_unique<FakeUpdater>(delegate);
                  updater = made.get();
                  return made;
              },
              std::move(channel)) {}
    void SetUp() override { delegate.applicationDidFinishLaunching(); }

    QString startKey() const { return delegate.sessionMenuItem()->shortcut().toString(); }

    FakeHotKeyBackend hotKeys;
    FakeUpdater* updater = nullptr;
    UpdateController updates;
    ShortcutPreferences preferences{exportDir.filePath("tovik.conf")};
    GlobalShortcut shortcut{hotKeys, preferences};
    AppDelegate delegate{{store, updates, shortcut, preferences, desktop}};
    const AppRef browser = FakeDesktop::app(200, 0x2000, "browser");
};

TEST_F(AppDelegateTest, launch_menuHotKeyFrontAppAndWindow_thenMenuTrayAndHotKeyDriveTheStore) {
    // No update channel: its item stays hidden.
    EXPECT_FALSE(delegate.updateMenuItem()->isVisible());
    EXPECT_EQ(startKey(), "Ctrl+Shift+S");
    ASSERT_TRUE(hotKeys.current.has_value());
    EXPECT_EQ(hotKeys.current->keysym, defaultKeysym);
    EXPECT_TRUE(store.sessionShortcutAvailable());
    EXPECT_EQ(store.previousApp(), editor);
    EXPECT_EQ(ui.calls.last(), "showSessionWindow");

    ui.calls.clear();
    delegate.statusMenu()->actions().at(1)->trigger(); // Show session
    EXPECT_TRUE(delegate.applicationShouldHandleReopen());
    Q_EMIT delegate.statusItem()->activated(QSystemTrayIcon::Trigger);
    Q_EMIT delegate.statusItem()->activated(QSystemTrayIcon::Context); // opens the menu only
    EXPECT_EQ(ui.calls, QStringList(3, QStringLiteral("showSessionWindow")));

    hotKeys.press();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !store.overlays().empty(); }));
    ui.overlays.last()->callbacks.confirm({10, 10, 100, 50}, "first", {});
    ASSERT_EQ(store.phase(), Phase::monitoring);

    delegate.sessionMenuItem()->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return ui.overlays.size() == 2; }));
    EXPECT_EQ(ui.overlays.last()->number, 2); // the same session

    delegate.statusMenu()->actions().at(2)->trigger(); // Stop session
    EXPECT_EQ(store.phase(), Phase::review);
    EXPECT_TRUE(store.overlays().empty());
}

TEST_F(AppDelegateTest, activationOfOtherLiveApps_isRecorded_screenChangeAbandonsTheCapture) {
    desktop.bringToFront(browser);
    desktop.bringToFront(FakeDesktop::app(FakeDesktop::ownPid, 0x3000, "tovik"));
    const AppRef gone = FakeDesktop::app(300, 0x4000, "gone");
    desktop.quit(gone);
    desktop.bringToFront(gone);
    EXPECT_EQ(store.previousApp(), browser);

    hotKeys.press();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !store.overlays().empty(); }));
    Q_EMIT desktop.screensChanged();
    EXPECT_EQ(store.phase(), Phase::ready);
    EXPECT_EQ(store.error(), "The display arrangement changed. Select the region again.");
}

TEST_F(AppDelegateTest,
       savedBindingGrabbedOrRefused_andRecording_hotKeyAndMenuKeyFollowWhatIsLive) {
    hotKeys.refuse = true;
    EXPECT_FALSE(preferences.save(ctrlAltK).ok());
    // Refused: the stored binding is grabbed again (and refused again here); the menu
    // shows no key that would not work.
    EXPECT_EQ(hotKeys.requests.last().keysym, defaultKeysym);
    EXPECT_FALSE(store.sessionShortcutAvailable());
    EXPECT_EQ(startKey(), "");

    hotKeys.refuse = false;
    EXPECT_TRUE(preferences.save(ctrlAltK).ok());
    EXPECT_EQ(hotKeys.current, (FakeHotKeyBackend::Grab{ctrlAltK.hotKeyGrab()->keysym,
                                                        ctrlAltK.hotKeyGrab()->modifierMask}));
    EXPECT_EQ(startKey(), "Ctrl+Alt+K");
    EXPECT_TRUE(store.sessionShortcutAvailable());

    // Recording suspends the hot key; after it the stored binding comes back.
    preferences.setRecording(true);
    EXPECT_FALSE(hotKeys.current.has_value());
    hotKeys.press();
    EXPECT_EQ(store.phase(), Phase::ready);

    hotKeys.refuse = true;
    const ShortcutBinding ctrlAltJ{QStringLiteral("J"), true, false, true, false};
    EXPECT_FALSE(preferences.save(ctrlAltJ).ok());
    EXPECT_FALSE(shortcut.isLive());
    EXPECT_EQ(hotKeys.requests.last().keysym, ctrlAltJ.hotKeyGrab()->keysym);

    hotKeys.refuse = false;
    preferences.setRecording(false);
    ASSERT_TRUE(hotKeys.current.has_value());
    EXPECT_EQ(hotKeys.current->keysym, ctrlAltK.hotKeyGrab()->keysym);
    EXPECT_TRUE(store.sessionShortcutAvailable());

    // A keyboard change that leaves the keys to another client takes the hot key away.
    hotKeys.loseGrab();
    EXPECT_FALSE(shortcut.isLive());
    EXPECT_FALSE(store.sessionShortcutAvailable());
}

TEST_F(AppDelegateTest, heldByAnotherClient_triedAgainWhenTheSessionOrSettingsWindowOpens) {
    QSignalSpy settingsRequests(&delegate, &AppDelegate::settingsRequested);
    shortcut.unregisterShortcut();
    hotKeys.refuse = true;
    delegate.showSession(); // taken by another client meanwhile
    EXPECT_FALSE(store.sessionShortcutAvailable());
    EXPECT_EQ(startKey(), "");

    // Recording keeps the hot key off.
    hotKeys.refuse = false;
    preferences.setRecording(true);
    const qsizetype asked = hotKeys.requests.size();
    delegate.showSettings();
    EXPECT_EQ(hotKeys.requests.size(), asked);
    EXPECT_EQ(settingsRequests.count(), 1);
    preferences.setRecording(false);
    EXPECT_TRUE(store.sessionShortcutAvailable());
    EXPECT_EQ(startKey(), "Ctrl+Shift+S");

    const std::function<void()> openings[] = {
        [this] { delegate.statusMenu()->actions().at(4)->trigger(); }, // Settings…
        [this] { delegate.applicationShouldHandleReopen(); },
        [this] { delegate.statusMenu()->actions().at(1)->trigger(); }, // Show session
    };
    for (const auto& open : openings) {
        shortcut.unregisterShortcut();
        store.setSessionShortcutAvailable(false);
        open();
        EXPECT_TRUE(shortcut.isLive());
        EXPECT_TRUE(store.sessionShortcutAvailable());
        EXPECT_EQ(startKey(), "Ctrl+Shift+S");
    }
    EXPECT_EQ(settingsRequests.count(), 2);
    // Live already: nothing is asked of the backend.
    const qsizetype grabs = hotKeys.requests.size();
    delegate.showSession();
    EXPECT_EQ(hotKeys.requests.size(), grabs);
}

TEST_F(AppDelegateTest, shutdown_releasesTheHotKeyAndHooksAndClosesWindows) {
    hotKeys.press();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !store.overlays().empty(); }));
    delegate.applicationWillTerminate();
    EXPECT_FALSE(hotKeys.current.has_value());
    EXPECT_TRUE(ui.overlays.last()->closed);
    // The hooks are gone: no binding can be saved, recording grabs nothing.
    EXPECT_FALSE(preferences.save(ctrlAltK).ok());
    preferences.setRecording(true);
    preferences.setRecording(false);
    EXPECT_FALSE(hotKeys.current.has_value());
    Q_EMIT desktop.screensChanged();
    desktop.bringToFront(browser);
    EXPECT_EQ(store.previousApp(), editor);
}

class AppDelegateWithUpdatesTest : public AppDelegateTest {
protected:
    AppDelegateWithUpdatesTest()
        : AppDelegateTest(QStringLiteral("direct")) {}
    QAction* openMenu() {
        Q_EMIT delegate.statusMenu()->aboutToShow();
        return delegate.updateMenuItem();
    }
};

TEST_F(AppDelegateWithUpdatesTest, updateItem_followsTheUpdatersState) {
    ASSERT_NE(updater, nullptr);
    updater->canCheck = false;
    EXPECT_TRUE(openMenu()->isVisible() && !openMenu()->isEnabled());
    updater->canCheck = true;
    openMenu()->trigger();
    EXPECT_EQ(updater->checks, 1);

    int installs = 0;
    updater->canCheck = false;
    updater->reportInstallOnQuit([&installs] { ++installs; });
    EXPECT_EQ(openMenu()->text(), "Install update and relaunch…");
    openMenu()->trigger();
    EXPECT_EQ(installs, 1);
    EXPECT_EQ(updater->checks, 1);
    updater->reportAbort();
    EXPECT_EQ(openMenu()->text(), "Check for updates…");
}

TEST_F(StoreFixture, idleMemoryTrim_sessionStartedWithinThePeriod_keepsTheMemoryUntilItEnds) {
    int trims = 0;
    IdleMemoryTrim idle{store, 30ms, [&trims] { ++trims; }};
    addCapture();
    QTest::qWait(100);
    EXPECT_EQ(trims, 0);

    store.stopSession();
    EXPECT_TRUE(QTest::qWaitFor([&] { return trims == 1; }, 1000));
    QTest::qWait(100);
    EXPECT_EQ(trims, 1); // once
}

} // namespace
} // namespace tovik
