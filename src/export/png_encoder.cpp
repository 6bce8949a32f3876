#include "export/png_encoder.h"

#include "export/render_error.h"

#include <QRgb>
#include <QtEndian>

#include <libdeflate.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace tovik {

namespace {

// Measured on screenshots of 2880 x 1800 pixels, where level 1 is the fastest level and no
// larger than levels 2 to 4 (filter choice below).
constexpr int compressionLevel = 1;

enum class Filter : uchar { none = 0, up = 2 };
constexpr int sampleEvery = 64; // rows; the filter trial looks at two rows of each such band
constexpr int sampleRows = 2;

constexpr uchar signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr size_t bytesPerPixel = 4;
constexpr size_t chunkOverhead = 12; // length, type, CRC
constexpr size_t ihdrSize = 13;
constexpr uchar bitDepth = 8;
constexpr uchar colourTypeRgba = 6;
constexpr uchar srgbPerceptual = 0;
constexpr size_t maxChunkData = 0x7fffffff;

// Finishes the chunk whose data already sits at p + 8; returns the position after it.
uchar* sealChunk(uchar* p, const char (&type)[5], size_t dataSize) {
    qToBigEndian(quint32(dataSize), p);
    std::memcpy(p + 4, type, 4);
    qToBigEndian(quint32(libdeflate_crc32(0, p + 4, dataSize + 4)), p + 8 + dataSize);
    return p + chunkOverhead + dataSize;
}

// One row as straight-alpha RGBA bytes. PNG has no premultiplied form; Qt's own
// unpremultiply keeps the round trip back to premultiplied pixels exact.
void rowToRgba(const QImage& image, int y, uchar* out) {
    const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    const int width = image.width();
    const quint32 forcedAlpha = image.format() == QImage::Format_RGB32 ? 0xff000000u : 0;
    // A plain swizzle first, which the compiler vectorises; translucent pixels are rare.
    quint32 alphas = 0xff000000u;
    for (int x = 0; x < width; ++x) {
        const quint32 p = in[x] | forcedAlpha;
        alphas &= p;
        const quint32 rgba = (p & 0xff00ff00u) | ((p >> 16) & 0xffu) | ((p & 0xffu) << 16);
        qToLittleEndian(rgba, out + 4 * x);
    }
    if (alphas == 0xff000000u || image.format() != QImage::Format_ARGB32_Premultiplied)
        return;
    for (int x = 0; x < width; ++x) {
        if (qAlpha(in[x]) == 255)
            continue;
        const QRgb p = qUnpremultiply(in[x]);
        out[4 * x] = uchar(qRed(p));
        out[4 * x + 1] = uchar(qGreen(p));
        out[4 * x + 2] = uchar(qBlue(p));
    }
}

QImage encodableImage(const QImage& image) {
    switch (image.format()) {
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_ARGB32:
    case QImage::Format_RGB32:
        return image;
    default:
        // Straight alpha stays straight: premultiplying would lose the colour of translucent
        // pixels.
        return image.convertToFormat(image.hasAlphaChannel() &&
                                             image.pixelFormat().premultiplied() ==
                                                 QPixelFormat::NotPremultiplied
                                         ? QImage::Format_ARGB32
                                         : QImage::Format_ARGB32_Premultiplied);
    }
}

void filterRow(Filter filter, const uchar* cur, const uchar* prev, size_t rowBytes, uchar* out) {
    out[0] = uchar(filter);
    if (filter == Filter::none) {
        std::memcpy(out + 1, cur, rowBytes);
        return;
    }
    for (size_t i = 0; i < rowBytes; ++i)
        out[1 + i] = uchar(cur[i] - prev[i]);
}

// "none" compresses fastest, and smallest on UI and text, whose rows repeat exactly; "up" is
// far smaller on photos and gradients. A trial on a sample of rows decides, and "up" must win
// clearly to pay for its slower compression.
Filter chooseFilter(const QImage& image, libdeflate_compressor* compressor) {
    const size_t rowBytes = size_t(image.width()) * bytesPerPixel;
    std::vector<uchar> cur(rowBytes), prev(rowBytes);
    std::vector<uchar> none, up;
    for (int band = 0; band < image.height(); band += sampleEvery) {
        if (band > 0)
            rowToRgba(image, band - 1, prev.data());
        else
            std::fill(prev.begin(), prev.end(), 0);
        for (int y = band; y < std::min(band + sampleRows, image.height()); ++y) {
            rowToRgba(image, y, cur.data());
            none.resize(none.size() + rowBytes + 1);
            filterRow(Filter::none, cur.data(), prev.data(), rowBytes, &none.back() - rowBytes);
            up.resize(up.size() + rowBytes + 1);
            filterRow(Filter::up, cur.data(), prev.data(), rowBytes, &up.back() - rowBytes);
            std::swap(cur, prev);
        }
    }
    std::vector<uchar> out(libdeflate_zlib_compress_bound(compressor, none.size()));
    const size_t noneSize =
        libdeflate_zlib_compress(compressor, none.data(), none.size(), out.data(), out.size());
    const size_t upSize =
        libdeflate_zlib_compress(compressor, up.data(), up.size(), out.data(), out.size());
    return upSize > 0 && upSize * 10 < noneSize * 9 ? Filter::up : Filter::none;
}

// The zlib stream of the filtered rows, written to `out`; its size, or 0 on failure.
size_t compressRows(const QImage& image, uchar* filtered, uchar* out, size_t capacity,
                    libdeflate_compressor* compressor) {
    const Filter filter = chooseFilter(image, compressor);
    const size_t rowBytes = size_t(image.width()) * bytesPerPixel;
    const size_t size = (rowBytes + 1) * size_t(image.height());
    std::vector<uchar> rows(2 * rowBytes, 0);
    uchar* cur = rows.data();
    uchar* prev = cur + rowBytes;
    for (int y = 0; y < image.height(); ++y) {
        rowToRgba(image, y, cur);
        filterRow(filter, cur, prev, rowBytes, filtered + size_t(y) * (rowBytes + 1));
        std::swap(cur, prev);
    }
    return libdeflate_zlib_compress(compressor, filtered, size, out, capacity);
}

} // namespace

