#pragma once

#include <QString>

namespace tovik {

// "1 capture", "0 captures", "12 captures".
inline QString captureCountText(qint64 count) {
    return count == 1 ? QStringLiteral("1 capture") : QStringLiteral("%1 captures").arg(count);
}

} // namespace tovik
