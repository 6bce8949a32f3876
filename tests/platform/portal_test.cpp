// tovik's portal calls against the fake portal of tests/support/fake_portal, each case on a
// private bus of its own.
#include "platform/wayland/portal_hot_key_backend.h"
#include "platform/wayland/portal_key_injector.h"
#include "platform/wayland/portal_request.h"
#include "support/private_bus.h"
#include "support/task_result.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace tovik {
namespace {

using namespace std::chrono_literals;

const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
constexpr quint32 keysymS = 's';
constexpr quint16 ctrlShift = ModifierMask::control | ModifierMask::shift;

class PortalTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(bus.problem(), QString()); }

    bool logged(const QString& entry) const {
        return QTest::qWaitFor([&] { return bus.portalLog().contains(entry); });
    }
    QCoro::Task<Expected<QVariantMap>> createSession(QDeadlineTimer deadline) {
        PortalCall call{shortcutsInterface, QStringLiteral("CreateSession"), {}, {}};
        call.options.insert(QStringLiteral("session_handle_token"), QStringLiteral("s1"));
        return requestPortal(bus.connection(), call, deadline);
    }

    PrivateBus bus;
};

TEST_F(PortalTest, requestPortal_keepsAResponseSentBeforeTheReply) {
    ASSERT_TRUE(bus.startPortal({QStringLiteral("--answer"), QStringLiteral("before")}));
    const auto result = waitForTask(createSession(QDeadlineTimer(5s)));
    ASSERT_TRUE(result && *result) << (result ? qPrintable(result->failure().message()) : "");
    EXPECT_TRUE((*result)->value(QStringLiteral("session_handle")).toString().endsWith("/s1"));
}

TEST_F(PortalTest, requestPortal_givesUpAtTheDeadline_andClosesTheRequest) {
    ASSERT_TRUE(bus.startPortal({QStringLiteral("--answer"), QStringLiteral("never")}));
    QElapsedTimer clock;
    clock.start();
    const auto result = waitForTask(createSession(QDeadlineTimer(300ms)));
    ASSERT_TRUE(result);
    ASSERT_FALSE(*result);
    EXPECT_TRUE(result->failure().is(PortalError::noAnswer))
        << qPrintable(result->failure().message());
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_TRUE(logged(QStringLiteral("Request.Close")));
}

TEST_F(PortalTest, withoutThePortal_grabsNothing_sendsNoKeys) {
    // No portal on the bus at all: the bus says so at once.
    PortalHotKeyBackend nothing(bus.connection());
    EXPECT_FALSE(nothing.canGrab());
    EXPECT_FALSE(nothing.grab(keysymS, ctrlShift));
    const auto call = waitForTask(createSession(QDeadlineTimer(5s)));
    ASSERT_TRUE(call && !*call);
    EXPECT_TRUE(call->failure().is(PortalError::unavailable));
    PortalKeyInjector keys(QDBusConnection(QStringLiteral("no such bus")), QString());
    EXPECT_FALSE(keys.reachesOtherApps());
    EXPECT_EQ(waitForTask(keys.requestPermission()), false);

    // A portal without GlobalShortcuts.
    ASSERT_TRUE(bus.startPortal({QStringLiteral("--without"), QStringLiteral("GlobalShortcuts")}));
    PortalHotKeyBackend other(bus.connection());
    EXPECT_FALSE(other.canGrab());
    EXPECT_FALSE(other.grab(keysymS, ctrlShift));
    EXPECT_FALSE(bus.portalLog().contains(QStringLiteral("GlobalShortcuts.CreateSession")));
}

TEST_F(PortalTest, hotKey_bindsTheTrigger_pressesOnActivated_ungrabCloses_closedByDesktopIsLost) {
    ASSERT_TRUE(bus.startPortal());
    PortalHotKeyBackend backend(bus.connection());
    QSignalSpy pressed(&backend, &HotKeyBackend::pressed);
    QSignalSpy lost(&backend, &HotKeyBackend::grabLost);
    ASSERT_TRUE(backend.canGrab());
    ASSERT_TRUE(backend.grab(keysymS, ctrlShift));
    ASSERT_TRUE(logged(QStringLiteral("bound capture CTRL+SHIFT+s Start a capture session")));

    ASSERT_EQ(bus.activate(QStringLiteral("capture")), 1u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !pressed.isEmpty(); }));
    EXPECT_EQ(bus.activate(QStringLiteral("other")), 0u);

    backend.ungrab();
    ASSERT_TRUE(logged(QStringLiteral("Session.Close")));
    EXPECT_EQ(bus.activate(QStringLiteral("capture")), 0u);
    EXPECT_TRUE(lost.isEmpty());

    // Grabbed again, then the desktop closes the session.
    ASSERT_TRUE(backend.grab(keysymS, ctrlShift));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bus.activate(QStringLiteral("capture")) == 1u; }));
    bus.closeSessions();
    ASSERT_TRUE(lost.wait(5000));
    EXPECT_EQ(lost.size(), 1);
}

