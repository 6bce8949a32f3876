#pragma once

#include "session/session_store.h"
#include "support/fake_clipboard.h"
#include "support/fake_clock.h"
#include "support/fake_desktop.h"
#include "support/fake_key_injector.h"
#include "support/fake_screen_source.h"
#include "support/fake_session_ui.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace tovik {

// The real store on fakes: one 800 × 600 screen with an editor in front, exports into a
// private temporary folder.
class StoreFixture : public ::testing::Test {
public:
    StoreFixture() {
        screens.screenList = {FakeScreenSource::screen("Main", {0, 0, 800, 600}, 1, 1)};
        desktop.frontmost = editor;
    }
    ~StoreFixture() override { QTest::qWait(1); } // tasks waiting for the loop end first

    SessionServices services() { return {screens, desktop, clipboard, keys, clock, ui, encoder}; }
    // Starts a capture (or the session); true once its overlays are up.
    bool startCapture(SessionStore& s) {
        s.startOrCapture();
        return QTest::qWaitFor([&] { return !s.overlays().empty(); });
    }
    bool startCapture() { return startCapture(store); }
    // One whole capture; its identifier.
    QUuid addCapture(SessionStore& s, const QRectF& selection = {10, 10, 100, 50},
                     const QString& comment = {}) {
        if (!startCapture(s))
            return {};
        ui.openOverlays().first()->callbacks.confirm(selection, comment, {});
        return s.items().isEmpty() ? QUuid() : s.items().last().id();
    }
    QUuid addCapture(const QRectF& selection = {10, 10, 100, 50}, const QString& comment = {}) {
        return addCapture(store, selection, comment);
    }
    bool waitUntilIdle(SessionStore& s) {
        return QTest::qWaitFor([&] { return !s.exporting(); });
    }
    bool waitUntilIdle() { return waitUntilIdle(store); }

    QTemporaryDir exportDir;
    FakeScreenSource screens;
    FakeDesktop desktop;
    FakeClipboard clipboard;
    FakeKeyInjector keys;
    FakeClock clock;
    FakeSessionUi ui;
    PngEncoderPool encoder;
    SessionStore store{services(), exportDir.path()};
    const AppRef editor = FakeDesktop::app(100, 0x1000, "editor");
};

} // namespace tovik
