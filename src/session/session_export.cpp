#include "model/session_error.h"
#include "paste/direct_paste.h"
#include "platform/clipboard.h"
#include "platform/key_injector.h"
#include "session/session_store.h"

#include <QCoro/QCoroFuture>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

namespace tovik {

namespace {
const QString contactSheetCopied = QStringLiteral("Contact sheet + feedback.md copied");
const QString filesCopied = QStringLiteral("%1 PNGs + feedback.md copied");
const QString screenshotCopied = QStringLiteral("Screenshot #%1 copied");
const QString promptCopied = QStringLiteral("Feedback text copied");
const QString pasteSent = QStringLiteral("Photos and feedback text sent");
const QString pasteFailed = QStringLiteral("Couldn’t paste");
const QString textPasteStopped = QStringLiteral("Photos sent; text paste stopped");
const QString pasteByHand = QStringLiteral(". Press Ctrl+V in your app to paste them.");
const QString copyPromptHint =
    QStringLiteral("\nUse Copy prompt in the session window to copy just the feedback text.");
} // namespace

// Clears `exporting` when the task that set it ends, on whatever path it ends.
class SessionStore::ExportingRelease {
public:
    explicit ExportingRelease(QPointer<SessionStore> store)
        : store_(std::move(store)) {}
    ~ExportingRelease() {
        if (store_)
            store_->setExporting(false);
    }
    ExportingRelease(const ExportingRelease&) = delete;
    ExportingRelease& operator=(const ExportingRelease&) = delete;

private:
    QPointer<SessionStore> store_;
};

void SessionStore::reportExportFailure(const Failure& failure) {
    setScreenAccessNeeded(false);
    setError(failure.message());
}

void SessionStore::copyFiles(bool contactSheet) {
    if (exporting_ || items_.isEmpty())
        return;
    setExporting(true);
    setNotice(std::nullopt);
    runCopyFiles(QPointer<SessionStore>(this), contactSheet);
}

QCoro::Task<> SessionStore::runCopyFiles(QPointer<SessionStore> self, bool contactSheet,
                                         bool byHand) {
    const ExportingRelease release(self);
    Expected<ExportBundle> bundle = co_await self->exportBundle(contactSheet);
    if (!self)
        co_return;
    if (!bundle) {
        self->reportExportFailure(bundle.failure());
        co_return;
    }
    if (!self->services_.clipboard.write(bundlePayload(*bundle))) {
        self->reportExportFailure(Failure::of(SessionError::clipboard));
        co_return;
    }
    self->setLastExport(bundle->directory);
    self->setHasExported(true);
    const QString copied = contactSheet ? contactSheetCopied : filesCopied.arg(self->items_.size());
    self->setNotice(byHand ? copied + pasteByHand : copied);
}

void SessionStore::copyPrompt() {
    if (exporting_ || items_.isEmpty())
        return;
    setNotice(std::nullopt);
    if (!services_.clipboard.write(textPayload(prompt()))) {
        reportExportFailure(Failure::of(SessionError::clipboard));
        return;
    }
    setNotice(promptCopied);
}

QCoro::Task<Expected<ExportBundle>> SessionStore::exportBundle(bool contactSheet) {
    const auto cached = exportCache_.constFind(contactSheet);
    if (cached != exportCache_.cend() && cached->revision == revision_)
        co_return cached->bundle;

    const QPointer<SessionStore> self(this);
    const qint64 revision = revision_;
    // The worker gets its own copy; images and texts are shared, not duplicated.
    QFuture<Expected<ExportBundle>> written =
        QtConcurrent::run([captures = items_, contactSheet, base = exportBase_, pngs = encodings_] {
            return makeBundle(captures, contactSheet, base, pngs);
        });
    Expected<ExportBundle> bundle = co_await written;
    // Kept only while it still matches the captures it was written from.
    if (bundle && self && self->revision_ == revision) {
        ExportCache cache = self->exportCache_;
        cache.insert(contactSheet, CachedExport{revision, *bundle});
        self->setExportCache(cache);
    }
    co_return bundle;
}

QCoro::Task<bool> SessionStore::copyScreenshot(QUuid id) {
    if (exporting_)
        co_return false;
    const auto item = std::find_if(items_.cbegin(), items_.cend(),
                                   [&id](const CapturedItem& i) { return i.id() == id; });
    if (item == items_.cend())
        co_return false;
    const CapturedItem capture = *item;
    setExporting(true);
    setNotice(std::nullopt);

    const QPointer<SessionStore> self(this);
    const ExportingRelease release(self);
    QFuture<Expected<ScreenshotExport>> written =
        QtConcurrent::run([capture, base = exportBase_, png = encodings_.value(id)] {
            return exportScreenshot(capture, base, png);
        });
    Expected<ScreenshotExport> exported = co_await written;
    if (!self)
        co_return false;
    if (!exported) {
        self->reportExportFailure(exported.failure());
        co_return false;
    }
    if (!self->services_.clipboard.write(screenshotPayload(*exported))) {
        self->reportExportFailure(Failure::of(SessionError::clipboard));
        co_return false;
    }
    self->setLastExport(QFileInfo(exported->url).absolutePath());
    self->setNotice(screenshotCopied.arg(capture.annotation.number));
    co_return true;
}

bool SessionStore::pastesByHand() const {
    return !services_.desktop.seesOtherApplications() && !services_.keys.reachesOtherApps();
}

void SessionStore::paste() {
    if (exporting_ || items_.isEmpty() || phase_ == Phase::capturing)
        return;
    if (pastesByHand()) {
        setExporting(true);
        setNotice(std::nullopt);
        runCopyFiles(QPointer<SessionStore>(this), false, true);
        return;
    }
    rememberPreviousApp();
    if (!previousApp_ || services_.desktop.isTerminated(*previousApp_)) {
        showPasteFailure(Failure::of(PasteError::destination), false);
        return;
    }
    setExporting(true);
    setNotice(std::nullopt);
    pasteCancel_ = CancelToken();
    runPaste(QPointer<SessionStore>(this), *previousApp_, pasteCancel_);
}

QCoro::Task<> SessionStore::runPaste(QPointer<SessionStore> self, AppRef destination,
                                     CancelToken cancel) {
    const ExportingRelease release(self);
    // Ask only when the silent check fails.
    KeyInjector& keys = self->services_.keys;
    if (!keys.hasPermission() && !co_await keys.requestPermission()) {
        if (self)
            self->showPasteFailure(Failure::of(PasteError::permission), false);
        co_return;
    }
    if (!self)
        co_return;
    Expected<ExportBundle> bundle = co_await self->exportBundle(false);
    if (!self)
        co_return;
    if (!bundle) {
        self->showPasteFailure(bundle.failure(), false);
        co_return;
    }
    self->setLastExport(bundle->directory);

    // Where other apps are out of sight, the keyboard goes back to the one the user came from
    // once this app's windows are gone; the toolbar stays hidden, as showing it again would
    // take the keyboard from where the text went.
    if (!self->services_.desktop.seesOtherApplications()) {
        self->services_.ui.hideToolbar();
        self->services_.ui.hideSessionWindow();
    }
    bool photosSent = false;
    const DirectPaste::Services services{self->services_.desktop, self->services_.clipboard,
                                         self->services_.keys, self->services_.clock};
    const Outcome pasted =
        co_await DirectPaste::paste(services, *bundle, destination, photosSent, cancel);
    if (!self || (!pasted && pasted.failure().isCancelled()))
        co_return;
    if (pasted)
        self->setNotice(pasteSent);
    else
        self->showPasteFailure(pasted.failure(), photosSent);
}

void SessionStore::showPasteFailure(const Failure& error, bool photosSent) {
    services_.ui.runAlert(photosSent ? textPasteStopped : pasteFailed,
                          photosSent ? error.message() + copyPromptHint : error.message());
}

} // namespace tovik
