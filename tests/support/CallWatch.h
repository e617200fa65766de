#pragma once

// What calls on this thread spend their time on, judged so that a busy
// machine changes nothing: the work a call does itself (its thread's
// processor time, which neither waits nor other programs lengthen), and
// what it waits for. While a call runs, a sampler thread looks where the
// calling thread waits and follows that wait: a join to the thread it
// waits to end, a lock to the thread that holds it, until it comes to a
// thread that runs or is ready to (that wait ends with its turn, however
// late a busy machine gives it) or to one asleep in a wait of its own. A
// call that sleeps in the watched wait (the wait for a socket, unless told
// otherwise) or waits for a thread asleep there stalls: only a party
// outside the process, a deadline or a thread's next look at its flags
// ends that, whatever the load. A call that waits for itself through
// others is a deadlock, and a stall too.
#include "tests/support/ThreadsInCall.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/futex.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Milliseconds the calling thread has run on a processor.
inline double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

class CallWatch
{
public:
    // sleep: the system call whose sleepers stall a call; SYS_futex counts
    // a futex wait that is neither a join nor a lock (a condition).
    explicit CallWatch(long sleep = kPollCall)
        : m_sleep(sleep), m_memory(::open("/proc/self/mem", O_RDONLY | O_CLOEXEC))
    {
    }
    ~CallWatch()
    {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_quit = true;
        }
        m_wake.notify_all();
        if (m_sampler.joinable())
            m_sampler.join();
        if (m_memory >= 0)
            ::close(m_memory);
    }
    CallWatch(const CallWatch&) = delete;
    CallWatch& operator=(const CallWatch&) = delete;

    template <typename Call>
    void Run(Call&& call)
    {
        if (!m_sampler.joinable())
            m_sampler = std::thread([this] { Sample(); });
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_caller = gettid();
        }
        m_wake.notify_all();
        const double work = ThreadCpuMs();
        call();
        m_longestWork = std::max(m_longestWork, ThreadCpuMs() - work);
        // A look in progress ends before the caller goes on to other waits.
        std::lock_guard<std::mutex> guard(m_lock);
        m_caller = 0;
    }

    double LongestWork() const { return m_longestWork; }
    // Looks that found a call stalled, and what the first one saw.
    int Stalls() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_stalls;
    }
    std::string FirstStall() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_firstStall;
    }

private:
    static constexpr int kMostLinks = 8;
    enum class Wait
    {
        Join,
        Lock,
        Other,
    };
    struct Link
    {
        pid_t thread = 0;
        ThreadCall call;
    };

    void Sample()
    {
        std::unique_lock<std::mutex> guard(m_lock);
        while (!m_quit)
        {
            if (m_caller == 0)
            {
                m_wake.wait(guard, [this] { return m_quit || m_caller != 0; });
                continue;
            }
            Look();
            m_wake.wait_for(guard, std::chrono::milliseconds(1), [this] { return m_quit; });
        }
    }

    // Lock held.
    void Look()
    {
        std::vector<Link> chain;
        std::string seen = "the call";
        pid_t at = m_caller;
        for (int link = 0;; ++link)
        {
            Link next{at, {}};
            if (link == kMostLinks || !ReadThreadCall(at, next.call))
                return;
            chain.push_back(next);
            const auto [wait, thread] = WaitsFor(next.call);
            if (wait == Wait::Other)
            {
                if (next.call.number != m_sleep)
                    return;
                seen += " sleeps in system call " + std::to_string(next.call.number);
                break;
            }
            // A lock or a join whose other side can't be told: no verdict.
            if (thread == 0)
                return;
            seen += wait == Wait::Join ? " joins a thread that" : " waits for a lock held by a thread that";
            if (thread == m_caller)
            {
                seen += " is the call's own thread (a deadlock)";
                break;
            }
            at = thread;
        }
        // The chain was read a thread at a time: it holds only if every
        // link still waits where it did.
        for (const Link& link : chain)
        {
            ThreadCall again;
            if (!ReadThreadCall(link.thread, again) || again.number != link.call.number ||
                !std::equal(std::begin(again.arguments), std::end(again.arguments), std::begin(link.call.arguments)))
                return;
        }
        if (++m_stalls == 1)
            m_firstStall = seen;
    }

    // What a thread in this call waits for: the thread it joins (a futex
    // wait shared with the kernel, on the word that holds the thread's id
    // until it ends), or the holder of a lock (a private wait on a taken
    // lock's word; glibc keeps the holder's id two words on).
    std::pair<Wait, pid_t> WaitsFor(const ThreadCall& call) const
    {
        if (call.number != SYS_futex)
            return {Wait::Other, 0};
        const uint64_t operation = call.arguments[1] & FUTEX_CMD_MASK;
        const bool shared = (call.arguments[1] & FUTEX_PRIVATE_FLAG) == 0;
        const uint64_t expected = call.arguments[2];
        if (shared && (operation == FUTEX_WAIT || operation == FUTEX_WAIT_BITSET) && Lives(expected))
            return {Wait::Join, static_cast<pid_t>(expected)};
        if (!shared && operation == FUTEX_WAIT && expected == 2)
        {
            int32_t holder = 0;
            const off_t at = static_cast<off_t>(call.arguments[0] + 2 * sizeof(int32_t));
            if (m_memory >= 0 && ::pread(m_memory, &holder, sizeof(holder), at) == sizeof(holder) && holder > 0 &&
                Lives(static_cast<uint64_t>(holder)))
                return {Wait::Lock, holder};
            return {Wait::Lock, 0};
        }
        return {Wait::Other, 0};
    }

    static bool Lives(uint64_t thread)
    {
        std::error_code error;
        return thread > 0 && thread < (1u << 22) &&
               std::filesystem::exists("/proc/self/task/" + std::to_string(thread), error);
    }

    const long m_sleep;
    const int m_memory;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::thread m_sampler;
    bool m_quit = false;
    pid_t m_caller = 0;
    int m_stalls = 0;
    std::string m_firstStall;
    double m_longestWork = 0.0;
};

// No call the watch ran stalled; what the first stall was otherwise.
inline ::testing::AssertionResult NoStall(const CallWatch& watch)
{
    if (watch.Stalls() == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << watch.Stalls() << " looks found a call stalled; the first: "
                                         << watch.FirstStall();
}
