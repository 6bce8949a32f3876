#pragma once

#include "capture/display_snapshot.h"

#include <QPainter>

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

// A gradient desktop with two light windows, for screenshots a person looks at.
inline DisplaySnapshot desktopSnapshot(int width, int height, double ratio = 1) {
    DisplaySnapshot snapshot = flatSnapshot(width, height, ratio);
    QPainter p(&snapshot.image);
    p.scale(ratio, ratio);
    QLinearGradient sky(0, 0, width, height);
    sky.setColorAt(0, QColor(40, 90, 150));
    sky.setColorAt(1, QColor(120, 60, 130));
    p.fillRect(QRectF(0, 0, width, height), sky);
    for (const QRectF frame : {QRectF(60, 80, 620, 420), QRectF(520, 300, 760, 480)}) {
        p.fillRect(frame, QColor(245, 245, 245));
        p.fillRect(frame.adjusted(0, 0, 0, 28 - frame.height()), QColor(220, 220, 225));
    }
    return snapshot;
}

} // namespace tovik::testing
