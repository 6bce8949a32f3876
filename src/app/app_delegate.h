#pragma once

#include "platform/desktop.h"

#include <QObject>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace tovik {

class GlobalShortcut;
class SessionStore;
class ShortcutPreferences;
class UpdateController;
struct ShortcutBinding;

// What the application shell wires together; everything here outlives the delegate.
struct AppServices {
    SessionStore& store;
    UpdateController& updates;
    GlobalShortcut& sessionShortcut;
    ShortcutPreferences& preferences;
    Desktop& desktop;
};

// The application shell: the tray icon with its menu, and the wiring of the hot key, the
// shortcut preferences, the update controller and the desktop's notifications to the one
// session store. It keeps no session state: every action ends in one store operation.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(AppServices services, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Start-up, once the session window has been handed to the store's windows.
    void applicationDidFinishLaunching();
    // Shutdown, as the application is about to quit.
    void applicationWillTerminate();

    // Menu actions.
    // A new session in ready or review, otherwise one more capture.
    void startOrCapture();
    void showSession();
    void finish();
    void checkForUpdates();
    // Asks for the settings window (settingsRequested), taking the hot key again first if
    // another client held it.
    void showSettings();
    void quit();

    // Desktop notifications.
    void screenChanged();
    // Another application came to the front: the one a capture returns to.
    void applicationActivated(const tovik::AppRef& app);
    // A second launch, or a click on the tray icon: the session window comes to the front.
    bool applicationShouldHandleReopen();

    // Titles and states of the update item; run each time the menu opens.
    void validateMenu();

    QSystemTrayIcon* statusItem() const { return statusItem_.get(); }
    QMenu* statusMenu() const { return menu_.get(); }
    QAction* sessionMenuItem() const { return sessionMenuItem_; }
    QAction* updateMenuItem() const { return updateMenuItem_; }

Q_SIGNALS:
    // The settings window should come to the front.
    void settingsRequested();

private:
    bool apply(const ShortcutBinding& binding);
    void recordingChanged(bool isRecording);
    void registerStoredBinding();
    // Tries the stored binding again when another client held it and nothing records.
    void retryHotKey();
    // The menu shows the hot key only while it works.
    void updateSessionMenuKey();
    void buildStatusMenu();

    AppServices services_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> statusItem_;
    QAction* sessionMenuItem_ = nullptr;
    QAction* updateMenuItem_ = nullptr;
};

} // namespace tovik
