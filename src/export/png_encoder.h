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

    uchar* filtered(size_t size) { return filtered_.reserve(size); }
    uchar* file(size_t size) { return file_.reserve(size); }
    libdeflate_compressor* compressor(); // none when it cannot be made
    // Bytes held by the buffers.
    size_t bufferBytes() const { return filtered_.size() + file_.size(); }
    // Gives the buffers back to the system; the compressor stays.
    void release();

private:
    // Mapped straight from the system, so that giving it back really returns the memory:
    // the allocator would keep freed blocks of this size in the thread's arena.
    class Buffer {
    public:
        Buffer() = default;
        ~Buffer() { release(); }
        Buffer(const Buffer&) = delete;
        Buffer& operator=(const Buffer&) = delete;
        uchar* reserve(size_t size);
        void release();
        size_t size() const { return size_; }

    private:
        uchar* data_ = nullptr;
        size_t size_ = 0;
    };
    struct CompressorDeleter {
        void operator()(libdeflate_compressor* c) const;
    };

    Buffer filtered_;
    Buffer file_;
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor_;
};

// PNG files as every export writes them: 8 bits per channel RGBA with straight alpha, the
// image's pixel size, tagged sRGB. Compressed with libdeflate, which is several times faster
// than Qt's PNG writer at about the same size. Failures are RenderError::encode.
Expected<QByteArray> pngData(const QImage& image, PngWorkspace& workspace);
// With a workspace of its own.
Expected<QByteArray> pngData(const QImage& image);

} // namespace tovik
