#include "paste/paste_error.h"

namespace tovik {

QString message(PasteError error) {
    switch (error) {
    case PasteError::permission:
        return QStringLiteral("tovik may not send the paste keys. On X11, turn on the X "
                              "server’s XTEST extension; on Wayland, allow tovik to control "
                              "the keyboard when your desktop asks. Then click Paste again.");
    case PasteError::destination:
        return QStringLiteral("Focus the destination app’s input, then click Paste. Keep that "
                              "app focused until pasting finishes.");
    case PasteError::clipboardChanged:
        return QStringLiteral("The clipboard changed after the photos were sent. Feedback text "
                              "was not pasted.");
    case PasteError::event:
        return QStringLiteral("The paste command could not be sent. Use Copy all files or Copy "
                              "prompt from the session window.");
    }
    return {};
}

} // namespace tovik
