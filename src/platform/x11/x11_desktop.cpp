#include "platform/x11/x11_desktop.h"

#include "platform/x11/xcb_connection.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <poll.h>

namespace tovik {

namespace {

constexpr quint32 sourcePager = 2; // _NET_ACTIVE_WINDOW source indication: a pager
// A window manager answers an activation within a few milliseconds; an application that
// refuses it never does.
constexpr auto activationTimeout = std::chrono::milliseconds(500);
constexpr int activationPollMs = 10;

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

Property readProperty(XcbConnection& conn, xcb_window_t window, xcb_atom_t property,
                      xcb_atom_t type, quint32 longLength = 1) {
    return {XcbReply<xcb_get_property_reply_t>(xcb_get_property_reply(
        conn.get(), xcb_get_property(conn.get(), false, window, property, type, 0, longLength),
        nullptr))};
}

} // namespace

X11Desktop::X11Desktop(QObject* parent)
    : Desktop(parent)
    , conn_(std::make_unique<XcbConnection>()) {
    screensChanged_.setSingleShot(true);
    screensChanged_.setInterval(0);
    connect(&screensChanged_, &QTimer::timeout, this, &Desktop::screensChanged);
    for (QScreen* screen : QGuiApplication::screens())
        watchScreen(screen);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
            watchScreen(screen);
            screensChanged_.start();
        });
        connect(app, &QGuiApplication::screenRemoved, this, [this] { screensChanged_.start(); });
        connect(app, &QGuiApplication::primaryScreenChanged, this,
                [this] { screensChanged_.start(); });
    }

    if (!conn_->isValid())
        return;
    // This client's own event mask on the root window; Qt's connection keeps its own.
    const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(conn_->get(), conn_->root(), XCB_CW_EVENT_MASK, &mask);
    conn_->setEventHandler([this](const xcb_generic_event_t& event) {
        if (eventType(event) == XCB_PROPERTY_NOTIFY)
            onPropertyNotify(reinterpret_cast<const xcb_property_notify_event_t&>(event));
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

bool X11Desktop::activate(const AppRef& app) {
    if (isTerminated(app))
        return false;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = app.window;
    message.type = conn_->atom("_NET_ACTIVE_WINDOW");
    // As a pager: window managers apply no focus-stealing prevention to a pager's request.
    message.data.data32[0] = sourcePager;
    message.data.data32[1] = XCB_CURRENT_TIME;
    message.data.data32[2] = readActiveWindow();
    xcb_send_event(conn_->get(), false, conn_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(conn_->get());

    // The request is only a wish: it took effect once the window manager names the window.
    const QDeadlineTimer deadline(activationTimeout);
    pollfd socket{xcb_get_file_descriptor(conn_->get()), POLLIN, 0};
    while (!activeWindowIs(app.window)) {
        if (deadline.hasExpired() || !conn_->isValid())
            return false;
        poll(&socket, 1, int(std::min<qint64>(activationPollMs, deadline.remainingTime())));
    }
    return true;
}

bool X11Desktop::isActive() {
    const std::optional<AppRef> app = activeApp();
    return app && (app->pid == processId() || isOwnWindow(app->window));
}

QPoint X11Desktop::mousePosition() {
    return QCursor::pos();
}

quint32 X11Desktop::readActiveWindow() {
    if (!conn_->isValid())
        return XCB_WINDOW_NONE;
    return readProperty(*conn_, conn_->root(), conn_->atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW)
        .cardinal()
        .value_or(XCB_WINDOW_NONE);
}

std::optional<AppRef> X11Desktop::activeApp() {
    const quint32 window = readActiveWindow();
    const std::optional<AppRef> app =
        window == XCB_WINDOW_NONE ? std::nullopt : std::optional(describe(window));
    noteActive(app);
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
void X11Desktop::noteActive(const std::optional<AppRef>& app) {
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
    AppRef app{window, 0, {}};
    app.pid = readProperty(*conn_, window, conn_->atom("_NET_WM_PID"), XCB_ATOM_CARDINAL)
                  .cardinal()
                  .value_or(0);
    // WM_CLASS is two NUL-terminated strings: the instance, then the class.
    const Property wmClass = readProperty(*conn_, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256);
    if (wmClass.isValid()) {
        const QList<QByteArray> parts = QByteArray(wmClass.bytes(), wmClass.length()).split('\0');
        if (parts.size() >= 2)
            app.wmClass = QString::fromLocal8Bit(parts[1]);
    }
    return app;
}

bool X11Desktop::isOwnWindow(quint32 window) {
    const QWindowList windows = QGuiApplication::topLevelWindows();
    return std::any_of(windows.cbegin(), windows.cend(),
                       [window](const QWindow* w) { return w->handle() && w->winId() == window; });
}

void X11Desktop::onPropertyNotify(const xcb_property_notify_event_t& event) {
    if (event.window == conn_->root() && event.atom == conn_->atom("_NET_ACTIVE_WINDOW"))
        activeApp();
}

void X11Desktop::watchScreen(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, [this] { screensChanged_.start(); });
}

} // namespace tovik
