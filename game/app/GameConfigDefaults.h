#pragma once

#include "game/app/GameConfigTypes.h"

// What a first start gets, in one place.
constexpr uint16_t kDefaultLobbyPort = 15200;

void SetDefaultGameConfig(tag_TOLQGAMECONFIG* config);
void SetDefaultPlayData(tag_TOLQPLAYDATA* data);
void SetDefaultPlayRecord(tag_TOLQPLAYRECORD* record);
