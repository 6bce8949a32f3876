#pragma once

#include "model/failure.h"

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

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

// A plain method call on the portal object; its first reply value or PortalError.
QCoro::Task<Expected<QVariant>> callPortal(QDBusConnection bus, QString interface, QString method,
                                           QVariantList arguments, QDeadlineTimer deadline);

// The version property a portal interface reports; none when the desktop lacks it.
QCoro::Task<std::optional<uint>> portalVersion(QDBusConnection bus, QString interface,
                                               QDeadlineTimer deadline);

inline const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

} // namespace tovik
