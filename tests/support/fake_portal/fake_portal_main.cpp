// A stand-in for xdg-desktop-portal on a test's private bus, steered by its command line and
// through its control object:
//   fake_portal --address <bus> [--answer after|before|never] [--refuse Interface.Method]...
//               [--without Interface]...
// The control object /org/tovik/FakePortal (org.tovik.FakePortal) has Log() -> as, every call
// the portal received in order, Activate(s id) -> u, and CloseSessions().
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QSet>
#include <QTimer>

#include <cstdio>
#include <map>
#include <memory>

namespace tovik::fake {

namespace {

const QString objectPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

QString shortName(const QString& interface) {
    return interface.section(QLatin1Char('.'), -1);
}

QDBusMessage noSuchSession(const QDBusMessage& call) {
    return call.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.InvalidArgument"),
                                 QStringLiteral("No such session"));
}

} // namespace

class FakePortal;

// One portal interface of the fake: its version and its methods on the portal object.
class PortalInterface {
public:
    virtual ~PortalInterface() = default;
    virtual QString name() const = 0;
    virtual uint version() const { return 1; }
    // Answers `call`, a method of this interface; false for a method it does not know.
    virtual bool handle(const QDBusMessage& call, FakePortal& portal) = 0;
    // A session of this interface was closed by its client.
    virtual void sessionClosed(const QString& path) { Q_UNUSED(path); }
};

// How the fake answers methods whose results come through a Request's Response.
enum class Answer {
    afterReply,  // the method's reply, then the Response
    beforeReply, // the Response, then the method's reply
    never,       // the reply only
};

// org.freedesktop.portal.Desktop on the bus it is given: the portal object with the
// interfaces added to it, the Request and Session objects below it, and a log of every call
// that the test reads through the control object.
class FakePortal final : public QDBusVirtualObject {
    Q_OBJECT
public:
    FakePortal(QDBusConnection bus, Answer answer, QSet<QString> refused)
        : bus_(std::move(bus))
        , answer_(answer)
        , refused_(std::move(refused)) {}

    void add(std::unique_ptr<PortalInterface> portalInterface) {
        interfaces_.push_back(std::move(portalInterface));
    }
    QDBusConnection& bus() { return bus_; }

    // Replies to `call` with its Request handle and sends the Response as the answer mode
    // says: `results` with code 0, or code 1 for a method the test refuses.
    void answerRequest(const QDBusMessage& call, const QVariantMap& options,
                       const QVariantMap& results) {
        const QString path = pathFor(call, QStringLiteral("request"),
                                     options.value(QStringLiteral("handle_token")).toString());
        const bool refuse =
            refused_.contains(shortName(call.interface()) + QLatin1Char('.') + call.member());
        QDBusMessage response =
            QDBusMessage::createSignal(path, requestInterface, QStringLiteral("Response"));
        response.setArguments({uint(refuse ? 1 : 0), refuse ? QVariantMap() : results});
        const QDBusMessage reply = call.createReply(QVariant::fromValue(QDBusObjectPath(path)));
        if (answer_ == Answer::beforeReply)
            bus_.send(response);
        bus_.send(reply);
        // As a portal does once its dialog has been answered: later, from the event loop.
        if (answer_ == Answer::afterReply)
            QTimer::singleShot(0, this, [this, response] { bus_.send(response); });
    }
    // A new session of `owner` for the session_handle_token in `options`; its path.
    QString openSession(const QDBusMessage& call, const QVariantMap& options,
                        PortalInterface* owner) {
        const QString path =
            pathFor(call, QStringLiteral("session"),
                    options.value(QStringLiteral("session_handle_token")).toString());
        sessions_[path] = owner;
        return path;
    }
    bool hasSession(const QString& path) const { return sessions_.contains(path); }
    // The desktop ends every open session (their Closed signal).
    void closeAllSessions() {
        for (const auto& [path, owner] : sessions_) {
            QDBusMessage closed =
                QDBusMessage::createSignal(path, sessionInterface, QStringLiteral("Closed"));
            closed.setArguments({QVariantMap()});
            bus_.send(closed);
            owner->sessionClosed(path);
        }
        sessions_.clear();
    }

