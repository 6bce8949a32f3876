#include "support/run_tool.h"

#include <QProcess>
#include <QTest>

namespace tovik {

ToolResult runTool(const QString& program, const QStringList& arguments,
                   std::chrono::milliseconds timeout) {
    QProcess process;
    process.start(program, arguments);
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; },
                         int(timeout.count()))) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput()};
}

} // namespace tovik
