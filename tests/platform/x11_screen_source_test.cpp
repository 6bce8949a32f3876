#include "platform/x11/x11_screen_source.h"
#include "support/task_result.h"
#include "x11_test_env.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

namespace tovik {
namespace {

using namespace x11test;

// A test pattern in which every pixel differs from its neighbours.
QImage pattern(QSize size, quint32 seed) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 7 + seed, y * 13 + seed, x + y + seed * 3));
    return image;
}

Expected<QImage> grabNow(X11ScreenSource& source, const ScreenInfo& screen, QSize size) {
    return waitForTask(source.grab(screen, size), 30000).value(); // throws, so fails, if late
}

// An undecorated window of another client at the bottom of the stack that, like a real
// application, draws its image only when the server asks for it (Expose), from a thread.
class PaintedWindow {
public:
    PaintedWindow(const QRect& rect, QImage image)
        : conn_(xcb_connect(nullptr, nullptr))
        , rect_(rect)
        , image_(std::move(image)) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
        const quint32 values[] = {1, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window_, screen->root, qint16(rect.x()),
                          qint16(rect.y()), quint16(rect.width()), quint16(rect.height()), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        const quint32 below = XCB_STACK_MODE_BELOW;
        xcb_configure_window(conn_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &below);
        xcb_map_window(conn_, window_);
        xcb_flush(conn_);
        thread_ = std::thread([this, depth = screen->root_depth] {
            const xcb_gcontext_t gc = xcb_generate_id(conn_);
            xcb_create_gc(conn_, gc, window_, 0, nullptr);
            while (xcb_generic_event_t* event = xcb_wait_for_event(conn_)) {
                const int type = event->response_type & 0x7f;
                std::free(event);
                if (type == XCB_DESTROY_NOTIFY)
                    return;
                if (type == XCB_EXPOSE) // xcb sends it as a BIG-REQUESTS request where needed
                    xcb_put_image(conn_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc,
                                  quint16(image_.width()), quint16(image_.height()), 0, 0, 0, depth,
                                  quint32(image_.sizeInBytes()), image_.constBits());
                xcb_flush(conn_);
                draws_ += type == XCB_EXPOSE;
            }
        });
    }
    ~PaintedWindow() {
        xcb_destroy_window(conn_, window_);
        xcb_flush(conn_);
        thread_.join();
        xcb_disconnect(conn_);
    }
    // Drawn, and on the screen, which a compositor shows a frame or more later. (RGB32 images
    // compare without the byte the server leaves at zero.)
    bool waitUntilDrawn() {
        return QTest::qWaitFor([this] { return draws_ > 0 && rootPixels(rect_) == image_; });
    }

private:
    xcb_connection_t* conn_;
    QRect rect_;
    xcb_window_t window_ = xcb_generate_id(conn_);
    QImage image_;
    std::atomic<int> draws_ = 0;
    std::thread thread_;
};

bool serverHas(const char* extension) {
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    xcb_query_extension_reply_t* reply = xcb_query_extension_reply(
        conn, xcb_query_extension(conn, uint16_t(strlen(extension)), extension), nullptr);
    const bool present = reply && reply->present;
    std::free(reply);
    xcb_disconnect(conn);
    return present;
}

// Before the screen is split into monitors, so it runs first: one output, as Xvfb starts.
// CTest runs it again on a server without RandR, where the one screen is the whole root.
TEST(X11ScreenSourceBeforeRandrMonitors, theOutputOrTheWholeScreen_matchesQtsScreen_grabIsExact) {
    ASSERT_EQ(QGuiApplication::screens().size(), 1);
    const QRect area(1700, 900, 300, 160);
    PaintedWindow window(area, pattern(area.size(), 4));
    ASSERT_TRUE(window.waitUntilDrawn());
    X11ScreenSource source(2); // what a server with RandR 1.2 to 1.4 offers

    const QList<ScreenInfo> screens = source.screens();
    ASSERT_EQ(screens.size(), 1);
    EXPECT_TRUE(screens[0].displayId.has_value());
    const Expected<QImage> image = grabNow(source, screens[0], QSize(2560, 1440));
    ASSERT_TRUE(image.ok()) << image.failure().message().toStdString();
    EXPECT_EQ(image->copy(area), pattern(area.size(), 4));
}

