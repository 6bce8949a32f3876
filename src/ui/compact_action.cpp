#include "ui/compact_action.h"

namespace tovik {

CompactAction::CompactAction(const QString& title, const QString& symbol,
                             std::function<void()> action, QWidget* parent)
    : CaptureButtonStyle(false, parent) {
    setSymbol(symbol);
    setToolTip(title);
    setAccessibleName(title);
    if (action)
        connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
}

} // namespace tovik
