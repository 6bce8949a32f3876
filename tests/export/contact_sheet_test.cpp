#include "export/contact_sheet.h"
#include "export/render_error.h"
#include "export_fixtures.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

using test::captureOf;

const QRgb sheetBackground = qRgb(240, 240, 242);
const QString longComment = QStringLiteral(
    "The toolbar buttons overlap the search field when the window is narrow, and the search "
    "field itself loses its rounded corners after the window is resized twice; both should "
    "keep the spacing of the settings page.");

QList<CapturedItem> oneLineCaptures(int count) {
    QList<CapturedItem> captures;
    for (int i = 1; i <= count; ++i)
        captures.append(captureOf(i, test::solidImage(40, 30, Qt::darkCyan)));
    return captures;
}

TEST(ContactSheetTest, layout_oneCapture_singleColumnSheet) {
    const auto layout = contactSheetLayout(oneLineCaptures(1));
    ASSERT_TRUE(layout.ok());
    ASSERT_EQ(layout->cells.size(), 1);
    const auto& cell = layout->cells.first();
    const int labelHeight = cell.frame.height() - 488;
    EXPECT_GT(labelHeight, 20); // one line of 20-pixel text
    EXPECT_LT(labelHeight, 30);
    EXPECT_EQ(layout->size, QSize(768, 24 * 2 + cell.frame.height() + 48));
    EXPECT_EQ(cell.frame, QRect(24, 72, 720, 488 + labelHeight));
    EXPECT_EQ(cell.label, QRectF(40, 540, 688, cell.frame.height() - 472));
    EXPECT_EQ(cell.text, QStringLiteral("#1  Review the marked region."));
    EXPECT_EQ(layout->header, QStringLiteral("tovik  /  1 captures"));
}

TEST(ContactSheetTest, layout_twoCaptures_twoColumnsOneRow) {
    const auto layout = contactSheetLayout(oneLineCaptures(2));
    ASSERT_TRUE(layout.ok());
    ASSERT_EQ(layout->cells.size(), 2);
    EXPECT_EQ(layout->size.width(), 1512);
    EXPECT_EQ(layout->cells[0].frame.topLeft(), QPoint(24, 72));
    EXPECT_EQ(layout->cells[1].frame.topLeft(), QPoint(768, 72));
    EXPECT_EQ(layout->size.height(), 24 * 2 + layout->cells[0].frame.height() + 48);
}

TEST(ContactSheetTest, layout_threeCaptures_secondRowHasLeftCellOnly) {
    const auto layout = contactSheetLayout(oneLineCaptures(3));
    ASSERT_TRUE(layout.ok());
    ASSERT_EQ(layout->cells.size(), 3);
    const int rowHeight = layout->cells[0].frame.height();
    EXPECT_EQ(layout->cells[2].frame, QRect(24, 72 + rowHeight + 24, 720, rowHeight));
    EXPECT_EQ(layout->size, QSize(1512, 24 * 3 + 2 * rowHeight + 48));
    EXPECT_EQ(layout->header, QStringLiteral("tovik  /  3 captures"));
}

TEST(ContactSheetTest, render_threeCaptures_emptyHalfShowsBackground) {
    const auto captures = oneLineCaptures(3);
    const auto layout = contactSheetLayout(captures);
    const auto sheet = renderContactSheet(captures);
    ASSERT_TRUE(sheet.ok() && layout.ok());
    EXPECT_EQ(sheet->size(), layout->size);
    const QRect third = layout->cells[2].frame;
    EXPECT_EQ(sheet->pixel(third.center().x() + 744, third.center().y()), sheetBackground);
    EXPECT_EQ(sheet->pixel(third.left() + 4, third.top() + 4), qRgb(255, 255, 255));
    EXPECT_EQ(sheet->pixel(10, 10), sheetBackground);
    EXPECT_EQ(sheet->pixel(third.left() - 12, third.center().y()), sheetBackground);
}

