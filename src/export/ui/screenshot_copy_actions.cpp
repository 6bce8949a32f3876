#include "export/ui/screenshot_copy_actions.h"

#include "export/ui/copy_chip.h"
#include "export/ui/copyable_accessible.h"
#include "ui/symbols.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QMenu>
#include <QWidget>

namespace tovik {
namespace {

const QString copyText = QStringLiteral("Copy");
const QString copiedText = QStringLiteral("Copied");
const QString failedText = QStringLiteral("Copy failed");
const QString copyHelp = QStringLiteral("Copy screenshot");
const QString failedHelp = QStringLiteral("Couldn\u2019t copy screenshot");
const QString copySymbol = QStringLiteral("doc.on.doc");
const QString copiedSymbol = QStringLiteral("checkmark");

} // namespace

ScreenshotCopyActions::ScreenshotCopyActions(QWidget* content, QUuid id,
                                             ScreenshotCopySource source)
    : QObject(content)
    , content_(content)
    , id_(id)
    , source_(std::move(source))
    , chip_(new CopyChip(content)) {
    setObjectName(QStringLiteral("screenshotCopyActions"));
    chip_->setObjectName(QStringLiteral("copyChip"));
    connect(chip_, &QAbstractButton::clicked, this, &ScreenshotCopyActions::copy);
    content_->installEventFilter(this);
    hovering_ = content_->underMouse();
    refresh();
    makeCopyableAccessible(this);
}

ScreenshotCopyActions::~ScreenshotCopyActions() {
    // The chip lives in the decorated view; it goes with this control.
    delete chip_.data();
}

ScreenshotCopyActions::State ScreenshotCopyActions::state() const {
    if (!outcome_)
        return State::idle;
    return *outcome_ ? State::copied : State::failed;
}

bool ScreenshotCopyActions::exporting() const {
    return source_.exporting && source_.exporting();
}

void ScreenshotCopyActions::copy() {
    if (exporting() || !source_.copyScreenshot)
        return;
    QCoro::connect(source_.copyScreenshot(id_), this, [this](bool succeeded) {
        outcome_ = succeeded;
        refresh();
    });
}

void ScreenshotCopyActions::refresh() {
    const State current = state();
    switch (current) {
    case State::idle:
        chip_->setText(copyText);
        chip_->setSymbol(copySymbol);
        chip_->setToolTip(copyHelp);
        break;
    case State::copied:
        chip_->setText(copiedText);
        chip_->setSymbol(copiedSymbol);
        chip_->setToolTip(copyHelp);
        break;
    case State::failed: {
        chip_->setText(failedText);
        chip_->setSymbol(copySymbol);
        const QString error = source_.error ? source_.error() : QString();
        chip_->setToolTip(error.isEmpty() ? failedHelp : error);
        break;
    }
    }
    chip_->setEnabled(!exporting());
    placeChip();
    // Hidden, the chip takes no clicks and is left out of the accessibility tree.
    chip_->setVisible(hovering_ || current != State::idle);
}

void ScreenshotCopyActions::placeChip() {
    chip_->resize(chip_->sizeHint());
    chip_->move(content_->width() - chip_->width() - chipInset, chipInset);
    chip_->raise();
}

void ScreenshotCopyActions::setHovering(bool hovering) {
    hovering_ = hovering;
    if (!hovering)
        outcome_.reset();
    refresh();
}

void ScreenshotCopyActions::showMenu(const QPoint& globalPos) {
    auto* menu = new QMenu(content_);
    menu->setObjectName(QStringLiteral("screenshotCopyMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* action = menu->addAction(
        symbolIcon(copySymbol, menu->palette().color(QPalette::WindowText)), copyText);
    action->setEnabled(!exporting());
    connect(action, &QAction::triggered, this, &ScreenshotCopyActions::copy);
    menu->popup(globalPos);
}

bool ScreenshotCopyActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched != content_)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Enter:
        setHovering(true);
        break;
    case QEvent::Leave:
        setHovering(false);
        break;
    case QEvent::Resize:
        placeChip();
        break;
    case QEvent::ContextMenu:
        showMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tovik
