// The X11 desktop as the hot key and a paste use it: the global hot key, the destination's
// window, the clipboard, and the paste shortcut sent through XTest.
#include "platform/x11/x11_clipboard.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_hot_key_backend.h"
#include "platform/x11/x11_key_injector.h"
#include "support/task_result.h"
#include "x11_test_env.h"

#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace tovik {
namespace {

using namespace x11test;

ClipboardPayload text(const QByteArray& text) {
    return {{{"text/plain", text}}};
}

// Files as the clipboard table writes them, with the third format of the action.
ClipboardPayload files(const QString& mimeType, const QByteArray& data) {
    return {
        {{"text/uri-list", "file:///tmp/out/tovik-001.png\r\nfile:///tmp/a%20b/tovik-002.png\r\n"},
         {"x-special/gnome-copied-files",
          "copy\nfile:///tmp/out/tovik-001.png\nfile:///tmp/a%20b/tovik-002.png"},
         {mimeType, data}}};
}

const QByteArray prompt = "Fix the button – it’s 2 px off";
const QByteArray quotedPaths = "/tmp/out/tovik-001.png '/tmp/a b/tovik-002.png' ";
const ClipboardPayload images = files("text/plain", quotedPaths); // direct paste, images step
constexpr quint32 sKeysym = 0x73;                                 // XK_s
constexpr quint16 ctrlShift = ModifierMask::control | ModifierMask::shift;

class X11DesktopInputTest : public ::testing::Test {
protected:
    static void press(const char* keys) { ASSERT_TRUE(xdotool({"key", keys})); }

    bool activate(const AppRef& app) { return waitForTask(desktop.activate(app)).value_or(false); }

    // Whether another client could take Ctrl+Shift+key with every lock variant now.
    bool isFree(quint8 key) {
        bool free = true;
        for (const quint16 lock : {0, 0x02, 0x10, 0x12}) { // none, Lock, NumLock (Mod2), both
            const bool taken = observer.grabKey(key, ctrlShift | lock);
            if (taken)
                observer.ungrabKey(key, ctrlShift | lock);
            free = free && taken;
        }
        return free;
    }

    X11Desktop desktop;
    QSignalSpy activated{&desktop, &Desktop::applicationActivated};
    X11Clipboard clipboard;
    X11KeyInjector injector;
    OtherClient observer;

    // As a direct paste does it: the modifiers up first.
    bool paste(const AppRef& destination) {
        QCoro::waitFor(injector.releaseHeldModifiers());
        return injector.postPaste(destination);
    }

    const quint8 s = observer.keycode(sKeysym);
    X11HotKeyBackend backend;
    QSignalSpy pressed{&backend, &HotKeyBackend::pressed};
};

TEST_F(X11DesktopInputTest, grab_pressedWhileOtherClientFocused_firesForExactModifiersAnyLocks) {
    PasteReceiver receiver; // another application has the focus
    ASSERT_TRUE(receiver.start());
    ASSERT_TRUE(backend.grab(sKeysym, ctrlShift));

    // Presses are delivered in order: once the last has arrived, the others would have.
    press("ctrl+s");
    press("ctrl+alt+shift+s");
    press("ctrl+shift+s");
    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.size() >= 1; }));
    EXPECT_EQ(pressed.size(), 1);

    // NumLock on, then CapsLock too, then CapsLock alone.
    for (const char* lock : {"Num_Lock", "Caps_Lock", "Num_Lock"}) {
        const qsizetype before = pressed.size();
        press(lock);
        press("ctrl+shift+s");
        EXPECT_TRUE(QTest::qWaitFor([&] { return pressed.size() == before + 1; })) << lock;
    }
    press("Caps_Lock");
}

// Keycodes that produce nothing in the server's keyboard mapping now.
QList<quint8> unusedKeycodes() {
    QList<quint8> unused;
    for (const QByteArray& line : runTool("xmodmap", {"-pke"}).output.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() == 3 && words[0] == "keycode" && words[2] == "=")
            unused.append(quint8(words[1].toUInt()));
    }
    return unused;
}

// Changes the core keyboard mapping, as xmodmap and setxkbmap do on a running desktop.
bool remap(const QStringList& expressions) {
    QStringList arguments;
    for (const QString& expression : expressions)
        arguments << "-e" << expression;
    return runTool("xmodmap", arguments).exitCode == 0;
}

