#include "app/app_icon.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

namespace tovik {

QIcon appIcon() {
    QSvgRenderer svg(QStringLiteral(":/icons/tovik.svg"));
    QIcon icon;
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    for (const int size : {16, 22, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(QSize(size, size) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tovik
