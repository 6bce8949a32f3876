#pragma once

#include "platform/hot_key_backend.h"

#include <QList>

#include <optional>

namespace tovik {

// Records every grab and ungrab; can be told to refuse grabs and to report a press.
class FakeHotKeyBackend final : public HotKeyBackend {
public:
    struct Grab {
        quint32 keysym = 0;
        quint16 modifierMask = 0;
        friend bool operator==(const Grab&, const Grab&) = default;
    };

    bool grab(quint32 keysym, quint16 modifierMask) override {
        requests.append({keysym, modifierMask});
        if (refuse)
            return false;
        current = Grab{keysym, modifierMask};
        return true;
    }
    void ungrab() override {
        ++ungrabCount;
        current.reset();
    }

    void press() { Q_EMIT pressed(); }
    void loseGrab() {
        current.reset();
        Q_EMIT grabLost();
    }

    bool refuse = false;         // answer every grab as taken by another client
    QList<Grab> requests;        // every grab asked for, refused ones included
    std::optional<Grab> current; // what is grabbed now
    int ungrabCount = 0;
};

} // namespace tovik
