#pragma once

#include "support/run_tool.h"

#include "platform/desktop.h"

#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <chrono>

// Helpers for tests that run on the private X server of tests/support/with_display.sh.
namespace tovik::x11test {

using namespace std::chrono_literals;

// Real X input through XTest (xdotool); true when it succeeded.
bool xdotool(const QStringList& arguments);
// The clipboard's `target` as another client reads it (xclip), or "<failed>".
QByteArray readClipboard(const QString& target);
// The root window's pixels in `rect`, clipped to the screen, as the X server has them now.
QImage rootPixels(const QRect& rect);
// Splits the screen into two RandR monitors side by side, "left" and "right", and waits
// until Qt reports exactly those two screens.
bool splitIntoTwoMonitors();

// Another X client, on a connection of its own: holds grabs and selections, and reads what
// the window manager says, independently of the code under test.
class OtherClient {
public:
    OtherClient()
        : conn_(xcb_connect(nullptr, nullptr)) {}
    ~OtherClient() { xcb_disconnect(conn_); }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    bool grabKey(quint8 keycode, quint16 modifiers); // false when another client has it
    void ungrabKey(quint8 keycode, quint16 modifiers);
    quint8 keycode(quint32 keysym);     // 0 when no key produces it
    void takeClipboard();               // at a server time later than any seen so far
    bool hasFocus(xcb_window_t window); // the keyboard focus is on it or inside it
    void dropFocus();                   // to no window: keys go where the pointer is
    // The active window as the window manager says, with its pid and WM_CLASS class.
    std::optional<AppRef> activeApp();

private:
    xcb_connection_t* conn_;
    xcb_window_t root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root;
};

// The test program that logs what is pasted into it (paste_receiver), as a process of its own.
class PasteReceiver {
public:
    ~PasteReceiver() { kill(); }

    // Starts it with `wmClass` as its WM_CLASS class and waits until its window is active.
    bool start(const QString& wmClass = QStringLiteral("paste_receiver"));
    const AppRef& app() const { return app_; } // as the window manager reported it active
    QList<QJsonObject> pastes() const;         // logged so far: keys, text, uris
    bool waitForPastes(qsizetype count);
    void kill(); // at once, as a crash would

private:
    QTemporaryDir dir_;
    QProcess process_;
    AppRef app_;
};

// Waits until the window manager reports the application `pid` as active and its window
// has the keyboard focus.
std::optional<AppRef> waitForActiveApp(OtherClient& client, qint64 pid);

} // namespace tovik::x11test
