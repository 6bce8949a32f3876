#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>

#include <optional>

namespace tovik {

// Conversions between display points, frozen-image pixels and rendered-image pixels.
//
// The rectangle rules here are not QRectF's own: extents are always read from the normalised
// rectangle (a negative width moves the origin), two rectangles that merely touch still
// intersect (in an empty rectangle), and rectangles that do not meet at all have no
// intersection, std::nullopt, which callers treat as "nothing selected / nothing to cut".
namespace CaptureGeometry {

// The rectangle spanned by a drag from `start` to `current`, cut to `bounds`.
std::optional<QRectF> selectionRect(QPointF start, QPointF current, const QRectF& bounds);

// The part of `rect` inside `bounds` (their intersection). A side of `rect` that lies within
// `bounds` keeps its exact extent, so a selection inside the display comes back unchanged.
std::optional<QRectF> clampRect(const QRectF& rect, const QRectF& bounds);

// The whole pixels of the frozen image that cover `rect` (display points) at the given
// scale, edges rounded outwards and cut to the image. Nothing when no pixel is covered.
std::optional<QRect> pixelRect(const QRectF& rect, double pixelsPerPoint, int imageWidth,
                               int imageHeight);

// `point` moved into `rect`, edges included.
QPointF clampPoint(QPointF point, const QRectF& rect);

// Bytes of the rendered capture of `crop` before it exists: truncated pixel width × height
// × 4. Saturates at 2^62 so adding it to the bytes already held cannot overflow.
qint64 estimatedByteCount(const QRectF& crop, double pixelsPerPoint);

} // namespace CaptureGeometry
} // namespace tovik
