#include "platform/x11/x11_screen_source.h"
#include "x11_test_env.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace tovik {
namespace {

using namespace x11test;

constexpr QRgb ownColour = 0xffff00ff;

class X11ScreenSourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(splitIntoTwoMonitors()); }

    static QSize pixelSize(const ScreenInfo& screen) {
        return QSize(int(screen.geometry.width() * screen.devicePixelRatio),
                     int(screen.geometry.height() * screen.devicePixelRatio));
    }

    ScreenInfo screenNamed(const QString& name) {
        for (const ScreenInfo& screen : source.screens()) {
            if (screen.name == name)
                return screen;
        }
        ADD_FAILURE() << "no screen " << name.toStdString();
        return {};
    }

    QImage grabbed(const ScreenInfo& screen) {
        Expected<QImage> image = source.grab(screen, pixelSize(screen));
        EXPECT_TRUE(image.ok()) << (image ? "" : image.failure().message().toStdString());
        return image ? *image : QImage();
    }

    X11ScreenSource source;
};

qsizetype countPixels(const QImage& image, QRgb colour) {
    qsizetype count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        count += std::count(row, row + image.width(), colour);
    }
    return count;
}

TEST_F(X11ScreenSourceTest, screens_twoMonitors_inQtsOrderWithOwnIds) {
    const QList<ScreenInfo> screens = source.screens();
    ASSERT_EQ(screens.size(), 2);
    const QList<QScreen*> qtScreens = QGuiApplication::screens();
    for (qsizetype i = 0; i < screens.size(); ++i) {
        EXPECT_EQ(screens[i].name, qtScreens[i]->name());
        EXPECT_EQ(screens[i].geometry, qtScreens[i]->geometry());
        EXPECT_TRUE(screens[i].displayId.has_value());
    }
    EXPECT_NE(screens[0].displayId, screens[1].displayId);
    EXPECT_EQ(screenNamed(QStringLiteral("right")).geometry, QRect(1280, 0, 1280, 1440));
}

TEST_F(X11ScreenSourceTest, grab_patternOnEachMonitor_isCapturedPixelExact) {
    OtherClient painter;
    const QRect onLeft(100, 200, 300, 160);
    const QRect onRight(1280 + 50, 30, 240, 200);
    painter.showImage(onLeft, patternImage(onLeft.size(), 1));
    painter.showImage(onRight, patternImage(onRight.size(), 2));

    const QImage left = grabbed(screenNamed(QStringLiteral("left")));
    const QImage right = grabbed(screenNamed(QStringLiteral("right")));

    ASSERT_EQ(left.size(), QSize(1280, 1440));
    ASSERT_EQ(right.size(), QSize(1280, 1440));
    EXPECT_EQ(left.copy(onLeft), patternImage(onLeft.size(), 1));
    EXPECT_EQ(right.copy(onRight.translated(-1280, 0)), patternImage(onRight.size(), 2));
}

TEST_F(X11ScreenSourceTest, grab_ownWindowHiddenJustBefore_leavesNothingOnScreen) {
    // Under the whole area an application that repaints when uncovered, so that any trace
    // of the window, its frame or its ghost shows.
    const QRect area(300, 300, 700, 600);
    ExposeDrawnWindow below(area, patternImage(area.size(), 3));
    ASSERT_TRUE(below.waitUntilDrawn());
    const ScreenInfo left = screenNamed(QStringLiteral("left"));

    // With a window manager's frame, and without one (as the overlays have).
    for (const Qt::WindowFlags flags :
         {Qt::WindowFlags(Qt::Window), Qt::Window | Qt::X11BypassWindowManagerHint}) {
        QWidget own(nullptr, flags);
        own.setAutoFillBackground(true);
        QPalette palette;
        palette.setColor(QPalette::Window, QColor::fromRgb(ownColour));
        own.setPalette(palette);
        own.setGeometry(450, 450, 300, 200);
        own.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return countPixels(grabbed(left), ownColour) > 0; }));

        own.hide();
        const QImage image = grabbed(left);

        EXPECT_EQ(countPixels(image, ownColour), 0) << flags;
        EXPECT_EQ(image.copy(area), patternImage(area.size(), 3)) << flags;
    }
}

TEST_F(X11ScreenSourceTest, grab_monitorGoneSinceListed_failsWithPlatformError) {
    ScreenInfo gone = screenNamed(QStringLiteral("left"));
    gone.displayId = 1; // no monitor is named by atom 1 (PRIMARY)

    const Expected<QImage> image = source.grab(gone, pixelSize(gone));

    ASSERT_FALSE(image.ok());
    EXPECT_TRUE(image.failure().isPlatform());
}

TEST_F(X11ScreenSourceTest, warmUp_thenGrab_givesTheSameImage) {
    OtherClient painter;
    const QRect spot(10, 10, 64, 64);
    painter.showImage(spot, patternImage(spot.size(), 4));

    source.warmUp();

    EXPECT_EQ(grabbed(screenNamed(QStringLiteral("left"))).copy(spot),
              patternImage(spot.size(), 4));
}

} // namespace
} // namespace tovik
