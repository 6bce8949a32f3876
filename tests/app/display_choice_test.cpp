// Which window system tovik runs on, from the session's environment.
#include "app/display_choice.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

using Kind = DisplayChoice::Kind;

TEST(DisplayChoiceTest, waylandSessionsRunOnWaylandUnlessToldToUseXWayland) {
    const QString x = QStringLiteral(":0"), w = QStringLiteral("wayland-0");
    const QString wayland = QStringLiteral("wayland"), xcb = QStringLiteral("xcb");
    // An X11 session as today, even with a stray WAYLAND_DISPLAY unset; a Wayland session,
    // with XWayland's DISPLAY set as it always is there.
    EXPECT_EQ(chooseDisplay({x, {}, QStringLiteral("x11"), {}}).kind, Kind::x11);
    EXPECT_EQ(chooseDisplay({x, {}, {}, xcb}).kind, Kind::x11);
    EXPECT_EQ(chooseDisplay({x, w, wayland, {}}).kind, Kind::wayland);
    EXPECT_EQ(chooseDisplay({{}, w, {}, wayland}).kind, Kind::wayland);
    EXPECT_EQ(chooseDisplay({{}, {}, {}, {}}).kind, Kind::refused);

    // XWayland would capture a screen without the Wayland windows: refused, in a window too.
    const DisplayChoice xwayland = chooseDisplay({x, w, wayland, xcb});
    EXPECT_TRUE(xwayland.kind == Kind::refused && xwayland.shown);
    EXPECT_TRUE(xwayland.problem.contains(QStringLiteral("QT_QPA_PLATFORM=xcb")));
    const DisplayChoice noSocket = chooseDisplay({x, {}, wayland, {}});
    EXPECT_TRUE(noSocket.kind == Kind::refused && noSocket.problem.contains("WAYLAND_DISPLAY"));
}

} // namespace
} // namespace tovik
