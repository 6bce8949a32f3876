#pragma once

#include "capture/display_snapshot.h"
#include "model/annotation.h"

#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>

namespace tovik {

// What an overlay reports back to the store.
struct OverlayCallbacks {
    std::function<void()> selectionMade;
    // selection in the overlay's view coordinates (points, origin at the screen's top-left)
    std::function<void(const QRectF& selection, const QString& comment,
                       const QList<PenStroke>& strokes)>
        confirm;
    std::function<void()> cancel;
};

// One full-screen capture overlay.
class OverlayWindow {
public:
    OverlayWindow() = default;
    virtual ~OverlayWindow() = default;
    OverlayWindow(const OverlayWindow&) = delete;
    OverlayWindow& operator=(const OverlayWindow&) = delete;

    /** Shows it above everything without activating. */
    virtual void show() = 0;
    /** Hides it; it can be shown again. */
    virtual void hide() = 0;
    /** Closes it for good. */
    virtual void close() = 0;
    /** Its frame in global desktop points. */
    virtual QRect frame() const = 0;
    /** Activates this app and gives the overlay the keyboard. */
    virtual void makeKey() = 0;
};

// The windows the store drives.
class SessionUi {
public:
    SessionUi() = default;
    virtual ~SessionUi() = default;
    SessionUi(const SessionUi&) = delete;
    SessionUi& operator=(const SessionUi&) = delete;

    /** A new, not yet shown overlay for the snapshot, all overlays of one capture with the same
     * number. */
    virtual std::unique_ptr<OverlayWindow>
    createOverlay(const DisplaySnapshot& snapshot, qint64 number, OverlayCallbacks callbacks) = 0;
    /** Brings the session window to the front and activates this app. */
    virtual void showSessionWindow() = 0;
    virtual void hideSessionWindow() = 0;
    /** Whether the toolbar has been created. */
    virtual bool hasToolbar() const = 0;
    /** Creates the toolbar on first use and shows it without activating this app. */
    virtual void showToolbar() = 0;
    virtual void hideToolbar() = 0;
    virtual void closeToolbar() = 0;
    /** Resizes the toolbar keeping its origin, then places it again. */
    virtual void resizeToolbar(QSizeF size) = 0;
    /** Places the toolbar again on the current screens. */
    virtual void repositionToolbar() = 0;
    /** Activates this app and runs a modal alert above the overlays. */
    virtual void runAlert(const QString& messageText, const QString& informativeText) = 0;
};

} // namespace tovik
