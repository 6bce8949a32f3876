#include "platform/x11/xcb_connection.h"

#include "platform/signal_wait.h"

#include <QAbstractEventDispatcher>
#include <QPointer>
#include <QSocketNotifier>

#include <xcb/xcbext.h>

namespace tovik {

namespace {
constexpr auto replyRecheck = std::chrono::milliseconds(5);
} // namespace

XcbConnection::XcbConnection(QObject* parent)
    : QObject(parent) {
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

QCoro::Task<XcbReply<void>> XcbConnection::rawReply(unsigned int sequence) {
    const QPointer<XcbConnection> self(this);
    if (isValid())
        xcb_flush(conn_);
    while (self && self->isValid()) {
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(conn_, sequence, &reply, &error)) {
            std::free(error);
            co_return XcbReply<void>(reply);
        }
        // A round trip made meanwhile may read the reply off the socket, unseen by the
        // notifier: look again after a while even without news.
        co_await waitForSignal(this, &XcbConnection::received, QDeadlineTimer(replyRecheck));
    }
    co_return XcbReply<void>();
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
        Q_EMIT received();
}

} // namespace tovik
