#pragma once

// How long calls take, counted so that a busy machine does not lengthen it:
// a check on a call's time holds on a loaded two-core run as on a quiet one.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>

// Nanoseconds the calling thread has spent ready to run while others ran
// on the processors; 0 where the kernel does not tell.
inline uint64_t RunQueueWaitNs()
{
    std::FILE* file = std::fopen("/proc/thread-self/schedstat", "r");
    if (file == nullptr)
        return 0;
    unsigned long long running = 0;
    unsigned long long waiting = 0;
    const int fields = std::fscanf(file, "%llu %llu", &running, &waiting);
    std::fclose(file);
    return fields == 2 ? waiting : 0;
}

// Milliseconds the calling thread has run on a processor.
inline double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Milliseconds a call takes, and the longest of all calls timed. What
// counts is the time the call ran or waited for something (a lock, a
// socket, a peer, another thread), not the time a busy machine gave the
// processor to other programs meanwhile: a call that waits for a peer
// waits whatever the load. A call that waited for the network waits as
// long as the deadline it waited on, so limits are fractions of the
// deadlines the tests set. Apart from that, the work the call did itself
// (its thread's processor time), which neither waits nor a busy machine
// lengthen.
class CallTimer
{
public:
    template <typename Call>
    double Time(Call&& call)
    {
        const uint64_t queuedBefore = RunQueueWaitNs();
        const double workBefore = ThreadCpuMs();
        const auto start = std::chrono::steady_clock::now();
        call();
        const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const double queued = static_cast<double>(RunQueueWaitNs() - queuedBefore) / 1e6;
        const double ms = std::max(0.0, wall - queued);
        m_longest = std::max(m_longest, ms);
        m_longestWork = std::max(m_longestWork, ThreadCpuMs() - workBefore);
        return ms;
    }
    double Longest() const { return m_longest; }
    double LongestWork() const { return m_longestWork; }

private:
    double m_longest = 0.0;
    double m_longestWork = 0.0;
};
