#pragma once

#include <functional>

namespace tovik {

// What an updater reports back to its owner.
class UpdaterDelegate {
public:
    UpdaterDelegate() = default;
    virtual ~UpdaterDelegate() = default;
    UpdaterDelegate(const UpdaterDelegate&) = delete;
    UpdaterDelegate& operator=(const UpdaterDelegate&) = delete;

    /** An update will be installed on quit; `installNow` installs it at once and relaunches.
     * Answers whether the owner offers that itself. */
    virtual bool willInstallUpdateOnQuit(std::function<void()> installNow) = 0;
    /** The pending update was abandoned; the updater shows the error itself. */
    virtual void didAbort() = 0;
};

// An update mechanism outside the program, running from the moment it is created.
class Updater {
public:
    Updater() = default;
    virtual ~Updater() = default;
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    /** Runs a check the user asked for, with the updater's own interface; reports failures itself.
     */
    virtual void checkForUpdates() = 0;
    /** Whether a check may start now; false while one runs. */
    virtual bool canCheckForUpdates() const = 0;
};

} // namespace tovik
