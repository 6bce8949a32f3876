#include "platform/wayland/portal_request.h"

#include "platform/signal_wait.h"

#include <QCoro/QCoroDBusPendingCall>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QObject>
#include <QRandomGenerator>

#include <memory>

namespace tovik {

QString message(PortalError error) {
    switch (error) {
    case PortalError::unavailable:
        return QStringLiteral("This desktop offers no portal for it (xdg-desktop-portal and a "
                              "backend for this desktop must be installed and running).");
    case PortalError::refused:
        return QStringLiteral("The desktop refused the request.");
    case PortalError::failed:
        return QStringLiteral("The desktop portal could not carry out the request.");
    case PortalError::noAnswer:
        return QStringLiteral("The desktop portal did not answer in time.");
    }
    return {};
}

namespace {

// Holds the Response of one Request object once it arrives.
class ResponseCatcher final : public QObject {
    Q_OBJECT
public:
    std::optional<std::pair<uint, QVariantMap>> response;

public Q_SLOTS:
    void onResponse(uint code, const QVariantMap& results) {
        if (response)
            return;
        response.emplace(code, results);
        Q_EMIT answered();
    }

Q_SIGNALS:
    void answered();
};

// The Request path a portal uses for a handle token, so that its Response, which may come
// before the call's own reply, is not missed.
QString requestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return portalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

bool listen(QDBusConnection& bus, const QString& path, ResponseCatcher* catcher) {
    return bus.connect(portalService, path, QStringLiteral("org.freedesktop.portal.Request"),
                       QStringLiteral("Response"), catcher, SLOT(onResponse(uint, QVariantMap)));
}

Failure callFailure(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
        name == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface") ||
        name == QLatin1String("org.freedesktop.DBus.Error.UnknownObject"))
        return Failure::of(PortalError::unavailable);
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
        return Failure::of(PortalError::noAnswer);
    if (name == QLatin1String("org.freedesktop.portal.Error.NotAllowed"))
        return Failure::of(PortalError::refused);
    return Failure::platform(message(PortalError::failed) + QLatin1Char(' ') +
                             reply.errorMessage());
}

int timeoutMs(const QDeadlineTimer& deadline) {
    if (deadline.isForever())
        return -1; // the bus's default
    return static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1));
}

QCoro::Task<QDBusMessage> send(QDBusConnection bus, QDBusMessage call, QDeadlineTimer deadline) {
    QDBusPendingCall pending = bus.asyncCall(call, timeoutMs(deadline));
    co_return co_await pending;
}

} // namespace

QCoro::Task<Expected<QVariantMap>> requestPortal(QDBusConnection bus, PortalCall call,
                                                 QDeadlineTimer deadline) {
    if (!bus.isConnected())
        co_return Failure::of(PortalError::unavailable);
    const QString token = portalToken();
    call.options.insert(QStringLiteral("handle_token"), token);
    const QString expected = requestPath(bus, token);
    auto catcher = std::make_unique<ResponseCatcher>();
    listen(bus, expected, catcher.get());

    QDBusMessage message =
        QDBusMessage::createMethodCall(portalService, portalPath, call.interface, call.method);
    message.setArguments(call.arguments + QVariantList{call.options});
    const QDBusMessage reply = co_await send(bus, message, deadline);
    if (reply.type() == QDBusMessage::ErrorMessage)
        co_return callFailure(reply);
    // Portals before 0.9 choose the path themselves.
    const QString path = reply.arguments().value(0).value<QDBusObjectPath>().path();
    if (!path.isEmpty() && path != expected)
        listen(bus, path, catcher.get());

    if (!catcher->response)
        co_await waitForSignal(catcher.get(), &ResponseCatcher::answered, deadline);
    if (!catcher->response) {
        // Nobody waits for the answer any more: the desktop may drop its dialog.
        bus.asyncCall(QDBusMessage::createMethodCall(
            portalService, path.isEmpty() ? expected : path,
            QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close")));
        co_return Failure::of(PortalError::noAnswer);
    }
    const auto& [code, results] = *catcher->response;
    if (code == 0)
        co_return results;
    co_return Failure::of(code == 1 ? PortalError::refused : PortalError::failed);
}

std::optional<uint> portalVersion(QDBusConnection& bus, const QString& interface, int timeoutMs) {
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage get = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get.setArguments({interface, QStringLiteral("version")});
    const QDBusMessage reply = bus.call(get, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    bool ok = false;
    const uint version = reply.arguments().value(0).value<QDBusVariant>().variant().toUInt(&ok);
    if (!ok || version == 0)
        return std::nullopt;
    return version;
}

QString portalToken() {
    return QStringLiteral("tovik%1").arg(QRandomGenerator::global()->generate());
}

QString sessionHandle(const QVariantMap& results) {
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    if (handle.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return handle.value<QDBusObjectPath>().path();
    return handle.toString();
}

void closePortalSession(QDBusConnection& bus, const QString& session) {
    bus.asyncCall(QDBusMessage::createMethodCall(portalService, session,
                                                 QStringLiteral("org.freedesktop.portal.Session"),
                                                 QStringLiteral("Close")));
}

} // namespace tovik

#include "portal_request.moc"
