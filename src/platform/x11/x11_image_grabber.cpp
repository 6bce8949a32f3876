#include "platform/x11/x11_image_grabber.h"

#include "platform/x11/xcb_connection.h"

#include <xcb/shm.h>

#include <sys/ipc.h>
#include <sys/shm.h>

namespace tovik {

namespace {

constexpr quint32 allPlanes = ~0u;
constexpr quint32 opaque = 0xff000000u;

// ZPixmap rows of a 32-bit format are exactly 4 × width bytes; X leaves the padding byte of a
// depth-24 pixel undefined, and RGB32 wants it 0xff.
void copyOpaque(const uchar* pixels, uchar* to, qsizetype count) {
    const auto* src = reinterpret_cast<const quint32*>(pixels);
    auto* dst = reinterpret_cast<quint32*>(to);
    for (qsizetype i = 0; i < count; ++i)
        dst[i] = src[i] | opaque;
}

Failure refused(const xcb_generic_error_t* error) {
    return Failure::platform(
        QStringLiteral("The X server did not return the screen image (error %1).")
            .arg(error ? error->error_code : 0));
}

Failure outOfMemory() {
    return Failure::platform(QStringLiteral("There is not enough memory for the screen image."));
}

} // namespace

struct X11ImageGrabber::Segment {
    Segment(quint32 id, uchar* memory, qsizetype bytes)
        : id(id)
        , memory(memory)
        , bytes(bytes) {}
    ~Segment() { shmdt(memory); }
    Segment(const Segment&) = delete;
    Segment& operator=(const Segment&) = delete;

    const quint32 id; // the server's
    uchar* const memory;
    const qsizetype bytes;
};

X11ImageGrabber::X11ImageGrabber(XcbConnection& conn)
    : conn_(conn) {
    if (!conn_.isValid())
        return;
    formatSupported_ = readsScreenFormat();
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(conn_.get(), &xcb_shm_id);
    if (shm && shm->present) {
        const XcbReply<xcb_shm_query_version_reply_t> version(
            xcb_shm_query_version_reply(conn_.get(), xcb_shm_query_version(conn_.get()), nullptr));
        shmAvailable_ = version != nullptr;
    }
}

X11ImageGrabber::~X11ImageGrabber() {
    const std::scoped_lock lock(mutex_);
    for (const std::shared_ptr<Segment>& segment : std::as_const(segments_))
        detach(*segment);
}

// The copy above understands 8-bit BGRX/BGRA pixels in the host's byte order; other visuals
// (16-bit, 30-bit colour) are refused rather than shown with wrong colours.
bool X11ImageGrabber::readsScreenFormat() const {
    const xcb_setup_t* setup = xcb_get_setup(conn_.get());
    const xcb_screen_t* screen = conn_.screen();
    const bool hostOrder =
        (setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) == (Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
    if (!hostOrder || (screen->root_depth != 24 && screen->root_depth != 32))
        return false;
    bool thirtyTwoBits = false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
        if (it.data->depth == screen->root_depth)
            thirtyTwoBits = it.data->bits_per_pixel == 32;
    }
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen->root_visual)
                return thirtyTwoBits && v.data->red_mask == 0xff0000 &&
                       v.data->green_mask == 0xff00 && v.data->blue_mask == 0xff;
        }
    }
    return false;
}

Expected<QImage> X11ImageGrabber::grab(const QRect& rect) {
    const std::scoped_lock lock(mutex_);
    if (!conn_.isValid())
        return Failure::platform(QStringLiteral("The connection to the X server was lost."));
    if (!formatSupported_)
        return Failure::platform(QStringLiteral("The screen's pixel format is not supported."));
    if (rect.isEmpty())
        return Failure::platform(QStringLiteral("The screen has no area to capture."));
    if (shmAvailable_) {
        // A server that cannot read the segment after all still answers GetImage.
        if (Expected<QImage> image = grabShared(rect))
            return image;
    }
    return grabPlain(rect);
}

