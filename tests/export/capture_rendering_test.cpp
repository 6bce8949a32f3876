#include "export/capture_rendering.h"
#include "export/render_error.h"
#include "export_fixtures.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace tovik {
namespace {

using CaptureRendering::numberBadge;
using CaptureRendering::render;
using test::annotationFor;

const QRgb orange = qRgb(255, 102, 46);

bool isOrange(QRgb p) {
    return (p | 0xff000000u) == orange && qAlpha(p) == 255;
}

// The bounding box of the pixels that differ from a plain background.
QRect changedArea(const QImage& image, QRgb background) {
    QRect area;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                area |= QRect(x, y, 1, 1);
    return area;
}

TEST(NumberBadgeTest, badge_tinyCrop_shrinksWithFontSize) {
    // f = min(8/28, 26/28, 1) = 2/7 for a 30 x 12 point crop.
    const auto badge = numberBadge(annotationFor(3, QRectF(100, 100, 30, 12)));
    EXPECT_NEAR(badge.scale, 2.0 / 7, 1e-12);
    EXPECT_NEAR(badge.rect.width(), 8, 1e-9);
    EXPECT_NEAR(badge.rect.height(), 8, 1e-9);
    EXPECT_NEAR(14 * badge.scale, 4, 1e-9);
    EXPECT_EQ(badge.rect.topLeft(), QPointF(102, 102));
}

TEST(NumberBadgeTest, badge_cropOfFourPointsOrLess_isOnePointWide) {
    for (double side : {4.0, 3.0, 1.0}) {
        const auto badge = numberBadge(annotationFor(5, QRectF(10, 10, side, side)));
        EXPECT_NEAR(badge.rect.width(), 1, 1e-9) << side;
        EXPECT_LE(badge.rect.height(), 1 + 1e-9) << side;
    }
}

TEST(NumberBadgeTest, badge_fourDigitNumber_isPillOfEqualWidthDigits) {
    const QRectF crop(0, 0, 400, 300);
    const auto wide = numberBadge(annotationFor(1234, crop));
    EXPECT_GT(wide.rect.width(), 28 + 1e-9);
    EXPECT_DOUBLE_EQ(wide.rect.height(), 28);
    EXPECT_DOUBLE_EQ(wide.scale, 1);
    // Digits of equal width: every four-digit number gets the same badge.
    EXPECT_DOUBLE_EQ(numberBadge(annotationFor(1111, crop)).rect.width(), wide.rect.width());
    EXPECT_DOUBLE_EQ(numberBadge(annotationFor(8888, crop)).rect.width(), wide.rect.width());
    EXPECT_DOUBLE_EQ(numberBadge(annotationFor(7, crop)).rect.width(), 28);
}

TEST(NumberBadgeTest, badge_selectionBeyondDisplay_stays2PointsInsideCrop) {
    Annotation a = annotationFor(2, QRectF(0, 0, 300, 200));
    a.selection = MarkRect::from(QRectF(-50, -40, 350, 240));
    EXPECT_EQ(numberBadge(a).rect.topLeft(), QPointF(2, 2));
}

TEST(CaptureRenderTest, render_crop_sizeIsWholePixelRectAtScale) {
    const QImage display = test::patternImage(400, 300); // 200 x 150 points at scale 2
    const auto onGrid = render(display, annotationFor(1, QRectF(20, 30, 100, 50), 2));
    ASSERT_TRUE(onGrid.ok());
    EXPECT_EQ(onGrid->size(), QSize(200, 100));
    // Edges off the pixel grid: (20.5, 41)-(120.5, 101) widens to (20, 41)-(121, 101).
    const auto offGrid = render(display, annotationFor(1, QRectF(10.25, 20.5, 50, 30), 2));
    ASSERT_TRUE(offGrid.ok());
    EXPECT_EQ(offGrid->size(), QSize(101, 60));
    EXPECT_EQ(offGrid->format(), QImage::Format_ARGB32_Premultiplied);
}

TEST(CaptureRenderTest, render_imageEdges_equalCropEdgesOfDisplay) {
    const QImage display = test::patternImage(400, 300);
    const auto image = render(display, annotationFor(1, QRectF(10.25, 20.5, 50, 30), 2));
    ASSERT_TRUE(image.ok());
    // Right column and bottom row, clear of the badge in the top-left corner.
    for (int y = 0; y < image->height(); ++y)
        ASSERT_EQ(image->pixel(image->width() - 1, y), display.pixel(120, 41 + y)) << y;
    for (int x = 0; x < image->width(); ++x)
        ASSERT_EQ(image->pixel(x, image->height() - 1), display.pixel(20 + x, 100)) << x;
}

TEST(CaptureRenderTest, render_strokeAtScale2_landsOnPixelsDrawnOver) {
    const QImage display = test::patternImage(600, 400);
    // Cut at (20, 41) pixels; the stroke at y = 60 points lies on pixel row 120 - 41 = 79.
    const PenStroke stroke{{{40, 60}, {90, 60}}, 3};
    const auto image =
        render(display, annotationFor(1, QRectF(10.25, 20.5, 150, 100), 2, QString(), {stroke}));
    ASSERT_TRUE(image.ok());
    for (int x = 60; x <= 160; x += 10) {
        EXPECT_TRUE(isOrange(image->pixel(x, 79))) << x; // 6 pixels wide at scale 2
        EXPECT_TRUE(isOrange(image->pixel(x, 77))) << x;
        EXPECT_EQ(image->pixel(x, 74), display.pixel(x + 20, 74 + 41)) << x;
        EXPECT_EQ(image->pixel(x, 84), display.pixel(x + 20, 84 + 41)) << x;
    }
    // Round caps reach half the width past each end.
    EXPECT_TRUE(isOrange(image->pixel(58, 79)));
    EXPECT_EQ(image->pixel(55, 79), display.pixel(75, 120));
}

TEST(CaptureRenderTest, render_singlePointStroke_isDotOfStrokeDiameter) {
    const QImage display = test::solidImage(300, 200, Qt::white);
    const PenStroke dot{{{150, 100}}, 10};
    const auto image =
        render(display, annotationFor(1, QRectF(100, 50, 100, 100), 1, QString(), {dot}));
    ASSERT_TRUE(image.ok());
    const QImage clear = image->copy(35, 35, 40, 40); // away from the badge
    const QRect area = changedArea(clear, qRgb(255, 255, 255));
    EXPECT_NEAR(area.width(), 10, 1);
    EXPECT_NEAR(area.height(), 10, 1);
    EXPECT_EQ(area.translated(35, 35).center(), QPoint(49, 49)); // pixels 45 to 54
    EXPECT_TRUE(isOrange(image->pixel(50, 50)));
    EXPECT_TRUE(isOrange(image->pixel(53, 50)));
    // Round, not square: the corner of the enclosing square stays white.
    EXPECT_EQ(image->pixel(45, 45), qRgb(255, 255, 255));
}

TEST(CaptureRenderTest, render_noStrokes_stillDrawsBadge) {
    const QImage display = test::solidImage(300, 200, Qt::white);
    const auto image = render(display, annotationFor(4, QRectF(50, 50, 120, 80)));
    ASSERT_TRUE(image.ok());
    // A 28-point circle 2 points inside the corner: its left edge at mid-height is orange,
    // the corner of its square is not.
    EXPECT_TRUE(isOrange(image->pixel(4, 16)));
    EXPECT_EQ(image->pixel(2, 2), qRgb(255, 255, 255));
    EXPECT_EQ(changedArea(*image, qRgb(255, 255, 255)), QRect(2, 2, 28, 28));
}

TEST(CaptureRenderTest, render_cropOutsideImage_failsWithCropMessage) {
    const QImage display = test::solidImage(200, 100, Qt::white);
    const auto outside = render(display, annotationFor(1, QRectF(500, 500, 20, 20)));
    ASSERT_FALSE(outside.ok());
    EXPECT_TRUE(outside.failure().is(RenderError::crop));
    EXPECT_EQ(outside.failure().message(),
              QStringLiteral("The selected region could not be cropped."));
    EXPECT_FALSE(render(QImage(), annotationFor(1, QRectF(0, 0, 10, 10))).ok());
}

TEST(CaptureRenderTest, drawMarks_onDisplaySpacePainter_matchesRenderedImage) {
    // The overlay draws marks on the whole display; the saved image must show the same.
    const QImage display = test::patternImage(320, 240);
    const PenStroke stroke{{{60, 50}, {100, 80}, {140, 60}}, 3};
    const Annotation a = annotationFor(12, QRectF(40, 30, 160, 100), 1, QString(), {stroke});
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

TEST(MakeImageTest, makeImage_emptySize_failsWithAllocation) {
    const auto image = CaptureRendering::makeImage(0, 10, [](QPainter&) {});
    ASSERT_FALSE(image.ok());
    EXPECT_TRUE(image.failure().is(RenderError::allocation));
    EXPECT_EQ(image.failure().message(),
              QStringLiteral("Could not allocate the screenshot image."));
}

TEST(MakeImageTest, makeImage_drawsTopDownOnTransparentBitmap) {
    const auto image = CaptureRendering::makeImage(
        30, 20, [](QPainter& p) { p.fillRect(QRect(0, 0, 30, 5), Qt::blue); });
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(image->size(), QSize(30, 20));
    EXPECT_EQ(image->pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(image->pixel(0, 19), 0u);
}

TEST(RenderErrorTest, message_eachCase_isItsFixedText) {
    EXPECT_EQ(message(RenderError::encode), QStringLiteral("Could not encode the PNG image."));
    EXPECT_EQ(message(RenderError::empty), QStringLiteral("Add a capture before exporting."));
    EXPECT_EQ(message(RenderError::sheetTooLarge),
              QStringLiteral("This session is too large for one readable contact sheet. Copy "
                             "the individual files instead."));
}

} // namespace
} // namespace tovik
