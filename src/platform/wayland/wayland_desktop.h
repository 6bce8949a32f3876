#pragma once

#include "platform/desktop.h"

namespace tovik {

// This application among others on Wayland, which tells a client nothing of other clients'
// windows and lets none of them bring another to the front. All it knows is whether the
// keyboard is its own: when it is not, some other application has it, the unnamed AppRef{}.
class WaylandDesktop final : public Desktop {
    Q_OBJECT
public:
    explicit WaylandDesktop(QObject* parent = nullptr);

    std::optional<AppRef> frontmostApplication() override;
    qint64 processId() override;
    bool isTerminated(const AppRef&) override { return false; }
    /** Waits, within a bound, until this application has let go of the keyboard (its windows
     *  hidden, or the user clicked elsewhere): the compositor gives it to the app in front. */
    QCoro::Task<bool> activate(AppRef app) override;
    bool hasKeyboardFocus(const AppRef&) override { return !isActive(); }
    bool isActive() override;
    /** Where the pointer was last seen over one of this application's windows. */
    QPoint mousePosition() override;
    bool seesOtherApplications() override { return false; }
};

} // namespace tovik
