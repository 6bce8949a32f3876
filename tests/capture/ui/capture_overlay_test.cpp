#include "capture/ui/capture_canvas.h"
#include "capture/ui/capture_draft.h"
#include "capture/ui/capture_editor.h"
#include "capture/ui/capture_overlay_window.h"
#include "ui/capture_button_style.h"

#include "capture/ui/display_snapshots.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QDialog>
#include <QDir>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

namespace tovik {
namespace {

TEST(EditorPlacement, examples) {
    const auto frame = &CaptureOverlayWindow::editorFrame;
    EXPECT_EQ(frame({1440, 900}, {100, 100, 400, 300}), QRectF(100, 444, 320, 172))
        << "below the region";
    EXPECT_EQ(frame({1440, 900}, {100, 500, 400, 300}), QRectF(100, 500 - 216, 320, 172))
        << "above a region whose bottom is at 800";
    EXPECT_EQ(frame({1440, 900}, {0, 0, 1440, 900}), QRectF(12, 716, 320, 172))
        << "over a region covering the display";
    EXPECT_EQ(frame({300, 900}, {100, 100, 150, 100}), QRectF(12, 244, 276, 172))
        << "a display 300 points wide";
    EXPECT_EQ(frame({1440, 900}, {2, 100, 100, 100}).x(), 12);
    EXPECT_EQ(frame({1440, 900}, {1400, 100, 30, 30}).x(), 1440 - 320 - 12);
}

struct Confirmed {
    QRectF selection;
    QString comment;
    QList<PenStroke> strokes;
};

class OverlayTest : public ::testing::Test {
protected:
    std::unique_ptr<CaptureOverlayWindow> overlay;
    QList<Confirmed> confirms;
    int cancels = 0;
    QStringList order;

    void open(const DisplaySnapshot& snapshot) {
        OverlayCallbacks callbacks;
        callbacks.selectionMade = [this] {
            order << QStringLiteral("selectionMade");
            EXPECT_FALSE(overlay->editor()) << "the other overlays hide before the panel shows";
        };
        callbacks.confirm = [this](const QRectF& s, const QString& c, const QList<PenStroke>& p) {
            confirms.append({s, c, p});
        };
        callbacks.cancel = [this] { ++cancels; };
        overlay = std::make_unique<CaptureOverlayWindow>(snapshot, 4, std::move(callbacks));
        overlay->show();
        overlay->makeKey();
        ASSERT_TRUE(QTest::qWaitForWindowActive(overlay.get()));
    }

    void SetUp() override { open(testing::flatSnapshot(1440, 900)); }

    QWindow* window() { return overlay->windowHandle(); }

    void drag(QPoint from, QPoint to) {
        QTest::mousePress(window(), Qt::LeftButton, {}, from);
        QTest::mouseMove(window(), (from + to) / 2);
        QTest::mouseMove(window(), to);
        QTest::mouseRelease(window(), Qt::LeftButton, {}, to);
    }

    void type(const QString& text) {
        for (const QChar c : text)
            QTest::keyClick(window(), c.toLatin1());
    }

    void settle() { QCoreApplication::processEvents(); }

    template<typename T> T* child(const char* name) {
        return overlay->findChild<T*>(QLatin1String(name));
    }

    QPlainTextEdit* commentField() { return child<QPlainTextEdit>("commentField"); }

