#include "platform/x11/x11_sticky_windows.h"

#include "platform/x11/xcb_connection.h"

#include <QGuiApplication>
#include <QWindow>

#include <algorithm>
#include <array>
#include <cstring>

namespace tovik {
namespace {

// The _NET_WM_DESKTOP value for "all desktops".
constexpr quint32 allDesktops = 0xFFFFFFFF;
// _NET_WM_STATE client message: add the state.
constexpr quint32 stateAdd = 1;
// Client message source indication: a normal application.
constexpr quint32 sourceApplication = 1;
constexpr quint32 eventMask =
    XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;

xcb_atom_t internAtom(xcb_connection_t* conn, const char* name) {
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        conn, xcb_intern_atom(conn, 0, quint16(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

} // namespace

X11StickyWindows::X11StickyWindows() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    conn_ = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
    root_ = screen ? screen->root : XCB_NONE;
    desktop_ = internAtom(conn_, "_NET_WM_DESKTOP");
    state_ = internAtom(conn_, "_NET_WM_STATE");
    sticky_ = internAtom(conn_, "_NET_WM_STATE_STICKY");
}

bool X11StickyWindows::makeSticky(QWindow& window) {
    if (!conn_ || root_ == XCB_NONE || desktop_ == XCB_NONE || state_ == XCB_NONE ||
        sticky_ == XCB_NONE)
        return false;
    const auto id = xcb_window_t(window.winId());

    // Read by the window manager when it takes the window on; Qt keeps states it did not set.
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, id, desktop_, XCB_ATOM_CARDINAL, 32, 1,
                        &allDesktops);
    const XcbReply<xcb_get_property_reply_t> states(xcb_get_property_reply(
        conn_, xcb_get_property(conn_, 0, id, state_, XCB_ATOM_ATOM, 0, 1024), nullptr));
    const auto* atoms =
        states ? static_cast<const xcb_atom_t*>(xcb_get_property_value(states.get())) : nullptr;
    const int count = states ? xcb_get_property_value_length(states.get()) / 4 : 0;
    if (std::find(atoms, atoms + count, sticky_) == atoms + count)
        xcb_change_property(conn_, XCB_PROP_MODE_APPEND, id, state_, XCB_ATOM_ATOM, 32, 1,
                            &sticky_);

    // A window already on screen changes desktops only at the window manager's hands.
    if (window.isVisible()) {
        const auto send = [&](xcb_atom_t type, std::array<quint32, 5> data) {
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = id;
            event.type = type;
            std::copy(data.begin(), data.end(), event.data.data32);
            xcb_send_event(conn_, 0, root_, eventMask, reinterpret_cast<const char*>(&event));
        };
        send(desktop_, {allDesktops, sourceApplication, 0, 0, 0});
        send(state_, {stateAdd, sticky_, XCB_NONE, sourceApplication, 0});
    }
    xcb_flush(conn_);
    return true;
}

} // namespace tovik
