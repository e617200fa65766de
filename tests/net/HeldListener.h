#pragma once

// A host on a slow line, as the kernel plays one on loopback: its
// listener's queue is full of its own connections, so the kernel drops the
// handshake of any other and the connecting side tries again, a second and
// more apart, until Admit makes room. What it admits says nothing unless
// the test writes to it.
#include "tests/net/NetTestSupport.h"

#include <netinet/tcp.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace nettest
{
class HeldListener
{
public:
    explicit HeldListener(const char* address)
    {
        if (!ParseIPv4(address, &m_address))
            return;
        m_listener = CNetSocket(OpenNetSocket(SOCK_STREAM));
        if (!m_listener.IsValid() || !BindNetSocket(m_listener.Get(), &m_address, 0) ||
            ::listen(m_listener.Get(), 1) != 0)
            return;
        sockaddr_in bound{};
        socklen_t length = sizeof(bound);
        getsockname(m_listener.Get(), reinterpret_cast<sockaddr*>(&bound), &length);
        m_port = ntohs(bound.sin_port);
        for (int i = 0; i < 8 && !IsFull(); ++i)
        {
            const uint32_t queued = Queued();
            m_fillers.push_back(ConnectWithDeadline(MakeAddress(m_address, m_port), &m_address, 2000));
            WaitUntil([&] { return Queued() > queued; }, 2000);
        }
    }

    // 0 when the listener could not be made or its queue not filled.
    uint16_t Port() const { return IsFull() ? m_port : 0; }

    // Whether a connection to it from elsewhere waits for its handshake.
    bool HasWaitingConnection() const
    {
        char remote[16];
        std::snprintf(remote, sizeof(remote), "%08X:%04X", m_address.s_addr, m_port);
        std::ifstream table("/proc/net/tcp");
        std::string line;
        while (std::getline(table, line))
        {
            char local[64] = {};
            char peer[64] = {};
            unsigned state = 0;
            if (std::sscanf(line.c_str(), " %*d: %63s %63s %x", local, peer, &state) == 3 && state == kSynSent &&
                std::string(peer) == remote)
                return true;
        }
        return false;
    }

    // Makes room and takes the waiting connection in when its next try
    // comes (bounded): its socket, or an invalid one.
    CNetSocket Admit()
    {
        CNetSocket admitted;
        WaitUntil(
            [&] {
                if (WaitReadable(m_listener.Get(), -1, 10) != 1)
                    return false;
                sockaddr_in from{};
                socklen_t length = sizeof(from);
                CNetSocket socket(
                    ::accept4(m_listener.Get(), reinterpret_cast<sockaddr*>(&from), &length, SOCK_CLOEXEC));
                // Its own fillers come first, from its own address.
                if (socket.IsValid() && from.sin_addr.s_addr != m_address.s_addr)
                    admitted = std::move(socket);
                return admitted.IsValid();
            },
            30000);
        return admitted;
    }

private:
    static constexpr unsigned kSynSent = 2;

    // The kernel's count of connections waiting in the queue, and whether
    // it drops new handshakes (a listener's TCP_INFO carries both).
    tcp_info Info() const
    {
        tcp_info info{};
        socklen_t length = sizeof(info);
        getsockopt(m_listener.Get(), IPPROTO_TCP, TCP_INFO, &info, &length);
        return info;
    }
    uint32_t Queued() const { return Info().tcpi_unacked; }
    bool IsFull() const
    {
        const tcp_info info = Info();
        return m_listener.IsValid() && info.tcpi_unacked > info.tcpi_sacked;
    }

    in_addr m_address{};
    uint16_t m_port = 0;
    CNetSocket m_listener;
    std::vector<CNetSocket> m_fillers;
};
} // namespace nettest
