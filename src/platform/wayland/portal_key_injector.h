#pragma once

#include "platform/key_injector.h"

#include <QDBusConnection>
#include <QObject>

#include <optional>

namespace tovik {

// Keys through the RemoteDesktop portal, into whichever window has the keyboard: one session
// with a keyboard, which the user allows once. Where the desktop keeps that consent (version
// 2), its restore token, saved in the settings file at `tokenPath`, opens the next session
// without asking. Without the portal no key reaches another app.
class PortalKeyInjector final : public QObject, public KeyInjector {
    Q_OBJECT
public:
    static const QString interface;

    PortalKeyInjector(QDBusConnection bus, QString tokenPath, QObject* parent = nullptr);
    ~PortalKeyInjector() override;

    bool reachesOtherApps() override { return version_.has_value(); }
    bool hasPermission() override { return !session_.isEmpty(); }
    QCoro::Task<bool> requestPermission() override;
    /** The portal's keys are this app's alone, and each paste lets go of its own. */
    QCoro::Task<> releaseHeldModifiers() override { co_return; }
    bool postPaste(const AppRef& destination) override;

private Q_SLOTS:
    void onSessionClosed(const QVariantMap& details);

private:
    QCoro::Task<QString> startSession();
    bool sendKey(quint32 keysym, bool pressed, bool waitForAnswer);
    void forgetSession();

    QDBusConnection bus_;
    QString tokenPath_;
    std::optional<uint> version_;
    QString session_; // the started session's path
};

} // namespace tovik
