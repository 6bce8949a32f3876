#pragma once

#include <QString>

namespace tovik {

// Errors of rendering captures and writing exports.
enum class RenderError { allocation, crop, encode, empty, sheetTooLarge };

QString message(RenderError error);

} // namespace tovik
