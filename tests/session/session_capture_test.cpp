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

TEST_F(SessionCaptureTest, twoDisplays_sameNumberAndSelectionHidesTheOther) {
    screens.screenList.append(FakeScreenSource::screen("Side", {800, 0, 1024, 768}, 2, 2));
    addCapture();
    startCapture();
    ASSERT_EQ(ui.openOverlays().size(), 2);
    const auto left = ui.openOverlays()[0];
    const auto right = ui.openOverlays()[1];
    EXPECT_EQ(left->number, 2);
    EXPECT_EQ(right->number, 2);
    EXPECT_EQ(right->snapshot.image.size(), QSize(2048, 1536));

    right->callbacks.selectionMade();
    EXPECT_FALSE(left->visible);
    EXPECT_TRUE(right->visible);
    EXPECT_EQ(store.overlays().size(), 2u);
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
    EXPECT_EQ(store.items()[0].image.size(), QSize(100, 50));
    EXPECT_EQ(store.nextNumber(), 2);
    EXPECT_EQ(store.phase(), Phase::monitoring);
    EXPECT_TRUE(store.overlays().empty());
    EXPECT_TRUE(ui.toolbarVisible);
    ASSERT_FALSE(desktop.activations.isEmpty());
    EXPECT_EQ(desktop.activations.last().app, editor);
}

TEST_F(SessionCaptureTest, selectionBeyondScreen_keptWhileCropIsClipped) {
    startCapture();
    confirm({700, 500, 200, 200});
    ASSERT_EQ(store.items().size(), 1);
    const Annotation& a = store.items()[0].annotation;
    EXPECT_EQ(a.selection, (MarkRect{700, 500, 200, 200}));
    EXPECT_EQ(a.crop, (MarkRect{700, 500, 100, 100}));
}

TEST_F(SessionCaptureTest, retinaSnapshot_twoPixelsPerPoint) {
    screens.screenList = {FakeScreenSource::screen("Retina", {0, 0, 1440, 900}, 2, 3)};
    startCapture();
    confirm({0, 0, 100, 50});
    ASSERT_EQ(store.items().size(), 1);
    EXPECT_EQ(store.items()[0].annotation.pixelsPerPoint, 2.0);
    EXPECT_EQ(store.items()[0].image.size(), QSize(200, 100));
}

TEST_F(SessionCaptureTest, confirmOutsideCapturing_isIgnored) {
    startCapture();
    const auto record = ui.overlays[0];
    store.cancelCapture();
    record->callbacks.confirm({0, 0, 10, 10}, {}, {});
    EXPECT_TRUE(store.items().isEmpty());
    EXPECT_EQ(store.phase(), Phase::ready);
}

TEST_F(SessionCaptureTest, renderFailure_alertsAndKeepsTheCaptureOpen) {
    startCapture();
    confirm({900, 900, 50, 50}); // wholly off the screen: nothing to cut
    ASSERT_EQ(ui.alerts.size(), 1);
    EXPECT_EQ(ui.alerts[0].messageText, cannotSave);
    EXPECT_EQ(store.phase(), Phase::capturing);
    EXPECT_EQ(ui.openOverlays().size(), 1);
    EXPECT_TRUE(store.items().isEmpty());

    confirm({0, 0, 50, 50});
    EXPECT_EQ(store.items().size(), 1);
    EXPECT_EQ(store.items()[0].annotation.number, 1);
}

// A screen one point wide whose snapshot is one pixel: the estimate of a selection grows
// with its height while the rendered image stays one pixel, so the limit can be reached
// without holding half a gigabyte.
class MemoryLimitTest : public SessionFixture {
protected:
    void SetUp() override {
        addCapture({0, 0, 100, 50});
        held = store.memoryUsage();
        ASSERT_GT(held, 0);
        screens.screenList = {FakeScreenSource::screen("Tall", {0, 0, 1, 1 << 30}, 1, 9)};
        QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
        pixel.fill(Qt::white);
        screens.images[0] = pixel;
        startCapture();
    }
    // A selection of one point by `height` points, estimated at height × 4 bytes.
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
    EXPECT_EQ(store.phase(), Phase::capturing);
    EXPECT_EQ(ui.openOverlays().size(), 1);
}

