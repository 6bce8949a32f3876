#pragma once

#include "capture/display_snapshot.h"
#include "export/export_bundle.h"
#include "export/png_encoder_pool.h"
#include "model/annotation.h"
#include "model/cancel_token.h"
#include "model/failure.h"
#include "platform/desktop.h"
#include "session/session_ui.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QUuid>

#include <memory>
#include <optional>
#include <vector>

namespace tovik {

class Clipboard;
class Clock;
class KeyInjector;
class ScreenSource;

enum class Phase { ready, monitoring, capturing, review };

// A finished export and the revision of the captures it was written from.
struct CachedExport {
    qint64 revision = 0;
    ExportBundle bundle;
    friend bool operator==(const CachedExport&, const CachedExport&) = default;
};
// Keyed by the contact-sheet flag of the export.
using ExportCache = QMap<bool, CachedExport>;

// The desktop and the windows the store works through; they must outlive it.
struct SessionServices {
    ScreenSource& screens;
    Desktop& desktop;
    Clipboard& clipboard;
    KeyInjector& keys;
    Clock& clock;
    SessionUi& ui;
    PngEncoderPool& encoder;
};

// The one capture session: its phase, the numbered captures, the texts the views show, the
// capture in progress and the export, copy and paste actions. Main thread only; re-entry is
// refused by the phase and the exporting flag. Every field notifies its change; setting the
// value it already holds notifies nobody.
class SessionStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(tovik::Phase phase READ phase NOTIFY phaseChanged)
    Q_PROPERTY(QList<tovik::CapturedItem> items READ items NOTIFY itemsChanged)
    Q_PROPERTY(qint64 nextNumber READ nextNumber NOTIFY nextNumberChanged)
    Q_PROPERTY(std::optional<QString> error READ error WRITE setError NOTIFY errorChanged)
    Q_PROPERTY(bool screenAccessNeeded READ screenAccessNeeded NOTIFY screenAccessNeededChanged)
    Q_PROPERTY(std::optional<QString> notice READ notice NOTIFY noticeChanged)
    Q_PROPERTY(bool sessionShortcutAvailable READ sessionShortcutAvailable WRITE
                   setSessionShortcutAvailable NOTIFY sessionShortcutAvailableChanged)
    Q_PROPERTY(bool exporting READ exporting NOTIFY exportingChanged)
    Q_PROPERTY(std::optional<QString> lastExport READ lastExport NOTIFY lastExportChanged)
    Q_PROPERTY(bool hasExported READ hasExported NOTIFY hasExportedChanged)
    Q_PROPERTY(bool toolbarExpanded READ toolbarExpanded NOTIFY toolbarExpandedChanged)
    Q_PROPERTY(qint64 revision READ revision NOTIFY revisionChanged)
    Q_PROPERTY(tovik::ExportCache exportCache READ exportCache NOTIFY exportCacheChanged)
    Q_PROPERTY(bool hasCaptureTask READ hasCaptureTask NOTIFY captureTaskChanged)
    Q_PROPERTY(std::optional<tovik::AppRef> previousApp READ previousApp WRITE setPreviousApp NOTIFY
                   previousAppChanged)

public:
    // The most bytes of rendered capture images one session may hold: 512 MB.
    static constexpr qint64 memoryLimit = qint64(1) << 29;
    // The floating toolbar's size, folded or unfolded, in points.
    static constexpr QSize toolbarSize(bool expanded) { return {320, expanded ? 222 : 56}; }

    explicit SessionStore(SessionServices services, QString exportBase = QDir::tempPath(),
                          QObject* parent = nullptr);
    ~SessionStore() override;

    Phase phase() const { return phase_; }
    const QList<CapturedItem>& items() const { return items_; }
    qint64 nextNumber() const { return nextNumber_; }
    const std::optional<QString>& error() const { return error_; }
    bool screenAccessNeeded() const { return screenAccessNeeded_; }
    const std::optional<QString>& notice() const { return notice_; }
    bool sessionShortcutAvailable() const { return sessionShortcutAvailable_; }
    bool exporting() const { return exporting_; }
    // The directory of the last copy or direct paste.
    const std::optional<QString>& lastExport() const { return lastExport_; }
    bool hasExported() const { return hasExported_; }
    bool toolbarExpanded() const { return toolbarExpanded_; }
    qint64 revision() const { return revision_; }
    const ExportCache& exportCache() const { return exportCache_; }
    bool hasCaptureTask() const { return captureTask_.has_value(); }
    const std::optional<AppRef>& previousApp() const { return previousApp_; }
    const std::vector<std::unique_ptr<OverlayWindow>>& overlays() const { return overlays_; }

    // Written by the application shell.
    void setError(const std::optional<QString>& error);
    void setSessionShortcutAvailable(bool available);
    void setPreviousApp(const std::optional<AppRef>& app);

