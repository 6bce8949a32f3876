#pragma once

#include "ui/symbols.h"

#include <QAbstractButton>
#include <QColor>
#include <QSizeF>

namespace tovik {

// The button of the capture panel, the toolbar and the session window: an optional symbol
// and an optional text on a rounded surface, orange when prominent, a faint white otherwise.
class CaptureButtonStyle : public QAbstractButton {
    Q_OBJECT
public:
    explicit CaptureButtonStyle(bool prominent = false, QWidget* parent = nullptr);

    bool prominent() const { return prominent_; }
    void setProminent(bool prominent);

    // The symbol drawn before the text (or after it when trailing) in a frame of its own.
    void setSymbol(const QString& name, SymbolWeight weight = SymbolWeight::regular);
    QString symbol() const { return symbol_; }
    void setSymbolFrame(QSizeF frame);
    void setSymbolTrailing(bool trailing);

    // Text read by assistive technology as the button's current value ("Selected", ...).
    void setAccessibleValue(const QString& value);
    QString accessibleValue() const { return accessibleValue_; }

    bool hovered() const { return hovered_; }
    // What the surface looks like in the current state.
    qreal surfaceOpacity() const;
    QColor backgroundColor() const;
    QColor foregroundColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QSizeF contentSize() const;

    bool prominent_;
    bool hovered_ = false;
    bool symbolTrailing_ = false;
    QString symbol_;
    SymbolWeight symbolWeight_ = SymbolWeight::regular;
    QSizeF symbolFrame_{12, 12};
    QString accessibleValue_;
};

} // namespace tovik
