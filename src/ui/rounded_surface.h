#pragma once

#include <QColor>
#include <QWidget>

namespace tovik {

// A faint rounded surface that text fields and editors sit on; they draw no background.
class RoundedSurface : public QWidget {
    Q_OBJECT
public:
    RoundedSurface(qreal radius, QColor fill, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal radius_;
    QColor fill_;
};

} // namespace tovik
