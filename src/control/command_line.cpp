#include "control/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace tovik {

namespace {

struct Word {
    const char* word;
    AppCommand command;
    const char* description;
};

// The commands, in the order --help lists them; the control socket knows them by word.
constexpr Word words[] = {
    {"capture", AppCommand::capture,
     "Start a session, or take the next capture (bind it to a key in the desktop's shortcut "
     "settings where the hot key cannot be grabbed)."},
    {"show", AppCommand::show, "Show the session window."},
    {"settings", AppCommand::settings, "Show the settings window."},
    {"stop", AppCommand::stop,
     "Stop the session; its captures stay for review until the next one starts."},
    {"copy", AppCommand::copy,
     "Copy the captures as PNG files with feedback.md (or, with --contact-sheet, as one image) "
     "and wait until they are written."},
    {"copy-prompt", AppCommand::copyPrompt, "Copy the feedback text alone."},
    {"paste", AppCommand::paste,
     "Paste the captures, then the feedback text, into the application the session came from."},
    {"status", AppCommand::status, "Print the session's phase and captures (--json: as JSON)."},
    {"quit", AppCommand::quit, "End tovik."},
};

const QCommandLineOption contactSheetOption(QStringLiteral("contact-sheet"),
                                            QStringLiteral("With copy: one contact-sheet image."));
const QCommandLineOption jsonOption(QStringLiteral("json"),
                                    QStringLiteral("With status: print JSON."));

QString description() {
    QString text = QStringLiteral(
        "Collect annotated screenshots as feedback for another application.\n"
        "Without a command, tovik starts, or shows the running tovik's session window.\n"
        "The commands talk to the running tovik:\n\n");
    for (const Word& w : words)
        text += QStringLiteral("  %1%2\n").arg(QLatin1String(w.word), -13).arg(w.description);
    return text;
}

const QString epilogue = QStringLiteral(
    "\n"
    "Hot key: Ctrl+Shift+S starts a session, and takes the next capture while one runs.\n"
    "Change it in the settings window (tovik settings), or as startOrCaptureShortcut in\n"
    "$XDG_CONFIG_HOME/tovik/tovik.conf (~/.config/tovik/tovik.conf).\n"
    "\n"
    "Exports: a copy or paste writes the PNG files, feedback.md and annotations.json into\n"
    "a new folder /tmp/tovik-<id>/ (under $TMPDIR if set). tovik leaves them there for the\n"
    "applications they were pasted into; they go when /tmp is cleaned, usually at reboot.\n"
    "\n"
    "Exit status: 0 done, 1 the command failed or tovik is not running, 2 bad usage.\n");

void setUp(QCommandLineParser& parser) {
    parser.setApplicationDescription(description());
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(contactSheetOption);
    parser.addOption(jsonOption);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the above."),
                                 QStringLiteral("[command]"));
}

} // namespace

QString message(CommandLineError error) {
    switch (error) {
    case CommandLineError::unknownCommand:
        return QStringLiteral("Unknown command.");
    case CommandLineError::extraArgument:
        return QStringLiteral("Too many arguments.");
    case CommandLineError::contactSheetWithoutCopy:
        return QStringLiteral("--contact-sheet goes with copy.");
    case CommandLineError::jsonWithoutStatus:
        return QStringLiteral("--json goes with status.");
    }
    return {};
}

Expected<CommandLine> parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    setUp(parser);
    if (!parser.parse(QStringList(QStringLiteral("tovik")) + arguments))
        return Failure::platform(parser.errorText());
    CommandLine line;
    line.contactSheet = parser.isSet(contactSheetOption);
    line.json = parser.isSet(jsonOption);
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        line.command = AppCommand::help;
    else if (parser.isSet(QStringLiteral("version")))
        line.command = AppCommand::version;
    if (line.command != AppCommand::launch)
        return line;

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return Failure::of(CommandLineError::extraArgument);
    if (!positional.isEmpty()) {
        const auto found = std::find_if(std::begin(words), std::end(words), [&](const Word& w) {
            return positional.first() == QLatin1String(w.word);
        });
        if (found == std::end(words))
            return Failure::of(CommandLineError::unknownCommand);
        line.command = found->command;
    }
    if (line.contactSheet && line.command != AppCommand::copy)
        return Failure::of(CommandLineError::contactSheetWithoutCopy);
    if (line.json && line.command != AppCommand::status)
        return Failure::of(CommandLineError::jsonWithoutStatus);
    return line;
}

QString helpText() {
    QCommandLineParser parser;
    setUp(parser);
    return parser.helpText() + epilogue;
}

QString versionText() {
    return QStringLiteral("tovik %1\n").arg(QStringLiteral(TOVIK_VERSION));
}

QString controlRequest(const CommandLine& commandLine) {
    if (commandLine.command == AppCommand::copy && commandLine.contactSheet)
        return QStringLiteral("copy-contact-sheet");
    for (const Word& w : words) {
        if (w.command == commandLine.command)
            return QLatin1String(w.word);
    }
    return {};
}

} // namespace tovik
