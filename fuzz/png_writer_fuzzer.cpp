// PNG files of any size and pixels, in the formats a capture comes in: Qt's own decoder
// reads back exactly the pixels that were written.
#include "export/png_encoder.h"
#include "fuzz_check.h"

#include <QColorSpace>
#include <QImage>
#include <QRgb>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace tovik;

namespace {

constexpr QImage::Format formats[] = {
    QImage::Format_ARGB32_Premultiplied,
    QImage::Format_ARGB32,
    QImage::Format_RGB32,
    QImage::Format_RGB888,
    QImage::Format_Grayscale8,
    QImage::Format_RGBA8888,
};
constexpr int maxSide = 300;

// Pixel values premultiplied formats can hold: no channel above alpha.
QRgb valid(QRgb p, QImage::Format format) {
    if (format == QImage::Format_RGB32)
        return p | 0xff000000u;
    if (format != QImage::Format_ARGB32_Premultiplied)
        return p;
    const int a = qAlpha(p);
    return qRgba(std::min(qRed(p), a), std::min(qGreen(p), a), std::min(qBlue(p), a), a);
}

} // namespace

// Input: format, width and height bytes, padding of each row, then the pixels (repeated
// when the input is shorter than the image).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6)
        return 0;
    const QImage::Format format = formats[data[0] % std::size(formats)];
    const int width = 1 + (data[1] | data[2] << 8) % maxSide;
    const int height = 1 + (data[3] | data[4] << 8) % maxSide;
    const int padding = data[5] % 4 * 4;
    data += 6;
    size -= 6;

    // The image on a buffer of its own, with rows longer than the pixels as a view on a
    // larger image has them.
    const int depth = QImage(1, 1, format).depth() / 8;
    const qsizetype stride = qsizetype(width) * depth + padding;
    std::vector<uchar> buffer(size_t(stride) * height, 0xa5);
    QImage image(buffer.data(), width, height, stride, format);
    const auto byteAt = [&](size_t i) { return size > 0 ? data[i % size] : uchar(0); };
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const size_t i = (size_t(y) * width + x) * 4;
            const QRgb p =
                byteAt(i) | byteAt(i + 1) << 8 | byteAt(i + 2) << 16 | quint32(byteAt(i + 3)) << 24;
            if (depth == 4)
                reinterpret_cast<QRgb*>(row)[x] = valid(p, format);
            else
                std::memcpy(row + x * depth, &p, depth);
        }
    }

    const Expected<QByteArray> png = pngData(image);
    FUZZ_CHECK(png.ok());
    const QImage decoded = QImage::fromData(*png, "PNG");
    FUZZ_CHECK(decoded.size() == image.size());
    // The file is tagged sRGB, which Qt's decoder gives the image.
    FUZZ_CHECK(decoded.colorSpace() == QColorSpace(QColorSpace::SRgb));
    // Formats without straight alpha are written as premultiplied pixels are; 8 bits of
    // straight alpha carry them back exactly.
    const QImage::Format compared =
        image.hasAlphaChannel() &&
                image.pixelFormat().premultiplied() == QPixelFormat::NotPremultiplied
            ? QImage::Format_ARGB32
            : QImage::Format_ARGB32_Premultiplied;
    QImage expected = image.convertToFormat(compared);
    expected.setColorSpace(decoded.colorSpace());
    FUZZ_CHECK(decoded.convertToFormat(compared) == expected);
    return 0;
}
