// The settings window's recording on the private X server: key presses sent through XTest
// reach the recorder as from a keyboard, and the hot key is a real grab that another X client
// can hold.
#include "app/app_delegate.h"
#include "app/settings_view.h"
#include "app/settings_window.h"
#include "platform/x11/x11_hot_key_backend.h"
#include "platform/x11/x11_keyboard_layout.h"
#include "platform/x11_test_env.h"
#include "shortcuts/global_shortcut.h"
#include "shortcuts/shortcut_preferences.h"
#include "support/store_fixture.h"
#include "updates/update_controller.h"

#include <QAction>
#include <QApplication>
#include <QLabel>

#include <xcb/xtest.h>

namespace tovik {
namespace {

using namespace x11test;

constexpr quint32 controlL = 0xffe3, altL = 0xffe9, returnKey = 0xff0d;
constexpr quint16 controlMask = 0x04, mod1Mask = 0x08;

// A keyboard on a connection of its own: presses keys by X keycode, as a person would.
class XTestKeyboard {
public:
    XTestKeyboard()
        : conn_(xcb_connect(nullptr, nullptr)) {}
    ~XTestKeyboard() { xcb_disconnect(conn_); }
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

    // Presses the keys in order and releases them in reverse.
    void chord(const QList<quint8>& keycodes) {
        for (const quint8 code : keycodes)
            send(XCB_KEY_PRESS, code);
        for (auto it = keycodes.rbegin(); it != keycodes.rend(); ++it)
            send(XCB_KEY_RELEASE, *it);
        std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
    }

private:
    void send(quint8 type, quint8 keycode) {
        xcb_test_fake_input(conn_, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    xcb_connection_t* conn_;
};

class SettingsX11Test : public StoreFixture {
protected:
    void SetUp() override {
        delegate.applicationDidFinishLaunching();
        ASSERT_TRUE(shortcut.isLive());
        window.present();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        for (const quint32 keysym :
             {controlL, altL, returnKey, quint32('p'), quint32('g'), quint32('q')}) {
            keycodes.insert(keysym, client.keycode(keysym));
            ASSERT_NE(keycodes[keysym], 0) << keysym;
        }
    }

    QString field() const {
        const auto text = [this](const char* name) {
            return window.findChild<QLabel*>(QString::fromLatin1(name))->text();
        };
        return text("shortcutFieldTitle") + " " + text("shortcutCombination");
    }
    bool waitForField(const QString& expected) {
        return QTest::qWaitFor([&] { return field() == expected; }, 5000);
    }
    QString error() const {
        const auto* label = window.findChild<QLabel*>(QStringLiteral("shortcutError"));
        return label->isVisible() ? label->text() : QString();
    }
    // A real click on the field; true once the recorder has the keyboard.
    bool startRecording() {
        const auto* field = window.findChild<QWidget*>(QStringLiteral("shortcutField"));
        const QPoint at = field->mapToGlobal(field->rect().center());
        if (runTool("xdotool",
                    {"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"})
                .exitCode != 0)
            return false;
        return QTest::qWaitFor([] {
            const QWidget* focus = QApplication::focusWidget();
            return focus && focus->objectName() == "shortcutRecorder";
        });
    }
    void press(const QList<quint32>& keysyms) {
        QList<quint8> codes;
        for (const quint32 keysym : keysyms)
            codes.append(keycodes.value(keysym));
        keyboard.chord(codes);
    }
    // Whether this process holds Ctrl+Alt+`keysym` (another client cannot take it).
    bool holds(quint32 keysym) {
        const quint8 code = keycodes.value(keysym);
        if (!client.grabKey(code, controlMask | mod1Mask))
            return true;
        client.ungrabKey(code, controlMask | mod1Mask);
        return false;
    }

    OtherClient client;
    XTestKeyboard keyboard;
    QHash<quint32, quint8> keycodes;
    X11HotKeyBackend hotKeys;
    X11KeyboardLayout layout;
    UpdateController updates{nullptr};
    ShortcutPreferences preferences{exportDir.filePath(QStringLiteral("tovik.conf"))};
    GlobalShortcut shortcut{hotKeys, preferences};
    AppDelegate delegate{{store, updates, shortcut, preferences, desktop}};
    SettingsWindow window{preferences, layout};
};

TEST_F(SettingsX11Test, recordSaveConflictAndClose_withRealKeysAndGrabs) {
    ASSERT_TRUE(startRecording());
    press({controlL, altL, 'p'});
    ASSERT_TRUE(waitForField("Press shortcut… Ctrl+Alt+P"));
    press({returnKey});
    ASSERT_TRUE(waitForField("Keyboard shortcut Ctrl+Alt+P"));
    EXPECT_EQ(preferences.startOrCapture(), (ShortcutBinding{"P", true, false, true}));
    EXPECT_TRUE(holds('p'));
    EXPECT_EQ(delegate.sessionMenuItem()->shortcut().toString(), "Ctrl+Alt+P");

    ASSERT_TRUE(startRecording());
    EXPECT_FALSE(holds('p'));

    // Another client takes the combination before it is confirmed.
    press({controlL, altL, 'g'});
    ASSERT_TRUE(waitForField("Press shortcut… Ctrl+Alt+G"));
    ASSERT_TRUE(client.grabKey(keycodes['g'], controlMask | mod1Mask));
    press({returnKey});
    ASSERT_TRUE(QTest::qWaitFor([this] { return !error().isEmpty(); }));
    EXPECT_EQ(error(), "This shortcut is unavailable. Choose another combination.");
    EXPECT_EQ(field(), "Press shortcut… Ctrl+Alt+G");
    EXPECT_TRUE(preferences.isRecording());
    EXPECT_FALSE(holds('p')); // still suspended while recording
    client.ungrabKey(keycodes['g'], controlMask | mod1Mask);

    // Closing the window while recording brings the stored hot key back, and it works.
    window.close();
    EXPECT_FALSE(preferences.isRecording());
    EXPECT_TRUE(holds('p'));
    EXPECT_TRUE(store.sessionShortcutAvailable());
    press({controlL, altL, 'p'});
    EXPECT_TRUE(QTest::qWaitFor([this] { return !ui.openOverlays().isEmpty(); }, 5000));
}

TEST_F(SettingsX11Test, cyrillicFirstLayout_recordsTheLatinLetterOfTheKey) {
    ASSERT_EQ(runTool("setxkbmap", {"-layout", "ru,us"}).exitCode, 0);
    ASSERT_TRUE(QTest::qWaitFor([this] { return layout.latinKey(keycodes['q']) == u'Q'; }));
    ASSERT_TRUE(startRecording());
    press({controlL, 'q'});
    EXPECT_TRUE(waitForField("Press shortcut… Ctrl+Q"));
    EXPECT_EQ(runTool("setxkbmap", {"-layout", "us"}).exitCode, 0);
}

} // namespace
} // namespace tovik
