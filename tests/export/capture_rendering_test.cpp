#include "export/capture_rendering.h"
#include "export/contact_sheet.h"
#include "export/render_error.h"
#include "export_fixtures.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace tovik {
namespace {

using CaptureRendering::numberBadge;
using CaptureRendering::render;
using test::annotationFor;
using test::captureOf;

const QRgb orange = qRgb(255, 102, 46), white = qRgb(255, 255, 255);

// The bounding box of the pixels that differ from a plain background.
QRect changedArea(const QImage& image, QRgb background) {
    QRect area;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                area |= QRect(x, y, 1, 1);
    return area;
}

TEST(NumberBadgeTest, badge_scalesForTinyCropsAndWidensForLongNumbers) {
    // f = min(8/28, 26/28, 1) = 2/7 for a 30 x 12 point crop.
    const auto tiny = numberBadge(annotationFor(3, QRectF(100, 100, 30, 12)));
    EXPECT_NEAR(tiny.scale, 2.0 / 7, 1e-12);
    EXPECT_EQ(tiny.rect, QRectF(102, 102, 8, 8));
    for (double side : {4.0, 1.0}) // crops of four points or less: a one-point badge
        EXPECT_NEAR(numberBadge(annotationFor(5, QRectF(10, 10, side, side))).rect.width(), 1,
                    1e-9);

    const QRectF crop(0, 0, 400, 300);
    const auto wide = numberBadge(annotationFor(1234, crop));
    EXPECT_GT(wide.rect.width(), 28 + 1e-9);
    EXPECT_EQ(wide.rect.height(), 28);
    EXPECT_EQ(wide.scale, 1);
    // Digits of equal width: every four-digit number gets the same pill.
    EXPECT_DOUBLE_EQ(numberBadge(annotationFor(1111, crop)).rect.width(), wide.rect.width());
    EXPECT_DOUBLE_EQ(numberBadge(annotationFor(7, crop)).rect.width(), 28);

    Annotation beyond = annotationFor(2, QRectF(0, 0, 300, 200)); // selection off the display
    beyond.selection = MarkRect::from(QRectF(-50, -40, 350, 240));
    EXPECT_EQ(numberBadge(beyond).rect.topLeft(), QPointF(2, 2));
}

TEST(CaptureRenderTest, render_scale2OffPixelGrid_cutsWholePixelsAndLandsMarksOnThem) {
    const QImage display = test::patternImage(700, 500); // 350 x 250 points at scale 2
    EXPECT_EQ(render(display, annotationFor(1, QRectF(20, 30, 100, 50), 2))->size(),
              QSize(200, 100));
    // (20.5, 41)-(320.5, 241) pixels widen to (20, 41)-(321, 241); the stroke at y = 60 points
    // lies on pixel row 120 - 41 = 79.
    const PenStroke stroke{{{40, 60}, {90, 60}}, 3};
    const auto image =
        render(display, annotationFor(1, QRectF(10.25, 20.5, 150, 100), 2, {}, {stroke}));
    ASSERT_TRUE(image.ok());
    ASSERT_EQ(image->size(), QSize(301, 200));
    // Right column and bottom row are the crop's edges.
    for (int y = 0; y < image->height(); ++y)
        ASSERT_EQ(image->pixel(300, y), display.pixel(320, 41 + y)) << y;
    for (int x = 0; x < image->width(); ++x)
        ASSERT_EQ(image->pixel(x, 199), display.pixel(20 + x, 240)) << x;
    for (int x = 60; x <= 160; x += 10) { // 6 pixels wide at scale 2
        EXPECT_EQ(image->pixel(x, 79), orange) << x;
        EXPECT_EQ(image->pixel(x, 77), orange) << x;
        EXPECT_EQ(image->pixel(x, 74), display.pixel(x + 20, 74 + 41)) << x;
        EXPECT_EQ(image->pixel(x, 84), display.pixel(x + 20, 84 + 41)) << x;
    }
    // Round caps reach half the width past each end.
    EXPECT_EQ(image->pixel(58, 79), orange);
    EXPECT_EQ(image->pixel(55, 79), display.pixel(75, 120));
}

TEST(CaptureRenderTest, render_singlePointStrokeAndBadge_drawnWhereTheyBelong) {
    const QImage display = test::solidImage(300, 200, Qt::white);
    const PenStroke dot{{{150, 100}}, 10};
    const auto image = render(display, annotationFor(4, QRectF(100, 50, 100, 100), 1, {}, {dot}));
    ASSERT_TRUE(image.ok());
    // The dot: 10 pixels across (45 to 54), round, so its square's corner stays white.
    EXPECT_EQ(changedArea(image->copy(35, 35, 40, 40), white).translated(35, 35),
              QRect(45, 45, 10, 10));
    EXPECT_EQ(image->pixel(50, 50), orange);
    EXPECT_EQ(image->pixel(53, 50), orange);
    EXPECT_EQ(image->pixel(45, 45), white);
    // The badge: a 28-point circle 2 points inside the corner.
    EXPECT_EQ(changedArea(image->copy(0, 0, 35, 35), white), QRect(2, 2, 28, 28));
    EXPECT_EQ(image->pixel(4, 16), orange);
    EXPECT_EQ(image->pixel(2, 2), white);
}

TEST(CaptureRenderTest, render_cropOutsideImageOrEmptySize_fails) {
    const auto outside =
        render(test::solidImage(200, 100, Qt::white), annotationFor(1, QRectF(500, 500, 20, 20)));
    ASSERT_FALSE(outside.ok());
    EXPECT_TRUE(outside.failure().is(RenderError::crop));
    EXPECT_EQ(outside.failure().message(),
              QStringLiteral("The selected region could not be cropped."));
    const auto empty = CaptureRendering::makeImage(0, 10, [](QPainter&) {});
    ASSERT_FALSE(empty.ok());
    EXPECT_EQ(empty.failure().message(),
              QStringLiteral("Could not allocate the screenshot image."));
}

TEST(CaptureRenderTest, drawMarks_onDisplaySpacePainter_matchesRenderedImage) {
    // The overlay draws marks on the whole display; the saved image must show the same.
    const QImage display = test::patternImage(320, 240);
    const PenStroke stroke{{{60, 50}, {100, 80}, {140, 60}}, 3};
    const Annotation a = annotationFor(12, QRectF(40, 30, 160, 100), 1, {}, {stroke});
    QImage preview = display.copy();
    {
        QPainter painter(&preview);
        CaptureRendering::drawMarks(a, painter);
    }
    const auto image = render(display, a);
    ASSERT_TRUE(image.ok());
    EXPECT_TRUE(test::samePixels(*image, preview.copy(40, 30, 160, 100)));
    EXPECT_FALSE(test::samePixels(*image, display.copy(40, 30, 160, 100)));
}

QList<CapturedItem> oneLineCaptures(int count,
                                    const QImage& image = test::solidImage(40, 30, Qt::red)) {
    QList<CapturedItem> captures;
    for (int i = 1; i <= count; ++i)
        captures.append(captureOf(i, image));
    return captures;
}

TEST(ContactSheetTest, layout_oneTwoThreeCaptures_haveSheetSizesAndCellPositions) {
    const auto one = contactSheetLayout(oneLineCaptures(1));
    ASSERT_TRUE(one.ok());
    ASSERT_EQ(one->cells.size(), 1);
    const QRect frame = one->cells[0].frame;
    const int rowHeight = frame.height(), labelHeight = rowHeight - 488;
    EXPECT_TRUE(labelHeight > 20 && labelHeight < 30) << labelHeight; // one line of 20-pixel text
    EXPECT_EQ(frame, QRect(24, 72, 720, rowHeight));
    EXPECT_EQ(one->size, QSize(768, 24 * 2 + rowHeight + 48));
    EXPECT_EQ(one->cells[0].label, QRectF(40, 540, 688, rowHeight - 472));
    EXPECT_EQ(one->cells[0].text, QStringLiteral("#1  Review the marked region."));
    EXPECT_EQ(one->header, QStringLiteral("tovik  /  1 captures"));

    const auto two = contactSheetLayout(oneLineCaptures(2));
    ASSERT_TRUE(two.ok());
    EXPECT_EQ(two->size, QSize(1512, 24 * 2 + rowHeight + 48));
    EXPECT_EQ(two->cells[1].frame, frame.translated(744, 0));

    const auto three = contactSheetLayout(oneLineCaptures(3));
    ASSERT_TRUE(three.ok());
    EXPECT_EQ(three->size, QSize(1512, 24 * 3 + 2 * rowHeight + 48));
    EXPECT_EQ(three->cells[2].frame, frame.translated(0, rowHeight + 24));
}

TEST(ContactSheetTest, layout_labelsOfDifferentHeightsAndImageSizes_fitIntoTallerRow) {
    const QString longComment =
        QStringLiteral("The toolbar buttons overlap the search field when it is narrow. ")
            .repeated(3);
    const QList<CapturedItem> captures{
        captureOf(1, test::solidImage(2880, 1800, Qt::red), longComment),
        captureOf(2, test::solidImage(100, 50, Qt::red))};
    const auto mixed = contactSheetLayout(captures);
    const auto tallAlone = contactSheetLayout({captures[0]});
    const auto shortAlone = contactSheetLayout({captures[1]});
    ASSERT_TRUE(mixed.ok() && tallAlone.ok() && shortAlone.ok());
    const int tall = tallAlone->cells[0].frame.height();
    const int lineHeight = shortAlone->cells[0].frame.height() - 488;
    EXPECT_GE(tall - 488, 3 * lineHeight - 3); // the long comment wraps to three lines or more
    EXPECT_EQ(mixed->cells[0].frame.height(), tall);
    EXPECT_EQ(mixed->cells[1].frame.height(), tall);
    EXPECT_EQ(mixed->cells[1].label, QRectF(768 + 16, 72 + 468, 688, tall - 472));
    // k = min(688/2880, 440/1800): full width, centred in the 440-high area.
    EXPECT_EQ(mixed->cells[0].image, QRectF(40, 72 + 16 + 5, 688, 430));
    // A small capture is scaled up: k = 6.88.
    EXPECT_EQ(mixed->cells[1].image, QRectF(768 + 16, 72 + 16 + 48, 688, 344));
}

TEST(ContactSheetTest, render_drawsImagesTextAndBackgroundWhereLaidOut) {
    const auto sheet = renderContactSheet(oneLineCaptures(3, test::solidImage(100, 50, Qt::red)));
    ASSERT_TRUE(sheet.ok());
    const auto darkPixels = [&](const QRect& area) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += qGray(sheet->pixel(x, y)) < 60;
        return count;
    };
    EXPECT_GT(darkPixels(QRect(24, 22, 300, 30)), 50);  // header
    EXPECT_GT(darkPixels(QRect(40, 540, 400, 24)), 50); // label
    // Image area (40, 136)-(728, 480) of the first cell, white cell around it.
    EXPECT_EQ(sheet->pixel(42, 138), qRgb(255, 0, 0));
    EXPECT_EQ(sheet->pixel(725, 477), qRgb(255, 0, 0));
    EXPECT_EQ(sheet->pixel(384, 500), white);
    // Background in the margins and the empty half of the second row.
    for (const QPoint at :
         {QPoint(10, 10), QPoint(12, sheet->height() - 100), QPoint(1128, sheet->height() - 100)})
        EXPECT_EQ(sheet->pixel(at), qRgb(240, 240, 242)) << at.x() << "," << at.y();
}

} // namespace
} // namespace tovik
