#include "app/app_icon.h"

#include "ui/symbols.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

namespace tovik {

namespace {
const QColor background(0x1f, 0x1f, 0x22);
const QColor viewfinder(0xff, 0x66, 0x2e);
} // namespace

QIcon appIcon() {
    QIcon icon;
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    for (const int size : {16, 22, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(QSize(size, size) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF square(0, 0, size, size);
        QPainterPath rounded;
        rounded.addRoundedRect(square.adjusted(0.5, 0.5, -0.5, -0.5), size * 0.2, size * 0.2);
        painter.fillPath(rounded, background);
        const qreal inset = size * 0.18;
        paintSymbol(painter, square.adjusted(inset, inset, -inset, -inset), u"viewfinder",
                    viewfinder, size >= 32 ? SymbolWeight::semibold : SymbolWeight::bold);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tovik
