#pragma once

#include "model/annotation.h"

#include <QColor>
#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QUuid>

#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace tovik::test {

// A capture record of a display of 1440 x 900 points whose selection is its crop.
inline Annotation annotationFor(qint64 number, const QRectF& crop, double pixelsPerPoint = 1,
                                const QString& comment = {}, const QList<PenStroke>& strokes = {}) {
    return Annotation(
        QUuid::createUuid(), number, QDateTime(QDate(2026, 1, 31), QTime(9, 5), Qt::UTC), comment,
        7, QStringLiteral("Test display"), QSizeF(1440, 900), crop, crop, pixelsPerPoint, strokes);
}

inline QImage solidImage(int width, int height, const QColor& colour) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

// Every pixel differs from its neighbours, so a shifted or rescaled copy never matches.
inline QImage patternImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgb(x % 256, y % 256, int((x * 73856093u ^ y * 19349663u) % 251)));
    return image;
}

// Same size and the same premultiplied pixels; formats and colour-space tags aside.
inline ::testing::AssertionResult samePixels(const QImage& actual, const QImage& expected) {
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < a.height() && a.size() == e.size(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != e.pixel(x, y))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") differs";
    return ::testing::AssertionResult(a.size() == e.size()) << "the sizes differ";
}

inline CapturedItem captureOf(qint64 number, const QImage& image, const QString& comment = {},
                              const QList<PenStroke>& strokes = {}) {
    return {annotationFor(number, QRectF(QPointF(), image.size()), 1, comment, strokes), image};
}

inline QStringList entriesOf(const QString& directory) {
    return QDir(directory).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace tovik::test