class X11ScreenSourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(splitIntoTwoMonitors()); }

    // As a capture does: the windows hidden a moment ago settle, then the screen is grabbed.
    QImage grabbed(const QString& name) {
        QCoro::waitFor(source.settle());
        for (const ScreenInfo& screen : source.screens()) {
            if (screen.name != name)
                continue;
            Expected<QImage> image = grabNow(source, screen, screen.geometry.size());
            EXPECT_TRUE(image.ok()) << (image ? "" : image.failure().message().toStdString());
            return image ? *image : QImage();
        }
        ADD_FAILURE() << "no screen " << name.toStdString();
        return {};
    }

    X11ScreenSource source;
};

TEST_F(X11ScreenSourceTest, grab_patternOnEachMonitor_isPixelExactInQtsOrderAndSize) {
    const QRect onLeft(100, 200, 300, 160);
    const QRect onRight(1280 + 50, 30, 240, 200);
    PaintedWindow leftWindow(onLeft, pattern(onLeft.size(), 1));
    PaintedWindow rightWindow(onRight, pattern(onRight.size(), 2));
    ASSERT_TRUE(leftWindow.waitUntilDrawn() && rightWindow.waitUntilDrawn());
    // Run twice by CTest: on a server with MIT-SHM and on one without.
    EXPECT_EQ(serverHas("MIT-SHM"), !qgetenv("TOVIK_XVFB_ARGS").contains("-extension MIT-SHM"));
    source.warmUp(); // the buffers made ahead serve the grabs that follow

    const QList<ScreenInfo> screens = source.screens();
    ASSERT_EQ(screens.size(), 2);
    for (qsizetype i = 0; i < 2; ++i) {
        EXPECT_EQ(screens[i].name, QGuiApplication::screens()[i]->name());
        EXPECT_EQ(screens[i].geometry, QGuiApplication::screens()[i]->geometry());
        ASSERT_TRUE(screens[i].displayId.has_value());
    }
    EXPECT_NE(screens[0].displayId, screens[1].displayId);

    const QImage left = grabbed("left");
    const QImage right = grabbed("right");
    ASSERT_EQ(left.size(), QSize(1280, 1440));
    ASSERT_EQ(right.size(), QSize(1280, 1440));
    EXPECT_EQ(left.copy(onLeft), pattern(onLeft.size(), 1));
    EXPECT_EQ(right.copy(onRight.translated(-1280, 0)), pattern(onRight.size(), 2));

    // The grabber writes its images again for later grabs, never one a snapshot still holds.
    const QImage leftBefore = left.copy();
    const QRect later(500, 700, 200, 120);
    PaintedWindow laterWindow(later, pattern(later.size(), 3));
    ASSERT_TRUE(laterWindow.waitUntilDrawn());
    for (int round = 0; round < 2; ++round) {
        const QImage again = grabbed("left");
        EXPECT_EQ(again.copy(later), pattern(later.size(), 3)) << round;
    }
    EXPECT_EQ(left, leftBefore);
    EXPECT_EQ(right.copy(onRight.translated(-1280, 0)), pattern(onRight.size(), 2));
}

TEST_F(X11ScreenSourceTest, grab_ownWindowHiddenJustBefore_leavesNothingOnScreen) {
    // Under the whole area an application that repaints when uncovered, so that any trace
    // of the window, its frame or its ghost shows.
    const QRect area(300, 300, 700, 600);
    PaintedWindow below(area, pattern(area.size(), 3));
    ASSERT_TRUE(below.waitUntilDrawn());
    const auto ownPixels = [](const QImage& image) {
        const auto* pixels = reinterpret_cast<const QRgb*>(image.constBits());
        return std::count(pixels, pixels + image.sizeInBytes() / 4, QRgb(0xffff00ff));
    };

    // With a window manager's frame, without one (as the overlays have), and as the floating
    // toolbar is: grabbed the moment after it is first on the screen, fifty times over.
    const struct {
        Qt::WindowFlags flags;
        int runs;
    } windows[] = {
        {Qt::Window, 1},
        {Qt::Window | Qt::X11BypassWindowManagerHint, 1},
        {Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint, 50},
    };
    for (const auto& [flags, runs] : windows) {
        for (int run = 0; run < runs; ++run) {
            QWidget own(nullptr, flags);
            own.setStyleSheet("background: #ff00ff");
            own.setGeometry(450, 450, 300, 200);
            own.show();
            ASSERT_TRUE(QTest::qWaitFor([&] { return ownPixels(grabbed("left")) > 0; }));

            source.windowsWillHide(); // as the session does before it hides its windows
            own.hide();
            const QImage image = grabbed("left");

            ASSERT_EQ(ownPixels(image), 0) << flags << " run " << run;
            ASSERT_EQ(image.copy(area), pattern(area.size(), 3)) << flags << " run " << run;
        }
    }
}

} // namespace
} // namespace tovik
