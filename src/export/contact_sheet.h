#pragma once

#include "model/annotation.h"
#include "model/failure.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>

namespace tovik {

// One image showing every capture scaled into a cell with its number and instruction below,
// for receivers that take a single image. Sizes are sheet pixels; one point of text is one
// pixel.
struct ContactSheetLayout {
    struct Cell {
        QRect frame;  // the white cell, as tall as its row
        QRectF image; // the capture, scaled to fit and centred
        QRectF label; // top-left aligned, wrapped to its width
        QString text;
    };
    QSize size;
    QString header;
    QList<Cell> cells;
};

// RenderError::empty without captures, RenderError::sheetTooLarge beyond 32000 pixels of
// height or 64 million pixels.
Expected<ContactSheetLayout> contactSheetLayout(const QList<CapturedItem>& captures);

// The sheet as laid out above; also RenderError::allocation.
Expected<QImage> renderContactSheet(const QList<CapturedItem>& captures);

} // namespace tovik
