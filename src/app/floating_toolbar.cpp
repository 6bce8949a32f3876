#include "app/floating_toolbar.h"

#include "app/store_copy_source.h"
#include "app/toolbar_thumbnail.h"
#include "model/capture_count.h"
#include "session/session_store.h"
#include "shortcuts/shortcut_preferences.h"
#include "ui/capture_button_style.h"
#include "ui/compact_action.h"
#include "ui/dark_scheme.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QVBoxLayout>

namespace tovik {
namespace {

const QString viewAllHelp = QStringLiteral("View all screenshots in the session window");
const QString noScreenshots = QStringLiteral("No screenshots yet");
const QString captureText = QStringLiteral("Capture");
const QString showHelp = QStringLiteral("Show screenshots");
const QString hideHelp = QStringLiteral("Hide screenshots");
const QString pasteText = QStringLiteral("Paste");
const QString preparingText = QStringLiteral("Preparing\u2026");
const QString pasteHelp = QStringLiteral("Paste photos, then feedback text into the previous app");
const QString pasteByHandHelp =
    QStringLiteral("Copy photos and feedback text, then paste them with Ctrl+V in your app");
const QString closeTitle = QStringLiteral("Close toolbar and stop session");

const QString scrollIndicatorStyle = QStringLiteral(
    "QScrollBar:horizontal { height: 6px; background: transparent; margin: 0; }"
    "QScrollBar::handle:horizontal { background: rgba(255, 255, 255, 70); border-radius: 3px;"
    " min-width: 24px; }"
    "QScrollBar::add-line:horizontal, QScrollBar::sub-line:horizontal { width: 0; }"
    "QScrollBar::add-page:horizontal, QScrollBar::sub-page:horizontal { background: none; }");

constexpr int sideInset = 12;
constexpr int stripSpacing = 12;
constexpr int scrollHeight = 110;
constexpr int rowSpacing = 12;
constexpr int rowBottomInset = 6;
constexpr int controlSpacing = 8;
constexpr QSizeF chevronFrame{10, 10};

void useSecondaryColour(QLabel* label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, darkScheme::secondaryLabel());
    label->setPalette(palette);
}

} // namespace

FloatingToolbar::FloatingToolbar(SessionStore& store, ShortcutPreferences& preferences,
                                 QWidget* parent)
    : PanelChrome(parent)
    , store_(store)
    , preferences_(preferences) {
    setObjectName(QStringLiteral("floatingToolbar"));
    setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    // The chrome's own margins already keep the content inside the painted surface.
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildStrip());
    layout->addWidget(buildControlBar());

    connect(&store_, &SessionStore::itemsChanged, this, &FloatingToolbar::refresh);
    connect(&store_, &SessionStore::toolbarExpandedChanged, this, &FloatingToolbar::refresh);
    connect(&store_, &SessionStore::exportingChanged, this, &FloatingToolbar::refresh);
    // The copy controls show the store's error when a copy failed.
    connect(&store_, &SessionStore::errorChanged, this, &FloatingToolbar::refresh);
    connect(&preferences_, &ShortcutPreferences::startOrCaptureChanged, this,
            &FloatingToolbar::refresh);
    refresh();
}

QString FloatingToolbar::captureHelp(const ShortcutBinding& binding) {
    return QStringLiteral("Select a region (%1)").arg(binding.displayString());
}

QString FloatingToolbar::toggleValue(qsizetype count, bool expanded) {
    return QStringLiteral("%1 screenshots, %2")
        .arg(QString::number(count),
             expanded ? QStringLiteral("expanded") : QStringLiteral("collapsed"));
}

