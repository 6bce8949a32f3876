#include "platform/x11/x11_window_settler.h"

#include "platform/signal_wait.h"
#include "platform/x11/xcb_connection.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWindow>

#include <xcb/damage.h>

namespace tovik {

namespace {

// The window manager unmaps a frame within a few milliseconds of the client's unmap; a
// loaded machine may take a few hundred.
constexpr auto frameTimeout = std::chrono::milliseconds(1000);
// Clients repaint an exposed area at once, a compositor within a frame or two; an area
// nobody redraws is given up on this long after it was uncovered.
constexpr auto redrawTimeout = std::chrono::milliseconds(500);
// A redraw is complete once its area has been quiet this long, or this long after it began
// where something keeps drawing (a video, a compositor's animation). A window that went
// before DAMAGE watched is given the longer time from its unmap, as the clients' first
// answers to their Expose went unseen.
constexpr std::chrono::milliseconds redrawQuiet(5);
constexpr std::chrono::milliseconds redrawBusy(30);

std::chrono::milliseconds remaining(const QDeadlineTimer& deadline) {
    return std::chrono::milliseconds(deadline.remainingTime());
}

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

xcb_connection_t* qtConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace

X11WindowSettler::X11WindowSettler(XcbConnection& conn)
    : conn_(conn) {
    forget_.setSingleShot(true);
    forget_.setInterval(frameTimeout + redrawTimeout);
    connect(&forget_, &QTimer::timeout, this, [this] {
        if (settling_ > 0)
            return;
        uncovered_.clear();
        stopWatchingDamage();
    });
    if (!conn_.isValid() || !qtConnection())
        return;
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(conn_.get(), &xcb_damage_id);
    if (damage && damage->present) {
        // DAMAGE answers nothing before the client has said which version it speaks.
        std::free(xcb_damage_query_version_reply(
            conn_.get(), xcb_damage_query_version(conn_.get(), 1, 1), nullptr));
        damageEvent_ = damage->first_event;
    }
    // The unmaps of every top-level window and frame, in the order of the drawing DAMAGE
    // reports. Selected for good: selecting when a window hides would come too late, as Qt
    // has sent its unmap by then and a quick window manager may have unmapped the frame.
    const quint32 mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(conn_.get(), conn_.root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(conn_.get());
    QCoreApplication::instance()->installEventFilter(this);
}

X11WindowSettler::~X11WindowSettler() {
    stopWatchingDamage();
}

void X11WindowSettler::windowsWillHide() {
    if (damage_ != 0 || !qtConnection() || !conn_.isValid())
        return;
    watchDamage();
    // The server carries out the creation before any unmap Qt sends after this returns.
    conn_.sync();
    forget_.start();
    // A compositor may draw the window again after its unmap, a frame it had under way, so
    // that drawing there is no sign it is gone: what the area showed tells instead.
    lookBeforeHide_.clear();
    if (!composited_)
        return;
    for (const QWindow* window : QGuiApplication::topLevelWindows()) {
        if (!window->handle() || !window->isVisible() || !window->isExposed())
            continue;
        const auto id = xcb_window_t(window->winId());
        if (shown_.contains(id))
            lookBeforeHide_.insert(id, pixels(shown_.value(id).area));
    }
}

QCoro::Task<> X11WindowSettler::settle() {
    if (!qtConnection() || !conn_.isValid())
        co_return;
    ++settling_;
    co_await waitUntilHiddenWindowsAreGone();
    co_await waitUntilUncoveredAreasAreDrawn();
    if (--settling_ == 0) {
        uncovered_.clear();
        forget_.stop();
        stopWatchingDamage();
    }
}

void X11WindowSettler::handleEvent(const xcb_generic_event_t& event) {
    // Events of one connection arrive in the order the server made them, so drawing reported
    // after a window's unmap is drawing over what it uncovered; drawing before it (the frame
    // filling in for the client) is not.
    const quint8 type = eventType(event);
    if (type == XCB_UNMAP_NOTIFY || type == XCB_DESTROY_NOTIFY) {
        const xcb_window_t window =
            type == XCB_UNMAP_NOTIFY
                ? reinterpret_cast<const xcb_unmap_notify_event_t&>(event).window
                : reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window;
        // The server stamps an event with the last request of this connection it carried
        // out: one older than the damage object's creation happened before DAMAGE watched.
        // A compositor repaints a round trip after the unmap reached it at the earliest, so
        // its drawing is never missed; only clients answering Expose may have been faster.
        const bool beforeWatching =
            damage_ != 0 && !composited_ && qint16(quint16(event.sequence - damageCreated_)) < 0;
        for (Uncovered& area : uncovered_) {
            if (area.top == window && !area.gone) {
                area.gone = true;
                area.deadline.setRemainingTime(redrawTimeout);
                area.drawnUnseen = beforeWatching;
                area.firstDrawn.invalidate();
                if (beforeWatching)
                    area.firstDrawn.start();
            }
        }
        Q_EMIT progressed();
        return;
    }
    if (damageEvent_ == 0 || type != damageEvent_ + XCB_DAMAGE_NOTIFY)
        return;
    // Creating the damage object reports everything already on the screen; nothing was
    // drawn then.
    if (event.sequence == damageCreated_)
        return;
    const auto& notify = reinterpret_cast<const xcb_damage_notify_event_t&>(event);
    const QRect drawn(notify.area.x, notify.area.y, notify.area.width, notify.area.height);
    bool uncoveredDrawn = false;
    for (Uncovered& area : uncovered_) {
        if (area.gone && area.area.intersects(drawn)) {
            if (!area.firstDrawn.isValid())
                area.firstDrawn.start();
            area.lastDrawn.start();
            uncoveredDrawn = true;
        }
    }
    if (uncoveredDrawn)
        Q_EMIT progressed();
}

bool X11WindowSettler::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (!watched->isWindowType() || (type != QEvent::Hide && type != QEvent::Expose &&
                                     type != QEvent::Move && type != QEvent::Resize))
        return false;
    const auto* window = static_cast<QWindow*>(watched);
    if (!window->isTopLevel() || !window->handle())
        return false;
    const auto id = xcb_window_t(window->winId());
    if (type != QEvent::Hide) {
        // Where it is on the screen, read while it is shown: by the time Qt reports the
        // hide its unmap has gone out, and the window manager may already have taken the
        // frame down. A repeated expose moves nothing, and the server may still be busy
        // with the drawing it asks for: no round trip then.
        if (window->isExposed() && (type != QEvent::Expose || !shown_.contains(id)))
            shown_.insert(id, topWindow(id));
        return false;
    }
    // Hidden before it was ever drawn (the window manager still framing it): it left
    // nothing on the screen to wait for.
    if (!shown_.contains(id))
        return false;
    const TopWindow top = shown_.take(id);
    if (!top.area.isEmpty()) {
        Uncovered area;
        area.top = top.window;
        area.area = top.area;
        area.deadline = QDeadlineTimer(frameTimeout);
        area.before = lookBeforeHide_.take(id);
        uncovered_.append(area);
        watchDamage();
        forget_.start();
    }
    return false;
}

QCoro::Task<> X11WindowSettler::waitWhile(Pending pending) {
    for (;;) {
        // Replies read on the way may have brought events the socket will not announce again.
        conn_.dispatchPending();
        const std::optional<std::chrono::milliseconds> wait = pending();
        if (!wait || !conn_.isValid())
            co_return;
        co_await waitForSignal(this, &X11WindowSettler::progressed, QDeadlineTimer(*wait));
    }
}

QCoro::Task<> X11WindowSettler::waitUntilHiddenWindowsAreGone() {
    QList<xcb_window_t> hidden;
    for (const QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->handle() && !window->isVisible())
            hidden.append(xcb_window_t(window->winId()));
    }
    // The window manager may hand a client back to the root before it unmaps the frame.
    for (const Uncovered& area : std::as_const(uncovered_))
        hidden.append(area.top);
    if (hidden.isEmpty())
        co_return;
    // Qt may still hold the unmap of a window hidden a moment ago in its output buffer; a
    // round trip on Qt's own connection makes the server carry it out first.
    xcb_connection_t* qt = qtConnection();
    std::free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
    // Every top-level unmap wakes the wait, the frame's included.
    const QDeadlineTimer deadline(frameTimeout);
    co_await waitWhile([&]() -> std::optional<std::chrono::milliseconds> {
        if (deadline.hasExpired() || stillShown(conn_, hidden).isEmpty())
            return std::nullopt;
        return remaining(deadline);
    });
}

QCoro::Task<> X11WindowSettler::waitUntilUncoveredAreasAreDrawn() {
    co_await waitWhile([this]() -> std::optional<std::chrono::milliseconds> {
        std::optional<std::chrono::milliseconds> wait;
        for (const Uncovered& area : std::as_const(uncovered_)) {
            if (area.deadline.hasExpired())
                continue;
            auto next = remaining(area.deadline);
            // Without DAMAGE nothing tells when an area is drawn: give it the whole time.
            if (area.gone && area.firstDrawn.isValid() && damageEvent_ != 0) {
                qint64 left = redrawBusy.count() - area.firstDrawn.elapsed();
                if (!area.drawnUnseen)
                    left = std::min(left, redrawQuiet.count() - area.lastDrawn.elapsed());
                if (left <= 0 && !stillShowsItsWindow(area))
                    continue;
                if (left > 0)
                    next = std::min(next, std::chrono::milliseconds(left));
            }
            wait = std::min(wait.value_or(next), next);
        }
        return wait;
    });
}

QByteArray X11WindowSettler::pixels(const QRect& area) {
    const xcb_screen_t* screen = conn_.screen();
    const QRect visible = area & QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels);
    if (visible.isEmpty())
        return {};
    const XcbReply<xcb_get_image_reply_t> image(
        xcb_get_image_reply(conn_.get(),
                            xcb_get_image(conn_.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, conn_.root(),
                                          qint16(visible.x()), qint16(visible.y()),
                                          quint16(visible.width()), quint16(visible.height()), ~0u),
                            nullptr));
    if (!image)
        return {};
    return QByteArray(reinterpret_cast<const char*>(xcb_get_image_data(image.get())),
                      xcb_get_image_data_length(image.get()));
}