    // Session state.
    void stopSession();
    void shutdown();
    void showReviewWindow();
    void showToolbar();
    void setToolbarExpanded(bool expanded);
    void rememberPreviousApp();
    void remove(const QUuid& id);
    void updateComment(const QUuid& id, const QString& text);
    void markChanged();
    // Bytes held by the rendered images of all captures.
    qint64 memoryUsage() const;
    // The feedback text of all captures, labelled by their file names.
    QString prompt() const;
    void closeOverlays();

    // Capture flow.
    // The hot key and the menu: a new session in ready or review, else one more capture.
    void startOrCapture();
    void startSession();
    void resume();
    void capture();
    void hideOtherOverlays(const OverlayWindow* overlay);
    // selection in the overlay's points; the capture is refused with an alert when it would
    // pass the memory limit or cannot be rendered, and the overlays stay open.
    void confirmCapture(const DisplaySnapshot& snapshot, const QRectF& selection,
                        const QString& comment, const QList<PenStroke>& strokes);
    void cancelCapture();
    void screenChanged();

    // Export actions.
    void copyFiles(bool contactSheet);
    // The export of the current captures, reused while they do not change; written off the
    // main thread.
    QCoro::Task<Expected<ExportBundle>> exportBundle(bool contactSheet);
    // True when the capture was put on the clipboard.
    QCoro::Task<bool> copyScreenshot(QUuid id);
    // Puts the feedback text alone on the clipboard. Refused while an export or a paste uses
    // the clipboard, and with no captures.
    void copyPrompt();
    // Direct paste into the previous app; where other apps are out of sight (Wayland), the
    // same files and text go on the clipboard for the user to paste.
    void paste();
    // True where Paste leaves the pasting to the user.
    bool pastesByHand() const;
    void showPasteFailure(const Failure& error, bool photosSent);

Q_SIGNALS:
    void phaseChanged();
    void itemsChanged();
    void nextNumberChanged();
    void errorChanged();
    void screenAccessNeededChanged();
    void noticeChanged();
    void sessionShortcutAvailableChanged();
    void exportingChanged();
    void lastExportChanged();
    void hasExportedChanged();
    void toolbarExpandedChanged();
    void revisionChanged();
    void exportCacheChanged();
    void captureTaskChanged();
    void previousAppChanged();
    void overlaysChanged();

private:
    class ExportingRelease;
    class OverlayCallbackScope;

    template<typename T> void assign(T& field, const T& value, void (SessionStore::*changed)()) {
        if (field == value)
            return;
        field = value;
        Q_EMIT(this->*changed)();
    }
    void setPhase(Phase phase);
    void setNextNumber(qint64 number) {
        assign(nextNumber_, number, &SessionStore::nextNumberChanged);
    }
    void setScreenAccessNeeded(bool needed);
    void setNotice(const std::optional<QString>& notice);
    void setExporting(bool exporting);
    void setLastExport(const std::optional<QString>& directory);
    void setHasExported(bool exported);
    void setExportCache(const ExportCache& cache);
    void cancelCaptureTask();
    // Drops the background encodings of captures that are gone.
    void dropEncodings(const QList<QUuid>& ids);
    // Gives the focus back to the application the user came from, if this one has it.
    void returnToPreviousApp();

    static QCoro::Task<> runCapture(QPointer<SessionStore> self, CancelToken cancel);
    void failCapture(const Failure& failure, const CancelToken& cancel);
    void openOverlays(const QList<DisplaySnapshot>& snapshots);
    void releaseClosedOverlays();
    Expected<QImage> renderCapture(const Annotation& annotation, const QImage& displayImage) const;

    static QCoro::Task<> runCopyFiles(QPointer<SessionStore> self, bool contactSheet,
                                      bool byHand = false);
    static QCoro::Task<> runPaste(QPointer<SessionStore> self, AppRef destination,
                                  CancelToken cancel);
    void reportExportFailure(const Failure& failure);

    SessionServices services_;
    QString exportBase_;

    Phase phase_ = Phase::ready;
    QList<CapturedItem> items_;
    qint64 nextNumber_ = 1;
    std::optional<QString> error_;
    bool screenAccessNeeded_ = false;
    std::optional<QString> notice_;
    bool sessionShortcutAvailable_ = true;
    bool exporting_ = false;
    std::optional<QString> lastExport_;
    bool hasExported_ = false;
    bool toolbarExpanded_ = false;
    qint64 revision_ = 0;
    ExportCache exportCache_;
    std::optional<CancelToken> captureTask_;
    std::vector<std::unique_ptr<OverlayWindow>> overlays_;
    std::optional<AppRef> previousApp_;
    // Each capture's PNG, started when it was confirmed: its image never changes.
    PngJobs encodings_;

    // Closed overlays wait here until no overlay callback is under way and the event loop
    // has turned: the call that closes them usually comes from one of them, and a modal
    // alert may turn the event loop in the middle of it.
    std::vector<std::unique_ptr<OverlayWindow>> closedOverlays_;
    int overlayCallbacks_ = 0;
    CancelToken pasteCancel_;
};

} // namespace tovik
