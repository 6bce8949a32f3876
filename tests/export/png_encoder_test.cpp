#include "export/png_encoder.h"
#include "export/render_error.h"
#include "export_fixtures.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace tovik {
namespace {

::testing::AssertionResult roundTrips(const QImage& image) {
    const auto png = pngData(image);
    if (!png.ok())
        return ::testing::AssertionFailure() << "not encoded";
    return test::samePixels(QImage::fromData(*png, "PNG"), image);
}

TEST(PngEncoderTest, pngData_decodesPixelIdentical) {
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
}

TEST(PngEncoderTest, pngData_header_isRgba8WithSrgbChunk) {
    const auto png = pngData(test::patternImage(300, 7));
    ASSERT_TRUE(png.ok());
    // Signature, IHDR of 300 x 7 pixels of 8-bit RGBA, then sRGB with intent 0, IDAT ... IEND.
    EXPECT_EQ(png->left(29).toHex(), "89504e470d0a1a0a0000000d494844520000012c000000070806000000");
    EXPECT_EQ(png->mid(33, 9).toHex(), "000000017352474200");
    EXPECT_EQ(png->mid(50, 4), "IDAT");
    EXPECT_TRUE(png->endsWith(QByteArray::fromHex("0000000049454e44ae426082")));
}

TEST(PngEncoderTest, pngDataAll_keepsOrderAndFailsWithEncodeOnANullImage) {
    QList<QImage> images;
    for (int i = 1; i <= 7; ++i)
        images.append(test::patternImage(10 * i, 3 + i));
    const auto pngs = pngDataAll(images);
    ASSERT_TRUE(pngs.ok());
    ASSERT_EQ(pngs->size(), images.size());
    for (qsizetype i = 0; i < images.size(); ++i)
        EXPECT_TRUE(test::samePixels(QImage::fromData(pngs->at(i), "PNG"), images[i])) << i;
    images[3] = QImage();
    EXPECT_TRUE(pngDataAll(images).failure().is(RenderError::encode));
    EXPECT_TRUE(pngData(QImage()).failure().is(RenderError::encode));
}

} // namespace
} // namespace tovik
