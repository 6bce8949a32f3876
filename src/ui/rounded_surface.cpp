#include "ui/rounded_surface.h"

#include <QPainter>
#include <QPainterPath>

namespace tovik {

RoundedSurface::RoundedSurface(qreal radius, QColor fill, QWidget* parent)
    : QWidget(parent)
    , radius_(radius)
    , fill_(fill) {}

void RoundedSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), radius_, radius_);
    painter.fillPath(shape, fill_);
}

} // namespace tovik
