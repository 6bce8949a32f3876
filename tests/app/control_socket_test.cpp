// The control socket, its line protocol, the runtime folder, the single-instance lock and
// (the command line: command_line_test).
#include "app/control_server.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "control/control_client.h"
#include "control/control_protocol.h"
#include "control/runtime_directory.h"

#include <QFile>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tovik {
namespace {

mode_t modeOf(const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode;
}

class ControlServerTest : public ::testing::Test {
protected:
    ControlServerTest() {
        server.addCommand("show", [this] {
            ++shows;
            return QJsonObject{{"phase", "ready"}};
        });
    }
    // Writes raw bytes; every answer line until the server closes or `lines` have come.
    QList<QJsonObject> exchange(const QByteArray& bytes, int lines) {
        QLocalSocket socket;
        socket.connectToServer(path);
        socket.waitForConnected(1000);
        socket.write(bytes);
        socket.flush(); // before the server takes the connection in
        QList<QJsonObject> answers;
        (void)QTest::qWaitFor([&] {
            while (socket.canReadLine())
                answers.append(QJsonDocument::fromJson(socket.readLine()).object());
            return answers.size() >= lines || socket.state() != QLocalSocket::ConnectedState;
        });
        return answers;
    }

    QTemporaryDir dir;
    QString path = dir.filePath("t.sock"); // socket paths are limited to about 100 bytes
    ControlServer server;
    int shows = 0;
};

TEST_F(ControlServerTest, staleFileReplaced_private_badOrOversizedRequestsAnswered_stillServing) {
    ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly)); // left by an instance that died
    ASSERT_TRUE(server.listen(path).ok());
    EXPECT_EQ(modeOf(path) & (S_IFMT | S_IRWXG | S_IRWXO), S_IFSOCK); // this user's only
    EXPECT_TRUE(ControlServer().listen(path).failure().is(ControlError::alreadyRunning));

    // (The client's side: every end-to-end test asks tovik its status through it.)
    const QList<QJsonObject> answers = exchange(
        "not json\n{\"command\":42}\n{\"command\":\"reboot\"}\n\n{\"command\":\"show\"}\n", 5);
    ASSERT_EQ(answers.size(), 5);
    const ControlError expected[] = {ControlError::notJson, ControlError::noCommand,
                                     ControlError::unknownCommand, ControlError::notJson};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(answers[i].value("ok").toBool()) << i;
        EXPECT_EQ(answers[i].value("error").toString(), message(expected[i])) << i;
    }
    EXPECT_EQ(answers[4].value("phase").toString(), "ready");
    EXPECT_EQ(shows, 1);

    // Too long, with or without its newline: refused and the connection closed.
    for (const QByteArray& bytes :
         {QByteArray(controlProtocol::maxLineLength + 10, 'x'),
          QByteArray(controlProtocol::maxLineLength + 10, ' ') + "{\"command\":\"show\"}\n"}) {
        const QList<QJsonObject> refused = exchange(bytes, 2);
        ASSERT_EQ(refused.size(), 1);
        EXPECT_EQ(refused[0].value("error").toString(), message(ControlError::tooLong));
    }
    EXPECT_EQ(shows, 1);

    // A request split across writes is answered once complete.
    QLocalSocket socket;
    socket.connectToServer(path);
    ASSERT_TRUE(socket.waitForConnected(1000));
    socket.write("{\"comm");
    socket.flush();
    QTest::qWait(50);
    EXPECT_EQ(shows, 1);
    socket.write("and\":\"show\"}\r\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return socket.canReadLine(); }));
    EXPECT_EQ(shows, 2);
}

// A lower limit on open descriptors with every number below it taken, until destroyed.
// (Not lower than the number of descriptors the event loop polls: poll() refuses more.)
class DescriptorShortage {
public:
    explicit DescriptorShortage(rlim_t limit) {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = std::min(limit, saved_.rlim_cur);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd = ::dup(0); fd >= 0; fd = ::dup(0))
            taken_.push_back(fd);
    }
    ~DescriptorShortage() {
        for (const int fd : taken_)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &saved_);
    }

private:
    rlimit saved_{};
    std::vector<int> taken_;
};

