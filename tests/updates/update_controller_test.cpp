#include "updates/update_controller.h"

#include "support/fake_updater.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

class UpdateControllerTest : public ::testing::Test {
protected:
    // Makes fakes the test can reach through `updater`.
    UpdateController::UpdaterFactory factory() {
        return [this](UpdaterDelegate& delegate) {
            ++created;
            auto made = std::make_unique<FakeUpdater>(delegate);
            updater = made.get();
            return made;
        };
    }
    int created = 0;
    FakeUpdater* updater = nullptr;
    UpdateController direct{factory(), QStringLiteral("direct")};
};

TEST_F(UpdateControllerTest, onlyTheDirectChannelWithAFactoryOffersUpdates) {
    EXPECT_EQ(UpdateController::buildChannel(), CONFIGURED_UPDATE_CHANNEL);
    EXPECT_EQ(UpdateController(factory()).updatesEnabled(),
              QString(CONFIGURED_UPDATE_CHANNEL) == "direct");
    EXPECT_FALSE(UpdateController({}, QStringLiteral("direct")).updatesEnabled());
    for (const QString channel : {"", "Direct", "direct "}) {
        UpdateController controller(factory(), channel);
        controller.startUpdater();
        controller.checkForUpdates();
        EXPECT_FALSE(controller.updatesEnabled()) << channel.toStdString();
    }
    EXPECT_EQ(created, 0);
}

TEST_F(UpdateControllerTest, direct_oneUpdaterAtFirstCheck_aWaitingUpdateInstallsUntilAborted) {
    direct.checkForUpdates();
    direct.startUpdater();
    ASSERT_EQ(created, 1);
    EXPECT_EQ(updater->checks, 1);
    EXPECT_EQ(direct.state(), UpdateController::State::idle);
    int installs = 0;
    EXPECT_TRUE(updater->reportInstallOnQuit([] { ADD_FAILURE() << "replaced handler ran"; }));
    EXPECT_TRUE(updater->reportInstallOnQuit([&] { ++installs; }));
    EXPECT_EQ(direct.state(), UpdateController::State::updateWaiting);
    direct.checkForUpdates();
    direct.checkForUpdates();
    EXPECT_EQ(installs, 2);
    updater->reportAbort();
    EXPECT_EQ(direct.state(), UpdateController::State::idle);
    direct.checkForUpdates();
    EXPECT_EQ(updater->checks, 2); // never while an update waited
}

} // namespace
} // namespace tovik
