#include "app/number_badge.h"

#include "ui/dark_scheme.h"

#include <QFontMetrics>
#include <QPainter>

namespace tovik {
namespace {

constexpr int horizontalPadding = 8;
constexpr int verticalPadding = 3;
constexpr int leastWidth = 26;

} // namespace

NumberBadge::NumberBadge(QWidget* parent)
    : QWidget(parent) {
    setFont(systemFont(12, QFont::Bold));
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void NumberBadge::setNumber(qint64 number) {
    if (number_ == number)
        return;
    number_ = number;
    resize(sizeHint());
    update();
}

QSize NumberBadge::sizeHint() const {
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(QString::number(number_));
    return {std::max(leastWidth, textWidth + 2 * horizontalPadding),
            metrics.height() + 2 * verticalPadding};
}

void NumberBadge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    const qreal radius = bounds.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(darkScheme::orange());
    painter.drawRoundedRect(bounds, radius, radius);
    painter.setPen(Qt::white);
    painter.drawText(bounds, Qt::AlignCenter, QString::number(number_));
}

} // namespace tovik
