#include "capture/screen_capture.h"
#include "model/session_error.h"
#include "session/session_fixture.h"

namespace tovik {
namespace {

using SessionCaptureTest = SessionFixture;

const QString cannotSave = QStringLiteral("Capture couldn’t be saved");

TEST_F(SessionCaptureTest, startOrCaptureInReady_opensFirstCaptureAtOnce) {
    store.startOrCapture();
    EXPECT_EQ(store.phase(), Phase::capturing);
    ASSERT_TRUE(QTest::qWaitFor([this] { return store.overlays().size() == 1; }));
    EXPECT_EQ(ui.overlays[0]->number, 1);
    EXPECT_EQ(ui.overlays[0]->calls, QStringList({"show", "makeKey"}));
    EXPECT_FALSE(ui.sessionWindowVisible);
    EXPECT_EQ(store.previousApp(), editor);
}

TEST_F(SessionCaptureTest, twoDisplays_sameNumberSelectionHidesTheOther) {
    screens.screenList.append(FakeScreenSource::screen("Side", {800, 0, 1024, 768}, 2, 2));
    addCapture();
    startCapture();
    const auto open = ui.openOverlays();
    ASSERT_EQ(open.size(), 2);
    EXPECT_EQ(open[0]->number, 2);
    EXPECT_EQ(open[1]->number, 2);
    open[1]->callbacks.selectionMade();
    EXPECT_FALSE(open[0]->visible);
    EXPECT_TRUE(open[1]->visible);
}

TEST_F(SessionCaptureTest, keyOverlay_isTheOneUnderThePointerElseTheFirst) {
    screens.screenList.append(FakeScreenSource::screen("Side", {800, 0, 800, 600}, 1, 2));
    desktop.mouse = QPoint(900, 100);
    startCapture();
    EXPECT_FALSE(ui.overlays[0]->calls.contains("makeKey"));
    EXPECT_TRUE(ui.overlays[1]->calls.contains("makeKey"));

    store.cancelCapture();
    desktop.mouse = QPoint(-50, -50);
    startCapture();
    EXPECT_TRUE(ui.overlays[2]->calls.contains("makeKey"));
    EXPECT_FALSE(ui.overlays[3]->calls.contains("makeKey"));
}

TEST_F(SessionCaptureTest, confirm_appendsCaptureAndReturnsToPreviousApp) {
    startCapture();
    desktop.active = true;
    confirm({10, 20, 100, 50}, QStringLiteral("Misaligned"));

    ASSERT_EQ(store.items().size(), 1);
    const Annotation& a = store.items()[0].annotation;
    EXPECT_EQ(a.number, 1);
    EXPECT_EQ(a.comment, QStringLiteral("Misaligned"));
    EXPECT_EQ(a.displayID, 1u);
    EXPECT_EQ(a.displayName, QStringLiteral("Main"));
    EXPECT_EQ(a.displaySize, (MarkPoint{800, 600}));
    EXPECT_EQ(store.nextNumber(), 2);
    EXPECT_EQ(store.phase(), Phase::monitoring);
    EXPECT_TRUE(store.overlays().empty());
    EXPECT_TRUE(ui.toolbarVisible);
    ASSERT_FALSE(desktop.activations.isEmpty());
    EXPECT_EQ(desktop.activations.last().app, editor);
}

TEST_F(SessionCaptureTest, selectionBeyondScreen_keptWhileCropIsClippedAtFullResolution) {
    screens.screenList = {FakeScreenSource::screen("Retina", {0, 0, 1440, 900}, 2, 3)};
    startCapture();
    confirm({1400, 850, 100, 100});
    ASSERT_EQ(store.items().size(), 1);
    const Annotation& a = store.items()[0].annotation;
    EXPECT_EQ(a.pixelsPerPoint, 2.0);
    EXPECT_EQ(a.selection, (MarkRect{1400, 850, 100, 100}));
    EXPECT_EQ(a.crop, (MarkRect{1400, 850, 40, 50}));
    EXPECT_EQ(store.items()[0].image.size(), QSize(80, 100));
}

TEST_F(SessionCaptureTest, confirmOutsideCapturing_isIgnored) {
    startCapture();
    const auto record = ui.overlays[0];
    store.cancelCapture();
    record->callbacks.confirm({0, 0, 10, 10}, {}, {});
    EXPECT_TRUE(store.items().isEmpty());
}

TEST_F(SessionCaptureTest, renderFailure_alertsAndKeepsTheCaptureOpen) {
    startCapture();
    confirm({900, 900, 50, 50}); // wholly off the screen: nothing to cut
    ASSERT_EQ(ui.alerts.size(), 1);
    EXPECT_EQ(ui.alerts[0].messageText, cannotSave);
    EXPECT_EQ(store.phase(), Phase::capturing);
    EXPECT_EQ(ui.openOverlays().size(), 1);

    confirm({0, 0, 50, 50});
    ASSERT_EQ(store.items().size(), 1);
    EXPECT_EQ(store.items()[0].annotation.number, 1);
}

// A screen one point wide whose snapshot is one pixel: the estimate of a selection grows
// with its height while the rendered image stays one pixel, so the limit is reached without
// holding half a gigabyte.
class MemoryLimitTest : public SessionFixture {
protected:
    void SetUp() override {
        addCapture({0, 0, 100, 50});
        held = store.memoryUsage();
        screens.screenList = {FakeScreenSource::screen("Tall", {0, 0, 1, 1 << 30}, 1, 9)};
        QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
        pixel.fill(Qt::white);
        screens.images[0] = pixel;
        startCapture();
    }
    // One point by `height` points: an estimate of height × 4 bytes.
    void confirmHeight(qint64 height) { confirm(QRectF(0, 0, 1, double(height))); }

