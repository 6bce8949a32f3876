#include "app/display_choice.h"

namespace tovik {

DisplayChoice chooseDisplay(const DisplayEnvironment& environment) {
    using Kind = DisplayChoice::Kind;
    const bool waylandSession = !environment.waylandDisplay.isEmpty() ||
                                environment.sessionType == QLatin1String("wayland");
    if (!waylandSession) {
        if (environment.display.isEmpty())
            return {Kind::refused,
                    QStringLiteral("There is no display to run on: neither DISPLAY nor "
                                   "WAYLAND_DISPLAY is set. Start tovik from a desktop session.")};
        return {Kind::x11, {}};
    }
    // Through XWayland an X11 client sees the screen without the Wayland windows on it.
    if (environment.qpaPlatform.startsWith(QLatin1String("xcb")))
        return {Kind::refused,
                QStringLiteral("tovik was asked to run through XWayland (QT_QPA_PLATFORM=%1), "
                               "where it cannot capture the Wayland windows on the screen. "
                               "Start it without QT_QPA_PLATFORM to run on Wayland.")
                    .arg(environment.qpaPlatform),
                true};
    if (environment.waylandDisplay.isEmpty())
        return {Kind::refused,
                QStringLiteral("This is a Wayland session, but WAYLAND_DISPLAY is not set. Start "
                               "tovik from the desktop session.")};
    return {Kind::wayland, {}};
}

} // namespace tovik
