#include "export/capture_rendering.h"
#include "export/contact_sheet.h"
#include "export/png_encoder.h"
#include "export/png_encoder_pool.h"
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
    // Scaled by min(8/28, 26/28, 1) = 2/7 for a 30 x 12 point crop.
    EXPECT_EQ(numberBadge(annotationFor(3, QRectF(100, 100, 30, 12))).rect, QRectF(102, 102, 8, 8));
    // Crops of four points or less get a one-point badge.
    EXPECT_NEAR(numberBadge(annotationFor(5, QRectF(10, 10, 4, 4))).rect.width(), 1, 1e-9);

    const QRectF crop(0, 0, 400, 300);
    const auto wide = numberBadge(annotationFor(1234, crop));
    EXPECT_GT(wide.rect.width(), 28 + 1e-9);

    Annotation beyond = annotationFor(2, QRectF(0, 0, 300, 200)); // selection off the display
    beyond.selection = MarkRect::from(QRectF(-50, -40, 350, 240));
    EXPECT_EQ(numberBadge(beyond).rect.topLeft(), QPointF(2, 2));
}

TEST(CaptureRenderTest, render_cutsWholePixelsOfCropAndLandsMarksOnThem_orFails) {
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
        EXPECT_EQ(image->pixel(x, 74), display.pixel(x + 20, 74 + 41)) << x;
        EXPECT_EQ(image->pixel(x, 84), display.pixel(x + 20, 84 + 41)) << x;
    }
    // Round caps reach half the width past each end.
    EXPECT_EQ(image->pixel(58, 79), orange);
    EXPECT_EQ(image->pixel(55, 79), display.pixel(75, 120));

    EXPECT_EQ(render(display, annotationFor(1, QRectF(500, 500, 20, 20))).failure().message(),
              QStringLiteral("The selected region could not be cropped."));
    EXPECT_EQ(CaptureRendering::makeImage(0, 10, [](QPainter&) {}).failure().message(),
              QStringLiteral("Could not allocate the screenshot image."));
}

TEST(CaptureRenderTest, render_dotAndBadge_drawnWhereTheyBelongAsOnTheOverlay) {
    const QImage display = test::solidImage(300, 200, Qt::white);
    const Annotation a = annotationFor(4, QRectF(100, 50, 100, 100), 1, {}, {{{{150, 100}}, 10}});
    const auto image = render(display, a);
    ASSERT_TRUE(image.ok());
    // The one-point stroke: a dot 10 pixels across (45 to 54), round, so its square's corner
    // stays white.
    EXPECT_EQ(changedArea(image->copy(35, 35, 40, 40), white).translated(35, 35),
              QRect(45, 45, 10, 10));
    EXPECT_EQ(image->pixel(45, 45), white);
    // The badge: a 28-point circle 2 points inside the corner.
    EXPECT_EQ(changedArea(image->copy(0, 0, 35, 35), white), QRect(2, 2, 28, 28));
    EXPECT_EQ(image->pixel(2, 2), white);
    // The overlay draws the same marks on the whole display with the shared drawMarks.
    QImage overlay = display.copy();
    QPainter painter(&overlay);
    CaptureRendering::drawMarks(a, painter);
    painter.end();
    EXPECT_TRUE(test::samePixels(*image, overlay.copy(100, 50, 100, 100)));
}

// A row takes its tallest cell; images scale to fit their area, up or down.
TEST(ContactSheetTest, layout_mixedLabelsAndSizes_rowTakesTheTallerCell) {
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
    const int labelHeight = shortAlone->cells[0].frame.height() - 488; // one line of text
    EXPECT_GE(tall - 488, 3 * labelHeight - 3); // the long comment wraps to three lines or more
    EXPECT_EQ(mixed->cells[0].frame.height(), tall); // the row takes the taller cell
    EXPECT_EQ(mixed->cells[1].frame.height(), tall);
    EXPECT_EQ(mixed->cells[1].label, QRectF(768 + 16, 72 + 468, 688, tall - 472));
    // k = min(688/2880, 440/1800): full width, centred in the 440-high area.
    EXPECT_EQ(mixed->cells[0].image, QRectF(40, 72 + 16 + 5, 688, 430));
    // A small capture is scaled up: k = 6.88.
    EXPECT_EQ(mixed->cells[1].image, QRectF(768 + 16, 72 + 16 + 48, 688, 344));
}

