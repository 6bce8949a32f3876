#pragma once

#include "updates/updater.h"

#include <functional>

namespace tovik {

// Counts the checks asked of it and plays the updater's reports to its delegate.
class FakeUpdater final : public Updater {
public:
    explicit FakeUpdater(UpdaterDelegate& delegate)
        : delegate_(delegate) {}

    void checkForUpdates() override { ++checks; }
    bool canCheckForUpdates() const override { return canCheck; }

    bool reportInstallOnQuit(std::function<void()> installNow) {
        return delegate_.willInstallUpdateOnQuit(std::move(installNow));
    }
    void reportAbort() { delegate_.didAbort(); }

    int checks = 0;
    bool canCheck = true;

private:
    UpdaterDelegate& delegate_;
};

} // namespace tovik
