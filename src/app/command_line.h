#pragma once

#include "model/failure.h"

#include <QStringList>

namespace tovik {

// What one run of the tovik executable is asked to do.
enum class AppCommand {
    launch,  // start tovik, or bring the running instance's session window to the front
    capture, // ask the running instance to start a session or take the next capture
    status,  // print the running instance's phase and captures as JSON
    help,
};

enum class CommandLineError {
    unknownCommand,
    extraArgument,
};

QString message(CommandLineError error);

// Reads the arguments that follow the program name.
Expected<AppCommand> parseCommandLine(const QStringList& arguments);

// The text `tovik --help` prints.
QString usageText();

} // namespace tovik
