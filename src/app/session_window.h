#pragma once

#include "app/alert_runner.h"

#include <QWidget>

#include <optional>

class QLabel;

namespace tovik {

class CaptureButtonStyle;
class CompactAction;
class SessionStore;

// The application's one regular window: the session's phase and captures, its notices and
// errors, and the copy and new-session actions. Closing it only hides it.
class SessionWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize initialSize{900, 640};
    static constexpr QSize smallestSize{680, 480};

    explicit SessionWindow(SessionStore& store, AlertRunner runAlert = execAlert,
                           QWidget* parent = nullptr);

    // Shows what the store holds now; safe to call at any time.
    void refresh();

Q_SIGNALS:
    void settingsRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildBottomBar();
    void confirmNewSession();
    // The store's error goes into an alert once the window is on screen.
    void scheduleErrorAlert();
    void showErrorAlert();

    SessionStore& store_;
    AlertRunner runAlert_;
    bool errorAlertPending_ = false;

    CompactAction* showToolbar_ = nullptr;
    CompactAction* stopSession_ = nullptr;
    QLabel* phase_ = nullptr;
    QLabel* status_ = nullptr;
    CaptureButtonStyle* newSession_ = nullptr;
    CaptureButtonStyle* copyAll_ = nullptr;
};

} // namespace tovik
