#include "platform/x11/x11_desktop.h"

#include "platform/signal_wait.h"
#include "platform/x11/xcb_connection.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <QPointer>

#include <algorithm>

namespace tovik {

namespace {

constexpr quint32 sourcePager = 2; // _NET_ACTIVE_WINDOW source indication: a pager
// A window manager answers an activation within a few milliseconds; an application that
// refuses it never does.
constexpr auto activationTimeout = std::chrono::milliseconds(500);
// It answers a request of ours within a millisecond or two.
constexpr auto windowManagerAnswerTimeout = std::chrono::milliseconds(100);
constexpr quint32 pointerRoot = XCB_INPUT_FOCUS_POINTER_ROOT; // a focus that follows the pointer

struct Property {
    XcbReply<xcb_get_property_reply_t> reply;

    bool isValid() const { return reply && reply->type != XCB_ATOM_NONE; }
    const char* bytes() const {
        return static_cast<const char*>(xcb_get_property_value(reply.get()));
    }
    int length() const { return xcb_get_property_value_length(reply.get()); }
    std::optional<quint32> cardinal() const {
        if (!isValid() || reply->format != 32 || length() < 4)
            return std::nullopt;
        return *reinterpret_cast<const quint32*>(bytes());
    }
};

xcb_get_property_cookie_t requestProperty(XcbConnection& conn, xcb_window_t window,
                                          xcb_atom_t property, xcb_atom_t type,
                                          quint32 longLength = 1) {
    return xcb_get_property(conn.get(), false, window, property, type, 0, longLength);
}

Property propertyOf(XcbReply<void> reply) {
    return {XcbReply<xcb_get_property_reply_t>(
        static_cast<xcb_get_property_reply_t*>(reply.release()))};
}

Property replyOf(XcbConnection& conn, xcb_get_property_cookie_t request) {
    return {
        XcbReply<xcb_get_property_reply_t>(xcb_get_property_reply(conn.get(), request, nullptr))};
}

Property readProperty(XcbConnection& conn, xcb_window_t window, xcb_atom_t property,
                      xcb_atom_t type, quint32 longLength = 1) {
    return replyOf(conn, requestProperty(conn, window, property, type, longLength));
}

// The application of `window`: its _NET_WM_PID and the class half of its WM_CLASS.
AppRef appOf(quint32 window, const Property& pid, const Property& wmClass) {
    AppRef app{window, pid.cardinal().value_or(0), {}};
    // WM_CLASS is two NUL-terminated strings: the instance, then the class.
    if (wmClass.isValid()) {
        const QList<QByteArray> parts = QByteArray(wmClass.bytes(), wmClass.length()).split('\0');
        if (parts.size() >= 2)
            app.wmClass = QString::fromLocal8Bit(parts[1]);
    }
    return app;
}

constexpr quint32 wmClassLength = 256;
constexpr quint32 supportedLength = 1024; // atoms of _NET_SUPPORTED read; window managers name ~100

quint32 activeWindowOf(const Property& property) {
    return property.cardinal().value_or(XCB_WINDOW_NONE);
}

} // namespace

X11Desktop::X11Desktop(QObject* parent)
    : Desktop(parent)
    , conn_(std::make_unique<XcbConnection>()) {
    watchScreens();

    if (!conn_->isValid())
        return;
    // This client's own event mask on the root window; Qt's connection keeps its own.
    const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(conn_->get(), conn_->root(), XCB_CW_EVENT_MASK, &mask);
    clock_ = xcb_generate_id(conn_->get());
    xcb_create_window(conn_->get(), XCB_COPY_FROM_PARENT, clock_, conn_->root(), -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    conn_->setEventHandler([this](const xcb_generic_event_t& event) {
        const quint8 type = eventType(event);
        if (type == XCB_PROPERTY_NOTIFY)
            onPropertyNotify(reinterpret_cast<const xcb_property_notify_event_t&>(event));
        else if (type == XCB_FOCUS_IN || type == XCB_FOCUS_OUT)
            QMetaObject::invokeMethod(this, &X11Desktop::focusChanged, Qt::QueuedConnection);
    });
    // What is in front at start-up was not activated while this app watched.
    if (const quint32 active = readActiveWindow(); active != XCB_WINDOW_NONE)
        lastActive_ = describe(active);
}

X11Desktop::~X11Desktop() = default;

std::optional<AppRef> X11Desktop::frontmostApplication() {
    return activeApp();
}

qint64 X11Desktop::processId() {
    return QCoreApplication::applicationPid();
}

bool X11Desktop::isTerminated(const AppRef& app) {
    if (!conn_->isValid() || app.window == XCB_WINDOW_NONE)
        return true;
    // The server destroys a client's windows when it disconnects, so a quit process has no
    // window left. Its pid alone proves nothing: sandboxed clients (Flatpak, Snap) report
    // their pid inside the sandbox.
    const XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        conn_->get(), xcb_get_window_attributes(conn_->get(), app.window), nullptr));
    if (!attributes)
        return true;
    // A window id handed out again by the server belongs to another process.
    const std::optional<quint32> pid =
        readProperty(*conn_, app.window, conn_->atom("_NET_WM_PID"), XCB_ATOM_CARDINAL).cardinal();
    return app.pid != 0 && pid && qint64(*pid) != app.pid;
}

