#include "app/desktop_session_ui.h"
#include "app_window_fixture.h"
#include "platform/x11/x11_sticky_windows.h"
#include "platform/x11_test_env.h"

namespace tovik {
namespace {

using namespace x11test;

constexpr auto allDesktops = "4294967295";

// The real panel under Openbox, next to an application that has the keyboard.
class ToolbarOnX11Test : public AppWindowFixture {
protected:
    ToolbarOnX11Test() { desktopUi.setStore(&desktopStore); }

    QString property(const QWidget& window, const char* name) {
        return QString::fromUtf8(runTool(QStringLiteral("xprop"),
                                         {QStringLiteral("-id"), QString::number(window.winId()),
                                          QString::fromLatin1(name)})
                                     .output);
    }
    bool onEveryDesktop(const QWidget& window) {
        return QTest::qWaitFor(
            [&] { return property(window, "_NET_WM_DESKTOP").contains(allDesktops); });
    }
    void click(const QWidget& widget, QPoint local) {
        const QPoint global = widget.mapToGlobal(local);
        runTool(QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QString::number(global.x()),
                 QString::number(global.y()), QStringLiteral("click"), QStringLiteral("1")});
    }

    X11StickyWindows sticky;
    DesktopSessionUi desktopUi{
        preferences,
        {settingsPath(), FloatingToolbarWindow::currentVisibleAreas, &sticky},
        alertRunner()};
    SessionStore desktopStore{{screens, desktop, clipboard, keys, clock, desktopUi},
                              exportDir.path()};
    OtherClient observer;
};

TEST_F(ToolbarOnX11Test, panel_onEveryDesktopAboveOthers_clicksLeaveFocusWithTheApp) {
    PasteReceiver receiver;
    ASSERT_TRUE(receiver.start());
    desktopStore.showToolbar();
    FloatingToolbarWindow* toolbar = desktopUi.toolbar();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(toolbar));
    EXPECT_EQ(toolbar->geometry(), QRect((2560 - 320) / 2, 1440 - 32 - 56, 320, 56));
    // Openbox keeps a window on all desktops by _NET_WM_DESKTOP alone; it has no sticky state
    ASSERT_TRUE(onEveryDesktop(*toolbar));
    const QString state = property(*toolbar, "_NET_WM_STATE");
    EXPECT_TRUE(state.contains(QStringLiteral("_NET_WM_STATE_ABOVE"))) << state.toStdString();

    // the background, then a button
    const auto* paste = toolbar->findChild<QWidget*>(QStringLiteral("pasteButton"));
    click(*toolbar, QPoint(paste->mapTo(toolbar, QPoint(-12, paste->height() / 2))));
    click(*paste, paste->rect().center());
    QTest::qWait(200);
    EXPECT_EQ(observer.activeApp(), receiver.app());
    EXPECT_TRUE(observer.hasFocus(receiver.app().window));

    // the window manager forgets the desktop of a hidden window: shown again, it is asked again
    desktopStore.showReviewWindow();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !property(*toolbar, "_NET_WM_DESKTOP").contains(allDesktops); }));
    desktopStore.showToolbar();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(toolbar));
    EXPECT_TRUE(onEveryDesktop(*toolbar));
}

} // namespace
} // namespace tovik
