#include "model/session_error.h"
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
protected:
    DirectPasteTest() { desktop.frontmost = other; }

    Outcome run(Clock& withClock) {
        DirectPaste::Services services{desktop, clipboard, keys, withClock};
        const auto result =
            waitForTask(DirectPaste::paste(services, bundle, destination, photosSent, cancel));
        EXPECT_TRUE(result.has_value());
        return result.value_or(Failure::platform("did not finish"));
    }
    Outcome run() { return run(clock); }

    // Runs `change` while the wait of this length is in progress.
    void during(std::chrono::milliseconds wait, std::function<void()> change) {
        clock.duringSleep = [wait, change](std::chrono::milliseconds d) {
            if (d == wait)
                change();
        };
    }

    FakeDesktop desktop;
    FakeClipboard clipboard;
    FakeKeyInjector keys;
    FakeClock clock;
    CancelToken cancel;
    bool photosSent = false;
    const AppRef destination = FakeDesktop::app(100, 0x1000, "editor");
    const AppRef other = FakeDesktop::app(200, 0x2000, "browser");
    const ExportBundle bundle{"/tmp/tovik-A",
                              {"/tmp/tovik-A/tovik-001.png", "/tmp/tovik-A/tovik-003.png"},
                              "#1 — tovik-001.png\nFix the header."};
};

TEST(PasteError, messages_areTheUserFacingTexts) {
    EXPECT_EQ(message(PasteError::permission),
              QStringLiteral("Allow tovik in System Settings → Privacy & Security → "
                             "Accessibility, then click Paste again."));
    EXPECT_EQ(message(PasteError::destination),
              QStringLiteral("Focus the destination app’s input, then click Paste. Keep that app "
                             "focused until pasting finishes."));
    EXPECT_EQ(message(PasteError::clipboardChanged),
              QStringLiteral("The clipboard changed after the photos were sent. Feedback text "
                             "was not pasted."));
    EXPECT_EQ(message(PasteError::event),
              QStringLiteral("The paste command could not be sent. Use Copy all files or Copy "
                             "prompt from the session window."));
}

TEST_F(DirectPasteTest, fullRun_postsFourEventsInOrderToDestination) {
    ASSERT_TRUE(run().ok());
    EXPECT_TRUE(photosSent);
    EXPECT_EQ(keys.kinds(), QStringList({"down", "up", "down", "up"}));
    for (const auto& event : keys.events)
        EXPECT_EQ(event.destination, destination);
    ASSERT_EQ(desktop.activations.size(), 1);
    EXPECT_EQ(desktop.activations[0].app, destination);
    EXPECT_EQ(clock.sleeps, QList({250ms, 1000ms}));
}

TEST_F(DirectPasteTest, fullRun_imagesThenTextOnClipboard) {
    ASSERT_TRUE(run().ok());
    ASSERT_EQ(clipboard.writes.size(), 2);
    EXPECT_EQ(clipboard.writes[0], pasteImagesPayload(bundle));
    EXPECT_EQ(clipboard.writes[1], textPayload(bundle.prompt));
}

TEST_F(DirectPasteTest, destinationQuitBeforeStart_failsWithoutSendingAnything) {
    desktop.quit(destination);
    EXPECT_TRUE(run().failure().is(PasteError::destination));
    EXPECT_FALSE(photosSent);
    EXPECT_TRUE(clipboard.writes.isEmpty());
    EXPECT_TRUE(keys.events.isEmpty());
}

TEST_F(DirectPasteTest, activationRefused_failsWithDestination) {
    desktop.activateAnswer = false;
    EXPECT_TRUE(run().failure().is(PasteError::destination));
    EXPECT_FALSE(photosSent);
    EXPECT_TRUE(keys.events.isEmpty());
}

TEST_F(DirectPasteTest, otherAppInFrontAfterActivation_stopsBeforeImages) {
    during(DirectPaste::activationDelay, [this] { desktop.bringToFront(other); });
    EXPECT_TRUE(run().failure().is(PasteError::destination));
    EXPECT_FALSE(photosSent);
    EXPECT_TRUE(clipboard.writes.isEmpty());
    EXPECT_TRUE(keys.events.isEmpty());
}

