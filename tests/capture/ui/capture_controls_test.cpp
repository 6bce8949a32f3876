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
    CompactAction undo(QStringLiteral("Undo"), QStringLiteral("trash"), [&] { ++calls; });
    EXPECT_TRUE(undo.text().isEmpty() && undo.toolTip() == QStringLiteral("Undo"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&undo);
    ASSERT_TRUE(accessible && accessible->actionInterface());
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Undo"));
    accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(calls, 1);
}

// Pixels of a symbol drawn in a square of `side` that are more than half covered.
qsizetype inkOf(QStringView name, int side, QColor color = Qt::white, QImage* drawn = nullptr) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintSymbol(painter, QRectF(0, 0, side, side), name, color);
    painter.end();
    if (drawn)
        *drawn = image;
    qsizetype ink = 0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x)
            ink += qAlpha(image.pixel(x, y)) > 128;
    }
    return ink;
}

TEST(Symbols, everySymbolTheViewsNameDrawsInTheAskedColourAtAnySize_unknownOnesNothing) {
    for (const char16_t* name :
         {u"xmark", u"checkmark", u"plus", u"line.3.horizontal", u"chevron.up", u"chevron.down",
          u"arrow.uturn.backward", u"pencil.tip", u"selection.pin.in.out", u"doc.on.doc",
          u"doc.on.clipboard", u"viewfinder", u"arrow.up.right.square", u"slider.horizontal.3",
          u"stop.fill", u"gearshape", u"trash", u"ellipsis"}) {
        const QString text = QString::fromUtf16(name);
        EXPECT_TRUE(hasSymbol(name)) << text.toStdString();
        const qsizetype small = inkOf(name, 24), large = inkOf(name, 96);
        EXPECT_GT(small, 10) << text.toStdString();
        // Four times the side: more than four times the ink (lines and areas both grow).
        EXPECT_GT(large, small * 4) << text.toStdString();
    }
    EXPECT_FALSE(hasSymbol(u"no.such.symbol"));
    EXPECT_EQ(inkOf(u"no.such.symbol", 24), 0);

    QImage drawn;
    const QColor blue(0x20, 0x80, 0xff);
    inkOf(u"stop.fill", 48, blue, &drawn);
    EXPECT_EQ(drawn.pixelColor(24, 24), blue);
    inkOf(u"stop.fill", 48, QColor(0x20, 0x80, 0xff, 128), &drawn);
    EXPECT_NEAR(drawn.pixelColor(24, 24).alpha(), 128, 2); // the colour's alpha as opacity
}

} // namespace
} // namespace tovik
