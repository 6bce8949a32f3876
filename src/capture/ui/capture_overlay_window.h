#pragma once

#include "capture/display_snapshot.h"
#include "capture/ui/capture_editor.h"
#include "session/session_ui.h"

#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QTimer>
#include <QWidget>

#include <optional>

namespace tovik {

class CaptureCanvas;
class CaptureDraft;

// One frozen screen covered edge to edge, above panels and every other window. Handles the
// capture keys (Esc, Ctrl+Return, Ctrl+Z on the canvas) and shows the annotation panel next
// to a selected region. Never closes itself: the store decides after confirm or cancel.
// A hidden overlay can take the next capture of the same screen (load): its native window
// and the memory of its backing store are then ready, so the frozen screen shows at once.
class CaptureOverlayWindow : public QWidget, public OverlayWindow {
    Q_OBJECT
public:
    CaptureOverlayWindow(const DisplaySnapshot& snapshot, qint64 number,
                         OverlayCallbacks callbacks);
    ~CaptureOverlayWindow() override;

    /** Starts over, hidden, with another capture of a screen of the same geometry. */
    void load(const DisplaySnapshot& snapshot, qint64 number, OverlayCallbacks callbacks);
    /** Hidden, lets go of the capture (its snapshot, draft and callbacks) until the next load. */
    void unload();

    // OverlayWindow
    void show() override;
    void hide() override;
    void close() override;
    QRect frame() const override;
    void makeKey() override;

    qint64 number() const { return number_; }
    CaptureDraft* draft() const { return draft_; }
    CaptureCanvas* canvas() const { return canvas_; }
    CaptureEditor* editor() const { return editor_; }

    void showEditor();
    void confirm();
    void cancel();
    void reselect();
    void moveEditor(QSizeF translation, bool ended);

    // Where the panel goes for a selection in a view of the given size: below the region,
    // else above it, else at the bottom; left-aligned with it; 12 points from the edges.
    static QRectF editorFrame(QSizeF bounds, const QRectF& selection);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool handleKey(const QKeyEvent* event);
    void grabKeyboardNow();
    void releaseKeyboardGrab();

    qint64 number_;
    OverlayCallbacks callbacks_;
    CaptureDraft* draft_ = nullptr;
    CaptureCanvas* canvas_ = nullptr;
    QPointer<CaptureEditor> editor_;
    std::optional<QPointF> editorDragOrigin_;
    QTimer grabRetry_;
    int grabAttempts_ = 0;
    quint64 loads_ = 0; // tells the captures this window has shown apart
};

} // namespace tovik
