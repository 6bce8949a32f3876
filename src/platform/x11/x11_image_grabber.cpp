#include "platform/x11/x11_image_grabber.h"

#include "platform/x11/xcb_connection.h"

#include <xcb/shm.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstring>

namespace tovik {

namespace {

constexpr quint32 allPlanes = ~0u;
constexpr quint32 opaque = 0xff000000u;

// ZPixmap rows of a 32-bit format are exactly 4 × width bytes; X leaves the padding byte of a
// depth-24 pixel undefined, and RGB32 wants it 0xff.
void copyOpaque(const uchar* pixels, QImage& image) {
    const auto* src = reinterpret_cast<const quint32*>(pixels);
    auto* dst = reinterpret_cast<quint32*>(image.bits());
    const qsizetype count = qsizetype(image.width()) * image.height();
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
    detachSegment();
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

void X11ImageGrabber::reserve(QSize size) {
    const qsizetype bytes = qsizetype(size.width()) * size.height() * 4;
    if (shmAvailable_ && bytes > segmentBytes_ && !attachSegment(bytes))
        shmAvailable_ = false;
}

Expected<QImage> X11ImageGrabber::grab(const QRect& rect) {
    if (!conn_.isValid())
        return Failure::platform(QStringLiteral("The connection to the X server was lost."));
    if (!formatSupported_)
        return Failure::platform(QStringLiteral("The screen's pixel format is not supported."));
    if (rect.isEmpty())
        return Failure::platform(QStringLiteral("The screen has no area to capture."));
    reserve(rect.size());
    if (shmAvailable_) {
        // A server that cannot read the segment after all still answers GetImage.
        if (Expected<QImage> image = grabShared(rect))
            return image;
    }
    return grabPlain(rect);
}

bool X11ImageGrabber::attachSegment(qsizetype bytes) {
    detachSegment();
    const int id = shmget(IPC_PRIVATE, size_t(bytes), IPC_CREAT | 0600);
    if (id < 0)
        return false;
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
        return false;
    }
    memory_ = static_cast<uchar*>(memory);
    segment_ = segment;
    segmentBytes_ = bytes;
    // Fault every page in now rather than during the first grab.
    std::memset(memory_, 0, size_t(bytes));
    return true;
}

void X11ImageGrabber::detachSegment() {
    if (!segment_)
        return;
    if (conn_.isValid())
        xcb_shm_detach(conn_.get(), segment_);
    shmdt(memory_);
    segment_ = 0;
    memory_ = nullptr;
    segmentBytes_ = 0;
}

Expected<QImage> X11ImageGrabber::toImage(const uchar* pixels, QSize size) {
    const auto kept = std::find_if(images_.begin(), images_.end(),
                                   [size](const QImage& image) { return image.size() == size; });
    // Detached: no snapshot holds it any more, so writing to it copies nothing.
    if (kept != images_.end() && kept->isDetached()) {
        copyOpaque(pixels, *kept);
        return *kept;
    }
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return outOfMemory();
    copyOpaque(pixels, image);
    if (kept != images_.end())
        *kept = image;
    else
        images_.append(image);
    return image;
}

void X11ImageGrabber::releaseImages() {
    images_.clear();
}

Expected<QImage> X11ImageGrabber::grabShared(const QRect& rect) {
    xcb_generic_error_t* rawError = nullptr;
    const XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        conn_.get(),
        xcb_shm_get_image(conn_.get(), conn_.root(), qint16(rect.x()), qint16(rect.y()),
                          quint16(rect.width()), quint16(rect.height()), allPlanes,
                          XCB_IMAGE_FORMAT_Z_PIXMAP, segment_, 0),
        &rawError));
    const XcbReply<xcb_generic_error_t> error(rawError);
    if (!reply)
        return refused(error.get());
    return toImage(memory_, rect.size());
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
    return toImage(xcb_get_image_data(reply.get()), rect.size());
}

} // namespace tovik
