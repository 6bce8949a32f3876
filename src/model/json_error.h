#pragma once

#include <QString>

namespace tovik {

// Why a record could not be written as JSON or read back from it.
enum class JsonError {
    nonFinite,        // infinity or NaN has no JSON form
    invalidTimestamp, // an invalid or out-of-range date has no ISO 8601 form
    syntax,
    missingMember,
    wrongType,
    invalidValue, // a string that is not a UUID or an ISO 8601 UTC date-time
};

QString message(JsonError error);

} // namespace tovik
