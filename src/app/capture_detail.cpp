#include "app/capture_detail.h"

#include "app/fitted_image.h"
#include "app/store_copy_source.h"
#include "session/session_store.h"
#include "ui/compact_action.h"
#include "ui/dark_scheme.h"
#include "ui/rounded_surface.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace tovik {
namespace {

const QString commentTitle = QStringLiteral("Comment");
const QString removeTitle = QStringLiteral("Remove capture");

constexpr int padding = 16;
constexpr int spacing = 16;
constexpr int commentSpacing = 8;
constexpr qreal imageRadius = 10;
constexpr qreal editorRadius = 8;
constexpr int editorPadding = 8;

} // namespace

CaptureDetail::CaptureDetail(SessionStore& store, QWidget* parent)
    : QWidget(parent)
    , store_(store)
    , image_(new FittedImage(imageRadius, QColor::fromRgbF(0, 0, 0, 0.2f), this)) {
    setObjectName(QStringLiteral("captureDetail"));
    image_->setObjectName(QStringLiteral("detailImage"));
    image_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    auto* title = new QLabel(commentTitle, this);
    title->setFont(systemFont(12, QFont::Medium));
    QPalette palette = title->palette();
    palette.setColor(QPalette::WindowText, darkScheme::secondaryLabel());
    title->setPalette(palette);
    remove_ = new CompactAction(removeTitle, QStringLiteral("trash"), {}, this);
    remove_->setObjectName(QStringLiteral("removeCaptureButton"));
    connect(remove_, &QAbstractButton::clicked, this, [this] { store_.remove(id_); });

    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(title);
    titleRow->addStretch(1);
    titleRow->addWidget(remove_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(spacing);
    layout->addWidget(image_, 1);
    auto* comment = new QVBoxLayout;
    comment->setSpacing(commentSpacing);
    comment->addLayout(titleRow);
    comment->addWidget(buildCommentEditor());
    layout->addLayout(comment);
}

QWidget* CaptureDetail::buildCommentEditor() {
    auto* surface = new RoundedSurface(editorRadius, QColor::fromRgbF(1, 1, 1, 0.04f), this);
    surface->setFixedHeight(editorHeight);
    editor_ = new QPlainTextEdit(surface);
    editor_->setObjectName(QStringLiteral("commentEditor"));
    editor_->setAccessibleName(commentTitle);
    editor_->setFrameShape(QFrame::NoFrame);
    editor_->viewport()->setAutoFillBackground(false);
    editor_->setFont(systemFont(13));
    editor_->setTabChangesFocus(true);
    connect(editor_, &QPlainTextEdit::textChanged, this, &CaptureDetail::commentEdited);
    auto* layout = new QVBoxLayout(surface);
    layout->setContentsMargins(editorPadding, editorPadding, editorPadding, editorPadding);
    layout->addWidget(editor_);
    return surface;
}

void CaptureDetail::setItem(const CapturedItem& item) {
    image_->setImage(item.image);
    if (item.id() != id_) {
        id_ = item.id();
        // The copy control belongs to one capture; its chip goes with it.
        delete copyActions_.data();
        copyActions_ = new ScreenshotCopyActions(image_, id_, storeCopySource(store_));
    }
    if (editor_->toPlainText() != item.annotation.comment) {
        const QSignalBlocker quiet(editor_);
        editor_->setPlainText(item.annotation.comment);
        editor_->moveCursor(QTextCursor::End);
    }
    refresh();
}

void CaptureDetail::refresh() {
    // The store refuses edits while it exports; the editor must not pretend otherwise.
    const bool exporting = store_.exporting();
    editor_->setReadOnly(exporting);
    remove_->setEnabled(!exporting);
    if (copyActions_)
        copyActions_->refresh();
}

void CaptureDetail::commentEdited() {
    store_.updateComment(id_, editor_->toPlainText());
}

} // namespace tovik
