#pragma once

#include "net/lobby/CLobbyClient.h"

#include <cstdint>

// The lobby states a fuzz input may put the client in before its messages
// arrive: every state in which some handler acts.
constexpr LobbyState kLobbyFuzzStates[] = {
    LOBBY_CONNECTING, LOBBY_LOGIN, LOBBY_LOGIN_SENT, LOBBY_LOGGED_IN, LOBBY_IN_LOBBY, LOBBY_USER_INFO,
    LOBBY_USER_INFO_ASKED, LOBBY_ROOM_ASKED, LOBBY_ROOM_MADE, LOBBY_ROOM_INFO, LOBBY_ROOM_INFO_ASKED,
    LOBBY_LINE_TEST_ASKED, LOBBY_ENTERING, LOBBY_ENTERED, LOBBY_ROOM_KEY_SENT, LOBBY_ROOM, LOBBY_MEMBER_INFO,
    LOBBY_MEMBER_INFO_ASKED, LOBBY_REMOVE_SENT, LOBBY_ROOM_DATA_ASKED, LOBBY_ROOM_SETTINGS, LOBBY_SETTINGS_SENT,
    LOBBY_LEAVING_ROOM, LOBBY_MATCH_ASKED, LOBBY_MATCH_ACCEPTED, LOBBY_MATCH_SOUGHT, LOBBY_MATCH_HOST,
    LOBBY_MATCH_GUEST,
};
constexpr uint32_t kLobbyFuzzStateCount = sizeof(kLobbyFuzzStates) / sizeof(kLobbyFuzzStates[0]);
