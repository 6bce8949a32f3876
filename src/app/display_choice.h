#pragma once

#include <QString>

namespace tovik {

// What the session's environment says about the window system tovik is started in.
struct DisplayEnvironment {
    QString display;        // DISPLAY
    QString waylandDisplay; // WAYLAND_DISPLAY
    QString sessionType;    // XDG_SESSION_TYPE
    QString qpaPlatform;    // QT_QPA_PLATFORM
};

// The window system to run on, or why tovik cannot run.
struct DisplayChoice {
    enum class Kind { x11, wayland, refused };
    Kind kind = Kind::refused;
    QString problem;    // when refused: what is wrong and what to do
    bool shown = false; // the refusal can be shown in a window as well
};

DisplayChoice chooseDisplay(const DisplayEnvironment& environment);

} // namespace tovik
