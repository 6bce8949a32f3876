#include "platform/wayland/portal_key_injector.h"

#include "platform/wayland/portal_request.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QPointer>
#include <QSettings>

#include <chrono>

namespace tovik {

const QString PortalKeyInjector::interface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");

namespace {

using namespace std::chrono_literals;

const QString tokenKey = QStringLiteral("remoteDesktopRestoreToken");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
constexpr uint keyboardDevice = 1;
constexpr uint keepUntilRevoked = 2;
constexpr quint32 controlKeysym = 0xffe3; // Control_L
constexpr quint32 vKeysym = 0x0076;
// Creating and selecting show nothing; starting may wait for the user's answer in a dialog.
constexpr auto setUpTime = 30s;
constexpr auto startTime = 10min;
constexpr int probeTimeoutMs = 1000;
constexpr int keyTimeoutMs = 500;

QVariant path(const QString& session) {
    return QVariant::fromValue(QDBusObjectPath(session));
}

} // namespace

PortalKeyInjector::PortalKeyInjector(QDBusConnection bus, QString tokenPath, QObject* parent)
    : QObject(parent)
    , bus_(std::move(bus))
    , tokenPath_(std::move(tokenPath))
    , version_(portalVersion(bus_, interface, probeTimeoutMs)) {}

PortalKeyInjector::~PortalKeyInjector() {
    if (!session_.isEmpty())
        closePortalSession(bus_, session_);
}

QCoro::Task<bool> PortalKeyInjector::requestPermission() {
    if (!version_)
        co_return false;
    if (!session_.isEmpty())
        co_return true;
    const QPointer<PortalKeyInjector> self(this);
    const QString session = co_await startSession();
    if (!self)
        co_return false;
    if (session.isEmpty())
        co_return false;
    session_ = session;
    bus_.connect(portalService, session_, sessionInterface, QStringLiteral("Closed"), this,
                 SLOT(onSessionClosed(QVariantMap)));
    co_return true;
}

QCoro::Task<QString> PortalKeyInjector::startSession() {
    QDBusConnection bus = bus_;
    const uint version = *version_;
    // The calls are built before their co_await: GCC 12 rejects braced lists inside one.
    PortalCall create{interface, QStringLiteral("CreateSession"), {}, {}};
    create.options.insert(QStringLiteral("session_handle_token"), portalToken());
    const Expected<QVariantMap> created =
        co_await requestPortal(bus, create, QDeadlineTimer(setUpTime));
    const QString session = created ? sessionHandle(*created) : QString();
    if (session.isEmpty())
        co_return QString();

    QSettings settings(tokenPath_, QSettings::IniFormat);
    PortalCall select{interface, QStringLiteral("SelectDevices"), {path(session)}, {}};
    select.options.insert(QStringLiteral("types"), keyboardDevice);
    if (version >= 2) {
        select.options.insert(QStringLiteral("persist_mode"), keepUntilRevoked);
        const QString token = settings.value(tokenKey).toString();
        if (!token.isEmpty())
            select.options.insert(QStringLiteral("restore_token"), token);
    }
    const Expected<QVariantMap> selected =
        co_await requestPortal(bus, select, QDeadlineTimer(setUpTime));
    if (!selected) {
        closePortalSession(bus, session);
        co_return QString();
    }
    PortalCall start{interface, QStringLiteral("Start"), {path(session), QString()}, {}};
    const Expected<QVariantMap> started =
        co_await requestPortal(bus, start, QDeadlineTimer(startTime));
    if (!started || !(started->value(QStringLiteral("devices")).toUInt() & keyboardDevice)) {
        closePortalSession(bus, session);
        co_return QString();
    }
    // A token serves once: the next session needs the one this start gave.
    const QString token = started->value(QStringLiteral("restore_token")).toString();
    if (!token.isEmpty()) {
        settings.setValue(tokenKey, token);
        settings.sync();
    }
    co_return session;
}

bool PortalKeyInjector::postPaste(const AppRef&) {
    if (session_.isEmpty())
        return false;
    // The first key tells whether the desktop takes keys from this session; the rest go out
    // in order on the same connection.
    if (!sendKey(controlKeysym, true, true))
        return false;
    sendKey(vKeysym, true, false);
    sendKey(vKeysym, false, false);
    sendKey(controlKeysym, false, false);
    return true;
}

bool PortalKeyInjector::sendKey(quint32 keysym, bool pressed, bool waitForAnswer) {
    QDBusMessage notify = QDBusMessage::createMethodCall(portalService, portalPath, interface,
                                                         QStringLiteral("NotifyKeyboardKeysym"));
    notify.setArguments({path(session_), QVariantMap(), int(keysym), uint(pressed ? 1 : 0)});
    if (!waitForAnswer)
        return bus_.send(notify);
    const QDBusMessage reply = bus_.call(notify, QDBus::Block, keyTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    // A session the desktop no longer knows must be allowed again.
    forgetSession();
    return false;
}

void PortalKeyInjector::onSessionClosed(const QVariantMap&) {
    forgetSession();
}

void PortalKeyInjector::forgetSession() {
    if (session_.isEmpty())
        return;
    bus_.disconnect(portalService, session_, sessionInterface, QStringLiteral("Closed"), this,
                    SLOT(onSessionClosed(QVariantMap)));
    session_.clear();
}

} // namespace tovik
