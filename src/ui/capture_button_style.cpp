#include "ui/capture_button_style.h"

#include "ui/capture_button_accessible.h"
#include "ui/dark_scheme.h"

#include <QAccessible>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace tovik {
namespace {

constexpr qreal horizontalPadding = 10;
constexpr qreal surfaceMinimumHeight = 30;
constexpr qreal cornerRadius = 8;
constexpr qreal labelSpacing = 6;

QFont labelFont() {
    return systemFont(12, QFont::Medium);
}

QPainterPath surfacePath(const QRectF& bounds) {
    QPainterPath path;
    path.addRoundedRect(bounds, cornerRadius, cornerRadius);
    return path;
}

} // namespace

CaptureButtonStyle::CaptureButtonStyle(bool prominent, QWidget* parent)
    : QAbstractButton(parent)
    , prominent_(prominent) {
    installCaptureButtonAccessible();
    setFont(labelFont());
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CaptureButtonStyle::setProminent(bool prominent) {
    if (prominent_ == prominent)
        return;
    prominent_ = prominent;
    update();
}

void CaptureButtonStyle::setSymbol(const QString& name, SymbolWeight weight) {
    symbol_ = name;
    symbolWeight_ = weight;
    updateGeometry();
    update();
}

void CaptureButtonStyle::setSymbolFrame(QSizeF frame) {
    symbolFrame_ = frame;
    updateGeometry();
    update();
}

void CaptureButtonStyle::setSymbolTrailing(bool trailing) {
    symbolTrailing_ = trailing;
    update();
}

void CaptureButtonStyle::setAccessibleValue(const QString& value) {
    if (accessibleValue_ == value)
        return;
    accessibleValue_ = value;
    QAccessibleValueChangeEvent event(this, value);
    QAccessible::updateAccessibility(&event);
}

qreal CaptureButtonStyle::surfaceOpacity() const {
    if (!isEnabled())
        return 0.35;
    return isDown() ? 0.65 : 1.0;
}

QColor CaptureButtonStyle::backgroundColor() const {
    if (prominent_)
        return darkScheme::orange();
    return QColor::fromRgbF(1, 1, 1, hovered_ ? 0.12f : 0.06f);
}

QColor CaptureButtonStyle::foregroundColor() const {
    return prominent_ ? QColor(Qt::black) : darkScheme::primaryLabel();
}

QSizeF CaptureButtonStyle::contentSize() const {
    const QString label = text();
    qreal width = 0;
    qreal height = 0;
    if (!symbol_.isEmpty()) {
        width = symbolFrame_.width();
        height = symbolFrame_.height();
    }
    if (!label.isEmpty()) {
        const QFontMetricsF metrics(font());
        width += metrics.horizontalAdvance(label) + (symbol_.isEmpty() ? 0 : labelSpacing);
        height = std::max(height, metrics.height());
    }
    return {width, height};
}

QSize CaptureButtonStyle::sizeHint() const {
    const QSizeF content = contentSize();
    return QSize(qCeil(content.width() + 2 * horizontalPadding),
                 qCeil(std::max(content.height(), surfaceMinimumHeight)));
}

QSize CaptureButtonStyle::minimumSizeHint() const {
    return sizeHint();
}

void CaptureButtonStyle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(surfaceOpacity());
    const QRectF bounds = rect();
    painter.fillPath(surfacePath(bounds), backgroundColor());

    const QSizeF content = contentSize();
    qreal x = bounds.center().x() - content.width() / 2;
    const qreal midY = bounds.center().y();
    const QColor foreground = foregroundColor();
    const QString label = text();
    const auto drawSymbol = [&] {
        const QRectF frame(x, midY - symbolFrame_.height() / 2, symbolFrame_.width(),
                           symbolFrame_.height());
        paintSymbol(painter, frame, symbol_, foreground, symbolWeight_);
        x += symbolFrame_.width() + labelSpacing;
    };
    if (!symbol_.isEmpty() && !symbolTrailing_)
        drawSymbol();
    if (!label.isEmpty()) {
        const QFontMetricsF metrics(font());
        const qreal width = metrics.horizontalAdvance(label);
        painter.setPen(foreground);
        painter.setFont(font());
        painter.drawText(QRectF(x, midY - metrics.height() / 2, width, metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, label);
        x += width + labelSpacing;
    }
    if (!symbol_.isEmpty() && symbolTrailing_)
        drawSymbol();
}

void CaptureButtonStyle::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CaptureButtonStyle::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

bool CaptureButtonStyle::hitButton(const QPoint& pos) const {
    return surfacePath(rect()).contains(QPointF(pos) + QPointF(0.5, 0.5));
}

} // namespace tovik
