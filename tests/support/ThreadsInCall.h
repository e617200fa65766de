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
#include <string>
#include <system_error>
#include <vector>

// The call a thread waits in while it waits for a socket.
#ifdef SYS_poll
constexpr long kPollCall = SYS_poll;
#else
constexpr long kPollCall = SYS_ppoll;
#endif

// Whether the thread of /proc/self/task/<id> is in the system call now,
// with first as its first argument unless that is null. A thread that
// finds a mutex taken waits in SYS_futex on the mutex's first word.
inline bool TaskIsInCall(const std::filesystem::path& task, long call, const void* first = nullptr)
{
    std::ifstream file(task / "syscall");
    long number = -1;
    std::string argument;
    if (!(file >> number >> argument) || number != call)
        return false;
    return first == nullptr || std::strtoull(argument.c_str(), nullptr, 16) == reinterpret_cast<uintptr_t>(first);
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
