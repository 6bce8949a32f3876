#pragma once

#include "session/session_store.h"

#include <QJsonObject>

namespace tovik {

// The session as `tovik status` shows it: {"phase": "monitoring", "captures":
// [{"number": 1, "fileName": "tovik-001.png", "instruction": "..."}]}.
QJsonObject sessionStatus(const SessionStore& store);

QString phaseName(Phase phase);

} // namespace tovik
