#pragma once

// What calls on this thread spend their time on, judged so that a busy
// machine changes nothing: the work a call does itself (its thread's
// processor time, which neither waits nor other programs lengthen), and
// what it waits for. While a call runs, a sampler thread looks where the
// calling thread waits and follows that wait: a join to the thread it
// waits to end, a lock to the thread that holds it, until it comes to a
// thread that runs or is ready to (that wait ends with its turn, however
// late a busy machine gives it) or to one asleep in a wait of its own. A
// call that sleeps in a watched wait (the wait for a socket, unless told
// otherwise) or waits for a thread asleep there stalls: only a party
// outside the process, a deadline or a thread's next look at its flags
// ends that, whatever the load. A call that waits for itself through
// others is a deadlock, and a stall too.
// A call found in the same stall look after look, not given a processor
// in between, is stuck: its test may never reach its checks, so the watch
// fails the test there and ends the program rather than leave the run
// hung until its time limit.
#include "tests/support/ThreadsInCall.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/futex.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
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

// No wait stalls a call on a watch made with these, only a deadlock does:
// a watch over a whole test, whose waits are its own business.
inline constexpr std::initializer_list<long> kOnlyDeadlocks{};

class CallWatch
{
public:
    // sleeps: the system calls whose sleepers stall a call; SYS_futex
    // counts a wait on a condition variable, kPlainSleepCall a plain sleep.
    explicit CallWatch(std::initializer_list<long> sleeps = {kPollCall})
        : m_sleeps(sleeps), m_memory(::open("/proc/self/mem", O_RDONLY | O_CLOEXEC))
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
        Begin();
        call();
        End();
    }
    // What this thread does from here to End is watched as one call: a
    // fixture watches a whole test so.
    void Begin()
    {
        if (!m_sampler.joinable())
            m_sampler = std::thread([this] { Sample(); });
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_caller = gettid();
            m_sameLooks = 0;
        }
        m_wake.notify_all();
        m_workFrom = ThreadCpuMs();
    }
    void End()
    {
        // A look in progress ends before the caller goes on to other waits.
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_caller == 0)
            return;
        m_longestWork = std::max(m_longestWork, ThreadCpuMs() - m_workFrom);
        m_caller = 0;
    }

    double LongestWork() const { return m_longestWork; }
    // Whether the thread sleeps now in one of the system calls that stall a
    // call.
    bool Asleep(pid_t thread) const
    {
        ThreadCall now;
        return ReadThreadCall(thread, now) && Watched(now.number);
    }
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
    // Looks in a row that find a call in the same stall, not run in
    // between, for it to be stuck: a stall that soon ends is left to end
    // and be counted, and a look every millisecond or more makes this a
    // second or more, however fast the machine.
    static constexpr int kHangLooks = 1000;
    enum class Wait
    {
        Join,
        Lock,
        Other,
        Unknown,
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
            Judge();
            m_wake.wait_for(guard, std::chrono::milliseconds(1), [this] { return m_quit; });
        }
    }

    // Lock held. A stall counts; one that stays long enough fails the test.
    void Judge()
    {
        std::vector<Link> chain;
        std::string seen;
        if (!Look(chain, seen))
        {
            m_sameLooks = 0;
            return;
        }
        if (++m_stalls == 1)
            m_firstStall = seen;
        const uint64_t runs = ThreadRuns(m_caller);
        if (m_sameLooks == 0 || runs != m_lastRuns || !SameChain(chain, m_lastChain))
        {
            m_sameLooks = 0;
            m_lastRuns = runs;
            m_lastChain = std::move(chain);
        }
        if (++m_sameLooks == kHangLooks)
            Hang(seen);
    }

    // The call's thread is stuck for good, so the test can't end in the
    // usual way: the failure is reported now and the program ends with it.
    [[noreturn]] void Hang(const std::string& seen) const
    {
        ADD_FAILURE() << "the call is stuck: " << seen << ", the same at " << kHangLooks
                      << " looks in a row without the call being run";
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        if (test != nullptr)
            std::printf("[  FAILED  ] %s.%s (hung; the program ends)\n", test->test_suite_name(), test->name());
        std::fflush(nullptr);
        std::_Exit(EXIT_FAILURE);
    }

    // Lock held. Whether the call stalls now: the chain of threads it
    // waits through, and what it saw there.
    bool Look(std::vector<Link>& chain, std::string& seen) const
    {
        seen = "the call";
        pid_t at = m_caller;
        for (int link = 0;; ++link)
        {
            Link next{at, {}};
            if (link == kMostLinks || !ReadThreadCall(at, next.call))
                return false;
            chain.push_back(next);
            const auto [wait, thread] = WaitsFor(next.call);
            if (wait == Wait::Other)
            {
                if (!Watched(next.call.number))
                    return false;
                seen += " sleeps in " + WaitName(next.call.number) + PollDetail(next.call);
                break;
            }
            // A lock or a join whose other side can't be told, or a wait
            // the watch can't read: no verdict.
            if (wait == Wait::Unknown || thread == 0)
                return false;
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
            if (!ReadThreadCall(link.thread, again) || !SameCall(again, link.call))
                return false;
        }
        return true;
    }

    static bool SameCall(const ThreadCall& one, const ThreadCall& other)
    {
        return one.number == other.number &&
               std::equal(std::begin(one.arguments), std::end(one.arguments), std::begin(other.arguments));
    }
    static bool SameChain(const std::vector<Link>& one, const std::vector<Link>& other)
    {
        return std::equal(one.begin(), one.end(), other.begin(), other.end(), [](const Link& a, const Link& b) {
            return a.thread == b.thread && SameCall(a.call, b.call);
        });
    }

    bool Watched(long call) const { return std::ranges::find(m_sleeps, call) != m_sleeps.end(); }
    static std::string WaitName(long call)
    {
        if (call == kPollCall)
            return "a wait for a socket";
        if (call == SYS_futex)
            return "a wait on a condition variable";
        if (call == kPlainSleepCall)
            return "a plain sleep, which nothing wakes";
        return "system call " + std::to_string(call);
    }

    // Which poll a stall sleeps in, to find it in the code: its timeout
    // and what its descriptors are (a socket, the eventfd that wakes it).
    std::string PollDetail(const ThreadCall& call) const
    {
        if (call.number != kPollCall || m_memory < 0)
            return "";
        std::string detail = " (timeout " + std::to_string(static_cast<int>(call.arguments[2])) + " ms:";
        const uint64_t count = std::min<uint64_t>(call.arguments[1], 4);
        for (uint64_t i = 0; i < count; ++i)
        {
            pollfd entry{};
            const off_t at = static_cast<off_t>(call.arguments[0] + i * sizeof(pollfd));
            if (::pread(m_memory, &entry, sizeof(entry), at) != sizeof(entry))
                break;
            std::error_code error;
            const auto target = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(entry.fd), error);
            detail += " " + (error ? std::string("?") : target.string()) + " events " + std::to_string(entry.events);
        }
        return detail + ")";
    }

    // What a thread in this call waits for: the thread it joins (a futex
    // wait shared with the kernel, on the word that holds the thread's id
    // until it ends), or the holder of a lock (a private wait on a taken
    // lock's word; glibc keeps the holder's id two words on). A condition
    // variable waits in a private bitset wait; other futex waits (the
    // sanitizers' own locks) tell nothing of the call.
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
        if (!shared && operation == FUTEX_WAIT_BITSET)
            return {Wait::Other, 0};
        return {Wait::Unknown, 0};
    }

    static bool Lives(uint64_t thread)
    {
        std::error_code error;
        return thread > 0 && thread < (1u << 22) &&
               std::filesystem::exists("/proc/self/task/" + std::to_string(thread), error);
    }

    const std::vector<long> m_sleeps;
    const int m_memory;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::thread m_sampler;
    bool m_quit = false;
    pid_t m_caller = 0;
    int m_stalls = 0;
    std::string m_firstStall;
    // The stall the last looks found in a row, and the call's runs then.
    std::vector<Link> m_lastChain;
    uint64_t m_lastRuns = 0;
    int m_sameLooks = 0;
    double m_workFrom = 0.0;
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
