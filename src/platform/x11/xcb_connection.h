#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>

#include <xcb/xcb.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;
class QTimer;

namespace tovik {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
// An xcb reply, freed with free() as libxcb requires.
template<typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

// A private connection to the X server. The backend keeps its event masks, grabs and round
// trips off Qt's connection: Qt's connection uses XKB (and so never sees the core
// MappingNotify a key grab must follow), owns the root window's event mask for this client,
// and reads its events on another thread. Events here are dispatched on the owner's thread.
class XcbConnection : public QObject {
    Q_OBJECT
public:
    using EventHandler = std::function<void(const xcb_generic_event_t& event)>;

    explicit XcbConnection(QObject* parent = nullptr);
    ~XcbConnection() override;

    /** False when the display could not be opened or the connection broke. */
    bool isValid() const;
    /** The raw connection; null when none could be opened. */
    xcb_connection_t* get() const { return conn_; }
    /** The default screen's root window; 0 when not connected. */
    xcb_window_t root() const;
    /** The default screen; null when not connected. */
    const xcb_screen_t* screen() const { return screen_; }
    /** The default screen's number, as in DISPLAY. */
    int screenNumber() const { return screenNumber_; }

    /** The atom of `name`, interned once; XCB_NONE when the server does not answer. */
    xcb_atom_t atom(const QByteArray& name);
    /** True when the checked request succeeded. */
    bool succeeded(xcb_void_cookie_t cookie);
    /** A round trip: every request sent before has been carried out, its events received. */
    void sync();
    /** Hands every event received so far to the handler. */
    void dispatchPending();
    using ReplyHandler = std::function<void(XcbReply<void> reply)>;
    /** Calls `handler` from the event loop with the reply to the request numbered `sequence`
     *  once it is in: a round trip would block this thread while the server is busy drawing.
     *  The reply is null when the server answered with an error or the connection broke.
     *  Handlers of requests sent in order are called in that order. */
    void whenReplied(unsigned int sequence, ReplyHandler handler);
    /** The one receiver of this connection's events. */
    void setEventHandler(EventHandler handler);

private:
    void dispatch(bool readSocket);
    void deliverReplies();

    xcb_connection_t* conn_ = nullptr;
    const xcb_screen_t* screen_ = nullptr;
    int screenNumber_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    QHash<QByteArray, xcb_atom_t> atoms_;
    EventHandler handler_;
    std::map<unsigned int, ReplyHandler> pendingReplies_; // by request number
    QTimer* replyRecheck_ = nullptr;
};

/** Whether the X display that DISPLAY names accepts a connection now. */
bool canOpenDisplay();

/** The response type of an event without the bit that marks it as sent by a client. */
inline quint8 eventType(const xcb_generic_event_t& event) {
    return event.response_type & 0x7f;
}

} // namespace tovik
