#pragma once

#include "model/failure.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include <functional>

class QLocalSocket;
class QSocketNotifier;

namespace tovik {

// The running instance's end of the control socket: reads one request a line, runs the
// named command and writes one answer a line. Bad requests get an error answer; a line
// longer than the protocol allows ends the connection. Only this user can connect.
// Clients beyond maxClients, and any while the process is out of file descriptors, are
// answered "busy" and let go; the socket keeps listening through both.
class ControlServer : public QObject {
    Q_OBJECT
public:
    // Runs a command on the main thread; answers the fields of the reply.
    using Command = std::function<QJsonObject()>;
    // The answer of a command that finishes later: its fields, or the error it ends with.
    using Reply = std::function<void(const Expected<QJsonObject>& answer)>;
    // Starts a command on the main thread; it calls the reply once, now or later.
    using DeferredCommand = std::function<void(Reply reply)>;

    // Connections served at once; each costs a descriptor for as long as it stays open.
    static constexpr int maxClients = 16;

    explicit ControlServer(QObject* parent = nullptr);
    ~ControlServer() override;

    void addCommand(const QString& name, Command command);
    void addDeferredCommand(const QString& name, DeferredCommand command);

    // Listens at `path`, replacing a socket file that no server answers on; fails when
    // another server answers there.
    Outcome listen(const QString& path);
    // Stops listening and removes the socket file.
    void close();
    bool isListening() const { return listener_ >= 0; }
    // Connections open now.
    int clientCount() const { return clients_; }

private:
    void acceptPending();
    enum class Refusal { refused, noneWaiting, noSpare };
    // Takes a waiting client in on the spare descriptor and refuses it.
    Refusal refuseWithSpare();
    void pause();
    void resume();
    void serve(QLocalSocket* socket);
    void read(QLocalSocket* socket, QTimer* idle);
    void answer(const QByteArray& line, const Reply& reply);

    QHash<QString, DeferredCommand> commands_;
    QString path_;
    int listener_ = -1;
    // Held in reserve: closed for a moment when the process is out of descriptors, so the
    // waiting client can be taken in and told, rather than left waiting in the backlog.
    int spare_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QTimer resumeTimer_;
    int clients_ = 0;
};

} // namespace tovik