    qint64 held = 0;
};

TEST_F(MemoryLimitTest, exactlyAtTheLimit_isAccepted) {
    confirmHeight((SessionStore::memoryLimit - held) / 4);
    EXPECT_TRUE(ui.alerts.isEmpty());
    EXPECT_EQ(store.items().size(), 2);
}

TEST_F(MemoryLimitTest, overTheLimit_isRefusedWithAlertAndOverlaysStay) {
    // Images are whole 4-byte pixels, so 4 bytes is the least a capture can go over.
    confirmHeight((SessionStore::memoryLimit - held) / 4 + 1);
    ASSERT_EQ(ui.alerts.size(), 1);
    EXPECT_EQ(ui.alerts[0].messageText, cannotSave);
    EXPECT_EQ(ui.alerts[0].informativeText, message(SessionError::memoryLimit));
    EXPECT_EQ(store.items().size(), 1);
    EXPECT_EQ(store.nextNumber(), 2);
    EXPECT_EQ(ui.openOverlays().size(), 1);
}

TEST_F(SessionCaptureTest, cancel_firstCaptureEndsSessionLaterOneReturnsToToolbar) {
    startCapture();
    ui.overlays[0]->callbacks.cancel();
    EXPECT_EQ(store.phase(), Phase::ready);
    EXPECT_FALSE(ui.toolbarVisible);
    EXPECT_FALSE(store.hasCaptureTask());

    addCapture();
    startCapture();
    ui.openOverlays()[0]->callbacks.cancel();
    EXPECT_EQ(store.phase(), Phase::monitoring);
    EXPECT_TRUE(ui.toolbarVisible);
    EXPECT_TRUE(store.overlays().empty());
}

TEST_F(SessionCaptureTest, fromReview_startSessionDropsCapturesResumeKeepsThem) {
    addCapture();
    store.stopSession();
    store.resume();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !store.overlays().empty(); }));
    EXPECT_EQ(ui.openOverlays()[0]->number, 2);

    confirm({0, 0, 10, 10});
    store.stopSession();
    startCapture();
    EXPECT_TRUE(store.items().isEmpty());
    EXPECT_EQ(ui.openOverlays()[0]->number, 1);
}

