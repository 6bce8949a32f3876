#include "app/command_line.h"

namespace tovik {

QString message(CommandLineError error) {
    switch (error) {
    case CommandLineError::unknownCommand:
        return QStringLiteral("Unknown command.");
    case CommandLineError::extraArgument:
        return QStringLiteral("Too many arguments.");
    }
    return {};
}

Expected<AppCommand> parseCommandLine(const QStringList& arguments) {
    if (arguments.isEmpty())
        return AppCommand::launch;
    if (arguments.size() > 1)
        return Failure::of(CommandLineError::extraArgument);
    const QString& word = arguments.first();
    if (word == QLatin1String("capture"))
        return AppCommand::capture;
    if (word == QLatin1String("status"))
        return AppCommand::status;
    if (word == QLatin1String("help") || word == QLatin1String("--help") ||
        word == QLatin1String("-h"))
        return AppCommand::help;
    return Failure::of(CommandLineError::unknownCommand);
}

QString usageText() {
    return QStringLiteral(
        "Usage: tovik [capture | status]\n"
        "\n"
        "  tovik           start tovik, or show the running instance's session window\n"
        "  tovik capture   start a session or take the next capture in the running instance\n"
        "                  (bind this to a key in the desktop's shortcut settings where the\n"
        "                  capture shortcut cannot be grabbed)\n"
        "  tovik status    print the running instance's phase and captures as JSON\n");
}

} // namespace tovik
