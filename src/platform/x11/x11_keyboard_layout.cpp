#include "platform/x11/x11_keyboard_layout.h"

#include "platform/x11/xcb_connection.h"

#include <QGuiApplication>
#include <QList>

namespace tovik {
namespace {

// The core mapping lists a key's symbols as group 1 unshifted and shifted, then group 2
// unshifted and shifted, then the further levels and groups.
constexpr int group2Unshifted = 2;

std::optional<QChar> latin(xcb_keysym_t keysym) {
    // Latin letters and digits have their ASCII code as keysym.
    if ((keysym >= 'A' && keysym <= 'Z') || (keysym >= '0' && keysym <= '9'))
        return QChar(char16_t(keysym));
    if (keysym >= 'a' && keysym <= 'z')
        return QChar(char16_t(keysym - 'a' + 'A'));
    return std::nullopt;
}

} // namespace

X11KeyboardLayout::X11KeyboardLayout() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11)
        conn_ = x11->connection();
}

std::optional<QChar> X11KeyboardLayout::latinKey(quint32 nativeKeyCode) {
    if (!conn_)
        return std::nullopt;
    const xcb_setup_t* setup = xcb_get_setup(conn_);
    if (nativeKeyCode < setup->min_keycode || nativeKeyCode > setup->max_keycode)
        return std::nullopt;
    const XcbReply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        conn_, xcb_get_keyboard_mapping(conn_, xcb_keycode_t(nativeKeyCode), 1), nullptr));
    if (!mapping)
        return std::nullopt;
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int count = xcb_get_keyboard_mapping_keysyms_length(mapping.get());
    // A Cyrillic or Greek first layout still finds the letter of a Latin second one; a key
    // with its digit shifted (AZERTY) or on a further level still finds the digit.
    QList<int> order{0, group2Unshifted};
    for (int column = 1; column < count; ++column) {
        if (column != group2Unshifted)
            order.append(column);
    }
    for (const int column : std::as_const(order)) {
        if (column < count) {
            if (const std::optional<QChar> key = latin(symbols[column]))
                return key;
        }
    }
    return std::nullopt;
}

} // namespace tovik
