#include "ui/capture_button_style.h"
#include "ui/compact_action.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace tovik {
namespace {

TEST(CaptureButtonStyle, roundedCornersDontHit) {
    CaptureButtonStyle button(true);
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
    CompactAction undo(QStringLiteral("Undo"), QStringLiteral("trash"), [&] { ++calls; });
    EXPECT_TRUE(undo.text().isEmpty() && undo.toolTip() == QStringLiteral("Undo"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&undo);
    ASSERT_TRUE(accessible && accessible->actionInterface());
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Undo"));
    accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace tovik
