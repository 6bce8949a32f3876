#pragma once

#include <QWidget>

class QPainter;

namespace tovik {

// Space between a panel's widget edge and its painted rounded surface.
inline constexpr int panelChromeMargin = 4;

// Paints the dark rounded panel surface and its faint outline inside bounds, leaving
// panelChromeMargin free on every side.
void panelChrome(QPainter& painter, const QRectF& bounds);

// A container with the dark panel look; its layout lies inside the painted surface and
// everything in it uses the dark colour scheme.
class PanelChrome : public QWidget {
    Q_OBJECT
public:
    explicit PanelChrome(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tovik
