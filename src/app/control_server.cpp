#include "app/control_server.h"

#include "app/control_protocol.h"

#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <chrono>

namespace tovik {

namespace {
using namespace std::chrono_literals;
// A client that says nothing for this long is dropped, so none can hold a connection open.
constexpr auto idleTimeout = 10s;
// How long a live server may take to accept a probing connection.
constexpr int probeTimeoutMs = 500;

bool serverAnswers(const QString& path) {
    QLocalSocket probe;
    probe.connectToServer(path);
    return probe.waitForConnected(probeTimeoutMs);
}
} // namespace

ControlServer::ControlServer(QObject* parent)
    : QObject(parent) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &ControlServer::accept);
}

ControlServer::~ControlServer() {
    close();
}

void ControlServer::addCommand(const QString& name, Command command) {
    addDeferredCommand(name,
                       [command = std::move(command)](const Reply& reply) { reply(command()); });
}

void ControlServer::addDeferredCommand(const QString& name, DeferredCommand command) {
    commands_.insert(name, std::move(command));
}

Outcome ControlServer::listen(const QString& path) {
    if (serverAnswers(path))
        return Failure::of(ControlError::alreadyRunning);
    // What is left there is the socket of an instance that ended without cleaning up.
    QLocalServer::removeServer(path);
    if (!server_.listen(path))
        return Failure::platform(server_.errorString());
    return Done{};
}

void ControlServer::close() {
    if (server_.isListening())
        server_.close();
}

void ControlServer::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        auto* idle = new QTimer(socket);
        idle->setSingleShot(true);
        idle->setInterval(idleTimeout);
        connect(idle, &QTimer::timeout, socket, &QLocalSocket::abort);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, idle] {
            idle->start();
            read(socket);
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        idle->start();
        if (socket->bytesAvailable() > 0)
            read(socket);
    }
}

void ControlServer::read(QLocalSocket* socket) {
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(controlProtocol::maxLineLength + 2);
        if (!line.endsWith('\n')) {
            // A line longer than any request: refuse it rather than buffer it.
            socket->write(controlProtocol::errorLine(message(ControlError::tooLong)));
            socket->disconnectFromServer();
            return;
        }
        // The answer may come after the client has gone.
        answer(line.trimmed(),
               [socket = QPointer<QLocalSocket>(socket)](const Expected<QJsonObject>& fields) {
                   if (!socket)
                       return;
                   socket->write(fields ? controlProtocol::answerLine(*fields)
                                        : controlProtocol::errorLine(fields.failure().message()));
                   // Written now: the command may end the process (quit).
                   socket->flush();
               });
        if (socket->state() != QLocalSocket::ConnectedState)
            return;
    }
    if (socket->bytesAvailable() > controlProtocol::maxLineLength) {
        socket->write(controlProtocol::errorLine(message(ControlError::tooLong)));
        socket->disconnectFromServer();
    }
}

void ControlServer::answer(const QByteArray& line, const Reply& reply) {
    const Expected<QString> command = controlProtocol::parseRequest(line);
    if (!command)
        return reply(command.failure());
    const auto found = commands_.constFind(*command);
    if (found == commands_.constEnd())
        return reply(Failure::of(ControlError::unknownCommand));
    (*found)(reply);
}

} // namespace tovik
