#include "support/fake_portal/fake_global_shortcuts.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDateTime>

namespace tovik::fake {

namespace {

// The a(sa{sv}) of BindShortcuts, read by hand as a portal outside Qt would.
QList<std::pair<QString, QVariantMap>> shortcutsOf(const QVariant& value) {
    QList<std::pair<QString, QVariantMap>> shortcuts;
    const auto argument = value.value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        std::pair<QString, QVariantMap> shortcut;
        argument.beginStructure();
        argument >> shortcut.first >> shortcut.second;
        argument.endStructure();
        shortcuts.append(shortcut);
    }
    argument.endArray();
    return shortcuts;
}

} // namespace

bool FakeGlobalShortcuts::handle(const QDBusMessage& call, FakePortal& portal) {
    const QString method = call.member();
    if (method == QLatin1String("CreateSession") && call.signature() == QLatin1String("a{sv}")) {
        const auto options = qdbus_cast<QVariantMap>(call.arguments().value(0));
        const QString session = portal.openSession(call, options, this);
        bound_[session];
        portal.answerRequest(call, options, {{QStringLiteral("session_handle"), session}});
        return true;
    }
    if (method == QLatin1String("BindShortcuts") &&
        call.signature() == QLatin1String("oa(sa{sv})sa{sv}")) {
        bindShortcuts(call, portal);
        return true;
    }
    return false;
}

void FakeGlobalShortcuts::bindShortcuts(const QDBusMessage& call, FakePortal& portal) {
    const QString session = call.arguments().value(0).value<QDBusObjectPath>().path();
    if (!portal.hasSession(session)) {
        portal.bus().send(
            call.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.InvalidArgument"),
                                  QStringLiteral("No such session")));
        return;
    }
    QStringList ids;
    for (const auto& [id, options] : shortcutsOf(call.arguments().value(1))) {
        ids.append(id);
        portal.log(QStringLiteral("bound %1 %2 %3")
                       .arg(id, options.value(QStringLiteral("preferred_trigger")).toString(),
                            options.value(QStringLiteral("description")).toString()));
    }
    bound_[session] = ids;
    portal.answerRequest(call, qdbus_cast<QVariantMap>(call.arguments().value(3)), {});
}

uint FakeGlobalShortcuts::activate(FakePortal& portal, const QString& id) {
    uint count = 0;
    for (const auto& [session, ids] : bound_) {
        if (!ids.contains(id))
            continue;
        QDBusMessage activated =
            QDBusMessage::createSignal(FakePortal::objectPath, name(), QStringLiteral("Activated"));
        activated.setArguments({QVariant::fromValue(QDBusObjectPath(session)), id,
                                qulonglong(QDateTime::currentMSecsSinceEpoch()), QVariantMap()});
        portal.bus().send(activated);
        ++count;
    }
    return count;
}

} // namespace tovik::fake
