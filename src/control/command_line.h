#pragma once

#include "model/failure.h"

#include <QStringList>

namespace tovik {

// What one run of the tovik executable is asked to do.
enum class AppCommand {
    launch,     // start tovik, or bring the running instance's session window to the front
    capture,    // a new session, or the next capture, in the running instance
    show,       // the running instance's session window
    settings,   // the running instance's settings window
    stop,       // stop the running session
    copy,       // copy all files (or the contact sheet) and wait for the export
    copyPrompt, // copy the feedback text alone
    paste,      // paste into the application the session came from
    status,     // print the running session
    quit,       // end the running instance
    help,
    version,
};

struct CommandLine {
    AppCommand command = AppCommand::launch;
    bool contactSheet = false; // copy --contact-sheet
    bool json = false;         // status --json
};

enum class CommandLineError {
    unknownCommand,
    extraArgument,
    contactSheetWithoutCopy,
    jsonWithoutStatus,
};

QString message(CommandLineError error);

// Exit codes of the executable.
namespace exitCode {
inline constexpr int done = 0;
inline constexpr int failed = 1; // the command failed, or no tovik runs
inline constexpr int usage = 2;
} // namespace exitCode

// Reads the arguments that follow the program name. Unknown options fail with Qt's text.
Expected<CommandLine> parseCommandLine(const QStringList& arguments);

// What `tovik --help` prints: the commands, the options, the hot key, the files, the exit
// codes.
QString helpText();
QString versionText();

// The control socket's name for a command sent to the running instance; empty for the
// commands the executable answers itself (launch, help, version).
QString controlRequest(const CommandLine& commandLine);

} // namespace tovik
