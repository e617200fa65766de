#pragma once

// How many times longer a test may wait for work whose length the build's
// own speed sets (a flood worked through message by message). Under
// ThreadSanitizer the same work takes several times as long as in the
// builds the waits were sized for; elsewhere it is 1. Timeouts of the code
// under test stay as they are.
#include <cstdint>

namespace kvrtest
{
#ifdef KVR_TEST_TIME_SCALE
constexpr uint32_t kTimeScale = KVR_TEST_TIME_SCALE;
#else
constexpr uint32_t kTimeScale = 1;
#endif
} // namespace kvrtest
