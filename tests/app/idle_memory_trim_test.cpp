#include "app/idle_memory_trim.h"

#include "session/session_fixture.h"

namespace tovik {
namespace {

using namespace std::chrono_literals;

class IdleMemoryTrimTest : public SessionFixture {
protected:
    IdleMemoryTrim idle{store, 30ms, [this] { ++trims; }};
    int trims = 0;
};

TEST_F(IdleMemoryTrimTest, idleAfterStartUp_trimsOnceAfterTheQuietPeriod) {
    EXPECT_EQ(trims, 0);
    EXPECT_TRUE(QTest::qWaitFor([this] { return trims == 1; }, 1000));
    QTest::qWait(100);
    EXPECT_EQ(trims, 1);
}

TEST_F(IdleMemoryTrimTest, sessionStartedWithinThePeriod_keepsTheMemoryUntilItEnds) {
    startCapture();
    QTest::qWait(100);
    EXPECT_EQ(trims, 0);

    confirm({10, 10, 100, 50});
    ASSERT_EQ(store.phase(), Phase::monitoring);
    QTest::qWait(100);
    EXPECT_EQ(trims, 0);

    store.stopSession();
    ASSERT_EQ(store.phase(), Phase::review);
    EXPECT_TRUE(QTest::qWaitFor([this] { return trims == 1; }, 1000));
}

} // namespace
} // namespace tovik
