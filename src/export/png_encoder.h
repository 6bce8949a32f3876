#pragma once

#include "model/failure.h"

#include <QByteArray>
#include <QImage>
#include <QList>

namespace tovik {

// PNG files as every export writes them: 8 bits per channel RGBA with straight alpha, the
// image's pixel size, tagged sRGB. Compressed with libdeflate, which is several times faster
// than Qt's PNG writer at about the same size. Failures are RenderError::encode.
Expected<QByteArray> pngData(const QImage& image);

// The images of one export, encoded in parallel on every core. The results keep the order
// of the images; the first failure in that order is reported.
Expected<QList<QByteArray>> pngDataAll(const QList<QImage>& images);

} // namespace tovik
