#include "capture/screen_capture.h"
#include "export/capture_rendering.h"
#include "model/capture_geometry.h"
#include "model/session_error.h"
#include "platform/screen_source.h"
#include "session/session_store.h"

#include <QCoro/QCoroTimer>

namespace tovik {

void SessionStore::startOrCapture() {
    if (phase_ == Phase::ready || phase_ == Phase::review)
        startSession();
    else
        capture();
}

void SessionStore::startSession() {
    if (phase_ == Phase::monitoring || phase_ == Phase::capturing || exporting_)
        return;
    setToolbarExpanded(false);
    if (!items_.isEmpty()) {
        items_.clear();
        Q_EMIT itemsChanged();
    }
    dropEncodings(encodings_.keys());
    setNextNumber(1);
    markChanged();
    setLastExport(std::nullopt);
    setError(std::nullopt);
    setScreenAccessNeeded(false);
    resume();
}

void SessionStore::resume() {
    if (exporting_)
        return;
    if (phase_ != Phase::monitoring && phase_ != Phase::capturing) {
        rememberPreviousApp();
        setPhase(Phase::monitoring);
        setNotice(std::nullopt);
        services_.screens.windowsWillHide();
        services_.ui.hideSessionWindow();
        returnToPreviousApp();
    }
    capture();
}

void SessionStore::capture() {
    if (phase_ == Phase::capturing || exporting_)
        return;
    if (phase_ == Phase::ready || phase_ == Phase::review) {
        startSession();
        return;
    }
    rememberPreviousApp();
    setPhase(Phase::capturing);
    setError(std::nullopt);
    setScreenAccessNeeded(false);
    services_.screens.windowsWillHide();
    services_.ui.hideSessionWindow();
    if (services_.ui.hasToolbar())
        services_.ui.hideToolbar();

    captureTask_ = CancelToken();
    Q_EMIT captureTaskChanged();
    runCapture(QPointer<SessionStore>(this), *captureTask_);
}

QCoro::Task<> SessionStore::runCapture(QPointer<SessionStore> self, CancelToken cancel) {
    // One turn of the event loop first, so the windows just hidden are off the screen
    // before it is grabbed.
    co_await QCoro::sleepFor(std::chrono::milliseconds(0));
    if (!self)
        co_return;
    Expected<QList<DisplaySnapshot>> snapshots =
        co_await captureDisplays(self->services_.screens, cancel);
    if (!self)
        co_return;
    if (!snapshots) {
        self->failCapture(snapshots.failure(), cancel);
        co_return;
    }
    if (cancel.isCancelled() || self->phase_ != Phase::capturing)
        co_return;
    self->openOverlays(*snapshots);
}

void SessionStore::failCapture(const Failure& failure, const CancelToken& cancel) {
    if (failure.isCancelled() || cancel.isCancelled() || phase_ != Phase::capturing)
        return;
    setError(failure.message());
    setScreenAccessNeeded(!services_.screens.preflightAccess());
    setPhase(Phase::monitoring);
    showReviewWindow();
}

// Marks an overlay callback as under way for as long as it runs.
class SessionStore::OverlayCallbackScope {
public:
    explicit OverlayCallbackScope(SessionStore* store)
        : store_(store) {
        ++store_->overlayCallbacks_;
    }
    ~OverlayCallbackScope() {
        if (store_ && --store_->overlayCallbacks_ == 0)
            store_->releaseClosedOverlays();
    }
    OverlayCallbackScope(const OverlayCallbackScope&) = delete;
    OverlayCallbackScope& operator=(const OverlayCallbackScope&) = delete;

private:
    QPointer<SessionStore> store_;
};

void SessionStore::openOverlays(const QList<DisplaySnapshot>& snapshots) {
    closeOverlays();
    for (const DisplaySnapshot& snapshot : snapshots) {
        // The overlay does not exist yet when its callbacks are made.
        auto identity = std::make_shared<const OverlayWindow*>(nullptr);
        OverlayCallbacks callbacks;
        callbacks.selectionMade = [self = QPointer(this), identity] {
            if (self)
                self->hideOtherOverlays(*identity);
        };
        callbacks.confirm = [self = QPointer(this), snapshot](const QRectF& selection,
                                                              const QString& comment,
                                                              const QList<PenStroke>& strokes) {
            if (!self)
                return;
            const OverlayCallbackScope scope(self);
            self->confirmCapture(snapshot, selection, comment, strokes);
        };
        callbacks.cancel = [self = QPointer(this)] {
            if (!self)
                return;
            const OverlayCallbackScope scope(self);
            self->cancelCapture();
        };
        overlays_.push_back(
            services_.ui.createOverlay(snapshot, nextNumber_, std::move(callbacks)));
        *identity = overlays_.back().get();
    }
    Q_EMIT overlaysChanged();
    if (overlays_.empty())
        return;

    for (const auto& overlay : overlays_)
        overlay->show();
    const QPoint mouse = services_.desktop.mousePosition();
    const auto underMouse =
        std::find_if(overlays_.begin(), overlays_.end(),
                     [mouse](const auto& o) { return o->frame().contains(mouse); });
    (underMouse != overlays_.end() ? *underMouse : overlays_.front())->makeKey();
}

void SessionStore::hideOtherOverlays(const OverlayWindow* overlay) {
    for (const auto& other : overlays_) {
        if (other.get() != overlay)
            other->hide();
    }
}

Expected<QImage> SessionStore::renderCapture(const Annotation& annotation,
                                             const QImage& displayImage) const {
    const MarkRect& crop = annotation.crop;
    const qint64 estimate =
        CaptureGeometry::estimatedByteCount(crop.toRectF(), annotation.pixelsPerPoint);
    if (memoryUsage() + estimate > memoryLimit)
        return Failure::of(SessionError::memoryLimit);
    return CaptureRendering::render(displayImage, annotation);
}

void SessionStore::confirmCapture(const DisplaySnapshot& snapshot, const QRectF& selection,
                                  const QString& comment, const QList<PenStroke>& strokes) {
    if (phase_ != Phase::capturing)
        return;
    const QSizeF screenSize = snapshot.screen.geometry.size();
    // A selection wholly off the screen cuts nothing; rendering then refuses it.
    const QRectF crop =
        CaptureGeometry::clampRect(selection, QRectF(QPointF(0, 0), screenSize)).value_or(QRectF());
    const Annotation annotation(QUuid::createUuid(), nextNumber_, QDateTime::currentDateTime(),
                                comment, snapshot.displayID, snapshot.screen.name, screenSize,
                                selection, crop, snapshot.image.width() / screenSize.width(),
                                strokes);

    Expected<QImage> image = renderCapture(annotation, snapshot.image);
    if (!image) {
        services_.ui.runAlert(QStringLiteral("Capture couldn’t be saved"),
                              image.failure().message());
        return;
    }
    encodings_.insert(annotation.id, services_.encoder.encode(*image));
    items_.append(CapturedItem{annotation, std::move(image).value()});
    Q_EMIT itemsChanged();
    setNextNumber(nextNumber_ + 1);
    markChanged();
    closeOverlays();
    setPhase(Phase::monitoring);
    returnToPreviousApp();
    showToolbar();
}

void SessionStore::cancelCapture() {
    cancelCaptureTask();
    closeOverlays();
    if (phase_ != Phase::capturing)
        return;
    if (items_.isEmpty()) {
        stopSession();
        return;
    }
    setPhase(Phase::monitoring);
    returnToPreviousApp();
    showToolbar();
}

void SessionStore::screenChanged() {
    if (services_.ui.hasToolbar())
        services_.ui.repositionToolbar();
    if (phase_ != Phase::capturing)
        return;
    cancelCapture();
    setScreenAccessNeeded(false);
    setError(message(ScreenCaptureError::displayChanged));
    showReviewWindow();
}

} // namespace tovik
