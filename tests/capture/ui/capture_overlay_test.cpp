#include "capture/ui/capture_canvas.h"
#include "capture/ui/capture_draft.h"
#include "capture/ui/capture_overlay_window.h"
#include "ui/capture_button_style.h"

#include "capture/ui/display_snapshots.h"

#include <QDialog>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace tovik {
namespace {

// Presses at the first point, moves through the others and releases at the last.
template<typename Target>
void drag(Target* target, QList<QPoint> path, const std::function<void()>& beforeRelease = {}) {
    QTest::mousePress(target, Qt::LeftButton, {}, path.first());
    for (qsizetype i = 1; i < path.size(); ++i)
        QTest::mouseMove(target, path[i]);
    if (beforeRelease)
        beforeRelease();
    QTest::mouseRelease(target, Qt::LeftButton, {}, path.last());
}

// A 400 × 300 point display at 2 pixels per point.
class CanvasTest : public ::testing::Test {
protected:
    CaptureDraft draft;
    CaptureCanvas canvas{testing::flatSnapshot(400, 300, 2), 3, &draft};
    int selections = 0;

    void SetUp() override {
        canvas.onSelection = [this] { ++selections; };
    }

    QImage paint() { return canvas.grab().toImage(); }

    bool hintShown() { // any nearly white pixel on the hint's line
        const QImage line =
            paint().copy(100, 60, 200, 24).convertToFormat(QImage::Format_Grayscale8);
        return std::any_of(line.constBits(), line.constBits() + line.sizeInBytes(),
                           [](uchar grey) { return grey > 200; });
    }
};

TEST_F(CanvasTest, regionDrag_followsEveryEventAndStopsAtTheEdge_smallOnesDiscarded) {
    EXPECT_EQ(canvas.cursor().shape(), Qt::CrossCursor);
    drag(&canvas, {{100, 100}});
    drag(&canvas, {{100, 100}, {300, 107}});
    drag(&canvas, {{100, 100}, {107, 300}});
    EXPECT_FALSE(draft.selection());
    EXPECT_TRUE(hintShown()) << "the hint stays, or returns with a discarded region";
    drag(&canvas, {{350, 250}, {358, 258}});
    EXPECT_EQ(draft.selection(), QRectF(350, 250, 8, 8));
    draft.setSelection(std::nullopt);

    QTest::mousePress(&canvas, Qt::LeftButton, {}, {100, 150});
    EXPECT_TRUE(hintShown()) << "the press alone keeps it";
    QTest::mouseMove(&canvas, {120, 160});
    EXPECT_EQ(draft.selection(), QRectF(100, 150, 20, 10));
    EXPECT_FALSE(hintShown()) << "the first drag event hides the hint";
    QTest::mouseMove(&canvas, {-40, 90});
    EXPECT_EQ(draft.selection(), QRectF(0, 90, 100, 60)) << "up-left, stopped at the edge";
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, {-40, 90});
    EXPECT_EQ(selections, 2);

    drag(&canvas, {{10, 10}, {-50, -40}});
    drag(&canvas, {{20, 100}, {60, 120}});
    EXPECT_EQ(draft.selection(), QRectF(0, 90, 100, 60)) << "a selection takes no new drag";
    EXPECT_TRUE(draft.strokes().isEmpty());
    EXPECT_EQ(selections, 2);
}

TEST_F(CanvasTest, paint_dimsOnlyOutsideTheSelectionAndDashesItsBorder) {
    const int dimmed = qRound(testing::snapshotGrey * (1 - CaptureCanvas::dimmingAlpha));
    EXPECT_NEAR(qGray(paint().pixel(200, 200)), dimmed, 2) << "no selection: all dimmed";
    draft.setSelection(QRectF(100, 100, 200, 100));
    const QImage selected = paint();
    EXPECT_NEAR(qGray(selected.pixel(200, 150)), testing::snapshotGrey, 1) << "inside";
    EXPECT_NEAR(qGray(selected.pixel(50, 150)), dimmed, 2) << "outside";
    int white = 0; // white dashes of 4 with gaps of 4 along the inner edge
    for (int x = 140; x < 180; ++x)
        white += qGray(selected.pixel(x, 100)) > 160;
    EXPECT_GE(white, 12);
    EXPECT_LE(white, 28);
}

