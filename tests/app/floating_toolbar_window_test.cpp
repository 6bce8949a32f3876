#include "app/floating_toolbar.h"
#include "app/floating_toolbar_window.h"
#include "app_window_fixture.h"

#include <QMouseEvent>
#include <QSettings>

namespace tovik {
namespace {

using Window = FloatingToolbarWindow;

const QRect left(0, 0, 1920, 1080);
const QRect right(1920, 0, 1920, 1080);

TEST(ToolbarPlacement, firstLaunch_centredWithBottom32AboveVisibleArea) {
    // a top panel takes 30 points: the visible area starts lower and ends at 1080
    EXPECT_EQ(Window::initialFrame({QRect(0, 30, 1920, 1050), right}),
              QRect(800, 1080 - 32 - 56, 320, 56));
    EXPECT_EQ(Window::initialFrame({}), QRect(440, 800 - 32 - 56, 320, 56));
}

TEST(ToolbarPlacement, savedOnDisconnectedScreen_movesInsideRemainingOne) {
    EXPECT_EQ(Window::placement(QRect(3000, 500, 320, 56), {left}), QPoint(1600, 500));
    // overlapping nothing: the first screen, clamped at its nearest edges
    EXPECT_EQ(Window::placement(QRect(-500, 2000, 320, 56), {left, QRect(1920, 0, 1280, 1024)}),
              QPoint(0, 1080 - 56));
}

TEST(ToolbarPlacement, halfOverTwoScreens_movesOntoLargerShare) {
    EXPECT_EQ(Window::placement(QRect(1700, 500, 320, 56), {left, right}), QPoint(1600, 500));
    EXPECT_EQ(Window::placement(QRect(1800, 500, 320, 56), {left, right}), QPoint(1920, 500));
}

TEST(ToolbarPlacement, equalShares_keepScreenListedFirst) {
    const QRect straddling(1760, 500, 320, 56);
    EXPECT_EQ(Window::placement(straddling, {left, right}), QPoint(1600, 500));
    EXPECT_EQ(Window::placement(straddling, {right, left}), QPoint(1920, 500));
}

TEST(ToolbarPlacement, largerThanArea_keepsLeftAndBottomEdges) {
    EXPECT_EQ(Window::placement(QRect(50, 50, 320, 222), {QRect(10, 0, 300, 200)}),
              QPoint(10, 200 - 222));
}

TEST(ToolbarPlacement, noScreens_placesNothing) {
    EXPECT_EQ(Window::placement(QRect(50, 50, 320, 56), {}), std::nullopt);
}

class ToolbarWindowTest : public AppWindowFixture {
protected:
    std::unique_ptr<Window> makeWindow() {
        return std::make_unique<Window>(
            store, preferences, Window::Environment{settingsPath(), [this] { return areas; }});
    }
    QVariant storedPosition() const {
        return QSettings(settingsPath(), QSettings::IniFormat).value(Window::settingsKey);
    }
    void storePosition(const QVariant& value) {
        QSettings settings(settingsPath(), QSettings::IniFormat);
        settings.setValue(Window::settingsKey, value);
    }
    // A mouse event as the window system sends it, on a child at a global position.
    static void mouse(QWidget* target, QEvent::Type type, QPoint global) {
        const QPointF local = target->mapFromGlobal(QPointF(global));
        QMouseEvent event(type, local, QPointF(global), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }

    QList<QRect> areas{left, right};
};

TEST_F(ToolbarWindowTest, creation_savedOnDisconnectedScreen_landsFoldedOnRemainingOne) {
    storePosition(QPoint(2500, 300));
    store.setToolbarExpanded(true);
    areas = {left};
    const auto window = makeWindow();
    // at the remaining screen's right edge, at the saved height; the size is never restored
    EXPECT_EQ(window->geometry(), QRect(1920 - 320, 300, 320, 56));
}

TEST_F(ToolbarWindowTest, creation_corruptSavedPosition_usesFirstLaunchPlace) {
    storePosition(QStringLiteral("somewhere"));
    const auto window = makeWindow();
    EXPECT_EQ(window->geometry(), Window::initialFrame(areas));
}

TEST_F(ToolbarWindowTest, move_savesPosition_nextPanelStartsThere) {
    {
        const auto window = makeWindow();
        window->show();
        window->move(2000, 100);
        QTest::qWait(1);
    }
    EXPECT_EQ(storedPosition(), QVariant(QPoint(2000, 100)));
    EXPECT_EQ(makeWindow()->pos(), QPoint(2000, 100));
}

TEST_F(ToolbarWindowTest, dragOnBackground_movesPanel_controlsDoNot) {
    const auto window = makeWindow();
    window->show();
    const QPoint start = window->pos();
    auto* bar = child<QWidget>(*window, "controlBar");
    ASSERT_NE(bar, nullptr);
    // the flexible space between the strip toggle and Paste
    auto* paste = child<QWidget>(*window, "pasteButton");
    const QPoint gap = bar->mapToGlobal(QPoint(paste->x() - 12, bar->height() / 2));
    mouse(bar, QEvent::MouseButtonPress, gap);
    mouse(bar, QEvent::MouseMove, gap + QPoint(-300, -200));
    mouse(bar, QEvent::MouseButtonRelease, gap + QPoint(-300, -200));
    EXPECT_EQ(window->pos(), start + QPoint(-300, -200));

    auto* capture = child<QWidget>(*window, "captureButton");
    const QPoint onButton = capture->mapToGlobal(capture->rect().center());
    mouse(capture, QEvent::MouseButtonPress, onButton);
    mouse(capture, QEvent::MouseMove, onButton + QPoint(50, 0));
    mouse(capture, QEvent::MouseButtonRelease, onButton + QPoint(50, 0));
    EXPECT_EQ(window->pos(), start + QPoint(-300, -200));
}

} // namespace
} // namespace tovik
