#include "export/png_encoder.h"
#include "export/render_error.h"
#include "export_fixtures.h"

#include <QColorSpace>
#include <QPainter>
#include <QtEndian>

#include <gtest/gtest.h>

namespace tovik {
namespace {

struct Chunk {
    QByteArray type;
    QByteArray data;
};

QList<Chunk> chunksOf(const QByteArray& png) {
    QList<Chunk> chunks;
    qsizetype at = 8;
    while (at + 12 <= png.size()) {
        const auto length = qFromBigEndian<quint32>(png.constData() + at);
        chunks.append({png.mid(at + 4, 4), png.mid(at + 8, length)});
        at += 12 + length;
    }
    return chunks;
}

// Every alpha level with colours that premultiplication rounds.
QImage translucentImage() {
    QImage image(256, 64, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba((x * 7 + y) % 256, (y * 37) % 256, 255 - x, x));
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

TEST(PngEncoderTest, pngData_translucentImage_decodesPixelIdentical) {
    const QImage original = translucentImage();
    const auto png = pngData(original);
    ASSERT_TRUE(png.ok());
    const QImage decoded = QImage::fromData(*png, "PNG");
    ASSERT_FALSE(decoded.isNull());
    EXPECT_EQ(decoded.size(), original.size());
    EXPECT_TRUE(decoded.hasAlphaChannel());
    EXPECT_TRUE(test::samePixels(decoded, original));
}

TEST(PngEncoderTest, pngData_opaqueImages_decodeIdenticalInEveryFormat) {
    const QImage pattern = test::patternImage(97, 61);
    for (QImage::Format format :
         {QImage::Format_ARGB32_Premultiplied, QImage::Format_ARGB32, QImage::Format_RGB32,
          QImage::Format_RGB888, QImage::Format_Grayscale8}) {
        const QImage source = pattern.convertToFormat(format);
        const auto png = pngData(source);
        ASSERT_TRUE(png.ok()) << format;
        EXPECT_TRUE(test::samePixels(QImage::fromData(*png, "PNG"), source)) << format;
    }
}

TEST(PngEncoderTest, pngData_header_isRgba8WithSrgbChunk) {
    const auto png = pngData(test::patternImage(300, 7));
    ASSERT_TRUE(png.ok());
    EXPECT_TRUE(png->startsWith("\x89PNG\r\n\x1a\n"));
    const QList<Chunk> chunks = chunksOf(*png);
    ASSERT_EQ(chunks.size(), 4);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(qFromBigEndian<quint32>(chunks[0].data.constData()), 300u);
    EXPECT_EQ(qFromBigEndian<quint32>(chunks[0].data.constData() + 4), 7u);
    EXPECT_EQ(chunks[0].data.mid(8), QByteArray("\x08\x06\x00\x00\x00", 5)); // 8-bit RGBA
    EXPECT_EQ(chunks[1].type, "sRGB");
    EXPECT_EQ(chunks[1].data, QByteArray(1, '\0'));
    EXPECT_EQ(chunks[2].type, "IDAT");
    EXPECT_EQ(chunks[3].type, "IEND");
    // Qt reads the tag back as the sRGB colour space.
    EXPECT_EQ(QImage::fromData(*png, "PNG").colorSpace(), QColorSpace(QColorSpace::SRgb));
}

// The filter byte that starts each row of the image data.
QByteArray rowFilters(const QByteArray& png, int width, int height) {
    QByteArray stream;
    for (const Chunk& chunk : chunksOf(png))
        if (chunk.type == "IDAT")
            stream += chunk.data;
    const qsizetype rowBytes = 1 + 4 * qsizetype(width);
    QByteArray sized(4, '\0');
    qToBigEndian(quint32(rowBytes * height), sized.data());
    const QByteArray rows = qUncompress(sized + stream);
    QByteArray filters;
    for (qsizetype at = 0; at < rows.size(); at += rowBytes)
        filters += rows[at];
    return filters;
}

TEST(PngEncoderTest, pngData_filterChoice_followsContentAndRoundTrips) {
    QImage gradient(300, 200, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < gradient.height(); ++y)
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixel(x, y, qRgb((x + 2 * y) % 256, (3 * x + y) / 4 % 256, y % 256));
    QImage ui = test::solidImage(300, 200, QColor(246, 246, 248));
    {
        QPainter p(&ui);
        for (int y = 10; y < 190; y += 30) {
            p.fillRect(QRect(20, y, 120, 18), QColor(200, 220, 250));
            p.drawText(QPoint(150, y + 14), QStringLiteral("Settings and export"));
        }
    }
    const auto gradientPng = pngData(gradient);
    const auto uiPng = pngData(ui);
    ASSERT_TRUE(gradientPng.ok() && uiPng.ok());
    EXPECT_EQ(rowFilters(*gradientPng, 300, 200), QByteArray(200, '\2')); // up
    EXPECT_EQ(rowFilters(*uiPng, 300, 200), QByteArray(200, '\0'));       // none
    EXPECT_TRUE(test::samePixels(QImage::fromData(*gradientPng, "PNG"), gradient));
    EXPECT_TRUE(test::samePixels(QImage::fromData(*uiPng, "PNG"), ui));
}

TEST(PngEncoderTest, pngData_nullImage_failsWithEncode) {
    const auto png = pngData(QImage());
    ASSERT_FALSE(png.ok());
    EXPECT_TRUE(png.failure().is(RenderError::encode));
}

TEST(PngEncoderTest, pngDataAll_manyImages_keepOrder) {
    QList<QImage> images;
    for (int i = 1; i <= 7; ++i)
        images.append(test::patternImage(10 * i, 3 + i));
    const auto pngs = pngDataAll(images);
    ASSERT_TRUE(pngs.ok());
    ASSERT_EQ(pngs->size(), images.size());
    for (qsizetype i = 0; i < images.size(); ++i)
        EXPECT_TRUE(test::samePixels(QImage::fromData(pngs->at(i), "PNG"), images[i])) << i;
}

TEST(PngEncoderTest, pngDataAll_oneNullImage_failsWithEncode) {
    const auto pngs = pngDataAll({test::patternImage(20, 20), QImage(), test::patternImage(5, 5)});
    ASSERT_FALSE(pngs.ok());
    EXPECT_TRUE(pngs.failure().is(RenderError::encode));
}

} // namespace
} // namespace tovik
