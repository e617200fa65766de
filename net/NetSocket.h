#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Small POSIX socket helpers shared by the session layer, the UPnP client
// and the line test. Every socket here is non-blocking; waits go through
// poll() with a deadline.

// Milliseconds of the monotonic clock, truncated to 32 bits (differences of
// two readings stay right across the wrap).
uint32_t NetMilliseconds();

// Owns one socket descriptor and closes it exactly once.
class CNetSocket
{
public:
    CNetSocket() = default;
    explicit CNetSocket(int fd) : m_fd(fd) {}
    ~CNetSocket() { Close(); }
    CNetSocket(CNetSocket&& other) noexcept : m_fd(other.Detach()) {}
    CNetSocket& operator=(CNetSocket&& other) noexcept;
    CNetSocket(const CNetSocket&) = delete;
    CNetSocket& operator=(const CNetSocket&) = delete;

    int Get() const { return m_fd; }
    bool IsValid() const { return m_fd >= 0; }
    int Detach();
    void Close();

private:
    int m_fd = -1;
};

// Wakes a thread sleeping in poll() (an eventfd). Signalled once, it stays
// readable, so every later poll returns at once too.
class CNetWakeEvent
{
public:
    CNetWakeEvent();
    ~CNetWakeEvent();
    CNetWakeEvent(const CNetWakeEvent&) = delete;
    CNetWakeEvent& operator=(const CNetWakeEvent&) = delete;

    bool IsValid() const { return m_fd >= 0; }
    int Get() const { return m_fd; }
    void Signal();

private:
    int m_fd = -1;
};

// Dotted IPv4 text to an address in network order. 0 for anything else.
uint32_t ParseIPv4(const char* text, in_addr* out);

// The local address a socket binds to: chosen by the caller (tests put each
// peer on its own 127.0.0.x), or any when none was chosen.
class NetLocalAddress
{
public:
    // A dotted IPv4 address, or null for any. 0 when the text is no address
    // (the previous choice stays).
    uint32_t Set(const char* dotted)
    {
        if (dotted == nullptr)
        {
            m_set = false;
            return 1;
        }
        if (!ParseIPv4(dotted, &m_address))
            return 0;
        m_set = true;
        return 1;
    }
    // Null for any.
    const in_addr* Get() const { return m_set ? &m_address : nullptr; }

private:
    bool m_set = false;
    in_addr m_address{};
};
// Dotted IPv4 text, else the first IPv4 address the resolver gives.
uint32_t ResolveIPv4(const char* host, in_addr* out);
std::string FormatIPv4(const in_addr& address);
sockaddr_in MakeAddress(const in_addr& address, uint16_t port);

// A non-blocking socket of the given type (SOCK_STREAM or SOCK_DGRAM), with
// SO_REUSEADDR for listeners and close-on-exec. -1 on failure.
int OpenNetSocket(int type);
// Binds a socket to address:port (any address when address is null).
uint32_t BindNetSocket(int fd, const in_addr* address, uint16_t port);
// Connects a new non-blocking TCP socket to target, from local when given
// (port 0), giving up after timeoutMs, or at once when wake (>= 0) is or
// becomes readable. The socket, or an invalid one.
CNetSocket ConnectWithDeadline(const sockaddr_in& target, const in_addr* local, uint32_t timeoutMs, int wake = -1);
// Writes all n bytes or fails: waits for room with poll() until the
// deadline, or until wake (>= 0) is readable. 1 when every byte went out; 0
// on an error, a closed peer, the deadline or the wake (the connection is
// then unusable: part of a frame may be out).
uint32_t SendWithDeadline(int fd, const void* bytes, size_t n, uint32_t timeoutMs, int wake = -1);
// Makes reads on fd block, each for at most timeoutMs (then EAGAIN); sends
// through SendWithDeadline stay non-blocking. A reader thread then needs
// one system call per arrival, and shutdown() wakes it.
uint32_t SetBlockingReads(int fd, uint32_t timeoutMs);
// Waits until fd (or wake, when >= 0) is readable. 1 readable, 0 timeout,
// -1 error or woken.
int WaitReadable(int fd, int wake, uint32_t timeoutMs);
// Whether the far end of a connected socket has closed or reset it, even
// while bytes it sent before are still unread. Never waits.
bool HasNetPeerHungUp(int fd);
