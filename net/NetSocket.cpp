#include "net/NetSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

uint32_t NetMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

CNetSocket& CNetSocket::operator=(CNetSocket&& other) noexcept
{
    if (this != &other)
    {
        Close();
        m_fd = other.Detach();
    }
    return *this;
}

int CNetSocket::Detach()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void CNetSocket::Close()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
}

CNetWakeEvent::CNetWakeEvent() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CNetWakeEvent::~CNetWakeEvent()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void CNetWakeEvent::Signal()
{
    if (m_fd < 0)
        return;
    const uint64_t one = 1;
    const ssize_t written = ::write(m_fd, &one, sizeof(one));
    (void)written;
}

uint32_t ParseIPv4(const char* text, in_addr* out)
{
    if (text == nullptr || out == nullptr)
        return 0;
    return inet_pton(AF_INET, text, out) == 1 ? 1u : 0u;
}

uint32_t ResolveIPv4(const char* host, in_addr* out)
{
    if (ParseIPv4(host, out))
        return 1;
    if (host == nullptr || out == nullptr || host[0] == '\0')
        return 0;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr)
        return 0;
    uint32_t ok = 0;
    for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next)
    {
        if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in))
        {
            sockaddr_in address{};
            std::memcpy(&address, entry->ai_addr, sizeof(address));
            *out = address.sin_addr;
            ok = 1;
            break;
        }
    }
    freeaddrinfo(found);
    return ok;
}

std::string FormatIPv4(const in_addr& address)
{
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &address, text, sizeof(text)) == nullptr)
        return std::string();
    return std::string(text);
}

sockaddr_in MakeAddress(const in_addr& address, uint16_t port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr = address;
    return result;
}

int OpenNetSocket(int type)
{
    const int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    return fd;
}

uint32_t BindNetSocket(int fd, const in_addr* address, uint16_t port)
{
    in_addr any{};
    any.s_addr = htonl(INADDR_ANY);
    const sockaddr_in bound = MakeAddress(address != nullptr ? *address : any, port);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&bound), sizeof(bound)) == 0 ? 1u : 0u;
}

static int RemainingMs(uint32_t start, uint32_t timeoutMs)
{
    const uint32_t spent = NetMilliseconds() - start;
    return spent >= timeoutMs ? 0 : static_cast<int>(timeoutMs - spent);
}

CNetSocket ConnectWithDeadline(const sockaddr_in& target, const in_addr* local, uint32_t timeoutMs, int wake)
{
    CNetSocket socket(OpenNetSocket(SOCK_STREAM));
    if (!socket.IsValid())
        return socket;
    if (local != nullptr && !BindNetSocket(socket.Get(), local, 0))
        return CNetSocket();
    const int on = 1;
    setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&target), sizeof(target)) == 0)
        return socket;
    if (errno != EINPROGRESS)
        return CNetSocket();
    const uint32_t start = NetMilliseconds();
    for (;;)
    {
        const int remaining = RemainingMs(start, timeoutMs);
        if (remaining <= 0)
            return CNetSocket();
        pollfd entries[2] = {{socket.Get(), POLLOUT, 0}, {wake, POLLIN, 0}};
        const int ready = ::poll(entries, wake >= 0 ? 2 : 1, remaining);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || (wake >= 0 && entries[1].revents != 0))
            return CNetSocket();
        int error = 0;
        socklen_t length = sizeof(error);
        if (getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return CNetSocket();
        return socket;
    }
}

uint32_t SendWithDeadline(int fd, const void* bytes, size_t n, uint32_t timeoutMs, int wake)
{
    if (fd < 0)
        return 0;
    const uint8_t* at = static_cast<const uint8_t*>(bytes);
    size_t left = n;
    // The clock is read only once the socket is full.
    uint32_t start = 0;
    bool waiting = false;
    while (left > 0)
    {
        const ssize_t sent = ::send(fd, at, left, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0)
        {
            at += sent;
            left -= static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            return 0;
        if (!waiting)
        {
            start = NetMilliseconds();
            waiting = true;
        }
        const int remaining = RemainingMs(start, timeoutMs);
        if (remaining <= 0)
            return 0;
        pollfd entries[2] = {{fd, POLLOUT, 0}, {wake, POLLIN, 0}};
        const int ready = ::poll(entries, wake >= 0 ? 2 : 1, remaining);
        if (ready < 0 && errno != EINTR)
            return 0;
        if (ready > 0 && (entries[0].revents & (POLLERR | POLLNVAL)) != 0)
            return 0;
        if (ready > 0 && wake >= 0 && entries[1].revents != 0)
            return 0;
    }
    return 1;
}

uint32_t SetBlockingReads(int fd, uint32_t timeoutMs)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return 0;
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(timeoutMs / 1000);
    timeout.tv_usec = static_cast<suseconds_t>((timeoutMs % 1000) * 1000);
    return setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) == 0 ? 1u : 0u;
}

int WaitReadable(int fd, int wake, uint32_t timeoutMs)
{
    pollfd entries[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
    const nfds_t count = wake >= 0 ? 2 : 1;
    const int ready = ::poll(entries, count, static_cast<int>(timeoutMs));
    if (ready < 0)
        return errno == EINTR ? 0 : -1;
    if (ready == 0)
        return 0;
    if (count == 2 && entries[1].revents != 0)
        return -1;
    if ((entries[0].revents & POLLNVAL) != 0)
        return -1;
    return 1;
}

bool HasNetPeerHungUp(int fd)
{
    pollfd entry{fd, POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}
