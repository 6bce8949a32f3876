#include "paste/direct_paste.h"
#include "support/fake_clipboard.h"
#include "support/fake_clock.h"
#include "support/fake_desktop.h"
#include "support/fake_key_injector.h"
#include "support/task_result.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

using namespace std::chrono_literals;

class DirectPasteTest : public ::testing::Test {
public:
    DirectPasteTest() { desktop.frontmost = FakeDesktop::app(200, 0x2000, "browser"); }
    Outcome run(Clock& withClock) {
        const DirectPaste::Services services{desktop, clipboard, keys, withClock};
        return waitForTask(DirectPaste::paste(services, bundle, destination, photosSent, cancel))
            .value_or(Failure::platform("did not finish"));
    }

    FakeDesktop desktop;
    FakeClipboard clipboard;
    FakeKeyInjector keys;
    FakeClock clock;
    CancelToken cancel;
    bool photosSent = false;
    const AppRef destination = FakeDesktop::app(100, 0x1000, "editor");
    const ExportBundle bundle{"/tmp/tovik-A", {"/tmp/tovik-A/tovik-001.png"}, "#1 Fix the header"};
};

TEST_F(DirectPasteTest, fullRun_imagesThenTextWithFourKeyEventsToTheDestination) {
    ASSERT_TRUE(run(clock).ok());
    EXPECT_TRUE(photosSent);
    EXPECT_EQ(keys.kinds(), QStringList({"down", "up", "down", "up"}));
    EXPECT_EQ(keys.modifierReleases, 2) << "each shortcut waits for the modifiers";
    for (const auto& event : keys.events)
        EXPECT_EQ(event.destination, destination);
    EXPECT_EQ(clock.sleeps, QList({250ms, 1000ms}));
    EXPECT_EQ(clipboard.writes, QList({pasteImagesPayload(bundle), textPayload(bundle.prompt)}));
}

TEST_F(DirectPasteTest, cancelledDuringAWait_endsAsCancelledWithNothingSent) {
    clock.duringSleep = [this](auto) { cancel.cancel(); };
    EXPECT_TRUE(run(clock).failure().isCancelled());
    EXPECT_FALSE(photosSent);
    EXPECT_TRUE(clipboard.writes.isEmpty() && keys.events.isEmpty());
}

// In front, but the keyboard focus is elsewhere (xfwm4 can leave it on the root window): the
// keys would reach nothing, so the paste fails rather than report success.
TEST_F(DirectPasteTest, destinationWithoutKeyboardFocusFails_windowsWithoutPidToldApartByWindow) {
    for (const auto wait : {250ms, 1000ms}) {
        keys.events.clear();
        photosSent = false;
        clock.duringSleep = [&](auto duration) {
            if (duration == wait)
                desktop.keysReachFrontmost = false;
        };
        EXPECT_TRUE(run(clock).failure().is(PasteError::destination)) << wait.count();
        EXPECT_EQ(photosSent, wait == 1000ms);
        EXPECT_EQ(keys.events.size(), wait == 1000ms ? 2 : 0);
    }

    // A window that does not name its process is told apart by the window itself.
    desktop.keysReachFrontmost = true;
    const AppRef anonymous = FakeDesktop::app(0, 0x3000);
    desktop.frontmost = FakeDesktop::app(0, 0x4000);
    EXPECT_FALSE(DirectPaste::checkDestination(desktop, anonymous, cancel).ok());
    desktop.frontmost = anonymous;
    EXPECT_TRUE(DirectPaste::checkDestination(desktop, anonymous, cancel).ok());
}

TEST_F(DirectPasteTest, realClock_noKeystrokeComesEarly) {
    SteadyClock steady;
    ASSERT_TRUE(run(steady).ok());
    ASSERT_EQ(keys.events.size(), 4);
    EXPECT_GE(keys.events[0].at - desktop.activations[0].at, 250ms);
    EXPECT_GE(keys.events[2].at - keys.events[1].at, 1000ms);
}

} // namespace
} // namespace tovik
