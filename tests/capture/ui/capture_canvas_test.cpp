#include "capture/ui/capture_canvas.h"
#include "capture/ui/capture_draft.h"

#include "capture/ui/display_snapshots.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace tovik {
namespace {

using testing::flatSnapshot;
using testing::snapshotGrey;

TEST(CaptureDraft, settersNotifyOnlyWhenTheValueChanges) {
    CaptureDraft draft;
    EXPECT_FALSE(draft.selection());
    EXPECT_EQ(draft.tool(), Tool::region);
    QSignalSpy selection(&draft, &CaptureDraft::selectionChanged);
    QSignalSpy strokes(&draft, &CaptureDraft::strokesChanged);
    QSignalSpy comment(&draft, &CaptureDraft::commentChanged);
    QSignalSpy tool(&draft, &CaptureDraft::toolChanged);

    draft.setSelection(std::nullopt);
    draft.setStrokes({});
    draft.setComment(QString());
    draft.setTool(Tool::region);
    EXPECT_FALSE(draft.removeLastStroke());
    EXPECT_EQ(selection.count() + strokes.count() + comment.count() + tool.count(), 0);

    draft.setSelection(QRectF(1, 2, 30, 40));
    draft.setSelection(QRectF(1, 2, 30, 40));
    draft.setStrokes({PenStroke{{{5, 5}}, 3}});
    draft.setStrokes({PenStroke{{{5, 5}}, 3}});
    draft.setComment(QStringLiteral("Fix"));
    draft.setComment(QStringLiteral("Fix"));
    draft.setTool(Tool::pen);
    draft.setTool(Tool::pen);
    EXPECT_EQ(selection.count(), 1);
    EXPECT_EQ(strokes.count(), 1);
    EXPECT_EQ(comment.count(), 1);
    EXPECT_EQ(tool.count(), 1);

    EXPECT_TRUE(draft.removeLastStroke());
    EXPECT_TRUE(draft.strokes().isEmpty());
    EXPECT_EQ(strokes.count(), 2);
}

TEST(CaptureDraft, toolsListInOrderWithRawValues) {
    ASSERT_EQ(allTools.size(), 2u);
    EXPECT_EQ(rawValue(allTools[0]), QStringLiteral("Region"));
    EXPECT_EQ(rawValue(allTools[1]), QStringLiteral("Pen"));
}

// A 400 × 300 point display at 2 pixels per point.
class CanvasTest : public ::testing::Test {
protected:
    CaptureDraft draft;
    CaptureCanvas canvas{flatSnapshot(400, 300, 2), 3, &draft};
    int selections = 0;

    void SetUp() override {
        canvas.onSelection = [this] { ++selections; };
    }

    void drag(QList<QPoint> path) {
        QTest::mousePress(&canvas, Qt::LeftButton, {}, path.first());
        for (qsizetype i = 1; i < path.size(); ++i)
            QTest::mouseMove(&canvas, path[i]);
        QTest::mouseRelease(&canvas, Qt::LeftButton, {}, path.last());
    }

    QImage paint() { return canvas.grab().toImage(); }

    // Whether any pixel of the hint's line is nearly white.
    bool hintShown() {
        const QImage image = paint();
        for (int y = 60; y < 84; ++y)
            for (int x = 100; x < 300; ++x)
                if (qGray(image.pixel(x, y)) > 200)
                    return true;
        return false;
    }
};

TEST_F(CanvasTest, canvasCoversTheDisplayInPoints) {
    EXPECT_EQ(canvas.bounds(), QRectF(0, 0, 400, 300));
    EXPECT_EQ(canvas.cursor().shape(), Qt::CrossCursor);
}

TEST_F(CanvasTest, dragUpLeft_givesSameRegionAsOppositeDrag) {
    drag({{100, 80}, {70, 50}, {40, 20}});
    ASSERT_TRUE(draft.selection());
    EXPECT_EQ(*draft.selection(), QRectF(40, 20, 60, 60));
    EXPECT_EQ(selections, 1);
    EXPECT_FALSE(canvas.dragStart());

    CaptureDraft other;
    CaptureCanvas forward(flatSnapshot(400, 300), 1, &other);
    QTest::mousePress(&forward, Qt::LeftButton, {}, {40, 20});
    QTest::mouseMove(&forward, {100, 80});
    QTest::mouseRelease(&forward, Qt::LeftButton, {}, {100, 80});
    EXPECT_EQ(other.selection(), draft.selection());
}

TEST_F(CanvasTest, dragBeyondTheDisplay_stopsAtItsEdge) {
    drag({{350, 250}, {600, 500}});
    EXPECT_EQ(draft.selection(), QRectF(350, 250, 50, 50));
    drag({{10, 10}, {-50, -40}});
    EXPECT_EQ(draft.selection(), QRectF(350, 250, 50, 50)) << "a selection exists: no new drag";
}

TEST_F(CanvasTest, regionsUnderEightPointsAreDiscarded) {
    drag({{100, 100}});
    EXPECT_FALSE(draft.selection()) << "a click leaves no region";
    drag({{100, 100}, {300, 107}});
    EXPECT_FALSE(draft.selection()) << "200 × 7";
    drag({{100, 100}, {107, 300}});
    EXPECT_FALSE(draft.selection()) << "7 × 200";
    EXPECT_EQ(selections, 0);
    drag({{100, 100}, {108, 108}});
    EXPECT_EQ(draft.selection(), QRectF(100, 100, 8, 8));
    EXPECT_EQ(selections, 1);
}

TEST_F(CanvasTest, selectionFollowsEveryDragEvent) {
    QTest::mousePress(&canvas, Qt::LeftButton, {}, {10, 10});
    EXPECT_EQ(canvas.dragStart(), QPointF(10, 10));
    QTest::mouseMove(&canvas, {30, 20});
    EXPECT_EQ(draft.selection(), QRectF(10, 10, 20, 10));
    QTest::mouseMove(&canvas, {50, 90});
    EXPECT_EQ(draft.selection(), QRectF(10, 10, 40, 80));
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, {50, 90});
}

