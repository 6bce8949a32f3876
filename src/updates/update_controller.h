#pragma once

#include "updates/updater.h"

#include <QString>

#include <functional>
#include <memory>

namespace tovik {

// Decides whether updates are offered and forwards the user's checks to the updater.
// Main thread only.
class UpdateController final : public UpdaterDelegate {
public:
    // Creates a started updater that reports to the given delegate.
    using UpdaterFactory = std::function<std::unique_ptr<Updater>(UpdaterDelegate&)>;

    enum class State {
        disabled,      // no updater
        idle,          // an updater, nothing pending
        updateWaiting, // an update waits to be installed on quit
    };

    // The update channel this build was configured with.
    static QString buildChannel();

    // Updates are offered only on the "direct" channel and when `factory` can make an updater.
    explicit UpdateController(UpdaterFactory factory, QString channel = buildChannel());

    bool updatesEnabled() const;
    State state() const;
    // Whether the updater exists and may start a check now.
    bool canCheckForUpdates() const;

    // Creates the updater at start-up; nothing when disabled or already created.
    void startUpdater();
    // Installs a waiting update at once, otherwise asks the updater for a check.
    // Silent when updates are disabled.
    void checkForUpdates();

    bool willInstallUpdateOnQuit(std::function<void()> installNow) override;
    void didAbort() override;

private:
    UpdaterFactory factory_;
    QString channel_;
    std::unique_ptr<Updater> updater_;
    std::function<void()> installHandler_;
};

} // namespace tovik
