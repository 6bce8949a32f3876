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
    snapshot.screen.name = QStringLiteral("Test display");
    snapshot.screen.geometry = QRect(0, 0, width, height);
    snapshot.screen.devicePixelRatio = ratio;
    snapshot.screen.displayId = 7;
    snapshot.displayID = 7;
    return snapshot;
}

// Something that looks like a desktop with two windows, for screenshots a person looks at.
inline DisplaySnapshot desktopSnapshot(int width, int height, double ratio = 1) {
    DisplaySnapshot snapshot = flatSnapshot(width, height, ratio);
    QPainter p(&snapshot.image);
    p.scale(ratio, ratio);
    QLinearGradient sky(0, 0, width, height);
    sky.setColorAt(0, QColor(40, 90, 150));
    sky.setColorAt(1, QColor(120, 60, 130));
    p.fillRect(QRectF(0, 0, width, height), sky);
    const auto window = [&](QRectF frame, const QString& title) {
        p.fillRect(frame, QColor(245, 245, 245));
        p.fillRect(QRectF(frame.topLeft(), QSizeF(frame.width(), 28)), QColor(220, 220, 225));
        p.setPen(QColor(40, 40, 40));
        p.drawText(frame.adjusted(12, 6, -12, 0), Qt::AlignLeft | Qt::AlignTop, title);
        for (int line = 0; line < 12; ++line) {
            p.fillRect(QRectF(frame.left() + 16, frame.top() + 48 + line * 22,
                              (frame.width() - 32) * (0.5 + 0.4 * ((line * 7) % 5) / 4.0), 10),
                       QColor(190, 195, 205));
        }
    };
    window(QRectF(60, 80, 620, 420), QStringLiteral("Editor"));
    window(QRectF(520, 300, 760, 480), QStringLiteral("Settings"));
    return snapshot;
}

} // namespace tovik::testing
