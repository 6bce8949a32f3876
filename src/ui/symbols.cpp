#include "ui/symbols.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <numbers>

namespace tovik {
namespace {

// Symbols are drawn on a 24 × 24 grid with the painter's pen and brush already set:
// the pen for outlines, the pen's colour as the brush for filled parts.
using Draw = void (*)(QPainter&);

void fillWithPen(QPainter& p, const QPainterPath& path) {
    p.fillPath(path, p.pen().color());
}

void cornerBrackets(QPainter& p, qreal inset, qreal length) {
    const qreal a = inset, b = 24 - inset;
    p.drawPolyline(QPolygonF{{a, a + length}, {a, a}, {a + length, a}});
    p.drawPolyline(QPolygonF{{b - length, a}, {b, a}, {b, a + length}});
    p.drawPolyline(QPolygonF{{b, b - length}, {b, b}, {b - length, b}});
    p.drawPolyline(QPolygonF{{a + length, b}, {a, b}, {a, b - length}});
}

void xmark(QPainter& p) {
    p.drawLine(QPointF(6, 6), QPointF(18, 18));
    p.drawLine(QPointF(18, 6), QPointF(6, 18));
}

void checkmark(QPainter& p) {
    p.drawPolyline(QPolygonF{{4.5, 12.5}, {9.5, 17.5}, {19.5, 6.5}});
}

void plus(QPainter& p) {
    p.drawLine(QPointF(12, 5), QPointF(12, 19));
    p.drawLine(QPointF(5, 12), QPointF(19, 12));
}

void lines3(QPainter& p) {
    for (const qreal y : {7.0, 12.0, 17.0})
        p.drawLine(QPointF(4, y), QPointF(20, y));
}

void chevronUp(QPainter& p) {
    p.drawPolyline(QPolygonF{{5, 16}, {12, 9}, {19, 16}});
}

void chevronDown(QPainter& p) {
    p.drawPolyline(QPolygonF{{5, 9}, {12, 16}, {19, 9}});
}

void uturnBackward(QPainter& p) {
    p.drawPolyline(QPolygonF{{9, 4}, {4, 9}, {9, 14}});
    QPainterPath body(QPointF(4, 9));
    body.lineTo(14.5, 9);
    body.cubicTo(17.5, 9, 20, 11.5, 20, 14.5);
    body.cubicTo(20, 17.5, 17.5, 20, 14.5, 20);
    body.lineTo(10, 20);
    p.drawPath(body);
}

void pencilTip(QPainter& p) {
    p.drawPolygon(QPolygonF{{7.5, 3}, {16.5, 3}, {16.5, 10}, {12, 21}, {7.5, 10}});
    p.drawLine(QPointF(7.5, 10), QPointF(16.5, 10));
    QPainterPath lead;
    lead.addPolygon(QPolygonF{{10.4, 17}, {13.6, 17}, {12, 21}});
    fillWithPen(p, lead);
}

void selectionPinInOut(QPainter& p) {
    cornerBrackets(p, 3, 5);
    p.drawLine(QPointF(9, 15), QPointF(15.5, 8.5));
    p.drawPolyline(QPolygonF{{11, 8.5}, {15.5, 8.5}, {15.5, 13}});
}

void docOnDoc(QPainter& p) {
    const QRectF front(4, 7.5, 11.5, 14);
    const QRectF back(8.5, 2.5, 11.5, 14);
    p.save();
    QPainterPath outside;
    outside.addRect(0, 0, 24, 24);
    QPainterPath hole;
    hole.addRoundedRect(front.adjusted(-1.5, -1.5, 1.5, 1.5), 3.5, 3.5);
    p.setClipPath(outside.subtracted(hole));
    p.drawRoundedRect(back, 2.5, 2.5);
    p.restore();
    p.drawRoundedRect(front, 2.5, 2.5);
}

void docOnClipboard(QPainter& p) {
    p.drawRoundedRect(QRectF(5, 4.5, 14, 17), 2.5, 2.5);
    p.drawRoundedRect(QRectF(9, 2.5, 6, 4), 1.5, 1.5);
    p.drawLine(QPointF(9, 12), QPointF(15, 12));
    p.drawLine(QPointF(9, 16), QPointF(13.5, 16));
}

void viewfinder(QPainter& p) {
    cornerBrackets(p, 3.5, 5);
    p.drawEllipse(QPointF(12, 12), 2.5, 2.5);
}

void arrowUpRightSquare(QPainter& p) {
    p.drawRoundedRect(QRectF(3.5, 3.5, 17, 17), 4, 4);
    p.drawLine(QPointF(9, 15), QPointF(15, 9));
    p.drawPolyline(QPolygonF{{10.5, 9}, {15, 9}, {15, 13.5}});
}

void sliderHorizontal3(QPainter& p) {
    const std::pair<qreal, qreal> rows[] = {{6, 15}, {12, 8.5}, {18, 13}};
    for (const auto& [y, knob] : rows) {
        p.drawLine(QPointF(3.5, y), QPointF(20.5, y));
        QPainterPath dot;
        dot.addEllipse(QPointF(knob, y), 2.4, 2.4);
        fillWithPen(p, dot);
    }
}

void stopFill(QPainter& p) {
    QPainterPath square;
    square.addRoundedRect(QRectF(5.5, 5.5, 13, 13), 2.5, 2.5);
    fillWithPen(p, square);
}

void gearshape(QPainter& p) {
    p.drawEllipse(QPointF(12, 12), 3, 3);
    p.drawEllipse(QPointF(12, 12), 6.5, 6.5);
    for (int i = 0; i < 8; ++i) {
        const double angle = i * std::numbers::pi / 4;
        const QPointF dir(std::cos(angle), std::sin(angle));
        p.drawLine(QPointF(12, 12) + dir * 6.5, QPointF(12, 12) + dir * 9.5);
    }
}

void trash(QPainter& p) {
    p.drawLine(QPointF(3.5, 6), QPointF(20.5, 6));
    p.drawPolyline(QPolygonF{{9, 6}, {9, 3.5}, {15, 3.5}, {15, 6}});
    p.drawPolyline(QPolygonF{{6, 6}, {7, 20.5}, {17, 20.5}, {18, 6}});
    p.drawLine(QPointF(10, 10), QPointF(10, 16.5));
    p.drawLine(QPointF(14, 10), QPointF(14, 16.5));
}

void ellipsis(QPainter& p) {
    QPainterPath dots;
    for (const qreal x : {5.5, 12.0, 18.5})
        dots.addEllipse(QPointF(x, 12), 1.9, 1.9);
    fillWithPen(p, dots);
}

struct Symbol {
    QStringView name;
    Draw draw;
};

constexpr Symbol symbols[] = {
    {u"xmark", xmark},
    {u"checkmark", checkmark},
    {u"plus", plus},
    {u"line.3.horizontal", lines3},
    {u"chevron.up", chevronUp},
    {u"chevron.down", chevronDown},
    {u"arrow.uturn.backward", uturnBackward},
    {u"pencil.tip", pencilTip},
    {u"selection.pin.in.out", selectionPinInOut},
    {u"doc.on.doc", docOnDoc},
    {u"doc.on.clipboard", docOnClipboard},
    {u"viewfinder", viewfinder},
    {u"arrow.up.right.square", arrowUpRightSquare},
    {u"slider.horizontal.3", sliderHorizontal3},
    {u"stop.fill", stopFill},
    {u"gearshape", gearshape},
    {u"trash", trash},
    {u"ellipsis", ellipsis},
};

Draw find(QStringView name) {
    for (const Symbol& s : symbols) {
        if (s.name == name)
            return s.draw;
    }
    return nullptr;
}

qreal strokeWidth(SymbolWeight weight) {
    switch (weight) {
    case SymbolWeight::regular:
        return 2.0;
    case SymbolWeight::semibold:
        return 2.5;
    case SymbolWeight::bold:
        return 3.0;
    }
    return 2.0;
}

} // namespace

bool hasSymbol(QStringView name) {
    return find(name) != nullptr;
}

void paintSymbol(QPainter& painter, const QRectF& frame, QStringView name, const QColor& color,
                 SymbolWeight weight) {
    const Draw draw = find(name);
    if (!draw || frame.isEmpty())
        return;
    const qreal side = std::min(frame.width(), frame.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(frame.center().x() - side / 2, frame.center().y() - side / 2);
    painter.scale(side / 24, side / 24);
    QPen pen(color, strokeWidth(weight), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    draw(painter);
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
