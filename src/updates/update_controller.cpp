#include "updates/update_controller.h"

namespace tovik {

QString UpdateController::buildChannel() {
    return QStringLiteral(TOVIK_UPDATE_CHANNEL);
}

UpdateController::UpdateController(UpdaterFactory factory, QString channel)
    : factory_(std::move(factory))
    , channel_(std::move(channel)) {}

bool UpdateController::updatesEnabled() const {
    return channel_ == QLatin1String("direct") && factory_;
}

UpdateController::State UpdateController::state() const {
    if (!updater_)
        return State::disabled;
    return installHandler_ ? State::updateWaiting : State::idle;
}

bool UpdateController::canCheckForUpdates() const {
    return updater_ && updater_->canCheckForUpdates();
}

void UpdateController::startUpdater() {
    if (updatesEnabled() && !updater_)
        updater_ = factory_(*this);
}

void UpdateController::checkForUpdates() {
    if (!updatesEnabled())
        return;
    if (installHandler_) {
        // Kept: the updater relaunches the application, or reports an abort.
        installHandler_();
        return;
    }
    startUpdater();
    if (updater_)
        updater_->checkForUpdates();
}

bool UpdateController::willInstallUpdateOnQuit(std::function<void()> installNow) {
    installHandler_ = std::move(installNow);
    return true;
}

void UpdateController::didAbort() {
    installHandler_ = nullptr;
}

} // namespace tovik