    void log(const QString& entry) { log_.append(entry); }
    const QStringList& entries() const { return log_; }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
        const QString path = message.path(), interface = message.interface();
        const QString member = message.member();
        log(shortName(interface) + QLatin1Char('.') + member);
        if (path == objectPath && interface == QLatin1String("org.freedesktop.DBus.Properties") &&
            member == QLatin1String("Get")) {
            const PortalInterface* found = find(message.arguments().value(0).toString());
            bus_.send(found && message.arguments().value(1).toString() == QLatin1String("version")
                          ? message.createReply(QVariant::fromValue(QDBusVariant(found->version())))
                          : message.createErrorReply(
                                QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                                QStringLiteral("No such property")));
            return true;
        }
        if (path == objectPath) {
            if (PortalInterface* found = find(interface); found && found->handle(message, *this))
                return true;
        } else if (interface == requestInterface && member == QLatin1String("Close")) {
            bus_.send(message.createReply());
            return true;
        } else if (interface == sessionInterface && member == QLatin1String("Close") &&
                   sessions_.contains(path)) {
            PortalInterface* owner = sessions_[path];
            sessions_.erase(path);
            owner->sessionClosed(path);
            bus_.send(message.createReply());
            return true;
        }
        bus_.send(message.createErrorReply(
            QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
            QStringLiteral("The fake portal has no ") + interface + QLatin1Char('.') + member +
                QStringLiteral(" at ") + path));
        return true;
    }

private:
    PortalInterface* find(const QString& name) const {
        for (const auto& candidate : interfaces_) {
            if (candidate->name() == name)
                return candidate.get();
        }
        return nullptr;
    }
    QString pathFor(const QDBusMessage& call, const QString& kind, const QString& token) const {
        QString sender = call.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        return objectPath + QLatin1Char('/') + kind + QLatin1Char('/') + sender + QLatin1Char('/') +
               token;
    }

    QDBusConnection bus_;
    Answer answer_;
    QSet<QString> refused_; // "Interface.Method" names answered with code 1
    std::vector<std::unique_ptr<PortalInterface>> interfaces_;
    std::map<QString, PortalInterface*> sessions_;
    QStringList log_;
};

// org.freedesktop.portal.GlobalShortcuts: sessions, the shortcuts bound in each (logged as
// "bound <id> <preferred_trigger> <description>"), and presses the test asks for.
class FakeGlobalShortcuts final : public PortalInterface {
public:
    QString name() const override {
        return QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
    }
    void sessionClosed(const QString& path) override { bound_.erase(path); }

    bool handle(const QDBusMessage& call, FakePortal& portal) override {
        if (call.member() == QLatin1String("CreateSession") &&
            call.signature() == QLatin1String("a{sv}")) {
            const auto options = qdbus_cast<QVariantMap>(call.arguments().value(0));
            const QString session = portal.openSession(call, options, this);
            bound_[session];
            portal.answerRequest(call, options, {{QStringLiteral("session_handle"), session}});
            return true;
        }
        if (call.member() != QLatin1String("BindShortcuts") ||
            call.signature() != QLatin1String("oa(sa{sv})sa{sv}"))
            return false;
        const QString session = call.arguments().value(0).value<QDBusObjectPath>().path();
        if (!portal.hasSession(session)) {
            portal.bus().send(noSuchSession(call));
            return true;
        }
        // The a(sa{sv}) read by hand, as a portal outside Qt would.
        QStringList ids;
        const auto shortcuts = call.arguments().value(1).value<QDBusArgument>();
        shortcuts.beginArray();
        while (!shortcuts.atEnd()) {
            QString id;
            QVariantMap options;
            shortcuts.beginStructure();
            shortcuts >> id >> options;
            shortcuts.endStructure();
            ids.append(id);
            portal.log(QStringLiteral("bound %1 %2 %3")
                           .arg(id, options.value(QStringLiteral("preferred_trigger")).toString(),
                                options.value(QStringLiteral("description")).toString()));
        }
        shortcuts.endArray();
        bound_[session] = ids;
        portal.answerRequest(call, qdbus_cast<QVariantMap>(call.arguments().value(3)), {});
        return true;
    }

