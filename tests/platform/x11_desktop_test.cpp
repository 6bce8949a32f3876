#include "platform/x11/x11_desktop.h"
#include "x11_test_env.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace tovik {
namespace {

using namespace x11test;

class X11DesktopTest : public ::testing::Test {
protected:
    X11Desktop desktop;
    OtherClient observer;
};

TEST_F(X11DesktopTest, frontmostApplication_namesTheActiveWindowsProcessAndClass) {
    PasteReceiver receiver;
    ASSERT_TRUE(receiver.start(QStringLiteral("Probe")));

    const std::optional<AppRef> front = desktop.frontmostApplication();

    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(*front, receiver.app());
    EXPECT_EQ(front->wmClass, QStringLiteral("Probe"));
    EXPECT_NE(front->pid, desktop.processId());
    EXPECT_FALSE(desktop.isActive());
}

TEST_F(X11DesktopTest, activate_anotherWindow_bringsItToTheFrontAndConfirms) {
    PasteReceiver first;
    PasteReceiver second;
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());

    EXPECT_TRUE(desktop.activate(first.app()));
    EXPECT_EQ(observer.activeApp(), first.app());

    QWidget own;
    own.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&own));
    EXPECT_TRUE(desktop.activate(AppRef{quint32(own.winId()), desktop.processId(), {}}));
    EXPECT_TRUE(desktop.isActive());
}

TEST_F(X11DesktopTest, closedDestination_isTerminatedAndCannotBeActivated) {
    PasteReceiver receiver;
    ASSERT_TRUE(receiver.start());
    const AppRef app = receiver.app();
    ASSERT_FALSE(desktop.isTerminated(app));

    receiver.kill();

    // The server destroys the window once it has noticed the closed connection.
    EXPECT_TRUE(QTest::qWaitFor([&] { return desktop.isTerminated(app); }));
    EXPECT_FALSE(desktop.activate(app));
}

TEST_F(X11DesktopTest, windowIdOfAnotherProcess_isTerminated) {
    PasteReceiver receiver;
    ASSERT_TRUE(receiver.start());
    AppRef stale = receiver.app();
    stale.pid += 1;

    EXPECT_TRUE(desktop.isTerminated(stale));
}

TEST_F(X11DesktopTest, applicationActivated_signalsOtherApplicationsOnly) {
    QSignalSpy activated(&desktop, &Desktop::applicationActivated);
    PasteReceiver receiver;
    ASSERT_TRUE(receiver.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return activated.size() == 1; }));
    EXPECT_EQ(activated.at(0).at(0).value<AppRef>(), receiver.app());

    QWidget own;
    own.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&own));
    ASSERT_TRUE(desktop.activate(AppRef{quint32(own.winId()), desktop.processId(), {}}));
    ASSERT_TRUE(desktop.activate(receiver.app()));

    ASSERT_TRUE(QTest::qWaitFor([&] { return activated.size() == 2; }));
    EXPECT_EQ(activated.at(1).at(0).value<AppRef>(), receiver.app());
}

TEST_F(X11DesktopTest, screensChanged_whenMonitorsAreRearranged) {
    QSignalSpy changed(&desktop, &Desktop::screensChanged);

    ASSERT_TRUE(splitIntoTwoMonitors());

    EXPECT_TRUE(QTest::qWaitFor([&] { return changed.size() >= 1; }));
}

} // namespace
} // namespace tovik
