#pragma once

#include "model/failure.h"

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

namespace tovik {

enum class PortalError { unavailable, refused, failed, noAnswer };
QString message(PortalError error);

// One call to a desktop portal (org.freedesktop.portal.Desktop) whose answer comes later
// through a Request object's Response signal.
struct PortalCall {
    QString interface; // e.g. "org.freedesktop.portal.Screenshot"
    QString method;
    QVariantList arguments; // those before the options
    QVariantMap options;    // handle_token is added
};

// The results of the call's Response; PortalError::refused when the user or the desktop
// said no, PortalError::unavailable when no portal answers the method, PortalError::failed
// or noAnswer otherwise.
QCoro::Task<Expected<QVariantMap>> requestPortal(QDBusConnection bus, PortalCall call,
                                                 QDeadlineTimer deadline);

// The version a portal interface reports, asked with a blocking call of at most timeoutMs;
// none when the desktop lacks the interface (or reports version 0).
std::optional<uint> portalVersion(QDBusConnection& bus, const QString& interface, int timeoutMs);

// A fresh handle_token or session_handle_token.
QString portalToken();
// The session handle of a CreateSession's results: a string, though some portals send a path.
QString sessionHandle(const QVariantMap& results);
// Ends a portal session; nothing waits for the answer.
void closePortalSession(QDBusConnection& bus, const QString& session);

inline const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

} // namespace tovik