    // Activated for every session that bound `id`; how many there were.
    uint activate(FakePortal& portal, const QString& id) {
        uint count = 0;
        for (const auto& [session, ids] : bound_) {
            if (!ids.contains(id))
                continue;
            QDBusMessage activated =
                QDBusMessage::createSignal(objectPath, name(), QStringLiteral("Activated"));
            activated.setArguments({QVariant::fromValue(QDBusObjectPath(session)), id,
                                    qulonglong(QDateTime::currentMSecsSinceEpoch()),
                                    QVariantMap()});
            portal.bus().send(activated);
            ++count;
        }
        return count;
    }

private:
    std::map<QString, QStringList> bound_; // shortcut ids by session path
};

// org.freedesktop.portal.RemoteDesktop, version 2: sessions that the user allows at Start
// (logged as "select types=<u> persist=<u> token=<s>" and "start"), a fresh restore token
// for each start, and the keys sent ("key <keysym> <state>").
class FakeRemoteDesktop final : public PortalInterface {
public:
    QString name() const override { return QStringLiteral("org.freedesktop.portal.RemoteDesktop"); }
    uint version() const override { return 2; }

    bool handle(const QDBusMessage& call, FakePortal& portal) override {
        const QString method = call.member(), signature = call.signature();
        const QList<QVariant> arguments = call.arguments();
        if (method == QLatin1String("CreateSession") && signature == QLatin1String("a{sv}")) {
            const auto options = qdbus_cast<QVariantMap>(arguments.value(0));
            const QString opened = portal.openSession(call, options, this);
            portal.answerRequest(call, options, {{QStringLiteral("session_handle"), opened}});
            return true;
        }
        // Every other method names a session of its own.
        if (signature.startsWith(QLatin1Char('o')) &&
            !portal.hasSession(arguments.value(0).value<QDBusObjectPath>().path())) {
            portal.bus().send(noSuchSession(call));
            return true;
        }
        if (method == QLatin1String("SelectDevices") && signature == QLatin1String("oa{sv}")) {
            const auto options = qdbus_cast<QVariantMap>(arguments.value(1));
            portal.log(QStringLiteral("select types=%1 persist=%2 token=%3")
                           .arg(options.value(QStringLiteral("types")).toUInt())
                           .arg(options.value(QStringLiteral("persist_mode")).toUInt())
                           .arg(options.value(QStringLiteral("restore_token")).toString()));
            portal.answerRequest(call, options, {});
            return true;
        }
        if (method == QLatin1String("Start") && signature == QLatin1String("osa{sv}")) {
            portal.log(QStringLiteral("start"));
            portal.answerRequest(
                call, qdbus_cast<QVariantMap>(arguments.value(2)),
                {{QStringLiteral("devices"), 1u},
                 {QStringLiteral("restore_token"), QStringLiteral("token-%1").arg(++starts_)}});
            return true;
        }
        if (method == QLatin1String("NotifyKeyboardKeysym") &&
            signature == QLatin1String("oa{sv}iu")) {
            portal.log(QStringLiteral("key %1 %2")
                           .arg(arguments.value(2).toInt())
                           .arg(arguments.value(3).toUInt()));
            portal.bus().send(call.createReply());
            return true;
        }
        return false;
    }

private:
    int starts_ = 0;
};

class Control final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tovik.FakePortal")
public:
    explicit Control(FakePortal& portal, FakeGlobalShortcuts* shortcuts)
        : portal_(portal)
        , shortcuts_(shortcuts) {}

public Q_SLOTS:
    Q_SCRIPTABLE QStringList Log() const { return portal_.entries(); }
    Q_SCRIPTABLE uint Activate(const QString& id) {
        return shortcuts_ ? shortcuts_->activate(portal_, id) : 0;
    }
    Q_SCRIPTABLE void CloseSessions() { portal_.closeAllSessions(); }

private:
    FakePortal& portal_;
    FakeGlobalShortcuts* shortcuts_;
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
    FakeGlobalShortcuts* shortcuts = nullptr;
    if (!without.contains(QLatin1String("GlobalShortcuts"))) {
        auto owned = std::make_unique<FakeGlobalShortcuts>();
        shortcuts = owned.get();
        portal.add(std::move(owned));
    }
    if (!without.contains(QLatin1String("RemoteDesktop")))
        portal.add(std::make_unique<FakeRemoteDesktop>());
    Control control(portal, shortcuts);
    // The name comes last: once it is owned, the test may call.
    if (!bus.registerVirtualObject(objectPath, &portal, QDBusConnection::SubPath) ||
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
