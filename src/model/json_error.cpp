#include "model/json_error.h"

namespace tovik {

QString message(JsonError error) {
    switch (error) {
    case JsonError::nonFinite:
        return QStringLiteral("A capture holds a number that isn’t finite, so its annotations "
                              "couldn’t be written.");
    case JsonError::invalidTimestamp:
        return QStringLiteral("A capture has no valid creation time, so its annotations "
                              "couldn’t be written.");
    case JsonError::syntax:
        return QStringLiteral("The annotations aren’t valid JSON.");
    case JsonError::missingMember:
        return QStringLiteral("The annotations lack a required member.");
    case JsonError::wrongType:
        return QStringLiteral("A member of the annotations has the wrong type.");
    case JsonError::invalidValue:
        return QStringLiteral("A member of the annotations holds an invalid identifier or date.");
    }
    return {};
}

} // namespace tovik
