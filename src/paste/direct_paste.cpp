#include "paste/direct_paste.h"

#include "model/session_error.h"

namespace tovik::DirectPaste {

namespace {

// A window that does not name its process is told apart by the window itself, so two such
// applications are never mistaken for one another.
bool sameApplication(const AppRef& a, const AppRef& b) {
    if (a.pid != 0 && b.pid != 0)
        return a.pid == b.pid;
    return a.window == b.window;
}

QCoro::Task<Outcome> pause(Clock& clock, std::chrono::milliseconds duration, CancelToken cancel) {
    co_await clock.sleep(duration);
    if (cancel.isCancelled())
        co_return Failure::cancelled();
    co_return Done{};
}

} // namespace

Outcome checkDestination(Desktop& desktop, const AppRef& destination, const CancelToken& cancel) {
    if (cancel.isCancelled())
        return Failure::cancelled();
    const std::optional<AppRef> front = desktop.frontmostApplication();
    // In front is not enough: a window manager may name it and leave the focus elsewhere,
    // and keys would then reach nothing.
    if (desktop.isTerminated(destination) || !front || !sameApplication(*front, destination) ||
        !desktop.hasKeyboardFocus(destination))
        return Failure::of(PasteError::destination);
    return Done{};
}

QCoro::Task<Outcome> sendPasteShortcut(Services services, AppRef destination, CancelToken cancel) {
    // Keys still held would merge into the shortcut (Shift+Ctrl+V instead of Ctrl+V).
    co_await services.keys.releaseHeldModifiers();
    if (Outcome ready = checkDestination(services.desktop, destination, cancel); !ready)
        co_return ready;
    if (!services.keys.postPaste(destination))
        co_return Failure::of(PasteError::event);
    co_return Done{};
}

QCoro::Task<Outcome> paste(Services services, ExportBundle bundle, AppRef destination,
                           bool& photosSent, CancelToken cancel) {
    if (services.desktop.isTerminated(destination) ||
        !co_await services.desktop.activate(destination))
        co_return Failure::of(PasteError::destination);

    if (Outcome waited = co_await pause(services.clock, activationDelay, cancel); !waited)
        co_return waited;
    if (Outcome ready = checkDestination(services.desktop, destination, cancel); !ready)
        co_return ready;

    if (!services.clipboard.write(pasteImagesPayload(bundle)))
        co_return Failure::of(SessionError::clipboard);
    const qint64 imagesChange = services.clipboard.changeCount();
    if (Outcome sent = co_await sendPasteShortcut(services, destination, cancel); !sent)
        co_return sent;
    photosSent = true;

    if (Outcome waited = co_await pause(services.clock, textDelay, cancel); !waited)
        co_return waited;
    if (Outcome ready = checkDestination(services.desktop, destination, cancel); !ready)
        co_return ready;
    // Someone else took the clipboard: their content must not be pasted as our text.
    if (services.clipboard.changeCount() != imagesChange)
        co_return Failure::of(PasteError::clipboardChanged);

    if (!services.clipboard.write(textPayload(bundle.prompt)))
        co_return Failure::of(SessionError::clipboard);
    co_return co_await sendPasteShortcut(services, destination, cancel);
}

} // namespace tovik::DirectPaste