TEST_F(X11DesktopInputTest, grab_conflictLeavesNothing_ungrabReleases_keymapChangeIsFollowed) {
    // Lock and NumLock, the variant grabbed last, so the others were taken before the conflict.
    ASSERT_TRUE(observer.grabKey(s, ctrlShift | 0x12));
    EXPECT_FALSE(backend.grab(sKeysym, ctrlShift));
    observer.ungrabKey(s, ctrlShift | 0x12);
    EXPECT_TRUE(isFree(s));
    ASSERT_TRUE(backend.grab(sKeysym, ctrlShift));
    ASSERT_FALSE(isFree(s));
    backend.ungrab();
    EXPECT_TRUE(isFree(s));

    const QList<quint8> unused = unusedKeycodes();
    ASSERT_GE(unused.size(), 2);
    const QString moved = QString::number(unused[0]), takenKey = QString::number(unused[1]);
    const QString original = QString::number(s);
    const auto restore = qScopeGuard([&] {
        remap({"keycode " + moved + " =", "keycode " + takenKey + " =",
               "keycode " + original + " = s S"});
    });
    QSignalSpy lost(&backend, &HotKeyBackend::grabLost);
    ASSERT_TRUE(backend.grab(sKeysym, ctrlShift));

    // S moves to another key: the grab moves with it.
    ASSERT_TRUE(remap({"keycode " + original + " = x X", "keycode " + moved + " = s S"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !isFree(unused[0]); }));
    EXPECT_TRUE(isFree(s));
    press("ctrl+shift+s");
    EXPECT_TRUE(QTest::qWaitFor([&] { return pressed.size() == 1; }));

    // Moved again, onto a key another client already holds with these modifiers: lost loudly.
    ASSERT_TRUE(observer.grabKey(unused[1], ctrlShift));
    ASSERT_TRUE(remap({"keycode " + moved + " =", "keycode " + takenKey + " = s S"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return lost.size() == 1; }));
    observer.ungrabKey(unused[1], ctrlShift);
    EXPECT_TRUE(isFree(unused[1]));
    EXPECT_TRUE(isFree(unused[0]));
}

// Other applications only; a closed one, or its window id with another process, is gone.
TEST_F(X11DesktopInputTest, frontmostActivateAndTerminated_followOtherApplicationsOnly) {
    PasteReceiver first, second;
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start("Probe"));

    const std::optional<AppRef> front = desktop.frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(*front, second.app());
    EXPECT_EQ(front->wmClass, "Probe");
    EXPECT_NE(front->pid, desktop.processId());
    EXPECT_FALSE(desktop.isActive());

    EXPECT_TRUE(activate(first.app()));
    EXPECT_EQ(observer.activeApp(), first.app());
    // This app's own activation is no notification; the next other application's is.
    QWidget own;
    own.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&own));
    EXPECT_TRUE(activate({quint32(own.winId()), desktop.processId(), {}}));
    EXPECT_TRUE(desktop.isActive());
    ASSERT_TRUE(activate(second.app()));

    ASSERT_TRUE(QTest::qWaitFor([&] { return activated.size() == 4; }));
    const QList<AppRef> expected{first.app(), second.app(), first.app(), second.app()};
    for (qsizetype i = 0; i < 4; ++i)
        EXPECT_EQ(activated[i][0].value<AppRef>(), expected[i]) << i;

    const AppRef app = first.app();
    ASSERT_FALSE(desktop.isTerminated(app));
    EXPECT_TRUE(desktop.isTerminated(AppRef{app.window, app.pid + 1, app.wmClass}));
    first.kill();
    // The server destroys the window once it has noticed the closed connection.
    EXPECT_TRUE(QTest::qWaitFor([&] { return desktop.isTerminated(app); }));
    EXPECT_FALSE(activate(app));
}

// Named active with the focus on no window, as xfwm4 leaves it after an overlay closed: keys
// would reach nothing until activation gives the window the focus back.
TEST_F(X11DesktopInputTest, activate_activeWindowWithoutFocus_getsTheKeyboardBack) {
    PasteReceiver receiver;
    ASSERT_TRUE(receiver.start());
    ASSERT_TRUE(desktop.hasKeyboardFocus(receiver.app()));
    observer.dropFocus(); // Openbox gives it back by way of a window of its own, xfwm4 never

    EXPECT_TRUE(activate(receiver.app()));
    EXPECT_TRUE(observer.hasFocus(receiver.app().window));
    EXPECT_TRUE(desktop.hasKeyboardFocus(receiver.app()));
    EXPECT_FALSE(desktop.isActive());
}

