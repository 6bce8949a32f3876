#include "app/fitted_image.h"

#include <QPainter>
#include <QPainterPath>

namespace tovik {

FittedImage::FittedImage(qreal cornerRadius, QColor background, QWidget* parent)
    : QWidget(parent)
    , cornerRadius_(cornerRadius)
    , background_(background) {}

void FittedImage::setImage(const QImage& image) {
    if (image.cacheKey() == image_.cacheKey())
        return;
    image_ = image;
    rescale();
}

void FittedImage::resizeEvent(QResizeEvent*) {
    rescale();
}

void FittedImage::rescale() {
    const qreal ratio = devicePixelRatioF();
    const QSize target = (QSizeF(size()) * ratio).toSize();
    if (image_.isNull() || target.isEmpty()) {
        fitted_ = QPixmap();
    } else {
        QImage fitted = image_.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        fitted.setDevicePixelRatio(ratio);
        fitted_ = QPixmap::fromImage(std::move(fitted));
    }
    update();
}

QRectF FittedImage::imageRect() const {
    if (fitted_.isNull())
        return {};
    const QSizeF size = fitted_.deviceIndependentSize();
    return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void FittedImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), cornerRadius_, cornerRadius_);
    painter.fillPath(shape, background_);
    if (fitted_.isNull())
        return;
    painter.setClipPath(shape);
    painter.drawPixmap(imageRect().topLeft(), fitted_);
}

} // namespace tovik
