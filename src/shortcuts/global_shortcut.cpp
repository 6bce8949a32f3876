#include "shortcuts/global_shortcut.h"

#include "platform/hot_key_backend.h"
#include "shortcuts/shortcut_preferences.h"

namespace tovik {

GlobalShortcut::GlobalShortcut(HotKeyBackend& backend, ShortcutPreferences& preferences,
                               QObject* parent)
    : QObject(parent)
    , backend_(backend)
    , preferences_(preferences) {
    connect(&backend_, &HotKeyBackend::pressed, this, &GlobalShortcut::handlePress);
    connect(&backend_, &HotKeyBackend::grabLost, this, &GlobalShortcut::handleLostGrab);
}

GlobalShortcut::~GlobalShortcut() {
    unregisterShortcut();
}

bool GlobalShortcut::desktopBindsShortcuts() const {
    return !backend_.canGrab();
}

bool GlobalShortcut::registerShortcut(std::optional<ShortcutBinding> binding) {
    if (live_)
        return true;
    const ShortcutBinding chosen = binding.value_or(preferences_.startOrCapture());
    if (!chosen.isValid())
        return false;
    const HotKeyGrab grab = *chosen.hotKeyGrab();
    live_ = backend_.grab(grab.keysym, grab.modifierMask);
    return live_;
}

void GlobalShortcut::unregisterShortcut() {
    if (!live_)
        return;
    backend_.ungrab();
    live_ = false;
}

void GlobalShortcut::handlePress() {
    // A press that arrives after unregistering belongs to no registration of ours.
    if (live_ && onPress_)
        onPress_();
}

void GlobalShortcut::handleLostGrab() {
    if (!live_)
        return;
    live_ = false;
    Q_EMIT lost();
}

} // namespace tovik
