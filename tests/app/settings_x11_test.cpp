// The settings window's recording on the private X server, with key presses sent through
// XTest by keycode as from a keyboard whose first layout is not Latin.
#include "app/settings_window.h"
#include "platform/x11/x11_keyboard_layout.h"
#include "platform/x11_test_env.h"
#include "shortcuts/shortcut_preferences.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>
#include <xcb/xtest.h>

namespace tovik {
namespace {

using namespace x11test;

// Presses the keys in order and releases them in reverse, on a connection of its own.
void chord(const QList<quint8>& keycodes) {
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    for (const quint8 code : keycodes)
        xcb_test_fake_input(conn, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    for (auto it = keycodes.rbegin(); it != keycodes.rend(); ++it)
        xcb_test_fake_input(conn, XCB_KEY_RELEASE, *it, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    std::free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    xcb_disconnect(conn);
}

TEST(SettingsX11Test, cyrillicFirstLayout_recordsTheLatinLetterOfTheKey) {
    QTemporaryDir dir;
    ShortcutPreferences preferences(dir.filePath(QStringLiteral("tovik.conf")));
    X11KeyboardLayout layout;
    SettingsWindow window(preferences, layout);
    window.present();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    OtherClient client;
    const quint8 controlL = client.keycode(0xffe3), q = client.keycode('q');
    ASSERT_TRUE(controlL && q);

    ASSERT_EQ(runTool("setxkbmap", {"-layout", "ru,us"}).exitCode, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return layout.latinKey(q) == u'Q'; }));
    // A real click on the field; the recorder then has the keyboard.
    const auto* field = window.findChild<QWidget*>(QStringLiteral("shortcutField"));
    const QPoint at = field->mapToGlobal(field->rect().center());
    ASSERT_TRUE(
        xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"}));
    ASSERT_TRUE(QTest::qWaitFor([] {
        const QWidget* focus = QApplication::focusWidget();
        return focus && focus->objectName() == "shortcutRecorder";
    }));
    chord({controlL, q});
    const auto* combination = window.findChild<QLabel*>(QStringLiteral("shortcutCombination"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return combination->text() == "Ctrl+Q"; }, 5000));
    EXPECT_EQ(runTool("setxkbmap", {"-layout", "us"}).exitCode, 0);
}

} // namespace
} // namespace tovik
