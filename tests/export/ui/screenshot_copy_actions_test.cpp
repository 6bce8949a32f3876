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

QCoro::Task<bool> answer(bool succeeded) {
    co_return succeeded;
}

// Stands in for the session store.
struct FakeStore {
    bool exporting = false;
    QString error;
    bool succeeds = true;
    QList<QUuid> copies;

    ScreenshotCopySource source() {
        return {[this] { return exporting; }, [this] { return error; },
                [this](QUuid id) {
                    copies.append(id);
                    return answer(succeeds);
                }};
    }
};

class CopyActionsTest : public ::testing::Test {
protected:
    FakeStore store;
    QWidget view;
    QUuid id = QUuid::createUuid();
    ScreenshotCopyActions* actions = nullptr;

    void SetUp() override {
        view.resize(240, 160);
        actions = new ScreenshotCopyActions(&view, id, store.source());
    }

    CopyChip* chip() { return view.findChild<CopyChip*>(QStringLiteral("copyChip")); }

    void hover(bool inside) {
        if (inside) {
            QEnterEvent enter(QPointF(50, 50), QPointF(50, 50), QPointF(50, 50));
            QCoreApplication::sendEvent(&view, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(&view, &leave);
        }
    }

    // Opens the view's context menu and returns its only item.
    QAction* menuItem() {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                                view.mapToGlobal(QPoint(20, 20)));
        QCoreApplication::sendEvent(&view, &event);
        auto* menu = view.findChild<QMenu*>(QStringLiteral("screenshotCopyMenu"));
        if (!menu || menu->actions().size() != 1)
            return nullptr;
        return menu->actions().first();
    }

    void closeMenus() {
        for (QMenu* menu : view.findChildren<QMenu*>())
            delete menu;
    }

    void settle() { QCoreApplication::processEvents(); }
};

TEST_F(CopyActionsTest, chip_showsOnlyWhileHovering_inTheTopRightCorner) {
    ASSERT_NE(chip(), nullptr);
    EXPECT_FALSE(chip()->isVisible());
    EXPECT_EQ(actions->state(), ScreenshotCopyActions::State::idle);
    view.show();
    EXPECT_FALSE(chip()->isVisible()) << "hidden: no clicks, no accessibility";
    hover(true);
    EXPECT_TRUE(chip()->isVisible());
    EXPECT_EQ(chip()->text(), QStringLiteral("Copy"));
    EXPECT_EQ(chip()->symbol(), QStringLiteral("doc.on.doc"));
    EXPECT_EQ(chip()->toolTip(), QStringLiteral("Copy screenshot"));
    EXPECT_EQ(chip()->geometry().topRight(), QPoint(240 - 1 - 7, 7));
    view.resize(300, 160);
    EXPECT_EQ(chip()->geometry().topRight(), QPoint(300 - 1 - 7, 7));
    hover(false);
    EXPECT_FALSE(chip()->isVisible());
}

TEST_F(CopyActionsTest, successfulCopy_showsCopiedUntilPointerLeaves) {
    view.show();
    hover(true);
    QTest::mouseClick(chip(), Qt::LeftButton);
    settle();
    EXPECT_EQ(store.copies, QList<QUuid>{id});
    EXPECT_EQ(actions->state(), ScreenshotCopyActions::State::copied);
    EXPECT_EQ(chip()->text(), QStringLiteral("Copied"));
    EXPECT_EQ(chip()->symbol(), QStringLiteral("checkmark"));
    EXPECT_EQ(chip()->toolTip(), QStringLiteral("Copy screenshot"));
    hover(false);
    hover(true);
    EXPECT_EQ(chip()->text(), QStringLiteral("Copy"));
}

TEST_F(CopyActionsTest, failedCopy_explainsWithStoreErrorOrDefaultText) {
    view.show();
    store.succeeds = false;
    hover(true);
    QTest::mouseClick(chip(), Qt::LeftButton);
    settle();
    EXPECT_EQ(actions->state(), ScreenshotCopyActions::State::failed);
    EXPECT_EQ(chip()->text(), QStringLiteral("Copy failed"));
    EXPECT_EQ(chip()->symbol(), QStringLiteral("doc.on.doc"));
    EXPECT_EQ(chip()->toolTip(), QStringLiteral("Couldn\u2019t copy screenshot"));
    store.error = QStringLiteral("The capture no longer exists.");
    actions->refresh();
    EXPECT_EQ(chip()->toolTip(), QStringLiteral("The capture no longer exists."));
}

TEST_F(CopyActionsTest, menuCopy_resultStaysVisibleWithoutHoverUntilNextHoverEnds) {
    view.show();
    QAction* item = menuItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QStringLiteral("Copy"));
    EXPECT_TRUE(item->isEnabled());
    item->trigger();
    closeMenus();
    settle();
    EXPECT_EQ(store.copies.size(), 1);
    EXPECT_TRUE(chip()->isVisible());
    EXPECT_EQ(chip()->text(), QStringLiteral("Copied"));
    hover(true);
    hover(false);
    EXPECT_FALSE(chip()->isVisible());
    EXPECT_EQ(actions->state(), ScreenshotCopyActions::State::idle);
}

TEST_F(CopyActionsTest, accessibleAction_copiesWhileChipIsHidden) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(accessible, nullptr);
    ASSERT_NE(accessible->actionInterface(), nullptr);
    EXPECT_TRUE(
        accessible->actionInterface()->actionNames().contains(QStringLiteral("Copy screenshot")));
    accessible->actionInterface()->doAction(QStringLiteral("Copy screenshot"));
    settle();
    EXPECT_EQ(store.copies, QList<QUuid>{id});
}

TEST_F(CopyActionsTest, whileExporting_chipAndMenuAreDisabledAndCopyDoesNothing) {
    view.show();
    store.exporting = true;
    actions->refresh();
    hover(true);
    EXPECT_TRUE(chip()->isVisible());
    EXPECT_FALSE(chip()->isEnabled());
    QAction* item = menuItem();
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->isEnabled());
    closeMenus();
    actions->copy();
    settle();
    EXPECT_TRUE(store.copies.isEmpty());

    store.exporting = false;
    actions->refresh();
    EXPECT_TRUE(chip()->isEnabled());
}

TEST_F(CopyActionsTest, removingTheControl_removesItsChip) {
    view.show();
    hover(true);
    QTest::mouseClick(chip(), Qt::LeftButton);
    settle();
    ASSERT_EQ(actions->state(), ScreenshotCopyActions::State::copied);
    delete actions;
    EXPECT_EQ(view.findChild<CopyChip*>(), nullptr) << "the chip goes with its control";
}

} // namespace
} // namespace tovik
