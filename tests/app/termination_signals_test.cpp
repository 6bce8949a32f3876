#include "app/termination_signals.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <csignal>

namespace tovik {
namespace {

TEST(TerminationSignals, eachSignal_arrivesOnTheEventLoop_thenDefaultsReturn) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        {
            TerminationSignals termination;
            QSignalSpy received(&termination, &TerminationSignals::received);
            ASSERT_EQ(::raise(signal), 0);
            // Nothing runs inside the handler itself.
            EXPECT_EQ(received.count(), 0);
            EXPECT_TRUE(received.wait(2000)) << signal;
        }
        struct sigaction current {};
        ::sigaction(signal, nullptr, &current);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << signal;
    }
}

} // namespace
} // namespace tovik
