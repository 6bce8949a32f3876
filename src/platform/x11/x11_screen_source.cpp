#include "platform/x11/x11_screen_source.h"

#include "platform/x11/x11_image_grabber.h"
#include "platform/x11/xcb_connection.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <xcb/randr.h>

#include <thread>

namespace tovik {

namespace {

// How long a grab waits for windows hidden just before it to leave the screen: the window
// manager unmaps its frame only after it has seen the client's unmap.
constexpr auto hiddenWindowTimeout = std::chrono::milliseconds(250);
constexpr auto hiddenWindowPoll = std::chrono::milliseconds(2);

// The windows among `windows` that are, or sit in a frame that is, still viewable. All
// windows are asked at once, one level of the tree per round trip.
QList<xcb_window_t> stillShown(XcbConnection& conn, QList<xcb_window_t> windows) {
    QList<xcb_window_t> shown;
    while (!windows.isEmpty()) {
        QList<xcb_get_window_attributes_cookie_t> attributes;
        QList<xcb_query_tree_cookie_t> trees;
        for (const xcb_window_t window : std::as_const(windows)) {
            attributes.append(xcb_get_window_attributes(conn.get(), window));
            trees.append(xcb_query_tree(conn.get(), window));
        }
        QList<xcb_window_t> parents;
        for (qsizetype i = 0; i < windows.size(); ++i) {
            const XcbReply<xcb_get_window_attributes_reply_t> attrs(
                xcb_get_window_attributes_reply(conn.get(), attributes[i], nullptr));
            const XcbReply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(conn.get(), trees[i], nullptr));
            if (attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE)
                shown.append(windows[i]);
            else if (attrs && tree && tree->parent != tree->root && tree->parent != XCB_NONE)
                parents.append(tree->parent);
        }
        windows = parents;
    }
    return shown;
}

} // namespace

X11ScreenSource::X11ScreenSource()
    : conn_(std::make_unique<XcbConnection>())
    , grabber_(std::make_unique<X11ImageGrabber>(*conn_)) {
    if (!conn_->isValid())
        return;
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(conn_->get(), &xcb_randr_id);
    if (!randr || !randr->present)
        return;
    const XcbReply<xcb_randr_query_version_reply_t> version(xcb_randr_query_version_reply(
        conn_->get(), xcb_randr_query_version(conn_->get(), 1, 5), nullptr));
    hasMonitors_ = version && (version->major_version > 1 || version->minor_version >= 5);
}

X11ScreenSource::~X11ScreenSource() = default;

QList<ScreenInfo> X11ScreenSource::screens() {
    const QList<Monitor> known = monitors();
    QList<ScreenInfo> result;
    for (const QScreen* screen : QGuiApplication::screens()) {
        ScreenInfo info{screen->name(), screen->geometry(), screen->devicePixelRatio(), {}};
        // By name, not geometry: with Qt's scale factors a QScreen's geometry is in logical
        // pixels while monitors are in device pixels.
        for (const Monitor& monitor : known) {
            if (monitor.name == info.name)
                info.displayId = monitor.id;
        }
        result.append(info);
    }
    return result;
}

Expected<QImage> X11ScreenSource::grab(const ScreenInfo& screen, QSize pixelSize) {
    std::optional<QRect> area;
    for (const Monitor& monitor : monitors()) {
        if (screen.displayId == monitor.id)
            area = monitor.pixels;
    }
    if (!area)
        return Failure::platform(
            QStringLiteral("The display “%1” is no longer connected.").arg(screen.name));
    waitUntilHiddenWindowsAreGone();
    // Points × scale, truncated, can fall a pixel short of the monitor: cut rather than
    // resample so the pixels stay exact.
    const bool fits = pixelSize.width() <= area->width() && pixelSize.height() <= area->height();
    Expected<QImage> image = grabber_->grab(fits ? QRect(area->topLeft(), pixelSize) : *area);
    if (!image || image->size() == pixelSize)
        return image;
    return image->scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void X11ScreenSource::warmUp() {
    const QList<ScreenInfo> all = screens();
    QSize largest;
    for (const Monitor& monitor : monitors())
        largest = largest.expandedTo(monitor.pixels.size());
    grabber_->reserve(largest);
    // Two rounds: the first maps fresh image memory, after which the allocator keeps
    // blocks of this size at hand; the second runs the path the hot key will take.
    for (int round = 0; round < 2; ++round) {
        for (const ScreenInfo& screen : all) {
            if (screen.displayId)
                grab(screen, screen.geometry.size() * screen.devicePixelRatio);
        }
    }
}

QList<X11ScreenSource::Monitor> X11ScreenSource::monitors() {
    if (!hasMonitors_)
        return {};
    const XcbReply<xcb_randr_get_monitors_reply_t> reply(xcb_randr_get_monitors_reply(
        conn_->get(), xcb_randr_get_monitors(conn_->get(), conn_->root(), true), nullptr));
    if (!reply)
        return {};
    QList<Monitor> result;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
         xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t& info = *it.data;
        result.append(
            {info.name, atomName(info.name), QRect(info.x, info.y, info.width, info.height)});
    }
    return result;
}

QString X11ScreenSource::atomName(quint32 atom) {
    // Atoms never change their name, so each is asked once.
    if (const auto it = atomNames_.constFind(atom); it != atomNames_.cend())
        return *it;
    const XcbReply<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(conn_->get(), xcb_get_atom_name(conn_->get(), atom), nullptr));
    if (!reply)
        return {};
    const QString name = QString::fromUtf8(xcb_get_atom_name_name(reply.get()),
                                           xcb_get_atom_name_name_length(reply.get()));
    atomNames_.insert(atom, name);
    return name;
}

void X11ScreenSource::waitUntilHiddenWindowsAreGone() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11)
        return;
    // Qt may still hold the unmap of a window hidden a moment ago in its output buffer; a
    // round trip on Qt's own connection makes the server carry it out first.
    xcb_connection_t* qt = x11->connection();
    std::free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));

    QList<xcb_window_t> hidden;
    for (const QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->handle() && !window->isVisible())
            hidden.append(xcb_window_t(window->winId()));
    }
    const QDeadlineTimer deadline(hiddenWindowTimeout);
    while (!stillShown(*conn_, hidden).isEmpty() && !deadline.hasExpired())
        std::this_thread::sleep_for(hiddenWindowPoll);
}

} // namespace tovik
