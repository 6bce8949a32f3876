#include "support/private_bus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

namespace tovik {
namespace {

// A session bus that anyone on it may use, listening in the test's folder, with no
// <servicedir>: a name nobody owns stays unowned.
const char* config =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

constexpr int startMs = 10000;
const QString portalName = QStringLiteral("org.freedesktop.portal.Desktop");

QVariant control(const QDBusConnection& bus, const QString& method, const QVariantList& args = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(portalName, "/org/tovik/FakePortal",
                                                       "org.tovik.FakePortal", method);
    call.setArguments(args);
    return bus.call(call).arguments().value(0);
}

} // namespace

PrivateBus::PrivateBus() {
    static int count = 0;
    name_ = QStringLiteral("tovik-test-bus-%1").arg(++count);
    const QString configPath = dir_.filePath(QStringLiteral("bus.conf"));
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QString::fromLatin1(config).arg(dir_.path()).toUtf8()) < 0) {
        problem_ = QStringLiteral("cannot write ") + configPath;
        return;
    }
    file.close();
    daemon_.start("dbus-daemon",
                  {"--config-file=" + configPath, "--nofork", "--nopidfile", "--print-address=1"});
    const QDeadlineTimer deadline(startMs);
    while (!daemon_.canReadLine() && !deadline.hasExpired() &&
           daemon_.state() != QProcess::NotRunning)
        daemon_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    if (address_.isEmpty())
        problem_ = "dbus-daemon did not start: " + daemon_.errorString() + ' ' +
                   QString::fromUtf8(daemon_.readAllStandardError());
    else if (!QDBusConnection::connectToBus(address_, name_).isConnected())
        problem_ = "cannot connect to the private bus at " + address_;
}

PrivateBus::~PrivateBus() {
    for (QProcess* process : {&portal_, &daemon_}) {
        process->kill();
        process->waitForFinished();
    }
    QDBusConnection::disconnectFromBus(name_);
}

bool PrivateBus::startPortal(const QStringList& options) {
    portal_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    portal_.start(QStringLiteral(TOVIK_FAKE_PORTAL), QStringList{"--address", address_} + options);
    // Started: until QProcess has seen the exec, its state says Starting even once the portal
    // serves.
    portal_.waitForStarted(startMs);
    QDBusConnectionInterface* names = connection().interface();
    if (QTest::qWaitFor(
            [&] {
                return portal_.state() != QProcess::Running ||
                       names->isServiceRegistered(portalName);
            },
            startMs) &&
        portal_.state() == QProcess::Running)
        return true;
    qWarning("fake portal not serving: state %d, error %d (%s), exit status %d, code %d",
             portal_.state(), portal_.error(), qPrintable(portal_.errorString()),
             portal_.exitStatus(), portal_.exitCode());
    return false;
}

QStringList PrivateBus::portalLog() const {
    return control(connection(), "Log").toStringList();
}

uint PrivateBus::activate(const QString& id) const {
    return control(connection(), "Activate", {id}).toUInt();
}

void PrivateBus::closeSessions() const {
    control(connection(), "CloseSessions");
}

} // namespace tovik
