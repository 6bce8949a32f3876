#pragma once

#include "platform/desktop.h"

#include <QDeadlineTimer>

#include <QCoro/QCoroTask>

#include <array>
#include <memory>

struct xcb_property_notify_event_t;

namespace tovik {

class XcbConnection;

// Other applications through the window manager's EWMH hints: the active window names the
// application in front, its _NET_WM_PID and WM_CLASS say which one it is.
class X11Desktop final : public Desktop {
    Q_OBJECT
public:
    explicit X11Desktop(QObject* parent = nullptr);
    ~X11Desktop() override;

    std::optional<AppRef> frontmostApplication() override;
    qint64 processId() override;
    bool isTerminated(const AppRef& app) override;
    /** Asks the window manager, as a pager with a fresh server time, and sets the keyboard
     *  focus itself when the window manager names the window but leaves the focus elsewhere. */
    QCoro::Task<bool> activate(AppRef app) override;
    bool hasKeyboardFocus(const AppRef& app) override;
    bool isActive() override;
    QPoint mousePosition() override;
    bool seesOtherApplications() override { return true; }

Q_SIGNALS:
    /** The active window or the keyboard focus changed; queued, for the waits of activate(). */
    void focusChanged();
    /** The window manager answered windowManagerCaughtUp(); queued. */
    void windowManagerAnswered();

private:
    // Resumes once the window manager has handled the events that came before the call, or
    // at once when it has no way to say so.
    QCoro::Task<> windowManagerCaughtUp(QDeadlineTimer deadline);
    bool windowManagerSupports(quint32 atom); // named in its _NET_SUPPORTED
    void askWindowManager(quint32 window, quint32 type, std::array<quint32, 3> data);
    quint32 serverTime();
    quint32 inputFocus();
    // Asks for the active window; the number of the request.
    quint32 requestActiveWindow();
    quint32 readActiveWindow();
    std::optional<AppRef> activeApp(); // read, and noted as an observation
    bool activeWindowIs(quint32 window);
    // `request` is the number of the request that read it.
    void noteActive(const std::optional<AppRef>& app, quint32 request);
    AppRef describe(quint32 window);
    bool isOwnWindow(quint32 window);
    void onPropertyNotify(const xcb_property_notify_event_t& event);
    // Reads the active window and its application without blocking, then notes them.
    void observeActiveWindow();
    void observed(const std::optional<AppRef>& app, quint32 request);

    std::unique_ptr<XcbConnection> conn_;
    quint32 clock_ = 0;     // an unmapped window of ours: its property changes tell the time
    quint32 clockTime_ = 0; // the time of its last change; 0 (CurrentTime) before any
    std::optional<AppRef> lastActive_; // the active application when last read
    quint32 notedRequest_ = 0;         // the request of the reading noted last
    bool observing_ = false;           // observeActiveWindow() is reading
    bool observeAgain_ = false;        // and must read again once done
    quint32 windowManagerAnswers_ = 0; // frame extents it set on clock_ so far
};

} // namespace tovik
