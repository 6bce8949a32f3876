#pragma once

#include "model/failure.h"

#include <QHash>
#include <QJsonObject>
#include <QLocalServer>
#include <QObject>

#include <functional>

class QLocalSocket;

namespace tovik {

// The running instance's end of the control socket: reads one request a line, runs the
// named command and writes one answer a line. Bad requests get an error answer; a line
// longer than the protocol allows ends the connection. Only this user can connect.
class ControlServer : public QObject {
    Q_OBJECT
public:
    // Runs a command on the main thread; answers the fields of the reply.
    using Command = std::function<QJsonObject()>;
    // The answer of a command that finishes later: its fields, or the error it ends with.
    using Reply = std::function<void(const Expected<QJsonObject>& answer)>;
    // Starts a command on the main thread; it calls the reply once, now or later.
    using DeferredCommand = std::function<void(Reply reply)>;

    explicit ControlServer(QObject* parent = nullptr);
    ~ControlServer() override;

    void addCommand(const QString& name, Command command);
    void addDeferredCommand(const QString& name, DeferredCommand command);

    // Listens at `path`, replacing a socket file that no server answers on; fails when
    // another server answers there.
    Outcome listen(const QString& path);
    // Stops listening and removes the socket file.
    void close();
    bool isListening() const { return server_.isListening(); }

private:
    void accept();
    void read(QLocalSocket* socket);
    void answer(const QByteArray& line, const Reply& reply);

    QLocalServer server_;
    QHash<QString, DeferredCommand> commands_;
};

} // namespace tovik