QCoro::Task<bool> X11Desktop::activate(AppRef app) {
    if (isTerminated(app))
        co_return false;
    // Openbox answers a focus that fell to the root (the overlays closing) by moving it to a
    // window of its own and then to a client: when that comes after the window was focused
    // here, the keys sent next are lost.
    const QPointer<X11Desktop> alive(this);
    co_await windowManagerCaughtUp(QDeadlineTimer(windowManagerAnswerTimeout));
    if (!alive)
        co_return false;
    const QDeadlineTimer deadline(activationTimeout);
    // A time of the server's, not CurrentTime: for that xfwm4 takes the last time it saw, older
    // than the focus change our overlays made past it, and the server ignores its focus request.
    const quint32 time = serverTime();
    // Focus changes of the window wake the waits below.
    const quint32 mask = XCB_EVENT_MASK_FOCUS_CHANGE;
    xcb_change_window_attributes(conn_->get(), app.window, XCB_CW_EVENT_MASK, &mask);
    // As a pager: window managers apply no focus-stealing prevention to a pager's request.
    askWindowManager(app.window, conn_->atom("_NET_ACTIVE_WINDOW"),
                     {sourcePager, time, readActiveWindow()});

    // The request is only a wish: it took effect once the window manager names the window.
    while (!activeWindowIs(app.window)) {
        if (deadline.hasExpired() || !conn_->isValid())
            co_return false;
        co_await waitForSignal(this, &X11Desktop::focusChanged, deadline);
        if (!alive)
            co_return false;
    }
    // Named is not focused: xfwm4 may leave the focus on the root window, where it fell when
    // an overlay closed. The user came from this window, so it may have the focus back.
    if (!hasKeyboardFocus(app)) {
        xcb_set_input_focus(conn_->get(), XCB_INPUT_FOCUS_PARENT, app.window, time);
        xcb_flush(conn_->get());
    }
    while (!hasKeyboardFocus(app)) {
        if (deadline.hasExpired() || !conn_->isValid())
            co_return false;
        co_await waitForSignal(this, &X11Desktop::focusChanged, deadline);
        if (!alive)
            co_return false;
    }
    co_return true;
}

// The window manager handles its events in order, and a frame-extents request is one it
// answers for any window, with a property change on it.
QCoro::Task<> X11Desktop::windowManagerCaughtUp(QDeadlineTimer deadline) {
    const xcb_atom_t request = conn_->atom("_NET_REQUEST_FRAME_EXTENTS");
    if (!conn_->isValid() || !windowManagerSupports(request))
        co_return;
    const quint32 answered = windowManagerAnswers_;
    askWindowManager(clock_, request, {});
    const QPointer<X11Desktop> alive(this);
    while (alive && windowManagerAnswers_ == answered && !deadline.hasExpired() && conn_->isValid())
        co_await waitForSignal(this, &X11Desktop::windowManagerAnswered, deadline);
}

