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
FakeHotKeyBackend::Grab grabOf(const ShortcutBinding& binding) {
    return {binding.hotKeyGrab()->keysym, binding.hotKeyGrab()->modifierMask};
}

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

TEST_F(AppDelegateTest,
       launch_menuHotKeyFrontAppAndWindow_thenMenuTrayHotKeyAndScreensDriveTheStore) {
    // No update channel: its item stays hidden.
    EXPECT_FALSE(delegate.updateMenuItem()->isVisible());
    EXPECT_EQ(startKey(), "Ctrl+Shift+S");
    EXPECT_EQ(hotKeys.current, grabOf(ShortcutBinding::defaultBinding()));
    EXPECT_TRUE(store.sessionShortcutAvailable());
    EXPECT_EQ(store.previousApp(), editor);
    EXPECT_EQ(ui.calls.last(), "showSessionWindow");
    // Only other apps that still run become the one to paste into.
    desktop.bringToFront(browser);
    desktop.bringToFront(FakeDesktop::app(FakeDesktop::ownPid, 0x3000, "tovik"));
    const AppRef gone = FakeDesktop::app(300, 0x4000, "gone");
    desktop.quit(gone);
    desktop.bringToFront(gone);
    EXPECT_EQ(store.previousApp(), browser);

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
    Q_EMIT desktop.screensChanged();          // abandons the capture
    EXPECT_TRUE(store.overlays().empty() && store.error().has_value());

    delegate.statusMenu()->actions().at(2)->trigger(); // Stop session
    EXPECT_EQ(store.phase(), Phase::review);
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
    EXPECT_EQ(hotKeys.current, grabOf(ctrlAltK));
    EXPECT_EQ(startKey(), "Ctrl+Alt+K");
    EXPECT_TRUE(store.sessionShortcutAvailable());

    // Recording suspends the hot key; a refused binding leaves it off; after it the stored
    // binding comes back.
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
    EXPECT_EQ(hotKeys.current, grabOf(ctrlAltK));
    EXPECT_TRUE(store.sessionShortcutAvailable());
}

TEST_F(AppDelegateTest, grabLost_triedAgainWhenTheSessionOrSettingsWindowOpens_notWhileRecording) {
    QSignalSpy settingsRequests(&delegate, &AppDelegate::settingsRequested);
    const std::function<void()> openings[] = {
        [this] { delegate.statusMenu()->actions().at(4)->trigger(); }, // Settings…
        [this] { delegate.applicationShouldHandleReopen(); },
        [this] { delegate.statusMenu()->actions().at(1)->trigger(); }, // Show session
    };
    for (const auto& open : openings) {
        // A keyboard change that leaves the keys to another client takes the hot key away.
        hotKeys.loseGrab();
        EXPECT_FALSE(shortcut.isLive() || store.sessionShortcutAvailable());
        EXPECT_EQ(startKey(), "");
        open();
        EXPECT_TRUE(shortcut.isLive() && store.sessionShortcutAvailable());
        EXPECT_EQ(startKey(), "Ctrl+Shift+S");
    }
    // Live already: nothing is asked of the backend; recording keeps the hot key off.
    const qsizetype grabs = hotKeys.requests.size();
    delegate.showSession();
    preferences.setRecording(true);
    delegate.showSettings();
    EXPECT_EQ(hotKeys.requests.size(), grabs);
    EXPECT_EQ(settingsRequests.count(), 2);
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

    // Waiting to install: the item says so, and can be chosen although no check can start.
    updater->canCheck = false;
    updater->reportInstallOnQuit([] {});
    EXPECT_EQ(openMenu()->text(), "Install update and relaunch…");
    EXPECT_TRUE(openMenu()->isEnabled());
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
