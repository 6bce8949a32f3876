#pragma once

#include <QChar>

#include <optional>

namespace tovik {

// What the keys of the keyboard carry in the layouts the user has set up.
class KeyboardLayout {
public:
    KeyboardLayout() = default;
    virtual ~KeyboardLayout() = default;
    KeyboardLayout(const KeyboardLayout&) = delete;
    KeyboardLayout& operator=(const KeyboardLayout&) = delete;

    /** The Latin letter (upper case) or digit on the key with this native key code, its unshifted
     *  symbol first and every layout looked through; none when the key carries neither or the
     *  code is unknown. */
    virtual std::optional<QChar> latinKey(quint32 nativeKeyCode) = 0;
};

} // namespace tovik