// A client message about `window`, sent to the root window, where the window manager listens.
void X11Desktop::askWindowManager(quint32 window, quint32 type, std::array<quint32, 3> data) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    std::copy(data.cbegin(), data.cend(), message.data.data32);
    xcb_send_event(conn_->get(), false, conn_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(conn_->get());
}

bool X11Desktop::windowManagerSupports(quint32 atom) {
    const Property supported = readProperty(*conn_, conn_->root(), conn_->atom("_NET_SUPPORTED"),
                                            XCB_ATOM_ATOM, supportedLength);
    if (!supported.isValid() || supported.reply->format != 32)
        return false;
    const auto* atoms = reinterpret_cast<const quint32*>(supported.bytes());
    const auto* end = atoms + supported.length() / 4;
    return std::find(atoms, end, atom) != end;
}

bool X11Desktop::hasKeyboardFocus(const AppRef& app) {
    if (!conn_->isValid() || app.window == XCB_WINDOW_NONE)
        return false;
    // Toolkits may focus a child of their top-level window, an application one of its other
    // windows (a dialog): any window of its process counts.
    quint32 window = inputFocus();
    while (window != XCB_WINDOW_NONE && window != conn_->root()) {
        if (window == app.window)
            return true;
        if (app.pid != 0 &&
            readProperty(*conn_, window, conn_->atom("_NET_WM_PID"), XCB_ATOM_CARDINAL)
                    .cardinal() == quint32(app.pid))
            return true;
        const XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(conn_->get(), xcb_query_tree(conn_->get(), window), nullptr));
        window = tree ? tree->parent : xcb_window_t(XCB_WINDOW_NONE);
    }
    return false;
}

bool X11Desktop::isActive() {
    const std::optional<AppRef> app = activeApp();
    if (app && (app->pid == processId() || isOwnWindow(app->window)))
        return true;
    // The overlays take the focus past the window manager, which goes on naming the window
    // below them; when they close the focus falls to the root window, and some window
    // managers (xfwm4) leave it there.
    const quint32 focus = inputFocus();
    return conn_->isValid() &&
           (focus == XCB_WINDOW_NONE || focus == conn_->root() || isOwnWindow(focus));
}

QPoint X11Desktop::mousePosition() {
    return QCursor::pos();
}

// Resumes at the next change or at the deadline, whichever comes first.
// The server stamps a property change with its present time, and the event brings it back.
quint32 X11Desktop::serverTime() {
    if (!conn_->isValid())
        return XCB_CURRENT_TIME;
    clockTime_ = XCB_CURRENT_TIME;
    xcb_change_property(conn_->get(), XCB_PROP_MODE_APPEND, clock_, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, 0, nullptr);
    conn_->sync(); // the event comes before the reply
    conn_->dispatchPending();
    return clockTime_;
}

// The focused window; none for no window or the pointer's.
quint32 X11Desktop::inputFocus() {
    if (!conn_->isValid())
        return XCB_WINDOW_NONE;
    const XcbReply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(conn_->get(), xcb_get_input_focus(conn_->get()), nullptr));
    return focus && focus->focus != pointerRoot ? focus->focus : xcb_window_t(XCB_WINDOW_NONE);
}

quint32 X11Desktop::requestActiveWindow() {
    return requestProperty(*conn_, conn_->root(), conn_->atom("_NET_ACTIVE_WINDOW"),
                           XCB_ATOM_WINDOW)
        .sequence;
}

quint32 X11Desktop::readActiveWindow() {
    if (!conn_->isValid())
        return XCB_WINDOW_NONE;
    return activeWindowOf(replyOf(*conn_, {requestActiveWindow()}));
}

