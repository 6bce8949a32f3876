#pragma once

#include "app/alert_runner.h"
#include "capture/ui/display_snapshots.h"
#include "session/session_fixture.h"
#include "shortcuts/shortcut_preferences.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QWidget>

namespace tovik {

// What a test alert runner saw of one alert.
struct AlertSeen {
    QString title;
    QString text;
    QString informativeText;
    Qt::WindowModality modality = Qt::NonModal;
    Qt::WindowFlags flags;
};

// The session fixture plus private preferences and settings, for the app's windows. The
// fake screen shows something desktop-like so that thumbnails have content.
class AppWindowFixture : public SessionFixture {
protected:
    AppWindowFixture() {
        screens.images.insert(0, testing::desktopSnapshot(800, 600).image);
        preferences.setApply([](const ShortcutBinding&) { return true; });
    }

    // Starts a direct paste and keeps it waiting, so `exporting` stays true until released.
    void holdExport() {
        clock.autoAdvance = false;
        store.paste();
        ASSERT_TRUE(QTest::qWaitFor([this] { return clock.pendingWaits() == 1; }));
        ASSERT_TRUE(store.exporting());
    }
    void releaseExport() {
        clock.autoAdvance = true;
        clock.advance(std::chrono::seconds(10));
        ASSERT_TRUE(waitUntilIdle());
    }

    QString settingsPath() const { return configDir.filePath(QStringLiteral("tovik.conf")); }

    // Answers every alert at once, pressing the button with `answer`'s text if there is one.
    AlertRunner alertRunner() {
        return [this](QMessageBox& box) {
            alerts.append(AlertSeen{box.windowTitle(), box.text(), box.informativeText(),
                                    box.windowModality(), box.windowFlags()});
            for (QAbstractButton* button : box.buttons()) {
                if (!answer.isEmpty() && button->text() == answer)
                    button->click();
            }
        };
    }

    template<typename T> static T* child(const QWidget& root, const char* name) {
        return root.findChild<T*>(QString::fromLatin1(name));
    }

    QTemporaryDir configDir;
    ShortcutPreferences preferences{settingsPath()};
    QList<AlertSeen> alerts;
    QString answer; // the alert button a test's user presses; none dismisses the alert
};

} // namespace tovik
