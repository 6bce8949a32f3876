// The private Wayland desktop of tests/support/with_wayland.sh, checked with a Qt window and
// standard clients: what the backend's tests take for granted.
#include "support/wayland_test_env.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace tovik {
namespace {

using namespace waylandtest;

TEST(WaylandBed, clipboardOfAQtWindowReachesOtherClients) {
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isActiveWindow(); }, 10000));
    ASSERT_TRUE(giveKeySerial(window.windowHandle()));
    const QString text = QStringLiteral("tovik bed %1").arg(QCoreApplication::applicationPid());
    QGuiApplication::clipboard()->setText(text);

    ToolResult types;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            types = runTool("wl-paste", {"--list-types"});
            return types.output.split('\n').contains("text/plain;charset=utf-8");
        },
        10000))
        << types.output.constData();
    EXPECT_EQ(runTool("wl-paste", {"--no-newline"}).output, text.toUtf8());
}

TEST(WaylandBed, portalScreenshotShowsEveryOutputInItsColour) {
    const QList<TestScreen> screens = testScreens();
    ASSERT_GE(screens.size(), 2);
    QRect desktop;
    for (const TestScreen& screen : screens)
        desktop |= screen.geometry;

    const QImage shot = portalScreenshot();
    ASSERT_FALSE(shot.isNull());
    ASSERT_EQ(shot.size(), desktop.size());
    for (const TestScreen& screen : screens) {
        const QRect area = screen.geometry.translated(-desktop.topLeft());
        for (const QPoint at : {area.topLeft(), area.center(), area.bottomRight()})
            EXPECT_EQ(shot.pixelColor(at), screen.background) << screen.name.toStdString();
    }
}

// Logs the mouse as Qt delivers it.
class MouseLog : public QWidget {
public:
    struct Event {
        QEvent::Type type;
        QPoint at;
    };
    QList<Event> events;

protected:
    void mousePressEvent(QMouseEvent* e) override { log(e); }
    void mouseMoveEvent(QMouseEvent* e) override { log(e); }
    void mouseReleaseEvent(QMouseEvent* e) override { log(e); }

private:
    void log(QMouseEvent* e) { events.append({e->type(), e->position().toPoint()}); }
};

TEST(WaylandBed, pointerDragsFromOneOutputOntoTheOther) {
    const QList<TestScreen> screens = testScreens();
    ASSERT_GE(screens.size(), 2);
    MouseLog window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 10000));
    // Where sway put the window, once Qt has taken the size sway gave it.
    std::optional<QRect> content;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            content = windowContent(QCoreApplication::applicationPid());
            return content && content->size() == window.size();
        },
        10000));
    ASSERT_TRUE(screens[0].geometry.contains(*content));

    // Each step a call of its own: the button stays down in between.
    const QPoint start = content->topLeft() + QPoint(100, 50);
    const QPoint end = screens[1].geometry.center();
    ASSERT_TRUE(pointer({"move", QString::number(start.x()), QString::number(start.y())}));
    ASSERT_TRUE(pointer({"press"}));
    ASSERT_TRUE(pointer({"move", QString::number(end.x()), QString::number(end.y())}));
    ASSERT_TRUE(pointer({"release"}));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !window.events.empty() &&
                   window.events.back().type == QEvent::MouseButtonRelease;
        },
        10000));

    QList<MouseLog::Event> drag;
    for (const MouseLog::Event& e : window.events) {
        if (e.type == QEvent::MouseButtonPress || !drag.empty())
            drag.append(e);
    }
    ASSERT_EQ(drag.size(), 3);
    EXPECT_EQ(drag[0].at, start - content->topLeft());
    EXPECT_EQ(drag[1].type, QEvent::MouseMove);
    EXPECT_EQ(drag[1].at, end - content->topLeft()); // past the window's edge: a drag's grab
    EXPECT_EQ(drag[2].at, end - content->topLeft());
}

} // namespace
} // namespace tovik
