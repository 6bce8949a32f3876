#include "export/contact_sheet.h"

#include "export/capture_rendering.h"
#include "export/render_error.h"
#include "model/capture_count.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace tovik {

namespace {

constexpr int margin = 24; // outside, and between cells and rows
constexpr int cellWidth = 720;
constexpr int columnPitch = cellWidth + margin;
constexpr int imageTop = 16;
constexpr QSizeF imageArea(688, 440);
constexpr int labelTop = 468;
constexpr int labelLeft = 16;
constexpr int labelSlack = 472;     // a row's height minus this is its label area's height
constexpr int cellBaseHeight = 488; // image area, label top and bottom padding
constexpr int firstRowTop = 72;
constexpr int footer = 48;
constexpr QPoint headerOrigin(24, 22);
constexpr int maxHeight = 32000;
constexpr qint64 maxPixels = 64'000'000;
constexpr int headerFontSize = 22;
constexpr int labelFontSize = 20;

QFont sheetFont(int pixelSize, QFont::Weight weight) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QColor background() {
    return QColor::fromRgbF(0.94f, 0.94f, 0.95f);
}

// Lays the label out in the label width from (0, 0); returns its height.
double layOutLabel(QTextLayout& layout, const QString& text) {
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\n'), QChar::LineSeparator);
    layout.setText(lines);
    layout.setFont(sheetFont(labelFontSize, QFont::Normal));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    double height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(imageArea.width());
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

QString labelText(const Annotation& a) {
    return QStringLiteral("#%1  %2").arg(a.number).arg(a.instruction());
}

QRectF fittedImage(const QSize& pixels, int x, int y) {
    if (pixels.isEmpty())
        return {};
    const double k =
        std::min(imageArea.width() / pixels.width(), imageArea.height() / pixels.height());
    const double w = pixels.width() * k;
    const double h = pixels.height() * k;
    return QRectF(x + (cellWidth - w) / 2, y + imageTop + (imageArea.height() - h) / 2, w, h);
}

void drawCell(QPainter& painter, const ContactSheetLayout::Cell& cell, const QImage& image) {
    painter.fillRect(cell.frame, Qt::white);
    if (!cell.image.isEmpty()) {
        // Qt's area-averaging scaler keeps small text in the capture legible.
        const QSize scaled(std::max(1, qRound(cell.image.width())),
                           std::max(1, qRound(cell.image.height())));
        painter.drawImage(cell.image,
                          image.scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    QTextLayout label;
    layOutLabel(label, cell.text);
    painter.setPen(Qt::black);
    label.draw(&painter, cell.label.topLeft());
}

} // namespace

Expected<ContactSheetLayout> contactSheetLayout(const QList<CapturedItem>& captures) {
    const qsizetype n = captures.size();
    if (n == 0)
        return Failure::of(RenderError::empty);
    const int columns = n == 1 ? 1 : 2;
    const qsizetype rows = (n + columns - 1) / columns;

    QList<QString> texts;
    QList<int> rowHeights(rows, 0);
    for (qsizetype i = 0; i < n; ++i) {
        texts.append(labelText(captures[i].annotation));
        QTextLayout layout;
        const int cellHeight = int(std::ceil(layOutLabel(layout, texts.last()))) + cellBaseHeight;
        rowHeights[i / columns] = std::max(rowHeights[i / columns], cellHeight);
    }

    const int width = columnPitch * columns + margin;
    qint64 height = margin * (rows + 1) + footer;
    for (int h : rowHeights)
        height += h;
    if (height > maxHeight || width * height > maxPixels)
        return Failure::of(RenderError::sheetTooLarge);

    ContactSheetLayout layout;
    layout.size = QSize(width, int(height));
    layout.header = QStringLiteral("tovik  /  ") + captureCountText(n);
    int y = firstRowTop;
    for (qsizetype r = 0; r < rows; ++r) {
        for (qsizetype c = 0; c < columns && r * columns + c < n; ++c) {
            const qsizetype i = r * columns + c;
            const int x = margin + columnPitch * int(c);
            const int rowHeight = rowHeights[r];
            layout.cells.append(
                {QRect(x, y, cellWidth, rowHeight), fittedImage(captures[i].image.size(), x, y),
                 QRectF(x + labelLeft, y + labelTop, imageArea.width(), rowHeight - labelSlack),
                 texts[i]});
        }
        y += rowHeights[r] + margin;
    }
    return layout;
}

Expected<QImage> renderContactSheet(const QList<CapturedItem>& captures) {
    const Expected<ContactSheetLayout> layout = contactSheetLayout(captures);
    if (!layout)
        return layout.failure();
    return CaptureRendering::makeImage(
        layout->size.width(), layout->size.height(), [&](QPainter& painter) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.fillRect(QRect(QPoint(0, 0), layout->size), background());
            const QFont headerFont = sheetFont(headerFontSize, QFont::DemiBold);
            painter.setFont(headerFont);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(headerOrigin) + QPointF(0, QFontMetricsF(headerFont).ascent()),
                             layout->header);
            for (qsizetype i = 0; i < layout->cells.size(); ++i)
                drawCell(painter, layout->cells[i], captures[i].image);
        });
}

} // namespace tovik
