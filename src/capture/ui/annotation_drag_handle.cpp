#include "capture/ui/annotation_drag_handle.h"

#include "ui/dark_scheme.h"
#include "ui/symbols.h"

#include <QMouseEvent>
#include <QPainter>

namespace tovik {
namespace {

constexpr qreal symbolSide = 14;

} // namespace

AnnotationDragHandle::AnnotationDragHandle(QWidget* parent)
    : QWidget(parent) {
    setCursor(Qt::OpenHandCursor);
    setToolTip(QStringLiteral("Drag to move the annotation panel"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize AnnotationDragHandle::sizeHint() const {
    return QSize(30, 30);
}

void AnnotationDragHandle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPointF centre = QRectF(rect()).center();
    paintSymbol(
        painter,
        QRectF(centre.x() - symbolSide / 2, centre.y() - symbolSide / 2, symbolSide, symbolSide),
        u"line.3.horizontal", darkScheme::tertiaryLabel());
}

QSizeF AnnotationDragHandle::translation(const QMouseEvent* event) const {
    const QPointF delta = event->scenePosition() - *start_;
    return {delta.x(), delta.y()};
}

void AnnotationDragHandle::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    start_ = event->scenePosition();
}

void AnnotationDragHandle::mouseMoveEvent(QMouseEvent* event) {
    if (!start_)
        return;
    if (onMove)
        onMove(translation(event), false);
}

void AnnotationDragHandle::mouseReleaseEvent(QMouseEvent* event) {
    if (!start_ || event->button() != Qt::LeftButton)
        return;
    const QSizeF moved = translation(event);
    start_.reset();
    if (onMove)
        onMove(moved, true);
}

} // namespace tovik
