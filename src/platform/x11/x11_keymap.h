#pragma once

#include <QList>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace tovik {

// The server's keyboard and modifier mappings as a client reads them, kept current through
// MappingNotify.
class X11Keymap {
public:
    explicit X11Keymap(xcb_connection_t* conn);
    ~X11Keymap();
    X11Keymap(const X11Keymap&) = delete;
    X11Keymap& operator=(const X11Keymap&) = delete;

    /** Keycodes that produce `keysym`, those with it unshifted first; empty when none does. */
    QList<xcb_keycode_t> keycodes(xcb_keysym_t keysym) const;
    /** The modifier bit NumLock sets; 0 when no modifier carries NumLock. */
    quint16 numLockMask() const { return numLockMask_; }
    /** Keycodes bound to modifiers that change what a shortcut means (not Lock or NumLock). */
    const QList<xcb_keycode_t>& shortcutModifierKeycodes() const { return modifierKeys_; }
    /** The modifier bits of those keys. */
    quint16 shortcutModifierMask() const { return modifierMask_; }

    /** Follows a MappingNotify; true when keys or modifiers changed. */
    bool update(const xcb_mapping_notify_event_t& event);

private:
    void readModifiers();

    xcb_connection_t* conn_;
    xcb_key_symbols_t* symbols_;
    quint16 numLockMask_ = 0;
    quint16 modifierMask_ = 0;
    QList<xcb_keycode_t> modifierKeys_;
};

} // namespace tovik