TEST_F(SessionCaptureTest, cancelOfFirstCapture_returnsToReadyWithToolbarHidden) {
    startCapture();
    ui.overlays[0]->callbacks.cancel();
    EXPECT_EQ(store.phase(), Phase::ready);
    EXPECT_FALSE(ui.toolbarVisible);
    EXPECT_FALSE(store.hasCaptureTask());
    EXPECT_TRUE(store.overlays().empty());
}

TEST_F(SessionCaptureTest, cancelOfLaterCapture_returnsToMonitoringWithToolbarShown) {
    addCapture();
    startCapture();
    ui.openOverlays()[0]->callbacks.cancel();
    EXPECT_EQ(store.phase(), Phase::monitoring);
    EXPECT_TRUE(ui.toolbarVisible);
    EXPECT_EQ(store.items().size(), 1);
}

TEST_F(SessionCaptureTest, startSessionFromReview_dropsCapturesAndNumbersFromOne) {
    addCapture();
    addCapture();
    store.stopSession();
    ASSERT_EQ(store.phase(), Phase::review);
    startCapture();
    EXPECT_TRUE(store.items().isEmpty());
    EXPECT_EQ(ui.openOverlays()[0]->number, 1);
}

TEST_F(SessionCaptureTest, resumeFromReview_keepsCapturesAndNumbering) {
    addCapture();
    store.stopSession();
    store.resume();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !store.overlays().empty(); }));
    EXPECT_EQ(store.items().size(), 1);
    EXPECT_EQ(ui.openOverlays()[0]->number, 2);
}

TEST_F(SessionCaptureTest, captureWhileCapturing_isIgnored) {
    startCapture();
    store.capture();
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

TEST_F(SessionCaptureTest, cancelledDuringGrab_opensNothing) {
    addCapture();
    screens.onGrab = [this](int) { store.cancelCapture(); };
    store.capture();
    QTest::qWait(5);
    EXPECT_EQ(ui.overlays.size(), 1); // the first capture's only
    EXPECT_FALSE(store.error());
    EXPECT_EQ(store.phase(), Phase::monitoring);
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
    EXPECT_EQ(store.phase(), Phase::monitoring);
    EXPECT_FALSE(store.error());
}

TEST(SessionStoreLifetime, callbacksAfterTheStoreIsGone_doNothing) {
    FakeScreenSource screens;
    screens.screenList = {FakeScreenSource::screen("Main", {0, 0, 800, 600}, 1, 1)};
    FakeDesktop desktop;
    FakeClipboard clipboard;
    FakeKeyInjector keys;
    FakeClock clock;
    FakeSessionUi ui;
    auto store = std::make_unique<SessionStore>(
        SessionServices{screens, desktop, clipboard, keys, clock, ui});
    store->startOrCapture();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.overlays.size() == 1; }));
    const OverlayCallbacks callbacks = ui.overlays[0]->callbacks;
    store.reset();

    callbacks.selectionMade();
    callbacks.confirm({0, 0, 10, 10}, {}, {});
    callbacks.cancel();
    EXPECT_TRUE(ui.alerts.isEmpty());
}

TEST(SessionStoreLifetime, storeGoneBeforeTheTaskRuns_grabsNothing) {
    FakeScreenSource screens;
    screens.screenList = {FakeScreenSource::screen("Main", {0, 0, 800, 600}, 1, 1)};
    FakeDesktop desktop;
    FakeClipboard clipboard;
    FakeKeyInjector keys;
    FakeClock clock;
    FakeSessionUi ui;
    auto store = std::make_unique<SessionStore>(
        SessionServices{screens, desktop, clipboard, keys, clock, ui});
    store->startOrCapture();
    store.reset();
    QTest::qWait(5);
    EXPECT_TRUE(screens.grabs.isEmpty());
    EXPECT_TRUE(ui.overlays.isEmpty());
}

} // namespace
} // namespace tovik
