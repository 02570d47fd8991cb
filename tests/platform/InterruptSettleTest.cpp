// The signal a run ends with is fixed where its outcome is told: a signal
// that comes after the report of a finished run must not turn its exit 0
// into 128 + N while the report says it finished.
#include <gtest/gtest.h>
#include <signal.h>

#include "platform/Interrupts.h"

namespace {

TEST(InterruptSettle, SignalAfterTheSettlingIsIgnored) {
    platform::InterruptWatcher settledFirst;
    EXPECT_EQ(settledFirst.Settle(), 0);
    settledFirst.Record(SIGINT);
    EXPECT_EQ(settledFirst.Signal(), 0);
    EXPECT_EQ(settledFirst.Settle(), 0);

    platform::InterruptWatcher signalledFirst;
    signalledFirst.Record(SIGTERM);
    signalledFirst.Record(SIGINT);
    EXPECT_EQ(signalledFirst.Settle(), SIGTERM);
    EXPECT_EQ(signalledFirst.Signal(), SIGTERM);
    EXPECT_EQ(signalledFirst.Settle(), SIGTERM);
}

}  // namespace
