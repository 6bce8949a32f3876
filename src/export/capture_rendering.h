#pragma once

#include "model/annotation.h"
#include "model/failure.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRectF>

#include <functional>

namespace tovik {

// Turns a confirmed capture into its image: the crop cut out of the frozen display image at
// full resolution, with the pen strokes and the number badge drawn on it. The overlay's live
// preview uses the same drawMarks, so preview and saved image look alike.
namespace CaptureRendering {

// The orange of every mark: sRGB (1.0, 0.4, 0.18).
const QColor& markColour();

// Where the number badge of a capture goes, in display points.
struct NumberBadge {
    QString text;
    QRectF rect;  // a pill; a circle when width equals height
    double scale; // of the 28-point base badge and its 14-point font
};
NumberBadge numberBadge(const Annotation& annotation);

// Draws the strokes and the badge. The painter's user space must be display points with the
// origin at the display's top-left corner.
void drawMarks(const Annotation& annotation, QPainter& painter);

// A transparent image of the pixel size, premultiplied ARGB32 in sRGB, painted by draw with
// the origin at the top-left and one unit per pixel. RenderError::allocation when it cannot
// be created.
Expected<QImage> makeImage(int width, int height, const std::function<void(QPainter&)>& draw);

// The rendered capture: the crop's whole-pixel rectangle of the display image with the marks.
// RenderError::crop when that rectangle is empty.
Expected<QImage> render(const QImage& displayImage, const Annotation& annotation);

} // namespace CaptureRendering

} // namespace tovik
