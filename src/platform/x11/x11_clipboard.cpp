#include "platform/x11/x11_clipboard.h"

#include "platform/x11/xcb_connection.h"

#include <QClipboard>
#include <QGuiApplication>

#include <xcb/xfixes.h>

namespace tovik {

namespace {

xcb_connection_t* qtConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace

X11Clipboard::X11Clipboard()
    : conn_(std::make_unique<XcbConnection>()) {
    if (!conn_->isValid())
        return;
    selection_ = conn_->atom("CLIPBOARD");
    const xcb_query_extension_reply_t* xfixes =
        xcb_get_extension_data(conn_->get(), &xcb_xfixes_id);
    if (!xfixes || !xfixes->present)
        return;
    // XFixes answers nothing before the client has said which version it speaks.
    std::free(xcb_xfixes_query_version_reply(
        conn_->get(), xcb_xfixes_query_version(conn_->get(), 5, 0), nullptr));
    xfixesEvent_ = xfixes->first_event;
    xcb_xfixes_select_selection_input(conn_->get(), conn_->root(), selection_,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    conn_->setEventHandler([this](const xcb_generic_event_t& event) {
        if (eventType(event) != xfixesEvent_ + XCB_XFIXES_SELECTION_NOTIFY)
            return;
        const auto& notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
        // The echo of this app's own writes names Qt's selection window as the owner.
        if (notify.selection == selection_ && !isThisApp(notify.owner))
            ++changes_;
    });
    conn_->sync();
}

X11Clipboard::~X11Clipboard() = default;

bool X11Clipboard::write(const ClipboardPayload& payload) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setMimeData(toMimeData(payload), QClipboard::Clipboard);

    // Qt claims the selection with the time of the last event it handled; when another
    // client took it later, the server ignores the claim while Qt still says it owns it.
    if (!qtConnection() || !conn_->isValid())
        return clipboard->ownsClipboard();
    return isThisApp(owner());
}

qint64 X11Clipboard::changeCount() {
    // Everything another client did before this call is counted, not only what the event
    // loop has delivered so far.
    conn_->sync();
    conn_->dispatchPending();
    return changes_;
}

bool X11Clipboard::isThisApp(quint32 window) const {
    xcb_connection_t* qt = qtConnection();
    if (!qt || window == XCB_WINDOW_NONE)
        return false;
    // Every resource a client creates carries the id base the server gave its connection.
    const xcb_setup_t* setup = xcb_get_setup(qt);
    return (window & ~setup->resource_id_mask) == setup->resource_id_base;
}

quint32 X11Clipboard::owner() {
    const XcbReply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
        conn_->get(), xcb_get_selection_owner(conn_->get(), selection_), nullptr));
    return reply ? reply->owner : quint32(XCB_WINDOW_NONE);
}

} // namespace tovik
