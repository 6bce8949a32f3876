#include "support/fake_portal/fake_portal.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTimer>

namespace tovik::fake {

const QString FakePortal::objectPath = QStringLiteral("/org/freedesktop/portal/desktop");

namespace {

const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

QString shortName(const QString& interface) {
    return interface.section(QLatin1Char('.'), -1);
}

} // namespace

FakePortal::FakePortal(QDBusConnection bus, Answer answer, QSet<QString> refused)
    : bus_(std::move(bus))
    , answer_(answer)
    , refused_(std::move(refused)) {}

void FakePortal::add(std::unique_ptr<PortalInterface> portalInterface) {
    interfaces_.push_back(std::move(portalInterface));
}

PortalInterface* FakePortal::find(const QString& name) const {
    for (const auto& candidate : interfaces_) {
        if (candidate->name() == name)
            return candidate.get();
    }
    return nullptr;
}

QString FakePortal::objectPathFor(const QDBusMessage& call, const QString& kind,
                                  const QString& token) const {
    QString sender = call.service().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return objectPath + QLatin1Char('/') + kind + QLatin1Char('/') + sender + QLatin1Char('/') +
           token;
}

void FakePortal::answerRequest(const QDBusMessage& call, const QVariantMap& options,
                               const QVariantMap& results) {
    const QString path = objectPathFor(call, QStringLiteral("request"),
                                       options.value(QStringLiteral("handle_token")).toString());
    const bool refuse =
        refused_.contains(shortName(call.interface()) + QLatin1Char('.') + call.member());
    QDBusMessage response =
        QDBusMessage::createSignal(path, requestInterface, QStringLiteral("Response"));
    response.setArguments({uint(refuse ? 1 : 0), refuse ? QVariantMap() : results});
    const QDBusMessage reply = call.createReply(QVariant::fromValue(QDBusObjectPath(path)));
    switch (answer_) {
    case Answer::beforeReply:
        bus_.send(response);
        bus_.send(reply);
        break;
    case Answer::afterReply:
        bus_.send(reply);
        // As a portal does once its dialog has been answered: later, from the event loop.
        QTimer::singleShot(0, this, [this, response] { bus_.send(response); });
        break;
    case Answer::never:
        bus_.send(reply);
        break;
    }
}

QString FakePortal::openSession(const QDBusMessage& call, const QVariantMap& options,
                                PortalInterface* owner) {
    const QString path =
        objectPathFor(call, QStringLiteral("session"),
                      options.value(QStringLiteral("session_handle_token")).toString());
    sessions_[path] = owner;
    return path;
}

void FakePortal::closeAllSessions() {
    for (const auto& [path, owner] : sessions_) {
        QDBusMessage closed =
            QDBusMessage::createSignal(path, sessionInterface, QStringLiteral("Closed"));
        closed.setArguments({QVariantMap()});
        bus_.send(closed);
        owner->sessionClosed(path);
    }
    sessions_.clear();
}

void FakePortal::getProperty(const QDBusMessage& call) {
    const QString interface = call.arguments().value(0).toString();
    const QString property = call.arguments().value(1).toString();
    const PortalInterface* found = find(interface);
    if (!found || property != QLatin1String("version")) {
        bus_.send(call.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                                        QStringLiteral("No such property")));
        return;
    }
    bus_.send(call.createReply(QVariant::fromValue(QDBusVariant(found->version()))));
}

bool FakePortal::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    const QString path = message.path();
    const QString interface = message.interface();
    log(shortName(interface) + QLatin1Char('.') + message.member());
    if (path == objectPath && interface == propertiesInterface &&
        message.member() == QLatin1String("Get")) {
        getProperty(message);
        return true;
    }
    if (path == objectPath) {
        if (PortalInterface* found = find(interface); found && found->handle(message, *this))
            return true;
    } else if (interface == requestInterface && message.member() == QLatin1String("Close")) {
        bus_.send(message.createReply());
        return true;
    } else if (interface == sessionInterface && message.member() == QLatin1String("Close") &&
               sessions_.contains(path)) {
        PortalInterface* owner = sessions_[path];
        sessions_.erase(path);
        owner->sessionClosed(path);
        bus_.send(message.createReply());
        return true;
    }
    bus_.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                       QStringLiteral("The fake portal has no ") + interface +
                                           QLatin1Char('.') + message.member() +
                                           QStringLiteral(" at ") + path));
    return true;
}

QString FakePortal::introspect(const QString&) const {
    return {};
}

} // namespace tovik::fake
