#include "paste/paste_error.h"

namespace tovik {

QString message(PasteError error) {
    switch (error) {
    case PasteError::permission:
        return QStringLiteral("Turn on the X server’s XTEST extension so tovik can send the "
                              "paste keys, then click Paste again.");
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