TEST_F(PortalTest, hotKey_refusedByTheDesktop_isLost_andItsSessionClosed) {
    ASSERT_TRUE(bus.startPortal(
        {QStringLiteral("--refuse"), QStringLiteral("GlobalShortcuts.BindShortcuts")}));
    PortalHotKeyBackend backend(bus.connection());
    QSignalSpy lost(&backend, &HotKeyBackend::grabLost);
    // The refusal comes after grab() has answered.
    ASSERT_TRUE(backend.grab(keysymS, ctrlShift));
    ASSERT_TRUE(lost.wait(5000));
    // The refused session is not left open.
    EXPECT_TRUE(logged(QStringLiteral("Session.Close")));
}

// The paste keys through RemoteDesktop: allowed once, the consent kept for the next run, asked
// again once the desktop ended the session.
TEST_F(PortalTest, keys_allowedOnce_sentInOrder_consentKept_endedByDesktopMustBeAllowedAgain) {
    ASSERT_TRUE(bus.startPortal());
    QTemporaryDir config;
    const QString settings = config.filePath(QStringLiteral("tovik.conf"));
    {
        PortalKeyInjector keys(bus.connection(), settings);
        ASSERT_TRUE(keys.reachesOtherApps());
        EXPECT_FALSE(keys.hasPermission() || keys.postPaste({}));
        ASSERT_EQ(waitForTask(keys.requestPermission()), true);
        EXPECT_TRUE(bus.portalLog().contains(QStringLiteral("select types=1 persist=2 token=")));
        ASSERT_TRUE(keys.postPaste({}));
        ASSERT_TRUE(logged(QStringLiteral("key 65507 0")));
        const QStringList sent = bus.portalLog().filter(QRegularExpression("^key "));
        EXPECT_EQ(sent.join(", ").toStdString(), "key 65507 1, key 118 1, key 118 0, key 65507 0");
    }
    // The next run's session is opened with the token the first start gave.
    PortalKeyInjector again(bus.connection(), settings);
    ASSERT_EQ(waitForTask(again.requestPermission()), true);
    EXPECT_TRUE(bus.portalLog().contains(QStringLiteral("select types=1 persist=2 token=token-1")));
    bus.closeSessions();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !again.hasPermission(); }));
    EXPECT_FALSE(again.postPaste({}));
}

TEST_F(PortalTest, keys_refused_leaveNoSessionAndSendNothing) {
    // A refusal leaves no session open and nothing to send keys through.
    ASSERT_TRUE(
        bus.startPortal({QStringLiteral("--refuse"), QStringLiteral("RemoteDesktop.Start")}));
    QTemporaryDir config;
    PortalKeyInjector refused(bus.connection(), config.filePath(QStringLiteral("tovik.conf")));
    EXPECT_EQ(waitForTask(refused.requestPermission()), false);
    EXPECT_TRUE(logged(QStringLiteral("Session.Close")));
    EXPECT_FALSE(refused.hasPermission() || refused.postPaste({}));
}

TEST(PortalTrigger, namesTheModifiersAndTheKey_refusesKeysItCannotName) {
    EXPECT_EQ(PortalHotKeyBackend::trigger('s', ctrlShift), QStringLiteral("CTRL+SHIFT+s"));
    EXPECT_EQ(PortalHotKeyBackend::trigger('7', ModifierMask::alt | ModifierMask::super),
              QStringLiteral("ALT+LOGO+7"));
    EXPECT_EQ(PortalHotKeyBackend::trigger(0xff0d /* Return */, ctrlShift), std::nullopt);
    EXPECT_EQ(PortalHotKeyBackend::trigger('s', ModifierMask::control | 0x10 /* NumLock */),
              std::nullopt);
}

} // namespace
} // namespace tovik
