#pragma once

#include <QPointF>
#include <QSizeF>
#include <QWidget>

#include <functional>
#include <optional>

namespace tovik {

// The grip of the annotation panel. A drag reports its translation from where it began, in
// window coordinates, so the moving panel does not change the reference point.
class AnnotationDragHandle : public QWidget {
    Q_OBJECT
public:
    explicit AnnotationDragHandle(QWidget* parent = nullptr);

    std::function<void(QSizeF translation, bool ended)> onMove;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QSizeF translation(const QMouseEvent* event) const;

    std::optional<QPointF> start_;
};

} // namespace tovik
