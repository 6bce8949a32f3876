#pragma once

#include "platform/desktop.h"

#include <QTimer>

#include <memory>

class QScreen;
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
    bool activate(const AppRef& app) override;
    bool isActive() override;
    QPoint mousePosition() override;

private:
    quint32 readActiveWindow();
    std::optional<AppRef> activeApp(); // read, and noted as an observation
    bool activeWindowIs(quint32 window);
    void noteActive(const std::optional<AppRef>& app);
    AppRef describe(quint32 window);
    bool isOwnWindow(quint32 window);
    void onPropertyNotify(const xcb_property_notify_event_t& event);
    void watchScreen(QScreen* screen);

    std::unique_ptr<XcbConnection> conn_;
    std::optional<AppRef> lastActive_; // the active application when last read
    QTimer screensChanged_; // one notification for the burst of changes one rearrangement makes
};

} // namespace tovik
