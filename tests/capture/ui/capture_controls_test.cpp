#include "ui/capture_button_style.h"
#include "ui/compact_action.h"
#include "ui/panel_chrome.h"
#include "ui/symbols.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QEnterEvent>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace tovik {
namespace {

// A button on a black backdrop, so a surface pixel tells its colour times its opacity.
struct Backdrop {
    QWidget widget;
    explicit Backdrop(CaptureButtonStyle* button) {
        QPalette palette;
        palette.setColor(QPalette::Window, Qt::black);
        widget.setPalette(palette);
        widget.setAutoFillBackground(true);
        button->setParent(&widget);
        button->setText(QStringLiteral("Paste"));
        button->resize(button->sizeHint());
        widget.resize(button->size());
    }
    // A pixel of the surface away from the label: inside the left padding.
    QColor surfacePixel() {
        const QImage image = widget.grab().toImage();
        return image.pixelColor(4, image.height() / 2);
    }
};

void hover(QWidget* widget, bool inside) {
    if (inside) {
        QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), QPointF(4, 4));
        QCoreApplication::sendEvent(widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(widget, &leave);
    }
}

TEST(CaptureButtonStyle, plainSurface_followsHoverAndDisabledOpacity) {
    auto* button = new CaptureButtonStyle(false);
    Backdrop backdrop(button);
    // white at 0.06, hovered 0.12, over black; the whole button at 0.35 when disabled
    EXPECT_NEAR(backdrop.surfacePixel().red(), 255 * 0.06, 2);
    hover(button, true);
    EXPECT_TRUE(button->hovered());
    EXPECT_NEAR(backdrop.surfacePixel().red(), 255 * 0.12, 2);
    button->setEnabled(false);
    EXPECT_NEAR(backdrop.surfacePixel().red(), 255 * 0.12 * 0.35, 2);
    hover(button, false);
    EXPECT_FALSE(button->hovered());
    EXPECT_NEAR(backdrop.surfacePixel().red(), 255 * 0.06 * 0.35, 2);
}

TEST(CaptureButtonStyle, prominentSurface_staysOrangeOnHoverAndDimsWhilePressed) {
    auto* button = new CaptureButtonStyle(true);
    Backdrop backdrop(button);
    const QColor orange = backdrop.surfacePixel();
    EXPECT_GT(orange.red(), 240);
    EXPECT_GT(orange.green(), 100);
    EXPECT_LT(orange.blue(), 40);
    EXPECT_EQ(button->foregroundColor(), QColor(Qt::black));

    hover(button, true);
    EXPECT_EQ(backdrop.surfacePixel(), orange);
    EXPECT_EQ(button->foregroundColor(), QColor(Qt::black));

    button->setDown(true);
    const QColor pressed = backdrop.surfacePixel();
    EXPECT_NEAR(pressed.red(), orange.red() * 0.65, 2);
    EXPECT_NEAR(pressed.green(), orange.green() * 0.65, 2);
}

TEST(CaptureButtonStyle, size_padsLabelByTenAndIsAtLeastThirtyHigh) {
    CaptureButtonStyle symbolOnly;
    symbolOnly.setSymbol(QStringLiteral("checkmark"));
    EXPECT_EQ(symbolOnly.sizeHint(), QSize(32, 30));

    CaptureButtonStyle labelled;
    labelled.setText(QStringLiteral("Capture"));
    const int withoutSymbol = labelled.sizeHint().width();
    labelled.setSymbol(QStringLiteral("plus"));
    EXPECT_GT(labelled.sizeHint().width(), withoutSymbol + 12);
    EXPECT_EQ(labelled.sizeHint().height(), 30);
}

TEST(CaptureButtonStyle, hitArea_excludesRoundedCorners) {
    CaptureButtonStyle button;
    button.setText(QStringLiteral("Paste"));
    button.resize(button.sizeHint());
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(clicked.count(), 0);
    QTest::mouseClick(&button, Qt::LeftButton, {}, button.rect().center());
    EXPECT_EQ(clicked.count(), 1);
}

TEST(CompactAction, showsOnlyItsSymbol_titleIsTooltipAndAccessibleName) {
    int calls = 0;
    CompactAction undo(QStringLiteral("Undo last pen stroke"),
                       QStringLiteral("arrow.uturn.backward"), [&] { ++calls; });
    EXPECT_TRUE(undo.text().isEmpty());
    EXPECT_FALSE(undo.prominent());
    EXPECT_EQ(undo.sizeHint(), QSize(32, 30));
    EXPECT_EQ(undo.toolTip(), QStringLiteral("Undo last pen stroke"));

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&undo);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Button);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Undo last pen stroke"));

    undo.resize(undo.sizeHint());
    QTest::mouseClick(&undo, Qt::LeftButton, {}, undo.rect().center());
    ASSERT_NE(accessible->actionInterface(), nullptr);
    accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(calls, 2);
}

TEST(Symbols, everyNamedSymbolDrawsAndUnknownNamesDrawNothing) {
    const auto inked = [](QStringView name) {
        QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        paintSymbol(painter, QRectF(0, 0, 24, 24), name, Qt::white);
        painter.end();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += qAlpha(image.pixel(x, y)) > 128;
        return count;
    };
    for (const char16_t* name :
         {u"xmark", u"checkmark", u"plus", u"line.3.horizontal", u"chevron.up", u"chevron.down",
          u"arrow.uturn.backward", u"pencil.tip", u"selection.pin.in.out", u"doc.on.doc",
          u"doc.on.clipboard", u"viewfinder", u"arrow.up.right.square", u"slider.horizontal.3",
          u"stop.fill", u"gearshape", u"trash", u"ellipsis"}) {
        EXPECT_TRUE(hasSymbol(name)) << QString::fromUtf16(name).toStdString();
        EXPECT_GT(inked(name), 10) << QString::fromUtf16(name).toStdString();
    }
    EXPECT_FALSE(hasSymbol(u"no.such.symbol"));
    EXPECT_EQ(inked(u"no.such.symbol"), 0);
}

TEST(PanelChrome, paintsDarkRoundedSurfaceInsideFourPointMargin) {
    QImage image(120, 80, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    panelChrome(painter, QRectF(0, 0, 120, 80));
    painter.end();
    EXPECT_EQ(qAlpha(image.pixel(2, 40)), 0); // the margin
    EXPECT_EQ(qAlpha(image.pixel(6, 6)), 0);  // cut by the 18-point corner
    const QColor inside = image.pixelColor(60, 40);
    EXPECT_EQ(inside.alpha(), 255);
    EXPECT_NEAR(inside.red(), 255 * 0.08, 1);
    // The outline brightens the surface at its edge.
    EXPECT_GT(image.pixelColor(60, 4).red(), inside.red());
}

} // namespace
} // namespace tovik
