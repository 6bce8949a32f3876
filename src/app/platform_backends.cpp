#include "app/platform_backends.h"

#include "platform/wayland/portal_hot_key_backend.h"
#include "platform/wayland/portal_key_injector.h"
#include "platform/wayland/wayland_clipboard.h"
#include "platform/wayland/wayland_desktop.h"
#include "platform/wayland/wayland_keyboard_layout.h"
#include "platform/wayland/wayland_screen_source.h"
#include "platform/x11/x11_clipboard.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_hot_key_backend.h"
#include "platform/x11/x11_key_injector.h"
#include "platform/x11/x11_keyboard_layout.h"
#include "platform/x11/x11_screen_source.h"
#include "platform/x11/x11_sticky_windows.h"

#include "shortcuts/shortcut_preferences.h"

#include <QDBusConnection>

namespace tovik {

PlatformBackend x11Backend() {
    return {std::make_unique<X11ScreenSource>(),  std::make_unique<X11Desktop>(),
            std::make_unique<X11Clipboard>(),     std::make_unique<X11KeyInjector>(),
            std::make_unique<X11HotKeyBackend>(), std::make_unique<X11KeyboardLayout>(),
            std::make_unique<X11StickyWindows>()};
}

PlatformBackend waylandBackend() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return {std::make_unique<WaylandScreenSource>(bus),
            std::make_unique<WaylandDesktop>(),
            std::make_unique<WaylandClipboard>(),
            std::make_unique<PortalKeyInjector>(bus, ShortcutPreferences::defaultSettingsPath()),
            std::make_unique<PortalHotKeyBackend>(bus),
            std::make_unique<WaylandKeyboardLayout>(),
            nullptr};
}

} // namespace tovik