void PngWorkspace::CompressorDeleter::operator()(libdeflate_compressor* c) const {
    libdeflate_free_compressor(c);
}

PngWorkspace::PngWorkspace() = default;
PngWorkspace::~PngWorkspace() = default;

uchar* PngWorkspace::Buffer::reserve(size_t size) {
    if (size_ >= size)
        return data_;
    release();
    // Populated by the one call: a page fault per page, trapped one by one, costs more than
    // the encoding's own passes over the buffer, most of all on a virtual machine.
    void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    data_ = static_cast<uchar*>(mapped);
    size_ = size;
    return data_;
}

void PngWorkspace::Buffer::release() {
    if (data_)
        ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

libdeflate_compressor* PngWorkspace::compressor() {
    if (!compressor_)
        compressor_.reset(libdeflate_alloc_compressor(compressionLevel));
    return compressor_.get();
}

void PngWorkspace::release() {
    filtered_.release();
    file_.release();
}

Expected<QByteArray> pngData(const QImage& source, PngWorkspace& workspace) {
    const Failure failed = Failure::of(RenderError::encode);
    const QImage image = encodableImage(source);
    libdeflate_compressor* const compressor = workspace.compressor();
    if (image.isNull() || !compressor)
        return failed;

    const size_t rawSize = (size_t(image.width()) * bytesPerPixel + 1) * size_t(image.height());
    const size_t bound = libdeflate_zlib_compress_bound(compressor, rawSize);
    const size_t headerSize = sizeof signature + 2 * chunkOverhead + ihdrSize + 1;
    uchar* const file = workspace.file(headerSize + 2 * chunkOverhead + bound);
    uchar* const filtered = workspace.filtered(rawSize);
    if (!file || !filtered)
        return failed;

    uchar* p = file;
    std::memcpy(p, signature, sizeof signature);
    p += sizeof signature;
    uchar* ihdr = p + 8;
    qToBigEndian(quint32(image.width()), ihdr);
    qToBigEndian(quint32(image.height()), ihdr + 4);
    ihdr[8] = bitDepth;
    ihdr[9] = colourTypeRgba;
    ihdr[10] = ihdr[11] = ihdr[12] = 0; // deflate, per-row filters, not interlaced
    p = sealChunk(p, "IHDR", ihdrSize);
    p[8] = srgbPerceptual;
    p = sealChunk(p, "sRGB", 1);
    const size_t compressed = compressRows(image, filtered, p + 8, bound, compressor);
    if (compressed == 0 || compressed > maxChunkData)
        return failed;
    p = sealChunk(p, "IDAT", compressed);
    p = sealChunk(p, "IEND", 0);
    return QByteArray(reinterpret_cast<const char*>(file), p - file);
}

Expected<QByteArray> pngData(const QImage& image) {
    PngWorkspace workspace;
    return pngData(image, workspace);
}

} // namespace tovik
