#pragma once

#include "platform/keyboard_layout.h"

#include <xcb/xcb.h>

namespace tovik {

// Reads the server's keyboard mapping for each key asked about, so a layout switched or
// remapped meanwhile is always the current one. Uses Qt's connection: its key events carry
// the X keycode as their native scan code.
class X11KeyboardLayout final : public KeyboardLayout {
public:
    X11KeyboardLayout();

    /** None off X11 or when the server does not answer. */
    std::optional<QChar> latinKey(quint32 nativeKeyCode) override;

private:
    xcb_connection_t* conn_ = nullptr;
};

} // namespace tovik
