#pragma once

// Helpers of the network tests: loopback ports claimed for the test,
// child processes that stand for other hosts, and bounded waits.

#include "net/NetHeader.h"
#include "net/NetSocket.h"

#include <arpa/inet.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <thread>
#include <vector>

namespace nettest
{
// Ports the code under test binds later, told in advance (a server's port,
// the same port on several addresses). Between the pick and the bind two
// things could take such a port: the kernel, which hands the ports of its
// local range to every bind to port 0 and every connect of every program,
// and another test program picking at the same time. So a pick lies outside
// the kernel's range, and this process claims it for the rest of its life
// under a name that one process at a time can hold (an abstract Unix
// socket): no other test program on the machine picks it meanwhile, and no
// later test of this one.
namespace detail
{
// The ports the kernel hands out itself.
inline void KernelPortRange(uint32_t* low, uint32_t* high)
{
    *low = 32768;
    *high = 60999;
    if (FILE* file = std::fopen("/proc/sys/net/ipv4/ip_local_port_range", "r"))
    {
        unsigned first = 0;
        unsigned last = 0;
        if (std::fscanf(file, "%u %u", &first, &last) == 2 && first <= last)
        {
            *low = first;
            *high = last;
        }
        std::fclose(file);
    }
}

// Claims port for this process; false when another process holds it. The
// claim is never given up: it ends with the process.
inline bool ClaimPort(uint16_t port)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un name{};
    name.sun_family = AF_UNIX;
    const int length = std::snprintf(name.sun_path + 1, sizeof(name.sun_path) - 1, "kvr-test-port-%u", port);
    const socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&name), size) != 0)
    {
        ::close(fd);
        return false;
    }
    return true;
}

// Free for every type on every address (bound as the code under test
// binds: SO_REUSEADDR, so only a listener or a datagram socket there
// counts).
inline bool FreeOn(uint16_t port, std::initializer_list<const char*> addresses, std::initializer_list<int> types)
{
    for (const char* address : addresses)
    {
        in_addr local{};
        if (!ParseIPv4(address, &local))
            return false;
        for (int type : types)
        {
            CNetSocket probe(OpenNetSocket(type));
            if (!probe.IsValid() || !BindNetSocket(probe.Get(), &local, port))
                return false;
        }
    }
    return true;
}
} // namespace detail

// A port claimed for this process and free for every type on every
// address; 0 when none is left.
inline uint16_t ClaimFreePort(std::initializer_list<const char*> addresses, std::initializer_list<int> types)
{
    constexpr uint32_t kFirst = 10000;
    uint32_t low = 0;
    uint32_t high = 0;
    detail::KernelPortRange(&low, &high);
    // A kernel that keeps every port to itself: the claims still keep test
    // programs apart.
    const bool roomOutside = low > kFirst || high < 65535;
    std::vector<uint16_t> candidates;
    for (uint32_t port = kFirst; port <= 65535; ++port)
        if (!roomOutside || port < low || port > high)
            candidates.push_back(static_cast<uint16_t>(port));
    // Test programs started together begin their search apart.
    const size_t start = static_cast<size_t>(getpid()) * 7919u % candidates.size();
    for (size_t i = 0; i < candidates.size(); ++i)
    {
        const uint16_t port = candidates[(start + i) % candidates.size()];
        if (detail::ClaimPort(port) && detail::FreeOn(port, addresses, types))
            return port;
    }
    return 0;
}

// A port for one type on address.
inline uint16_t FreePort(const char* address, int type)
{
    return ClaimFreePort({address}, {type});
}

// A port for both TCP and UDP on address.
inline uint16_t FreePortBoth(const char* address)
{
    return ClaimFreePort({address}, {SOCK_STREAM, SOCK_DGRAM});
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
        const pid_t test = getpid();
        m_pid = fork();
        if (m_pid == 0)
        {
            // A host left behind by a killed test would wait on its
            // sockets for ever: it goes with the test.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != test)
                _exit(1);
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
    pid_t Pid() const { return m_pid; }
    // Sends a signal (SIGSTOP, SIGCONT...); false when there is no child.
    bool Signal(int signal) { return m_pid > 0 && kill(m_pid, signal) == 0; }
    // Whether the child has stopped (SIGSTOP, its own or another's) since
    // last asked: each stop is told once. Never waits, and leaves an exit
    // to Wait.
    bool HasStopped()
    {
        siginfo_t info{};
        return m_pid > 0 && waitid(P_PID, static_cast<id_t>(m_pid), &info, WSTOPPED | WNOHANG) == 0 &&
               info.si_pid == m_pid && info.si_code == CLD_STOPPED;
    }
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
