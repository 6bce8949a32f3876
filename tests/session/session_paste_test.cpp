#include "model/session_error.h"
#include "paste/direct_paste.h"
#include "session/session_fixture.h"
#include "support/task_result.h"

namespace tovik {
namespace {

using namespace std::chrono_literals;

const QString couldNotPaste = QStringLiteral("Couldn’t paste");
const QString textStopped = QStringLiteral("Photos sent; text paste stopped");
const QString copyPromptHint =
    QStringLiteral("\nUse Copy prompt in the session window to copy just the feedback text.");

// A session with two captures, the editor in front, and the paste waits on virtual time.
class SessionPasteTest : public SessionFixture {
protected:
    void SetUp() override {
        first = addCapture();
        addCapture();
        ui.alerts.clear();
    }
    // Runs `change` during the wait of this length.
    void during(std::chrono::milliseconds wait, std::function<void()> change) {
        clock.duringSleep = [wait, change](std::chrono::milliseconds d) {
            if (d == wait)
                change();
        };
    }
    void pasteAndWait() {
        store.paste();
        ASSERT_TRUE(waitUntilIdle());
    }
    void expectAlert(const QString& title, const QString& text) {
        ASSERT_EQ(ui.alerts.size(), 1);
        EXPECT_EQ(ui.alerts[0].messageText, title);
        EXPECT_EQ(ui.alerts[0].informativeText, text);
    }
    // After a failure: nothing is running and another paste goes through.
    void expectAnotherPasteWorks() {
        EXPECT_FALSE(store.exporting());
        clock.duringSleep = nullptr;
        clipboard.accept = [](const ClipboardPayload&) { return true; };
        keys.canCreateEvents = true;
        desktop.bringToFront(editor);
        keys.events.clear();
        pasteAndWait();
        EXPECT_EQ(store.notice(), QStringLiteral("Photos and feedback text sent"));
        EXPECT_EQ(keys.events.size(), 4);
    }

    QUuid first;
};

TEST_F(SessionPasteTest, fullRun_sendsImagesThenTextToThePreviousApp) {
    pasteAndWait();
    EXPECT_EQ(store.notice(), QStringLiteral("Photos and feedback text sent"));
    EXPECT_TRUE(ui.alerts.isEmpty());
    EXPECT_EQ(keys.kinds(), QStringList({"down", "up", "down", "up"}));
    for (const auto& event : keys.events)
        EXPECT_EQ(event.destination, editor);
    ASSERT_TRUE(store.exportCache().contains(false));
    const ExportBundle bundle = store.exportCache()[false].bundle;
    EXPECT_EQ(bundle.images.size(), 2);
    EXPECT_EQ(store.lastExport(), bundle.directory);
    EXPECT_EQ(clipboard.writes.last(), textPayload(store.prompt()));
    EXPECT_FALSE(store.hasExported());
}

TEST_F(SessionPasteTest, fromTheToolbarWithAnotherAppInFront_pastesIntoThatApp) {
    desktop.bringToFront(browser);
    pasteAndWait();
    ASSERT_EQ(keys.events.size(), 4);
    EXPECT_EQ(keys.events[0].destination, browser);
}

TEST_F(SessionPasteTest, whileCapturing_doesNothing) {
    startCapture();
    store.paste();
    EXPECT_FALSE(store.exporting());
    EXPECT_TRUE(ui.alerts.isEmpty());
    EXPECT_TRUE(keys.events.isEmpty());
}

TEST_F(SessionPasteTest, withoutDestination_alertsAndNeverExports) {
    SessionStore fresh(services(), exportDir.filePath("fresh"));
    desktop.frontmost.reset();
    fresh.startOrCapture();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fresh.overlays().empty(); }));
    confirm({0, 0, 20, 20});
    ASSERT_EQ(fresh.items().size(), 1);

    fresh.paste();
    expectAlert(couldNotPaste, message(PasteError::destination));
    EXPECT_FALSE(fresh.exporting());
    EXPECT_FALSE(QDir(exportDir.filePath("fresh")).exists());
}

TEST_F(SessionPasteTest, destinationGone_alertsAndNeverExports) {
    desktop.quit(editor);
    store.paste();
    expectAlert(couldNotPaste, message(PasteError::destination));
    EXPECT_FALSE(store.exporting());
    EXPECT_EQ(exportFolders(), 0);
}

TEST_F(SessionPasteTest, permissionRefused_alertsAfterAskingOnce) {
    keys.permission = false;
    keys.requestAnswer = false;
    store.paste();
    expectAlert(couldNotPaste, message(PasteError::permission));
    EXPECT_EQ(keys.requestCount, 1);
    EXPECT_FALSE(store.exporting());
    EXPECT_EQ(exportFolders(), 0);
}

