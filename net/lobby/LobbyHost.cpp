#include "net/lobby/LobbyHost.h"

#include <cstdlib>

const char* GetLobbyHostName()
{
    const char* value = std::getenv(kLobbyHostVariable);
    if (value != nullptr && value[0] != '\0')
        return value;
    return kLobbyDefaultHost;
}
