#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace tovik {

// A capture's image fitted into the widget, centred on a dark rounded background. The
// scaled copy is made only when the image or the size changes: captures can be screen-sized.
class FittedImage : public QWidget {
    Q_OBJECT
public:
    FittedImage(qreal cornerRadius, QColor background, QWidget* parent = nullptr);

    void setImage(const QImage& image);
    // Where the fitted image lies inside the widget; empty without an image.
    QRectF imageRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rescale();

    qreal cornerRadius_;
    QColor background_;
    QImage image_;
    QPixmap fitted_;
};

} // namespace tovik
