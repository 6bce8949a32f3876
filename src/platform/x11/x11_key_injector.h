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
    bool requestPermission() override;
    /** Ctrl+V, or Ctrl+Shift+V for a terminal emulator, once the user's modifiers are up. */
    bool postPaste(const AppRef& destination) override;

private:
    void releaseHeldModifiers();
    void fakeKey(quint8 type, quint8 keycode);

    std::unique_ptr<XcbConnection> conn_;
    std::unique_ptr<X11Keymap> keymap_;
};

} // namespace tovik
