#pragma once

#include <QString>

namespace tovik {

enum class PasteError { permission, destination, clipboardChanged, event };

QString message(PasteError error);

} // namespace tovik
