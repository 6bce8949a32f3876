#pragma once

#include "shortcuts/shortcut_error.h"

#include <QByteArray>
#include <QKeySequence>
#include <QString>
#include <QStringList>

#include <optional>

class QKeyEvent;

namespace tovik {

class KeyboardLayout;

// The application's shortcuts; the raw value identifies a registration.
enum class AppShortcut : quint32 {
    startOrCapture = 1,
};

// What the X11 hot-key layer grabs for a binding.
struct HotKeyGrab {
    quint32 keysym = 0;
    quint16 modifierMask = 0; // ModifierMask bits
    friend bool operator==(const HotKeyGrab&, const HotKeyGrab&) = default;
};

// One key combination. The flags keep the names of the stored form: `command` is this
// platform's primary modifier (Ctrl), `option` is Alt, `control` is Super.
struct ShortcutBinding {
    QString key; // one entry of keyTable()
    bool command = false;
    bool shift = false;
    bool option = false;
    bool control = false;

    // Ctrl+Shift+S.
    static ShortcutBinding defaultBinding();
    // The keys a binding may use: A-Z, then 0-9.
    static const QStringList& keyTable();

    bool hasTableKey() const;
    // The first rule the binding breaks, if any: a key outside the table, then no
    // command, option or control (shift alone never suffices).
    std::optional<ShortcutError> validationError() const;
    bool isValid() const { return !validationError(); }

    // "Ctrl+Alt+Shift+Super+K" style, only the modifiers that are set.
    QString displayString() const;

    // One compact JSON object with the members key, command, shift, option and control.
    QByteArray toJson() const;
    // Every member present with its type; other members are ignored. Validity is not checked.
    static std::optional<ShortcutBinding> fromJson(const QByteArray& json);

    // A press the recorder accepts: a table key (not on the keypad) with at least one
    // of Ctrl, Alt or Super held.
    static std::optional<ShortcutBinding> fromKeyEvent(int qtKey, Qt::KeyboardModifiers modifiers);
    // The same by key position: the letter or digit the layout puts on the pressed key, so
    // that Ctrl+Shift+1 gives 1 and a Cyrillic layout gives the Latin letter of the key.
    // Events without a known key code (synthesised ones) fall back to their Qt key.
    static std::optional<ShortcutBinding> fromKeyEvent(const QKeyEvent& event,
                                                       KeyboardLayout& layout);

    // None when the key is not in the table.
    std::optional<HotKeyGrab> hotKeyGrab() const;
    // The notation of menu items; empty when the key is not in the table.
    QKeySequence keySequence() const;

    friend bool operator==(const ShortcutBinding&, const ShortcutBinding&) = default;
};

} // namespace tovik
