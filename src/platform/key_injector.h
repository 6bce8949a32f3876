#pragma once

#include "platform/desktop.h"

#include <QCoro/QCoroTask>

namespace tovik {

// Synthetic keystrokes into another application.
class KeyInjector {
public:
    KeyInjector() = default;
    virtual ~KeyInjector() = default;
    KeyInjector(const KeyInjector&) = delete;
    KeyInjector& operator=(const KeyInjector&) = delete;

    /** Whether this desktop lets keys reach other applications at all, perhaps once the user
     *  allows it; Wayland does only through the RemoteDesktop portal. */
    virtual bool reachesOtherApps() { return true; }
    /** Whether keystrokes can be posted; false when the platform does not allow it. */
    virtual bool hasPermission() = 0;
    /** Asks for the permission, which a desktop may put to the user; false when refused. */
    virtual QCoro::Task<bool> requestPermission() = 0;
    /** Releases the modifier keys injected earlier and completes once the user has let go of
     * the physical ones, or after a short bound; the caller's thread goes on meanwhile. */
    virtual QCoro::Task<> releaseHeldModifiers() = 0;
    /** Posts the paste shortcut (key down, key up) to the destination; false, with nothing posted,
     * when an event cannot be made. */
    virtual bool postPaste(const AppRef& destination) = 0;
};

} // namespace tovik
