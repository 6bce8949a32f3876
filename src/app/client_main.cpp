// tovik: a client of the running instance (`tovik capture`, `tovik status`, ...), small so a
// desktop shortcut starts it fast; without a command it becomes tovik's application.
#include "control/client_command.h"
#include "control/command_line.h"
#include "control/control_protocol.h"
#include "control/runtime_directory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace tovik {
namespace {

int fail(const QString& text) {
    std::fprintf(stderr, "tovik: %s\n", qPrintable(text));
    return exitCode::failed;
}

// Replaces this process with tovik's application, found relative to this executable (not on
// PATH): installed under libexec, or beside it in a build folder. argv goes along unchanged,
// argv[0] included, so the windows keep tovik's name. Returns only when that failed.
int execApplication(char** argv) {
    const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (self.isEmpty())
        return fail(QStringLiteral("The path of the tovik executable could not be read from "
                                   "/proc/self/exe."));
    const QDir here = QFileInfo(self).dir();
    const QString installed =
        QDir::cleanPath(here.filePath(QStringLiteral(TOVIK_APP_DIR_FROM_BIN "/" TOVIK_APP_NAME)));
    const QString beside = here.filePath(QStringLiteral(TOVIK_APP_NAME));
    for (const QString& path : {installed, beside}) {
        ::execv(QFile::encodeName(path).constData(), argv);
        if (errno != ENOENT)
            return fail(QStringLiteral("tovik’s application %1 could not be started: %2")
                            .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    return fail(QStringLiteral("tovik’s application is missing: neither %1 nor %2 exists.")
                    .arg(installed, beside));
}

// `tovik <command>`: one request to the running instance.
int runClient(int argc, char** argv, const CommandLine& commandLine) {
    QCoreApplication app(argc, argv);
    const Expected<QString> directory = runtimeDirectory();
    if (!directory)
        return fail(directory.failure().message());
    return runControlCommand(commandLine, QDir(*directory).filePath(controlProtocol::socketName()));
}

} // namespace
} // namespace tovik

int main(int argc, char** argv) {
    using namespace tovik;
    QCoreApplication::setApplicationName(QStringLiteral("tovik"));

    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const Expected<CommandLine> command = parseCommandLine(arguments);
    if (!command) {
        fail(command.failure().message() + QStringLiteral(" Try “tovik --help”."));
        return exitCode::usage;
    }
    switch (command->command) {
    case AppCommand::help: {
        QCoreApplication app(argc, argv); // the usage line names the program as it was run
        std::fputs(qPrintable(helpText()), stdout);
        return exitCode::done;
    }
    case AppCommand::version:
        std::fputs(qPrintable(versionText()), stdout);
        return exitCode::done;
    case AppCommand::launch:
        return execApplication(argv);
    default:
        return runClient(argc, argv, *command);
    }
}
