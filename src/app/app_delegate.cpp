#include "app/app_delegate.h"

#include "app/app_icon.h"
#include "app/trace.h"
#include "session/session_store.h"
#include "shortcuts/global_shortcut.h"
#include "shortcuts/shortcut_preferences.h"
#include "updates/update_controller.h"

#include <QCoreApplication>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>

namespace tovik {

namespace {
const QString checkForUpdatesTitle = QStringLiteral("Check for updates…");
const QString installUpdateTitle = QStringLiteral("Install update and relaunch…");
const QString settingsTitle = QStringLiteral("Settings…");
} // namespace

AppDelegate::AppDelegate(AppServices services, QObject* parent)
    : QObject(parent)
    , services_(services) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    SessionStore& store = services_.store;
    store.rememberPreviousApp();
    connect(&services_.desktop, &Desktop::applicationActivated, this,
            &AppDelegate::applicationActivated);

    const QPointer<AppDelegate> self(this);
    services_.sessionShortcut.setOnPress([self] {
        trace::start("hot key pressed");
        if (self)
            self->startOrCapture();
    });
    store.setSessionShortcutAvailable(services_.sessionShortcut.registerShortcut());
    connect(&services_.sessionShortcut, &GlobalShortcut::lost, this,
            [this] { services_.store.setSessionShortcutAvailable(false); });

    buildStatusMenu();
    connect(&store, &SessionStore::sessionShortcutAvailableChanged, this,
            &AppDelegate::updateSessionMenuKey);
    if (services_.updates.updatesEnabled())
        services_.updates.startUpdater();

    services_.preferences.setApply(
        [self](const ShortcutBinding& binding) { return self && self->apply(binding); });
    connect(&services_.preferences, &ShortcutPreferences::recordingChanged, this,
            &AppDelegate::recordingChanged);

    connect(&services_.desktop, &Desktop::screensChanged, this, &AppDelegate::screenChanged);
    store.showReviewWindow();
}

void AppDelegate::applicationWillTerminate() {
    services_.preferences.setApply({});
    disconnect(&services_.preferences, &ShortcutPreferences::recordingChanged, this, nullptr);
    services_.sessionShortcut.unregisterShortcut();
    services_.store.shutdown();
    disconnect(&services_.desktop, nullptr, this, nullptr);
}

void AppDelegate::buildStatusMenu() {
    menu_ = std::make_unique<QMenu>();
    menu_->setObjectName(QStringLiteral("statusMenu"));

    sessionMenuItem_ = menu_->addAction(QStringLiteral("Start session / capture"), this,
                                        &AppDelegate::startOrCapture);
    updateSessionMenuKey();
    menu_->addAction(QStringLiteral("Show session"), this, &AppDelegate::showSession);
    menu_->addAction(QStringLiteral("Stop session"), this, &AppDelegate::finish);
    updateMenuItem_ = menu_->addAction(checkForUpdatesTitle, this, &AppDelegate::checkForUpdates);
    updateMenuItem_->setVisible(services_.updates.updatesEnabled());
    QAction* settingsItem = menu_->addAction(settingsTitle, this, &AppDelegate::showSettings);
    settingsItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QAction* quitItem = menu_->addAction(QStringLiteral("Quit tovik"), this, &AppDelegate::quit);
    quitItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(menu_.get(), &QMenu::aboutToShow, this, &AppDelegate::validateMenu);
    validateMenu();

    statusItem_ = std::make_unique<QSystemTrayIcon>();
    statusItem_->setIcon(appIcon());
    statusItem_->setToolTip(QStringLiteral("tovik"));
    statusItem_->setContextMenu(menu_.get());
    connect(statusItem_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    applicationShouldHandleReopen();
            });
    // Without a tray host nothing shows; Qt docks the icon once a tray appears, and until
    // then the session window is the way in.
    statusItem_->show();
}

void AppDelegate::validateMenu() {
    if (!updateMenuItem_)
        return;
    const UpdateController& updates = services_.updates;
    const bool waiting = updates.state() == UpdateController::State::updateWaiting;
    updateMenuItem_->setText(waiting ? installUpdateTitle : checkForUpdatesTitle);
    updateMenuItem_->setEnabled(waiting || updates.canCheckForUpdates());
}

void AppDelegate::startOrCapture() {
    services_.store.startOrCapture();
}

void AppDelegate::showSession() {
    retryHotKey();
    services_.store.showReviewWindow();
}

void AppDelegate::finish() {
    services_.store.stopSession();
}

void AppDelegate::checkForUpdates() {
    services_.updates.checkForUpdates();
}

void AppDelegate::showSettings() {
    retryHotKey();
    Q_EMIT settingsRequested();
}

void AppDelegate::quit() {
    // Not quit(): that asks every window to close first, and a window may refuse.
    QCoreApplication::exit(0);
}

void AppDelegate::screenChanged() {
    services_.store.screenChanged();
}

void AppDelegate::applicationActivated(const AppRef& app) {
    Desktop& desktop = services_.desktop;
    if (app.pid != desktop.processId() && !desktop.isTerminated(app))
        services_.store.setPreviousApp(app);
}

bool AppDelegate::applicationShouldHandleReopen() {
    retryHotKey();
    services_.store.showReviewWindow();
    return true;
}

bool AppDelegate::apply(const ShortcutBinding& binding) {
    GlobalShortcut& shortcut = services_.sessionShortcut;
    shortcut.unregisterShortcut();
    if (shortcut.registerShortcut(binding)) {
        services_.store.setSessionShortcutAvailable(true);
        if (sessionMenuItem_)
            sessionMenuItem_->setShortcut(binding.keySequence());
        return true;
    }
    // While recording the hot key stays off, so the next combination reaches the recorder.
    if (!services_.preferences.isRecording())
        registerStoredBinding();
    return false;
}

void AppDelegate::recordingChanged(bool isRecording) {
    if (isRecording)
        services_.sessionShortcut.unregisterShortcut();
    else
        registerStoredBinding();
}

void AppDelegate::registerStoredBinding() {
    services_.store.setSessionShortcutAvailable(services_.sessionShortcut.registerShortcut());
}

void AppDelegate::retryHotKey() {
    if (!services_.sessionShortcut.isLive() && !services_.preferences.isRecording())
        registerStoredBinding();
}

void AppDelegate::updateSessionMenuKey() {
    if (!sessionMenuItem_)
        return;
    sessionMenuItem_->setShortcut(services_.store.sessionShortcutAvailable()
                                      ? services_.preferences.startOrCapture().keySequence()
                                      : QKeySequence());
}

} // namespace tovik