    void clickButton(const char* name) {
        auto* button = child<QAbstractButton>(name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(window(), Qt::LeftButton, {},
                          button->mapTo(overlay.get(), button->rect().center()));
    }
};

TEST_F(OverlayTest, coversItsScreenWithTheCanvas) {
    EXPECT_EQ(overlay->frame(), QRect(0, 0, 1440, 900));
    EXPECT_EQ(overlay->canvas()->geometry(), QRect(0, 0, 1440, 900));
    const Qt::WindowFlags flags = overlay->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_EQ(overlay->focusWidget(), overlay->canvas());
    EXPECT_FALSE(overlay->editor());
}

TEST_F(OverlayTest, regionDrag_reportsSelectionThenShowsPanelWithCommentFocused) {
    drag({100, 100}, {500, 400});
    EXPECT_EQ(order, QStringList{QStringLiteral("selectionMade")});
    ASSERT_TRUE(overlay->editor());
    EXPECT_EQ(overlay->editor()->geometry(), QRect(100, 444, 320, 172));
    EXPECT_TRUE(overlay->editor()->isVisible());
    EXPECT_EQ(overlay->focusWidget(), commentField());
    EXPECT_TRUE(overlay->editor()->commentFocused());
}

TEST_F(OverlayTest, panelControls_areInOrderWithTheirTexts) {
    drag({100, 100}, {500, 400});
    const QStringList names{"annotationDragHandle", "cancelButton", "commentField",
                            "reselectButton",       "penButton",    "undoButton",
                            "confirmButton"};
    QList<QRect> frames;
    for (const QString& name : names) {
        auto* widget = overlay->editor()->findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << name.toStdString();
        frames.append(QRect(widget->mapTo(overlay->editor(), QPoint(0, 0)), widget->size()));
    }
    // header row, comment, tool row from top to bottom; left to right within the rows
    EXPECT_LT(frames[0].right(), frames[1].left());
    EXPECT_LT(frames[1].bottom(), frames[2].top());
    EXPECT_LT(frames[2].bottom(), frames[3].top());
    EXPECT_LT(frames[3].right(), frames[4].left());
    EXPECT_LT(frames[4].right(), frames[5].left());
    EXPECT_LT(frames[5].right(), frames[6].left());
    EXPECT_EQ(frames[6].right(), 320 - 1 - 16) << "confirm sits at the trailing edge";
    EXPECT_EQ(commentField()->parentWidget()->height(), 64) << "comment surface";

    EXPECT_EQ(child<QWidget>("annotationDragHandle")->toolTip(),
              QStringLiteral("Drag to move the annotation panel"));
    EXPECT_EQ(child<QWidget>("cancelButton")->toolTip(), QStringLiteral("Cancel capture (Esc)"));
    EXPECT_EQ(child<QWidget>("reselectButton")->toolTip(), QStringLiteral("Reselect region"));
    EXPECT_EQ(child<QWidget>("undoButton")->toolTip(), QStringLiteral("Undo last pen stroke"));
    EXPECT_EQ(child<QWidget>("penButton")->toolTip(),
              QStringLiteral("Draw inside the selected region"));
    EXPECT_EQ(commentField()->placeholderText(), QStringLiteral("What should change?"));
    EXPECT_EQ(commentField()->accessibleName(), QStringLiteral("Annotation feedback"));
    EXPECT_EQ(child<QWidget>("confirmButton")->accessibleName(), QStringLiteral("Confirm capture"));
}

TEST_F(OverlayTest, penButton_togglesToolProminenceAndAccessibleValue) {
    drag({100, 100}, {500, 400});
    auto* pen = child<CaptureButtonStyle>("penButton");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(pen);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Pen"));
    EXPECT_EQ(accessible->text(QAccessible::Value), QStringLiteral("Not selected"));
    EXPECT_FALSE(pen->prominent());

    clickButton("penButton");
    EXPECT_EQ(overlay->draft()->tool(), Tool::pen);
    EXPECT_TRUE(pen->prominent());
    EXPECT_EQ(accessible->text(QAccessible::Value), QStringLiteral("Selected"));
    EXPECT_EQ(overlay->focusWidget(), overlay->canvas()) << "the comment field lets go";

    clickButton("penButton");
    EXPECT_EQ(overlay->draft()->tool(), Tool::region);
    EXPECT_FALSE(pen->prominent());
}

TEST_F(OverlayTest, undoButton_removesLastStrokeAndIsDisabledWithoutStrokes) {
    drag({100, 100}, {500, 400});
    auto* undo = child<QAbstractButton>("undoButton");
    EXPECT_FALSE(undo->isEnabled());
    clickButton("penButton");
    drag({200, 200}, {300, 250});
    drag({210, 300}, {260, 310});
    ASSERT_EQ(overlay->draft()->strokes().size(), 2);
    EXPECT_TRUE(undo->isEnabled());
    clickButton("undoButton");
    ASSERT_EQ(overlay->draft()->strokes().size(), 1);
    EXPECT_EQ(overlay->draft()->strokes()[0].points.first(), (MarkPoint{200, 200}));
}

TEST_F(OverlayTest, escape_cancelsEvenWhileTyping) {
    drag({100, 100}, {500, 400});
    ASSERT_EQ(overlay->focusWidget(), commentField());
    QTest::keyClick(window(), Qt::Key_Escape);
    settle();
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(confirms.isEmpty());
}

TEST_F(OverlayTest, keys_areIgnoredWhileAnAlertIsUp) {
    drag({100, 100}, {500, 400});
    QDialog alert;
    alert.setWindowModality(Qt::ApplicationModal);
    alert.show();
    QTest::keyClick(window(), Qt::Key_Escape);
    QTest::keyClick(window(), Qt::Key_Return, Qt::ControlModifier);
    settle();
    EXPECT_EQ(cancels, 0);
    EXPECT_TRUE(confirms.isEmpty());
    alert.close();
    QTest::keyClick(window(), Qt::Key_Escape);
    settle();
    EXPECT_EQ(cancels, 1);
}

TEST_F(OverlayTest, controlReturn_confirmsWithSelectionCommentAndStrokes) {
    drag({100, 100}, {500, 400});
    type(QStringLiteral("Fix"));
    QTest::keyClick(window(), Qt::Key_Return);
    type(QStringLiteral("it"));
    clickButton("penButton");
    drag({200, 200}, {300, 250});
    QTest::keyClick(window(), Qt::Key_Return, Qt::ControlModifier);
    settle();
    ASSERT_EQ(confirms.size(), 1);
    EXPECT_EQ(confirms[0].selection, QRectF(100, 100, 400, 300));
    EXPECT_EQ(confirms[0].comment, QStringLiteral("Fix\nit"));
    ASSERT_EQ(confirms[0].strokes.size(), 1);
    EXPECT_EQ(confirms[0].strokes[0].points.first(), (MarkPoint{200, 200}));
    EXPECT_EQ(confirms[0].strokes[0].points.last(), (MarkPoint{300, 250}));
    EXPECT_EQ(cancels, 0);
}

TEST_F(OverlayTest, controlReturn_withoutSelection_doesNothing) {
    QTest::keyClick(window(), Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(window(), Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    settle();
    EXPECT_TRUE(confirms.isEmpty());
}

TEST_F(OverlayTest, panelButtons_confirmAndCancel) {
    drag({100, 100}, {500, 400});
    clickButton("confirmButton");
    clickButton("cancelButton");
    settle();
    EXPECT_EQ(confirms.size(), 1);
    EXPECT_EQ(cancels, 1);
}

TEST_F(OverlayTest, controlZ_undoesStrokeOnlyWhileCanvasHasFocus) {
    drag({100, 100}, {500, 400});
    overlay->draft()->setStrokes({PenStroke{{{150, 150}}, 3}, PenStroke{{{160, 160}}, 3}});
    commentField()->setFocus();
    type(QStringLiteral("ab"));
    QTest::keyClick(window(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(overlay->draft()->strokes().size(), 2);
    EXPECT_TRUE(commentField()->toPlainText().isEmpty()) << "the text's own undo";

    // A click on the canvas (region tool, inside the selection) takes the keyboard there.
    QTest::mouseClick(window(), Qt::LeftButton, {}, QPoint(300, 300));
    ASSERT_EQ(overlay->focusWidget(), overlay->canvas());
    QTest::keyClick(window(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(overlay->draft()->strokes().size(), 2);
    QTest::keyClick(window(), Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(overlay->draft()->strokes().size(), 1);
    EXPECT_EQ(overlay->draft()->strokes()[0].points[0], (MarkPoint{150, 150}));
    QTest::keyClick(window(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(window(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(overlay->draft()->strokes().isEmpty());
}

TEST_F(OverlayTest, reselect_keepsCommentAndClearsSelectionStrokesAndTool) {
    drag({100, 100}, {500, 400});
    type(QStringLiteral("Wrong"));
    clickButton("penButton");
    drag({200, 200}, {300, 250});
    clickButton("reselectButton");
    settle();
    EXPECT_FALSE(overlay->draft()->selection());
    EXPECT_TRUE(overlay->draft()->strokes().isEmpty());
    EXPECT_EQ(overlay->draft()->tool(), Tool::region);
    EXPECT_FALSE(overlay->editor());
    EXPECT_EQ(overlay->focusWidget(), overlay->canvas());

    drag({700, 100}, {900, 300});
    ASSERT_TRUE(overlay->editor());
    EXPECT_EQ(overlay->editor()->geometry(), QRect(700, 344, 320, 172));
    EXPECT_EQ(commentField()->toPlainText(), QStringLiteral("Wrong"));
    EXPECT_EQ(overlay->draft()->comment(), QStringLiteral("Wrong"));
}

TEST_F(OverlayTest, panelDrag_stopsEightPointsFromEdgesAndResumesWhereItEnded) {
    drag({100, 100}, {500, 400});
    auto* handle = child<QWidget>("annotationDragHandle");
    const auto dragHandle = [&](QPoint by) {
        const QPoint start = handle->mapTo(overlay.get(), handle->rect().center());
        QTest::mousePress(window(), Qt::LeftButton, {}, start);
        QTest::mouseMove(window(), start + by / 2);
        QTest::mouseMove(window(), start + by);
        QTest::mouseRelease(window(), Qt::LeftButton, {}, start + by);
    };
    dragHandle({-5000, -5000});
    EXPECT_EQ(overlay->editor()->pos(), QPoint(8, 8));
    dragHandle({30, 40});
    EXPECT_EQ(overlay->editor()->pos(), QPoint(38, 48));
    dragHandle({5000, 5000});
    EXPECT_EQ(overlay->editor()->pos(), QPoint(1440 - 320 - 8, 900 - 172 - 8));
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

// Renders an overlay on a 2× display for a person to look at, and checks the main features.
TEST(OverlayScreenshot, selectionStrokesAndPanel) {
    CaptureOverlayWindow overlay(testing::desktopSnapshot(1280, 800, 2), 3, OverlayCallbacks{});
    overlay.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overlay));
    QWindow* window = overlay.windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, {420, 180});
    QTest::mouseMove(window, {700, 400});
    QTest::mouseRelease(window, Qt::LeftButton, {}, {880, 460});
    ASSERT_TRUE(overlay.editor());
    overlay.draft()->setComment(QStringLiteral("The save button is hidden behind the panel"));
    overlay.draft()->setTool(Tool::pen);
    QTest::mousePress(window, Qt::LeftButton, {}, {520, 260});
    for (int i = 1; i <= 40; ++i)
        QTest::mouseMove(window, {520 + i * 5, 260 + int(30 * std::sin(i / 6.0))});
    QTest::mouseRelease(window, Qt::LeftButton, {}, {720, 260});
    QTest::mouseClick(window, Qt::LeftButton, {}, {800, 400});

    const QImage image = overlay.grab().toImage();
    ASSERT_TRUE(QDir().mkpath(QStringLiteral(TOVIK_ARTIFACTS_DIR)));
    EXPECT_TRUE(image.save(QStringLiteral(TOVIK_ARTIFACTS_DIR "/capture_overlay.png")));

    const auto at = [&](int x, int y) {
        return image.pixelColor(QPointF(x, y).toPoint() * image.devicePixelRatio());
    };
    EXPECT_EQ(image.width(), qRound(1280 * image.devicePixelRatio()));
    const int frozen = overlay.canvas()->snapshot().image.pixelColor(60, 60).red();
    EXPECT_NEAR(at(30, 30).red(), frozen * (1 - CaptureCanvas::dimmingAlpha), 3)
        << "dimmed outside";
    const QColor stroke = at(620, 260 + int(30 * std::sin(20 / 6.0)));
    EXPECT_GT(stroke.red(), 240);
    EXPECT_LT(stroke.blue(), 80);
    EXPECT_EQ(overlay.editor()->geometry(), QRect(420, 504, 320, 172));
    const QColor panel = at(600, 504 + 100);
    EXPECT_LT(panel.red(), 40) << "dark panel";
}

} // namespace
} // namespace tovik
