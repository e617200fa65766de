#pragma once

#include <cstdint>

// The lobby states a fuzz input may put the client in before its messages
// arrive: every state in which some handler acts.
constexpr int32_t kLobbyFuzzStates[] = {3, 7, 8, 10, 11, 12, 13, 16, 19, 20, 21, 23, 25, 27, 29,
                                        36, 37, 38, 41, 44, 46, 48, 56, 58, 62, 64, 65, 66};
constexpr uint32_t kLobbyFuzzStateCount = sizeof(kLobbyFuzzStates) / sizeof(kLobbyFuzzStates[0]);
