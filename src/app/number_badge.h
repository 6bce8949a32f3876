#pragma once

#include <QWidget>

namespace tovik {

// A capture's number, white on an orange capsule, laid over its thumbnail.
class NumberBadge : public QWidget {
    Q_OBJECT
public:
    explicit NumberBadge(QWidget* parent = nullptr);

    qint64 number() const { return number_; }
    void setNumber(qint64 number);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qint64 number_ = 0;
};

} // namespace tovik
