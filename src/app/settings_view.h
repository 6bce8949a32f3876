#pragma once

#include "app/autostart_entry.h"
#include "shortcuts/shortcut_binding.h"

#include <QPointer>
#include <QUrl>
#include <QUuid>
#include <QWidget>

#include <optional>

class QAbstractButton;
class QCheckBox;
class QLabel;

namespace tovik {

class KeyboardLayout;
class ShortcutPreferences;
class ShortcutRecorder;

// The settings: the capture shortcut with its recording flow (or, where the desktop binds
// shortcuts itself, the command to bind there), starting at login, and where
// the desktop has one, the way to the screen-recording permission settings. It talks only
// to the preferences and the autostart entry; the hot key follows through their hooks.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int fixedWidth = 420;

    // An empty `screenRecordingSettings` shows no button for them (nothing to open).
    SettingsView(ShortcutPreferences& preferences, KeyboardLayout& keyboardLayout,
                 QUrl screenRecordingSettings = {}, AutostartEntry autostart = {},
                 QWidget* parent = nullptr);

    // Draft = the stored binding, no message, the recorder takes the focus (again).
    void startRecording();
    // Ends a recording, if any: the hot key comes back through the preferences.
    void finishRecording();
    // Shows what the state and the preferences hold now; safe to call at any time.
    void refresh();
    // Where the desktop lets no app take a system-wide key, the view shows, instead of the
    // shortcut field, how to bind captureCommand in the desktop's own keyboard settings.
    void setDesktopBindsShortcuts(bool binds);
    bool desktopBindsShortcuts() const { return desktopBinds_; }

    static const QString captureCommand;

    const std::optional<ShortcutBinding>& draft() const { return draft_; }
    const std::optional<QString>& shortcutError() const { return shortcutError_; }

private:
    QWidget* buildShortcutField();
    QWidget* buildDesktopBinding();
    void confirm();
    void setShortcutError(std::optional<QString> error);
    void setStartsAtLogin(bool starts);

    ShortcutPreferences& preferences_;
    KeyboardLayout& layout_;
    std::optional<ShortcutBinding> draft_;
    QUuid focusID_ = QUuid::createUuid();
    std::optional<QString> shortcutError_;

    QAbstractButton* field_ = nullptr;
    QLabel* fieldTitle_ = nullptr;
    QLabel* combination_ = nullptr;
    QLabel* hint_ = nullptr;
    QLabel* error_ = nullptr;
    QLabel* loadProblem_ = nullptr;
    QWidget* desktopBinding_ = nullptr;
    bool desktopBinds_ = false;
    AutostartEntry autostart_;
    QCheckBox* autostartToggle_ = nullptr;
    QLabel* autostartError_ = nullptr;
    QPointer<ShortcutRecorder> recorder_;
};

} // namespace tovik
