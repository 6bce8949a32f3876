#include "capture/ui/capture_canvas.h"

#include "capture/ui/capture_draft.h"
#include "export/capture_rendering.h"
#include "model/capture_geometry.h"
#include "ui/dark_scheme.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QUuid>

namespace tovik {
namespace {

const QString hintText = QStringLiteral("Drag a region to annotate  \u00B7  Esc to cancel");
constexpr qreal hintTop = 60;

double pixelsPerPoint(const DisplaySnapshot& snapshot) {
    const int width = snapshot.screen.geometry.width();
    return width > 0 ? double(snapshot.image.width()) / width : 1.0;
}

} // namespace

CaptureCanvas::CaptureCanvas(const DisplaySnapshot& snapshot, qint64 number, CaptureDraft* draft,
                             QWidget* parent)
    : QWidget(parent)
    , snapshot_(snapshot)
    , number_(number)
    , draft_(draft) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::ClickFocus);
    resize(snapshot.screen.geometry.size());
    connect(draft_, &CaptureDraft::selectionChanged, this, qOverload<>(&QWidget::update));
    connect(draft_, &CaptureDraft::strokesChanged, this, qOverload<>(&QWidget::update));
}

QRectF CaptureCanvas::bounds() const {
    return QRectF(QPointF(0, 0), QSizeF(size()));
}

std::optional<QRectF> CaptureCanvas::penArea() const {
    if (!draft_->selection())
        return std::nullopt;
    const auto inside = CaptureGeometry::clampRect(*draft_->selection(), bounds());
    if (!inside)
        return std::nullopt;
    return inside->adjusted(penInset, penInset, -penInset, -penInset);
}

QPointF CaptureCanvas::eventPoint(const QMouseEvent* event) const {
    return CaptureGeometry::clampPoint(event->position(), bounds());
}

void CaptureCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    if (onPress)
        onPress();
    setFocus(Qt::MouseFocusReason);
    const QPointF p = eventPoint(event);
    if (!draft_->selection()) {
        dragStart_ = p;
    } else if (draft_->tool() == Tool::pen) {
        const auto area = penArea();
        if (!area || !area->contains(p))
            return;
        liveStroke_ = PenStroke{{MarkPoint{p.x(), p.y()}}, penWidth};
    }
    update();
}

void CaptureCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    const QPointF p = eventPoint(event);
    if (dragStart_) {
        draft_->setSelection(CaptureGeometry::selectionRect(*dragStart_, p, bounds()));
    } else if (liveStroke_) {
        if (const auto area = penArea()) {
            const QPointF q = CaptureGeometry::clampPoint(p, *area);
            liveStroke_->points.append(MarkPoint{q.x(), q.y()});
        }
    }
    update();
}

void CaptureCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    if (dragStart_) {
        dragStart_.reset();
        const auto& selection = draft_->selection();
        if (selection && selection->width() >= minimumSelection &&
            selection->height() >= minimumSelection) {
            if (onSelection)
                onSelection();
        } else {
            draft_->setSelection(std::nullopt);
        }
    } else if (liveStroke_) {
        const PenStroke stroke = std::move(*liveStroke_);
        liveStroke_.reset();
        draft_->appendStroke(stroke);
    }
    update();
}

Annotation CaptureCanvas::previewAnnotation() const {
    const QRectF selection = draft_->selection().value_or(QRectF());
    QList<PenStroke> strokes = draft_->strokes();
    if (liveStroke_)
        strokes.append(*liveStroke_);
    return Annotation(QUuid::createUuid(), number_, QDateTime::currentDateTime(), draft_->comment(),
                      snapshot_.displayID, snapshot_.screen.name,
                      QSizeF(snapshot_.screen.geometry.size()), selection,
                      CaptureGeometry::clampRect(selection, bounds()).value_or(QRectF()),
                      pixelsPerPoint(snapshot_), std::move(strokes));
}

void CaptureCanvas::paintHint(QPainter& painter) const {
    const QFont font = systemFont(18, QFont::Medium);
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(hintText);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF((bounds().width() - width) * 0.5, hintTop, width, metrics.height()),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, hintText);
}

bool CaptureCanvas::event(QEvent* event) {
    // Qt queues a repaint of every child it shows. The canvas shows only with its window,
    // whose first expose paints it whole: that repaint would draw the full screen twice.
    if (event->type() == QEvent::UpdateLater)
        return true;
    return QWidget::event(event);
}

// No focus cue to draw; QWidget's default repaints the whole screen on each focus change.
void CaptureCanvas::focusInEvent(QFocusEvent*) {}
void CaptureCanvas::focusOutEvent(QFocusEvent*) {}

void CaptureCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Source and target rectangles rather than a device pixel ratio on the image: setting one
    // would copy the whole frozen image, and a 2× image onto a 2× screen is a plain blit.
    painter.drawImage(bounds(), snapshot_.image, QRectF(snapshot_.image.rect()));

    const QColor dim = QColor::fromRgbF(0, 0, 0, dimmingAlpha);
    const auto& selection = draft_->selection();
    if (!selection) {
        painter.fillRect(bounds(), dim);
        paintHint(painter);
        return;
    }
    QPainterPath dimming;
    dimming.setFillRule(Qt::OddEvenFill);
    dimming.addRect(bounds());
    dimming.addRect(*selection);
    painter.fillPath(dimming, dim);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen border(Qt::white, 1, Qt::CustomDashLine, Qt::FlatCap);
    border.setDashPattern({4, 4});
    border.setDashOffset(0);
    painter.setPen(border);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(selection->adjusted(0.5, 0.5, -0.5, -0.5));
    painter.restore();
    CaptureRendering::drawMarks(previewAnnotation(), painter);
}

} // namespace tovik
