#include "app/session_window.h"
#include "app_window_fixture.h"
#include "ui/capture_button_style.h"

#include <QLabel>

namespace tovik {
namespace {

class SessionWindowTest : public AppWindowFixture {
protected:
    QString status() { return child<QLabel>(window, "status")->text(); }
    CaptureButtonStyle* button(const char* name) { return child<CaptureButtonStyle>(window, name); }

    SessionWindow window{store, alertRunner()};
};

TEST_F(SessionWindowTest, close_onlyHidesTheWindow) {
    EXPECT_EQ(window.size(), QSize(900, 640));
    EXPECT_EQ(window.minimumSize(), QSize(680, 480));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("tovik"));
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    window.show();
    EXPECT_FALSE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(lastClosed.count(), 0);
}

TEST_F(SessionWindowTest, error_shownOnceVisibleThenCleared) {
    store.setError(QStringLiteral("The display arrangement changed."));
    QTest::qWait(1);
    EXPECT_TRUE(alerts.isEmpty());

    window.show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !alerts.isEmpty(); }));
    EXPECT_EQ(alerts[0].title, QStringLiteral("tovik"));
    EXPECT_EQ(alerts[0].text, QStringLiteral("The display arrangement changed."));
    EXPECT_EQ(store.error(), std::nullopt);

    store.setError(QStringLiteral("Second"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return alerts.size() == 2; }));
    EXPECT_EQ(alerts[1].text, QStringLiteral("Second"));
    EXPECT_EQ(store.error(), std::nullopt);
}

TEST_F(SessionWindowTest, newSession_startsOnlyWhenConfirmed_notWhileRunning) {
    addCapture();
    EXPECT_FALSE(button("newSessionButton")->isEnabled());
    store.stopSession();
    ASSERT_EQ(store.phase(), Phase::review);
    ASSERT_TRUE(button("newSessionButton")->isEnabled());

    button("newSessionButton")->click();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].text, QStringLiteral("Start a new session?"));
    EXPECT_EQ(alerts[0].informativeText,
              QStringLiteral("This clears the current captures from memory. Copy any feedback "
                             "you want to keep first."));
    EXPECT_EQ(store.phase(), Phase::review);
    EXPECT_EQ(store.items().size(), 1);

    answer = QStringLiteral("Start new session");
    button("newSessionButton")->click();
    EXPECT_EQ(store.phase(), Phase::capturing);
    EXPECT_TRUE(store.items().isEmpty());
}

TEST_F(SessionWindowTest, status_countThenPreparingThenNotice) {
    EXPECT_EQ(status(), QStringLiteral("0 captures"));
    addCapture();
    addCapture();
    EXPECT_EQ(status(), QStringLiteral("2 captures"));

    holdExport();
    EXPECT_EQ(status(), QStringLiteral("Preparing files\u2026"));
    EXPECT_FALSE(button("copyAllButton")->isEnabled());
    EXPECT_EQ(button("copyAllButton")->toolTip(), QStringLiteral("Preparing files\u2026"));
    releaseExport();
    EXPECT_EQ(status(), QStringLiteral("Photos and feedback text sent"));

    button("copyAllButton")->click();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(status(), QStringLiteral("2 PNGs + feedback.md copied"));
    EXPECT_EQ(button("copyAllButton")->toolTip(), QStringLiteral("Copy PNG files and feedback.md"));

    button("copyContactSheetButton")->click();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(status(), QStringLiteral("Contact sheet + feedback.md copied"));
}

} // namespace
} // namespace tovik