TEST_F(DirectPasteTest, otherAppInFrontDuringTextWait_stopsAfterImages) {
    during(DirectPaste::textDelay, [this] { desktop.bringToFront(other); });
    EXPECT_TRUE(run().failure().is(PasteError::destination));
    EXPECT_TRUE(photosSent);
    EXPECT_EQ(keys.kinds(), QStringList({"down", "up"}));
    EXPECT_EQ(clipboard.writes.size(), 1);
}

TEST_F(DirectPasteTest, destinationQuitsDuringTextWait_stopsAfterImages) {
    during(DirectPaste::textDelay, [this] { desktop.quit(destination); });
    EXPECT_TRUE(run().failure().is(PasteError::destination));
    EXPECT_TRUE(photosSent);
    EXPECT_EQ(keys.events.size(), 2);
}

TEST_F(DirectPasteTest, clipboardTakenDuringTextWait_textNeverWritten) {
    during(DirectPaste::textDelay, [this] { clipboard.takenByAnotherClient(); });
    EXPECT_TRUE(run().failure().is(PasteError::clipboardChanged));
    EXPECT_TRUE(photosSent);
    EXPECT_EQ(clipboard.writes.size(), 1);
    EXPECT_EQ(keys.events.size(), 2);
}

TEST_F(DirectPasteTest, clipboardRefusesImages_failsBeforeAnyKey) {
    clipboard.refuseAll();
    EXPECT_TRUE(run().failure().is(SessionError::clipboard));
    EXPECT_FALSE(photosSent);
    EXPECT_TRUE(keys.events.isEmpty());
}

TEST_F(DirectPasteTest, clipboardRefusesText_failsAfterImages) {
    clipboard.accept = [this](const ClipboardPayload& p) {
        return p != textPayload(bundle.prompt);
    };
    EXPECT_TRUE(run().failure().is(SessionError::clipboard));
    EXPECT_TRUE(photosSent);
    EXPECT_EQ(keys.events.size(), 2);
}

TEST_F(DirectPasteTest, eventCannotBeCreated_failsWithEvent) {
    keys.canCreateEvents = false;
    EXPECT_TRUE(run().failure().is(PasteError::event));
    EXPECT_FALSE(photosSent);
}

TEST_F(DirectPasteTest, cancelledDuringWait_endsCancelledWithoutKeys) {
    during(DirectPaste::activationDelay, [this] { cancel.cancel(); });
    EXPECT_TRUE(run().failure().isCancelled());
    EXPECT_TRUE(keys.events.isEmpty());
    EXPECT_TRUE(clipboard.writes.isEmpty());
}

TEST_F(DirectPasteTest, waits_suspendUntilTimeHasPassed) {
    clock.autoAdvance = false;
    DirectPaste::Services services{desktop, clipboard, keys, clock};
    auto task = DirectPaste::paste(services, bundle, destination, photosSent, cancel);
    clock.advance(249ms);
    EXPECT_TRUE(keys.events.isEmpty());
    clock.advance(1ms);
    EXPECT_EQ(keys.events.size(), 2);
    clock.advance(999ms);
    EXPECT_EQ(keys.events.size(), 2);
    clock.advance(1ms);
    EXPECT_EQ(keys.events.size(), 4);
    EXPECT_TRUE(task.isReady());
}

TEST_F(DirectPasteTest, windowsWithoutPid_areToldApartByWindow) {
    const AppRef anonymous = FakeDesktop::app(0, 0x3000);
    const AppRef otherAnonymous = FakeDesktop::app(0, 0x4000);
    DirectPaste::Services services{desktop, clipboard, keys, clock};
    desktop.frontmost = otherAnonymous;
    EXPECT_TRUE(DirectPaste::checkDestination(desktop, anonymous, cancel)
                    .failure()
                    .is(PasteError::destination));
    desktop.frontmost = anonymous;
    EXPECT_TRUE(DirectPaste::sendPasteShortcut(services, anonymous, cancel).ok());
}

TEST_F(DirectPasteTest, realClock_noKeystrokeComesEarly) {
    SteadyClock steady;
    ASSERT_TRUE(run(steady).ok());
    ASSERT_EQ(keys.events.size(), 4);
    ASSERT_EQ(desktop.activations.size(), 1);
    EXPECT_GE(keys.events[0].at - desktop.activations[0].at, 250ms);
    EXPECT_GE(keys.events[2].at - keys.events[1].at, 1000ms);
}

} // namespace
} // namespace tovik
