#pragma once

#include <QString>

namespace tovik {

class AppDelegate;
class ControlServer;
class SessionStore;

enum class CommandError {
    noCaptures, // copy, copy-prompt or paste with nothing captured
    busy,       // an export or a paste already holds the clipboard
    pasteFailed,
};

QString message(CommandError error);

// The running instance's side of the command line: each command of `tovik <command>` as a
// control socket command calling one store or shell operation. Copy and paste answer once
// their export has finished: the store's notice, or its error.
void addControlCommands(ControlServer& server, SessionStore& store, AppDelegate& delegate);

} // namespace tovik
