#include "platform/x11/x11_keymap.h"

#include "platform/x11/xcb_connection.h"

#include <algorithm>

namespace tovik {

namespace {

constexpr xcb_keysym_t numLockKeysym = 0xff7f; // XK_Num_Lock
constexpr int modifierCount = 8;               // Shift, Lock, Control, Mod1 … Mod5
constexpr int lockIndex = 1;

} // namespace

X11Keymap::X11Keymap(xcb_connection_t* conn)
    : conn_(conn)
    , symbols_(xcb_key_symbols_alloc(conn)) {
    readModifiers();
}

X11Keymap::~X11Keymap() {
    xcb_key_symbols_free(symbols_);
}

QList<xcb_keycode_t> X11Keymap::keycodes(xcb_keysym_t keysym) const {
    QList<xcb_keycode_t> unshifted;
    QList<xcb_keycode_t> others;
    const XcbReply<xcb_keycode_t> found(xcb_key_symbols_get_keycode(symbols_, keysym));
    for (const xcb_keycode_t* code = found.get(); code && *code != XCB_NO_SYMBOL; ++code) {
        QList<xcb_keycode_t>& list =
            xcb_key_symbols_get_keysym(symbols_, *code, 0) == keysym ? unshifted : others;
        if (!unshifted.contains(*code) && !others.contains(*code))
            list.append(*code);
    }
    return unshifted + others;
}

bool X11Keymap::update(const xcb_mapping_notify_event_t& event) {
    if (event.request == XCB_MAPPING_POINTER)
        return false;
    xcb_refresh_keyboard_mapping(symbols_, const_cast<xcb_mapping_notify_event_t*>(&event));
    readModifiers();
    return true;
}

void X11Keymap::readModifiers() {
    numLockMask_ = 0;
    modifierMask_ = 0;
    modifierKeys_.clear();
    const XcbReply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(conn_, xcb_get_modifier_mapping(conn_), nullptr));
    if (!mapping)
        return;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    const QList<xcb_keycode_t> numLockKeys = keycodes(numLockKeysym);
    for (int mod = 0; mod < modifierCount; ++mod) {
        const xcb_keycode_t* first = codes + mod * perModifier;
        const bool numLock = std::any_of(first, first + perModifier, [&](xcb_keycode_t code) {
            return code != 0 && numLockKeys.contains(code);
        });
        if (numLock)
            numLockMask_ = 1 << mod;
        if (numLock || mod == lockIndex)
            continue;
        for (const xcb_keycode_t* code = first; code != first + perModifier; ++code) {
            if (*code != 0) {
                modifierKeys_.append(*code);
                modifierMask_ |= 1 << mod;
            }
        }
    }
}

} // namespace tovik
