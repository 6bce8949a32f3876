#include "shortcuts/global_shortcut.h"
#include "shortcuts/shortcut_binding_printer.h"

#include "shortcuts/shortcut_preferences.h"
#include "support/fake_hot_key_backend.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tovik {
namespace {

using Grab = FakeHotKeyBackend::Grab;

const ShortcutBinding altSuper7{QStringLiteral("7"), false, false, true, true};
const ShortcutBinding ctrlK{QStringLiteral("K"), true, false, false, false};

class GlobalShortcutTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ShortcutPreferences preferences{dir.filePath(QStringLiteral("tovik.conf"))};
    FakeHotKeyBackend backend;
    GlobalShortcut shortcut{backend, preferences};
};

TEST_F(GlobalShortcutTest, register_withoutBinding_grabsThePreferencesBinding) {
    preferences.setApply([](const ShortcutBinding&) { return true; });
    ASSERT_TRUE(preferences.save(ctrlK).ok());
    EXPECT_FALSE(shortcut.isLive());

    EXPECT_TRUE(shortcut.registerShortcut());
    EXPECT_TRUE(shortcut.isLive());
    EXPECT_EQ(backend.current, (Grab{0x6b, ModifierMask::control}));
}

TEST_F(GlobalShortcutTest, register_givenBinding_grabsIt) {
    EXPECT_TRUE(shortcut.registerShortcut(altSuper7));
    EXPECT_EQ(backend.current, (Grab{0x37, ModifierMask::alt | ModifierMask::super}));
}

TEST_F(GlobalShortcutTest, register_whenLive_answersTrueAndKeepsFirstCombination) {
    ASSERT_TRUE(shortcut.registerShortcut(ctrlK));
    EXPECT_TRUE(shortcut.registerShortcut(altSuper7));
    EXPECT_EQ(backend.requests.size(), 1);
    EXPECT_EQ(backend.current, (Grab{0x6b, ModifierMask::control}));
}

TEST_F(GlobalShortcutTest, register_unusableBinding_grabsNothing) {
    const ShortcutBinding unusable[] = {
        {QStringLiteral("F1"), true, false, false, false},
        {QStringLiteral("k"), true, false, false, false},
        {QStringLiteral("K"), false, false, false, false},
        {QStringLiteral("K"), false, true, false, false},
    };
    for (const ShortcutBinding& binding : unusable) {
        SCOPED_TRACE(binding.displayString().toStdString());
        EXPECT_FALSE(shortcut.registerShortcut(binding));
        EXPECT_FALSE(shortcut.isLive());
    }
    EXPECT_TRUE(backend.requests.isEmpty());
}

TEST_F(GlobalShortcutTest, register_takenCombination_answersFalseAndStaysIdle) {
    backend.refuse = true;
    EXPECT_FALSE(shortcut.registerShortcut());
    EXPECT_FALSE(shortcut.isLive());
    EXPECT_FALSE(backend.current);

    backend.refuse = false;
    EXPECT_TRUE(shortcut.registerShortcut(ctrlK));
    EXPECT_EQ(backend.requests.size(), 2);
}

TEST_F(GlobalShortcutTest, unregister_releasesOnceAndAllowsANewCombination) {
    shortcut.unregisterShortcut();
    EXPECT_EQ(backend.ungrabCount, 0);

    ASSERT_TRUE(shortcut.registerShortcut(ctrlK));
    shortcut.unregisterShortcut();
    shortcut.unregisterShortcut();
    EXPECT_EQ(backend.ungrabCount, 1);
    EXPECT_FALSE(shortcut.isLive());
    EXPECT_FALSE(backend.current);

    EXPECT_TRUE(shortcut.registerShortcut(altSuper7));
    EXPECT_EQ(backend.current, (Grab{0x37, ModifierMask::alt | ModifierMask::super}));
}

TEST_F(GlobalShortcutTest, press_runsOnPressOnlyWhileLive) {
    int presses = 0;
    shortcut.setOnPress([&presses] { ++presses; });
    backend.press();
    ASSERT_TRUE(shortcut.registerShortcut());
    backend.press();
    backend.press();
    shortcut.unregisterShortcut();
    backend.press();
    EXPECT_EQ(presses, 2);
}

TEST_F(GlobalShortcutTest, press_withoutOnPress_doesNothing) {
    ASSERT_TRUE(shortcut.registerShortcut());
    backend.press();
    EXPECT_TRUE(shortcut.isLive());
}

TEST(GlobalShortcutLifetime, destroyingLiveShortcut_releasesTheGrab) {
    QTemporaryDir dir;
    ShortcutPreferences preferences(dir.filePath(QStringLiteral("tovik.conf")));
    FakeHotKeyBackend backend;
    {
        GlobalShortcut shortcut(backend, preferences);
        ASSERT_TRUE(shortcut.registerShortcut());
    }
    EXPECT_EQ(backend.ungrabCount, 1);
    EXPECT_FALSE(backend.current);
}

} // namespace
} // namespace tovik
