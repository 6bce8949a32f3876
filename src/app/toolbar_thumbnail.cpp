#include "app/toolbar_thumbnail.h"

#include "ui/dark_scheme.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace tovik {
namespace {

constexpr qreal cornerRadius = 7;
constexpr int numberSpacing = 6;

} // namespace

// The fitted image on its dark rounded background; the view the copy control decorates.
class ToolbarThumbnail::Picture : public QWidget {
public:
    explicit Picture(QWidget* parent)
        : QWidget(parent) {
        setFixedSize(imageFrame);
    }

    void setImage(const QImage& image) {
        if (image.cacheKey() == sourceKey_)
            return;
        sourceKey_ = image.cacheKey();
        // Scaled once here rather than on every paint: captures can be screen-sized.
        const qreal ratio = devicePixelRatioF();
        QImage fitted = image.scaled(QSizeF(imageFrame * ratio).toSize(), Qt::KeepAspectRatio,
                                     Qt::SmoothTransformation);
        fitted.setDevicePixelRatio(ratio);
        fitted_ = QPixmap::fromImage(std::move(fitted));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        painter.fillPath(shape, QColor::fromRgbF(0, 0, 0, 0.25f));
        if (fitted_.isNull())
            return;
        painter.setClipPath(shape);
        const QSizeF size = fitted_.deviceIndependentSize();
        const QPointF origin((width() - size.width()) / 2, (height() - size.height()) / 2);
        painter.drawPixmap(origin, fitted_);
    }

private:
    qint64 sourceKey_ = 0;
    QPixmap fitted_;
};

ToolbarThumbnail::ToolbarThumbnail(QUuid id, ScreenshotCopySource source, QWidget* parent)
    : QWidget(parent)
    , id_(id)
    , picture_(new Picture(this))
    , number_(new QLabel(this))
    , copyActions_(new ScreenshotCopyActions(picture_, id, std::move(source))) {
    setObjectName(QStringLiteral("thumbnail"));
    picture_->setObjectName(QStringLiteral("thumbnailImage"));
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
