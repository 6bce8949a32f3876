#include "app/desktop_session_ui.h"

#include "capture/ui/capture_overlay_window.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QWindow>

namespace tovik {

DesktopSessionUi::DesktopSessionUi(ShortcutPreferences& preferences,
                                   FloatingToolbarWindow::Environment toolbarEnvironment,
                                   AlertRunner runAlert)
    : preferences_(preferences)
    , toolbarEnvironment_(std::move(toolbarEnvironment))
    , runAlert_(std::move(runAlert)) {}

DesktopSessionUi::~DesktopSessionUi() = default;

std::unique_ptr<OverlayWindow> DesktopSessionUi::createOverlay(const DisplaySnapshot& snapshot,
                                                               qint64 number,
                                                               OverlayCallbacks callbacks) {
    auto overlay = std::make_unique<CaptureOverlayWindow>(snapshot, number, std::move(callbacks));
    overlays_.removeAll(nullptr);
    overlays_.append(overlay.get());
    return overlay;
}

void DesktopSessionUi::showSessionWindow() {
    if (!sessionWindow_)
        return;
    sessionWindow_->setWindowState(sessionWindow_->windowState() & ~Qt::WindowMinimized);
    sessionWindow_->show();
    sessionWindow_->raise();
    sessionWindow_->activateWindow();
}

void DesktopSessionUi::hideSessionWindow() {
    if (sessionWindow_)
        sessionWindow_->hide();
}

void DesktopSessionUi::showToolbar() {
    if (!toolbar_) {
        Q_ASSERT(store_);
        if (!store_)
            return;
        toolbar_ =
            std::make_unique<FloatingToolbarWindow>(*store_, preferences_, toolbarEnvironment_);
    }
    toolbar_->showWithoutActivating();
}

void DesktopSessionUi::hideToolbar() {
    if (toolbar_)
        toolbar_->hide();
}

void DesktopSessionUi::closeToolbar() {
    if (toolbar_)
        toolbar_->close();
}

void DesktopSessionUi::resizeToolbar(QSizeF size) {
    if (!toolbar_)
        return;
    const QRect before = toolbar_->geometry();
    const QSize after = size.toSize();
    toolbar_->setFrame(QRect(before.x(), before.y() + before.height() - after.height(),
                             after.width(), after.height()));
}

void DesktopSessionUi::repositionToolbar() {
    if (toolbar_)
        toolbar_->reposition();
}

QList<CaptureOverlayWindow*> DesktopSessionUi::visibleOverlays() const {
    QList<CaptureOverlayWindow*> visible;
    for (const QPointer<CaptureOverlayWindow>& overlay : overlays_) {
        if (overlay && overlay->isVisible())
            visible.append(overlay.data());
    }
    return visible;
}

void DesktopSessionUi::runAlert(const QString& messageText, const QString& informativeText) {
    const QList<CaptureOverlayWindow*> overlays = visibleOverlays();
    QPointer<CaptureOverlayWindow> keyOverlay;
    for (CaptureOverlayWindow* overlay : overlays) {
        if (overlay->windowHandle() && overlay->windowHandle() == QGuiApplication::focusWindow())
            keyOverlay = overlay;
    }

    QMessageBox box(QMessageBox::Warning, QStringLiteral("tovik"), messageText, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("sessionAlert"));
    box.setInformativeText(informativeText);
    // Before the flags: the message box resets its flags when its modality is set.
    box.setWindowModality(Qt::ApplicationModal);
    Qt::WindowFlags flags = Qt::Dialog | Qt::WindowStaysOnTopHint;
    // The overlays bypass the window manager, which stacks its own windows under them: an
    // alert that must show above them bypasses it too.
    if (!overlays.isEmpty())
        flags |= Qt::X11BypassWindowManagerHint;
    box.setWindowFlags(flags);
    runAlert_(box);

    // The capture goes on: the overlay that had the keyboard gets it back.
    if (keyOverlay && keyOverlay->isVisible())
        keyOverlay->makeKey();
}

} // namespace tovik
