#include "ui/dark_scheme.h"

#include <QApplication>

namespace tovik {
namespace darkScheme {

QColor primaryLabel() {
    return QColor::fromRgbF(1, 1, 1, 0.85f);
}

QColor secondaryLabel() {
    return QColor::fromRgbF(1, 1, 1, 0.55f);
}

QColor tertiaryLabel() {
    return QColor::fromRgbF(1, 1, 1, 0.25f);
}

QColor orange() {
    return QColor(255, 159, 10);
}

QPalette palette() {
    QPalette p;
    const QColor background = QColor::fromRgbF(0.08f, 0.08f, 0.08f);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Window, background);
        p.setColor(group, QPalette::Base, Qt::transparent);
        p.setColor(group, QPalette::Button, background);
        p.setColor(group, QPalette::WindowText, primaryLabel());
        p.setColor(group, QPalette::Text, primaryLabel());
        p.setColor(group, QPalette::ButtonText, primaryLabel());
        p.setColor(group, QPalette::PlaceholderText, tertiaryLabel());
        p.setColor(group, QPalette::Highlight, orange());
        p.setColor(group, QPalette::HighlightedText, Qt::black);
        p.setColor(group, QPalette::ToolTipBase, background);
        p.setColor(group, QPalette::ToolTipText, primaryLabel());
    }
    return p;
}

} // namespace darkScheme

QFont systemFont(qreal points, QFont::Weight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(qRound(points));
    font.setWeight(weight);
    return font;
}

} // namespace tovik
