#pragma once

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <QUuid>

namespace tovik {

// Coordinates, sizes and widths are display points: origin at the display's
// top-left corner, y downwards.

struct MarkPoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const MarkPoint&, const MarkPoint&) = default;
};

struct MarkRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    // Stored normalised: a negative extent moves the origin instead.
    static MarkRect from(const QRectF& r);
    QRectF toRectF() const { return QRectF(x, y, width, height); }
    friend bool operator==(const MarkRect&, const MarkRect&) = default;
};

struct PenStroke {
    QList<MarkPoint> points;
    double width = 3.0;
    friend bool operator==(const PenStroke&, const PenStroke&) = default;
};

struct Annotation {
    QUuid id;
    qint64 number = 0;
    QDateTime createdAt;
    QString comment;
    quint32 displayID = 0;
    QString displayName;
    MarkPoint displaySize;
    MarkRect selection;
    MarkRect crop;
    double pixelsPerPoint = 1;
    QList<PenStroke> strokes;

    Annotation() = default;
    Annotation(QUuid id, qint64 number, QDateTime createdAt, QString comment, quint32 displayID,
               QString displayName, QSizeF displaySize, const QRectF& selection, const QRectF& crop,
               double pixelsPerPoint, QList<PenStroke> strokes);

    // "tovik-%03d.png" with the number.
    QString fileName() const;
    // The trimmed comment, or the default text when nothing is left.
    QString instruction() const;

    friend bool operator==(const Annotation&, const Annotation&) = default;
};

struct CapturedItem {
    Annotation annotation;
    QImage image; // the rendered capture; never redrawn

    const QUuid& id() const { return annotation.id; }
    qint64 byteCount() const;
};

} // namespace tovik
