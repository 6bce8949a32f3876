#include "platform/wayland/wayland_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace tovik {

WaylandClipboard::WaylandClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    connect(clipboard, &QClipboard::dataChanged, this, [this, clipboard] {
        if (!clipboard->ownsClipboard())
            ++changes_;
    });
}

bool WaylandClipboard::write(const ClipboardPayload& payload) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setMimeData(toMimeData(payload), QClipboard::Clipboard);
    return clipboard->ownsClipboard();
}

} // namespace tovik