QWidget* FloatingToolbar::buildStrip() {
    strip_ = new QWidget(this);
    strip_->setObjectName(QStringLiteral("strip"));
    strip_->setFixedHeight(stripHeight);

    countLabel_ = new QLabel(strip_);
    countLabel_->setObjectName(QStringLiteral("captureCount"));
    countLabel_->setFont(systemFont(10));
    useSecondaryColour(countLabel_);
    auto* viewAll = new CaptureButtonStyle(false, strip_);
    viewAll->setObjectName(QStringLiteral("viewAllButton"));
    viewAll->setSymbol(QStringLiteral("arrow.up.right.square"));
    viewAll->setToolTip(viewAllHelp);
    viewAll->setAccessibleName(viewAllHelp);
    connect(viewAll, &QAbstractButton::clicked, &store_, &SessionStore::showReviewWindow);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(countLabel_);
    header->addStretch(1);
    header->addWidget(viewAll);

    scroll_ = new QScrollArea(strip_);
    scroll_->setObjectName(QStringLiteral("thumbnailScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidgetResizable(true);
    scroll_->viewport()->setAutoFillBackground(false);
    // A slim indicator in the panel's colours instead of the desktop style's bar.
    scroll_->horizontalScrollBar()->setStyleSheet(scrollIndicatorStyle);
    auto* rowWidget = new QWidget;
    rowWidget->setAutoFillBackground(false);
    row_ = new QHBoxLayout(rowWidget);
    row_->setContentsMargins(0, 0, 0, rowBottomInset);
    row_->setSpacing(rowSpacing);
    row_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    scroll_->setWidget(rowWidget);

    emptyLabel_ = new QLabel(noScreenshots, strip_);
    emptyLabel_->setObjectName(QStringLiteral("noScreenshots"));
    useSecondaryColour(emptyLabel_);
    // The text lies over the (empty) scroll view, centred.
    auto* stack = new QGridLayout;
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addWidget(scroll_, 0, 0);
    stack->addWidget(emptyLabel_, 0, 0, Qt::AlignCenter);
    scroll_->setFixedHeight(scrollHeight);

    auto* layout = new QVBoxLayout(strip_);
    layout->setContentsMargins(sideInset, 0, sideInset, 0);
    layout->setSpacing(0);
    layout->addStretch(1);
    layout->addLayout(header);
    layout->addSpacing(stripSpacing);
    layout->addLayout(stack);
    layout->addStretch(1);
    return strip_;
}

QWidget* FloatingToolbar::buildControlBar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("controlBar"));
    bar->setFixedHeight(controlBarHeight);

    capture_ = new CaptureButtonStyle(true, bar);
    capture_->setObjectName(QStringLiteral("captureButton"));
    capture_->setText(captureText);
    capture_->setSymbol(QStringLiteral("plus"));
    connect(capture_, &QAbstractButton::clicked, &store_, &SessionStore::capture);

    toggle_ = new CaptureButtonStyle(false, bar);
    toggle_->setObjectName(QStringLiteral("stripToggle"));
    toggle_->setSymbolTrailing(true);
    toggle_->setSymbolFrame(chevronFrame);
    connect(toggle_, &QAbstractButton::clicked, &store_,
            [this] { store_.setToolbarExpanded(!store_.toolbarExpanded()); });

    paste_ = new CaptureButtonStyle(false, bar);
    paste_->setObjectName(QStringLiteral("pasteButton"));
    paste_->setSymbol(QStringLiteral("doc.on.clipboard"));
    paste_->setToolTip(store_.pastesByHand() ? pasteByHandHelp : pasteHelp);
    connect(paste_, &QAbstractButton::clicked, &store_, &SessionStore::paste);

    close_ = new CompactAction(closeTitle, QStringLiteral("xmark"), {}, bar);
    close_->setObjectName(QStringLiteral("closeButton"));
    connect(close_, &QAbstractButton::clicked, &store_, &SessionStore::stopSession);

    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(sideInset, 0, sideInset, 0);
    layout->setSpacing(controlSpacing);
    layout->addWidget(capture_, 0, Qt::AlignVCenter);
    layout->addWidget(toggle_, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    layout->addWidget(paste_, 0, Qt::AlignVCenter);
    layout->addWidget(close_, 0, Qt::AlignVCenter);
    return bar;
}

void FloatingToolbar::refresh() {
    const qsizetype count = store_.items().size();
    const bool expanded = store_.toolbarExpanded();
    const bool exporting = store_.exporting();

    strip_->setVisible(expanded);
    countLabel_->setText(captureCountText(count));
    emptyLabel_->setVisible(count == 0);
    refreshThumbnails();

    capture_->setEnabled(!exporting);
    capture_->setToolTip(captureHelp(preferences_.startOrCapture()));

    const QString toggleHelp = expanded ? hideHelp : showHelp;
    toggle_->setText(QString::number(count));
    toggle_->setSymbol(expanded ? QStringLiteral("chevron.down") : QStringLiteral("chevron.up"),
                       SymbolWeight::semibold);
    toggle_->setToolTip(toggleHelp);
    toggle_->setAccessibleName(toggleHelp);
    toggle_->setAccessibleValue(toggleValue(count, expanded));
    // An unfolded empty strip can still be folded.
    toggle_->setEnabled(count > 0 || expanded);

    paste_->setText(exporting ? preparingText : pasteText);
    paste_->setEnabled(count > 0 && !exporting);
    close_->setEnabled(!exporting);
}

void FloatingToolbar::refreshThumbnails() {
    const QList<CapturedItem>& items = store_.items();
    QSet<QUuid> present;
    for (const CapturedItem& item : items)
        present.insert(item.id());
    for (auto it = thumbnails_.begin(); it != thumbnails_.end();) {
        if (present.contains(it.key())) {
            ++it;
            continue;
        }
        // Late deletion: the request may come from inside the thumbnail's own control.
        row_->removeWidget(it.value());
        it.value()->hide();
        it.value()->deleteLater();
        it = thumbnails_.erase(it);
    }

    const ScreenshotCopySource source = storeCopySource(store_);
    for (qsizetype index = 0; index < items.size(); ++index) {
        const CapturedItem& item = items[index];
        // Kept by identifier, so a copy control's result survives unrelated changes.
        ToolbarThumbnail*& thumbnail = thumbnails_[item.id()];
        if (!thumbnail) {
            thumbnail = new ToolbarThumbnail(item.id(), source, row_->parentWidget());
            thumbnail->show();
        }
        thumbnail->setItem(item);
        if (row_->indexOf(thumbnail) != index) {
            row_->removeWidget(thumbnail);
            row_->insertWidget(int(index), thumbnail);
        }
        thumbnail->copyActions()->refresh();
    }
}

} // namespace tovik
