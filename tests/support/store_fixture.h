#pragma once

#include "support/fake_session_services.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace tovik {

// The real store on fakes: one 800 × 600 screen with an editor in front, exports into a
// private temporary folder.
class StoreFixture : public ::testing::Test, public FakeSessionServices {
public:
    StoreFixture() {
        screens.screenList = {FakeScreenSource::screen("Main", {0, 0, 800, 600}, 1, 1)};
        desktop.frontmost = editor;
    }
    ~StoreFixture() override { QTest::qWait(1); } // tasks waiting for the loop end first

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
    SessionStore store{services(), exportDir.path()};
    const AppRef editor = FakeDesktop::app(100, 0x1000, "editor");
};

} // namespace tovik
