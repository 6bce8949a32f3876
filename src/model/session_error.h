#pragma once

#include <QString>

namespace tovik {

// Errors of the capture session. Here rather than in session/ because the paste engine,
// which the session uses, raises `clipboard` too.
enum class SessionError { memoryLimit, clipboard };

inline QString message(SessionError error) {
    switch (error) {
    case SessionError::memoryLimit:
        return QStringLiteral("This session reached its 512 MB memory limit. End the session "
                              "and export before starting another.");
    case SessionError::clipboard:
        return QStringLiteral("The clipboard could not accept the files. Try copying again.");
    }
    return {};
}

} // namespace tovik