TEST_F(CanvasTest, pen_startsInsideSelectionInsetByTwoAndRunsAlongThatEdgeInMarkOrange) {
    draft.setSelection(QRectF(100, 100, 200, 100));
    draft.setTool(Tool::pen);
    drag(&canvas, {{101, 150}, {150, 150}});
    drag(&canvas, {{250, 50}, {200, 150}});
    EXPECT_TRUE(draft.strokes().isEmpty());
    drag(&canvas, {{103, 150}}, [&] { EXPECT_TRUE(canvas.liveStroke() && !canvas.dragStart()); });
    EXPECT_EQ(draft.strokes(), (QList<PenStroke>{{{{103, 150}}, 3.0}}))
        << "a click keeps one point";

    QColor mark;
    drag(&canvas, {{150, 150}, {50, 150}, {160, 500}, {900, -20}, {150, 150}},
         [&] { mark = paint().pixelColor(130, 150); });
    EXPECT_NEAR(mark.red(), 255, 2);
    EXPECT_NEAR(mark.green(), 102, 3);
    EXPECT_NEAR(mark.blue(), 46, 3);
    const QList<MarkPoint> expected{{150, 150}, {102, 150}, {160, 198}, {298, 102}, {150, 150}};
    EXPECT_EQ(draft.strokes().last(), (PenStroke{expected, 3.0}));

    draft.setSelection(QRectF(-50, 250, 100, 100));
    EXPECT_EQ(canvas.penArea(), QRectF(2, 252, 46, 46)) << "cut to the display before the inset";
}

TEST(EditorPlacement, examples) {
    const auto frame = &CaptureOverlayWindow::editorFrame;
    EXPECT_EQ(frame({1440, 900}, {100, 500, 400, 300}), QRectF(100, 284, 320, 172)) << "above";
    EXPECT_EQ(frame({1440, 900}, {0, 0, 1440, 900}), QRectF(12, 716, 320, 172)) << "over all";
    EXPECT_EQ(frame({300, 900}, {100, 100, 150, 100}), QRectF(12, 244, 276, 172)) << "narrow";
    EXPECT_EQ(frame({1440, 900}, {1400, 100, 30, 30}).x(), 1440 - 320 - 12);
}

class OverlayTest : public ::testing::Test {
protected:
    std::unique_ptr<CaptureOverlayWindow> overlay;
    QList<std::tuple<QRectF, QString, QList<PenStroke>>> confirms;
    int cancels = 0;
    int selectionsMade = 0;

    void SetUp() override {
        OverlayCallbacks callbacks;
        callbacks.selectionMade = [this] {
            ++selectionsMade;
            EXPECT_FALSE(overlay->editor()) << "the other overlays hide before the panel shows";
        };
        callbacks.confirm = [this](const QRectF& s, const QString& c, const QList<PenStroke>& p) {
            confirms.append({s, c, p});
        };
        callbacks.cancel = [this] { ++cancels; };
        overlay = std::make_unique<CaptureOverlayWindow>(testing::flatSnapshot(1440, 900), 4,
                                                         std::move(callbacks));
        overlay->show();
        overlay->makeKey();
        ASSERT_TRUE(QTest::qWaitForWindowActive(overlay.get()));
    }

    QWindow* window() { return overlay->windowHandle(); }
    CaptureDraft* draft() { return overlay->draft(); }
    QPlainTextEdit* comment() { return overlay->findChild<QPlainTextEdit*>("commentField"); }
    QRect frameOf(const char* name) {
        const QWidget* widget = overlay->findChild<QWidget*>(name);
        return widget ? QRect(widget->mapTo(overlay.get(), QPoint()), widget->size()) : QRect();
    }

    void drag(QPoint from, QPoint to) { tovik::drag(window(), {from, (from + to) / 2, to}); }
    void select() { drag({100, 100}, {500, 400}); }
    void click(const char* name) {
        QTest::mouseClick(window(), Qt::LeftButton, {}, frameOf(name).center());
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(window(), key, modifiers);
        QCoreApplication::processEvents();
    }
    void type(const QString& text) {
        for (const QChar c : text)
            QTest::keyClick(window(), c.toLatin1());
    }
};

TEST_F(OverlayTest, penAndUndo_byButtonsAndByControlZOnlyWhileCanvasHasFocus) {
    select();
    auto* pen = overlay->findChild<CaptureButtonStyle*>("penButton");
    EXPECT_FALSE(overlay->findChild<QWidget*>("undoButton")->isEnabled());
    click("penButton");
    EXPECT_TRUE(pen->prominent());
    EXPECT_EQ(overlay->focusWidget(), overlay->canvas()) << "the comment field lets go";
    for (int y : {200, 250, 300})
        drag({200, y}, {300, y + 20});
    ASSERT_EQ(draft()->strokes().size(), 3);

    comment()->setFocus();
    type(QStringLiteral("ab"));
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(draft()->strokes().size(), 3);
    EXPECT_TRUE(comment()->toPlainText().isEmpty()) << "the text's own undo";
    overlay->canvas()->setFocus();
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(draft()->strokes().size(), 3);
    key(Qt::Key_Z, Qt::ControlModifier);
    click("undoButton");
    ASSERT_EQ(draft()->strokes().size(), 1);
    EXPECT_EQ(draft()->strokes()[0].points.first(), (MarkPoint{200, 200}));
    click("penButton");
    EXPECT_EQ(draft()->tool(), Tool::region);
    EXPECT_FALSE(pen->prominent());
}

