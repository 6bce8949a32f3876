#include "platform/x11/x11_hot_key_backend.h"
#include "x11_test_env.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace tovik {
namespace {

using namespace x11test;

constexpr quint32 sKeysym = 0x73; // XK_s
constexpr quint16 ctrlShift = ModifierMask::control | ModifierMask::shift;
constexpr quint16 lockMask = 1 << 1;    // LockMask
constexpr quint16 numLockMask = 1 << 4; // Mod2Mask, where Xvfb's keymap puts NumLock

class X11HotKeyBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Another client has the focus, as when the user works in some other application.
        ASSERT_TRUE(receiver.start());
    }

    void press(const QString& keys) {
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), keys}).exitCode, 0);
    }

    // Whether another client could take every lock variant of Ctrl+Shift+S now.
    bool combinationIsFree() {
        OtherClient other;
        const quint8 s = other.keycode(sKeysym);
        bool free = true;
        for (const quint16 lock : {0, 0x02, 0x10, 0x12}) { // none, Lock, NumLock, both
            if (other.grabKey(s, ctrlShift | lock))
                other.ungrabKey(s, ctrlShift | lock);
            else
                free = false;
        }
        return free;
    }

    PasteReceiver receiver;
    X11HotKeyBackend backend;
};

TEST_F(X11HotKeyBackendTest, grab_pressedWhileOtherClientFocused_firesOnceForExactModifiers) {
    QSignalSpy pressed(&backend, &HotKeyBackend::pressed);
    ASSERT_TRUE(backend.grab(sKeysym, ctrlShift));

    // Presses are delivered in order: once the last has arrived, the others would have.
    press(QStringLiteral("ctrl+s"));
    press(QStringLiteral("ctrl+alt+shift+s"));
    press(QStringLiteral("ctrl+shift+s"));

    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.size() >= 1; }));
    EXPECT_EQ(pressed.size(), 1);
}

TEST_F(X11HotKeyBackendTest, grab_withNumLockOrCapsLockOn_stillFires) {
    QSignalSpy pressed(&backend, &HotKeyBackend::pressed);
    ASSERT_TRUE(backend.grab(sKeysym, ctrlShift));

    press(QStringLiteral("Num_Lock"));
    press(QStringLiteral("ctrl+shift+s"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.size() == 1; }));
    press(QStringLiteral("Caps_Lock"));
    press(QStringLiteral("ctrl+shift+s"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pressed.size() == 2; }));
    press(QStringLiteral("Num_Lock"));
    press(QStringLiteral("ctrl+shift+s"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pressed.size() == 3; }));
    press(QStringLiteral("Caps_Lock"));
}

TEST_F(X11HotKeyBackendTest, grab_oneVariantHeldByAnotherClient_failsAndLeavesNothingGrabbed) {
    OtherClient holder;
    const quint8 s = holder.keycode(sKeysym);
    // The variant grabbed last, so that the others were taken before the conflict shows.
    ASSERT_TRUE(holder.grabKey(s, ctrlShift | lockMask | numLockMask));

    EXPECT_FALSE(backend.grab(sKeysym, ctrlShift));

    holder.ungrabKey(s, ctrlShift | lockMask | numLockMask);
    EXPECT_TRUE(combinationIsFree());
}

TEST_F(X11HotKeyBackendTest, ungrab_releasesTheCombination) {
    ASSERT_TRUE(backend.grab(sKeysym, ctrlShift));
    ASSERT_FALSE(combinationIsFree());

    backend.ungrab();

    EXPECT_TRUE(combinationIsFree());
}

TEST_F(X11HotKeyBackendTest, keyboardMappingChanged_followsTheKeyToItsNewKeycode) {
    QSignalSpy pressed(&backend, &HotKeyBackend::pressed);
    ASSERT_TRUE(backend.grab(sKeysym, ctrlShift));
    OtherClient other;
    const quint8 oldKey = other.keycode(sKeysym);
    const quint8 newKey = 200; // unused in Xvfb's keymap
    const auto remap = [](quint8 key, const char* symbols) {
        return runTool(QStringLiteral("xmodmap"),
                       {QStringLiteral("-e"),
                        QStringLiteral("keycode %1 = %2").arg(key).arg(QLatin1String(symbols))})
            .exitCode;
    };
    ASSERT_EQ(remap(newKey, "s S"), 0);
    ASSERT_EQ(remap(oldKey, ""), 0);
    // The backend has followed once the new keycode is taken.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        if (!other.grabKey(newKey, ctrlShift))
            return true;
        other.ungrabKey(newKey, ctrlShift);
        return false;
    }));

    press(QStringLiteral("ctrl+shift+s"));

    EXPECT_TRUE(QTest::qWaitFor([&] { return pressed.size() == 1; }));
    remap(oldKey, "s S");
    remap(newKey, "");
}

} // namespace
} // namespace tovik
