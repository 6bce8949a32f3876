#pragma once

#include "model/failure.h"

#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <memory>

struct libdeflate_compressor;

namespace tovik {

// What one thread reuses from image to image: the compressor and two buffers the size of a
// capture. Touching fresh 20 MB buffers for every capture costs more in page faults than
// the filtering itself.
class PngWorkspace {
public:
    PngWorkspace();
    ~PngWorkspace();
    PngWorkspace(const PngWorkspace&) = delete;
    PngWorkspace& operator=(const PngWorkspace&) = delete;

    uchar* filtered(size_t size) { return reserve(filtered_, filteredSize_, size); }
    uchar* file(size_t size) { return reserve(file_, fileSize_, size); }
    libdeflate_compressor* compressor(); // none when it cannot be made
    // Bytes held by the buffers.
    size_t bufferBytes() const { return filteredSize_ + fileSize_; }
    // Gives the buffers back; the compressor stays.
    void release();

private:
    struct FreeDeleter {
        void operator()(void* p) const;
    };
    struct CompressorDeleter {
        void operator()(libdeflate_compressor* c) const;
    };
    using Buffer = std::unique_ptr<uchar[], FreeDeleter>;
    static uchar* reserve(Buffer& buffer, size_t& capacity, size_t size);

    Buffer filtered_;
    size_t filteredSize_ = 0;
    Buffer file_;
    size_t fileSize_ = 0;
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor_;
};

// PNG files as every export writes them: 8 bits per channel RGBA with straight alpha, the
// image's pixel size, tagged sRGB. Compressed with libdeflate, which is several times faster
// than Qt's PNG writer at about the same size. Failures are RenderError::encode.
Expected<QByteArray> pngData(const QImage& image, PngWorkspace& workspace);
// With a workspace of its own.
Expected<QByteArray> pngData(const QImage& image);

} // namespace tovik
