#include "app/desktop_session_ui.h"

#include "capture/ui/capture_overlay_window.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QWindow>

#include <algorithm>

namespace tovik {

// The store's handle on an overlay: once the store lets go of it, the closed window goes
// back to the spares instead of being destroyed.
class DesktopSessionUi::PooledOverlay final : public OverlayWindow {
public:
    PooledOverlay(std::unique_ptr<CaptureOverlayWindow> window, DesktopSessionUi& owner)
        : window_(std::move(window))
        , owner_(owner) {}
    ~PooledOverlay() override {
        window_->unload();
        owner_.spareOverlays_.push_back(std::move(window_));
    }

    void show() override { window_->show(); }
    void hide() override { window_->hide(); }
    // Hidden, not closed: closing destroys the native window this is kept for.
    void close() override { window_->hide(); }
    QRect frame() const override { return window_->frame(); }
    void makeKey() override { window_->makeKey(); }

private:
    std::unique_ptr<CaptureOverlayWindow> window_;
    DesktopSessionUi& owner_;
};

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
    std::unique_ptr<CaptureOverlayWindow> window;
    const auto spare = std::find_if(spareOverlays_.begin(), spareOverlays_.end(), [&](auto& w) {
        return w->geometry() == snapshot.screen.geometry;
    });
    if (spare != spareOverlays_.end()) {
        window = std::move(*spare);
        spareOverlays_.erase(spare);
        window->load(snapshot, number, std::move(callbacks));
    } else {
        window = std::make_unique<CaptureOverlayWindow>(snapshot, number, std::move(callbacks));
    }
    overlays_.removeAll(nullptr);
    if (!overlays_.contains(window.get()))
        overlays_.append(window.get());
    return std::make_unique<PooledOverlay>(std::move(window), *this);
}

void DesktopSessionUi::releaseSpareOverlays() {
    const auto area = [](const auto& window) { return qint64(window->width()) * window->height(); };
    const auto largest =
        std::max_element(spareOverlays_.begin(), spareOverlays_.end(),
                         [&](const auto& a, const auto& b) { return area(a) < area(b); });
    if (largest == spareOverlays_.end())
        return;
    std::unique_ptr<CaptureOverlayWindow> kept = std::move(*largest);
    spareOverlays_.clear();
    spareOverlays_.push_back(std::move(kept));
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
