#pragma once

#include <QString>

namespace tovik {

// Why a combination cannot become the capture shortcut.
enum class ShortcutError {
    keyNotInTable,     // the key is not a letter A-Z or a digit 0-9
    noPrimaryModifier, // none of command, option, control
    notSaved,          // the binding could not be written
    unavailable,       // the combination cannot become the live hot key
};

QString message(ShortcutError error);

} // namespace tovik
