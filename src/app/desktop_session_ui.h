#pragma once

#include "app/alert_runner.h"
#include "app/floating_toolbar_window.h"
#include "session/session_ui.h"

#include <QList>
#include <QPointer>

#include <memory>
#include <vector>

namespace tovik {

class CaptureOverlayWindow;
class SessionStore;
class ShortcutPreferences;

// The windows the session store drives on the desktop: the capture overlays, the session
// window the application shell owns, the floating toolbar (made on first use) and alerts.
class DesktopSessionUi final : public SessionUi {
public:
    DesktopSessionUi(ShortcutPreferences& preferences,
                     FloatingToolbarWindow::Environment toolbarEnvironment,
                     AlertRunner runAlert = execAlert);
    ~DesktopSessionUi() override;

    // The store the toolbar shows. The store is made with this object, so it comes after.
    void setStore(SessionStore* store) { store_ = store; }
    // The session window; owned by the application shell.
    void setSessionWindow(QWidget* window) { sessionWindow_ = window; }
    FloatingToolbarWindow* toolbar() const { return toolbar_.get(); }

    // Takes a closed overlay of the same screen when there is one.
    std::unique_ptr<OverlayWindow> createOverlay(const DisplaySnapshot& snapshot, qint64 number,
                                                 OverlayCallbacks callbacks) override;
    // Destroys the closed overlays kept for the next capture, and their screen-sized buffers,
    // but the largest: a fresh one faults in its buffer on this thread while the user waits.
    void releaseSpareOverlays();
    void showSessionWindow() override;
    void hideSessionWindow() override;
    bool hasToolbar() const override { return toolbar_ != nullptr; }
    void showToolbar() override;
    void hideToolbar() override;
    void closeToolbar() override;
    // Keeps the bottom edge, so the control bar stays under the pointer that unfolded it.
    void resizeToolbar(QSizeF size) override;
    void repositionToolbar() override;
    void runAlert(const QString& messageText, const QString& informativeText) override;

private:
    class PooledOverlay;

    QList<CaptureOverlayWindow*> visibleOverlays() const;

    ShortcutPreferences& preferences_;
    FloatingToolbarWindow::Environment toolbarEnvironment_;
    AlertRunner runAlert_;
    SessionStore* store_ = nullptr;
    QPointer<QWidget> sessionWindow_;
    std::unique_ptr<FloatingToolbarWindow> toolbar_;
    // The store owns the overlays; these go null as they are destroyed.
    QList<QPointer<CaptureOverlayWindow>> overlays_;
    // Closed overlays, at most one per screen, kept until the next capture or an idle trim.
    std::vector<std::unique_ptr<CaptureOverlayWindow>> spareOverlays_;
};

} // namespace tovik
