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
const QString pasteSent = QStringLiteral("Photos and feedback text sent");

// A session with two captures and the editor in front; the paste waits run on virtual time.
class SessionPasteTest : public SessionFixture {
public:
    void SetUp() override {
        first = addCapture();
        addCapture();
        ui.alerts.clear();
    }
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

    QUuid first;
};

TEST_F(SessionPasteTest, fullRun_sendsImagesThenTextToThePreviousApp) {
    pasteAndWait();
    EXPECT_EQ(store.notice(), pasteSent);
    EXPECT_TRUE(ui.alerts.isEmpty());
    EXPECT_EQ(keys.kinds(), QStringList({"down", "up", "down", "up"}));
    for (const auto& event : keys.events)
        EXPECT_EQ(event.destination, editor);
    const ExportBundle bundle = store.exportCache().value(false).bundle;
    EXPECT_EQ(bundle.images.size(), 2);
    EXPECT_EQ(store.lastExport(), bundle.directory);
    EXPECT_EQ(clipboard.writes.last(), textPayload(store.prompt()));
    EXPECT_FALSE(store.hasExported());
    EXPECT_EQ(keys.requestCount, 0);
}

TEST_F(SessionPasteTest, withAnotherAppInFront_pastesIntoThatApp) {
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
}

TEST_F(SessionPasteTest, withoutLiveDestination_alertsAndNeverExports) {
    SessionStore fresh(services(), exportDir.filePath("fresh"));
    desktop.frontmost.reset();
    fresh.startOrCapture();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fresh.overlays().empty(); }));
    confirm({0, 0, 20, 20});
    fresh.paste();
    expectAlert(couldNotPaste, message(PasteError::destination));
    EXPECT_FALSE(fresh.exporting());
    EXPECT_FALSE(QDir(exportDir.filePath("fresh")).exists());

    ui.alerts.clear();
    desktop.quit(editor);
    store.paste();
    expectAlert(couldNotPaste, message(PasteError::destination));
    EXPECT_EQ(exportFolders(), 0);
}

TEST_F(SessionPasteTest, permissionRefused_alertsAfterAskingOnce) {
    keys.permission = false;
    store.paste();
    expectAlert(couldNotPaste, message(PasteError::permission));
    EXPECT_EQ(keys.requestCount, 1);
    EXPECT_FALSE(store.exporting());
    EXPECT_EQ(exportFolders(), 0);
}

struct PasteFailure {
    const char* name;
    std::function<void(SessionPasteTest&)> arrange;
    bool photosSent;
    QString text;
};

class SessionPasteFailureTest : public SessionPasteTest,
                                public ::testing::WithParamInterface<PasteFailure> {};

// Each failure shows its alert, and afterwards nothing runs and another paste goes through.
TEST_P(SessionPasteFailureTest, alertsThenLetsAnotherPasteStart) {
    GetParam().arrange(*this);
    pasteAndWait();
    expectAlert(GetParam().photosSent ? textStopped : couldNotPaste,
                GetParam().photosSent ? GetParam().text + copyPromptHint : GetParam().text);
    EXPECT_FALSE(store.notice());
    EXPECT_FALSE(store.exporting());

    clock.duringSleep = nullptr;
    clipboard.accept = [](const ClipboardPayload&) { return true; };
    keys.canCreateEvents = true;
    desktop.terminated.clear();
    desktop.bringToFront(editor);
    keys.events.clear();
    pasteAndWait();
    EXPECT_EQ(store.notice(), pasteSent);
    EXPECT_EQ(keys.events.size(), 4);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SessionPasteFailureTest,
    ::testing::Values(
        PasteFailure{"destinationQuitsDuringActivationWait",
                     [](auto& t) {
                         t.during(DirectPaste::activationDelay, [&t] { t.desktop.quit(t.editor); });
                     },
                     false, message(PasteError::destination)},
        PasteFailure{"destinationChangesDuringTextWait",
                     [](auto& t) {
                         t.during(DirectPaste::textDelay,
                                  [&t] { t.desktop.bringToFront(t.browser); });
                     },
                     true, message(PasteError::destination)},
        PasteFailure{"foreignClipboardChange",
                     [](auto& t) {
                         t.during(DirectPaste::textDelay,
                                  [&t] { t.clipboard.takenByAnotherClient(); });
                     },
                     true, message(PasteError::clipboardChanged)},
        PasteFailure{
            "clipboardRefusesImages", [](auto& t) { t.clipboard.refuseAll(); }, false,
            QStringLiteral("The clipboard could not accept the files. Try copying again.")},
        PasteFailure{"eventCannotBeCreated", [](auto& t) { t.keys.canCreateEvents = false; }, false,
                     message(PasteError::event)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionPasteTest, exportFailure_alertsCouldNotPaste) {
    QFile occupied(exportDir.filePath("occupied"));
    ASSERT_TRUE(occupied.open(QIODevice::WriteOnly));
    occupied.close();
    SessionStore broken(services(), occupied.fileName());
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
    EXPECT_EQ(waitForTask(store.copyScreenshot(first)), false);

    EXPECT_EQ(store.phase(), Phase::monitoring);
    EXPECT_EQ(store.items().size(), 2);
    EXPECT_EQ(store.items()[0].annotation.comment, QString());
    EXPECT_EQ(store.revision(), revision);
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
