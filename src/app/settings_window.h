#pragma once

#include "app/autostart_entry.h"

#include <QUrl>
#include <QWidget>

namespace tovik {

class KeyboardLayout;
class SettingsView;
class ShortcutPreferences;

// The settings window: the settings view at its fixed width. Closing it only hides it, and
// ends a recording in progress.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    SettingsWindow(ShortcutPreferences& preferences, KeyboardLayout& keyboardLayout,
                   QUrl screenRecordingSettings = {}, AutostartEntry autostart = {},
                   QWidget* parent = nullptr);

    SettingsView* view() const { return view_; }
    // Shows the window, or brings it to the front with the keyboard.
    void present();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    SettingsView* view_;
};

} // namespace tovik
