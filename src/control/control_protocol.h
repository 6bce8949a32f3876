#pragma once

#include "model/failure.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace tovik {

enum class ControlError {
    notJson,        // a request line that is not a JSON object
    noCommand,      // a request without a "command" string
    unknownCommand, // a command the server does not know
    tooLong,        // a request line longer than maxLineLength
    noInstance,     // no server listens on the socket
    noAnswer,       // the server did not answer in time
    badAnswer,      // the answer could not be read
    alreadyRunning, // another server answers on the socket
    busy,           // the server has no room for another client now
};

QString message(ControlError error);

// The control socket's line protocol: one JSON object a line each way. A request names its
// command ({"command":"status"}); an answer says {"ok":true, ...fields} or
// {"ok":false,"error":"..."}.
namespace controlProtocol {

// Requests are a few dozen bytes; a longer line is refused before it is parsed.
inline constexpr qsizetype maxLineLength = 4096;

// The socket's file name inside the runtime folder.
QString socketName();

// The fields of an answer to an export (copy, copy-prompt, paste): the text tovik shows
// for it, and the folder the files went to.
inline constexpr QLatin1StringView noticeKey{"notice"};
inline constexpr QLatin1StringView folderKey{"folder"};

QByteArray requestLine(const QString& command);
// The command a request line names.
Expected<QString> parseRequest(const QByteArray& line);

QByteArray answerLine(QJsonObject fields);
QByteArray errorLine(const QString& error);
// The answer's fields without "ok"; an error answer gives its text as a platform failure.
Expected<QJsonObject> parseAnswer(const QByteArray& line);

} // namespace controlProtocol
} // namespace tovik
