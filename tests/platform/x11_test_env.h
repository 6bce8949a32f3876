#pragma once

#include "platform/desktop.h"

#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <thread>

// Helpers for tests that run on the private X server of tests/support/with_display.sh.
namespace tovik::x11test {

using namespace std::chrono_literals;

struct ToolResult {
    int exitCode = -1; // -1 when the tool did not finish in time
    QByteArray output;
};

/** Runs a program to its end while this process keeps serving its events: tools such as
 *  xclip read the clipboard this process owns through them. */
ToolResult runTool(const QString& program, const QStringList& arguments,
                   std::chrono::milliseconds timeout = 10s);

/** Splits the screen into two RandR monitors side by side, "left" and "right", each half of
 *  it, and waits until Qt reports exactly those two screens. */
bool splitIntoTwoMonitors();

// Another X client, on a connection of its own: paints windows, holds grabs and selections,
// and reads what the window manager says, independently of the code under test.
class OtherClient {
public:
    OtherClient();
    ~OtherClient();
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    /** Shows an undecorated window over `rect` painted with `image` (RGB32, rect's size). */
    void showImage(const QRect& rect, const QImage& image);
    /** Grabs keycode with these modifiers on the root window; false when another client has it. */
    bool grabKey(quint8 keycode, quint16 modifiers);
    void ungrabKey(quint8 keycode, quint16 modifiers);
    /** The first keycode that produces keysym unshifted; 0 when none does. */
    quint8 keycode(quint32 keysym);
    /** Takes the CLIPBOARD selection with a window of this client, at the server's time. */
    void takeClipboard();
    /** Whether the keyboard focus is on `window` or inside it. */
    bool hasFocus(xcb_window_t window);
    /** The active window as the window manager says, with its pid and WM_CLASS class. */
    std::optional<AppRef> activeApp();

private:
    quint32 cardinal(xcb_window_t window, const char* property);

    xcb_connection_t* conn_;
    xcb_screen_t* screen_;
    QList<xcb_window_t> windows_;
};

// An undecorated window at the bottom of the stack that, like a real application, draws its
// image only when the server asks for it (Expose), from a thread and connection of its own.
class ExposeDrawnWindow {
public:
    ExposeDrawnWindow(const QRect& rect, QImage image);
    ~ExposeDrawnWindow();
    ExposeDrawnWindow(const ExposeDrawnWindow&) = delete;
    ExposeDrawnWindow& operator=(const ExposeDrawnWindow&) = delete;

    /** Waits until it has drawn itself once. */
    bool waitUntilDrawn();

private:
    void run();

    xcb_connection_t* conn_;
    xcb_window_t window_;
    QImage image_;
    std::atomic<bool> stop_ = false;
    std::atomic<int> draws_ = 0;
    std::thread thread_;
};

// The test program that logs what is pasted into it (paste_receiver), as a process of its own.
class PasteReceiver {
public:
    PasteReceiver() = default;
    ~PasteReceiver();

    /** Starts it with `wmClass` as its WM_CLASS class and waits until its window is active. */
    bool start(const QString& wmClass = QStringLiteral("paste_receiver"));
    /** Its window as the window manager reported it active. */
    const AppRef& app() const { return app_; }
    /** The pastes it logged so far: keys, text, uris. */
    QList<QJsonObject> pastes() const;
    /** Waits until it has logged `count` pastes. */
    bool waitForPastes(qsizetype count);
    /** Ends the process at once, as a crash would. */
    void kill();

private:
    QTemporaryDir dir_;
    QProcess process_;
    AppRef app_;
};

/** A test pattern in which every pixel differs from its neighbours. */
QImage patternImage(QSize size, quint32 seed);

/** Waits until the window manager reports the application `pid` as active and its window
 *  has the keyboard focus. */
std::optional<AppRef> waitForActiveApp(OtherClient& client, qint64 pid);

} // namespace tovik::x11test
