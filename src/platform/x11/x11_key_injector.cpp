#include "platform/x11/x11_key_injector.h"

#include "platform/x11/x11_keymap.h"
#include "platform/x11/xcb_connection.h"

#include <QCoro/QCoroTimer>
#include <QDeadlineTimer>
#include <QSet>

#include <xcb/xtest.h>

namespace tovik {

namespace {

constexpr xcb_keysym_t controlKeysym = 0xffe3; // XK_Control_L
constexpr xcb_keysym_t shiftKeysym = 0xffe1;   // XK_Shift_L
constexpr xcb_keysym_t vKeysym = 0x0076;       // XK_v

// Keys the user still holds merge into injected events (Shift+Ctrl+V instead of Ctrl+V):
// wait a moment for them to come up.
constexpr auto modifierReleaseTimeout = std::chrono::milliseconds(300);
constexpr auto modifierReleasePoll = std::chrono::milliseconds(5);

// Terminal emulators bind Ctrl+Shift+V to paste, Ctrl+V being a control character there;
// these do by default (xterm and urxvt bind no clipboard key at all).
bool isTerminalEmulator(const QString& wmClass) {
    static const QSet<QString> terminals = [] {
        const QStringList names =
            QStringLiteral(
                "alacritty blackbox contour cool-retro-term deepin-terminal foot footclient "
                "ghostty gnome-terminal gnome-terminal-server guake kgx kitty konsole lxterminal "
                "mate-terminal org.gnome.console org.gnome.ptyxis org.wezfurlong.wezterm ptyxis "
                "qterminal rio sakura st st-256color terminator terminology termite tilda tilix "
                "com.gexperts.tilix wezterm xfce4-terminal")
                .split(QLatin1Char(' '));
        return QSet<QString>(names.cbegin(), names.cend());
    }();
    return terminals.contains(wmClass.toLower());
}

} // namespace

X11KeyInjector::X11KeyInjector()
    : conn_(std::make_unique<XcbConnection>())
    , keymap_(std::make_unique<X11Keymap>(conn_->get())) {
    conn_->setEventHandler([this](const xcb_generic_event_t& event) {
        if (eventType(event) == XCB_MAPPING_NOTIFY)
            keymap_->update(reinterpret_cast<const xcb_mapping_notify_event_t&>(event));
    });
}

X11KeyInjector::~X11KeyInjector() = default;

bool X11KeyInjector::hasPermission() {
    if (!conn_->isValid())
        return false;
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(conn_->get(), &xcb_test_id);
    return xtest && xtest->present;
}

QCoro::Task<bool> X11KeyInjector::requestPermission() {
    // No one to ask: the server has XTEST or it has not.
    co_return hasPermission();
}

void X11KeyInjector::updateKeymap() {
    // The layout may have changed since the last event was read.
    conn_->sync();
    conn_->dispatchPending();
}

bool X11KeyInjector::postPaste(const AppRef& destination) {
    if (!hasPermission())
        return false;
    updateKeymap();
    const QList<xcb_keycode_t> control = keymap_->keycodes(controlKeysym);
    const QList<xcb_keycode_t> shift = keymap_->keycodes(shiftKeysym);
    const QList<xcb_keycode_t> v = keymap_->keycodes(vKeysym);
    const bool terminal = isTerminalEmulator(destination.wmClass);
    if (control.isEmpty() || v.isEmpty() || (terminal && shift.isEmpty()))
        return false;

    fakeKey(XCB_KEY_PRESS, control.first());
    if (terminal)
        fakeKey(XCB_KEY_PRESS, shift.first());
    fakeKey(XCB_KEY_PRESS, v.first());
    fakeKey(XCB_KEY_RELEASE, v.first());
    if (terminal)
        fakeKey(XCB_KEY_RELEASE, shift.first());
    fakeKey(XCB_KEY_RELEASE, control.first());
    conn_->sync();
    return conn_->isValid();
}

QCoro::Task<> X11KeyInjector::releaseHeldModifiers() {
    if (!hasPermission())
        co_return;
    updateKeymap();
    const XcbReply<xcb_query_keymap_reply_t> keys(
        xcb_query_keymap_reply(conn_->get(), xcb_query_keymap(conn_->get()), nullptr));
    if (!keys)
        co_return;
    // Keys held through XTest (by another tool, or left from the hot key's own injection)
    // come up when XTest releases them; a physical key only when the user lets go.
    for (const xcb_keycode_t code : keymap_->shortcutModifierKeycodes()) {
        if (keys->keys[code / 8] & (1 << (code % 8)))
            fakeKey(XCB_KEY_RELEASE, code);
    }
    // No event tells this connection that a key came up: the core protocol reports key
    // releases only to the window under the focus or a grab.
    const QDeadlineTimer deadline(modifierReleaseTimeout);
    while (!deadline.hasExpired()) {
        const XcbReply<xcb_query_pointer_reply_t> pointer(xcb_query_pointer_reply(
            conn_->get(), xcb_query_pointer(conn_->get(), conn_->root()), nullptr));
        if (!pointer || (pointer->mask & keymap_->shortcutModifierMask()) == 0)
            co_return;
        co_await QCoro::sleepFor(modifierReleasePoll);
    }
}

void X11KeyInjector::fakeKey(quint8 type, quint8 keycode) {
    xcb_test_fake_input(conn_->get(), type, keycode, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
}

} // namespace tovik
