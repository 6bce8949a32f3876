#include "shortcuts/shortcut_error.h"

namespace tovik {

QString message(ShortcutError error) {
    switch (error) {
    case ShortcutError::keyNotInTable:
        return QStringLiteral("Choose a letter or number.");
    case ShortcutError::noPrimaryModifier:
        return QStringLiteral("Include Ctrl, Alt, or Super.");
    case ShortcutError::notSaved:
        return QStringLiteral("Couldn’t save this shortcut.");
    case ShortcutError::unavailable:
        return QStringLiteral("This shortcut is unavailable. Choose another combination.");
    }
    return {};
}

} // namespace tovik
