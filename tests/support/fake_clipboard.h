#pragma once

#include "platform/clipboard.h"

#include <functional>

namespace tovik {

// Records the payloads it accepts; a test may refuse writes or raise the change counter as another
// client taking the clipboard would.
class FakeClipboard final : public Clipboard {
public:
    QList<ClipboardPayload> writes; // accepted ones, in order
    std::function<bool(const ClipboardPayload&)> accept = [](const ClipboardPayload&) {
        return true;
    };
    qint64 counter = 0;

    bool write(const ClipboardPayload& payload) override {
        if (!accept(payload))
            return false;
        writes.append(payload);
        return true;
    }
    qint64 changeCount() override { return counter; }

    void takenByAnotherClient() { ++counter; }
    void refuseAll() { refuseAfter(0); }
    // Accepts the next `count` writes, then refuses every one.
    void refuseAfter(int count) {
        accept = [count](const ClipboardPayload&) mutable { return count-- > 0; };
    }
};

} // namespace tovik
