#pragma once

#include <QObject>

namespace tovik {

// X11 modifier masks of a grab.
namespace ModifierMask {
inline constexpr quint16 shift = 1 << 0;   // ShiftMask
inline constexpr quint16 control = 1 << 2; // ControlMask
inline constexpr quint16 alt = 1 << 3;     // Mod1Mask
inline constexpr quint16 super = 1 << 6;   // Mod4Mask
} // namespace ModifierMask

// One system-wide key combination.
class HotKeyBackend : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    HotKeyBackend(const HotKeyBackend&) = delete;
    HotKeyBackend& operator=(const HotKeyBackend&) = delete;

    /** Grabs keysym with exactly these modifiers; false, with nothing grabbed, when another client
     * holds it. */
    virtual bool grab(quint32 keysym, quint16 modifierMask) = 0;
    /** Releases the grab; safe when nothing is grabbed. */
    virtual void ungrab() = 0;
    /** False where the desktop lets no app take a system-wide key: the user binds the capture
     * command in the desktop's own keyboard settings instead, and every grab() fails. */
    virtual bool canGrab() const { return true; }

Q_SIGNALS:
    /** The grabbed combination was pressed; delivered on the main thread. */
    void pressed();
    /** The grab is gone without ungrab(): after a keyboard change the combination could not be
     * grabbed again (another client holds it, or no key produces it any more). */
    void grabLost();
};

} // namespace tovik
