#pragma once

#include "platform/sticky_windows.h"

#include <xcb/xcb.h>

namespace tovik {

// Puts windows on every EWMH desktop: _NET_WM_DESKTOP 0xFFFFFFFF and _NET_WM_STATE_STICKY,
// written on Qt's own connection so that they reach the server before Qt maps the window.
class X11StickyWindows final : public StickyWindows {
public:
    X11StickyWindows();

    /** False off X11 or when the atoms could not be had. */
    bool makeSticky(QWindow& window) override;

private:
    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
    xcb_atom_t desktop_ = XCB_NONE;
    xcb_atom_t state_ = XCB_NONE;
    xcb_atom_t sticky_ = XCB_NONE;
};

} // namespace tovik
