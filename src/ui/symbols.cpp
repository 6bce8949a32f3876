#include "ui/symbols.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <memory>

namespace tovik {
namespace {

// The symbols are 24 × 24 SVG files in the resource, stroked and filled in `currentColor`
// with a stroke width of 2; the colour and the weight are put into the text before it is
// parsed.
QString resourcePath(QStringView name) {
    return QStringLiteral(":/symbols/%1.svg").arg(name);
}

const char* strokeWidth(SymbolWeight weight) {
    switch (weight) {
    case SymbolWeight::regular:
        return "stroke-width=\"2\"";
    case SymbolWeight::semibold:
        return "stroke-width=\"2.5\"";
    case SymbolWeight::bold:
        return "stroke-width=\"3\"";
    }
    return "stroke-width=\"2\"";
}

// Views draw a handful of symbols in a few colours; the parsed ones are kept, within a bound.
constexpr qsizetype maxCachedRenderers = 96;

QSvgRenderer* renderer(QStringView name, const QColor& color, SymbolWeight weight) {
    thread_local QHash<QString, std::shared_ptr<QSvgRenderer>> cache;
    const QString key =
        QStringLiteral("%1|%2|%3").arg(name).arg(color.name(QColor::HexRgb)).arg(int(weight));
    if (const auto found = cache.constFind(key); found != cache.constEnd())
        return found->get();
    QFile file(resourcePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    QByteArray svg = file.readAll();
    svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    svg.replace("stroke-width=\"2\"", strokeWidth(weight));
    auto parsed = std::make_shared<QSvgRenderer>(svg);
    if (!parsed->isValid())
        return nullptr;
    if (cache.size() >= maxCachedRenderers)
        cache.clear();
    return cache.insert(key, std::move(parsed))->get();
}

} // namespace

bool hasSymbol(QStringView name) {
    return QFile::exists(resourcePath(name));
}

void paintSymbol(QPainter& painter, const QRectF& frame, QStringView name, const QColor& color,
                 SymbolWeight weight) {
    if (frame.isEmpty())
        return;
    QSvgRenderer* svg = renderer(name, color, weight);
    if (!svg)
        return;
    const qreal side = std::min(frame.width(), frame.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(painter.opacity() * color.alphaF());
    svg->render(&painter,
                QRectF(frame.center().x() - side / 2, frame.center().y() - side / 2, side, side));
    painter.restore();
}

QIcon symbolIcon(QStringView name, const QColor& color) {
    QIcon icon;
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(QSize(size, size) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paintSymbol(painter, QRectF(0, 0, size, size), name, color);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tovik
