#include "platform/x11/x11_screen_source.h"

#include "platform/x11/x11_image_grabber.h"
#include "platform/x11/x11_window_settler.h"
#include "platform/x11/xcb_connection.h"

#include <QCoro/QCoroFuture>
#include <QGuiApplication>
#include <QScreen>
#include <QtConcurrent/QtConcurrentRun>

#include <xcb/randr.h>

#include <algorithm>

namespace tovik {

namespace {
// RandR 1.x minor versions: outputs and CRTCs; their current state without probing; monitors.
constexpr quint32 outputsMinor = 2;
constexpr quint32 currentResourcesMinor = 3;
constexpr quint32 monitorsMinor = 5;

Expected<QImage> grabScaled(X11ImageGrabber& grabber, const QRect& area, QSize pixelSize) {
    Expected<QImage> image = grabber.grab(area);
    if (!image || image->size() == pixelSize)
        return image;
    return image->scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

X11ScreenSource::X11ScreenSource(quint32 newestRandrMinor)
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
        conn_->get(), xcb_randr_query_version(conn_->get(), 1, newestRandrMinor), nullptr));
    // Outputs and CRTCs came with 1.2; what came before cannot tell monitors apart.
    if (version && version->major_version == 1 && version->minor_version >= outputsMinor)
        randrMinor_ = std::min(version->minor_version, newestRandrMinor);
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
            // Without RandR Qt, too, knows one screen only: the whole root window.
            const bool wholeScreen =
                monitor.name.isEmpty() && QGuiApplication::screens().size() == 1;
            if (monitor.name == info.name || wholeScreen)
                info.displayId = monitor.id;
        }
        result.append(info);
    }
    return result;
}

void X11ScreenSource::windowsWillHide() {
    settler_->windowsWillHide();
}

QCoro::Task<> X11ScreenSource::settle() {
    return settler_->settle();
}

QCoro::Task<Expected<QImage>> X11ScreenSource::grab(const ScreenInfo& screen, QSize pixelSize) {
    const Expected<QRect> area = grabArea(screen, pixelSize);
    if (!area)
        co_return area.failure();
    // The server writes a screen's worth of pixels, a fresh buffer faults in page by page,
    // and each pixel is marked opaque: on a worker, so that this thread goes on painting and
    // answering other clients meanwhile.
    co_return co_await QtConcurrent::run(&grabPool_,
                                         [grabber = grabber_.get(), rect = *area, pixelSize] {
                                             return grabScaled(*grabber, rect, pixelSize);
                                         });
}

Expected<QRect> X11ScreenSource::grabArea(const ScreenInfo& screen, QSize pixelSize) {
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
    // Points × scale, truncated, can fall a pixel short of the monitor: cut rather than
    // resample so the pixels stay exact.
    const bool fits = pixelSize.width() <= area->width() && pixelSize.height() <= area->height();
    return fits ? QRect(area->topLeft(), pixelSize) : *area;
}

void X11ScreenSource::warmUp() {
    const QList<ScreenInfo> all = screens();
    // Two rounds: the first makes what the grabber keeps, a segment per screen as a capture
    // holds every screen's snapshot at once; the second runs the path the hot key will take.
    for (int round = 0; round < 2; ++round) {
        QList<QImage> held;
        for (const ScreenInfo& screen : all) {
            if (!screen.displayId)
                continue;
            const QSize pixelSize = screen.geometry.size() * screen.devicePixelRatio;
            const Expected<QRect> area = grabArea(screen, pixelSize);
            if (!area)
                continue;
            if (Expected<QImage> image = grabScaled(*grabber_, *area, pixelSize))
                held.append(*image);
        }
    }
}

void X11ScreenSource::releaseBuffers() {
    grabber_->releaseSpareSegments();
}

std::optional<QRect> X11ScreenSource::monitorArea(std::optional<quint32> id) const {
    for (const Monitor& monitor : monitors_) {
        if (id == monitor.id)
            return monitor.pixels;
    }
    return std::nullopt;
}

QList<X11ScreenSource::Monitor> X11ScreenSource::monitors() {
    if (!conn_->isValid())
        return {};
    if (randrMinor_ >= monitorsMinor)
        return randrMonitors();
    if (randrMinor_ >= outputsMinor)
        return randrOutputs();
    const xcb_screen_t* screen = conn_->screen();
    return {
        {conn_->root(), QString(), QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels)}};
}

QList<X11ScreenSource::Monitor> X11ScreenSource::randrMonitors() {
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

// Before RandR 1.5 each output that a CRTC drives is a monitor, named as Qt names its screen.
QList<X11ScreenSource::Monitor> X11ScreenSource::randrOutputs() {
    xcb_connection_t* conn = conn_->get();
    // Without "current", the server probes the outputs, which can take a noticeable time.
    const XcbReply<xcb_randr_get_screen_resources_current_reply_t> current(
        randrMinor_ >= currentResourcesMinor
            ? xcb_randr_get_screen_resources_current_reply(
                  conn, xcb_randr_get_screen_resources_current(conn, conn_->root()), nullptr)
            : nullptr);
    const XcbReply<xcb_randr_get_screen_resources_reply_t> probed(
        current ? nullptr
                : xcb_randr_get_screen_resources_reply(
                      conn, xcb_randr_get_screen_resources(conn, conn_->root()), nullptr));
    if (!current && !probed)
        return {};
    const xcb_randr_output_t* outputs =
        current ? xcb_randr_get_screen_resources_current_outputs(current.get())
                : xcb_randr_get_screen_resources_outputs(probed.get());
    const int count = current ? xcb_randr_get_screen_resources_current_outputs_length(current.get())
                              : xcb_randr_get_screen_resources_outputs_length(probed.get());
    const xcb_timestamp_t time = current ? current->config_timestamp : probed->config_timestamp;

    QList<Monitor> result;
    for (int i = 0; i < count; ++i) {
        const XcbReply<xcb_randr_get_output_info_reply_t> output(xcb_randr_get_output_info_reply(
            conn, xcb_randr_get_output_info(conn, outputs[i], time), nullptr));
        if (!output || output->connection != XCB_RANDR_CONNECTION_CONNECTED ||
            output->crtc == XCB_NONE)
            continue;
        const XcbReply<xcb_randr_get_crtc_info_reply_t> crtc(xcb_randr_get_crtc_info_reply(
            conn, xcb_randr_get_crtc_info(conn, output->crtc, time), nullptr));
        if (!crtc || crtc->width == 0 || crtc->height == 0)
            continue;
        const QString name = QString::fromUtf8(
            reinterpret_cast<const char*>(xcb_randr_get_output_info_name(output.get())),
            xcb_randr_get_output_info_name_length(output.get()));
        result.append({outputs[i], name, QRect(crtc->x, crtc->y, crtc->width, crtc->height)});
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
