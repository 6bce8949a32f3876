#pragma once

#include "platform/keyboard_layout.h"

#include <QHash>

namespace tovik {

// A keyboard whose keys carry what the test says, by native key code.
class FakeKeyboardLayout final : public KeyboardLayout {
public:
    std::optional<QChar> latinKey(quint32 nativeKeyCode) override {
        const auto it = keys.constFind(nativeKeyCode);
        return it == keys.cend() ? std::nullopt : std::optional<QChar>(*it);
    }

    QHash<quint32, QChar> keys;
};

} // namespace tovik
