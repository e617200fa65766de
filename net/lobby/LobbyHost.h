#pragma once

#include <cstdint>
#include <string>

// The lobby server's address lives here and nowhere else. The environment
// variable KVR_LOBBY_HOST, when set and not empty, takes the place of the
// built-in name, and KVR_LOBBY_PORT the place of the port (tests point the
// client at a loopback server with them). KVR_LOCAL_ADDRESS names the
// address this machine's sockets bind to and the lobby announces, so that
// several games on one machine stand for several hosts (127.0.0.x).
constexpr const char* kLobbyDefaultHost = "lobby.qor.invalid";
constexpr uint16_t kLobbyDefaultPort = 15200;
constexpr const char* kLobbyHostVariable = "KVR_LOBBY_HOST";
constexpr const char* kLobbyPortVariable = "KVR_LOBBY_PORT";
constexpr const char* kLobbyLocalAddressVariable = "KVR_LOCAL_ADDRESS";

const char* GetLobbyHostName();
// The port of KVR_LOBBY_PORT when it holds one (1-65535), else 15200.
uint16_t GetLobbyPort();
// KVR_LOCAL_ADDRESS, or empty: the host's own address.
std::string GetLobbyLocalAddress();
