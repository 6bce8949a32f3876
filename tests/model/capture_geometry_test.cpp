#include "model/capture_geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace tovik {
namespace {

using namespace CaptureGeometry;

const QRectF display(0, 0, 1440, 900);

TEST(CaptureGeometry, selectionAndClamp_normaliseAndStopAtTheEdges) {
    EXPECT_EQ(selectionRect({100, 80}, {40, 20}, display), QRectF(40, 20, 60, 60));
    EXPECT_EQ(selectionRect({1400, 100}, {1500, 200}, display), QRectF(1400, 100, 40, 100));
    EXPECT_EQ(clampRect(QRectF(50, 50, -20, -30), display), QRectF(30, 20, 20, 30));
    EXPECT_EQ(clampRect(QRectF(1441, 0, 10, 10), display), std::nullopt);
    EXPECT_EQ(clampRect(QRectF(1440, 10, 10, 10), display), QRectF(1440, 10, 0, 10)); // touching
    EXPECT_EQ(clampRect(QRectF(std::nan(""), 0, 10, 10), display), std::nullopt);
    // Recomputing the width from the edges would be off in the last bits, which QRectF's
    // fuzzy operator== hides: compare the sides exactly.
    const auto sides = [](const QRectF& r) {
        return std::array{r.x(), r.y(), r.width(), r.height()};
    };
    const QRectF inside(0.1, 10.1, 0.2, 0.7);
    EXPECT_EQ(sides(clampRect(inside, display).value_or(QRectF())), sides(inside));

    const QRectF r(10, 20, 100, 50);
    EXPECT_EQ(clampPoint({-5, 500}, r), QPointF(10, 70));
    EXPECT_EQ(clampPoint({30.5, 40.25}, r), QPointF(30.5, 40.25));
    EXPECT_EQ(clampPoint({0, 0}, QRectF(110, 70, -100, -50)), QPointF(10, 20));
}

TEST(CaptureGeometry, pixelRect_roundsOutwardsCutToTheImage_byteEstimateTruncatesAndSaturates) {
    // Scaled (20.5, 41, 11, 8.5): near edges 20.5 -> 20, 41 -> 41; far 31.5 -> 32, 49.5 -> 50.
    EXPECT_EQ(pixelRect(QRectF(10.25, 20.5, 5.5, 4.25), 2, 2880, 1800), QRect(20, 41, 12, 9));
    // 2880 pixels over 1440 points, although 1799 is not twice the 900-point height.
    EXPECT_EQ(pixelRect(QRectF(100, 100, 50, 50), 2, 2880, 1799), QRect(200, 200, 100, 100));
    EXPECT_EQ(pixelRect(display, 2, 2880, 1799), QRect(0, 0, 2880, 1799));
    EXPECT_EQ(pixelRect(QRectF(-5.5, 10, 20, 20), 1, 100, 100), QRect(0, 10, 15, 20));
    EXPECT_EQ(pixelRect(QRectF(1440, 0, 10, 10), 2, 2880, 1800), std::nullopt); // touches
    EXPECT_EQ(pixelRect(QRectF(7, 7, 0, 0), 2, 2880, 1800), std::nullopt);

    EXPECT_EQ(estimatedByteCount(QRectF(0, 0, 100.2, 50.3), 1.5), 150 * 75 * 4);
    EXPECT_EQ(estimatedByteCount(QRectF(3, 3, 10.7, 10.9), 1), 10 * 10 * 4);
    const qint64 ceiling = qint64(1) << 62;
    EXPECT_EQ(estimatedByteCount(QRectF(0, 0, 1e300, 1e300), 2), ceiling);
    EXPECT_EQ(estimatedByteCount(QRectF(0, 0, 10, 10), std::nan("")), ceiling);
}

} // namespace
} // namespace tovik
