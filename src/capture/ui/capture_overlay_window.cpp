#include "capture/ui/capture_overlay_window.h"

#include "capture/ui/capture_canvas.h"
#include "capture/ui/capture_draft.h"
#include "capture/ui/capture_editor.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace tovik {
namespace {

constexpr qreal editorGap = 44;
constexpr qreal editorMargin = 12;
constexpr qreal editorDragMargin = 8;
constexpr int grabRetryMs = 50;
constexpr int grabAttemptsMax = 20;

// An X keyboard grab belongs to the client, not to a window: ungrabbing from any overlay
// would take the keyboard from the one that holds it, so only the holder releases it.
QPointer<QWindow>& keyboardHolder() {
    static QPointer<QWindow> holder;
    return holder;
}

QScreen* screenFor(const ScreenInfo& info) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    const auto byGeometry = std::find_if(
        screens.begin(), screens.end(), [&](QScreen* s) { return s->geometry() == info.geometry; });
    if (byGeometry != screens.end())
        return *byGeometry;
    const auto byName = std::find_if(screens.begin(), screens.end(),
                                     [&](QScreen* s) { return s->name() == info.name; });
    return byName != screens.end() ? *byName : nullptr;
}

} // namespace

CaptureOverlayWindow::CaptureOverlayWindow(const DisplaySnapshot& snapshot, qint64 number,
                                           OverlayCallbacks callbacks)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint)
    , number_(number) {
    setObjectName(QStringLiteral("captureOverlay"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
    // While overlays are up every other window is hidden; closing them must not end the app.
    setAttribute(Qt::WA_QuitOnClose, false);
    load(snapshot, number, std::move(callbacks));

    // Keys are inspected on the native window, before the focused widget sees them.
    create();
    windowHandle()->installEventFilter(this);
    grabRetry_.setInterval(grabRetryMs);
    connect(&grabRetry_, &QTimer::timeout, this, &CaptureOverlayWindow::grabKeyboardNow);
}

void CaptureOverlayWindow::unload() {
    hide();
    // Deleted now rather than later: none of their events can be under way while the
    // overlay is hidden, and the snapshot's memory goes back at once.
    delete editor_;
    delete canvas_;
    delete draft_;
    canvas_ = nullptr;
    draft_ = nullptr;
    editorDragOrigin_.reset();
    callbacks_ = {};
}

void CaptureOverlayWindow::load(const DisplaySnapshot& snapshot, qint64 number,
                                OverlayCallbacks callbacks) {
    unload();
    ++loads_;
    number_ = number;
    callbacks_ = std::move(callbacks);
    // The screens may have changed since this window last showed.
    QScreen* target = screenFor(snapshot.screen);
    if (target && target != screen())
        setScreen(target);
    setGeometry(snapshot.screen.geometry);

    draft_ = new CaptureDraft(this);
    canvas_ = new CaptureCanvas(snapshot, number, draft_, this);
    canvas_->setObjectName(QStringLiteral("captureCanvas"));
    canvas_->setGeometry(rect());
    canvas_->onSelection = [this] {
        if (callbacks_.selectionMade)
            callbacks_.selectionMade();
        showEditor();
    };
    canvas_->onPress = [this] { makeKey(); };
    draft_->onChange = [this] { canvas_->update(); };
    canvas_->show();
    canvas_->setFocus(Qt::OtherFocusReason);
}

CaptureOverlayWindow::~CaptureOverlayWindow() {
    releaseKeyboardGrab();
}

void CaptureOverlayWindow::show() {
    // A Wayland client cannot place its windows: the compositor covers the output it is asked
    // to fill.
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        showFullScreen();
        return;
    }
    QWidget::show();
    raise();
}

void CaptureOverlayWindow::hide() {
    QWidget::hide();
}

void CaptureOverlayWindow::close() {
    // Hiding releases the keyboard (hideEvent).
    QWidget::close();
}

QRect CaptureOverlayWindow::frame() const {
    return geometry();
}

void CaptureOverlayWindow::makeKey() {
    raise();
    activateWindow();
    grabAttempts_ = 0;
    grabKeyboardNow();
}

void CaptureOverlayWindow::grabKeyboardNow() {
    QWindow* window = windowHandle();
    if (!window || !isVisible()) {
        grabRetry_.stop();
        return;
    }
    // A grab fails while the window is not yet viewable or another client holds the keyboard.
    if (window->setKeyboardGrabEnabled(true)) {
        keyboardHolder() = window;
        grabRetry_.stop();
    } else if (++grabAttempts_ < grabAttemptsMax) {
        grabRetry_.start();
    } else {
        grabRetry_.stop();
    }
}

void CaptureOverlayWindow::releaseKeyboardGrab() {
    grabRetry_.stop();
    QWindow* window = windowHandle();
    if (window && keyboardHolder() == window) {
        window->setKeyboardGrabEnabled(false);
        keyboardHolder() = nullptr;
    }
}

void CaptureOverlayWindow::hideEvent(QHideEvent* event) {
    releaseKeyboardGrab();
    QWidget::hideEvent(event);
}

QRectF CaptureOverlayWindow::editorFrame(QSizeF bounds, const QRectF& selection) {
    const qreal height = CaptureEditor::panelHeight;
    const qreal width =
        std::min<qreal>(bounds.width() - 2 * editorMargin, CaptureEditor::maximumWidth);
    qreal y = selection.bottom() + editorGap;
    if (y + height > bounds.height() - editorMargin)
        y = selection.top() - height - editorGap;
    if (y < editorMargin)
        y = std::max(bounds.height() - height - editorMargin, editorMargin);
    const qreal x =
        std::min(bounds.width() - width - editorMargin, std::max(selection.left(), editorMargin));
    return {x, y, width, height};
}

void CaptureOverlayWindow::showEditor() {
    const auto& selection = draft_->selection();
    if (!selection)
        return;
    if (!editor_) {
        editor_ = new CaptureEditor(draft_, number_, canvas_);
        editor_->onConfirm = [this] { confirm(); };
        editor_->onCancel = [this] { cancel(); };
        editor_->onReselect = [this] { reselect(); };
        editor_->onMove = [this](QSizeF translation, bool ended) {
            moveEditor(translation, ended);
        };
        editor_->setGeometry(editorFrame(canvas_->bounds().size(), *selection).toRect());
        editor_->show();
        editor_->setCommentFocused(true);
    } else {
        editor_->setGeometry(editorFrame(canvas_->bounds().size(), *selection).toRect());
    }
    canvas_->update();
}

void CaptureOverlayWindow::confirm() {
    const auto& selection = draft_->selection();
    if (!selection)
        return;
    // The store may close and destroy this window in answer; call it from the event loop,
    // never from inside this window's own event handling.
    QMetaObject::invokeMethod(
        this,
        [this, load = loads_, selection = *selection, comment = draft_->comment(),
         strokes = draft_->strokes()] {
            // Answered only by the capture that asked, not by one loaded since.
            if (load == loads_ && callbacks_.confirm)
                callbacks_.confirm(selection, comment, strokes);
        },
        Qt::QueuedConnection);
}

void CaptureOverlayWindow::cancel() {
    QMetaObject::invokeMethod(
        this,
        [this, load = loads_] {
            if (load == loads_ && callbacks_.cancel)
                callbacks_.cancel();
        },
        Qt::QueuedConnection);
}

void CaptureOverlayWindow::reselect() {
    draft_->setSelection(std::nullopt);
    draft_->setStrokes({});
    draft_->setTool(Tool::region);
    if (editor_) {
        // The request comes from a button inside the panel: delete it once that returns.
        editor_->hide();
        editor_->deleteLater();
        editor_ = nullptr;
    }
    editorDragOrigin_.reset();
    canvas_->setFocus(Qt::OtherFocusReason);
    canvas_->update();
}

void CaptureOverlayWindow::moveEditor(QSizeF translation, bool ended) {
    if (!editor_)
        return;
    if (!editorDragOrigin_)
        editorDragOrigin_ = QPointF(editor_->pos());
    const QSizeF bounds = canvas_->bounds().size();
    const qreal x =
        std::max(editorDragMargin, std::min(editorDragOrigin_->x() + translation.width(),
                                            bounds.width() - editor_->width() - editorDragMargin));
    const qreal y = std::max(editorDragMargin,
                             std::min(editorDragOrigin_->y() + translation.height(),
                                      bounds.height() - editor_->height() - editorDragMargin));
    editor_->move(QPointF(x, y).toPoint());
    if (ended)
        editorDragOrigin_.reset();
}

bool CaptureOverlayWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == windowHandle() && event->type() == QEvent::KeyPress)
        return handleKey(static_cast<QKeyEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

bool CaptureOverlayWindow::handleKey(const QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool control = modifiers.testFlag(Qt::ControlModifier);
    switch (event->key()) {
    case Qt::Key_Escape:
        cancel();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!control)
            return false;
        confirm();
        return true;
    case Qt::Key_Z:
        // While the comment field has the keyboard, Ctrl+Z is the text's own undo.
        if (!control || modifiers.testFlag(Qt::ShiftModifier) || focusWidget() != canvas_)
            return false;
        if (draft_->removeLastStroke())
            canvas_->update();
        return true;
    default:
        return false;
    }
}

} // namespace tovik
