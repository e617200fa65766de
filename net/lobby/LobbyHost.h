#pragma once

#include <cstdint>

// The lobby server's address lives here and nowhere else. The environment
// variable KVR_LOBBY_HOST, when set and not empty, takes the place of the
// built-in name (tests point the client at a loopback address with it);
// the port comes from the settings.
constexpr const char* kLobbyDefaultHost = "lobby.qor.invalid";
constexpr uint16_t kLobbyDefaultPort = 15200;
constexpr const char* kLobbyHostVariable = "KVR_LOBBY_HOST";

const char* GetLobbyHostName();