TEST_F(X11DesktopInputTest, screensChanged_whenMonitorsAreRearranged) {
    QSignalSpy changed(&desktop, &Desktop::screensChanged);
    ASSERT_TRUE(splitIntoTwoMonitors());
    EXPECT_TRUE(QTest::qWaitFor([&] { return changed.size() >= 1; }));
}

TEST_F(X11DesktopInputTest, clipboard_eachPayloadServedAsEveryType_otherClientsClaimsOutdateOurs) {
    for (const ClipboardPayload& payload :
         {images, files("image/png", QByteArray::fromHex("89504e470d0a1a0a0000") + "binary"),
          files("text/plain;charset=utf-8", prompt)}) {
        ASSERT_TRUE(clipboard.write(payload));

        const QList<QByteArray> targets = readClipboard("TARGETS").split('\n');
        for (const ClipboardPayload::Format& format : payload.formats) {
            EXPECT_TRUE(targets.contains(format.mimeType.toUtf8()))
                << format.mimeType.toStdString();
            EXPECT_EQ(readClipboard(format.mimeType), format.data) << format.mimeType.toStdString();
        }
    }
    // Clients that ask for plain strings get the UTF-8 text too.
    EXPECT_EQ(readClipboard("UTF8_STRING"), prompt);

    // Claims of other clients only are counted, and outdate ours.
    ASSERT_TRUE(clipboard.write(text("ours")));
    const qint64 before = clipboard.changeCount();
    ASSERT_TRUE(clipboard.write(text("ours again")));
    EXPECT_EQ(clipboard.changeCount(), before);

    // Taken at the server's present time, later than anything Qt has seen: the server
    // ignores a claim made with Qt's older time.
    observer.takeClipboard();
    EXPECT_FALSE(clipboard.write(text("refused")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return clipboard.changeCount() == before + 1; }));

    // Once Qt has handled the other client's claim, its own claims are newer again.
    EXPECT_TRUE(QTest::qWaitFor([&] { return clipboard.write(text("accepted")); }));
    EXPECT_EQ(readClipboard("text/plain"), "accepted");
    EXPECT_EQ(clipboard.changeCount(), before + 1);
}

TEST_F(X11DesktopInputTest, postPaste_plainAppWithModifiersHeldGetsCtrlVOnly_terminalCtrlShiftV) {
    PasteReceiver receiver;
    ASSERT_TRUE(receiver.start());
    ASSERT_TRUE(injector.hasPermission());
    ASSERT_TRUE(clipboard.write(images));
    // As right after the hot key: its keys still down.
    ASSERT_TRUE(xdotool({"keydown", "shift+alt"}));

    ASSERT_TRUE(paste(receiver.app()));
    const bool pasted = receiver.waitForPastes(1);
    xdotool({"keyup", "shift+alt"});
    ASSERT_TRUE(pasted);
    const QJsonObject received = receiver.pastes().value(0);
    EXPECT_EQ(received["keys"], "ctrl+v");
    EXPECT_EQ(received["uris"], QString::fromUtf8(images.data("text/uri-list")));
    EXPECT_EQ(received["text"], QString::fromUtf8(quotedPaths));

    // A terminal running cat without line buffering: what is pasted reaches the file as is;
    // Ctrl+V would reach cat as a control character instead.
    QTemporaryDir dir;
    const QString out = dir.filePath("pasted");
    QProcess terminal;
    terminal.start("lxterminal", {"--no-remote", "-e", "sh", "-c",
                                  "stty -icanon -echo; exec cat > '" + out + "'"});
    std::optional<AppRef> app;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            app = observer.activeApp();
            return QFile::exists(out) && app && app->wmClass == "Lxterminal" &&
                   observer.hasFocus(app->window);
        },
        10000));
    ASSERT_TRUE(paste(*app));

    const auto inFile = [&] {
        QFile file(out);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return inFile() == quotedPaths; })) << inFile().toStdString();
}

} // namespace
} // namespace tovik
