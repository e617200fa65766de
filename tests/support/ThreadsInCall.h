#pragma once

// Where the threads of this process wait, as the kernel shows it: a test
// that sets up a race waits until a thread is where the race needs it
// (waiting for a lock, for room in a socket) rather than for a time it
// hopes is long enough.
#include <sys/syscall.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

// The call a thread waits in while it waits for a socket.
#ifdef SYS_poll
constexpr long kPollCall = SYS_poll;
#else
constexpr long kPollCall = SYS_ppoll;
#endif

// The call a thread waits in while it sleeps for a set time (nanosleep,
// usleep, sleep_for): nothing but that time ends it.
constexpr long kPlainSleepCall = SYS_clock_nanosleep;

// A thread's system call and its first three arguments, as the kernel
// shows them while the thread waits in the call.
struct ThreadCall
{
    long number = -1;
    uint64_t arguments[3] = {};
};

// The call a task waits in, from the texts of its syscall file and of its
// stat file read after it. False while the task runs or is ready to.
// The syscall file alone can't tell a sleeper from a thread just woken: it
// shows the call of any thread that is off its processor and not marked
// running, and a woken thread is not so marked until the processor that
// is to run it takes it in (on a busy machine, or in a virtual machine
// whose processor the host holds back, a millisecond or more later). The
// stat's state, R from the wake-up on, tells the two apart.
inline bool ParseTaskCall(const std::string& syscall, const std::string& stat, ThreadCall& call)
{
    // The state follows the name, which may itself hold parentheses.
    const size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos || nameEnd + 2 >= stat.size() || stat[nameEnd + 2] == 'R')
        return false;
    std::istringstream file(syscall);
    std::string text;
    if (!(file >> text) || text == "running")
        return false;
    call.number = std::strtol(text.c_str(), nullptr, 10);
    for (uint64_t& argument : call.arguments)
    {
        if (!(file >> text))
            return false;
        argument = std::strtoull(text.c_str(), nullptr, 16);
    }
    return call.number >= 0;
}

// False while the thread of /proc/self/task/<id> runs or is ready to, and
// once it has ended.
inline bool ReadTaskCall(const std::filesystem::path& task, ThreadCall& call)
{
    const auto read = [&task](const char* name) {
        std::ifstream file(task / name);
        std::string text;
        std::getline(file, text);
        return text;
    };
    // The stat after the call: what it says holds from the call's reading on.
    const std::string syscall = read("syscall");
    return ParseTaskCall(syscall, read("stat"), call);
}

inline bool ReadThreadCall(pid_t thread, ThreadCall& call)
{
    return ReadTaskCall(std::filesystem::path("/proc/self/task") / std::to_string(thread), call);
}

// Whether the thread of /proc/self/task/<id> is in the system call now,
// with first as its first argument unless that is null. A thread that
// finds a mutex taken waits in SYS_futex on the mutex's first word.
inline bool TaskIsInCall(const std::filesystem::path& task, long call, const void* first = nullptr)
{
    ThreadCall now;
    return ReadTaskCall(task, now) && now.number == call &&
           (first == nullptr || now.arguments[0] == reinterpret_cast<uintptr_t>(first));
}

inline bool ThreadIsInCall(pid_t thread, long call, const void* first = nullptr)
{
    return TaskIsInCall(std::filesystem::path("/proc/self/task") / std::to_string(thread), call, first);
}

// The threads of this process (their ids) in the system call now, or all
// of them.
constexpr long kAnyCall = -1;
inline std::vector<pid_t> Threads(long call = kAnyCall, const void* first = nullptr)
{
    std::vector<pid_t> threads;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error))
        if (call == kAnyCall || TaskIsInCall(task.path(), call, first))
            threads.push_back(static_cast<pid_t>(std::stol(task.path().filename().string())));
    return threads;
}

inline int ThreadsInCall(long call, const void* first = nullptr)
{
    return static_cast<int>(Threads(call, first).size());
}

// How many times the thread has been given a processor: it changes once a
// thread that slept has woken.
inline uint64_t ThreadRuns(pid_t thread)
{
    std::ifstream file(std::filesystem::path("/proc/self/task") / std::to_string(thread) / "schedstat");
    uint64_t running = 0;
    uint64_t waiting = 0;
    uint64_t runs = 0;
    file >> running >> waiting >> runs;
    return runs;
}
