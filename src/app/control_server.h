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

    explicit ControlServer(QObject* parent = nullptr);
    ~ControlServer() override;

    void addCommand(const QString& name, Command command);

    // Listens at `path`, replacing a socket file that no server answers on; fails when
    // another server answers there.
    Outcome listen(const QString& path);
    // Stops listening and removes the socket file.
    void close();
    bool isListening() const { return server_.isListening(); }

private:
    void accept();
    void read(QLocalSocket* socket);
    QByteArray answer(const QByteArray& line);

    QLocalServer server_;
    QHash<QString, Command> commands_;
};

} // namespace tovik
