#include "model/capture_geometry.h"

#include <algorithm>
#include <cmath>

namespace tovik::CaptureGeometry {

namespace {

// One axis of a normalised rectangle.
struct Span {
    double min;
    double length;
    double max() const { return min + length; }
};

Span spanOf(double origin, double size) {
    return size < 0 ? Span{origin + size, -size} : Span{origin, size};
}

Span horizontal(const QRectF& r) {
    return spanOf(r.x(), r.width());
}

Span vertical(const QRectF& r) {
    return spanOf(r.y(), r.height());
}

std::optional<Span> overlap(Span a, Span b) {
    const double low = std::max(a.min, b.min);
    const double high = std::min(a.max(), b.max());
    if (!(low <= high)) // also refuses NaN
        return std::nullopt;
    // Recomputing the length from the edges would add rounding error to a side that lies
    // wholly inside the other span.
    if (low == a.min && high == a.max())
        return a;
    if (low == b.min && high == b.max())
        return b;
    return Span{low, high - low};
}

// The smallest rectangle with whole-number edges that contains `rect`.
QRectF integral(const QRectF& rect) {
    const Span x = horizontal(rect);
    const Span y = vertical(rect);
    const double left = std::floor(x.min);
    const double top = std::floor(y.min);
    return QRectF(left, top, std::ceil(x.max()) - left, std::ceil(y.max()) - top);
}

} // namespace

std::optional<QRectF> clampRect(const QRectF& rect, const QRectF& bounds) {
    const std::optional<Span> x = overlap(horizontal(rect), horizontal(bounds));
    const std::optional<Span> y = overlap(vertical(rect), vertical(bounds));
    if (!x || !y)
        return std::nullopt;
    return QRectF(x->min, y->min, x->length, y->length);
}

std::optional<QRectF> selectionRect(QPointF start, QPointF current, const QRectF& bounds) {
    const QRectF spanned(std::min(start.x(), current.x()), std::min(start.y(), current.y()),
                         std::abs(current.x() - start.x()), std::abs(current.y() - start.y()));
    return clampRect(spanned, bounds);
}

std::optional<QRect> pixelRect(const QRectF& rect, double pixelsPerPoint, int imageWidth,
                               int imageHeight) {
    const Span x = horizontal(rect);
    const Span y = vertical(rect);
    const QRectF scaled(x.min * pixelsPerPoint, y.min * pixelsPerPoint, x.length * pixelsPerPoint,
                        y.length * pixelsPerPoint);
    const std::optional<QRectF> cut =
        clampRect(integral(scaled), QRectF(0, 0, imageWidth, imageHeight));
    if (!cut || cut->isEmpty())
        return std::nullopt;
    // Whole numbers inside the image, so the conversion is exact.
    return QRect(int(cut->x()), int(cut->y()), int(cut->width()), int(cut->height()));
}

QPointF clampPoint(QPointF point, const QRectF& rect) {
    const Span x = horizontal(rect);
    const Span y = vertical(rect);
    return QPointF(std::min(std::max(point.x(), x.min), x.max()),
                   std::min(std::max(point.y(), y.min), y.max()));
}

qint64 estimatedByteCount(const QRectF& crop, double pixelsPerPoint) {
    constexpr double ceiling = 0x1p62;
    const double width = std::trunc(pixelsPerPoint * horizontal(crop).length);
    const double height = std::trunc(pixelsPerPoint * vertical(crop).length);
    const double bytes = width * height * 4;
    if (!(bytes < ceiling)) // also catches NaN
        return qint64(ceiling);
    return qint64(bytes);
}

} // namespace tovik::CaptureGeometry
