#include "session/session_fixture.h"

#include <QRegularExpression>

namespace tovik {
namespace {

using SessionStateTest = SessionFixture;

TEST_F(SessionStateTest, newStore_holdsInitialValues) {
    EXPECT_EQ(store.phase(), Phase::ready);
    EXPECT_TRUE(store.items().isEmpty());
    EXPECT_EQ(store.nextNumber(), 1);
    EXPECT_FALSE(store.error());
    EXPECT_FALSE(store.screenAccessNeeded());
    EXPECT_FALSE(store.notice());
    EXPECT_TRUE(store.sessionShortcutAvailable());
    EXPECT_FALSE(store.exporting());
    EXPECT_FALSE(store.lastExport());
    EXPECT_FALSE(store.hasExported());
    EXPECT_FALSE(store.toolbarExpanded());
    EXPECT_EQ(store.revision(), 0);
    EXPECT_TRUE(store.exportCache().isEmpty());
    EXPECT_FALSE(store.hasCaptureTask());
    EXPECT_TRUE(store.overlays().empty());
    EXPECT_FALSE(store.previousApp());
    EXPECT_EQ(SessionStore::memoryLimit, 536870912);
}

TEST_F(SessionStateTest, settingTheCurrentValue_notifiesNobody) {
    QSignalSpy shortcut(&store, &SessionStore::sessionShortcutAvailableChanged);
    QSignalSpy previous(&store, &SessionStore::previousAppChanged);
    QSignalSpy error(&store, &SessionStore::errorChanged);

    store.setSessionShortcutAvailable(true);
    store.setSessionShortcutAvailable(false);
    store.setSessionShortcutAvailable(false);
    store.setPreviousApp(editor);
    store.setPreviousApp(editor);
    store.setError(std::nullopt);
    store.setError(QStringLiteral("x"));
    store.setError(QStringLiteral("x"));

    EXPECT_EQ(shortcut.count(), 1);
    EXPECT_EQ(previous.count(), 1);
    EXPECT_EQ(error.count(), 1);
}

TEST_F(SessionStateTest, properties_readableAndObservableByName) {
    QSignalSpy phase(&store, SIGNAL(phaseChanged()));
    startCapture();
    EXPECT_EQ(store.property("phase").value<Phase>(), Phase::capturing);
    EXPECT_GE(phase.count(), 1);
    EXPECT_EQ(store.property("nextNumber").toLongLong(), 1);
}

TEST_F(SessionStateTest, removal_leavesNumberGapsAndKeepsCounting) {
    addCapture();
    const QUuid second = addCapture();
    addCapture();
    ASSERT_EQ(numbers(), QList<qint64>({1, 2, 3}));

    store.remove(second);
    EXPECT_EQ(numbers(), QList<qint64>({1, 3}));
    EXPECT_EQ(store.phase(), Phase::monitoring);

    addCapture();
    EXPECT_EQ(numbers(), QList<qint64>({1, 3, 4}));
}

TEST_F(SessionStateTest, removingEveryCapture_keepsThePhase) {
    const QUuid only = addCapture();
    store.remove(only);
    EXPECT_TRUE(store.items().isEmpty());
    EXPECT_EQ(store.phase(), Phase::monitoring);
    EXPECT_EQ(store.nextNumber(), 2);
}

// Each edit of the captures after a copy: one more revision, no cache, nothing exported,
// no notice.
class ChangeTrackingTest : public SessionFixture {
protected:
    void SetUp() override {
        id = addCapture();
        store.copyFiles(false);
        ASSERT_TRUE(waitUntilIdle());
        ASSERT_TRUE(store.hasExported());
        ASSERT_TRUE(store.notice());
        ASSERT_FALSE(store.exportCache().isEmpty());
        before = store.revision();
    }
    void expectChanged() {
        EXPECT_EQ(store.revision(), before + 1);
        EXPECT_TRUE(store.exportCache().isEmpty());
        EXPECT_FALSE(store.hasExported());
        EXPECT_FALSE(store.notice());
    }
    QUuid id;
    qint64 before = 0;
};

TEST_F(ChangeTrackingTest, newCapture_marksChanged) {
    addCapture();
    expectChanged();
}

TEST_F(ChangeTrackingTest, remove_marksChanged) {
    store.remove(id);
    expectChanged();
}

TEST_F(ChangeTrackingTest, removeOfUnknownId_marksChangedButKeepsItems) {
    QSignalSpy items(&store, &SessionStore::itemsChanged);
    store.remove(QUuid::createUuid());
    expectChanged();
    EXPECT_EQ(store.items().size(), 1);
    EXPECT_EQ(items.count(), 0);
}

TEST_F(ChangeTrackingTest, updateComment_replacesTextAndMarksChanged) {
    const qint64 imageKey = store.items()[0].image.cacheKey();
    store.updateComment(id, QStringLiteral("Button is cut off"));
    expectChanged();
    EXPECT_EQ(store.items()[0].annotation.comment, QStringLiteral("Button is cut off"));
    EXPECT_EQ(store.items()[0].image.cacheKey(), imageKey);
}

TEST_F(ChangeTrackingTest, updateCommentOfUnknownId_changesNothing) {
    store.updateComment(QUuid::createUuid(), QStringLiteral("x"));
    EXPECT_EQ(store.revision(), before);
    EXPECT_TRUE(store.hasExported());
    EXPECT_TRUE(store.notice());
}

TEST_F(ChangeTrackingTest, startSession_dropsCapturesAndMarksChanged) {
    store.stopSession();
    store.startSession();
    expectChanged();
    EXPECT_TRUE(store.items().isEmpty());
    EXPECT_FALSE(store.lastExport());
}

TEST_F(SessionStateTest, stopSession_withCaptures_reviewWithToolbarHiddenAndCollapsed) {
    addCapture();
    store.setToolbarExpanded(true);
    store.stopSession();
    EXPECT_EQ(store.phase(), Phase::review);
    EXPECT_FALSE(ui.toolbarVisible);
    EXPECT_FALSE(store.toolbarExpanded());
    EXPECT_EQ(ui.toolbarSize, QSizeF(320, 56));
    EXPECT_FALSE(ui.sessionWindowVisible);
}

TEST_F(SessionStateTest, stopSession_withoutCaptures_ready) {
    startCapture();
    store.stopSession();
    EXPECT_EQ(store.phase(), Phase::ready);
    EXPECT_FALSE(store.hasCaptureTask());
    EXPECT_TRUE(store.overlays().empty());
}

TEST_F(SessionStateTest, stopSession_whileInFront_returnsFocusToPreviousApp) {
    addCapture();
    desktop.activations.clear();
    desktop.active = true;
    store.stopSession();
    ASSERT_EQ(desktop.activations.size(), 1);
    EXPECT_EQ(desktop.activations[0].app, editor);

    desktop.activations.clear();
    desktop.active = false;
    store.stopSession();
    EXPECT_TRUE(desktop.activations.isEmpty());
}

TEST_F(SessionStateTest, rememberPreviousApp_ignoresOwnWindowTerminatedAndNone) {
    store.rememberPreviousApp();
    ASSERT_EQ(store.previousApp(), editor);

    desktop.frontmost = FakeDesktop::app(FakeDesktop::ownPid, 0x9000, "tovik");
    store.rememberPreviousApp();
    EXPECT_EQ(store.previousApp(), editor);

    desktop.frontmost = browser;
    desktop.terminated.append(browser);
    store.rememberPreviousApp();
    EXPECT_EQ(store.previousApp(), editor);

    desktop.frontmost.reset();
    store.rememberPreviousApp();
    EXPECT_EQ(store.previousApp(), editor);
}

TEST_F(SessionStateTest, setToolbarExpanded_resizesAnExistingToolbar) {
    store.setToolbarExpanded(true);
    EXPECT_TRUE(store.toolbarExpanded());
    EXPECT_FALSE(ui.calls.contains(QStringLiteral("resizeToolbar 320x222")));

    store.showToolbar();
    store.setToolbarExpanded(true);
    EXPECT_EQ(ui.toolbarSize, QSizeF(320, 222));
    store.setToolbarExpanded(false);
    EXPECT_EQ(ui.toolbarSize, QSizeF(320, 56));
}

TEST_F(SessionStateTest, showReviewWindowAndToolbar_swapTheWindows) {
    store.showToolbar();
    EXPECT_TRUE(ui.toolbarVisible);
    EXPECT_FALSE(ui.sessionWindowVisible);
    store.showReviewWindow();
    EXPECT_FALSE(ui.toolbarVisible);
    EXPECT_TRUE(ui.sessionWindowVisible);
}

TEST_F(SessionStateTest, memoryUsage_sumsTheRenderedImages) {
    addCapture({0, 0, 100, 50});
    addCapture({0, 0, 30, 30});
    qint64 expected = 0;
    for (const CapturedItem& item : store.items())
        expected += qint64(item.image.bytesPerLine()) * item.image.height();
    EXPECT_EQ(store.memoryUsage(), expected);
    EXPECT_GE(store.memoryUsage(), 100 * 50 * 4 + 30 * 30 * 4);
}

TEST_F(SessionStateTest, prompt_labelsCapturesByFileName) {
    addCapture({0, 0, 100, 50}, QStringLiteral("Header overlaps"));
    addCapture({0, 0, 100, 50}, QStringLiteral("Typo"));
    const QString prompt = store.prompt();
    EXPECT_TRUE(prompt.contains(QStringLiteral("tovik-001.png")));
    EXPECT_TRUE(prompt.contains(QStringLiteral("tovik-002.png")));
    EXPECT_TRUE(prompt.contains(QStringLiteral("Header overlaps")));
    EXPECT_FALSE(prompt.contains(QStringLiteral("Screenshot #")));
}

TEST_F(SessionStateTest, shutdown_closesEverythingOnScreen) {
    store.showToolbar();
    startCapture();
    store.shutdown();
    EXPECT_TRUE(store.overlays().empty());
    EXPECT_TRUE(ui.overlays[0]->closed);
    EXPECT_TRUE(ui.calls.contains(QStringLiteral("closeToolbar")));
    EXPECT_TRUE(store.hasCaptureTask());
}

TEST_F(SessionStateTest, closedOverlays_destroyedOnlyAfterTheCallReturns) {
    startCapture();
    auto record = ui.overlays[0];
    record->callbacks.cancel();
    EXPECT_TRUE(record->closed);
    EXPECT_FALSE(record->destroyed);
    EXPECT_TRUE(QTest::qWaitFor([&] { return record->destroyed; }));
}

} // namespace
} // namespace tovik
