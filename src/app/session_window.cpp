#include "app/session_window.h"

#include "session/session_store.h"
#include "ui/capture_button_style.h"
#include "ui/compact_action.h"
#include "ui/dark_scheme.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tovik {
namespace {

const QString appTitle = QStringLiteral("tovik");
const QString showToolbarTitle = QStringLiteral("Show toolbar");
const QString stopSessionTitle = QStringLiteral("Stop session");
const QString preparingFiles = QStringLiteral("Preparing files\u2026");
const QString capturesSuffix = QStringLiteral(" captures");
const QString copyContactSheetText = QStringLiteral("Copy contact sheet");
const QString newSessionText = QStringLiteral("New session\u2026");
const QString copyAllText = QStringLiteral("Copy all");
const QString copyAllHelp = QStringLiteral("Copy PNG files and feedback.md");
const QString newSessionQuestion = QStringLiteral("Start a new session?");
const QString newSessionWarning = QStringLiteral(
    "This clears the current captures from memory. Copy any feedback you want to keep first.");
const QString startNewSession = QStringLiteral("Start new session");

QString phaseText(Phase phase) {
    switch (phase) {
    case Phase::ready:
        return QStringLiteral("No session is running.");
    case Phase::monitoring:
        return QStringLiteral("A session is running.");
    case Phase::capturing:
        return QStringLiteral("Capturing\u2026");
    case Phase::review:
        return QStringLiteral("The session has ended; its captures are kept for review.");
    }
    return {};
}

constexpr int sideInset = 16;

} // namespace