TEST(ContactSheetTest, layout_labelsOfDifferentHeights_rowTakesTallerCell) {
    QList<CapturedItem> captures{captureOf(1, test::solidImage(40, 30, Qt::red), longComment),
                                 captureOf(2, test::solidImage(40, 30, Qt::red))};
    const auto mixed = contactSheetLayout(captures);
    const auto tallAlone = contactSheetLayout({captures[0]});
    const auto shortAlone = contactSheetLayout({captures[1]});
    ASSERT_TRUE(mixed.ok() && tallAlone.ok() && shortAlone.ok());
    const int tall = tallAlone->cells[0].frame.height();
    const int lineHeight = shortAlone->cells[0].frame.height() - 488;
    EXPECT_GE(tall - 488, 3 * lineHeight - 3); // the long comment wraps to three lines or more
    EXPECT_EQ(mixed->cells[0].frame.height(), tall);
    EXPECT_EQ(mixed->cells[1].frame.height(), tall);
    EXPECT_EQ(mixed->cells[1].label.top(), 72 + 468);
    EXPECT_EQ(mixed->cells[1].label.height(), tall - 472);
}

TEST(ContactSheetTest, layout_images_scaledToFitAndCentred) {
    const auto layout = contactSheetLayout({captureOf(1, test::solidImage(2880, 1800, Qt::red)),
                                            captureOf(2, test::solidImage(100, 50, Qt::red))});
    ASSERT_TRUE(layout.ok());
    // k = min(688/2880, 440/1800): full width, centred in the 440-high area.
    EXPECT_EQ(layout->cells[0].image, QRectF(40, 72 + 16 + 5, 688, 430));
    // A small capture is scaled up: k = 6.88.
    EXPECT_EQ(layout->cells[1].image, QRectF(768 + 16, 72 + 16 + 48, 688, 344));
}

TEST(ContactSheetTest, render_smallCapture_fillsItsScaledArea) {
    const auto captures = QList<CapturedItem>{captureOf(1, test::solidImage(100, 50, Qt::red))};
    const auto sheet = renderContactSheet(captures);
    ASSERT_TRUE(sheet.ok());
    // Image area (40, 136)-(728, 480) on the single cell.
    EXPECT_EQ(sheet->pixel(42, 138), qRgb(255, 0, 0));
    EXPECT_EQ(sheet->pixel(725, 477), qRgb(255, 0, 0));
    EXPECT_EQ(sheet->pixel(384, 120), qRgb(255, 255, 255));
    EXPECT_EQ(sheet->pixel(384, 500), qRgb(255, 255, 255)); // between image and label
}

TEST(ContactSheetTest, render_headerAndLabel_drawnInBlack) {
    const auto sheet = renderContactSheet(oneLineCaptures(1));
    ASSERT_TRUE(sheet.ok());
    const auto darkPixels = [&](const QRect& area) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += qGray(sheet->pixel(x, y)) < 60;
        return count;
    };
    EXPECT_GT(darkPixels(QRect(24, 22, 300, 30)), 50);  // header
    EXPECT_EQ(darkPixels(QRect(0, 52, 768, 20)), 0);    // gap above the first row
    EXPECT_GT(darkPixels(QRect(40, 540, 400, 24)), 50); // label
}

TEST(ContactSheetTest, layout_130OneLineCaptures_tooLarge) {
    const auto layout = contactSheetLayout(oneLineCaptures(130));
    ASSERT_FALSE(layout.ok());
    EXPECT_TRUE(layout.failure().is(RenderError::sheetTooLarge));
    EXPECT_TRUE(renderContactSheet(oneLineCaptures(130)).failure().is(RenderError::sheetTooLarge));
    EXPECT_TRUE(contactSheetLayout(oneLineCaptures(100)).ok());
}

TEST(ContactSheetTest, layout_noCaptures_failsWithEmpty) {
    EXPECT_TRUE(contactSheetLayout({}).failure().is(RenderError::empty));
}

} // namespace
} // namespace tovik
