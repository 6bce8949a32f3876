#pragma once

#include "model/failure.h"

#include <QString>

namespace tovik {

enum class RuntimeDirectoryError {
    notPrivate, // owned by another user, open to others, or not a plain folder
};

QString message(RuntimeDirectoryError error);

// The folder of this user's control socket and instance lock: $XDG_RUNTIME_DIR when it is
// this user's private folder, otherwise "tovik-<uid>" in the temporary directory, created
// with mode 0700. A folder others could write to would let them answer in tovik's place.
Expected<QString> runtimeDirectory();

// Whether `path` is a real folder (not a link) owned by this user that no one else may open.
bool isPrivateDirectory(const QString& path);

} // namespace tovik
