#include "session/session_store.h"

#include "model/feedback_prompt.h"

#include <QTimer>

namespace tovik {

SessionStore::SessionStore(SessionServices services, QString exportBase, QObject* parent)
    : QObject(parent)
    , services_(services)
    , exportBase_(std::move(exportBase)) {}

SessionStore::~SessionStore() {
    // Suspended tasks resume after the store is gone; they end at their next check.
    if (captureTask_)
        captureTask_->cancel();
    pasteCancel_.cancel();
    dropEncodings(encodings_.keys());
}

void SessionStore::dropEncodings(const QList<QUuid>& ids) {
    for (const QUuid& id : ids) {
        if (const std::shared_ptr<PngJob> job = encodings_.take(id))
            job->cancel();
    }
}

void SessionStore::setPhase(Phase phase) {
    // Background encoding waits while the user captures.
    services_.encoder.setPaused(phase == Phase::capturing);
    assign(phase_, phase, &SessionStore::phaseChanged);
}

void SessionStore::setError(const std::optional<QString>& error) {
    assign(error_, error, &SessionStore::errorChanged);
}

void SessionStore::setSessionShortcutAvailable(bool available) {
    assign(sessionShortcutAvailable_, available, &SessionStore::sessionShortcutAvailableChanged);
}

void SessionStore::setPreviousApp(const std::optional<AppRef>& app) {
    assign(previousApp_, app, &SessionStore::previousAppChanged);
}

void SessionStore::setScreenAccessNeeded(bool needed) {
    assign(screenAccessNeeded_, needed, &SessionStore::screenAccessNeededChanged);
}

void SessionStore::setNotice(const std::optional<QString>& notice) {
    assign(notice_, notice, &SessionStore::noticeChanged);
}

void SessionStore::setExporting(bool exporting) {
    assign(exporting_, exporting, &SessionStore::exportingChanged);
}

void SessionStore::setLastExport(const std::optional<QString>& directory) {
    assign(lastExport_, directory, &SessionStore::lastExportChanged);
}

void SessionStore::setHasExported(bool exported) {
    assign(hasExported_, exported, &SessionStore::hasExportedChanged);
}

void SessionStore::setExportCache(const ExportCache& cache) {
    assign(exportCache_, cache, &SessionStore::exportCacheChanged);
}

void SessionStore::cancelCaptureTask() {
    if (!captureTask_)
        return;
    captureTask_->cancel();
    captureTask_.reset();
    Q_EMIT captureTaskChanged();
}

void SessionStore::returnToPreviousApp() {
    Desktop& desktop = services_.desktop;
    if (desktop.isActive() && previousApp_ && !desktop.isTerminated(*previousApp_))
        desktop.activate(*previousApp_);
}

void SessionStore::stopSession() {
    cancelCaptureTask();
    closeOverlays();
    if (services_.ui.hasToolbar())
        services_.ui.hideToolbar();
    setToolbarExpanded(false);
    services_.ui.hideSessionWindow();
    setPhase(items_.isEmpty() ? Phase::ready : Phase::review);
    returnToPreviousApp();
}

void SessionStore::shutdown() {
    if (captureTask_)
        captureTask_->cancel();
    closeOverlays();
    if (services_.ui.hasToolbar())
        services_.ui.closeToolbar();
}

void SessionStore::showReviewWindow() {
    if (services_.ui.hasToolbar())
        services_.ui.hideToolbar();
    services_.ui.showSessionWindow();
}

void SessionStore::showToolbar() {
    services_.ui.hideSessionWindow();
    services_.ui.showToolbar();
}

void SessionStore::setToolbarExpanded(bool expanded) {
    assign(toolbarExpanded_, expanded, &SessionStore::toolbarExpandedChanged);
    if (services_.ui.hasToolbar()) {
        services_.ui.resizeToolbar(QSizeF(toolbarSize(expanded)));
    }
}

void SessionStore::rememberPreviousApp() {
    Desktop& desktop = services_.desktop;
    const std::optional<AppRef> front = desktop.frontmostApplication();
    if (front && front->pid != desktop.processId() && !desktop.isTerminated(*front))
        setPreviousApp(front);
}

void SessionStore::remove(const QUuid& id) {
    if (exporting_)
        return;
    if (items_.removeIf([&id](const CapturedItem& item) { return item.id() == id; }) > 0)
        Q_EMIT itemsChanged();
    dropEncodings({id});
    markChanged();
}

void SessionStore::updateComment(const QUuid& id, const QString& text) {
    if (exporting_)
        return;
    const auto item = std::find_if(items_.begin(), items_.end(),
                                   [&id](const CapturedItem& i) { return i.id() == id; });
    if (item == items_.end())
        return;
    item->annotation.comment = text;
    Q_EMIT itemsChanged();
    markChanged();
}

void SessionStore::markChanged() {
    ++revision_;
    Q_EMIT revisionChanged();
    setExportCache({});
    setHasExported(false);
    setNotice(std::nullopt);
}

qint64 SessionStore::memoryUsage() const {
    qint64 bytes = 0;
    for (const CapturedItem& item : items_)
        bytes += item.byteCount();
    return bytes;
}

QString SessionStore::prompt() const {
    QList<Annotation> annotations;
    annotations.reserve(items_.size());
    for (const CapturedItem& item : items_)
        annotations.append(item.annotation);
    return FeedbackPrompt::text(annotations, false);
}

void SessionStore::closeOverlays() {
    if (overlays_.empty())
        return;
    for (const auto& overlay : overlays_)
        overlay->close();
    for (auto& overlay : overlays_)
        closedOverlays_.push_back(std::move(overlay));
    overlays_.clear();
    releaseClosedOverlays();
    Q_EMIT overlaysChanged();
}

void SessionStore::releaseClosedOverlays() {
    if (overlayCallbacks_ > 0 || closedOverlays_.empty())
        return;
    QTimer::singleShot(0, this, [this] {
        if (overlayCallbacks_ == 0)
            closedOverlays_.clear();
    });
}

} // namespace tovik
