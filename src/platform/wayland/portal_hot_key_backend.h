#pragma once

#include "platform/hot_key_backend.h"

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace tovik {

// The hot key through the GlobalShortcuts portal: one session with one shortcut, whose
// trigger the desktop may change or ask the user to confirm.
//
// The portal answers asynchronously while grab() must answer at once. The portal's version
// is probed once, briefly, at construction, so grab() can refuse at once where the desktop
// has no such portal (its own keyboard settings bind the keys instead); otherwise grab()
// says yes as soon as the binding has been asked for, and a later refusal or failure, or the
// desktop closing the session, arrives as grabLost().
class PortalHotKeyBackend final : public HotKeyBackend {
    Q_OBJECT
public:
    static const QString interface;
    static const QString shortcutId;
    // The longest the construction waits for the portal's version.
    static constexpr int probeTimeoutMs = 1000;

    explicit PortalHotKeyBackend(QDBusConnection bus, QObject* parent = nullptr);
    ~PortalHotKeyBackend() override;

    bool grab(quint32 keysym, quint16 modifierMask) override;
    void ungrab() override;

    // False when the desktop offers no GlobalShortcuts portal.
    bool canGrab() const override { return version_.has_value(); }

    // The trigger in the desktop's shortcut notation ("CTRL+SHIFT+s"); none for a key it
    // cannot name.
    static std::optional<QString> trigger(quint32 keysym, quint16 modifierMask);

private Q_SLOTS:
    void onActivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                     const QVariantMap& options);
    void onSessionClosed(const QVariantMap& details);

private:
    QCoro::Task<> bind(quint64 attempt, QString trigger);
    void watchSession(const QString& session, bool watch);
    void lose();

    QDBusConnection bus_;
    std::optional<uint> version_;
    quint64 attempt_ = 0; // raised by every grab and ungrab; a binding of an older one is dropped
    QString session_;     // the open session's path
};

} // namespace tovik