TEST_F(OverlayTest, controlReturn_confirmsOnceSelected_noKeyActsWhileAnAlertIsUp) {
    key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(confirms.isEmpty());
    select();
    type(QStringLiteral("Fix"));
    key(Qt::Key_Return);
    type(QStringLiteral("it"));
    click("penButton");
    drag({200, 200}, {300, 250});
    auto alert = std::make_unique<QDialog>();
    alert->setWindowModality(Qt::ApplicationModal);
    alert->show();
    key(Qt::Key_Escape);
    key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(confirms.isEmpty());
    alert.reset();
    key(Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    ASSERT_EQ(confirms.size(), 1);
    const auto& [selection, text, strokes] = confirms[0];
    EXPECT_EQ(selection, QRectF(100, 100, 400, 300));
    EXPECT_EQ(text, QStringLiteral("Fix\nit"));
    ASSERT_EQ(strokes.size(), 1);
    EXPECT_EQ(strokes[0].points.first(), (MarkPoint{200, 200}));
    EXPECT_EQ(cancels, 0);
}

TEST_F(OverlayTest, regionDrag_showsPanelWithCommentFocused_reselectKeepsOnlyTheComment) {
    EXPECT_EQ(overlay->canvas()->geometry(), QRect(0, 0, 1440, 900));
    EXPECT_EQ(overlay->focusWidget(), overlay->canvas());
    select();
    EXPECT_EQ(selectionsMade, 1);
    ASSERT_TRUE(overlay->editor());
    EXPECT_EQ(overlay->focusWidget(), comment());
    type(QStringLiteral("Wrong"));
    click("penButton");
    drag({200, 200}, {300, 250});
    click("reselectButton");
    QCoreApplication::processEvents();
    EXPECT_TRUE(!draft()->selection() && draft()->strokes().isEmpty() && !overlay->editor());
    EXPECT_EQ(draft()->tool(), Tool::region);

    drag({700, 100}, {900, 300});
    ASSERT_TRUE(overlay->editor());
    EXPECT_EQ(overlay->editor()->geometry(), QRect(700, 344, 320, 172));
    EXPECT_EQ(comment()->toPlainText(), QStringLiteral("Wrong"));
    ASSERT_EQ(overlay->focusWidget(), comment());
    key(Qt::Key_Escape); // cancels while typing
    EXPECT_EQ(cancels, 1);
    click("confirmButton");
    click("cancelButton");
    QCoreApplication::processEvents();
    EXPECT_EQ(confirms.size(), 1);
    EXPECT_EQ(cancels, 2);
}

TEST_F(OverlayTest, panelDrag_stopsEightPointsFromEdgesAndResumesWhereItEnded) {
    select();
    for (const auto& [by, to] : {std::pair{QPoint(-5000, -5000), QPoint(8, 8)},
                                 {QPoint(30, 40), QPoint(38, 48)},
                                 {QPoint(5000, 5000), QPoint(1440 - 320 - 8, 900 - 172 - 8)}}) {
        const QPoint start = frameOf("annotationDragHandle").center();
        drag(start, start + by);
        EXPECT_EQ(overlay->editor()->pos(), to);
    }
}

TEST_F(OverlayTest, closingTheLastOverlay_doesNotEndTheApplication) {
    // The store hides every other window while overlays are up.
    bool ranToTheEnd = false;
    QTimer::singleShot(0, qApp, [&] { overlay->close(); });
    QTimer::singleShot(200, qApp, [&] {
        ranToTheEnd = true;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    EXPECT_TRUE(ranToTheEnd) << "the event loop ended when the overlay closed";
    EXPECT_FALSE(overlay->isVisible());
}

TEST_F(OverlayTest, loadAfterHide_startsTheNextCaptureAfreshInTheSameNativeWindow) {
    select();
    drag({200, 200}, {300, 250});
    type(QStringLiteral("old"));
    const WId native = overlay->winId();
    overlay->cancel(); // its answer still queued at the next load
    overlay->unload();

    DisplaySnapshot next = testing::flatSnapshot(1440, 900);
    next.image.fill(Qt::red);
    int nextCancels = 0;
    OverlayCallbacks callbacks;
    callbacks.cancel = [&] { ++nextCancels; };
    overlay->load(next, 5, std::move(callbacks));
    overlay->show();
    overlay->makeKey();
    ASSERT_TRUE(QTest::qWaitForWindowActive(overlay.get()));

    EXPECT_EQ(overlay->winId(), native);
    EXPECT_EQ(overlay->number(), 5);
    EXPECT_EQ(overlay->canvas()->snapshot().image.pixel(0, 0), QColor(Qt::red).rgb());
    EXPECT_TRUE(!draft()->selection() && draft()->strokes().isEmpty() && !overlay->editor());
    EXPECT_TRUE(draft()->comment().isEmpty());
    EXPECT_EQ(overlay->focusWidget(), overlay->canvas());
    key(Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(nextCancels, 1);
    EXPECT_EQ(cancels, 0) << "the previous capture hears nothing more";
}

} // namespace
} // namespace tovik
