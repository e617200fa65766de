// How the call a thread waits in is read from what the kernel shows of it.
#include "tests/support/ThreadsInCall.h"

#include <gtest/gtest.h>

namespace
{
// A thread asleep in a poll of two descriptors for up to a second, as its
// syscall file shows it.
const std::string kPollSleep = std::to_string(kPollCall) + " 0x7f00deadbee0 0x2 0x3e8 0x0 0x0 0x0 0x7f00deadbe00 0x7f00c0ffee00";
} // namespace

TEST(ThreadsInCall, AThreadAsleepInAPollIsInThePoll)
{
    ThreadCall call;
    ASSERT_TRUE(ParseTaskCall(kPollSleep, "4321 (lobby recv) S 1 1 1 0 -1", call));
    EXPECT_EQ(call.number, kPollCall);
    EXPECT_EQ(call.arguments[1], 2u);
    EXPECT_EQ(call.arguments[2], 1000u);
}

// A thread whose poll has been woken but has not yet been given a
// processor (its wake-up still on its way to the processor that will run
// it) is shown by the kernel still in the call it leaves, while its stat
// says it is ready to run: it is in no wait, and ends none that waits for
// it later than its turn.
TEST(ThreadsInCall, AWokenThreadStillShownInItsPollIsReadyToRun)
{
    ThreadCall call;
    EXPECT_FALSE(ParseTaskCall(kPollSleep, "4321 (lobby recv) R 1 1 1 0 -1", call));
    // A name with a parenthesis and a letter in it changes nothing.
    EXPECT_FALSE(ParseTaskCall(kPollSleep, "4321 (a) S (b) R 1 1 1 0 -1", call));
    EXPECT_TRUE(ParseTaskCall(kPollSleep, "4321 (a) R (b) S 1 1 1 0 -1", call));
}
