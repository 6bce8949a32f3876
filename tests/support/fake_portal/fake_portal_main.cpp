// A stand-in for xdg-desktop-portal on a test's private bus, steered by its command line and
// through its control object:
//   fake_portal --address <bus> [--answer after|before|never] [--refuse Interface.Method]...
//               [--without Interface]...
// The control object /org/tovik/FakePortal (org.tovik.FakePortal) has Log() -> as, every call
// the portal received in order, Activate(s id) -> u, and CloseSessions().
#include "support/fake_portal/fake_global_shortcuts.h"
#include "support/fake_portal/fake_portal.h"
#include "support/fake_portal/fake_remote_desktop.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace tovik::fake {

class Control final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tovik.FakePortal")
public:
    explicit Control(FakePortal& portal)
        : portal_(portal) {}

public Q_SLOTS:
    Q_SCRIPTABLE QStringList Log() const { return portal_.entries(); }
    Q_SCRIPTABLE uint Activate(const QString& id) {
        auto* shortcuts = dynamic_cast<FakeGlobalShortcuts*>(
            portal_.find(QStringLiteral("org.freedesktop.portal.GlobalShortcuts")));
        return shortcuts ? shortcuts->activate(portal_, id) : 0;
    }
    Q_SCRIPTABLE void CloseSessions() { portal_.closeAllSessions(); }

private:
    FakePortal& portal_;
};

} // namespace tovik::fake

int main(int argc, char** argv) {
    using namespace tovik::fake;
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({
        {QStringLiteral("address"), QStringLiteral("The private bus to serve."),
         QStringLiteral("address")},
        {QStringLiteral("answer"), QStringLiteral("When Responses come: after, before, never."),
         QStringLiteral("when"), QStringLiteral("after")},
        {QStringLiteral("refuse"), QStringLiteral("Answer this method with code 1."),
         QStringLiteral("Interface.Method")},
        {QStringLiteral("without"), QStringLiteral("Leave out this portal interface."),
         QStringLiteral("Interface")},
    });
    parser.process(app);
    const QString when = parser.value(QStringLiteral("answer"));
    const std::map<QString, Answer> answers{{QStringLiteral("after"), Answer::afterReply},
                                            {QStringLiteral("before"), Answer::beforeReply},
                                            {QStringLiteral("never"), Answer::never}};
    // Never the user's bus: only one named on the command line.
    if (!parser.isSet(QStringLiteral("address")) || !answers.contains(when)) {
        std::fputs("fake_portal: --address <bus> is required; --answer is after, before or never\n",
                   stderr);
        return 2;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(parser.value(QStringLiteral("address")),
                                                        QStringLiteral("fake_portal"));
    const QStringList refused = parser.values(QStringLiteral("refuse"));
    FakePortal portal(bus, answers.at(when), QSet<QString>(refused.begin(), refused.end()));
    const QStringList without = parser.values(QStringLiteral("without"));
    if (!without.contains(QLatin1String("GlobalShortcuts")))
        portal.add(std::make_unique<FakeGlobalShortcuts>());
    if (!without.contains(QLatin1String("RemoteDesktop")))
        portal.add(std::make_unique<FakeRemoteDesktop>());
    Control control(portal);
    // The name comes last: once it is owned, the test may call.
    if (!bus.registerVirtualObject(FakePortal::objectPath, &portal, QDBusConnection::SubPath) ||
        !bus.registerObject(QStringLiteral("/org/tovik/FakePortal"), &control,
                            QDBusConnection::ExportScriptableSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "fake_portal: cannot serve on the bus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    return app.exec();
}

#include "fake_portal_main.moc"
