#include "app/command_line.h"
#include "app/control_client.h"
#include "app/control_protocol.h"
#include "app/control_server.h"
#include "app/runtime_directory.h"
#include "app/single_instance.h"

#include <QFile>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/un.h>

namespace tovik {
namespace {

using namespace std::chrono_literals;

// The running instance's answers are read on another thread, as another process would.
Expected<QJsonObject> sendFromClient(const QString& path, const QString& command) {
    QFuture<Expected<QJsonObject>> answer =
        QtConcurrent::run([path, command] { return sendControlCommand(path, command, 3s); });
    while (!answer.isFinished())
        QTest::qWait(5);
    return answer.result();
}

// Writes raw bytes as a client and collects every answer line until the server closes or
// `lines` have come.
QList<QJsonObject> exchange(const QString& path, const QByteArray& bytes, int lines) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(1000))
        return {};
    socket.write(bytes);
    QList<QJsonObject> answers;
    (void)QTest::qWaitFor(
        [&] {
            while (socket.canReadLine())
                answers.append(QJsonDocument::fromJson(socket.readLine()).object());
            return answers.size() >= lines || socket.state() != QLocalSocket::ConnectedState;
        },
        3000);
    return answers;
}

mode_t modeOf(const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode;
}

class ControlServerTest : public ::testing::Test {
protected:
    ControlServerTest() {
        server.addCommand("status", [this] {
            ++statusCalls;
            return QJsonObject{{"phase", "ready"}};
        });
        server.addCommand("show", [this] {
            ++showCalls;
            return QJsonObject{};
        });
    }
    void listen() { ASSERT_TRUE(server.listen(path).ok()); }

    QTemporaryDir dir;
    // Socket paths are limited to about a hundred bytes; keep it short.
    QString path = dir.filePath("t.sock");
    ControlServer server;
    int statusCalls = 0;
    int showCalls = 0;
};

TEST_F(ControlServerTest, knownCommand_runsItAndAnswersItsFields) {
    listen();
    const Expected<QJsonObject> answer = sendFromClient(path, "status");
    ASSERT_TRUE(answer.ok()) << answer.failure().message().toStdString();
    EXPECT_EQ(answer->value("phase").toString(), "ready");
    EXPECT_FALSE(answer->contains("ok"));
    EXPECT_EQ(statusCalls, 1);
}

TEST_F(ControlServerTest, badRequests_getErrorAnswersAndTheConnectionStaysUsable) {
    listen();
    const QList<QJsonObject> answers = exchange(path,
                                                "not json\n"
                                                "[1,2]\n"
                                                "{\"command\":42}\n"
                                                "{\"cmd\":\"show\"}\n"
                                                "{\"command\":\"reboot\"}\n"
                                                "\n"
                                                "{\"command\":\"show\"}\r\n",
                                                7);
    ASSERT_EQ(answers.size(), 7);
    const QStringList expected = {
        message(ControlError::notJson),        message(ControlError::notJson),
        message(ControlError::noCommand),      message(ControlError::noCommand),
        message(ControlError::unknownCommand), message(ControlError::notJson),
    };
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_FALSE(answers[i].value("ok").toBool()) << i;
        EXPECT_EQ(answers[i].value("error").toString(), expected[i]) << i;
    }
    EXPECT_TRUE(answers[6].value("ok").toBool());
    EXPECT_EQ(showCalls, 1);
}