std::shared_ptr<X11ImageGrabber::Segment> X11ImageGrabber::freeSegment(qsizetype bytes) {
    // Held here alone: no image is left on it. Images are made under the lock alone, so one
    // seen free stays free.
    for (const std::shared_ptr<Segment>& segment : std::as_const(segments_)) {
        if (segment.use_count() == 1 && segment->bytes >= bytes)
            return segment;
    }
    std::shared_ptr<Segment> segment = attachSegment(bytes);
    if (segment)
        segments_.append(segment);
    else
        shmAvailable_ = false; // GetImage from now on, rather than failing again every grab
    return segment;
}

std::shared_ptr<X11ImageGrabber::Segment> X11ImageGrabber::attachSegment(qsizetype bytes) {
    const int id = shmget(IPC_PRIVATE, size_t(bytes), IPC_CREAT | 0600);
    if (id < 0)
        return nullptr;
    void* memory = shmat(id, nullptr, 0);
    const quint32 segment = xcb_generate_id(conn_.get());
    const bool attached =
        memory != reinterpret_cast<void*>(-1) &&
        conn_.succeeded(xcb_shm_attach_checked(conn_.get(), segment, quint32(id), false));
    // Marked for removal at once: the kernel frees it when both sides have detached, even
    // if this process dies.
    shmctl(id, IPC_RMID, nullptr);
    if (!attached) {
        if (memory != reinterpret_cast<void*>(-1))
            shmdt(memory);
        return nullptr;
    }
    return std::make_shared<Segment>(segment, static_cast<uchar*>(memory), bytes);
}

void X11ImageGrabber::detach(const Segment& segment) {
    if (conn_.isValid())
        xcb_shm_detach(conn_.get(), segment.id);
}

void X11ImageGrabber::releaseSpareSegments() {
    const std::scoped_lock lock(mutex_);
    segments_.removeIf([&](const std::shared_ptr<Segment>& segment) {
        if (segment.use_count() > 1)
            return false;
        detach(*segment);
        return true;
    });
    if (conn_.isValid())
        xcb_flush(conn_.get());
}

Expected<QImage> X11ImageGrabber::grabShared(const QRect& rect) {
    const qsizetype count = qsizetype(rect.width()) * rect.height();
    const std::shared_ptr<Segment> segment = freeSegment(count * 4);
    if (!segment)
        return outOfMemory();
    xcb_generic_error_t* rawError = nullptr;
    const XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        conn_.get(),
        xcb_shm_get_image(conn_.get(), conn_.root(), qint16(rect.x()), qint16(rect.y()),
                          quint16(rect.width()), quint16(rect.height()), allPlanes,
                          XCB_IMAGE_FORMAT_Z_PIXMAP, segment->id, 0),
        &rawError));
    const XcbReply<xcb_generic_error_t> error(rawError);
    if (!reply)
        return refused(error.get());
    copyOpaque(segment->memory, segment->memory, count);
    // The image holds the segment until its last copy goes, on whichever thread that is.
    return QImage(
        segment->memory, rect.width(), rect.height(), qsizetype(rect.width()) * 4,
        QImage::Format_RGB32,
        [](void* holder) { delete static_cast<std::shared_ptr<Segment>*>(holder); },
        new std::shared_ptr<Segment>(segment));
}

Expected<QImage> X11ImageGrabber::grabPlain(const QRect& rect) {
    xcb_generic_error_t* rawError = nullptr;
    const XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        conn_.get(),
        xcb_get_image(conn_.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, conn_.root(), qint16(rect.x()),
                      qint16(rect.y()), quint16(rect.width()), quint16(rect.height()), allPlanes),
        &rawError));
    const XcbReply<xcb_generic_error_t> error(rawError);
    const qsizetype bytes = qsizetype(rect.width()) * rect.height() * 4;
    if (!reply || xcb_get_image_data_length(reply.get()) < bytes)
        return refused(error.get());
    QImage image(rect.size(), QImage::Format_RGB32);
    if (image.isNull())
        return outOfMemory();
    copyOpaque(xcb_get_image_data(reply.get()), image.bits(), bytes / 4);
    return image;
}

} // namespace tovik
