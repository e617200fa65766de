#include "engine/platform/SingleInstanceLock.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
// FNV-1a: any program name, however long, fits the socket address.
uint64_t HashName(const char* name)
{
    uint64_t hash = 14695981039346656037ull;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p)
    {
        hash ^= *p;
        hash *= 1099511628211ull;
    }
    return hash;
}

socklen_t MakeAddress(const char* name, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    const std::string socketName = SingleInstanceLock::SocketName(name);
    // Abstract namespace: a leading NUL, then the name (no terminator).
    std::memcpy(address.sun_path + 1, socketName.data(), socketName.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + socketName.size());
}

void Poke(const sockaddr_un& address, socklen_t length)
{
    const int client = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (client < 0)
        return;
    if (connect(client, reinterpret_cast<const sockaddr*>(&address), length) == 0)
    {
        const char byte = 1;
        (void)send(client, &byte, 1, MSG_NOSIGNAL);
    }
    close(client);
}
}

SingleInstanceLock::~SingleInstanceLock()
{
    Close();
}

std::string SingleInstanceLock::SocketName(const char* name)
{
    char text[64];
    std::snprintf(text, sizeof(text), "kvr-instance-%u-%016llx", static_cast<unsigned>(getuid()),
                  static_cast<unsigned long long>(HashName(name != nullptr ? name : "")));
    return text;
}

bool SingleInstanceLock::Acquire(const char* name)
{
    if (m_socket >= 0)
        return true;
    sockaddr_un address;
    const socklen_t length = MakeAddress(name, address);

    const int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (server < 0)
        return true; // Can't tell; don't keep the program from starting.
    if (bind(server, reinterpret_cast<const sockaddr*>(&address), length) != 0)
    {
        const int error = errno;
        close(server);
        if (error != EADDRINUSE)
            return true;
        Poke(address, length);
        return false;
    }
    if (listen(server, 8) != 0)
    {
        close(server);
        return true;
    }
    m_socket = server;
    return true;
}

int SingleInstanceLock::TakePokes()
{
    if (m_socket < 0)
        return 0;
    int pokes = 0;
    for (;;)
    {
        const int client = accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            break;
        close(client);
        ++pokes;
    }
    return pokes;
}

void SingleInstanceLock::Close()
{
    if (m_socket >= 0)
    {
        close(m_socket);
        m_socket = -1;
    }
}