TEST(ContactSheetTest, render_drawsImagesTextAndBackgroundWhereLaidOut) {
    const QImage red = test::solidImage(100, 50, Qt::red);
    const auto sheet =
        renderContactSheet({captureOf(1, red), captureOf(2, red), captureOf(3, red)});
    ASSERT_TRUE(sheet.ok());
    EXPECT_EQ(sheet->width(), 1512); // two columns
    const QRgb background = qRgb(240, 240, 242);
    EXPECT_TRUE(changedArea(sheet->copy(24, 22, 300, 30), background).isValid()); // header
    EXPECT_TRUE(changedArea(sheet->copy(40, 540, 400, 24), white).isValid());     // label
    // Image area (40, 136)-(728, 480) of the first cell, white cell around it.
    EXPECT_EQ(sheet->pixel(42, 138), qRgb(255, 0, 0));
    EXPECT_EQ(sheet->pixel(725, 477), qRgb(255, 0, 0));
    EXPECT_EQ(sheet->pixel(384, 500), white);
    // Background in the margins and the empty half of the second row.
    for (const QPoint at :
         {QPoint(10, 10), QPoint(12, sheet->height() - 100), QPoint(1128, sheet->height() - 100)})
        EXPECT_EQ(sheet->pixel(at), background) << at.x() << "," << at.y();
}

::testing::AssertionResult roundTrips(const QImage& image) {
    return test::samePixels(QImage::fromData(pngData(image).value(), "PNG"), image);
}

TEST(PngEncoderTest, pngData_decodesPixelIdentical_headerIsRgba8WithSrgbChunk) {
    // Every alpha level with colours that premultiplication rounds.
    QImage translucent(256, 64, QImage::Format_ARGB32);
    for (int y = 0; y < translucent.height(); ++y)
        for (int x = 0; x < translucent.width(); ++x)
            translucent.setPixel(x, y, qRgba((x * 7 + y) % 256, (y * 37) % 256, 255 - x, x));
    EXPECT_TRUE(roundTrips(translucent.convertToFormat(QImage::Format_ARGB32_Premultiplied)));
    for (QImage::Format format :
         {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_Grayscale8})
        EXPECT_TRUE(roundTrips(test::patternImage(97, 61).convertToFormat(format))) << format;
    // Flat UI content too: the encoder picks its row filter per image.
    QImage ui = test::solidImage(300, 200, QColor(246, 246, 248));
    QPainter p(&ui);
    for (int y = 10; y < 190; y += 30) {
        p.fillRect(QRect(20, y, 120, 18), QColor(200, 220, 250));
        p.drawText(QPoint(150, y + 14), QStringLiteral("Settings and export"));
    }
    p.end();
    EXPECT_TRUE(roundTrips(ui));

    const auto png = pngData(test::patternImage(300, 7));
    ASSERT_TRUE(png.ok());
    // Signature, IHDR of 300 x 7 pixels of 8-bit RGBA, then sRGB with intent 0; IEND last.
    EXPECT_EQ(png->left(29).toHex(), "89504e470d0a1a0a0000000d494844520000012c000000070806000000");
    EXPECT_EQ(png->mid(33, 9).toHex(), "000000017352474200");
    EXPECT_TRUE(png->endsWith(QByteArray::fromHex("0000000049454e44ae426082")));
}

// Background encoding gives the same files; a cancelled job never runs on a worker, and a job
// asked for runs at once on the asking thread, paused pool or not.
TEST(PngEncoderTest, pool_matchesDirectEncoding_skipsCancelled_runsAskedJobsAtOnce) {
    PngEncoderPool pool(1);
    pool.setPaused(true);
    const QList<QImage> images{test::patternImage(640, 480), test::patternImage(97, 61),
                               test::solidImage(800, 600, Qt::white), test::patternImage(300, 7)};
    QList<std::shared_ptr<PngJob>> jobs;
    for (const QImage& image : images)
        jobs.append(pool.encode(image));
    jobs[1]->cancel();
    EXPECT_EQ(jobs[2]->result().value(), pngData(images[2]).value());
    EXPECT_FALSE(jobs[0]->isFinished());
    pool.setPaused(false);
    pool.waitForIdle();
    EXPECT_FALSE(jobs[1]->isFinished());
    // One worker, one set of buffers, reused from the larger image to the smaller.
    for (int i : {0, 3}) {
        ASSERT_TRUE(jobs[i]->isFinished());
        EXPECT_EQ(jobs[i]->result().value(), pngData(images[i]).value()) << i;
    }
    EXPECT_EQ(jobs[1]->result().value(), pngData(images[1]).value());
}

} // namespace
} // namespace tovik
