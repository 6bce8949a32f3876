#include "export/ui/copy_chip.h"
#include "export/ui/screenshot_copy_actions.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QMenu>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace tovik {
namespace {

QCoro::Task<bool> answer(QList<QUuid>& copies, QUuid id, bool succeeded) {
    copies.append(id);
    co_return succeeded;
}

using State = ScreenshotCopyActions::State;

class CopyActionsTest : public ::testing::Test {
protected:
    // Stands in for the session store.
    bool exporting = false, succeeds = true;
    QString error;
    QList<QUuid> copies;
    QWidget view;
    QUuid id = QUuid::createUuid();
    ScreenshotCopyActions* actions =
        new ScreenshotCopyActions(&view, id,
                                  {[this] { return exporting; }, [this] { return error; },
                                   [this](QUuid id) { return answer(copies, id, succeeds); }});

    CopyActionsTest() {
        view.resize(240, 160);
        view.show();
    }

    CopyChip* chip() { return view.findChild<CopyChip*>(QStringLiteral("copyChip")); }

    void hover(bool inside) {
        QEnterEvent enter(QPointF(50, 50), QPointF(50, 50), QPointF(50, 50));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&view, inside ? static_cast<QEvent*>(&enter) : &leave);
    }

    // Opens the view's context menu and returns its only item.
    QAction* menuItem() {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                                view.mapToGlobal(QPoint(20, 20)));
        QCoreApplication::sendEvent(&view, &event);
        // The newest: an earlier one stays open until it is closed.
        const auto menus = view.findChildren<QMenu*>(QStringLiteral("screenshotCopyMenu"));
        QMenu* menu = menus.isEmpty() ? nullptr : menus.last();
        return menu && menu->actions().size() == 1 ? menu->actions().first() : nullptr;
    }
};

// The chip shows while hovering or while an outcome shows, in the top right corner; the
// outcome clears on leave. While exporting, chip, menu and accessible action do nothing.
TEST_F(CopyActionsTest, chipWhileHoveringOrAnOutcomeShows_everyWayToCopyWaitsForTheExport) {
    ASSERT_NE(chip(), nullptr);
    EXPECT_FALSE(chip()->isVisible()) << "hidden: no clicks, no accessibility";
    hover(true);
    EXPECT_TRUE(chip()->isVisible());
    view.resize(300, 160);
    EXPECT_EQ(chip()->geometry().topRight(), QPoint(300 - 1 - 7, 7));
    QTest::mouseClick(chip(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(copies, QList<QUuid>{id});
    EXPECT_EQ(chip()->text(), QStringLiteral("Copied"));
    hover(false);
    EXPECT_FALSE(chip()->isVisible());
    EXPECT_EQ(actions->state(), State::idle);

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
    ASSERT_TRUE(accessible && accessible->actionInterface());
    exporting = true;
    actions->refresh();
    hover(true);
    EXPECT_FALSE(chip()->isEnabled());
    QAction* item = menuItem();
    EXPECT_TRUE(item && !item->isEnabled());
    accessible->actionInterface()->doAction(QStringLiteral("Copy screenshot"));
    QCoreApplication::processEvents();
    EXPECT_EQ(copies.size(), 1);
    exporting = false;
    actions->refresh();
    EXPECT_TRUE(chip()->isEnabled());
    hover(false);
    accessible->actionInterface()->doAction(QStringLiteral("Copy screenshot"));
    QCoreApplication::processEvents();
    EXPECT_EQ(copies.size(), 2);

    succeeds = false; // from the menu: the outcome shows without hovering
    error = QStringLiteral("The capture no longer exists.");
    hover(false);
    menuItem()->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(chip()->isVisible());
    EXPECT_EQ(actions->state(), State::failed);
    EXPECT_EQ(chip()->toolTip(), error);
    delete actions;
    EXPECT_EQ(view.findChild<CopyChip*>(), nullptr) << "the chip goes with its control";
}

} // namespace
} // namespace tovik
