#pragma once

#include "ui/capture_button_style.h"

#include <functional>

namespace tovik {

// An icon-only plain button; its title is both the tooltip and the accessible name.
class CompactAction : public CaptureButtonStyle {
    Q_OBJECT
public:
    CompactAction(const QString& title, const QString& symbol, std::function<void()> action,
                  QWidget* parent = nullptr);

    QString title() const { return toolTip(); }
};

} // namespace tovik
