#pragma once

class QWindow;

namespace tovik {

// Keeps a window on every virtual desktop.
class StickyWindows {
public:
    StickyWindows() = default;
    virtual ~StickyWindows() = default;
    StickyWindows(const StickyWindows&) = delete;
    StickyWindows& operator=(const StickyWindows&) = delete;

    /** Asks for the window on all desktops; call it before every show, since the window
     *  manager forgets it when the window is hidden. False when the window system offers no
     *  such thing. */
    virtual bool makeSticky(QWindow& window) = 0;
};

} // namespace tovik
