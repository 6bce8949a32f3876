#pragma once

#include "platform/key_injector.h"

namespace tovik {

// Wayland lets no client send keys to another: the session offers the paste as a copy and the
// user presses Ctrl+V.
class WaylandKeyInjector final : public KeyInjector {
public:
    bool hasPermission() override { return false; }
    QCoro::Task<bool> requestPermission() override { co_return false; }
    QCoro::Task<> releaseHeldModifiers() override { co_return; }
    bool postPaste(const AppRef&) override { return false; }
};

} // namespace tovik
