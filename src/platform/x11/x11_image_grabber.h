#pragma once

#include "model/failure.h"

#include <QImage>
#include <QList>
#include <QRect>

#include <memory>
#include <mutex>

namespace tovik {

class XcbConnection;

// Reads rectangles of the root window into QImages. With MIT-SHM the server writes into a
// shared-memory segment and the image is that segment: no copy, and no fresh screen-sized
// block (a page fault per page) per capture. A segment is written again once no image on
// it is left; a grab while every segment is in use (one snapshot per monitor) makes another.
// Without MIT-SHM, GetImage's reply is copied. Grabs may run on any thread, one at a time.
class X11ImageGrabber {
public:
    explicit X11ImageGrabber(XcbConnection& conn);
    ~X11ImageGrabber();
    X11ImageGrabber(const X11ImageGrabber&) = delete;
    X11ImageGrabber& operator=(const X11ImageGrabber&) = delete;

    /** The root window's pixels in `rect` (device pixels), opaque; the server's refusal otherwise.
     */
    Expected<QImage> grab(const QRect& rect);
    /** Lets go of the segments no image uses; the next grab attaches one again. */
    void releaseSpareSegments();

private:
    struct Segment;

    bool readsScreenFormat() const;
    std::shared_ptr<Segment> freeSegment(qsizetype bytes);
    std::shared_ptr<Segment> attachSegment(qsizetype bytes);
    void detach(const Segment& segment);
    Expected<QImage> grabShared(const QRect& rect);
    Expected<QImage> grabPlain(const QRect& rect);

    std::mutex mutex_; // guards what follows: grabs run on workers, releases on the owner
    XcbConnection& conn_;
    bool formatSupported_ = false;
    bool shmAvailable_ = false;
    // Shared with the images on them: the memory stays mapped until the last one goes.
    QList<std::shared_ptr<Segment>> segments_;
};

} // namespace tovik
