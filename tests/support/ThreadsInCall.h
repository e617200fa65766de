#pragma once

// Where the threads of this process wait, as the kernel shows it: a test
// that sets up a race waits until a thread is where the race needs it
// (waiting for a lock, for room in a socket) rather than for a time it
// hopes is long enough.
#include <sys/syscall.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

// The call a thread waits in while it waits for a socket.
#ifdef SYS_poll
constexpr long kPollCall = SYS_poll;
#else
constexpr long kPollCall = SYS_ppoll;
#endif

// How many threads of this process are in the system call now, with first
// as its first argument unless that is null. A thread that finds a mutex
// taken waits in SYS_futex on the mutex's first word.
inline int ThreadsInCall(long call, const void* first = nullptr)
{
    int count = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error))
    {
        std::ifstream file(task.path() / "syscall");
        long number = -1;
        std::string argument;
        if (!(file >> number >> argument) || number != call)
            continue;
        if (first == nullptr || std::strtoull(argument.c_str(), nullptr, 16) == reinterpret_cast<uintptr_t>(first))
            ++count;
    }
    return count;
}
