#pragma once

#include "platform/desktop.h"

namespace tovik {

// This application among others on Wayland, which tells a client nothing of other clients'
// windows and lets none of them bring another to the front.
class WaylandDesktop final : public Desktop {
    Q_OBJECT
public:
    explicit WaylandDesktop(QObject* parent = nullptr);

    std::optional<AppRef> frontmostApplication() override { return std::nullopt; }
    qint64 processId() override;
    bool isTerminated(const AppRef&) override { return true; }
    QCoro::Task<bool> activate(AppRef) override;
    bool hasKeyboardFocus(const AppRef&) override { return false; }
    bool isActive() override;
    /** Where the pointer was last seen over one of this application's windows. */
    QPoint mousePosition() override;
    bool seesOtherApplications() override { return false; }
};

} // namespace tovik
