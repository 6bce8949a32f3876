#pragma once

#include "export/export_bundle.h"
#include "model/cancel_token.h"
#include "model/failure.h"
#include "paste/paste_error.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/key_injector.h"

#include <QCoro/QCoroTask>

#include <chrono>

namespace tovik {

// Pastes an export into another application as a user would by hand: the images first,
// then the feedback text, each with the paste shortcut. Keeps no state between runs.
namespace DirectPaste {

inline constexpr std::chrono::milliseconds activationDelay{250};
inline constexpr std::chrono::milliseconds textDelay{1000};

// The desktop services a run uses; they must outlive it.
struct Services {
    Desktop& desktop;
    Clipboard& clipboard;
    KeyInjector& keys;
    Clock& clock;
};

// Runs the whole sequence on the calling (main) thread, suspending only in its two waits.
// Sets photosSent once the images' paste shortcut was posted. Fails with a PasteError,
// SessionError::clipboard when the clipboard refuses a write, or Failure::cancelled().
QCoro::Task<Outcome> paste(Services services, ExportBundle bundle, AppRef destination,
                           bool& photosSent, CancelToken cancel);

// Succeeds while the destination is alive, in front and has the keyboard focus.
Outcome checkDestination(Desktop& desktop, const AppRef& destination, const CancelToken& cancel);

// Waits for the user's modifier keys to come up, then checkDestination, then the paste
// shortcut (key down, key up) to the destination.
QCoro::Task<Outcome> sendPasteShortcut(Services services, AppRef destination, CancelToken cancel);

} // namespace DirectPaste
} // namespace tovik
