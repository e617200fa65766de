#pragma once

// Helpers of the network tests: free loopback ports, child processes that
// stand for other hosts, and bounded waits.

#include "net/NetHeader.h"
#include "net/NetSocket.h"

#include <arpa/inet.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace nettest
{
// A port that is free on address right now, for protocols that want the
// same port on several addresses.
inline uint16_t FreePort(const char* address, int type)
{
    CNetSocket probe(OpenNetSocket(type));
    in_addr local{};
    if (!probe.IsValid() || !ParseIPv4(address, &local) || !BindNetSocket(probe.Get(), &local, 0))
        return 0;
    sockaddr_in bound{};
    socklen_t length = sizeof(bound);
    getsockname(probe.Get(), reinterpret_cast<sockaddr*>(&bound), &length);
    return ntohs(bound.sin_port);
}

// A free port on address for both TCP and UDP.
inline uint16_t FreePortBoth(const char* address)
{
    for (int attempt = 0; attempt < 50; ++attempt)
    {
        const uint16_t port = FreePort(address, SOCK_STREAM);
        CNetSocket udp(OpenNetSocket(SOCK_DGRAM));
        in_addr local{};
        ParseIPv4(address, &local);
        if (port != 0 && BindNetSocket(udp.Get(), &local, port))
            return port;
    }
    return 0;
}

// Polls condition every 5 ms until it holds or timeoutMs passed.
inline bool WaitUntil(const std::function<bool()>& condition, uint32_t timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Another host: a forked process running body; its result is the exit code.
class ChildProcess
{
public:
    explicit ChildProcess(const std::function<int()>& body)
    {
        m_pid = fork();
        if (m_pid == 0)
        {
            const int code = body();
            _exit(code);
        }
    }
    ~ChildProcess()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    // Sends a signal (SIGSTOP, SIGCONT...); false when there is no child.
    bool Signal(int signal) { return m_pid > 0 && kill(m_pid, signal) == 0; }
    void Kill()
    {
        if (m_pid > 0)
            kill(m_pid, SIGKILL);
    }
    // The exit code, or -1 when it didn't end in time (then it is killed)
    // or ended by a signal.
    int Wait(uint32_t timeoutMs)
    {
        if (m_pid <= 0)
            return -1;
        int status = 0;
        const bool ended = WaitUntil([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; }, timeoutMs);
        if (!ended)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
            return -1;
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
};

// A raw TCP connection from local to target:port, retried while the
// listener is not up yet (bounded).
inline CNetSocket ConnectRetrying(const char* local, const char* target, uint16_t port)
{
    in_addr from{};
    in_addr to{};
    ParseIPv4(local, &from);
    ParseIPv4(target, &to);
    for (int attempt = 0; attempt < 400; ++attempt)
    {
        CNetSocket socket = ConnectWithDeadline(MakeAddress(to, port), &from, 2000);
        if (socket.IsValid())
            return socket;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return CNetSocket();
}

inline std::vector<uint8_t> Frame(int16_t id, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> frame;
    BuildNetFrame(frame, id, 1, payload.data(), static_cast<uint32_t>(payload.size()));
    return frame;
}
} // namespace nettest
