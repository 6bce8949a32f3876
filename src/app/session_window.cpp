#include "app/session_window.h"

#include "app/capture_detail.h"
#include "app/capture_row.h"
#include "app/feedback_prompt_sheet.h"
#include "app/store_copy_source.h"
#include "model/capture_count.h"
#include "session/session_store.h"
#include "shortcuts/shortcut_preferences.h"
#include "ui/capture_button_style.h"
#include "ui/compact_action.h"
#include "ui/dark_scheme.h"
#include "ui/symbols.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace tovik {
namespace {

const QString appTitle = QStringLiteral("tovik");
const QString showToolbarTitle = QStringLiteral("Show toolbar");
const QString stopSessionTitle = QStringLiteral("Stop session");
const QString captureText = QStringLiteral("Capture");
const QString captureHelp = QStringLiteral("Add a capture (%1)");
const QString settingsTitle = QStringLiteral("Settings");
const QString captureRegionText = QStringLiteral("Capture a region");
const QString shortcutUnavailable = QStringLiteral("Shortcut unavailable. Use Capture a region.");
const QString shortcutFromDesktop =
    QStringLiteral("Bind “tovik capture” to a key in your desktop’s keyboard settings, or use "
                   "Capture a region.");
const QString preparingFiles = QStringLiteral("Preparing files\u2026");
const QString copyAllText = QStringLiteral("Copy all");
const QString copyAllHelp = QStringLiteral("Copy PNG files and feedback.md");
const QString sessionActions = QStringLiteral("Session actions");
const QString previewFeedback = QStringLiteral("Preview feedback");
const QString copyPromptText = QStringLiteral("Copy prompt");
const QString copyContactSheetText = QStringLiteral("Copy contact sheet");
const QString showExportedFilesText = QStringLiteral("Show exported files");
const QString newSessionText = QStringLiteral("New session\u2026");
const QString quitText = QStringLiteral("Quit tovik");
const QString newSessionQuestion = QStringLiteral("Start a new session?");
const QString newSessionWarning = QStringLiteral(
    "This clears the current captures from memory. Copy any feedback you want to keep first.");
const QString startNewSession = QStringLiteral("Start new session");

constexpr int headerHeight = 48;
constexpr int sideInset = 16;
constexpr int barSpacing = 10;
constexpr int emptyStateSpacing = 16;
constexpr int emptySymbolSize = 32;
constexpr int rowSpacing = 12;
constexpr int rowListPadding = 10;
constexpr int sidebarMinimum = 132, sidebarIdeal = 156, sidebarMaximum = 200;
constexpr int detailMinimum = 380;
constexpr int actionsMenuWidth = 30;

QWidget* divider(QWidget* parent) {
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, QColor::fromRgbF(1, 1, 1, 0.1f));
    line->setPalette(palette);
    return line;
}

QLabel* secondaryLabel(const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, darkScheme::secondaryLabel());
    label->setPalette(palette);
    return label;
}

} // namespace

