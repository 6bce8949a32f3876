#include "platform/x11/x11_screen_source.h"

#include "platform/x11/x11_image_grabber.h"
#include "platform/x11/x11_window_settler.h"
#include "platform/x11/xcb_connection.h"

#include <QGuiApplication>
#include <QScreen>

#include <xcb/randr.h>

namespace tovik {

X11ScreenSource::X11ScreenSource()
    : conn_(std::make_unique<XcbConnection>())
    , grabber_(std::make_unique<X11ImageGrabber>(*conn_))
    , settler_(std::make_unique<X11WindowSettler>(*conn_)) {
    conn_->setEventHandler(
        [this](const xcb_generic_event_t& event) { settler_->handleEvent(event); });
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
    monitors_ = monitors();
    QList<ScreenInfo> result;
    for (const QScreen* screen : QGuiApplication::screens()) {
        ScreenInfo info{screen->name(), screen->geometry(), screen->devicePixelRatio(), {}};
        // By name, not geometry: with Qt's scale factors a QScreen's geometry is in logical
        // pixels while monitors are in device pixels.
        for (const Monitor& monitor : std::as_const(monitors_)) {
            if (monitor.name == info.name)
                info.displayId = monitor.id;
        }
        result.append(info);
    }
    return result;
}

Expected<QImage> X11ScreenSource::grab(const ScreenInfo& screen, QSize pixelSize) {
    // A capture lists the screens and grabs them at once: the monitors read for the list
    // save a round trip per grab.
    std::optional<QRect> area = monitorArea(screen.displayId);
    if (!area) {
        monitors_ = monitors();
        area = monitorArea(screen.displayId);
    }
    if (!area)
        return Failure::platform(
            QStringLiteral("The display “%1” is no longer connected.").arg(screen.name));
    settler_->settle();
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
    for (const Monitor& monitor : std::as_const(monitors_))
        largest = largest.expandedTo(monitor.pixels.size());
    grabber_->reserve(largest);
    // Two rounds: the first makes the images the grabber keeps, the second runs the path
    // the hot key will take.
    for (int round = 0; round < 2; ++round) {
        for (const ScreenInfo& screen : all) {
            if (screen.displayId)
                grab(screen, screen.geometry.size() * screen.devicePixelRatio);
        }
    }
}

void X11ScreenSource::releaseBuffers() {
    grabber_->releaseImages();
}

std::optional<QRect> X11ScreenSource::monitorArea(std::optional<quint32> id) const {
    for (const Monitor& monitor : monitors_) {
        if (id == monitor.id)
            return monitor.pixels;
    }
    return std::nullopt;
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

} // namespace tovik
