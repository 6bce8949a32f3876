#pragma once

#include "shortcuts/shortcut_binding.h"

#include <QUuid>
#include <QWidget>

#include <functional>

namespace tovik {

class KeyboardLayout;

// The invisible control that records a key combination: while it exists it takes the
// keyboard focus, sees every key press in its window before anything else there (the
// window's shortcuts included) and turns each into one outcome. Mouse clicks go through it
// to the widgets beneath. Losing the focus in any way cancels, once.
class ShortcutRecorder : public QWidget {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<void(const ShortcutBinding&)> onShortcut; // a valid combination
        std::function<void()> onCancel;  // Escape, or the focus went elsewhere
        std::function<void()> onClear;   // Backspace or Delete
        std::function<void()> onConfirm; // Return or Enter
        std::function<void()> onInvalid; // any other press that is no valid combination
    };

    ShortcutRecorder(KeyboardLayout& layout, QWidget* parent);
    ~ShortcutRecorder() override;

    void setCallbacks(Callbacks callbacks) { callbacks_ = std::move(callbacks); }
    // A new token asks for the keyboard focus again; the same one does nothing.
    void setFocusID(const QUuid& focusID);
    QUuid focusID() const { return lastFocusID_; }
    // True once the recording has been cancelled; no further cancel is reported.
    bool isFinishing() const { return isFinishing_; }

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void requestFocus();
    void handleKeyPress(const QKeyEvent& event);
    void cancel();
    bool isInOwnWindow(QObject* object) const;

    KeyboardLayout& layout_;
    Callbacks callbacks_;
    QUuid lastFocusID_;
    bool isFinishing_ = false;
};

} // namespace tovik
