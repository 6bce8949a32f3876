#include "platform/x11/xcb_connection.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QTimer>

#include <xcb/xcbext.h>

namespace tovik {

namespace {
// A round trip made meanwhile may read a reply off the socket, unseen by the notifier.
constexpr auto replyRecheck = std::chrono::milliseconds(5);
} // namespace

XcbConnection::XcbConnection(QObject* parent)
    : QObject(parent)
    , replyRecheck_(new QTimer(this)) {
    replyRecheck_->setInterval(replyRecheck);
    connect(replyRecheck_, &QTimer::timeout, this, &XcbConnection::deliverReplies);
    conn_ = xcb_connect(nullptr, &screenNumber_);
    if (xcb_connection_has_error(conn_))
        return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
    for (int i = 0; i < screenNumber_ && it.rem; ++i)
        xcb_screen_next(&it);
    screen_ = it.rem ? it.data : nullptr;

    notifier_ = new QSocketNotifier(xcb_get_file_descriptor(conn_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { dispatch(true); });
    // Replies read during a round trip carry the events that came before them into xcb's
    // queue, where the socket notifier cannot see them: deliver those before the loop sleeps.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { dispatch(false); });
}

XcbConnection::~XcbConnection() {
    xcb_disconnect(conn_);
}

bool XcbConnection::isValid() const {
    return screen_ && !xcb_connection_has_error(conn_);
}

xcb_window_t XcbConnection::root() const {
    return screen_ ? screen_->root : xcb_window_t(XCB_WINDOW_NONE);
}

xcb_atom_t XcbConnection::atom(const QByteArray& name) {
    if (const auto it = atoms_.constFind(name); it != atoms_.cend())
        return *it;
    if (!isValid())
        return XCB_ATOM_NONE;
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        conn_, xcb_intern_atom(conn_, 0, name.size(), name.constData()), nullptr));
    if (!reply)
        return XCB_ATOM_NONE;
    atoms_.insert(name, reply->atom);
    return reply->atom;
}

bool XcbConnection::succeeded(xcb_void_cookie_t cookie) {
    const XcbReply<xcb_generic_error_t> error(xcb_request_check(conn_, cookie));
    return !error && isValid();
}

void XcbConnection::sync() {
    if (isValid())
        std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
}

void XcbConnection::dispatchPending() {
    dispatch(true);
}

void XcbConnection::whenReplied(unsigned int sequence, ReplyHandler handler) {
    pendingReplies_.insert_or_assign(sequence, std::move(handler));
    if (isValid())
        xcb_flush(conn_);
    if (!replyRecheck_->isActive())
        replyRecheck_->start();
}

void XcbConnection::deliverReplies() {
    while (!pendingReplies_.empty()) {
        const auto first = pendingReplies_.begin();
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (isValid() && !xcb_poll_for_reply(conn_, first->first, &reply, &error))
            break; // replies come in request order: the later ones are not in either
        std::free(error);
        ReplyHandler handler = std::move(first->second);
        pendingReplies_.erase(first);
        handler(XcbReply<void>(reply)); // may ask for more
    }
    if (pendingReplies_.empty())
        replyRecheck_->stop();
}

void XcbConnection::setEventHandler(EventHandler handler) {
    handler_ = std::move(handler);
}

bool canOpenDisplay() {
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    const bool opened = !xcb_connection_has_error(conn);
    xcb_disconnect(conn);
    return opened;
}

void XcbConnection::dispatch(bool readSocket) {
    if (!conn_)
        return;
    while (XcbReply<xcb_generic_event_t> event{readSocket ? xcb_poll_for_event(conn_)
                                                          : xcb_poll_for_queued_event(conn_)}) {
        // Errors of unchecked requests arrive as events of type 0; nobody waits for them.
        if (event->response_type != 0 && handler_)
            handler_(*event);
    }
    if (xcb_connection_has_error(conn_) && notifier_)
        notifier_->setEnabled(false);
    if (readSocket)
        deliverReplies();
}

} // namespace tovik
