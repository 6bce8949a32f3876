#include "export/capture_rendering.h"

#include "export/render_error.h"
#include "model/capture_geometry.h"

#include <QColorSpace>
#include <QFont>
#include <QFontMetricsF>
#include <QPolygonF>

#include <algorithm>

namespace tovik::CaptureRendering {

namespace {

constexpr double badgeHeight = 28;
constexpr double badgePadding = 14;  // added to the text width
constexpr double badgeFontSize = 14; // one unit per display point
constexpr double badgeInset = 2;     // from the crop's edges

// Bold with equal-width digits. Unhinted, so the metrics scale exactly with the badge.
QFont badgeFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(badgeFontSize));
    font.setWeight(QFont::Bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

void drawStroke(const PenStroke& stroke, QPainter& painter) {
    if (stroke.points.isEmpty())
        return;
    const double w = stroke.width;
    if (stroke.points.size() == 1) {
        const MarkPoint& p = stroke.points.first();
        painter.setPen(Qt::NoPen);
        painter.setBrush(markColour());
        painter.drawEllipse(QRectF(p.x - w / 2, p.y - w / 2, w, w));
        return;
    }
    QPolygonF line;
    line.reserve(stroke.points.size());
    for (const MarkPoint& p : stroke.points)
        line.append(QPointF(p.x, p.y));
    painter.setPen(QPen(markColour(), w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(line);
}

void drawBadge(const NumberBadge& badge, QPainter& painter) {
    // Drawn at base size and scaled, so text and pill shrink together.
    const QFont font = badgeFont();
    const QFontMetricsF metrics(font);
    const QRectF base(0, 0, badge.rect.width() / badge.scale, badgeHeight);
    painter.translate(badge.rect.topLeft());
    painter.scale(badge.scale, badge.scale);
    painter.setPen(Qt::NoPen);
    painter.setBrush(markColour());
    painter.drawRoundedRect(base, badgeHeight / 2, badgeHeight / 2);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const double textWidth = metrics.horizontalAdvance(badge.text);
    const QPointF baseline((base.width() - textWidth) / 2,
                           (badgeHeight - metrics.height()) / 2 + metrics.ascent());
    painter.drawText(baseline, badge.text);
}

} // namespace

const QColor& markColour() {
    static const QColor colour = QColor::fromRgbF(1.0f, 0.4f, 0.18f);
    return colour;
}

NumberBadge numberBadge(const Annotation& a) {
    const QString text = QString::number(a.number);
    const double base =
        std::max(QFontMetricsF(badgeFont()).horizontalAdvance(text) + badgePadding, badgeHeight);
    const double f = std::min({std::max(a.crop.height - 2 * badgeInset, 1.0) / badgeHeight,
                               std::max(a.crop.width - 2 * badgeInset, 1.0) / base, 1.0});
    const double bw = base * f;
    const double bh = badgeHeight * f;
    const double half = badgeHeight / 2;
    const QRectF crop = a.crop.toRectF();
    const double x = std::max(crop.left() + badgeInset,
                              std::min(crop.right() - bw - badgeInset, a.selection.x - half));
    const double y = std::max(crop.top() + badgeInset,
                              std::min(crop.bottom() - bh - badgeInset, a.selection.y - half));
    return {text, QRectF(x, y, bw, bh), f};
}

void drawMarks(const Annotation& annotation, QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (const PenStroke& stroke : annotation.strokes)
        drawStroke(stroke, painter);
    drawBadge(numberBadge(annotation), painter);
    painter.restore();
}

Expected<QImage> makeImage(int width, int height, const std::function<void(QPainter&)>& draw) {
    if (width <= 0 || height <= 0)
        return Failure::of(RenderError::allocation);
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return Failure::of(RenderError::allocation);
    image.setColorSpace(QColorSpace::SRgb);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    draw(painter);
    painter.end();
    return image;
}

Expected<QImage> render(const QImage& displayImage, const Annotation& a) {
    const double s = a.pixelsPerPoint;
    const std::optional<QRect> cut =
        s > 0 ? CaptureGeometry::pixelRect(a.crop.toRectF(), s, displayImage.width(),
                                           displayImage.height())
              : std::nullopt;
    if (!cut || cut->isEmpty())
        return Failure::of(RenderError::crop);
    const QRect pixels = *cut;
    return makeImage(pixels.width(), pixels.height(), [&](QPainter& painter) {
        // Straight copy of the cut pixels; the image edge is the region's edge.
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(0, 0), displayImage, pixels);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.scale(s, s);
        painter.translate(-pixels.x() / s, -pixels.y() / s);
        drawMarks(a, painter);
    });
}

} // namespace tovik::CaptureRendering