std::optional<AppRef> X11Desktop::activeApp() {
    if (!conn_->isValid())
        return std::nullopt;
    const quint32 request = requestActiveWindow();
    const quint32 window = activeWindowOf(replyOf(*conn_, {request}));
    const std::optional<AppRef> app =
        window == XCB_WINDOW_NONE ? std::nullopt : std::optional(describe(window));
    noteActive(app, request);
    return app;
}

bool X11Desktop::activeWindowIs(quint32 window) {
    const std::optional<AppRef> app = activeApp();
    return app && app->window == window;
}

// PropertyNotify does not carry the value, and by the time it is handled the window may have
// changed again (activate() switches and waits within one turn of the event loop): every
// reading counts as an observation, so no switch this process saw goes unreported. The
// process is compared too: the server hands out the ids of destroyed windows again.
void X11Desktop::noteActive(const std::optional<AppRef>& app, quint32 request) {
    // A reading requested before one already noted is older news (wrapping numbers).
    if (qint32(request - notedRequest_) < 0)
        return;
    notedRequest_ = request;
    if (app == lastActive_)
        return;
    lastActive_ = app;
    if (!app || app->pid == processId() || isOwnWindow(app->window))
        return;
    // Queued: a getter must not call back into its caller.
    QMetaObject::invokeMethod(
        this, [this, app = *app] { Q_EMIT applicationActivated(app); }, Qt::QueuedConnection);
}

AppRef X11Desktop::describe(quint32 window) {
    return appOf(window,
                 readProperty(*conn_, window, conn_->atom("_NET_WM_PID"), XCB_ATOM_CARDINAL),
                 readProperty(*conn_, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wmClassLength));
}

void X11Desktop::observeActiveWindow() {
    // A change that comes while one is read is read once more after it.
    if (observing_) {
        observeAgain_ = true;
        return;
    }
    observing_ = true;
    observeAgain_ = false;
    const quint32 request = requestActiveWindow();
    conn_->whenReplied(request, [this, request](XcbReply<void> reply) {
        const quint32 window = activeWindowOf(propertyOf(std::move(reply)));
        if (window == XCB_WINDOW_NONE)
            return observed(std::nullopt, request);
        XcbConnection& conn = *conn_;
        const auto pid = requestProperty(conn, window, conn.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
        const auto wmClass =
            requestProperty(conn, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wmClassLength);
        auto pidReply = std::make_shared<XcbReply<void>>();
        conn.whenReplied(pid.sequence,
                         [pidReply](XcbReply<void> reply) { *pidReply = std::move(reply); });
        conn.whenReplied(wmClass.sequence, [this, window, request, pidReply](XcbReply<void> reply) {
            observed(appOf(window, propertyOf(std::move(*pidReply)), propertyOf(std::move(reply))),
                     request);
        });
    });
}

void X11Desktop::observed(const std::optional<AppRef>& app, quint32 request) {
    noteActive(app, request);
    QMetaObject::invokeMethod(this, &X11Desktop::focusChanged, Qt::QueuedConnection);
    observing_ = false;
    if (observeAgain_)
        observeActiveWindow();
}

bool X11Desktop::isOwnWindow(quint32 window) {
    const QWindowList windows = QGuiApplication::topLevelWindows();
    return std::any_of(windows.cbegin(), windows.cend(),
                       [window](const QWindow* w) { return w->handle() && w->winId() == window; });
}

void X11Desktop::onPropertyNotify(const xcb_property_notify_event_t& event) {
    if (event.window == clock_ && event.atom == conn_->atom("_NET_FRAME_EXTENTS")) {
        ++windowManagerAnswers_;
        QMetaObject::invokeMethod(this, &X11Desktop::windowManagerAnswered, Qt::QueuedConnection);
    } else if (event.window == clock_) {
        clockTime_ = event.time;
    } else if (event.window == conn_->root() && event.atom == conn_->atom("_NET_ACTIVE_WINDOW")) {
        observeActiveWindow();
    }
}

} // namespace tovik
