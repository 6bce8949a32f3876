#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace tovik {

// A D-Bus daemon of the test's own, which starts no services on demand (the machine's
// xdg-desktop-portal must never answer), and the fake portal of tests/support/fake_portal
// on it. Never the user's bus.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty once the bus is up; what went wrong otherwise.
    const QString& problem() const { return problem_; }
    // A client's connection to the bus, as the application would have.
    QDBusConnection connection() const { return QDBusConnection(name_); }

    // Starts the fake with these options and waits until it owns the portal's name.
    bool startPortal(const QStringList& options = {});
    // The control object's methods: every call the portal received, in order; Activated for
    // the sessions that bound `id` (how many); Closed for every session.
    QStringList portalLog() const;
    uint activate(const QString& id) const;
    void closeSessions() const;

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QProcess portal_;
    QString address_;
    QString name_;
    QString problem_;
};

} // namespace tovik
