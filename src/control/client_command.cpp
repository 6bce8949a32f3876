#include "control/client_command.h"

#include "control/control_client.h"
#include "control/control_protocol.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace tovik {

namespace {
using namespace std::chrono_literals;
// An export of a large session takes seconds on a loaded machine; a paste waits for keys.
constexpr auto exportTimeout = 60s;
} // namespace

int runControlCommand(const CommandLine& commandLine, const QString& socketPath) {
    const bool exports = commandLine.command == AppCommand::copy ||
                         commandLine.command == AppCommand::copyPrompt ||
                         commandLine.command == AppCommand::paste;
    const Expected<QJsonObject> answer =
        exports ? sendControlCommand(socketPath, controlRequest(commandLine), exportTimeout)
                : sendControlCommand(socketPath, controlRequest(commandLine));
    if (!answer) {
        std::fprintf(stderr, "tovik: %s\n", qPrintable(answer.failure().message()));
        return exitCode::failed;
    }
    QString printed;
    if (commandLine.command == AppCommand::status) {
        printed = commandLine.json
                      ? QString::fromUtf8(QJsonDocument(*answer).toJson(QJsonDocument::Indented))
                      : statusText(*answer);
    } else if (answer->contains(controlProtocol::noticeKey)) {
        printed = answer->value(controlProtocol::noticeKey).toString() + QLatin1Char('\n');
        if (answer->contains(controlProtocol::folderKey))
            printed += answer->value(controlProtocol::folderKey).toString() + QLatin1Char('\n');
    }
    std::fputs(printed.toUtf8().constData(), stdout);
    return exitCode::done;
}

QString statusText(const QJsonObject& status) {
    const QJsonArray captures = status.value(QStringLiteral("captures")).toArray();
    QString text =
        QStringLiteral("%1, %2 %3\n")
            .arg(status.value(QStringLiteral("phase")).toString())
            .arg(captures.size())
            .arg(captures.size() == 1 ? QStringLiteral("capture") : QStringLiteral("captures"));
    for (const QJsonValue& capture : captures) {
        text += QStringLiteral("  %1  %2\n")
                    .arg(capture[QStringLiteral("fileName")].toString(),
                         capture[QStringLiteral("instruction")].toString().simplified());
    }
    return text;
}

} // namespace tovik
