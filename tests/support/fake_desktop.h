#pragma once

#include "platform/desktop.h"

#include <QList>

#include <chrono>

namespace tovik {

// A scripted desktop. Activating an application makes it frontmost unless a test says the
// window manager refuses.
class FakeDesktop final : public Desktop {
public:
    struct Activation {
        AppRef app;
        std::chrono::steady_clock::time_point at;
    };

    static constexpr qint64 ownPid = 4242;

    std::optional<AppRef> frontmost;
    QList<AppRef> terminated;
    bool activateAnswer = true;
    bool active = false;
    bool seesApplications = true;   // false: as on Wayland
    bool keysReachFrontmost = true; // false: in front, but the keyboard focus is elsewhere
    QPoint mouse;
    QList<Activation> activations;

    static AppRef app(qint64 pid, quint32 window, QString wmClass = QStringLiteral("editor")) {
        return AppRef{window, pid, std::move(wmClass)};
    }

    std::optional<AppRef> frontmostApplication() override { return frontmost; }
    qint64 processId() override { return ownPid; }
    bool isTerminated(const AppRef& app) override { return terminated.contains(app); }
    QCoro::Task<bool> activate(AppRef app) override {
        activations.append(Activation{app, std::chrono::steady_clock::now()});
        if (!activateAnswer || isTerminated(app))
            co_return false;
        frontmost = app;
        keysReachFrontmost = true;
        active = false;
        co_return true;
    }
    bool hasKeyboardFocus(const AppRef& app) override {
        return keysReachFrontmost && frontmost == app;
    }
    bool isActive() override { return active; }
    QPoint mousePosition() override { return mouse; }
    bool seesOtherApplications() override { return seesApplications; }

    // Makes another application frontmost, as the user would.
    void bringToFront(const AppRef& app) {
        frontmost = app;
        keysReachFrontmost = true;
        active = false;
        Q_EMIT applicationActivated(app);
    }
    void quit(const AppRef& app) {
        terminated.append(app);
        if (frontmost == app)
            frontmost.reset();
    }
};

} // namespace tovik
