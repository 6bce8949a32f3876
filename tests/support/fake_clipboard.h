#pragma once

#include "platform/clipboard.h"

#include <functional>

namespace tovik {

// Records every payload; a test may refuse writes or raise the change counter as another
// client taking the clipboard would.
class FakeClipboard final : public Clipboard {
public:
    QList<ClipboardPayload> writes; // accepted and refused, in order
    std::function<bool(const ClipboardPayload&)> accept = [](const ClipboardPayload&) {
        return true;
    };
    qint64 counter = 0;

    bool write(const ClipboardPayload& payload) override {
        writes.append(payload);
        return accept(payload);
    }
    qint64 changeCount() override { return counter; }

    void takenByAnotherClient() { ++counter; }
    void refuseAll() {
        accept = [](const ClipboardPayload&) { return false; };
    }
};

} // namespace tovik
