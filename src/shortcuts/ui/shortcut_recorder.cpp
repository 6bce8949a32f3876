#include "shortcuts/ui/shortcut_recorder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

namespace tovik {
namespace {

// Keys that only modify the key they are held with: the combination is not complete yet.
bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return true;
    default:
        return false;
    }
}

// A copy runs, since a callback may replace the callbacks.
void run(std::function<void()> callback) {
    if (callback)
        callback();
}

} // namespace

ShortcutRecorder::ShortcutRecorder(KeyboardLayout& layout, QWidget* parent)
    : QWidget(parent)
    , layout_(layout) {
    setObjectName(QStringLiteral("shortcutRecorder"));
    // Clicks reach the field beneath, which restarts the recording.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::StrongFocus);
    qApp->installEventFilter(this);
}

ShortcutRecorder::~ShortcutRecorder() {
    qApp->removeEventFilter(this);
}

void ShortcutRecorder::setFocusID(const QUuid& focusID) {
    if (focusID == lastFocusID_)
        return;
    lastFocusID_ = focusID;
    requestFocus();
}

void ShortcutRecorder::requestFocus() {
    // After the current layout pass has put the recorder in place and shown it.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            setFocus(Qt::OtherFocusReason);
    });
}

bool ShortcutRecorder::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // The window's own shortcuts must not take the combination being recorded.
        if (isInOwnWindow(watched)) {
            event->accept();
            return true;
        }
        break;
    case QEvent::KeyPress:
        if (isInOwnWindow(watched)) {
            handleKeyPress(static_cast<const QKeyEvent&>(*event));
            return true;
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress: {
        const bool isWindowPart = watched->isWidgetType() || watched->isWindowType();
        if (isWindowPart && !isInOwnWindow(watched))
            cancel();
        break;
    }
    case QEvent::WindowDeactivate:
        if (watched == window())
            cancel();
        break;
    default:
        break;
    }
    return false;
}

void ShortcutRecorder::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    cancel();
}

void ShortcutRecorder::handleKeyPress(const QKeyEvent& event) {
    if (event.isAutoRepeat())
        return;
    // These three whatever modifiers are held.
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return run(callbacks_.onConfirm);
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return run(callbacks_.onClear);
    case Qt::Key_Escape:
        return cancel();
    default:
        break;
    }
    if (isModifierKey(event.key()))
        return;
    if (const std::optional<ShortcutBinding> binding =
            ShortcutBinding::fromKeyEvent(event, layout_)) {
        if (const auto onShortcut = callbacks_.onShortcut)
            onShortcut(*binding);
    } else {
        run(callbacks_.onInvalid);
    }
}

void ShortcutRecorder::cancel() {
    if (isFinishing_)
        return;
    isFinishing_ = true;
    run(callbacks_.onCancel);
}

bool ShortcutRecorder::isInOwnWindow(QObject* object) const {
    if (object->isWidgetType())
        return static_cast<QWidget*>(object)->window() == window();
    if (object->isWindowType())
        return object == window()->windowHandle();
    return false;
}

} // namespace tovik
