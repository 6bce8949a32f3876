#include "shortcuts/shortcut_binding.h"

#include "platform/hot_key_backend.h"
#include "platform/keyboard_layout.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>

namespace tovik {

namespace {

const QString keyMember = QStringLiteral("key");
const QString commandMember = QStringLiteral("command");
const QString shiftMember = QStringLiteral("shift");
const QString optionMember = QStringLiteral("option");
const QString controlMember = QStringLiteral("control");

// Qt's key codes and the X keysyms of the table keys are their Latin-1 code points;
// letter keysyms are the lower-case ones (the key's unshifted level).
char16_t tableChar(const QString& key) {
    return key.at(0).unicode();
}

} // namespace

ShortcutBinding ShortcutBinding::defaultBinding() {
    return ShortcutBinding{QStringLiteral("S"), true, true, false, false};
}

const QStringList& ShortcutBinding::keyTable() {
    static const QStringList table = [] {
        QStringList keys;
        for (char c = 'A'; c <= 'Z'; ++c)
            keys.append(QString(QLatin1Char(c)));
        for (char c = '0'; c <= '9'; ++c)
            keys.append(QString(QLatin1Char(c)));
        return keys;
    }();
    return table;
}

bool ShortcutBinding::hasTableKey() const {
    return keyTable().contains(key, Qt::CaseSensitive);
}

std::optional<ShortcutError> ShortcutBinding::validationError() const {
    if (!hasTableKey())
        return ShortcutError::keyNotInTable;
    if (!command && !option && !control)
        return ShortcutError::noPrimaryModifier;
    return std::nullopt;
}

QString ShortcutBinding::displayString() const {
    QStringList parts;
    if (command)
        parts.append(QStringLiteral("Ctrl"));
    if (option)
        parts.append(QStringLiteral("Alt"));
    if (shift)
        parts.append(QStringLiteral("Shift"));
    if (control)
        parts.append(QStringLiteral("Super"));
    parts.append(key);
    return parts.join(QLatin1Char('+'));
}

QByteArray ShortcutBinding::toJson() const {
    const QJsonObject object{
        {keyMember, key},       {commandMember, command}, {shiftMember, shift},
        {optionMember, option}, {controlMember, control},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<ShortcutBinding> ShortcutBinding::fromJson(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue keyValue = object.value(keyMember);
    if (!keyValue.isString())
        return std::nullopt;
    ShortcutBinding binding{keyValue.toString()};
    const std::pair<const QString&, bool&> flags[] = {
        {commandMember, binding.command},
        {shiftMember, binding.shift},
        {optionMember, binding.option},
        {controlMember, binding.control},
    };
    for (const auto& [member, flag] : flags) {
        const QJsonValue value = object.value(member);
        if (!value.isBool())
            return std::nullopt;
        flag = value.toBool();
    }
    return binding;
}

std::optional<ShortcutBinding> ShortcutBinding::fromKeyEvent(int qtKey,
                                                             Qt::KeyboardModifiers modifiers) {
    // Keypad digits are keys of their own, not the table's.
    if (modifiers.testFlag(Qt::KeypadModifier))
        return std::nullopt;
    const bool isLetter = qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z;
    const bool isDigit = qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9;
    if (!isLetter && !isDigit)
        return std::nullopt;
    ShortcutBinding binding{QString(QChar(char16_t(qtKey)))};
    binding.command = modifiers.testFlag(Qt::ControlModifier);
    binding.shift = modifiers.testFlag(Qt::ShiftModifier);
    binding.option = modifiers.testFlag(Qt::AltModifier);
    binding.control = modifiers.testFlag(Qt::MetaModifier);
    if (!binding.isValid())
        return std::nullopt;
    return binding;
}

std::optional<ShortcutBinding> ShortcutBinding::fromKeyEvent(const QKeyEvent& event,
                                                             KeyboardLayout& layout) {
    // Keypad keys carry no letter or digit of their own in the core mapping, but say so
    // before asking the layout.
    if (event.modifiers().testFlag(Qt::KeypadModifier))
        return std::nullopt;
    const std::optional<QChar> key =
        event.nativeScanCode() != 0 ? layout.latinKey(event.nativeScanCode()) : std::nullopt;
    return fromKeyEvent(key ? int(key->unicode()) : event.key(), event.modifiers());
}

std::optional<HotKeyGrab> ShortcutBinding::hotKeyGrab() const {
    if (!hasTableKey())
        return std::nullopt;
    HotKeyGrab grab{QChar(tableChar(key)).toLower().unicode()};
    if (command)
        grab.modifierMask |= ModifierMask::control;
    if (shift)
        grab.modifierMask |= ModifierMask::shift;
    if (option)
        grab.modifierMask |= ModifierMask::alt;
    if (control)
        grab.modifierMask |= ModifierMask::super;
    return grab;
}

QKeySequence ShortcutBinding::keySequence() const {
    if (!hasTableKey())
        return {};
    Qt::KeyboardModifiers modifiers;
    modifiers.setFlag(Qt::ControlModifier, command);
    modifiers.setFlag(Qt::ShiftModifier, shift);
    modifiers.setFlag(Qt::AltModifier, option);
    modifiers.setFlag(Qt::MetaModifier, control);
    return QKeySequence(QKeyCombination(modifiers, Qt::Key(tableChar(key))));
}

} // namespace tovik
