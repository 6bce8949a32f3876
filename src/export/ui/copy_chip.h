#pragma once

#include <QAbstractButton>

namespace tovik {

// The small dark label button of the copy control: a symbol and a text in white.
class CopyChip : public QAbstractButton {
    Q_OBJECT
public:
    explicit CopyChip(QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    void setSymbol(const QString& symbol);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
};

} // namespace tovik
