#include "capture/screen_capture.h"
#include "support/fake_screen_source.h"
#include "support/task_result.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

class CaptureDisplaysTest : public ::testing::Test {
protected:
    Expected<QList<DisplaySnapshot>> run() { return *waitForTask(captureDisplays(source, cancel)); }

    FakeScreenSource source;
    CancelToken cancel;
};

TEST(ScreenCaptureError, messages_areTheUserFacingTexts) {
    EXPECT_EQ(message(ScreenCaptureError::permission),
              QStringLiteral("Allow tovik in System Settings → Privacy & Security → Screen & "
                             "System Audio Recording, then try again. macOS may ask you to "
                             "reopen the app."));
    EXPECT_EQ(message(ScreenCaptureError::noDisplays),
              QStringLiteral("No available display was found."));
    EXPECT_EQ(message(ScreenCaptureError::displayChanged),
              QStringLiteral("The display arrangement changed. Select the region again."));
}

TEST_F(CaptureDisplaysTest, permissionGranted_neverAsks) {
    source.screenList = {FakeScreenSource::screen("A", {0, 0, 100, 50}, 1, 7)};
    ASSERT_TRUE(run().ok());
    EXPECT_EQ(source.requestCount, 0);
}

TEST_F(CaptureDisplaysTest, permissionRefused_failsBeforeAnyGrab) {
    source.screenList = {FakeScreenSource::screen("A", {0, 0, 100, 50}, 1, 7)};
    source.preflightAnswer = false;
    source.requestAnswer = false;
    const auto result = run();
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.failure().is(ScreenCaptureError::permission));
    EXPECT_EQ(source.requestCount, 1);
    EXPECT_TRUE(source.grabs.isEmpty());
}

TEST_F(CaptureDisplaysTest, permissionGrantedOnRequest_continues) {
    source.screenList = {FakeScreenSource::screen("A", {0, 0, 100, 50}, 1, 7)};
    source.preflightAnswer = false;
    source.requestAnswer = true;
    EXPECT_TRUE(run().ok());
    EXPECT_EQ(source.requestCount, 1);
}

TEST_F(CaptureDisplaysTest, twoScreens_snapshotsInScreenOrder) {
    const ScreenInfo left = FakeScreenSource::screen("Left", {0, 0, 1440, 900}, 2, 11);
    const ScreenInfo right = FakeScreenSource::screen("Right", {1440, 0, 1920, 1080}, 1, 22);
    source.screenList = {left, right};
    const auto result = run();
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result->size(), 2);
    EXPECT_EQ(result->at(0).screen, left);
    EXPECT_EQ(result->at(0).displayID, 11u);
    EXPECT_EQ(result->at(0).image.size(), QSize(2880, 1800));
    EXPECT_EQ(result->at(1).screen, right);
    EXPECT_EQ(result->at(1).displayID, 22u);
    EXPECT_EQ(result->at(1).image.size(), QSize(1920, 1080));
}

TEST_F(CaptureDisplaysTest, fractionalScale_truncatesPixelSize) {
    source.screenList = {FakeScreenSource::screen("A", {0, 0, 1001, 999}, 1.5, 1)};
    ASSERT_TRUE(run().ok());
    ASSERT_EQ(source.grabs.size(), 1);
    EXPECT_EQ(source.grabs[0].pixelSize, QSize(1501, 1498));
}

TEST_F(CaptureDisplaysTest, screenWithoutDisplayId_isSkipped) {
    source.screenList = {FakeScreenSource::screen("Ghost", {0, 0, 800, 600}),
                         FakeScreenSource::screen("Real", {800, 0, 800, 600}, 1, 5)};
    const auto result = run();
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result->size(), 1);
    EXPECT_EQ(result->at(0).screen.name, QStringLiteral("Real"));
    EXPECT_EQ(source.grabs.size(), 1);
}

TEST_F(CaptureDisplaysTest, noMatchedScreen_failsWithNoDisplays) {
    source.screenList = {FakeScreenSource::screen("Ghost", {0, 0, 800, 600})};
    const auto result = run();
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.failure().is(ScreenCaptureError::noDisplays));

    source.screenList.clear();
    EXPECT_TRUE(run().failure().is(ScreenCaptureError::noDisplays));
}

TEST_F(CaptureDisplaysTest, cancelledBetweenScreens_endsCancelledWithoutSnapshots) {
    source.screenList = {FakeScreenSource::screen("A", {0, 0, 100, 100}, 1, 1),
                         FakeScreenSource::screen("B", {100, 0, 100, 100}, 1, 2)};
    source.onGrab = [this](int) { cancel.cancel(); };
    const auto result = run();
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.failure().isCancelled());
    EXPECT_EQ(source.grabs.size(), 1);
}

TEST_F(CaptureDisplaysTest, grabErrorOnSecondScreen_passedUpUnchanged) {
    source.screenList = {FakeScreenSource::screen("A", {0, 0, 100, 100}, 1, 1),
                         FakeScreenSource::screen("B", {100, 0, 100, 100}, 1, 2)};
    source.grabErrors[1] = QStringLiteral("BadMatch (invalid parameter attributes)");
    const auto result = run();
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.failure(), Failure::platform("BadMatch (invalid parameter attributes)"));
}

} // namespace
} // namespace tovik
