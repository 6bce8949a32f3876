#pragma once

#include "platform/clipboard.h"

#include <QObject>

namespace tovik {

// The clipboard through Qt's Wayland data device. The compositor hands the selection only to
// a client that had input a moment ago, as after a click on one of its buttons.
class WaylandClipboard final : public QObject, public Clipboard {
    Q_OBJECT
public:
    WaylandClipboard();

    bool write(const ClipboardPayload& payload) override;
    qint64 changeCount() override { return changes_; }

private:
    qint64 changes_ = 0;
};

} // namespace tovik
