#pragma once

#include <QJsonObject>
#include <QPoint>
#include <QProcess>
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

    /** Paints the desktop plain white, so the overlay's dimming is plain to see. */
    void whitenDesktop();
    /** Starts tovik and waits until it answers on its control socket. */
    bool startTovik();
    void stopTovik();
    qint64 pid() const { return process_.processId(); }

    /** Presses and releases Ctrl+Shift+S; the moment the press reached the server. */
    Clock::time_point pressHotKey();
    void pressEscape();
    /** Ctrl+Return: confirms the capture being edited. */
    void pressConfirm();
    /** Drags with the primary button, as a user selects a region. */
    void drag(QPoint from, QPoint to);
    /** Waits until the server shows the dimmed overlay at both probe points (top-left and
     *  bottom-right corners); the moment it saw that. */
    std::optional<Clock::time_point> waitForOverlay(std::chrono::milliseconds timeout);
    /** Waits until tovik is back in `ready` and the desktop shows through again. */
    bool waitForReady(std::chrono::milliseconds timeout);
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
};
