#include "app/control_server.h"

#include "control/control_protocol.h"

#include <QFile>
#include <QLocalSocket>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tovik {

namespace {
using namespace std::chrono_literals;
// A client that says nothing for this long is dropped, so none can hold a connection open.
constexpr auto idleTimeout = 10s;
// How long a live server may take to accept a probing connection.
constexpr int probeTimeoutMs = 500;
// When no descriptor can be freed to take a waiting client in, accepting pauses this long
// (or until a client leaves) instead of spinning on a socket that stays readable.
constexpr auto acceptPause = 200ms;

bool serverAnswers(const QString& path) {
    QLocalSocket probe;
    probe.connectToServer(path);
    return probe.waitForConnected(probeTimeoutMs);
}

Failure systemFailure(const QString& path) {
    return Failure::platform(
        QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
}

int openSpare() {
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

int acceptOne(int listener) {
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
}

// Tells a client there is no room for it and lets it go, without waiting on it.
void refuse(int fd) {
    static const QByteArray busy = controlProtocol::errorLine(message(ControlError::busy));
    [[maybe_unused]] const ssize_t sent =
        ::send(fd, busy.constData(), size_t(busy.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
    // Closing with its request unread would reset the connection before the client reads
    // the answer.
    char request[controlProtocol::maxLineLength + 2];
    [[maybe_unused]] const ssize_t read = ::recv(fd, request, sizeof request, MSG_DONTWAIT);
    ::close(fd);
}
} // namespace

ControlServer::ControlServer(QObject* parent)
    : QObject(parent) {
    resumeTimer_.setSingleShot(true);
    resumeTimer_.setInterval(acceptPause);
    connect(&resumeTimer_, &QTimer::timeout, this, &ControlServer::resume);
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
    close();
    if (serverAnswers(path))
        return Failure::of(ControlError::alreadyRunning);
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() >= qsizetype(sizeof address.sun_path))
        return Failure::platform(
            QStringLiteral("%1: the path is too long for a socket.").arg(path));
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return systemFailure(path);
    // Linux gives the socket file the socket's own mode, so it is this user's from the start.
    ::fchmod(fd, S_IRUSR | S_IWUSR);
    // What is left there is the socket of an instance that ended without cleaning up.
    ::unlink(name.constData());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        const Failure failure = systemFailure(path);
        ::close(fd);
        return failure;
    }
    listener_ = fd;
    path_ = path;
    spare_ = openSpare();
    notifier_ = new QSocketNotifier(listener_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ControlServer::acceptPending);
    return Done{};
}

void ControlServer::close() {
    if (listener_ < 0)
        return;
    resumeTimer_.stop();
    delete notifier_;
    notifier_ = nullptr;
    ::close(listener_);
    listener_ = -1;
    if (spare_ >= 0)
        ::close(spare_);
    spare_ = -1;
    QFile::remove(path_);
    path_.clear();
}

void ControlServer::acceptPending() {
    for (;;) {
        const int fd = acceptOne(listener_);
        if (fd >= 0) {
            if (clients_ < maxClients) {
                auto* socket = new QLocalSocket(this);
                if (socket->setSocketDescriptor(fd)) {
                    serve(socket);
                    continue;
                }
                delete socket;
            }
            refuse(fd);
            continue;
        }
        const int error = errno;
        if (error == EINTR || error == ECONNABORTED)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return;
        // Out of descriptors (EMFILE, ENFILE) or kernel memory: the listening socket stays,
        // unlike QLocalServer's, which closes and removes it on any failed accept.
        if (error == EMFILE || error == ENFILE) {
            switch (refuseWithSpare()) {
            case Refusal::refused:
                continue;
            case Refusal::noneWaiting:
                return;
            case Refusal::noSpare:
                break;
            }
        }
        pause();
        return;
    }
}

ControlServer::Refusal ControlServer::refuseWithSpare() {
    if (spare_ < 0)
        return Refusal::noSpare;
    ::close(spare_);
    const int fd = acceptOne(listener_);
    const bool waiting = fd >= 0 || errno != EAGAIN;
    if (fd >= 0)
        refuse(fd);
    spare_ = openSpare();
    if (fd >= 0)
        return Refusal::refused;
    return waiting ? Refusal::noSpare : Refusal::noneWaiting;
}

void ControlServer::pause() {
    if (!notifier_)
        return;
    notifier_->setEnabled(false);
    resumeTimer_.start();
}

void ControlServer::resume() {
    if (!notifier_ || notifier_->isEnabled())
        return;
    resumeTimer_.stop();
    if (spare_ < 0)
        spare_ = openSpare();
    notifier_->setEnabled(true);
}

void ControlServer::serve(QLocalSocket* socket) {
    ++clients_;
    connect(socket, &QObject::destroyed, this, [this] {
        --clients_;
        resume(); // a descriptor is free again
    });
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(idleTimeout);
    connect(idle, &QTimer::timeout, socket, &QLocalSocket::abort);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, idle] {
        idle->start();
        read(socket, idle);
    });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    idle->start();
    if (socket->bytesAvailable() > 0)
        read(socket, idle);
}

void ControlServer::read(QLocalSocket* socket, QTimer* idle) {
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(controlProtocol::maxLineLength + 2);
        if (!line.endsWith('\n')) {
            // A line longer than any request: refuse it rather than buffer it.
            socket->write(controlProtocol::errorLine(message(ControlError::tooLong)));
            socket->disconnectFromServer();
            return;
        }
        // A client waiting for its answer is not idle, however long an export takes; the
        // answer may come after the client has gone.
        idle->stop();
        answer(line.trimmed(),
               [socket = QPointer<QLocalSocket>(socket),
                idle = QPointer<QTimer>(idle)](const Expected<QJsonObject>& fields) {
                   if (!socket)
                       return;
                   socket->write(fields ? controlProtocol::answerLine(*fields)
                                        : controlProtocol::errorLine(fields.failure().message()));
                   // Written now: the command may end the process (quit).
                   socket->flush();
                   if (idle)
                       idle->start();
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