TEST_F(CanvasTest, hint_goesWithFirstDragEventAndReturnsWhenRegionIsDiscarded) {
    EXPECT_TRUE(hintShown());
    QTest::mousePress(&canvas, Qt::LeftButton, {}, {20, 150});
    EXPECT_TRUE(hintShown());
    QTest::mouseMove(&canvas, {24, 200});
    EXPECT_FALSE(hintShown());
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, {24, 200});
    EXPECT_TRUE(hintShown());
}

TEST_F(CanvasTest, paint_dimsOnlyOutsideTheSelectionAndDashesItsBorder) {
    const QImage empty = paint();
    const int dimmed = qRound(snapshotGrey * (1 - CaptureCanvas::dimmingAlpha));
    EXPECT_NEAR(qGray(empty.pixel(200, 200)), dimmed, 2) << "no selection: all dimmed";

    draft.setSelection(QRectF(100, 100, 200, 100));
    const QImage selected = paint();
    EXPECT_NEAR(qGray(selected.pixel(200, 150)), snapshotGrey, 1) << "inside";
    EXPECT_NEAR(qGray(selected.pixel(50, 150)), dimmed, 2) << "outside";
    // The border runs along the selection's inner edge, white dashes of 4 with gaps of 4.
    int white = 0;
    for (int x = 140; x < 180; ++x)
        white += qGray(selected.pixel(x, 100)) > 160;
    EXPECT_GE(white, 12);
    EXPECT_LE(white, 28);
}

TEST_F(CanvasTest, regionTool_withSelection_ignoresPress) {
    draft.setSelection(QRectF(100, 100, 200, 100));
    drag({{150, 150}, {250, 180}});
    EXPECT_EQ(draft.selection(), QRectF(100, 100, 200, 100));
    EXPECT_TRUE(draft.strokes().isEmpty());
    EXPECT_EQ(selections, 0);
}

TEST_F(CanvasTest, pen_startsOnlyInsideSelectionInsetByTwo) {
    draft.setSelection(QRectF(100, 100, 200, 100));
    draft.setTool(Tool::pen);
    drag({{101, 150}, {150, 150}});
    EXPECT_TRUE(draft.strokes().isEmpty()) << "1 point inside the edge";
    drag({{250, 50}, {200, 150}});
    EXPECT_TRUE(draft.strokes().isEmpty()) << "outside the selection";

    QTest::mousePress(&canvas, Qt::LeftButton, {}, {103, 150});
    EXPECT_TRUE(canvas.liveStroke());
    EXPECT_FALSE(canvas.dragStart());
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, {103, 150});
    ASSERT_EQ(draft.strokes().size(), 1);
    EXPECT_EQ(draft.strokes()[0], (PenStroke{{{103, 150}}, 3.0})) << "a click keeps one point";
    EXPECT_FALSE(canvas.liveStroke());
}

TEST_F(CanvasTest, penDrag_leavingSelection_runsAlongPenAreaEdge) {
    draft.setSelection(QRectF(100, 100, 200, 100));
    draft.setTool(Tool::pen);
    drag({{150, 150}, {50, 150}, {160, 500}, {900, -20}, {150, 150}});
    ASSERT_EQ(draft.strokes().size(), 1);
    const QList<MarkPoint> expected{{150, 150}, {102, 150}, {160, 198}, {298, 102}, {150, 150}};
    EXPECT_EQ(draft.strokes()[0].points, expected);
    EXPECT_EQ(draft.strokes()[0].width, 3.0);
}

TEST_F(CanvasTest, penArea_isCutToTheDisplayBeforeTheInset) {
    draft.setSelection(QRectF(-50, 250, 100, 100));
    ASSERT_TRUE(canvas.penArea());
    EXPECT_EQ(*canvas.penArea(), QRectF(2, 252, 46, 46));
}

TEST_F(CanvasTest, paint_showsLiveStrokeInMarkOrange) {
    draft.setSelection(QRectF(100, 100, 200, 100));
    draft.setTool(Tool::pen);
    QTest::mousePress(&canvas, Qt::LeftButton, {}, {200, 150});
    QTest::mouseMove(&canvas, {260, 150});
    const QColor mark = paint().pixelColor(230, 150);
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, {260, 150});
    EXPECT_NEAR(mark.red(), 255, 2);
    EXPECT_NEAR(mark.green(), 102, 3);
    EXPECT_NEAR(mark.blue(), 46, 3);
}

} // namespace
} // namespace tovik