SessionWindow::SessionWindow(SessionStore& store, ShortcutPreferences& preferences,
                             AlertRunner runAlert, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , store_(store)
    , preferences_(preferences)
    , runAlert_(std::move(runAlert)) {
    setObjectName(QStringLiteral("sessionWindow"));
    setWindowTitle(appTitle);
    resize(initialSize);
    setMinimumSize(smallestSize);
    setPalette(darkScheme::palette());
    setAutoFillBackground(true);

    body_ = new QStackedWidget(this);
    body_->addWidget(buildEmptyState());
    body_->addWidget(buildCaptures());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(divider(this));
    layout->addWidget(body_, 1);
    layout->addWidget(divider(this));
    layout->addWidget(buildBottomBar());

    promptSheet_ = new FeedbackPromptSheet(store_, this);

    for (auto changed :
         {&SessionStore::phaseChanged, &SessionStore::itemsChanged, &SessionStore::noticeChanged,
          &SessionStore::exportingChanged, &SessionStore::errorChanged,
          &SessionStore::lastExportChanged, &SessionStore::sessionShortcutAvailableChanged})
        connect(&store_, changed, this, &SessionWindow::refresh);
    connect(&store_, &SessionStore::errorChanged, this, &SessionWindow::scheduleErrorAlert);
    connect(&preferences_, &ShortcutPreferences::startOrCaptureChanged, this,
            &SessionWindow::refreshShortcutTexts);
    refreshShortcutTexts();
    refresh();
}

SessionWindow::~SessionWindow() = default;

QWidget* SessionWindow::buildHeader() {
    auto* header = new QWidget(this);
    header->setFixedHeight(headerHeight);
    auto* title = secondaryLabel(appTitle, systemFont(13, QFont::DemiBold), header);

    showToolbar_ =
        new CompactAction(showToolbarTitle, QStringLiteral("slider.horizontal.3"), {}, header);
    showToolbar_->setObjectName(QStringLiteral("showToolbarButton"));
    connect(showToolbar_, &QAbstractButton::clicked, &store_, &SessionStore::showToolbar);
    stopSession_ = new CompactAction(stopSessionTitle, QStringLiteral("stop.fill"), {}, header);
    stopSession_->setObjectName(QStringLiteral("stopSessionButton"));
    connect(stopSession_, &QAbstractButton::clicked, &store_, &SessionStore::stopSession);

    capture_ = new CaptureButtonStyle(false, header);
    capture_->setObjectName(QStringLiteral("captureButton"));
    capture_->setText(captureText);
    capture_->setSymbol(QStringLiteral("plus"));
    connect(capture_, &QAbstractButton::clicked, &store_, &SessionStore::resume);

    auto* settings = new CaptureButtonStyle(false, header);
    settings->setObjectName(QStringLiteral("settingsButton"));
    settings->setSymbol(QStringLiteral("gearshape"));
    settings->setToolTip(settingsTitle);
    settings->setAccessibleName(settingsTitle);
    connect(settings, &QAbstractButton::clicked, this, &SessionWindow::settingsRequested);

    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(sideInset, 0, sideInset, 0);
    layout->setSpacing(barSpacing);
    layout->addWidget(title);
    layout->addWidget(showToolbar_);
    layout->addWidget(stopSession_);
    layout->addWidget(capture_);
    layout->addWidget(settings);
    layout->addStretch(1);
    return header;
}

QWidget* SessionWindow::buildEmptyState() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("emptyState"));
    auto* symbol = new QLabel(page);
    symbol->setPixmap(symbolIcon(u"viewfinder", darkScheme::secondaryLabel())
                          .pixmap(QSize(emptySymbolSize, emptySymbolSize), devicePixelRatioF()));
    auto* capture = new CaptureButtonStyle(true, page);
    capture->setObjectName(QStringLiteral("captureRegionButton"));
    capture->setText(captureRegionText);
    capture->setSymbol(QStringLiteral("plus"));
    connect(capture, &QAbstractButton::clicked, &store_, &SessionStore::resume);
    shortcutUnavailable_ = secondaryLabel(shortcutUnavailable, systemFont(11), page);
    shortcutUnavailable_->setObjectName(QStringLiteral("shortcutUnavailable"));

    auto* layout = new QVBoxLayout(page);
    layout->setSpacing(emptyStateSpacing);
    layout->addStretch(1);
    for (QWidget* widget : {static_cast<QWidget*>(symbol), static_cast<QWidget*>(capture),
                            static_cast<QWidget*>(shortcutUnavailable_)})
        layout->addWidget(widget, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return page;
}

