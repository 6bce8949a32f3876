#pragma once

#include "model/failure.h"

#include <QJsonObject>
#include <QString>

#include <chrono>

namespace tovik {

// Sends one command to the instance listening at `socketPath` and waits for its answer:
// the answer's fields, the instance's error text, or why nothing came back. Blocks the
// calling thread, so it belongs to short-lived clients, never to the running instance.
Expected<QJsonObject>
sendControlCommand(const QString& socketPath, const QString& command,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5));

} // namespace tovik
