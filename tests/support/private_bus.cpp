#include "support/private_bus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
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

QDBusMessage control(const QString& method) {
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                          QStringLiteral("/org/tovik/FakePortal"),
                                          QStringLiteral("org.tovik.FakePortal"), method);
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
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                   QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    const QDeadlineTimer deadline(startMs);
    while (!daemon_.canReadLine() && !deadline.hasExpired() &&
           daemon_.state() != QProcess::NotRunning)
        daemon_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    if (address_.isEmpty()) {
        problem_ = QStringLiteral("dbus-daemon did not start: ") + daemon_.errorString() +
                   QLatin1Char(' ') + QString::fromUtf8(daemon_.readAllStandardError());
        return;
    }
    if (!QDBusConnection::connectToBus(address_, name_).isConnected())
        problem_ = QStringLiteral("cannot connect to the private bus at ") + address_;
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
    portal_.start(QStringLiteral(TOVIK_FAKE_PORTAL),
                  QStringList{QStringLiteral("--address"), address_} + options);
    QDBusConnectionInterface* names = connection().interface();
    return QTest::qWaitFor(
               [&] {
                   return portal_.state() == QProcess::NotRunning ||
                          names->isServiceRegistered(
                              QStringLiteral("org.freedesktop.portal.Desktop"));
               },
               startMs) &&
           portal_.state() == QProcess::Running;
}

QStringList PrivateBus::portalLog() const {
    const QDBusReply<QStringList> log = connection().call(control(QStringLiteral("Log")));
    return log.value();
}

uint PrivateBus::activate(const QString& id) const {
    QDBusMessage call = control(QStringLiteral("Activate"));
    call.setArguments({id});
    const QDBusReply<uint> count = connection().call(call);
    return count.value();
}

void PrivateBus::closeSessions() const {
    connection().call(control(QStringLiteral("CloseSessions")));
}

} // namespace tovik
