#pragma once

#include "session/session_store.h"
#include "support/fake_clipboard.h"
#include "support/fake_clock.h"
#include "support/fake_desktop.h"
#include "support/fake_key_injector.h"
#include "support/fake_screen_source.h"
#include "support/fake_session_ui.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace tovik {

// The real store on fakes: one 800 × 600 screen, an editor in front, exports into a
// private temporary folder.
class SessionFixture : public ::testing::Test {
public:
    SessionFixture() {
        screens.screenList = {FakeScreenSource::screen("Main", {0, 0, 800, 600}, 1, 1)};
        desktop.frontmost = editor;
    }
    ~SessionFixture() override {
        // Lets tasks still waiting for the event loop end while everything is alive.
        QTest::qWait(1);
    }

    SessionServices services() { return {screens, desktop, clipboard, keys, clock, ui}; }

    // Starts a capture (or the session) and waits for its overlays.
    void startCapture() {
        store.startOrCapture();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !store.overlays().empty(); }));
    }
    // Confirms on the first overlay still open.
    void confirm(const QRectF& selection, const QString& comment = {}) {
        const auto open = ui.openOverlays();
        ASSERT_FALSE(open.isEmpty());
        open.first()->callbacks.confirm(selection, comment, {});
    }
    // One whole capture; returns its identifier.
    QUuid addCapture(const QRectF& selection = {10, 10, 100, 50}, const QString& comment = {}) {
        startCapture();
        confirm(selection, comment);
        return store.items().isEmpty() ? QUuid() : store.items().last().id();
    }
    QList<qint64> numbers() const {
        QList<qint64> result;
        for (const CapturedItem& item : store.items())
            result.append(item.annotation.number);
        return result;
    }
    // Export folders written so far.
    int exportFolders() const {
        return int(QDir(exportDir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    }
    bool waitUntilIdle() {
        return QTest::qWaitFor([this] { return !store.exporting(); });
    }

    QTemporaryDir exportDir;
    FakeScreenSource screens;
    FakeDesktop desktop;
    FakeClipboard clipboard;
    FakeKeyInjector keys;
    FakeClock clock;
    FakeSessionUi ui;
    SessionStore store{services(), exportDir.path()};
    const AppRef editor = FakeDesktop::app(100, 0x1000, "editor");
    const AppRef browser = FakeDesktop::app(200, 0x2000, "browser");
};

} // namespace tovik
