#include "control/control_protocol.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace tovik {

namespace {
const QString okKey = QStringLiteral("ok");
const QString errorKey = QStringLiteral("error");
const QString commandKey = QStringLiteral("command");

QByteArray line(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QJsonObject> parseObject(const QByteArray& line) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}
} // namespace

QString message(ControlError error) {
    switch (error) {
    case ControlError::notJson:
        return QStringLiteral("The request is not a JSON object.");
    case ControlError::noCommand:
        return QStringLiteral("The request has no \"command\" string.");
    case ControlError::unknownCommand:
        return QStringLiteral("Unknown command.");
    case ControlError::tooLong:
        return QStringLiteral("The request is too long.");
    case ControlError::noInstance:
        return QStringLiteral("tovik is not running.");
    case ControlError::noAnswer:
        return QStringLiteral("tovik did not answer.");
    case ControlError::badAnswer:
        return QStringLiteral("tovik’s answer could not be read.");
    case ControlError::alreadyRunning:
        return QStringLiteral("Another tovik already answers on the control socket.");
    case ControlError::busy:
        return QStringLiteral("tovik is busy with other requests. Try again in a moment.");
    }
    return {};
}

namespace controlProtocol {

QString socketName() {
    return QStringLiteral("tovik.sock");
}

QByteArray requestLine(const QString& command) {
    return line(QJsonObject{{commandKey, command}});
}

Expected<QString> parseRequest(const QByteArray& requestLine) {
    if (requestLine.size() > maxLineLength)
        return Failure::of(ControlError::tooLong);
    const std::optional<QJsonObject> object = parseObject(requestLine);
    if (!object)
        return Failure::of(ControlError::notJson);
    const QJsonValue command = object->value(commandKey);
    if (!command.isString())
        return Failure::of(ControlError::noCommand);
    return command.toString();
}

QByteArray answerLine(QJsonObject fields) {
    fields.insert(okKey, true);
    return line(fields);
}

QByteArray errorLine(const QString& error) {
    return line(QJsonObject{{okKey, false}, {errorKey, error}});
}

Expected<QJsonObject> parseAnswer(const QByteArray& answer) {
    std::optional<QJsonObject> object = parseObject(answer);
    if (!object || !object->value(okKey).isBool())
        return Failure::of(ControlError::badAnswer);
    if (!object->value(okKey).toBool()) {
        const QJsonValue error = object->value(errorKey);
        if (!error.isString())
            return Failure::of(ControlError::badAnswer);
        return Failure::platform(error.toString());
    }
    object->remove(okKey);
    return *object;
}

} // namespace controlProtocol
} // namespace tovik
