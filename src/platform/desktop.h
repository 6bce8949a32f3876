#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <optional>

namespace tovik {

// A running application as seen through one of its top-level windows.
struct AppRef {
    quint32 window = 0; // top-level client window
    qint64 pid = 0;     // 0 when the window does not say
    QString wmClass;    // class part of WM_CLASS, e.g. "lxterminal"
    friend bool operator==(const AppRef&, const AppRef&) = default;
};

// Other applications and this one's place among them.
class Desktop : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    /** The application in front; none when no window is active. */
    virtual std::optional<AppRef> frontmostApplication() = 0;
    /** This process's id. */
    virtual qint64 processId() = 0;
    /** True when the application's window or process is gone. */
    virtual bool isTerminated(const AppRef& app) = 0;
    /** Brings the application to the front and gives it the keyboard focus; false when it is
     *  gone, or the front or the focus did not follow within a bound. */
    virtual QCoro::Task<bool> activate(AppRef app) = 0;
    /** Whether typed keys reach the application; false when the focus is elsewhere or nowhere. */
    virtual bool hasKeyboardFocus(const AppRef& app) = 0;
    /** Whether this application has the keyboard: one of its windows is the active or focused
     *  one, or the focus was left on no application's window. */
    virtual bool isActive() = 0;
    /** The pointer position in global desktop points. */
    virtual QPoint mousePosition() = 0;
    /** Whether other applications' windows can be seen and brought to the front; Wayland
     *  keeps them from its clients. */
    virtual bool seesOtherApplications() = 0;

Q_SIGNALS:
    /** Another application came to the front. */
    void applicationActivated(const tovik::AppRef& app);
    /** Screens were added, removed, moved or resized. */
    void screensChanged();

protected:
    /** Emits screensChanged once for each burst of changes Qt reports for its screens. */
    void watchScreens();

private:
    QTimer screensChanged_;
};

} // namespace tovik
