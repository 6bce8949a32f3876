#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QSet>
#include <QStringList>
#include <QVariantMap>

#include <map>
#include <memory>

namespace tovik::fake {

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
// that the test reads through the control object (see fake_portal_main.cpp).
class FakePortal final : public QDBusVirtualObject {
    Q_OBJECT
public:
    static const QString objectPath;

    FakePortal(QDBusConnection bus, Answer answer, QSet<QString> refused);

    void add(std::unique_ptr<PortalInterface> portalInterface);
    PortalInterface* find(const QString& name) const;
    QDBusConnection& bus() { return bus_; }

    // Replies to `call` with its Request handle and sends the Response as the answer mode
    // says: `results` with code 0, or code 1 for a method the test refuses.
    void answerRequest(const QDBusMessage& call, const QVariantMap& options,
                       const QVariantMap& results);
    // A new session of `owner` for the session_handle_token in `options`; its path.
    QString openSession(const QDBusMessage& call, const QVariantMap& options,
                        PortalInterface* owner);
    bool hasSession(const QString& path) const { return sessions_.contains(path); }
    // The desktop ends every open session (their Closed signal).
    void closeAllSessions();

    void log(const QString& entry) { log_.append(entry); }
    const QStringList& entries() const { return log_; }

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    QString objectPathFor(const QDBusMessage& call, const QString& kind,
                          const QString& token) const;
    void getProperty(const QDBusMessage& call);

    QDBusConnection bus_;
    Answer answer_;
    QSet<QString> refused_; // "Interface.Method" names answered with code 1
    std::vector<std::unique_ptr<PortalInterface>> interfaces_;
    std::map<QString, PortalInterface*> sessions_;
    QStringList log_;
};

} // namespace tovik::fake
