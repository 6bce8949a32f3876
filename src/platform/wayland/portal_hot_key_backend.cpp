#include "platform/wayland/portal_hot_key_backend.h"

#include "platform/wayland/portal_request.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QPointer>

#include <chrono>

namespace {

// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap options;
};
using PortalShortcuts = QList<PortalShortcut>;

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.options;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.options;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace tovik {

const QString PortalHotKeyBackend::interface =
    QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString PortalHotKeyBackend::shortcutId = QStringLiteral("capture");

namespace {

const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
// Creating a session shows nothing; binding may wait for the user to confirm in a dialog.
constexpr auto createTime = std::chrono::seconds(30);
constexpr auto bindTime = std::chrono::minutes(10);

} // namespace

PortalHotKeyBackend::PortalHotKeyBackend(QDBusConnection bus, QObject* parent)
    : HotKeyBackend(parent)
    , bus_(std::move(bus)) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<PortalShortcuts>();
    // The slot's argument types are looked up by name, which needs them registered.
    qRegisterMetaType<QDBusObjectPath>();
    version_ = portalVersion(bus_, interface, probeTimeoutMs);
    // Without the presses the binding is of no use.
    if (version_ &&
        !bus_.connect(portalService, portalPath, interface, QStringLiteral("Activated"), this,
                      SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap))))
        version_.reset();
}

PortalHotKeyBackend::~PortalHotKeyBackend() {
    ungrab();
}

std::optional<QString> PortalHotKeyBackend::trigger(quint32 keysym, quint16 modifierMask) {
    // Letters and digits are their own keysym names; other keys the binding rules never allow.
    const bool named = (keysym >= 'a' && keysym <= 'z') || (keysym >= 'A' && keysym <= 'Z') ||
                       (keysym >= '0' && keysym <= '9');
    constexpr quint16 known =
        ModifierMask::control | ModifierMask::alt | ModifierMask::shift | ModifierMask::super;
    if (!named || (modifierMask & ~known) != 0)
        return std::nullopt;
    QStringList parts;
    if (modifierMask & ModifierMask::control)
        parts << QStringLiteral("CTRL");
    if (modifierMask & ModifierMask::alt)
        parts << QStringLiteral("ALT");
    if (modifierMask & ModifierMask::shift)
        parts << QStringLiteral("SHIFT");
    if (modifierMask & ModifierMask::super)
        parts << QStringLiteral("LOGO");
    parts << QString(QChar(char16_t(keysym)));
    return parts.join(QLatin1Char('+'));
}

bool PortalHotKeyBackend::grab(quint32 keysym, quint16 modifierMask) {
    ungrab();
    const std::optional<QString> wanted = trigger(keysym, modifierMask);
    if (!version_ || !wanted)
        return false;
    bind(attempt_, *wanted);
    return true;
}

void PortalHotKeyBackend::ungrab() {
    ++attempt_;
    if (session_.isEmpty())
        return;
    watchSession(session_, false);
    closePortalSession(bus_, session_);
    session_.clear();
}

QCoro::Task<> PortalHotKeyBackend::bind(quint64 attempt, QString trigger) {
    QPointer<PortalHotKeyBackend> self(this);
    QDBusConnection bus = bus_;
    // The calls are built before their co_await: GCC 12 rejects braced lists inside one.
    PortalCall create{interface, QStringLiteral("CreateSession"), {}, {}};
    create.options.insert(QStringLiteral("session_handle_token"), portalToken());
    const Expected<QVariantMap> created =
        co_await requestPortal(bus, create, QDeadlineTimer(createTime));
    const QString session = created ? sessionHandle(*created) : QString();
    if (!self || attempt != attempt_) {
        // Ungrabbed, or grabbed again, meanwhile: this session is nobody's.
        if (!session.isEmpty())
            closePortalSession(bus, session);
        co_return;
    }
    if (session.isEmpty()) {
        lose();
        co_return;
    }
    session_ = session;
    watchSession(session_, true);

    QVariantMap options;
    options.insert(QStringLiteral("description"), QStringLiteral("Start a capture session"));
    options.insert(QStringLiteral("preferred_trigger"), trigger);
    const PortalShortcuts shortcuts{PortalShortcut{shortcutId, options}};
    PortalCall bindCall{interface, QStringLiteral("BindShortcuts"), {}, {}};
    bindCall.arguments << QVariant::fromValue(QDBusObjectPath(session))
                       << QVariant::fromValue(shortcuts) << QString(); // no parent window
    const Expected<QVariantMap> bound =
        co_await requestPortal(bus, bindCall, QDeadlineTimer(bindTime));
    if (!self || attempt != attempt_)
        co_return; // ungrab() has closed the session
    if (!bound)
        lose();
}

void PortalHotKeyBackend::onActivated(const QDBusObjectPath& session, const QString& id, qulonglong,
                                      const QVariantMap&) {
    if (!session_.isEmpty() && session.path() == session_ && id == shortcutId)
        Q_EMIT pressed();
}

void PortalHotKeyBackend::onSessionClosed(const QVariantMap&) {
    // The desktop ended the session: its shortcut is gone with it.
    session_.clear();
    lose();
}

void PortalHotKeyBackend::watchSession(const QString& session, bool watch) {
    const QString name = QStringLiteral("Closed");
    const char* slot = SLOT(onSessionClosed(QVariantMap));
    if (watch)
        bus_.connect(portalService, session, sessionInterface, name, this, slot);
    else
        bus_.disconnect(portalService, session, sessionInterface, name, this, slot);
}

void PortalHotKeyBackend::lose() {
    if (!session_.isEmpty()) {
        watchSession(session_, false);
        closePortalSession(bus_, session_);
        session_.clear();
    }
    ++attempt_;
    Q_EMIT grabLost();
}

} // namespace tovik