bool X11WindowSettler::stillShowsItsWindow(const Uncovered& area) {
    return !area.before.isEmpty() && pixels(area.area) == area.before;
}

X11WindowSettler::TopWindow X11WindowSettler::topWindow(xcb_window_t window) {
    // The window manager's frame is the ancestor just below the root.
    for (;;) {
        const XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(conn_.get(), xcb_query_tree(conn_.get(), window), nullptr));
        if (!tree)
            return {};
        if (tree->parent == tree->root || tree->parent == XCB_NONE)
            break;
        window = tree->parent;
    }
    const XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(conn_.get(), xcb_get_geometry(conn_.get(), window), nullptr));
    if (!geometry)
        return {};
    const int border = geometry->border_width;
    return {window, QRect(geometry->x, geometry->y, geometry->width + 2 * border,
                          geometry->height + 2 * border)};
}

void X11WindowSettler::watchDamage() {
    if (damageEvent_ == 0 || damage_ != 0)
        return;
    composited_ = compositorRuns();
    // Only while areas are pending: on the root it reports every drawing on the screen.
    damage_ = xcb_generate_id(conn_.get());
    damageCreated_ = quint16(xcb_damage_create(conn_.get(), damage_, conn_.root(),
                                               XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES)
                                 .sequence);
    // Drawing reported after this request carries a later sequence number than the report
    // of the creation.
    xcb_no_operation(conn_.get());
    xcb_flush(conn_.get());
}

bool X11WindowSettler::compositorRuns() {
    // A compositing manager owns _NET_WM_CM_S<screen>.
    const XcbReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        conn_.get(),
        xcb_get_selection_owner(
            conn_.get(), conn_.atom("_NET_WM_CM_S" + QByteArray::number(conn_.screenNumber()))),
        nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

void X11WindowSettler::stopWatchingDamage() {
    if (damage_ == 0)
        return;
    if (conn_.isValid()) {
        xcb_damage_destroy(conn_.get(), damage_);
        xcb_flush(conn_.get());
    }
    damage_ = 0;
}

} // namespace tovik
