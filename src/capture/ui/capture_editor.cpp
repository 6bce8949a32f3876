#include "capture/ui/capture_editor.h"

#include "capture/ui/annotation_drag_handle.h"
#include "capture/ui/capture_draft.h"
#include "ui/capture_button_style.h"
#include "ui/compact_action.h"
#include "ui/dark_scheme.h"
#include "ui/rounded_surface.h"

#include <QBoxLayout>
#include <QPlainTextEdit>

namespace tovik {
namespace {

constexpr int inset = 12;
constexpr int spacing = 8;
constexpr int headerHeight = 30;
constexpr int commentHeight = 64;
constexpr qreal commentRadius = 8;

void call(const std::function<void()>& callback) {
    if (callback)
        callback();
}

} // namespace

CaptureEditor::CaptureEditor(CaptureDraft* draft, qint64 number, QWidget* parent)
    : PanelChrome(parent)
    , draft_(draft)
    , number_(number) {
    setObjectName(QStringLiteral("captureEditor"));
    setCursor(Qt::ArrowCursor);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(inset, inset, inset, inset);
    column->setSpacing(spacing);
    column->addLayout(makeHeader());
    column->addWidget(makeCommentField());
    column->addLayout(makeToolRow());

    connect(draft_, &CaptureDraft::toolChanged, this, &CaptureEditor::refresh);
    connect(draft_, &CaptureDraft::strokesChanged, this, &CaptureEditor::refresh);
    connect(draft_, &CaptureDraft::commentChanged, this, [this] {
        if (comment_->toPlainText() != draft_->comment())
            comment_->setPlainText(draft_->comment());
    });
    refresh();
}

QLayout* CaptureEditor::makeHeader() {
    auto* header = new QHBoxLayout;
    header->setSpacing(spacing);
    handle_ = new AnnotationDragHandle(this);
    handle_->setObjectName(QStringLiteral("annotationDragHandle"));
    handle_->setFixedHeight(headerHeight);
    handle_->onMove = [this](QSizeF translation, bool ended) {
        if (onMove)
            onMove(translation, ended);
    };
    auto* cancel = new CompactAction(
        QStringLiteral("Cancel capture (Esc)"), QStringLiteral("xmark"), [this] { call(onCancel); },
        this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    header->addWidget(handle_, 1, Qt::AlignVCenter);
    header->addWidget(cancel, 0, Qt::AlignVCenter);
    return header;
}

QWidget* CaptureEditor::makeCommentField() {
    auto* surface = new RoundedSurface(commentRadius, QColor::fromRgbF(1, 1, 1, 0.06f), this);
    surface->setFixedHeight(commentHeight);
    auto* surfaceLayout = new QVBoxLayout(surface);
    // Text and placeholder start 11 points in from the side and 6 from the top.
    surfaceLayout->setContentsMargins(11, 6, 11, 6);
    comment_ = new QPlainTextEdit(surface);
    comment_->setObjectName(QStringLiteral("commentField"));
    comment_->setFrameShape(QFrame::NoFrame);
    comment_->setFont(systemFont(12));
    comment_->document()->setDocumentMargin(0);
    comment_->setPlaceholderText(QStringLiteral("What should change?"));
    comment_->setAccessibleName(QStringLiteral("Annotation feedback"));
    comment_->setTabChangesFocus(true);
    comment_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    comment_->viewport()->setAutoFillBackground(false);
    comment_->setPlainText(draft_->comment());
    surfaceLayout->addWidget(comment_);
    connect(comment_, &QPlainTextEdit::textChanged, this,
            [this] { draft_->setComment(comment_->toPlainText()); });
    return surface;
}

QLayout* CaptureEditor::makeToolRow() {
    auto* tools = new QHBoxLayout;
    tools->setSpacing(spacing);
    auto* reselect = new CompactAction(
        QStringLiteral("Reselect region"), QStringLiteral("selection.pin.in.out"),
        [this] { call(onReselect); }, this);
    reselect->setObjectName(QStringLiteral("reselectButton"));
    tools->addWidget(reselect, 0, Qt::AlignVCenter);

    pen_ = new CaptureButtonStyle(false, this);
    pen_->setObjectName(QStringLiteral("penButton"));
    pen_->setSymbol(QStringLiteral("pencil.tip"));
    pen_->setToolTip(QStringLiteral("Draw inside the selected region"));
    pen_->setAccessibleName(QStringLiteral("Pen"));
    connect(pen_, &QAbstractButton::clicked, this, &CaptureEditor::togglePen);
    tools->addWidget(pen_, 0, Qt::AlignVCenter);

    undo_ = new CompactAction(
        QStringLiteral("Undo last pen stroke"), QStringLiteral("arrow.uturn.backward"),
        [this] { undo(); }, this);
    undo_->setObjectName(QStringLiteral("undoButton"));
    tools->addWidget(undo_, 0, Qt::AlignVCenter);
    tools->addStretch(1);

    auto* confirm = new CaptureButtonStyle(true, this);
    confirm->setObjectName(QStringLiteral("confirmButton"));
    confirm->setSymbol(QStringLiteral("checkmark"), SymbolWeight::bold);
    confirm->setToolTip(QStringLiteral("Confirm capture (Ctrl+Return)"));
    confirm->setAccessibleName(QStringLiteral("Confirm capture"));
    connect(confirm, &QAbstractButton::clicked, this, [this] { call(onConfirm); });
    tools->addWidget(confirm, 0, Qt::AlignVCenter);
    return tools;
}

bool CaptureEditor::commentFocused() const {
    return comment_->hasFocus() || (window() && window()->focusWidget() == comment_);
}

void CaptureEditor::setCommentFocused(bool focused) {
    if (focused) {
        comment_->setFocus(Qt::OtherFocusReason);
        comment_->moveCursor(QTextCursor::End);
    } else if (commentFocused()) {
        if (QWidget* host = parentWidget())
            host->setFocus(Qt::OtherFocusReason);
        else
            comment_->clearFocus();
    }
}

void CaptureEditor::refresh() {
    const bool pen = draft_->tool() == Tool::pen;
    pen_->setProminent(pen);
    pen_->setAccessibleValue(pen ? QStringLiteral("Selected") : QStringLiteral("Not selected"));
    undo_->setEnabled(!draft_->strokes().isEmpty());
}

void CaptureEditor::togglePen() {
    draft_->setTool(draft_->tool() == Tool::pen ? Tool::region : Tool::pen);
    setCommentFocused(false);
    call(draft_->onChange);
}

void CaptureEditor::undo() {
    draft_->removeLastStroke();
    call(draft_->onChange);
}

} // namespace tovik
