#pragma once

#include "platform/keyboard_layout.h"

namespace tovik {

// The compositor's keymap reaches only Qt's Wayland keyboard, which already gives a key with
// Ctrl or Alt the Latin symbol of another layout when the one in use has none; the key as Qt
// names it is the one recorded.
class WaylandKeyboardLayout final : public KeyboardLayout {
public:
    std::optional<QChar> latinKey(quint32) override { return std::nullopt; }
};

} // namespace tovik
