#include "shortcuts/shortcut_binding.h"
#include "shortcuts/shortcut_binding_printer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>

#include <gtest/gtest.h>

namespace tovik {
namespace {

// X11 values, written out so that a wrong constant in the code shows.
constexpr quint16 shiftMask = 0x01, controlMask = 0x04, mod1Mask = 0x08, mod4Mask = 0x40;

ShortcutBinding binding(const QString& key, bool command, bool shift, bool option, bool control) {
    return ShortcutBinding{key, command, shift, option, control};
}

TEST(ShortcutValidity, tableKeyWithCommandOptionOrControl_isValid) {
    EXPECT_EQ(ShortcutBinding::keyTable().join(QString()), "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    EXPECT_EQ(ShortcutBinding::defaultBinding(), binding("S", true, true, false, false));
    EXPECT_TRUE(binding("A", true, false, false, false).isValid());
    EXPECT_TRUE(binding("0", false, false, true, false).isValid());
    EXPECT_TRUE(binding("9", false, true, false, true).isValid());
    EXPECT_EQ(binding("A", false, true, false, false).validationError(),
              ShortcutError::noPrimaryModifier);
    EXPECT_EQ(binding("A", false, false, false, false).validationError(),
              ShortcutError::noPrimaryModifier);
}

TEST(ShortcutValidity, keyOutsideTable_isReportedBeforeModifiers) {
    for (const QString key : {"s", "F1", "", "SS", "-", " ", "Ä", "٣"}) {
        EXPECT_EQ(binding(key, true, false, false, false).validationError(),
                  ShortcutError::keyNotInTable);
        EXPECT_EQ(binding(key, false, true, false, false).validationError(),
                  ShortcutError::keyNotInTable);
    }
}

TEST(ShortcutErrorText, eachReasonHasItsOwnMessage) {
    EXPECT_EQ(message(ShortcutError::keyNotInTable), "Choose a letter or number.");
    EXPECT_EQ(message(ShortcutError::noPrimaryModifier), "Include Command, Control, or Option.");
    EXPECT_EQ(message(ShortcutError::notSaved), "Couldn’t save this shortcut.");
    EXPECT_EQ(message(ShortcutError::unavailable),
              "This shortcut is unavailable. Choose another combination.");
}

TEST(ShortcutDisplay, listsSetModifiersInFixedOrderThenKey) {
    EXPECT_EQ(ShortcutBinding::defaultBinding().displayString(), "Ctrl+Shift+S");
    EXPECT_EQ(binding("7", true, true, true, true).displayString(), "Ctrl+Alt+Shift+Super+7");
    EXPECT_EQ(binding("K", false, false, true, true).displayString(), "Alt+Super+K");
    EXPECT_EQ(binding("K", false, true, false, true).displayString(), "Shift+Super+K");
}

TEST(ShortcutJson, writesExactlyTheFiveMembersCompactly) {
    const QByteArray json = binding("K", false, true, true, false).toJson();
    EXPECT_FALSE(json.contains(' ') || json.contains('\n'));
    const QJsonObject expected{
        {"key", "K"}, {"command", false}, {"shift", true}, {"option", true}, {"control", false}};
    EXPECT_EQ(QJsonDocument::fromJson(json).object(), expected);
}

TEST(ShortcutJson, roundTripsEveryFlagCombination) {
    for (int flags = 0; flags < 16; ++flags) {
        const ShortcutBinding original = binding("Q", flags & 1, flags & 2, flags & 4, flags & 8);
        EXPECT_EQ(ShortcutBinding::fromJson(original.toJson()), original) << flags;
    }
}

TEST(ShortcutJson, readsAnyOrderIgnoresExtraMembersAndLeavesJudgingToValidity) {
    EXPECT_EQ(ShortcutBinding::fromJson(R"({ "control": true, "version": 2, "option": false,
                                             "shift": false, "command": false, "key": "4" })"),
              binding("4", false, false, false, true));
    EXPECT_EQ(ShortcutBinding::fromJson(
                  R"({"key":"s","command":true,"shift":false,"option":false,"control":false})"),
              binding("s", true, false, false, false));
}

TEST(ShortcutJson, rejectsMissingOrWrongTypedMembersAndBrokenText) {
    const QByteArray cases[] = {
        R"({"key":"S","command":true,"shift":true,"option":false})",
        R"({"command":true,"shift":true,"option":false,"control":false})",
        R"({"key":"S","command":1,"shift":true,"option":false,"control":false})",
        R"({"key":"S","command":true,"shift":"true","option":false,"control":false})",
        R"({"key":83,"command":true,"shift":true,"option":false,"control":false})",
        R"({"key":"S","command":true,"shift":true,"option":false,"control":false)",
        R"({"key":"S","command":true,"shift":true,"option":false,"control":false}x)",
        R"([{"key":"S","command":true,"shift":true,"option":false,"control":false}])",
        "",
        "not json",
    };
    for (const QByteArray& json : cases)
        EXPECT_EQ(ShortcutBinding::fromJson(json), std::nullopt) << json.constData();
}

TEST(ShortcutKeyEvent, tableKeyWithCtrlAltOrSuper_givesBinding) {
    EXPECT_EQ(ShortcutBinding::fromKeyEvent(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier),
              ShortcutBinding::defaultBinding());
    EXPECT_EQ(ShortcutBinding::fromKeyEvent(Qt::Key_7, Qt::ControlModifier | Qt::ShiftModifier |
                                                           Qt::AltModifier | Qt::MetaModifier),
              binding("7", true, true, true, true));
    EXPECT_EQ(ShortcutBinding::fromKeyEvent(Qt::Key_0, Qt::MetaModifier),
              binding("0", false, false, false, true));
    const QKeyEvent press(QEvent::KeyPress, Qt::Key_J, Qt::ControlModifier | Qt::AltModifier,
                          QStringLiteral("j"));
    EXPECT_EQ(ShortcutBinding::fromKeyEvent(press), binding("J", true, false, true, false));
}

TEST(ShortcutKeyEvent, otherPresses_giveNothing) {
    EXPECT_EQ(ShortcutBinding::fromKeyEvent(Qt::Key_S, Qt::NoModifier), std::nullopt);
    EXPECT_EQ(ShortcutBinding::fromKeyEvent(Qt::Key_S, Qt::ShiftModifier), std::nullopt);
    // Keypad digits are keys of their own.
    EXPECT_EQ(ShortcutBinding::fromKeyEvent(Qt::Key_1, Qt::ControlModifier | Qt::KeypadModifier),
              std::nullopt);
    const int keys[] = {Qt::Key_Space, Qt::Key_F1,     Qt::Key_Minus,   Qt::Key_Exclam,
                        Qt::Key_Left,  Qt::Key_Return, Qt::Key_Control, Qt::Key_Shift,
                        Qt::Key_Alt,   Qt::Key_Meta,   Qt::Key_Super_L, Qt::Key_unknown};
    for (const int key : keys) {
        EXPECT_EQ(ShortcutBinding::fromKeyEvent(key, Qt::ControlModifier | Qt::AltModifier),
                  std::nullopt)
            << key;
    }
}

TEST(ShortcutHotKeyGrab, grabsUnshiftedKeysymWithMappedModifiers) {
    EXPECT_EQ(ShortcutBinding::defaultBinding().hotKeyGrab(),
              (HotKeyGrab{0x73, controlMask | shiftMask}));
    EXPECT_EQ(binding("A", false, false, true, false).hotKeyGrab(), (HotKeyGrab{0x61, mod1Mask}));
    EXPECT_EQ(binding("Z", false, false, false, true).hotKeyGrab(), (HotKeyGrab{0x7a, mod4Mask}));
    EXPECT_EQ(binding("7", true, true, true, true).hotKeyGrab(),
              (HotKeyGrab{0x37, controlMask | shiftMask | mod1Mask | mod4Mask}));
    EXPECT_EQ(binding("s", true, false, false, false).hotKeyGrab(), std::nullopt);
}

TEST(ShortcutKeySequence, matchesMenuNotation) {
    EXPECT_EQ(ShortcutBinding::defaultBinding().keySequence(),
              QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    EXPECT_EQ(binding("4", false, false, true, true).keySequence(),
              QKeySequence(Qt::ALT | Qt::META | Qt::Key_4));
    EXPECT_TRUE(binding("-", true, false, false, false).keySequence().isEmpty());
}

} // namespace
} // namespace tovik
