#pragma once

#include "shortcuts/shortcut_binding.h"

#include <QObject>

#include <functional>
#include <optional>

namespace tovik {

class HotKeyBackend;
class ShortcutPreferences;

// The capture shortcut as a system-wide hot key: Idle until a binding is grabbed, then
// Live until unregistered. Main thread only; the backend must outlive this object.
class GlobalShortcut : public QObject {
    Q_OBJECT
public:
    GlobalShortcut(HotKeyBackend& backend, ShortcutPreferences& preferences,
                   QObject* parent = nullptr);
    ~GlobalShortcut() override;

    AppShortcut shortcut() const { return AppShortcut::startOrCapture; }
    bool isLive() const { return live_; }
    // The desktop lets no app take the hot key: the user binds the capture command in its
    // keyboard settings, and registering always fails.
    bool desktopBindsShortcuts() const;
    // What a press runs.
    void setOnPress(std::function<void()> onPress) { onPress_ = std::move(onPress); }

    // Grabs `binding`, or the preferences' binding when none is given. True when the hot
    // key is live; when it already was, nothing changes (unregister first to switch).
    // A binding that is not valid is refused, so a bare key never steals typing.
    bool registerShortcut(std::optional<ShortcutBinding> binding = std::nullopt);
    // Back to Idle; safe when nothing is registered.
    void unregisterShortcut();

Q_SIGNALS:
    // The live hot key stopped working on its own (a keyboard change left its keys to
    // another client); it is Idle now.
    void lost();

private:
    void handlePress();
    void handleLostGrab();

    HotKeyBackend& backend_;
    ShortcutPreferences& preferences_;
    std::function<void()> onPress_;
    bool live_ = false;
};

} // namespace tovik
