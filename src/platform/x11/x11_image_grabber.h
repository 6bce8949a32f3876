#pragma once

#include "model/failure.h"

#include <QImage>
#include <QRect>

namespace tovik {

class XcbConnection;

// Copies rectangles of the root window into QImages: through a shared-memory segment when
// the server offers MIT-SHM, through GetImage otherwise.
class X11ImageGrabber {
public:
    explicit X11ImageGrabber(XcbConnection& conn);
    ~X11ImageGrabber();
    X11ImageGrabber(const X11ImageGrabber&) = delete;
    X11ImageGrabber& operator=(const X11ImageGrabber&) = delete;

    /** Makes and touches the shared segment for grabs of up to `size`, so no grab pays for it. */
    void reserve(QSize size);
    /** The root window's pixels in `rect` (device pixels), opaque; the server's refusal otherwise.
     */
    Expected<QImage> grab(const QRect& rect);
    /** Lets go of the images kept for the next grabs. */
    void releaseImages();

private:
    bool readsScreenFormat() const;
    bool attachSegment(qsizetype bytes);
    void detachSegment();
    Expected<QImage> grabShared(const QRect& rect);
    Expected<QImage> grabPlain(const QRect& rect);
    Expected<QImage> toImage(const uchar* pixels, QSize size);

    XcbConnection& conn_;
    bool formatSupported_ = false;
    bool shmAvailable_ = false;
    quint32 segment_ = 0; // server-side id; 0 when none is attached
    uchar* memory_ = nullptr;
    qsizetype segmentBytes_ = 0;
    // One image per size, written again once no snapshot uses it: a fresh screen-sized
    // block costs a page fault per page on every capture, a large one (above the C
    // library's mapping threshold) on every capture even within a session.
    QList<QImage> images_;
};

} // namespace tovik
