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

    // One whole capture; its identifier.
    QUuid addCapture(const QRectF& selection = {10, 10, 100, 50}, const QString& comment = {}) {
        store.startOrCapture();
        if (!QTest::qWaitFor([this] { return !ui.openOverlays().isEmpty(); }))
            return {};
        ui.openOverlays().first()->callbacks.confirm(selection, comment, {});
        return store.items().isEmpty() ? QUuid() : store.items().last().id();
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
    PngEncoderPool encoder;
    SessionStore store{{screens, desktop, clipboard, keys, clock, ui, encoder}, exportDir.path()};
    const AppRef editor = FakeDesktop::app(100, 0x1000, "editor");
};

} // namespace tovik
