#include "app/toolbar_thumbnail.h"

#include "app/fitted_image.h"
#include "ui/dark_scheme.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tovik {
namespace {

constexpr qreal cornerRadius = 7;
constexpr int numberSpacing = 6;

} // namespace

ToolbarThumbnail::ToolbarThumbnail(QUuid id, ScreenshotCopySource source, QWidget* parent)
    : QWidget(parent)
    , id_(id)
    , picture_(new FittedImage(cornerRadius, QColor::fromRgbF(0, 0, 0, 0.25f), this))
    , number_(new QLabel(this))
    , copyActions_(new ScreenshotCopyActions(picture_, id, std::move(source))) {
    setObjectName(QStringLiteral("thumbnail"));
    picture_->setObjectName(QStringLiteral("thumbnailImage"));
    picture_->setFixedSize(imageFrame);
    number_->setObjectName(QStringLiteral("thumbnailNumber"));
    number_->setFont(systemFont(10));
    QPalette palette = number_->palette();
    palette.setColor(QPalette::WindowText, darkScheme::secondaryLabel());
    number_->setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(numberSpacing);
    layout->addWidget(picture_, 0, Qt::AlignLeft);
    layout->addWidget(number_, 0, Qt::AlignLeft);
}

void ToolbarThumbnail::setItem(const CapturedItem& item) {
    picture_->setImage(item.image);
    number_->setText(QStringLiteral("#%1").arg(item.annotation.number));
    const QString summary = item.annotation.instruction();
    setToolTip(summary);
    setAccessibleName(
        QStringLiteral("Screenshot %1: %2").arg(QString::number(item.annotation.number), summary));
}

} // namespace tovik
