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
    const ScreenInfo left = FakeScreenSource::screen("Left", {0, 0, 1440, 900}, 2, 11);
    const ScreenInfo right = FakeScreenSource::screen("Right", {1440, 0, 1001, 999}, 1.5, 22);
};

TEST_F(CaptureDisplaysTest, permission_askedOnlyWhenMissingAndRefusalGrabsNothing) {
    source.screenList = {left};
    ASSERT_TRUE(run().ok());
    EXPECT_EQ(source.requestCount, 0);
    source.preflightAnswer = false;
    ASSERT_TRUE(run().ok());
    EXPECT_EQ(source.requestCount, 1);

    source.grabs.clear();
    source.requestAnswer = false;
    EXPECT_TRUE(run().failure().is(ScreenCaptureError::permission));
    EXPECT_TRUE(source.grabs.isEmpty());

    // Refused while capturing, as a portal's question is answered: the same error.
    source.preflightAnswer = source.requestAnswer = true;
    source.onGrab = [this](int) { source.preflightAnswer = false; };
    source.grabErrors[0] = QStringLiteral("The desktop refused the request.");
    EXPECT_TRUE(run().failure().is(ScreenCaptureError::permission));
}

TEST_F(CaptureDisplaysTest,
       snapshotsInScreenOrderAtTruncatedPixelSize_unmatchedSkipped_partialResultsDropped) {
    const ScreenInfo ghost = FakeScreenSource::screen("Ghost", {0, 0, 800, 600});
    source.screenList = {left, ghost, right};
    const auto result = run();
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result->size(), 2);
    EXPECT_EQ(result->at(0).screen, left);
    EXPECT_EQ(result->at(0).displayID, 11u);
    EXPECT_EQ(result->at(0).image.size(), QSize(2880, 1800));
    EXPECT_EQ(result->at(1).screen, right);
    EXPECT_EQ(result->at(1).displayID, 22u);
    EXPECT_EQ(result->at(1).image.size(), QSize(1501, 1498)); // 1501.5 × 1498.5

    source.screenList = {ghost};
    EXPECT_TRUE(run().failure().is(ScreenCaptureError::noDisplays));
    source.screenList.clear();
    EXPECT_TRUE(run().failure().is(ScreenCaptureError::noDisplays));

    source.screenList = {left, right};
    source.grabs.clear();
    source.onGrab = [this](int) { cancel.cancel(); };
    EXPECT_TRUE(run().failure().isCancelled());
    EXPECT_EQ(source.grabs.size(), 1) << "cancellation is checked between screens";

    source.onGrab = nullptr;
    cancel = CancelToken();
    source.grabErrors[1] = QStringLiteral("BadMatch (invalid parameter attributes)");
    EXPECT_EQ(run().failure(), Failure::platform("BadMatch (invalid parameter attributes)"));
}

} // namespace
} // namespace tovik
