#include "app/feedback_prompt_sheet.h"

#include "session/session_store.h"
#include "ui/capture_button_style.h"
#include "ui/dark_scheme.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace tovik {
namespace {

const QString title = QStringLiteral("Feedback prompt");
const QString doneText = QStringLiteral("Done");
const QString copyPromptText = QStringLiteral("Copy prompt");

constexpr int padding = 24;
constexpr int spacing = 16;

} // namespace

FeedbackPromptSheet::FeedbackPromptSheet(SessionStore& store, QWidget* parent)
    : QDialog(parent)
    , store_(store)
    , text_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("feedbackPromptSheet"));
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setFixedSize(fixedSize);
    setPalette(darkScheme::palette());
    setAutoFillBackground(true);

    auto* heading = new QLabel(title, this);
    heading->setFont(systemFont(17, QFont::Bold));
    auto* done = new CaptureButtonStyle(false, this);
    done->setObjectName(QStringLiteral("doneButton"));
    done->setText(doneText);
    connect(done, &QAbstractButton::clicked, this, &QDialog::accept);
    auto* copy = new CaptureButtonStyle(true, this);
    copy->setObjectName(QStringLiteral("copyPromptButton"));
    copy->setText(copyPromptText);
    connect(copy, &QAbstractButton::clicked, &store_, &SessionStore::copyPrompt);

    text_->setObjectName(QStringLiteral("promptText"));
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setFrameShape(QFrame::NoFrame);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(13);
    text_->setFont(mono);

    auto* top = new QHBoxLayout;
    top->addWidget(heading);
    top->addStretch(1);
    top->addWidget(done);
    top->addWidget(copy);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(spacing);
    layout->addLayout(top);
    layout->addWidget(text_, 1);

    connect(&store_, &SessionStore::itemsChanged, this, &FeedbackPromptSheet::refresh);
    refresh();
}

void FeedbackPromptSheet::refresh() {
    const QString prompt = store_.prompt();
    if (text_->toPlainText() != prompt)
        text_->setPlainText(prompt);
}

} // namespace tovik
