#include "support/fake_portal/fake_remote_desktop.h"

#include <QDBusArgument>
#include <QDBusObjectPath>

namespace tovik::fake {

bool FakeRemoteDesktop::handle(const QDBusMessage& call, FakePortal& portal) {
    const QString method = call.member();
    const QList<QVariant> arguments = call.arguments();
    const QString session = arguments.value(0).value<QDBusObjectPath>().path();
    if (method == QLatin1String("CreateSession") && call.signature() == QLatin1String("a{sv}")) {
        const auto options = qdbus_cast<QVariantMap>(arguments.value(0));
        const QString opened = portal.openSession(call, options, this);
        portal.answerRequest(call, options, {{QStringLiteral("session_handle"), opened}});
        return true;
    }
    // Every other method names a session of its own.
    if (call.signature().startsWith(QLatin1Char('o')) && !portal.hasSession(session)) {
        portal.bus().send(
            call.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.InvalidArgument"),
                                  QStringLiteral("No such session")));
        return true;
    }
    if (method == QLatin1String("SelectDevices") && call.signature() == QLatin1String("oa{sv}")) {
        const auto options = qdbus_cast<QVariantMap>(arguments.value(1));
        portal.log(QStringLiteral("select types=%1 persist=%2 token=%3")
                       .arg(options.value(QStringLiteral("types")).toUInt())
                       .arg(options.value(QStringLiteral("persist_mode")).toUInt())
                       .arg(options.value(QStringLiteral("restore_token")).toString()));
        portal.answerRequest(call, options, {});
        return true;
    }
    if (method == QLatin1String("Start") && call.signature() == QLatin1String("osa{sv}")) {
        const auto options = qdbus_cast<QVariantMap>(arguments.value(2));
        portal.log(QStringLiteral("start"));
        portal.answerRequest(
            call, options,
            {{QStringLiteral("devices"), 1u},
             {QStringLiteral("restore_token"), QStringLiteral("token-%1").arg(++starts_)}});
        return true;
    }
    if (method == QLatin1String("NotifyKeyboardKeysym") &&
        call.signature() == QLatin1String("oa{sv}iu")) {
        portal.log(QStringLiteral("key %1 %2")
                       .arg(arguments.value(2).toInt())
                       .arg(arguments.value(3).toUInt()));
        portal.bus().send(call.createReply());
        return true;
    }
    return false;
}

} // namespace tovik::fake