TEST_F(SessionPasteTest, permissionGranted_neverAsks) {
    pasteAndWait();
    EXPECT_EQ(keys.requestCount, 0);
}

TEST_F(SessionPasteTest, destinationChangesDuringTextWait_alertsPhotosSent) {
    during(DirectPaste::textDelay, [this] { desktop.bringToFront(browser); });
    pasteAndWait();
    expectAlert(textStopped, message(PasteError::destination) + copyPromptHint);
    EXPECT_FALSE(store.notice());
    EXPECT_TRUE(store.lastExport());
    expectAnotherPasteWorks();
}

TEST_F(SessionPasteTest, destinationQuitsDuringActivationWait_alertsCouldNotPaste) {
    during(DirectPaste::activationDelay, [this] { desktop.quit(editor); });
    pasteAndWait();
    expectAlert(couldNotPaste, message(PasteError::destination));
    EXPECT_TRUE(keys.events.isEmpty());
}

TEST_F(SessionPasteTest, foreignClipboardChange_alertsPhotosSent) {
    during(DirectPaste::textDelay, [this] { clipboard.takenByAnotherClient(); });
    pasteAndWait();
    expectAlert(textStopped, message(PasteError::clipboardChanged) + copyPromptHint);
    expectAnotherPasteWorks();
}

TEST_F(SessionPasteTest, clipboardRefusesImages_alertsCouldNotPaste) {
    clipboard.refuseAll();
    pasteAndWait();
    expectAlert(couldNotPaste,
                QStringLiteral("The clipboard could not accept the files. Try copying again."));
    expectAnotherPasteWorks();
}

TEST_F(SessionPasteTest, eventCannotBeCreated_alertsCouldNotPaste) {
    keys.canCreateEvents = false;
    pasteAndWait();
    expectAlert(couldNotPaste, message(PasteError::event));
    expectAnotherPasteWorks();
}

TEST_F(SessionPasteTest, exportFailure_alertsCouldNotPaste) {
    SessionStore broken(services(), exportDir.filePath("missing/deeper"));
    QFile occupied(exportDir.filePath("missing"));
    ASSERT_TRUE(occupied.open(QIODevice::WriteOnly));
    occupied.close();
    broken.startOrCapture();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !broken.overlays().empty(); }));
    confirm({0, 0, 20, 20});

    broken.paste();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !broken.exporting(); }));
    ASSERT_EQ(ui.alerts.size(), 1);
    EXPECT_EQ(ui.alerts[0].messageText, couldNotPaste);
    EXPECT_FALSE(broken.lastExport());
    EXPECT_TRUE(keys.events.isEmpty());
}

// While a paste waits, the session is frozen: no capture, edit, copy or second paste.
TEST_F(SessionPasteTest, whileExporting_everyChangeIsRefused) {
    clock.autoAdvance = false;
    store.paste();
    ASSERT_TRUE(QTest::qWaitFor([this] { return clock.pendingWaits() == 1; }));
    ASSERT_TRUE(store.exporting());
    const qint64 revision = store.revision();

    store.capture();
    store.startSession();
    store.resume();
    store.startOrCapture();
    store.remove(first);
    store.updateComment(first, QStringLiteral("edited"));
    store.copyFiles(false);
    store.paste();
    const auto copied = waitForTask(store.copyScreenshot(first));

    EXPECT_EQ(store.phase(), Phase::monitoring);
    EXPECT_EQ(store.items().size(), 2);
    EXPECT_EQ(store.items()[0].annotation.comment, QString());
    EXPECT_EQ(store.revision(), revision);
    ASSERT_TRUE(copied);
    EXPECT_FALSE(*copied);
    EXPECT_EQ(exportFolders(), 1);
    EXPECT_EQ(screens.grabs.size(), 2);

    clock.advance(250ms);
    clock.advance(1000ms);
    EXPECT_FALSE(store.exporting());
    EXPECT_EQ(keys.events.size(), 4);
}

TEST_F(SessionPasteTest, storeGoneDuringAWait_pasteStopsQuietly) {
    clock.autoAdvance = false;
    auto doomed = std::make_unique<SessionStore>(services(), exportDir.path());
    doomed->startOrCapture();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !doomed->overlays().empty(); }));
    confirm({0, 0, 20, 20});
    doomed->paste();
    ASSERT_TRUE(QTest::qWaitFor([this] { return clock.pendingWaits() == 1; }));
    doomed.reset();

    clock.advance(250ms);
    EXPECT_TRUE(keys.events.isEmpty());
    EXPECT_TRUE(ui.alerts.isEmpty());
    EXPECT_EQ(clock.pendingWaits(), 0);
}

} // namespace
} // namespace tovik