SessionWindow::SessionWindow(SessionStore& store, AlertRunner runAlert, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , store_(store)
    , runAlert_(std::move(runAlert)) {
    setObjectName(QStringLiteral("sessionWindow"));
    setWindowTitle(appTitle);
    resize(initialSize);
    setMinimumSize(smallestSize);
    setPalette(darkScheme::palette());
    setAutoFillBackground(true);

    phase_ = new QLabel(this);
    phase_->setObjectName(QStringLiteral("phase"));
    phase_->setAlignment(Qt::AlignCenter);
    phase_->setFont(systemFont(15));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(phase_, 1);
    layout->addWidget(buildBottomBar());

    connect(&store_, &SessionStore::phaseChanged, this, &SessionWindow::refresh);
    connect(&store_, &SessionStore::itemsChanged, this, &SessionWindow::refresh);
    connect(&store_, &SessionStore::noticeChanged, this, &SessionWindow::refresh);
    connect(&store_, &SessionStore::exportingChanged, this, &SessionWindow::refresh);
    connect(&store_, &SessionStore::errorChanged, this, &SessionWindow::scheduleErrorAlert);
    refresh();
}

QWidget* SessionWindow::buildHeader() {
    auto* header = new QWidget(this);
    header->setFixedHeight(48);
    auto* title = new QLabel(appTitle, header);
    title->setFont(systemFont(13, QFont::DemiBold));
    QPalette palette = title->palette();
    palette.setColor(QPalette::WindowText, darkScheme::secondaryLabel());
    title->setPalette(palette);

    showToolbar_ =
        new CompactAction(showToolbarTitle, QStringLiteral("slider.horizontal.3"), {}, header);
    showToolbar_->setObjectName(QStringLiteral("showToolbarButton"));
    connect(showToolbar_, &QAbstractButton::clicked, &store_, &SessionStore::showToolbar);
    stopSession_ = new CompactAction(stopSessionTitle, QStringLiteral("stop.fill"), {}, header);
    stopSession_->setObjectName(QStringLiteral("stopSessionButton"));
    connect(stopSession_, &QAbstractButton::clicked, &store_, &SessionStore::stopSession);

    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(sideInset, 0, sideInset, 0);
    layout->setSpacing(10);
    layout->addWidget(title);
    layout->addWidget(showToolbar_);
    layout->addWidget(stopSession_);
    layout->addStretch(1);
    return header;
}

QWidget* SessionWindow::buildBottomBar() {
    auto* bar = new QWidget(this);
    status_ = new QLabel(bar);
    status_->setObjectName(QStringLiteral("status"));
    status_->setFont(systemFont(10));
    QPalette palette = status_->palette();
    palette.setColor(QPalette::WindowText, darkScheme::secondaryLabel());
    status_->setPalette(palette);

    auto* contactSheet = new CaptureButtonStyle(false, bar);
    contactSheet->setObjectName(QStringLiteral("copyContactSheetButton"));
    contactSheet->setText(copyContactSheetText);
    connect(contactSheet, &QAbstractButton::clicked, &store_, [this] { store_.copyFiles(true); });

    newSession_ = new CaptureButtonStyle(false, bar);
    newSession_->setObjectName(QStringLiteral("newSessionButton"));
    newSession_->setText(newSessionText);
    connect(newSession_, &QAbstractButton::clicked, this, &SessionWindow::confirmNewSession);

    copyAll_ = new CaptureButtonStyle(true, bar);
    copyAll_->setObjectName(QStringLiteral("copyAllButton"));
    copyAll_->setText(copyAllText);
    copyAll_->setSymbol(QStringLiteral("doc.on.doc"));
    connect(copyAll_, &QAbstractButton::clicked, &store_, [this] { store_.copyFiles(false); });

    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(sideInset, 12, sideInset, 12);
    layout->setSpacing(10);
    layout->addWidget(status_, 1);
    layout->addWidget(newSession_);
    layout->addWidget(contactSheet);
    layout->addWidget(copyAll_);
    return bar;
}

void SessionWindow::refresh() {
    const Phase phase = store_.phase();
    const bool running = phase == Phase::monitoring || phase == Phase::capturing;
    const bool exporting = store_.exporting();
    showToolbar_->setVisible(running);
    stopSession_->setVisible(running);
    phase_->setText(phaseText(phase));
    if (exporting)
        status_->setText(preparingFiles);
    else
        status_->setText(
            store_.notice().value_or(QString::number(store_.items().size()) + capturesSuffix));
    newSession_->setEnabled(!running);
    copyAll_->setEnabled(!exporting);
    copyAll_->setToolTip(exporting ? preparingFiles : copyAllHelp);
}

void SessionWindow::confirmNewSession() {
    QMessageBox box(QMessageBox::Warning, appTitle, newSessionQuestion, QMessageBox::NoButton,
                    this);
    box.setObjectName(QStringLiteral("newSessionAlert"));
    box.setInformativeText(newSessionWarning);
    box.addButton(QMessageBox::Cancel);
    QPushButton* start = box.addButton(startNewSession, QMessageBox::DestructiveRole);
    box.setWindowModality(Qt::WindowModal);
    runAlert_(box);
    if (box.clickedButton() == start)
        store_.startSession();
}

void SessionWindow::scheduleErrorAlert() {
    if (errorAlertPending_ || !store_.error() || !isVisible())
        return;
    errorAlertPending_ = true;
    // From the event loop: the error is set in the middle of a store operation.
    QTimer::singleShot(0, this, &SessionWindow::showErrorAlert);
}

void SessionWindow::showErrorAlert() {
    errorAlertPending_ = false;
    const std::optional<QString> error = store_.error();
    if (!error || !isVisible())
        return;
    QMessageBox box(QMessageBox::Warning, appTitle, *error, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("errorAlert"));
    box.setWindowModality(Qt::WindowModal);
    runAlert_(box);
    // However it was dismissed; an error that replaced it meanwhile gets its own alert.
    if (store_.error() == error)
        store_.setError(std::nullopt);
    else
        scheduleErrorAlert();
}

void SessionWindow::closeEvent(QCloseEvent* event) {
    // The window lives as long as the application; the session goes on without it.
    event->ignore();
    hide();
}

void SessionWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    scheduleErrorAlert();
}

} // namespace tovik
