#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

namespace tovik {

// The dark colour scheme of the capture panel, the toolbar and their buttons.
namespace darkScheme {

QColor primaryLabel();
QColor secondaryLabel();
QColor tertiaryLabel();
// The accent of prominent buttons (not the mark colour of the captures).
QColor orange();
// Text and control colours for everything inside a dark panel.
QPalette palette();

} // namespace darkScheme

// The application's font at a size in points (device-independent pixels) and a weight.
QFont systemFont(qreal points, QFont::Weight weight = QFont::Normal);

} // namespace tovik
