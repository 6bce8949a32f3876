#include "app/capture_row.h"

#include "app/fitted_image.h"
#include "app/number_badge.h"
#include "ui/dark_scheme.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace tovik {
namespace {

constexpr int padding = 10;
constexpr int spacing = 10;
constexpr qreal rowRadius = 11;
constexpr qreal thumbnailRadius = 7;
constexpr int badgeInset = 7;
constexpr int summaryLines = 3;

QColor withAlpha(QColor color, float alpha) {
    color.setAlphaF(alpha);
    return color;
}

} // namespace

CaptureRow::CaptureRow(QUuid id, ScreenshotCopySource source, QWidget* parent)
    : QAbstractButton(parent)
    , id_(id)
    , thumbnail_(new FittedImage(thumbnailRadius, QColor::fromRgbF(0, 0, 0, 0.2f), this))
    , badge_(new NumberBadge(thumbnail_))
    , summary_(new QLabel(this))
    , copyActions_(new ScreenshotCopyActions(thumbnail_, id, std::move(source))) {
    setObjectName(QStringLiteral("captureRow"));
    thumbnail_->setObjectName(QStringLiteral("rowThumbnail"));
    thumbnail_->setFixedHeight(thumbnailHeight);
    badge_->move(badgeInset, badgeInset);
    summary_->setObjectName(QStringLiteral("rowSummary"));
    summary_->setFont(systemFont(11));
    summary_->setWordWrap(true);
    summary_->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    summary_->setMaximumHeight(summary_->fontMetrics().lineSpacing() * summaryLines);
    summary_->setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(spacing);
    layout->addWidget(thumbnail_);
    layout->addWidget(summary_);
}

void CaptureRow::setItem(const CapturedItem& item) {
    thumbnail_->setImage(item.image);
    badge_->setNumber(item.annotation.number);
    const QString summary = item.annotation.instruction();
    summary_->setText(summary);
    setAccessibleName(
        QStringLiteral("Capture %1: %2").arg(QString::number(item.annotation.number), summary));
}

void CaptureRow::setSelected(bool selected) {
    if (selected_ == selected)
        return;
    selected_ = selected;
    update();
}

void CaptureRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor base = selected_ ? darkScheme::orange() : QColor(Qt::white);
    painter.setBrush(withAlpha(base, selected_ ? 0.12f : 0.035f));
    painter.setPen(QPen(withAlpha(base, selected_ ? 0.7f : 0.08f), 1));
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.drawRoundedRect(bounds, rowRadius, rowRadius);
}

} // namespace tovik
