#pragma once

// The tovik executable launched by an end-to-end test; TOVIK_EXECUTABLE names it.
#include "control/control_client.h"
#include "control/control_protocol.h"
#include "support/run_tool.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <csignal>

namespace tovik {

// tovik with a configuration folder of its own, and a runtime folder of its own unless it
// must use the desktop's (Wayland keeps the compositor's socket there), which `tovik
// <command>` and the other programs the test starts share. `patience` bounds each wait.
class TovikProcess {
public:
    enum class Runtime { own, desktops };

    explicit TovikProcess(Runtime runtime = Runtime::own,
                          std::chrono::milliseconds patience = std::chrono::seconds(5))
        : patience_(int(patience.count())) {
        if (runtime == Runtime::own)
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
        qunsetenv("TOVIK_TRACE");
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~TovikProcess() {
        process_.kill();
        process_.waitForFinished();
    }
    /** Launches it and waits until its control socket answers. */
    bool start() {
        process_.start(QStringLiteral(TOVIK_EXECUTABLE), {});
        return process_.waitForStarted() &&
               QTest::qWaitFor([this] { return !running() || !status().isEmpty(); },
                               2 * patience_) &&
               running();
    }
    /** Its exit code once ended (SIGTERM first, as a desktop session quits, if asked); or -1. */
    int waitForExit(bool terminate = false) {
        if (terminate && running())
            ::kill(pid_t(pid()), SIGTERM);
        const bool ended = QTest::qWaitFor([this] { return !running(); }, patience_);
        return ended && process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    QJsonObject status() const {
        const auto answer = sendControlCommand(socketPath(), "status", std::chrono::seconds(2));
        return answer ? *answer : QJsonObject();
    }
    bool waitForPhase(const QString& phase) const {
        return QTest::qWaitFor([&] { return status().value("phase").toString() == phase; },
                               patience_);
    }
    QString socketPath() const {
        return QDir(qEnvironmentVariable("XDG_RUNTIME_DIR"))
            .filePath(controlProtocol::socketName());
    }
    bool running() const { return process_.state() != QProcess::NotRunning; }
    // `tovik <arguments>` run to its end, as from a terminal.
    static ToolResult run(const QStringList& arguments) {
        return runTool(QStringLiteral(TOVIK_EXECUTABLE), arguments, std::chrono::seconds(30));
    }
    qint64 pid() const { return process_.processId(); }

private:
    int patience_;
    QTemporaryDir runtime_, config_;
    QProcess process_;
};

} // namespace tovik
