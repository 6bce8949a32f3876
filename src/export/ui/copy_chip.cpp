#include "export/ui/copy_chip.h"

#include "ui/dark_scheme.h"
#include "ui/symbols.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace tovik {
namespace {

constexpr qreal paddingX = 8;
constexpr qreal paddingY = 6;
constexpr qreal cornerRadius = 6;
constexpr qreal symbolSide = 11;
constexpr qreal labelSpacing = 4;

} // namespace

CopyChip::CopyChip(QWidget* parent)
    : QAbstractButton(parent) {
    setFont(systemFont(10, QFont::Medium));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

void CopyChip::setSymbol(const QString& symbol) {
    if (symbol_ == symbol)
        return;
    symbol_ = symbol;
    update();
}

QSize CopyChip::sizeHint() const {
    const QFontMetricsF metrics(font());
    const qreal width = symbolSide + labelSpacing + metrics.horizontalAdvance(text());
    const qreal height = std::max(symbolSide, metrics.height());
    return QSize(qCeil(width + 2 * paddingX), qCeil(height + 2 * paddingY));
}

void CopyChip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.5);
    QPainterPath surface;
    surface.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(surface, QColor::fromRgbF(0, 0, 0, isDown() ? 0.95f : 0.85f));

    const QRectF content = QRectF(rect()).adjusted(paddingX, paddingY, -paddingX, -paddingY);
    const QRectF symbolFrame(content.left(), content.center().y() - symbolSide / 2, symbolSide,
                             symbolSide);
    paintSymbol(painter, symbolFrame, symbol_, Qt::white);
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(content.adjusted(symbolSide + labelSpacing, 0, 0, 0),
                     Qt::AlignLeft | Qt::AlignVCenter, text());
}

} // namespace tovik
