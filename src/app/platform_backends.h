#pragma once

#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/hot_key_backend.h"
#include "platform/key_injector.h"
#include "platform/keyboard_layout.h"
#include "platform/screen_source.h"
#include "platform/sticky_windows.h"

#include <memory>

namespace tovik {

// One window system's implementations of the platform seams.
struct PlatformBackend {
    std::unique_ptr<ScreenSource> screens;
    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<Clipboard> clipboard;
    std::unique_ptr<KeyInjector> keys;
    std::unique_ptr<HotKeyBackend> hotKeys;
    std::unique_ptr<KeyboardLayout> keyboardLayout;
    std::unique_ptr<StickyWindows> sticky; // none where no window can be put on every desktop
};

// Made once the QGuiApplication runs on that window system.
PlatformBackend x11Backend();
PlatformBackend waylandBackend();

} // namespace tovik
