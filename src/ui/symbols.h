#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>
#include <QStringView>

class QPainter;

namespace tovik {

// Stroke weight of a drawn symbol.
enum class SymbolWeight { regular, semibold, bold };

// The project's own line symbols, SVG files in the resource (src/ui/symbols/), so that no
// icon theme is needed. Names follow the symbols the views ask for ("xmark", "pencil.tip",
// "doc.on.doc", ...).
bool hasSymbol(QStringView name);

// Draws the symbol centred in frame, scaled to the frame's smaller side, in color (its alpha
// as opacity); an unknown name draws nothing.
void paintSymbol(QPainter& painter, const QRectF& frame, QStringView name, const QColor& color,
                 SymbolWeight weight = SymbolWeight::regular);

// The symbol as an icon for menus and the tray.
QIcon symbolIcon(QStringView name, const QColor& color);

} // namespace tovik
