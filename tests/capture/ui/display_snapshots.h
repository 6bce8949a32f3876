#pragma once

#include "capture/display_snapshot.h"

#include <QColor>

namespace tovik::testing {

inline constexpr int snapshotGrey = 128;

// A frozen display of width × height points at the given pixel ratio, one flat grey.
inline DisplaySnapshot flatSnapshot(int width, int height, double ratio = 1) {
    DisplaySnapshot snapshot;
    snapshot.image =
        QImage(qRound(width * ratio), qRound(height * ratio), QImage::Format_ARGB32_Premultiplied);
    snapshot.image.fill(QColor(snapshotGrey, snapshotGrey, snapshotGrey));
    snapshot.screen = {QStringLiteral("Test display"), QRect(0, 0, width, height), ratio, 7};
    snapshot.displayID = 7;
    return snapshot;
}

} // namespace tovik::testing
