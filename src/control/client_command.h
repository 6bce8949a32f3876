#pragma once

#include "control/command_line.h"

#include <QJsonObject>
#include <QString>

namespace tovik {

// The client's side of `tovik <command>`: sends the command to the instance at socketPath,
// prints what it answers (stdout) or why it failed (stderr), and gives the exit code.
int runControlCommand(const CommandLine& commandLine, const QString& socketPath);

// `tovik status` as text: the phase, then one line per capture.
QString statusText(const QJsonObject& status);

} // namespace tovik
