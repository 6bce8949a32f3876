#pragma once

#include <QJsonObject>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <chrono>
#include <optional>

// Runs the real tovik on the current X display (start it under tests/support/with_display.sh)
// and plays the user's part: the hot key and Esc through XTest, what the X server shows
// through XDamage and the root window's pixels, the phase through the control socket.
class TovikDriver {
public:
    using Clock = std::chrono::steady_clock;

    TovikDriver();
    ~TovikDriver();
    TovikDriver(const TovikDriver&) = delete;
    TovikDriver& operator=(const TovikDriver&) = delete;

    /** False, with the reason in error(), when the display lacks what the driver needs. */
    bool isValid() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    QSize screenSize() const;

    /** Paints the desktop plain white, so the overlay's dimming is plain to see; also as the
     *  root pixmap a compositing manager paints behind the windows. */
    void whitenDesktop();
    /** Starts tovik and waits until it answers on its control socket; with `idleTrimMs`, tovik
     *  gives back what it keeps for fast captures after that much quiet instead of 10 s. */
    bool startTovik(int idleTrimMs = 0);
    void stopTovik();
    qint64 pid() const { return process_.processId(); }
    QString socketPath() const;

    /** Starts xcompmgr and waits until it owns the compositing manager selection. */
    bool startCompositor();
    void stopCompositor();
    /** Starts a terminal and places it where the floating toolbar shows (bottom centre), so
     *  a later capture has a real client to repaint what the hidden toolbar covered. */
    bool startClientUnderToolbar();
    /** Starts a terminal that swallows what is pasted into it, on the left, and makes it the
     *  active window: the application a direct paste goes to. */
    bool startPasteTarget();
    void stopClients();

    /** Presses and releases Ctrl+Shift+S; the moment the press reached the server. */
    Clock::time_point pressHotKey();
    /** Runs `tovik capture` as a desktop shortcut would; the moment before the launch. */
    Clock::time_point runCaptureCommand();
    void pressEscape();
    /** On an open overlay: drags `region` and confirms it with Ctrl+Return; true once tovik
     *  is back in `monitoring` with the desktop visible. */
    bool confirmRegion(QRect region, std::chrono::milliseconds timeout);
    /** Waits until the server shows the dimmed overlay at both probe points (top-left and
     *  bottom-right corners); the moment it saw that. */
    std::optional<Clock::time_point> waitForOverlay(std::chrono::milliseconds timeout);
    /** Waits until tovik is back in `ready` and the desktop shows through again. */
    bool waitForReady(std::chrono::milliseconds timeout);
    /** Waits until tovik is in `phase` and the desktop shows through again. */
    bool waitForPhase(const QString& phase, std::chrono::milliseconds timeout);
    QString phase() const;
    /** One request on tovik's control socket; empty when it failed. */
    QJsonObject command(const QString& name, std::chrono::milliseconds timeout) const;

    /** Resident set of tovik in kB, from /proc; the peak since start or since the last reset. */
    qint64 residentKb() const;
    qint64 peakResidentKb() const;
    bool resetPeakResident() const;

private:
    void fakeKey(quint8 type, xcb_keycode_t keycode);
    qint64 statusKb(const char* field) const;
    void fakeMotion(int x, int y);
    xcb_keycode_t keycode(xcb_keysym_t keysym);
    void sync();
    QRgb pixel(int x, int y);
    bool probesShow(bool dimmed);
    void drainDamage();

    xcb_connection_t* conn_ = nullptr;
    const xcb_screen_t* screen_ = nullptr;
    xcb_key_symbols_t* symbols_ = nullptr;
    quint32 damage_ = 0;
    quint8 damageEvent_ = 0;
    QString error_;
    QTemporaryDir runtime_;
    QTemporaryDir config_;
    QProcess process_;
    QProcess command_;
    QProcess compositor_;
    bool startTerminal(QProcess& process, const QStringList& command, QRect place, bool activate);

    QProcess client_;
    QProcess pasteTarget_;
    QProcessEnvironment environment_;
    quint32 rootPixmap_ = 0;
};
