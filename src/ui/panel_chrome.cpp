#include "ui/panel_chrome.h"

#include "ui/dark_scheme.h"

#include <QPainter>
#include <QPainterPath>

namespace tovik {
namespace {

constexpr qreal cornerRadius = 18;

} // namespace

void panelChrome(QPainter& painter, const QRectF& bounds) {
    const QRectF surface = bounds.adjusted(panelChromeMargin, panelChromeMargin, -panelChromeMargin,
                                           -panelChromeMargin);
    if (surface.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(surface, cornerRadius, cornerRadius);
    painter.fillPath(path, QColor::fromRgbF(0.08f, 0.08f, 0.08f));
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.12f), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.restore();
}

PanelChrome::PanelChrome(QWidget* parent)
    : QWidget(parent) {
    setPalette(darkScheme::palette());
    setContentsMargins(panelChromeMargin, panelChromeMargin, panelChromeMargin, panelChromeMargin);
}

void PanelChrome::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    panelChrome(painter, rect());
}

} // namespace tovik