QWidget* SessionWindow::buildCaptures() {
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("captures"));
    split->setChildrenCollapsible(false);

    auto* sidebar = new QScrollArea(split);
    sidebar->setObjectName(QStringLiteral("sidebar"));
    sidebar->setWidgetResizable(true);
    sidebar->setFrameShape(QFrame::NoFrame);
    sidebar->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sidebar->setMinimumWidth(sidebarMinimum);
    sidebar->setMaximumWidth(sidebarMaximum);
    auto* column = new QWidget(sidebar);
    rowList_ = new QVBoxLayout(column);
    rowList_->setContentsMargins(rowListPadding, rowListPadding, rowListPadding, rowListPadding);
    rowList_->setSpacing(rowSpacing);
    rowList_->addStretch(1);
    sidebar->setWidget(column);

    detail_ = new CaptureDetail(store_, split);
    detail_->setMinimumWidth(detailMinimum);
    split->addWidget(sidebar);
    split->addWidget(detail_);
    split->setStretchFactor(1, 1);
    split->setSizes({sidebarIdeal, initialSize.width() - sidebarIdeal});
    return split;
}

QWidget* SessionWindow::buildBottomBar() {
    auto* bar = new QWidget(this);
    busy_ = new QProgressBar(bar);
    busy_->setObjectName(QStringLiteral("busyIndicator"));
    busy_->setRange(0, 0);
    busy_->setTextVisible(false);
    busy_->setFixedSize(32, 6);
    status_ = secondaryLabel({}, systemFont(10), bar);
    status_->setObjectName(QStringLiteral("status"));

    copyAll_ = new CaptureButtonStyle(true, bar);
    copyAll_->setObjectName(QStringLiteral("copyAllButton"));
    copyAll_->setText(copyAllText);
    copyAll_->setSymbol(QStringLiteral("doc.on.doc"));
    connect(copyAll_, &QAbstractButton::clicked, &store_, [this] { store_.copyFiles(false); });

    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(sideInset, 12, sideInset, 12);
    layout->setSpacing(barSpacing);
    layout->addWidget(busy_);
    layout->addWidget(status_, 1);
    layout->addWidget(buildActionsMenu(bar));
    layout->addWidget(copyAll_);
    return bar;
}

QToolButton* SessionWindow::buildActionsMenu(QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QStringLiteral("sessionActionsButton"));
    button->setToolTip(sessionActions);
    button->setAccessibleName(sessionActions);
    button->setAutoRaise(true);
    button->setFixedWidth(actionsMenuWidth);
    button->setIcon(symbolIcon(u"ellipsis", darkScheme::primaryLabel()));

    auto* menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("sessionActionsMenu"));
    menu->addAction(previewFeedback, this, &SessionWindow::showPrompt);
    copyPrompt_ = menu->addAction(copyPromptText, &store_, &SessionStore::copyPrompt);
    copyContactSheet_ =
        menu->addAction(copyContactSheetText, &store_, [this] { store_.copyFiles(true); });
    showExportedFiles_ =
        menu->addAction(showExportedFilesText, this, &SessionWindow::showExportedFiles);
    menu->addSeparator();
    newSession_ = menu->addAction(newSessionText, this, &SessionWindow::confirmNewSession);
    menu->addSeparator();
    QAction* quit = menu->addAction(quitText, this, &SessionWindow::quitRequested);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Also from anywhere in the window, not only while the menu is open.
    addAction(quit);
    connect(menu, &QMenu::aboutToShow, this, &SessionWindow::refreshMenu);
    // Opens upwards: the button sits at the window's bottom edge.
    connect(button, &QToolButton::clicked, menu, [button, menu] {
        menu->popup(button->mapToGlobal(QPoint(0, -menu->sizeHint().height())));
    });
    return button;
}

const CapturedItem* SessionWindow::shownCapture(const QList<CapturedItem>& items,
                                                const std::optional<QUuid>& selected) {
    if (items.isEmpty())
        return nullptr;
    if (selected) {
        for (const CapturedItem& item : items) {
            if (item.id() == *selected)
                return &item;
        }
    }
    return &items.last();
}

void SessionWindow::select(const QUuid& id) {
    selected_ = id;
    refresh();
}

void SessionWindow::setDesktopBindsShortcuts(bool binds) {
    shortcutUnavailable_->setText(binds ? shortcutFromDesktop : shortcutUnavailable);
}

