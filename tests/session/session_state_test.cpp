#include "session/session_fixture.h"

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
    QSignalSpy expanded(&store, &SessionStore::toolbarExpandedChanged);

    store.setSessionShortcutAvailable(true);
    store.setSessionShortcutAvailable(false);
    store.setSessionShortcutAvailable(false);
    store.setPreviousApp(editor);
    store.setPreviousApp(editor);
    store.setError(std::nullopt);
    store.setError(QStringLiteral("x"));
    store.setError(QStringLiteral("x"));
    store.setToolbarExpanded(false);

    EXPECT_EQ(shortcut.count(), 1);
    EXPECT_EQ(previous.count(), 1);
    EXPECT_EQ(error.count(), 1);
    EXPECT_EQ(expanded.count(), 0);
}

TEST_F(SessionStateTest, removal_leavesNumberGapsAndKeepsCounting) {
    const QUuid first = addCapture();
    const QUuid second = addCapture();
    addCapture();
    store.remove(second);
    EXPECT_EQ(numbers(), QList<qint64>({1, 3}));
    addCapture();
    EXPECT_EQ(numbers(), QList<qint64>({1, 3, 4}));

    const QList<CapturedItem> all = store.items();
    for (const CapturedItem& item : all)
        store.remove(item.id());
    store.remove(first);
    EXPECT_TRUE(store.items().isEmpty());
    EXPECT_EQ(store.phase(), Phase::monitoring);
    EXPECT_EQ(store.nextNumber(), 5);
}

// After a copy every edit of the captures raises the revision by one and empties the cache,
// hasExported and the notice.
TEST_F(SessionStateTest, everyEdit_marksTheSessionChanged) {
    const QUuid id = addCapture();
    const std::vector<std::pair<const char*, std::function<void()>>> edits = {
        {"new capture", [this] { addCapture(); }},
        {"comment", [&] { store.updateComment(id, QStringLiteral("Button is cut off")); }},
        {"remove of an unknown id", [this] { store.remove(QUuid::createUuid()); }},
        {"remove", [&] { store.remove(id); }},
    };
    for (const auto& [name, edit] : edits) {
        SCOPED_TRACE(name);
        store.copyFiles(false);
        ASSERT_TRUE(waitUntilIdle());
        ASSERT_TRUE(store.hasExported() && store.notice() && !store.exportCache().isEmpty());
        const qint64 before = store.revision();
        edit();
        EXPECT_EQ(store.revision(), before + 1);
        EXPECT_TRUE(store.exportCache().isEmpty());
        EXPECT_FALSE(store.hasExported());
        EXPECT_FALSE(store.notice());
    }
}

TEST_F(SessionStateTest, updateComment_keepsTheImageAndIgnoresUnknownIds) {
    const QUuid id = addCapture();
    const qint64 imageKey = store.items()[0].image.cacheKey();
    store.updateComment(id, QStringLiteral("Typo"));
    EXPECT_EQ(store.items()[0].annotation.comment, QStringLiteral("Typo"));
    EXPECT_EQ(store.items()[0].image.cacheKey(), imageKey);

    const qint64 revision = store.revision();
    store.updateComment(QUuid::createUuid(), QStringLiteral("x"));
    EXPECT_EQ(store.revision(), revision);
}

TEST_F(SessionStateTest, stopSession_hidesAndCollapsesToolbarAndReturnsFocus) {
    startCapture();
    store.stopSession();
    EXPECT_EQ(store.phase(), Phase::ready);
    EXPECT_FALSE(store.hasCaptureTask());
    EXPECT_TRUE(store.overlays().empty());

    addCapture();
    store.setToolbarExpanded(true);
    desktop.active = true;
    desktop.activations.clear();
    store.stopSession();
    EXPECT_EQ(store.phase(), Phase::review);
    EXPECT_FALSE(ui.toolbarVisible);
    EXPECT_FALSE(store.toolbarExpanded());
    EXPECT_EQ(ui.toolbarSize, QSizeF(320, 56));
    ASSERT_EQ(desktop.activations.size(), 1);
    EXPECT_EQ(desktop.activations[0].app, editor);
}

TEST_F(SessionStateTest, rememberPreviousApp_ignoresOwnWindowTerminatedAndNone) {
    store.rememberPreviousApp();
    ASSERT_EQ(store.previousApp(), editor);

    desktop.frontmost = FakeDesktop::app(FakeDesktop::ownPid, 0x9000, "tovik");
    store.rememberPreviousApp();
    desktop.frontmost = browser;
    desktop.terminated.append(browser);
    store.rememberPreviousApp();
    desktop.frontmost.reset();
    store.rememberPreviousApp();
    EXPECT_EQ(store.previousApp(), editor);
}

TEST_F(SessionStateTest, setToolbarExpanded_resizesOnlyAnExistingToolbar) {
    store.setToolbarExpanded(true);
    EXPECT_FALSE(ui.toolbarSize.isValid());
    store.showToolbar();
    store.setToolbarExpanded(true);
    EXPECT_EQ(ui.toolbarSize, QSizeF(320, 222));
    store.setToolbarExpanded(false);
    EXPECT_EQ(ui.toolbarSize, QSizeF(320, 56));
}

TEST_F(SessionStateTest, memoryUsageAndPrompt_coverEveryCapture) {
    addCapture({0, 0, 100, 50}, QStringLiteral("Header overlaps"));
    addCapture({0, 0, 30, 30});
    EXPECT_EQ(store.memoryUsage(), 100 * 50 * 4 + 30 * 30 * 4);
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
    const auto record = ui.overlays[0];
    record->callbacks.cancel();
    EXPECT_TRUE(record->closed);
    EXPECT_FALSE(record->destroyed);
    EXPECT_TRUE(QTest::qWaitFor([&] { return record->destroyed; }));
}

TEST_F(SessionStateTest, overlayClosedWhileItsAlertRuns_outlivesTheAlert) {
    startCapture();
    const auto record = ui.overlays[0];
    bool destroyedDuringAlert = false;
    ui.duringAlert = [&] {
        store.screenChanged();
        QTest::qWait(5); // a modal alert turns the event loop
        destroyedDuringAlert = record->destroyed;
    };
    confirm({900, 900, 50, 50}); // nothing to cut: the alert comes up
    ASSERT_EQ(ui.alerts.size(), 1);
    EXPECT_TRUE(record->closed);
    EXPECT_FALSE(destroyedDuringAlert);
    EXPECT_TRUE(QTest::qWaitFor([&] { return record->destroyed; }));
}

} // namespace
} // namespace tovik
