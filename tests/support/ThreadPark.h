#pragma once

// Holds a thread of this process where it is until the test lets it go,
// whatever it waits in: a party of a race kept at the bad moment while the
// other walks into it. The thread waits in a signal handler; a call it was
// waiting in comes back with EINTR once it is let go.
#include "tests/support/ThreadsInCall.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

class ThreadPark
{
public:
    explicit ThreadPark(pid_t thread) : m_thread(thread)
    {
        for (Gate& gate : Gates())
        {
            pid_t free = 0;
            if (gate.thread.compare_exchange_strong(free, thread))
            {
                m_gate = &gate;
                break;
            }
        }
        if (m_gate == nullptr || pipe2(m_pipe, O_CLOEXEC) != 0)
            return;
        m_gate->fd.store(m_pipe[0]);
        struct sigaction action{};
        action.sa_handler = &Hold;
        sigemptyset(&action.sa_mask);
        sigaction(kSignal, &action, &m_previous);
        m_parked = syscall(SYS_tgkill, getpid(), thread, kSignal) == 0 && WaitAtGate(true);
    }
    ~ThreadPark()
    {
        LetGo();
        WaitAtGate(false);
        if (m_gate == nullptr)
            return;
        sigaction(kSignal, &m_previous, nullptr);
        m_gate->fd.store(-1);
        m_gate->thread.store(0);
        close(m_pipe[0]);
        close(m_pipe[1]);
    }
    ThreadPark(const ThreadPark&) = delete;
    ThreadPark& operator=(const ThreadPark&) = delete;

    // Whether the thread waits at its gate (until LetGo).
    bool Parked() const { return m_parked; }
    void LetGo()
    {
        if (!m_parked)
            return;
        m_parked = false;
        const char byte = 0;
        [[maybe_unused]] const ssize_t n = write(m_pipe[1], &byte, 1);
    }

private:
    static constexpr int kSignal = SIGUSR1;
    static constexpr int kWaitMs = 10000;
    static constexpr size_t kGates = 4;
    struct Gate
    {
        std::atomic<pid_t> thread{0};
        std::atomic<int> fd{-1};
    };
    // One per thread parked at a time.
    static std::array<Gate, kGates>& Gates()
    {
        static std::array<Gate, kGates> gates;
        return gates;
    }
    static void Hold(int)
    {
        const int saved = errno;
        const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
        for (Gate& gate : Gates())
        {
            char byte = 0;
            if (gate.thread.load() == self)
                while (read(gate.fd.load(), &byte, 1) < 0 && errno == EINTR)
                {
                }
        }
        errno = saved;
    }
    // Bounded wait until the thread is at its gate, or away from it.
    bool WaitAtGate(bool there) const
    {
        const void* gate = reinterpret_cast<const void*>(static_cast<uintptr_t>(m_pipe[0]));
        for (int ms = 0; ms < kWaitMs; ++ms)
        {
            if (ThreadIsInCall(m_thread, SYS_read, gate) == there)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    pid_t m_thread;
    Gate* m_gate = nullptr;
    int m_pipe[2] = {-1, -1};
    struct sigaction m_previous{};
    bool m_parked = false;
};