TEST_F(ControlServerTest,
       floodBeyondTheCapAndTheDescriptorLimit_extraClientsToldBusy_stillListening) {
    ASSERT_TRUE(server.listen(path).ok());
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < ControlServer::maxClients; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(path);
        ASSERT_TRUE(idle.back()->waitForConnected(1000));
    }
    EXPECT_EQ(exchange("{\"command\":\"show\"}\n", 1).value(0).value("error").toString(),
              message(ControlError::busy)); // beyond the cap

    // More clients than the limit on descriptors, waiting while the server is out of them,
    // as with the usual limit of 1,024 and as many idle clients.
    constexpr int limit = 256;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(path).constData(),
                 sizeof address.sun_path - 1);
    QList<int> waiting;
    for (int i = 0; i < limit + 100; ++i) {
        waiting.append(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        ASSERT_EQ(::connect(waiting.last(), reinterpret_cast<sockaddr*>(&address), sizeof address),
                  0);
    }
    {
        const DescriptorShortage shortage(limit);
        const QByteArray busy = controlProtocol::errorLine(message(ControlError::busy));
        int toldBusy = 0;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            for (qsizetype i = waiting.size() - 1; i >= 0; --i) {
                char answer[256];
                const ssize_t size = ::recv(waiting[i], answer, sizeof answer, MSG_DONTWAIT);
                if (size < 0)
                    continue; // nothing yet
                toldBusy += QByteArray(answer, int(size)) == busy;
                ::close(waiting.takeAt(i));
            }
            return waiting.isEmpty();
        }));
        EXPECT_EQ(toldBusy, limit + 100);
        EXPECT_TRUE(server.isListening());
        EXPECT_TRUE(QFile::exists(path));

        // Once the idle clients leave, requests are served again, still under the low limit.
        idle.clear();
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.clientCount() == 0; }));
        EXPECT_TRUE(exchange("{\"command\":\"show\"}\n", 1).value(0).value("ok").toBool());
    }
    EXPECT_EQ(shows, 1);
    for (const int fd : waiting)
        ::close(fd);
}

TEST(RuntimeDirectory, missingOrSharedSessionFolder_aPrivateTempFolder_neverASharedOrALink) {
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR"), savedTmp = qgetenv("TMPDIR");
    QTemporaryDir tmp, runtime;
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
    const QString fallback = tmp.filePath(QStringLiteral("tovik-%1").arg(::getuid()));
    const QByteArray runtimePath = runtime.path().toLocal8Bit();
    ::chmod(runtimePath.constData(), 0755); // (a private one is used: see the e2e tests)
    for (const QByteArray& value : {QByteArray(), QByteArray("relative/dir"), runtimePath}) {
        qputenv("XDG_RUNTIME_DIR", value);
        EXPECT_EQ(runtimeDirectory().value(), fallback) << value.constData();
        EXPECT_EQ(modeOf(fallback) & 0777, 0700u);
    }
    qunsetenv("XDG_RUNTIME_DIR");
    ::chmod(QFile::encodeName(fallback).constData(), 0777);
    EXPECT_TRUE(runtimeDirectory().failure().is(RuntimeDirectoryError::notPrivate));
    ASSERT_TRUE(QDir(fallback).removeRecursively());
    ::chmod(runtimePath.constData(), 0700); // a private folder, but through a link
    ASSERT_TRUE(QFile::link(runtime.path(), fallback));
    EXPECT_TRUE(runtimeDirectory().failure().is(RuntimeDirectoryError::notPrivate));
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
    qputenv("TMPDIR", savedTmp);
}

TEST(SingleInstance, secondClaimFailsUntilTheFirstEnds) {
    QTemporaryDir dir;
    auto first = std::make_unique<SingleInstance>(dir.path());
    SingleInstance second(dir.path());
    EXPECT_TRUE(first->claim());
    EXPECT_FALSE(second.claim());
    first.reset();
    EXPECT_TRUE(second.claim());
}

TEST(TerminationSignals, signalsBeyondWhatTheQueueHolds_leaveErrnoAlone_andAreStillReceived) {
    TerminationSignals termination;
    QSignalSpy received(&termination, &TerminationSignals::received);
    // Far more than the socket holds before the main thread reads it: the last writes fail.
    for (int i = 0; i < 5000; ++i)
        ::raise(SIGHUP);
    errno = EDOM; // as code interrupted between a failing call and its errno check has it
    ::raise(SIGTERM);
    EXPECT_EQ(errno, EDOM);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.size() > 0; }));
}

} // namespace
} // namespace tovik
