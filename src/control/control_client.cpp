#include "control/control_client.h"

#include "control/control_protocol.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

namespace tovik {

namespace {
// Far more than the status of the largest session; a bound against a runaway peer.
constexpr qsizetype maxAnswerLength = 16 * 1024 * 1024;
} // namespace

Expected<QJsonObject> sendControlCommand(const QString& socketPath, const QString& command,
                                         std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        const QLocalSocket::LocalSocketError error = socket.error();
        if (error == QLocalSocket::ServerNotFoundError ||
            error == QLocalSocket::ConnectionRefusedError)
            return Failure::of(ControlError::noInstance);
        if (error == QLocalSocket::SocketTimeoutError)
            return Failure::of(ControlError::noAnswer);
        return Failure::platform(socket.errorString());
    }
    socket.write(controlProtocol::requestLine(command));
    socket.flush();
    QByteArray answer;
    while (!answer.endsWith('\n')) {
        if (answer.size() > maxAnswerLength)
            return Failure::of(ControlError::badAnswer);
        if (socket.bytesAvailable() == 0 &&
            !socket.waitForReadyRead(int(deadline.remainingTime()))) {
            return Failure::of(socket.state() == QLocalSocket::ConnectedState
                                   ? ControlError::noAnswer
                                   : ControlError::badAnswer);
        }
        answer += socket.readLine();
    }
    return controlProtocol::parseAnswer(answer);
}

} // namespace tovik
