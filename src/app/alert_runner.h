#pragma once

#include <functional>

class QMessageBox;

namespace tovik {

// Runs a prepared modal alert until the user answers it; the caller reads the answer from
// the box afterwards (clickedButton()). Tests put a runner here that answers at once.
using AlertRunner = std::function<void(QMessageBox& box)>;

// Shows the box in front, gives it the keyboard and waits in a nested event loop.
void execAlert(QMessageBox& box);

} // namespace tovik