TEST_F(SessionCaptureTest, captureWhileCapturing_isIgnored) {
    startCapture();
    store.capture();
    store.startSession();
    QTest::qWait(5);
    EXPECT_EQ(ui.overlays.size(), 1);
    EXPECT_EQ(screens.grabs.size(), 1);
}

TEST_F(SessionCaptureTest, missingPermission_setsScreenAccessNeeded) {
    addCapture();
    screens.preflightAnswer = false;
    screens.requestAnswer = false;
    store.capture();
    ASSERT_TRUE(QTest::qWaitFor([this] { return store.phase() == Phase::monitoring; }));
    EXPECT_EQ(store.error(), message(ScreenCaptureError::permission));
    EXPECT_TRUE(store.screenAccessNeeded());
    EXPECT_TRUE(ui.sessionWindowVisible);
    EXPECT_TRUE(ui.openOverlays().isEmpty());
}

TEST_F(SessionCaptureTest, platformGrabError_shownWithItsOwnText) {
    screens.grabErrors[0] = QStringLiteral("Cannot read the screen");
    store.startOrCapture();
    ASSERT_TRUE(QTest::qWaitFor([this] { return store.phase() == Phase::monitoring; }));
    EXPECT_EQ(store.error(), QStringLiteral("Cannot read the screen"));
    EXPECT_FALSE(store.screenAccessNeeded());
}

TEST_F(SessionCaptureTest, taskCancelledBeforeSnapshots_endsSilently) {
    store.startOrCapture();
    store.cancelCapture();
    QTest::qWait(5);
    EXPECT_TRUE(screens.grabs.isEmpty());
    EXPECT_TRUE(ui.overlays.isEmpty());
    EXPECT_FALSE(store.error());
    EXPECT_EQ(store.phase(), Phase::ready);
}

TEST_F(SessionCaptureTest, staleTask_doesNotOpenOverlaysForTheNextCapture) {
    addCapture();
    store.capture();
    store.cancelCapture();
    startCapture();
    QTest::qWait(5);
    EXPECT_EQ(ui.openOverlays().size(), 1);
    EXPECT_EQ(screens.grabs.size(), 2);
}

TEST_F(SessionCaptureTest, displayChangeWhileOverlaysShown_abandonsCaptureWithError) {
    startCapture();
    store.screenChanged();
    EXPECT_TRUE(store.overlays().empty());
    EXPECT_EQ(store.phase(), Phase::ready);
    EXPECT_EQ(store.error(),
              QStringLiteral("The display arrangement changed. Select the region again."));
    EXPECT_FALSE(store.screenAccessNeeded());
    EXPECT_TRUE(ui.sessionWindowVisible);
}

TEST_F(SessionCaptureTest, displayChangeBeforeSnapshots_opensNothing) {
    addCapture();
    store.capture();
    store.screenChanged();
    QTest::qWait(5);
    EXPECT_TRUE(ui.openOverlays().isEmpty());
    EXPECT_EQ(store.phase(), Phase::monitoring);
    EXPECT_EQ(store.error(), message(ScreenCaptureError::displayChanged));
}

TEST_F(SessionCaptureTest, displayChangeWhileMonitoring_onlyReplacesToolbar) {
    addCapture();
    ui.calls.clear();
    store.screenChanged();
    EXPECT_EQ(ui.calls, QStringList({"repositionToolbar"}));
    EXPECT_FALSE(store.error());
}

TEST_F(SessionCaptureTest, storeGone_taskAndOverlayCallbacksDoNothing) {
    auto doomed = std::make_unique<SessionStore>(services());
    doomed->startOrCapture();
    doomed.reset();
    QTest::qWait(5);
    EXPECT_TRUE(screens.grabs.isEmpty());

    doomed = std::make_unique<SessionStore>(services());
    doomed->startOrCapture();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.overlays.size() == 1; }));
    const OverlayCallbacks callbacks = ui.overlays[0]->callbacks;
    doomed.reset();
    callbacks.selectionMade();
    callbacks.confirm({0, 0, 10, 10}, {}, {});
    callbacks.cancel();
    EXPECT_TRUE(ui.alerts.isEmpty());
}

} // namespace
} // namespace tovik
