#pragma once

#include "shortcuts/shortcut_binding.h"

#include <ostream>

namespace tovik {

// Readable bindings in test failures.
inline void PrintTo(const ShortcutBinding& binding, std::ostream* os) {
    *os << binding.toJson().constData();
}

} // namespace tovik
