#pragma once

#include "platform/key_injector.h"

#include <memory>

namespace tovik {

class XcbConnection;
class X11Keymap;

// The paste shortcut as XTest key events into the focused window.
class X11KeyInjector final : public KeyInjector {
public:
    X11KeyInjector();
    ~X11KeyInjector() override;

    /** XTest needs no permission: granted when the server has the extension. */
    bool hasPermission() override;
    QCoro::Task<bool> requestPermission() override;
    /** Polls the pointer's modifier mask between turns of the event loop. */
    QCoro::Task<> releaseHeldModifiers() override;
    /** Ctrl+V, or Ctrl+Shift+V for a terminal emulator. */
    bool postPaste(const AppRef& destination) override;

private:
    void updateKeymap();
    void fakeKey(quint8 type, quint8 keycode);

    std::unique_ptr<XcbConnection> conn_;
    std::unique_ptr<X11Keymap> keymap_;
};

} // namespace tovik
