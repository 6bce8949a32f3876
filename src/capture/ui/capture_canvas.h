#pragma once

#include "capture/display_snapshot.h"
#include "model/annotation.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <functional>
#include <optional>

namespace tovik {

class CaptureDraft;

// The view filling an overlay: the frozen display, dimmed outside the selection, the hint,
// the selection border and the live marks. Turns primary-button drags into a region and,
// with the pen, into strokes kept inside the region. Coordinates are display points.
class CaptureCanvas : public QWidget {
    Q_OBJECT
public:
    static constexpr double minimumSelection = 8;
    static constexpr double penInset = 2;
    static constexpr double penWidth = 3;
    static constexpr double dimmingAlpha = 0.42;

    CaptureCanvas(const DisplaySnapshot& snapshot, qint64 number, CaptureDraft* draft,
                  QWidget* parent = nullptr);

    const DisplaySnapshot& snapshot() const { return snapshot_; }
    qint64 number() const { return number_; }
    CaptureDraft* draft() const { return draft_; }
    const std::optional<QPointF>& dragStart() const { return dragStart_; }
    const std::optional<PenStroke>& liveStroke() const { return liveStroke_; }

    // (0, 0, display width, display height).
    QRectF bounds() const;
    // Where pen points may lie: the selection inside the bounds, inset on every side.
    std::optional<QRectF> penArea() const;

    // Called once a region drag ends with a region of acceptable size.
    std::function<void()> onSelection;
    // Called first on every primary-button press: the window takes the keyboard.
    std::function<void()> onPress;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointF eventPoint(const QMouseEvent* event) const;
    Annotation previewAnnotation() const;
    void paintHint(QPainter& painter) const;

    DisplaySnapshot snapshot_;
    qint64 number_;
    CaptureDraft* draft_;
    std::optional<QPointF> dragStart_;
    std::optional<PenStroke> liveStroke_;
};

} // namespace tovik
