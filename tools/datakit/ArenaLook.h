#pragma once

#include "game/actor/CStageDefinition.h"

#include <cstdint>
#include <string>
#include <vector>

// What a person sees of the "Stand-in Arena": a floor of light and dark
// tiles ten units wide (so that movement reads), the ramp up to its ledge
// and the four walls, as one static model. The arena's ground and hit
// models give its collision and stay undrawn.
namespace ArenaLook
{
constexpr const char* kModelName = "Arena_display.mdl";
constexpr const char* kRecord = "Model\\Arena_display.mdl";

std::vector<uint8_t> Model();
// The stage draws this model.
void Dress(CStageDefinition* stage);
}
