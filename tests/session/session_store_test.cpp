// The real session store on fakes of every seam.
#include "capture/screen_capture.h"
#include "model/session_error.h"
#include "paste/direct_paste.h"
#include "session/session_store.h"
#include "support/fake_clipboard.h"
#include "support/fake_clock.h"
#include "support/fake_desktop.h"
#include "support/fake_key_injector.h"
#include "support/fake_screen_source.h"
#include "support/fake_session_ui.h"
#include "support/store_fixture.h"
#include "support/task_result.h"

#include <QSemaphore>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace tovik {
namespace {

using namespace std::chrono_literals;

const QString cannotSave = QStringLiteral("Capture couldn’t be saved");
const QString couldNotPaste = QStringLiteral("Couldn’t paste");
const QString stopped = QStringLiteral("Photos sent; text paste stopped");
const QString hint =
    QStringLiteral("\nUse Copy prompt in the session window to copy just the feedback text.");
const QString pasteSent = QStringLiteral("Photos and feedback text sent");
const QString clipboardRefused =
    QStringLiteral("The clipboard could not accept the files. Try copying again.");

// The store fixture plus helpers for second stores and alerts.
class SessionTest : public StoreFixture {
public:
    // Confirms on the first overlay still open.
    void confirm(const QRectF& selection, const QString& comment = {}) {
        ASSERT_FALSE(ui.openOverlays().isEmpty());
        ui.openOverlays().first()->callbacks.confirm(selection, comment, {});
    }
    int exportFolders() const {
        return int(QDir(exportDir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    }
    void expectAlert(const QString& title, const QString& text) {
        ASSERT_EQ(ui.alerts.size(), 1);
        EXPECT_EQ(ui.alerts[0].messageText, title);
        EXPECT_EQ(ui.alerts[0].informativeText, text);
    }

    const AppRef browser = FakeDesktop::app(200, 0x2000, "browser");
};

// Holds the only worker thread of the pool: an export started meanwhile can only wait, so a
// store that wrote on the main thread would finish while the worker is still held.
struct HeldWorkerPool {
    HeldWorkerPool() { QThreadPool::globalInstance()->setMaxThreadCount(1); }
    ~HeldWorkerPool() {
        release();
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
    }
    void release() {
        semaphore.release(held.isFinished() ? 0 : 1);
        held.waitForFinished();
    }

    int threads = QThreadPool::globalInstance()->maxThreadCount();
    QSemaphore semaphore;
    QFuture<void> held = QtConcurrent::run([this] { semaphore.acquire(); });
};

// Copies reuse their folder while nothing changed; after a copy every edit of the captures
// raises the revision by one and empties the cache, hasExported and the notice; a removal
// leaves a gap in the numbering.
TEST_F(SessionTest, copiesWriteOncePerVariant_everyEditMarksTheSessionChanged_removalLeavesAGap) {
    const QUuid id = addCapture();
    for (const bool sheet : {false, false, true}) {
        store.copyFiles(sheet);
        ASSERT_TRUE(waitUntilIdle());
    }
    EXPECT_EQ(exportFolders(), 2);
    EXPECT_EQ(store.exportCache().keys(), QList<bool>({false, true}));
    const ExportBundle bundle = store.exportCache().value(false).bundle;
    EXPECT_EQ(clipboard.writes.mid(0, 2), QList({bundlePayload(bundle), bundlePayload(bundle)}));

    const std::vector<std::pair<const char*, std::function<void()>>> edits = {
        {"new capture", [this] { addCapture(); }},
        {"comment", [&] { store.updateComment(id, QStringLiteral("Button is cut off")); }},
        {"remove", [&] { store.remove(id); }}};
    for (const auto& [name, edit] : edits) {
        SCOPED_TRACE(name);
        store.copyFiles(false);
        ASSERT_TRUE(waitUntilIdle());
        ASSERT_TRUE(store.hasExported() && store.notice() && !store.exportCache().isEmpty());
        const qint64 before = store.revision();
        edit();
        EXPECT_EQ(store.revision(), before + 1);
        EXPECT_FALSE(store.hasExported() || store.notice() || !store.exportCache().isEmpty());
    }
    addCapture();
    QList<qint64> numbers;
    for (const CapturedItem& item : store.items())
        numbers.append(item.annotation.number);
    EXPECT_EQ(numbers, QList<qint64>({2, 3}));
}

TEST_F(SessionTest, stopResumeAndShutdown_driveToolbarOverlaysAndFocus) {
    addCapture();
    store.setToolbarExpanded(true);
    desktop.active = true;
    store.stopSession();
    EXPECT_EQ(store.phase(), Phase::review);
    EXPECT_FALSE(ui.toolbarVisible || store.toolbarExpanded());
    EXPECT_EQ(ui.toolbarSize, QSizeF(320, 56));
    EXPECT_EQ(desktop.activations.last().app, editor);
    store.resume(); // keeps the captures and their numbering
    ASSERT_TRUE(QTest::qWaitFor([this] { return !store.overlays().empty(); }));
    EXPECT_EQ(ui.overlays.last()->number, 2);
    store.shutdown();
    EXPECT_TRUE(store.overlays().empty() && ui.overlays.last()->closed);
    EXPECT_TRUE(ui.calls.contains(QStringLiteral("closeToolbar")));
}

// An overlay closed while its callback runs (here: while its alert turns the event loop) is
// destroyed only after the callback returned.
TEST_F(SessionTest, closedOverlays_outliveTheirCallbackAndAlert_orTheirStore) {
    ASSERT_TRUE(startCapture());
    const auto record = ui.overlays[0];
    bool destroyedDuringAlert = false;
    ui.duringAlert = [&] {
        store.screenChanged();
        QTest::qWait(5); // a modal alert turns the event loop
        destroyedDuringAlert = record->destroyed;
    };
    confirm({900, 900, 50, 50}); // wholly off the screen: nothing to cut
    ASSERT_EQ(ui.alerts.size(), 1);
    EXPECT_EQ(ui.alerts[0].messageText, cannotSave);
    EXPECT_TRUE(record->closed && !destroyedDuringAlert);
    EXPECT_TRUE(QTest::qWaitFor([&] { return record->destroyed; }));

    // Callbacks of an overlay whose store is gone do nothing.
    auto doomed = std::make_unique<SessionStore>(services());
    ASSERT_TRUE(startCapture(*doomed));
    const OverlayCallbacks callbacks = ui.overlays.last()->callbacks;
    doomed.reset();
    callbacks.selectionMade();
    callbacks.confirm({0, 0, 10, 10}, {}, {});
    callbacks.cancel();
    EXPECT_EQ(ui.alerts.size(), 1);
}

TEST_F(SessionTest, firstCapture_opensAtOnceConfirmCutsAtFullResolution) {
    screens.screenList = {FakeScreenSource::screen("Retina", {0, 0, 1440, 900}, 2, 3)};
    store.startOrCapture();
    ASSERT_TRUE(QTest::qWaitFor([this] { return store.overlays().size() == 1; }));
    EXPECT_EQ(ui.overlays[0]->calls, QStringList({"show", "makeKey"}));
    desktop.active = true;
    confirm({1400, 850, 100, 100}, QStringLiteral("Misaligned"));
    ASSERT_EQ(store.items().size(), 1);
    EXPECT_EQ(store.items()[0].annotation.comment, QStringLiteral("Misaligned"));
    EXPECT_EQ(store.items()[0].annotation.selection, (MarkRect{1400, 850, 100, 100}));
    EXPECT_EQ(store.items()[0].image.size(), QSize(80, 100)); // clipped to the screen
    EXPECT_EQ(store.phase(), Phase::monitoring);
    EXPECT_TRUE(store.overlays().empty() && ui.toolbarVisible);
    EXPECT_EQ(desktop.activations.last().app, editor);
}

TEST_F(SessionTest, twoDisplays_sameNumberKeyUnderPointerSelectionHidesTheOther) {
    screens.screenList.append(FakeScreenSource::screen("Side", {800, 0, 800, 600}, 1, 2));
    desktop.mouse = QPoint(900, 100);
    addCapture();
    ASSERT_TRUE(startCapture());
    EXPECT_TRUE(ui.overlays[3]->calls.contains("makeKey")); // the one under the pointer
    EXPECT_EQ(ui.overlays[2]->number, 2);
    EXPECT_EQ(ui.overlays[3]->number, 2);
    ui.overlays[3]->callbacks.selectionMade();
    EXPECT_FALSE(ui.overlays[2]->visible);
    EXPECT_TRUE(ui.overlays[3]->visible);
}

// A screen one point wide whose snapshot is one pixel: the estimate grows with the height
// of the selection (4 bytes a point) while the image stays one pixel.
TEST_F(SessionTest, memoryLimit_exactlyAtItAcceptedOneByteOverRefused) {
    addCapture({0, 0, 100, 50});
    EXPECT_EQ(store.memoryUsage(), 100 * 50 * 4);
    const qint64 room = 536870912 - store.memoryUsage();
    screens.screenList = {FakeScreenSource::screen("Tall", {0, 0, 1, 1 << 30}, 1, 9)};
    screens.images[0] = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
    ASSERT_TRUE(startCapture());
    // Images are whole 4-byte pixels, so 4 bytes is the least a capture can go over.
    confirm(QRectF(0, 0, 1, double(room / 4 + 1)));
    expectAlert(cannotSave, message(SessionError::memoryLimit));
    EXPECT_EQ(store.items().size(), 1);
    EXPECT_EQ(store.phase(), Phase::capturing);
    confirm(QRectF(0, 0, 1, double(room / 4)));
    EXPECT_EQ(ui.alerts.size(), 1);
    EXPECT_EQ(store.items().size(), 2);
}

// Calls out of phase are ignored: a capture, session or paste while capturing, a confirm from
// an overlay already cancelled.
TEST_F(SessionTest, cancel_firstCaptureEndsSessionLaterOneReturnsToToolbar_wrongPhaseIgnored) {
    ASSERT_TRUE(startCapture());
    store.capture();
    store.startSession();
    store.paste();
    QTest::qWait(5);
    EXPECT_EQ(screens.grabs.size(), 1);
    EXPECT_FALSE(store.exporting());
    ui.overlays[0]->callbacks.cancel();
    EXPECT_EQ(store.phase(), Phase::ready);
    EXPECT_FALSE(ui.toolbarVisible || store.hasCaptureTask());
    ui.overlays[0]->callbacks.confirm({0, 0, 10, 10}, {}, {});
    EXPECT_TRUE(store.items().isEmpty());
    addCapture();
    ASSERT_TRUE(startCapture());
    ui.openOverlays()[0]->callbacks.cancel();
    EXPECT_EQ(store.phase(), Phase::monitoring);
    EXPECT_TRUE(ui.toolbarVisible && store.overlays().empty());
}

TEST_F(SessionTest, missingPermission_setsScreenAccessNeeded) {
    screens.preflightAnswer = screens.requestAnswer = false;
    store.startOrCapture();
    ASSERT_TRUE(QTest::qWaitFor([this] { return store.phase() == Phase::monitoring; }));
    EXPECT_EQ(store.error(), message(ScreenCaptureError::permission));
    EXPECT_TRUE(store.screenAccessNeeded() && ui.sessionWindowVisible && ui.overlays.isEmpty());
}

TEST_F(SessionTest, cancelOrDisplayChangeBeforeSnapshots_opensNothingLater_displayChangeSaysSo) {
    store.startOrCapture();
    store.cancelCapture();
    QTest::qWait(5);
    EXPECT_TRUE(screens.grabs.isEmpty() && ui.overlays.isEmpty() && !store.error());
    EXPECT_EQ(store.phase(), Phase::ready);
    addCapture();
    store.capture();
    store.cancelCapture();
    ASSERT_TRUE(startCapture());
    QTest::qWait(5);
    EXPECT_EQ(ui.openOverlays().size(), 1); // none from the stale task
    EXPECT_EQ(screens.grabs.size(), 2);

    ui.openOverlays()[0]->callbacks.cancel();
    store.capture(); // a display change before the snapshots arrive
    store.screenChanged();
    QTest::qWait(5);
    EXPECT_TRUE(ui.openOverlays().isEmpty());
    EXPECT_EQ(store.phase(), Phase::monitoring);
    EXPECT_EQ(store.error(), message(ScreenCaptureError::displayChanged));

    ASSERT_TRUE(startCapture()); // while the overlays are shown
    store.screenChanged();
    EXPECT_TRUE(store.overlays().empty() && ui.sessionWindowVisible);
}

// Copies write on a worker thread while the main thread goes on; one copy at a time.
TEST_F(SessionTest, copies_writeOnAWorkerAndRefuseAnotherMeanwhile) {
    addCapture();
    const QUuid second = addCapture();
    {
        HeldWorkerPool pool;
        store.copyFiles(false);
        store.copyFiles(true);
        store.copyPrompt(); // the clipboard is the export's until it ends
        QTest::qWait(50);
        EXPECT_TRUE(store.exporting());
        EXPECT_EQ(exportFolders(), 0);
        pool.release();
        ASSERT_TRUE(waitUntilIdle());
        EXPECT_EQ(exportFolders(), 1);
        EXPECT_EQ(clipboard.writes.size(), 1);
    }
    HeldWorkerPool pool;
    auto task = store.copyScreenshot(second);
    QTest::qWait(50);
    EXPECT_TRUE(store.exporting());
    EXPECT_EQ(clipboard.writes.size(), 1);
    pool.release();
    EXPECT_EQ(waitForTask(std::move(task)), true);
    EXPECT_EQ(store.notice(), QStringLiteral("Screenshot #2 copied"));
}

TEST_F(SessionTest, exportFailures_setErrorOrAlertAndReleaseExporting) {
    SessionStore broken(services(), "/dev/null"); // no folder can be made in a device file
    const QUuid id = addCapture(broken);
    EXPECT_EQ(waitForTask(broken.copyScreenshot(id)), false);
    EXPECT_TRUE(broken.error());
    broken.paste();
    ASSERT_TRUE(waitUntilIdle(broken));
    ASSERT_EQ(ui.alerts.size(), 1);
    EXPECT_EQ(ui.alerts[0].messageText, couldNotPaste);
    EXPECT_TRUE(keys.events.isEmpty() && !broken.lastExport());

    addCapture();
    clipboard.refuseAll();
    store.copyFiles(false);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(store.error(), clipboardRefused);
    EXPECT_FALSE(store.notice() || store.hasExported());
    store.setError(std::nullopt);
    store.copyPrompt();
    EXPECT_EQ(store.error(), clipboardRefused);
    EXPECT_FALSE(store.notice());
}

// Direct paste: two captures; the waits run on virtual time.
class SessionPasteTest : public SessionTest {
public:
    void SetUp() override {
        first = addCapture();
        addCapture();
    }
    void pasteAndWait() {
        store.paste();
        ASSERT_TRUE(waitUntilIdle());
    }
    QUuid first;
};

// Where keys do reach other apps out of sight (the RemoteDesktop portal), this app's windows go
// first, so that the keyboard returns to the app the user came from, the unnamed one.
TEST_F(SessionPasteTest, fullRun_sendsImagesThenTextToTheAppInFrontButNotToItself_orOutOfSight) {
    desktop.frontmost = FakeDesktop::app(FakeDesktop::ownPid, 0x9000, "tovik");
    pasteAndWait();
    EXPECT_EQ(store.notice(), pasteSent);
    ASSERT_EQ(keys.events.size(), 4);
    EXPECT_EQ(keys.events[0].destination, editor);
    EXPECT_EQ(clipboard.writes.last(), textPayload(store.prompt()));
    EXPECT_TRUE(ui.alerts.isEmpty() && !store.hasExported());

    desktop.seesApplications = false;
    desktop.frontmost = AppRef{};
    store.showToolbar();
    keys.events.clear();
    pasteAndWait();
    EXPECT_EQ(store.notice(), pasteSent);
    ASSERT_EQ(keys.events.size(), 4);
    EXPECT_EQ(keys.events[0].destination, AppRef{});
    EXPECT_FALSE(ui.toolbarVisible || ui.sessionWindowVisible);
}

TEST_F(SessionPasteTest, withoutDestinationOrPermission_alertsAndNeverExports) {
    desktop.quit(editor);
    store.paste();
    expectAlert(couldNotPaste, message(PasteError::destination));
    ui.alerts.clear();
    desktop.bringToFront(browser);
    keys.permission = false;
    store.paste();
    expectAlert(couldNotPaste, message(PasteError::permission));
    EXPECT_EQ(keys.requestCount, 1);
    EXPECT_EQ(exportFolders(), 0);
}

// Where other apps are out of sight (Wayland), Paste leaves the pasting to the user: what Copy
// all puts on the clipboard, and a notice that says so; no key is sent, nothing is asked.
TEST_F(SessionPasteTest, withoutSightOfOtherApps_copiesAllAndSaysToPressCtrlV) {
    desktop.seesApplications = false;
    keys.reaches = false;
    pasteAndWait();
    EXPECT_EQ(
        store.notice(),
        QStringLiteral("2 PNGs + feedback.md copied. Press Ctrl+V in your app to paste them."));
    EXPECT_EQ(clipboard.writes, QList({bundlePayload(store.exportCache().value(false).bundle)}));
    EXPECT_TRUE(keys.events.isEmpty() && ui.alerts.isEmpty());
    EXPECT_EQ(keys.requestCount, 0);
}

// What goes wrong, and during which wait (0: before the paste).
struct PasteFailure {
    const char* name;
    std::chrono::milliseconds during;
    void (*change)(SessionPasteTest&);
    QString title, text;
};

class SessionPasteFailureTest : public SessionPasteTest,
                                public ::testing::WithParamInterface<PasteFailure> {};

// Each failure shows its alert and never pastes the text; then another paste goes through.
TEST_P(SessionPasteFailureTest, alertsThenLetsAnotherPasteStart) {
    const PasteFailure& c = GetParam();
    if (c.during == 0ms)
        c.change(*this);
    clock.duringSleep = [&](std::chrono::milliseconds d) {
        if (d == c.during)
            c.change(*this);
    };
    pasteAndWait();
    expectAlert(c.title, c.text);
    EXPECT_FALSE(store.notice());
    EXPECT_FALSE(clipboard.writes.contains(textPayload(store.prompt())));

    clock.duringSleep = nullptr;
    clipboard.accept = [](const ClipboardPayload&) { return true; };
    keys.canCreateEvents = desktop.activateAnswer = true;
    desktop.bringToFront(browser); // the paste goes to the app in front now
    keys.events.clear();
    pasteAndWait();
    EXPECT_EQ(store.notice(), pasteSent);
    ASSERT_EQ(keys.events.size(), 4);
    EXPECT_EQ(keys.events[0].destination, browser);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SessionPasteFailureTest,
    ::testing::Values(
        PasteFailure{"activationRefused", 0ms, [](auto& t) { t.desktop.activateAnswer = false; },
                     couldNotPaste, message(PasteError::destination)},
        PasteFailure{"quitDuringActivationWait", 250ms, [](auto& t) { t.desktop.quit(t.editor); },
                     couldNotPaste, message(PasteError::destination)},
        PasteFailure{"otherAppDuringTextWait", 1000ms,
                     [](auto& t) { t.desktop.bringToFront(t.browser); }, stopped,
                     message(PasteError::destination) + hint},
        PasteFailure{"foreignClipboardChange", 1000ms,
                     [](auto& t) { t.clipboard.takenByAnotherClient(); }, stopped,
                     message(PasteError::clipboardChanged) + hint},
        PasteFailure{"clipboardRefusesImages", 0ms, [](auto& t) { t.clipboard.refuseAll(); },
                     couldNotPaste, clipboardRefused},
        PasteFailure{"clipboardRefusesText", 0ms, [](auto& t) { t.clipboard.refuseAfter(1); },
                     stopped, clipboardRefused + hint},
        PasteFailure{"eventCannotBeCreated", 0ms, [](auto& t) { t.keys.canCreateEvents = false; },
                     couldNotPaste, message(PasteError::event)}),
    [](const auto& info) { return std::string(info.param.name); });

// While a paste waits, the session is frozen: no capture, edit, copy or second paste.
TEST_F(SessionPasteTest, whileExporting_everyChangeIsRefused) {
    clock.autoAdvance = false;
    store.paste();
    ASSERT_TRUE(QTest::qWaitFor([this] { return clock.pendingWaits() == 1; }));
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
    EXPECT_EQ(store.revision(), revision); // neither removed nor edited
    EXPECT_EQ(exportFolders(), 1);
    EXPECT_EQ(screens.grabs.size(), 2);
    clock.advance(250ms);
    clock.advance(1000ms);
    EXPECT_FALSE(store.exporting());
    EXPECT_EQ(keys.events.size(), 4);
}

} // namespace
} // namespace tovik
