#include "shortcuts/shortcut_preferences.h"

#include "shortcuts/settings_file.h"

#include <QStandardPaths>

namespace tovik {

const QString ShortcutPreferences::settingsKey = QStringLiteral("startOrCaptureShortcut");

namespace {

ShortcutBinding loadBinding(const SettingsFile& file) {
    const QVariant stored = file.value(ShortcutPreferences::settingsKey);
    // Only a byte value is ours; text or numbers there were put by someone else.
    if (stored.typeId() != QMetaType::QByteArray)
        return ShortcutBinding::defaultBinding();
    const std::optional<ShortcutBinding> binding = ShortcutBinding::fromJson(stored.toByteArray());
    if (!binding || !binding->isValid())
        return ShortcutBinding::defaultBinding();
    return *binding;
}

} // namespace

ShortcutPreferences& ShortcutPreferences::shared() {
    static ShortcutPreferences* const instance = new ShortcutPreferences(defaultSettingsPath());
    return *instance;
}

QString ShortcutPreferences::defaultSettingsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tovik/tovik.conf");
}

ShortcutPreferences::ShortcutPreferences(QString settingsPath, QObject* parent)
    : QObject(parent)
    , settingsPath_(std::move(settingsPath)) {
    const Expected<SettingsFile> file = SettingsFile::read(settingsPath_);
    if (file)
        startOrCapture_ = loadBinding(*file);
    else
        loadProblem_ = file.failure().message();
}

void ShortcutPreferences::setRecording(bool recording) {
    if (recording == isRecording_)
        return;
    isRecording_ = recording;
    Q_EMIT recordingChanged(recording);
}

Outcome ShortcutPreferences::save(const ShortcutBinding& binding) {
    if (const std::optional<ShortcutError> error = binding.validationError())
        return Failure::of(*error);
    const QByteArray json = binding.toJson();
    // The hot key is tried before anything is stored, so a combination that cannot be
    // live is never persisted.
    if (!apply_ || !apply_(binding))
        return Failure::of(ShortcutError::unavailable);
    if (!SettingsFile::writeValue(settingsPath_, settingsKey, json)) {
        // The new combination is live already: put the stored one back.
        apply_(startOrCapture_);
        return Failure::of(ShortcutError::notSaved);
    }
    loadProblem_.clear();
    setStartOrCapture(binding);
    return Done{};
}

void ShortcutPreferences::setStartOrCapture(const ShortcutBinding& binding) {
    if (binding == startOrCapture_)
        return;
    startOrCapture_ = binding;
    Q_EMIT startOrCaptureChanged(binding);
}

} // namespace tovik
