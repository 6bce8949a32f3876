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
public:
    DirectPasteTest() { desktop.frontmost = other; }

    Outcome run(Clock& withClock) {
        const DirectPaste::Services services{desktop, clipboard, keys, withClock};
        const auto result =
            waitForTask(DirectPaste::paste(services, bundle, destination, photosSent, cancel));
        return result.value_or(Failure::platform("did not finish"));
    }
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

TEST_F(DirectPasteTest, fullRun_imagesThenTextWithFourKeyEventsToTheDestination) {
    ASSERT_TRUE(run(clock).ok());
    EXPECT_TRUE(photosSent);
    EXPECT_EQ(keys.kinds(), QStringList({"down", "up", "down", "up"}));
    for (const auto& event : keys.events)
        EXPECT_EQ(event.destination, destination);
    ASSERT_EQ(desktop.activations.size(), 1);
    EXPECT_EQ(desktop.activations[0].app, destination);
    EXPECT_EQ(clock.sleeps, QList({250ms, 1000ms}));
    EXPECT_EQ(clipboard.writes, QList({pasteImagesPayload(bundle), textPayload(bundle.prompt)}));
}

struct FailureCase {
    const char* name;
    std::function<void(DirectPasteTest&)> arrange;
    Failure error;
    bool photosSent;
    qsizetype keyEvents;
};

class DirectPasteFailureTest : public DirectPasteTest,
                               public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DirectPasteFailureTest, endsWithItsErrorAndTellsWhetherPhotosWent) {
    const FailureCase& c = GetParam();
    c.arrange(*this);
    EXPECT_EQ(run(clock).failure(), c.error);
    EXPECT_EQ(photosSent, c.photosSent);
    EXPECT_EQ(keys.events.size(), c.keyEvents);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DirectPasteFailureTest,
    ::testing::Values(
        FailureCase{"destinationQuitBefore", [](auto& w) { w.desktop.quit(w.destination); },
                    Failure::of(PasteError::destination), false, 0},
        FailureCase{"activationRefused", [](auto& w) { w.desktop.activateAnswer = false; },
                    Failure::of(PasteError::destination), false, 0},
        FailureCase{"otherAppDuringActivationWait",
                    [](auto& w) {
                        w.during(DirectPaste::activationDelay,
                                 [&w] { w.desktop.bringToFront(w.other); });
                    },
                    Failure::of(PasteError::destination), false, 0},
        FailureCase{"otherAppDuringTextWait",
                    [](auto& w) {
                        w.during(DirectPaste::textDelay, [&w] { w.desktop.bringToFront(w.other); });
                    },
                    Failure::of(PasteError::destination), true, 2},
        FailureCase{"destinationQuitsDuringTextWait",
                    [](auto& w) {
                        w.during(DirectPaste::textDelay, [&w] { w.desktop.quit(w.destination); });
                    },
                    Failure::of(PasteError::destination), true, 2},
        FailureCase{"clipboardTakenDuringTextWait",
                    [](auto& w) {
                        w.during(DirectPaste::textDelay,
                                 [&w] { w.clipboard.takenByAnotherClient(); });
                    },
                    Failure::of(PasteError::clipboardChanged), true, 2},
        FailureCase{"clipboardRefusesImages", [](auto& w) { w.clipboard.refuseAll(); },
                    Failure::of(SessionError::clipboard), false, 0},
        FailureCase{"clipboardRefusesText",
                    [](auto& w) {
                        w.clipboard.accept = [&w](const ClipboardPayload& p) {
                            return p != textPayload(w.bundle.prompt);
                        };
                    },
                    Failure::of(SessionError::clipboard), true, 2},
        FailureCase{"eventCannotBeCreated", [](auto& w) { w.keys.canCreateEvents = false; },
                    Failure::of(PasteError::event), false, 0},
        FailureCase{
            "cancelledDuringWait",
            [](auto& w) { w.during(DirectPaste::activationDelay, [&w] { w.cancel.cancel(); }); },
            Failure::cancelled(), false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DirectPasteTest, clipboardChangedDuringTextWait_textNeverWritten) {
    during(DirectPaste::textDelay, [this] { clipboard.takenByAnotherClient(); });
    run(clock);
    EXPECT_EQ(clipboard.writes, QList({pasteImagesPayload(bundle)}));
}

TEST_F(DirectPasteTest, waits_suspendUntilTheirTimeHasPassed) {
    clock.autoAdvance = false;
    const DirectPaste::Services services{desktop, clipboard, keys, clock};
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
    desktop.frontmost = FakeDesktop::app(0, 0x4000);
    EXPECT_TRUE(DirectPaste::checkDestination(desktop, anonymous, cancel)
                    .failure()
                    .is(PasteError::destination));
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
