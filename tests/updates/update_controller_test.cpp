#include "updates/update_controller.h"

#include "support/fake_updater.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

// Builds controllers whose updaters are fakes the test can reach.
struct UpdaterSource {
    int created = 0;
    FakeUpdater* last = nullptr;

    UpdateController::UpdaterFactory factory() {
        return [this](UpdaterDelegate& delegate) {
            ++created;
            auto updater = std::make_unique<FakeUpdater>(delegate);
            last = updater.get();
            return updater;
        };
    }
};

TEST(UpdateController, defaultChannel_isTheConfiguredOne) {
    UpdaterSource source;
    UpdateController controller(source.factory());
    EXPECT_EQ(UpdateController::buildChannel(), CONFIGURED_UPDATE_CHANNEL);
    EXPECT_EQ(controller.updatesEnabled(), QString(CONFIGURED_UPDATE_CHANNEL) == "direct");
}

TEST(UpdateController, otherChannels_neverCreateAnUpdater) {
    for (const QString channel : {"", "Direct", "direct ", "beta"}) {
        SCOPED_TRACE(channel.toStdString());
        UpdaterSource source;
        UpdateController controller(source.factory(), channel);
        controller.startUpdater();
        controller.checkForUpdates();
        EXPECT_FALSE(controller.updatesEnabled());
        EXPECT_EQ(controller.state(), UpdateController::State::disabled);
        EXPECT_FALSE(controller.canCheckForUpdates());
        EXPECT_EQ(source.created, 0);
    }
}

TEST(UpdateController, directChannelWithoutUpdater_staysDisabled) {
    UpdateController controller({}, QStringLiteral("direct"));
    controller.checkForUpdates();
    EXPECT_FALSE(controller.updatesEnabled());
    EXPECT_EQ(controller.state(), UpdateController::State::disabled);
}

TEST(UpdateController, direct_startCreatesOneUpdaterThatChecksOnDemand) {
    UpdaterSource source;
    UpdateController controller(source.factory(), QStringLiteral("direct"));
    EXPECT_TRUE(controller.updatesEnabled());
    EXPECT_EQ(controller.state(), UpdateController::State::disabled);

    controller.startUpdater();
    controller.startUpdater();
    ASSERT_EQ(source.created, 1);
    EXPECT_EQ(controller.state(), UpdateController::State::idle);
    EXPECT_EQ(source.last->checks, 0);

    controller.checkForUpdates();
    EXPECT_EQ(source.last->checks, 1);
    EXPECT_EQ(source.created, 1);
}

TEST(UpdateController, direct_checkBeforeStart_createsTheUpdaterLazily) {
    UpdaterSource source;
    UpdateController controller(source.factory(), QStringLiteral("direct"));
    controller.checkForUpdates();
    ASSERT_EQ(source.created, 1);
    EXPECT_EQ(source.last->checks, 1);
    EXPECT_TRUE(controller.canCheckForUpdates());
    source.last->canCheck = false;
    EXPECT_FALSE(controller.canCheckForUpdates());
}

TEST(UpdateController, waitingUpdate_isInstalledInsteadOfCheckingAgain) {
    UpdaterSource source;
    UpdateController controller(source.factory(), QStringLiteral("direct"));
    controller.startUpdater();
    int firstInstalls = 0;
    int installs = 0;
    EXPECT_TRUE(source.last->reportInstallOnQuit([&firstInstalls] { ++firstInstalls; }));
    EXPECT_TRUE(source.last->reportInstallOnQuit([&installs] { ++installs; }));
    EXPECT_EQ(controller.state(), UpdateController::State::updateWaiting);

    controller.checkForUpdates();
    controller.checkForUpdates();
    EXPECT_EQ(installs, 2);
    EXPECT_EQ(firstInstalls, 0);
    EXPECT_EQ(source.last->checks, 0);
    EXPECT_EQ(controller.state(), UpdateController::State::updateWaiting);
}

TEST(UpdateController, abort_dropsTheWaitingUpdate) {
    UpdaterSource source;
    UpdateController controller(source.factory(), QStringLiteral("direct"));
    controller.startUpdater();
    int installs = 0;
    source.last->reportInstallOnQuit([&installs] { ++installs; });
    source.last->reportAbort();
    EXPECT_EQ(controller.state(), UpdateController::State::idle);

    controller.checkForUpdates();
    EXPECT_EQ(installs, 0);
    EXPECT_EQ(source.last->checks, 1);
}

} // namespace
} // namespace tovik
