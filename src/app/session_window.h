#pragma once

#include "app/alert_runner.h"

#include <QHash>
#include <QUuid>
#include <QWidget>

#include <optional>

class QAction;
class QLabel;
class QProgressBar;
class QScrollArea;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace tovik {

class CaptureButtonStyle;
class CaptureDetail;
class CaptureRow;
class CompactAction;
class FeedbackPromptSheet;
class SessionStore;
class ShortcutPreferences;
struct CapturedItem;

// The application's one regular window: the session's captures to review, comment and
// remove, the feedback text, the copy actions and the session's start and stop. Every
// control calls one store operation; the only state of its own is which capture the user
// picked. Closing it only hides it.
class SessionWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize initialSize{900, 640};
    static constexpr QSize smallestSize{680, 480};

    SessionWindow(SessionStore& store, ShortcutPreferences& preferences,
                  AlertRunner runAlert = execAlert, QWidget* parent = nullptr);
    ~SessionWindow() override;

    // The capture the detail pane shows: the one picked last while it exists, else the last
    // one; none without captures.
    static const CapturedItem* shownCapture(const QList<CapturedItem>& items,
                                            const std::optional<QUuid>& selected);

    // Shows what the store holds now; safe to call at any time.
    void refresh();
    // Shows this capture in the detail pane.
    void select(const QUuid& id);
    // Where no app may bind a global key, the empty state says where to bind one instead.
    void setDesktopBindsShortcuts(bool binds);

Q_SIGNALS:
    // The gear: the application shell opens the settings window.
    void settingsRequested();
    // Quit tovik, for desktops without a tray to offer it.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildEmptyState();
    QWidget* buildCaptures();
    QWidget* buildBottomBar();
    QToolButton* buildActionsMenu(QWidget* parent);
    void refreshRows();
    void refreshMenu();
    void refreshShortcutTexts();
    void showPrompt();
    void showExportedFiles();
    void confirmNewSession();
    // The store's error goes into an alert once the window is on screen.
    void scheduleErrorAlert();
    void showErrorAlert();

    SessionStore& store_;
    ShortcutPreferences& preferences_;
    AlertRunner runAlert_;
    std::optional<QUuid> selected_;
    bool errorAlertPending_ = false;

    CompactAction* showToolbar_ = nullptr;
    CompactAction* stopSession_ = nullptr;
    CaptureButtonStyle* capture_ = nullptr;
    QStackedWidget* body_ = nullptr;
    QLabel* shortcutUnavailable_ = nullptr;
    QVBoxLayout* rowList_ = nullptr;
    QHash<QUuid, CaptureRow*> rows_;
    CaptureDetail* detail_ = nullptr;
    QProgressBar* busy_ = nullptr;
    QLabel* status_ = nullptr;
    CaptureButtonStyle* copyAll_ = nullptr;
    QAction* copyPrompt_ = nullptr;
    QAction* copyContactSheet_ = nullptr;
    QAction* showExportedFiles_ = nullptr;
    QAction* newSession_ = nullptr;
    FeedbackPromptSheet* promptSheet_ = nullptr;
};

} // namespace tovik
