#include "app/settings_window.h"

#include "app/settings_view.h"
#include "ui/dark_scheme.h"

#include <QVBoxLayout>

namespace tovik {

SettingsWindow::SettingsWindow(ShortcutPreferences& preferences, KeyboardLayout& keyboardLayout,
                               QUrl screenRecordingSettings, AutostartEntry autostart,
                               QWidget* parent)
    : QWidget(parent, Qt::Window)
    , view_(new SettingsView(preferences, keyboardLayout, std::move(screenRecordingSettings),
                             std::move(autostart), this)) {
    setObjectName(QStringLiteral("settingsWindow"));
    setWindowTitle(QStringLiteral("tovik Settings"));
    setPalette(darkScheme::palette());
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The window takes the view's size: fixed width, the height its content needs.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(view_);
}

void SettingsWindow::present() {
    view_->refresh();
    show();
    raise();
    activateWindow();
}

void SettingsWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // The view goes away with the window: a recording must not keep the hot key off.
    view_->finishRecording();
}

} // namespace tovik
