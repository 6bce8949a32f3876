// The desktop's one screenshot cut into the screens' images.
#include "platform/wayland/wayland_screen_source.h"

#include <gtest/gtest.h>

#include <QPainter>

namespace tovik {
namespace {

// Two outputs side by side, 1600x1000 and 1280x800 points, each filled with its own colour.
QImage desktopShot(double scale) {
    QImage shot(QSize(2880, 1000) * scale, QImage::Format_RGB32);
    shot.fill(Qt::black);
    QPainter painter(&shot);
    painter.scale(scale, scale);
    painter.fillRect(QRect(0, 0, 1600, 1000), Qt::red);
    painter.fillRect(QRect(1600, 0, 1280, 800), Qt::blue);
    return shot;
}

const QRect desktopArea(0, 0, 2880, 1000);
const ScreenInfo left{QStringLiteral("HEADLESS-1"), QRect(0, 0, 1600, 1000), 1, 1};
const ScreenInfo right{QStringLiteral("HEADLESS-2"), QRect(1600, 0, 1280, 800), 2, 2};

bool filledWith(const QImage& image, QColor colour) {
    for (const QPoint p : {QPoint(0, 0), QPoint(image.width() - 1, image.height() - 1),
                           QPoint(image.width() / 2, image.height() / 2)}) {
        if (image.pixelColor(p) != colour)
            return false;
    }
    return true;
}

// A shot drawn at the densest output's scale gives each screen its own pixels at its own size;
// a screen added since the shot was taken is not silently filled from another's pixels.
TEST(WaylandScreenCutTest, eachScreenGetsItsPartAtItsPixelSize_aScreenOutsideTheShotFails) {
    for (const double scale : {1.0, 2.0}) {
        const QImage shot = desktopShot(scale);
        const Expected<QImage> l = cutScreen(shot, desktopArea, left, QSize(1600, 1000));
        const Expected<QImage> r = cutScreen(shot, desktopArea, right, QSize(2560, 1600));
        ASSERT_TRUE(l && r);
        EXPECT_EQ(l->size(), QSize(1600, 1000));
        EXPECT_TRUE(filledWith(*l, Qt::red)) << scale;
        EXPECT_EQ(r->size(), QSize(2560, 1600));
        EXPECT_TRUE(filledWith(*r, Qt::blue)) << scale;
    }
    const ScreenInfo added{QStringLiteral("HEADLESS-3"), QRect(2880, 0, 800, 600), 1, 3};
    const Expected<QImage> image = cutScreen(desktopShot(1), desktopArea, added, QSize(800, 600));
    ASSERT_FALSE(image);
    EXPECT_TRUE(image.failure().message().contains(QStringLiteral("HEADLESS-3")));
}

} // namespace
} // namespace tovik
