#include "ui/capture_button_style.h"
#include "ui/compact_action.h"
#include "ui/symbols.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QEnterEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace tovik {
namespace {

// A pixel of a "Paste" button's surface left of its label, drawn over black, so it tells the
// surface colour times its opacity.
QColor surfacePixel(CaptureButtonStyle& button) {
    button.setText(QStringLiteral("Paste"));
    button.resize(button.sizeHint());
    QImage image(button.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    button.render(&painter, {}, {}, QWidget::DrawChildren);
    painter.end();
    return image.pixelColor(4, image.height() / 2);
}

void hover(QWidget& widget, bool inside) {
    QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), QPointF(4, 4));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&widget, inside ? static_cast<QEvent*>(&enter) : &leave);
}

TEST(CaptureButtonStyle, surfaces_followHoverPressedAndDisabled_cornersDontHit) {
    CaptureButtonStyle button(false);
    // white at 0.06, hovered 0.12, over black; the whole button at 0.35 when disabled
    EXPECT_NEAR(surfacePixel(button).red(), 255 * 0.06, 2);
    EXPECT_EQ(button.height(), 30);
    hover(button, true);
    EXPECT_NEAR(surfacePixel(button).red(), 255 * 0.12, 2);
    button.setEnabled(false);
    EXPECT_NEAR(surfacePixel(button).red(), 255 * 0.12 * 0.35, 2);
    hover(button, false);
    EXPECT_NEAR(surfacePixel(button).red(), 255 * 0.06 * 0.35, 2);

    CaptureButtonStyle prominent(true);
    const QColor orange = surfacePixel(prominent);
    EXPECT_GT(orange.red(), 240);
    EXPECT_GT(orange.green(), 100);
    EXPECT_LT(orange.blue(), 40);
    hover(prominent, true);
    EXPECT_EQ(surfacePixel(prominent), orange);
    EXPECT_EQ(prominent.foregroundColor(), QColor(Qt::black));
    prominent.setDown(true);
    EXPECT_NEAR(surfacePixel(prominent).red(), orange.red() * 0.65, 2);
    prominent.setDown(false);

    QSignalSpy clicked(&prominent, &QAbstractButton::clicked);
    QTest::mouseClick(&prominent, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(clicked.count(), 0);
    QTest::mouseClick(&prominent, Qt::LeftButton, {}, prominent.rect().center());
    EXPECT_EQ(clicked.count(), 1);
}

TEST(CompactAction, showsOnlyItsSymbol_titleIsTooltipAndAccessibleName) {
    int calls = 0;
    CompactAction undo(QStringLiteral("Undo last pen stroke"),
                       QStringLiteral("arrow.uturn.backward"), [&] { ++calls; });
    EXPECT_TRUE(undo.text().isEmpty());
    EXPECT_EQ(undo.sizeHint(), QSize(32, 30));
    EXPECT_EQ(undo.toolTip(), QStringLiteral("Undo last pen stroke"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&undo);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Undo last pen stroke"));
    ASSERT_NE(accessible->actionInterface(), nullptr);
    accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(calls, 1);
}

TEST(Symbols, knownNamesDrawAndUnknownOnesDrawNothing) {
    for (const auto& [name, known] : {std::pair{u"pencil.tip", true},
                                      {u"doc.on.clipboard", true},
                                      {u"no.such.symbol", false}}) {
        QImage symbol(24, 24, QImage::Format_Alpha8);
        symbol.fill(Qt::transparent);
        QPainter painter(&symbol);
        paintSymbol(painter, QRectF(0, 0, 24, 24), name, Qt::white);
        painter.end();
        const auto inked = std::count_if(symbol.constBits(), symbol.constBits() + 24 * 24,
                                         [](uchar alpha) { return alpha > 128; });
        EXPECT_EQ(inked > 10, known) << QString::fromUtf16(name).toStdString();
        EXPECT_EQ(inked == 0, !known) << QString::fromUtf16(name).toStdString();
    }
}

} // namespace
} // namespace tovik