TEST_F(ControlServerTest, requestSplitAcrossWrites_isAnsweredOnceComplete) {
    listen();
    QLocalSocket socket;
    socket.connectToServer(path);
    ASSERT_TRUE(socket.waitForConnected(1000));
    socket.write("{\"comm");
    socket.flush();
    QTest::qWait(50);
    EXPECT_EQ(showCalls, 0);
    socket.write("and\":\"show\"}\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return socket.canReadLine(); }, 2000));
    EXPECT_EQ(showCalls, 1);
}

TEST_F(ControlServerTest, oversizedLine_isRefusedAndTheConnectionClosed) {
    listen();
    for (const QByteArray& bytes :
         {QByteArray(controlProtocol::maxLineLength + 10, 'x'), // no newline
          QByteArray(controlProtocol::maxLineLength + 10, ' ') + "{\"command\":\"show\"}\n"}) {
        const QList<QJsonObject> answers = exchange(path, bytes, 2);
        ASSERT_EQ(answers.size(), 1);
        EXPECT_EQ(answers[0].value("error").toString(), message(ControlError::tooLong));
    }
    EXPECT_EQ(showCalls, 0);
    // The server itself keeps serving.
    EXPECT_TRUE(sendFromClient(path, "show").ok());
}

TEST_F(ControlServerTest, socketFile_isReachableByThisUserOnly) {
    listen();
    EXPECT_TRUE(S_ISSOCK(modeOf(path)));
    EXPECT_EQ(modeOf(path) & (S_IRWXG | S_IRWXO), 0u);
}

TEST_F(ControlServerTest, staleFileAtThePath_isReplaced) {
    // A socket left by an instance that died: bound once, no one listening any more.
    {
        QFile stale(path);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("left over");
    }
    listen();
    EXPECT_TRUE(sendFromClient(path, "status").ok());
}

TEST_F(ControlServerTest, secondServerOnALiveSocket_isRefusedAndTheFirstKeepsWorking) {
    listen();
    ControlServer second;
    const Outcome outcome = second.listen(path);
    ASSERT_FALSE(outcome.ok());
    EXPECT_TRUE(outcome.failure().is(ControlError::alreadyRunning));
    EXPECT_TRUE(sendFromClient(path, "status").ok());
}

TEST(ControlClient, withoutServer_reportsNoInstance) {
    QTemporaryDir dir;
    const Expected<QJsonObject> answer = sendControlCommand(dir.filePath("none.sock"), "status");
    ASSERT_FALSE(answer.ok());
    EXPECT_TRUE(answer.failure().is(ControlError::noInstance));
}

TEST(ControlProtocol, answers_separateFieldsFromErrors) {
    EXPECT_EQ(controlProtocol::parseAnswer(controlProtocol::answerLine({{"n", 1}}))->value("n"), 1);
    const Expected<QJsonObject> error =
        controlProtocol::parseAnswer(controlProtocol::errorLine("Unknown command."));
    ASSERT_FALSE(error.ok());
    EXPECT_EQ(error.failure().message(), "Unknown command.");
    for (const QByteArray& bad :
         {QByteArray("garbage"), QByteArray("{\"phase\":1}"), QByteArray("{\"ok\":false}")}) {
        const Expected<QJsonObject> answer = controlProtocol::parseAnswer(bad);
        ASSERT_FALSE(answer.ok()) << bad.constData();
        EXPECT_TRUE(answer.failure().is(ControlError::badAnswer)) << bad.constData();
    }
}

class RuntimeDirectoryTest : public ::testing::Test {
protected:
    RuntimeDirectoryTest()
        : savedRuntime(qgetenv("XDG_RUNTIME_DIR"))
        , savedTmp(qgetenv("TMPDIR")) {
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
    }
    ~RuntimeDirectoryTest() override {
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        qputenv("TMPDIR", savedTmp);
    }
    QString fallback() const { return tmp.filePath(QStringLiteral("tovik-%1").arg(::getuid())); }

    QByteArray savedRuntime;
    QByteArray savedTmp;
    QTemporaryDir tmp;
    QTemporaryDir runtime;
};

TEST_F(RuntimeDirectoryTest, privateSessionFolder_isUsed) {
    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0700), 0);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    EXPECT_EQ(runtimeDirectory().value(), runtime.path());
}

TEST_F(RuntimeDirectoryTest, missingOrSharedSessionFolder_fallsBackToAPrivateTempFolder) {
    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0755), 0);
    for (const QByteArray& value :
         {QByteArray(), QByteArray("relative/dir"), runtime.path().toLocal8Bit()}) {
        qputenv("XDG_RUNTIME_DIR", value);
        const Expected<QString> dir = runtimeDirectory();
        ASSERT_TRUE(dir.ok()) << value.constData();
        EXPECT_EQ(*dir, fallback());
        EXPECT_EQ(modeOf(*dir) & 0777, 0700u);
    }
}

TEST_F(RuntimeDirectoryTest, fallbackOthersCanOpenOrALink_isRefused) {
    qunsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(QDir().mkdir(fallback()));
    ASSERT_EQ(::chmod(QFile::encodeName(fallback()).constData(), 0777), 0);
    EXPECT_TRUE(runtimeDirectory().failure().is(RuntimeDirectoryError::notPrivate));

    ASSERT_TRUE(QDir(fallback()).removeRecursively());
    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0700), 0);
    ASSERT_TRUE(QFile::link(runtime.path(), fallback()));
    EXPECT_TRUE(runtimeDirectory().failure().is(RuntimeDirectoryError::notPrivate));
}

TEST(SingleInstanceTest, secondClaimInTheSameFolder_fails_untilTheFirstEnds) {
    QTemporaryDir dir;
    auto first = std::make_unique<SingleInstance>(dir.path());
    SingleInstance second(dir.path());
    EXPECT_TRUE(first->claim());
    EXPECT_TRUE(first->claim());
    EXPECT_FALSE(second.claim());
    first.reset();
    EXPECT_TRUE(second.claim());
    EXPECT_EQ(second.socketPath(), dir.filePath("tovik.sock"));
}

TEST(CommandLine, readsTheCommandsAndRefusesTheRest) {
    EXPECT_EQ(parseCommandLine({}).value(), AppCommand::launch);
    EXPECT_EQ(parseCommandLine({"capture"}).value(), AppCommand::capture);
    EXPECT_EQ(parseCommandLine({"status"}).value(), AppCommand::status);
    EXPECT_EQ(parseCommandLine({"--help"}).value(), AppCommand::help);
    EXPECT_TRUE(parseCommandLine({"Capture"}).failure().is(CommandLineError::unknownCommand));
    EXPECT_TRUE(parseCommandLine({"status", "now"}).failure().is(CommandLineError::extraArgument));
}

} // namespace
} // namespace tovik