void SessionWindow::refresh() {
    const Phase phase = store_.phase();
    const bool running = phase == Phase::monitoring || phase == Phase::capturing;
    const bool exporting = store_.exporting();
    const QList<CapturedItem>& items = store_.items();

    showToolbar_->setVisible(running);
    stopSession_->setVisible(running);
    shortcutUnavailable_->setVisible(!store_.sessionShortcutAvailable());
    body_->setCurrentIndex(items.isEmpty() ? 0 : 1);
    refreshRows();
    if (const CapturedItem* shown = shownCapture(items, selected_))
        detail_->setItem(*shown);

    busy_->setVisible(exporting);
    status_->setText(exporting ? preparingFiles
                               : store_.notice().value_or(captureCountText(items.size())));
    copyAll_->setEnabled(!exporting);
    copyAll_->setToolTip(exporting ? preparingFiles : copyAllHelp);
    refreshMenu();
}

void SessionWindow::refreshRows() {
    const QList<CapturedItem>& items = store_.items();
    const CapturedItem* shown = shownCapture(items, selected_);
    QSet<QUuid> present;
    for (const CapturedItem& item : items)
        present.insert(item.id());
    for (auto it = rows_.begin(); it != rows_.end();) {
        if (present.contains(it.key())) {
            ++it;
            continue;
        }
        // Late deletion: the removal may come from inside the row's own copy control.
        it.value()->hide();
        rowList_->removeWidget(it.value());
        it.value()->deleteLater();
        it = rows_.erase(it);
    }
    for (qsizetype index = 0; index < items.size(); ++index) {
        const CapturedItem& item = items[index];
        CaptureRow*& row = rows_[item.id()];
        if (!row) {
            row = new CaptureRow(item.id(), storeCopySource(store_), rowList_->parentWidget());
            const QUuid id = item.id();
            connect(row, &QAbstractButton::clicked, this, [this, id] { select(id); });
        }
        row->setItem(item);
        row->setSelected(&item == shown);
        if (rowList_->indexOf(row) != index) {
            rowList_->removeWidget(row);
            rowList_->insertWidget(int(index), row);
        }
        row->copyActions()->refresh();
    }
    detail_->refresh();
}

void SessionWindow::refreshMenu() {
    const bool running = store_.phase() == Phase::monitoring || store_.phase() == Phase::capturing;
    const bool ready = !store_.exporting() && !store_.items().isEmpty();
    copyPrompt_->setEnabled(ready);
    copyContactSheet_->setEnabled(ready);
    showExportedFiles_->setVisible(store_.lastExport().has_value());
    newSession_->setEnabled(!running && !store_.exporting());
}

void SessionWindow::refreshShortcutTexts() {
    capture_->setToolTip(captureHelp.arg(preferences_.startOrCapture().displayString()));
}

void SessionWindow::showPrompt() {
    promptSheet_->refresh();
    promptSheet_->open();
}

void SessionWindow::showExportedFiles() {
    if (const std::optional<QString> folder = store_.lastExport())
        QDesktopServices::openUrl(QUrl::fromLocalFile(*folder));
}

void SessionWindow::confirmNewSession() {
    // Nothing to lose, nothing to ask.
    if (!store_.items().isEmpty()) {
        QMessageBox box(QMessageBox::Warning, appTitle, newSessionQuestion, QMessageBox::NoButton,
                        this);
        box.setObjectName(QStringLiteral("newSessionAlert"));
        box.setInformativeText(newSessionWarning);
        box.addButton(QMessageBox::Cancel);
        QPushButton* start = box.addButton(startNewSession, QMessageBox::DestructiveRole);
        box.setWindowModality(Qt::WindowModal);
        runAlert_(box);
        if (box.clickedButton() != start)
            return;
    }
    selected_.reset();
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
    // The window lives as long as the application; the session goes on without it. Quitting
    // does not ask windows to close, so this cannot hold it up.
    event->ignore();
    hide();
}

void SessionWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    scheduleErrorAlert();
}

} // namespace tovik
