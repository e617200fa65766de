#include "net/lobby/LobbyHost.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace
{
const char* Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}
}

const char* GetLobbyHostName()
{
    const char* value = Variable(kLobbyHostVariable);
    return value != nullptr ? value : kLobbyDefaultHost;
}

uint16_t GetLobbyPort()
{
    const char* value = Variable(kLobbyPortVariable);
    if (value == nullptr)
        return kLobbyDefaultPort;
    uint32_t port = 0;
    const char* end = value + std::strlen(value);
    const auto [last, error] = std::from_chars(value, end, port);
    if (error != std::errc() || last != end || port == 0 || port > 65535)
        return kLobbyDefaultPort;
    return static_cast<uint16_t>(port);
}

std::string GetLobbyLocalAddress()
{
    const char* value = Variable(kLobbyLocalAddressVariable);
    return value != nullptr ? std::string(value) : std::string();
}
