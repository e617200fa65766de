#pragma once

#include "engine/core/CkvrVector3.h"

#include <cstdint>

class CTexture;
class IBattleStage;

// The dark disc laid on the ground under fighters, elements and items. It
// only reads the stage: drawing a shadow never changes the simulation.
namespace GroundShadow
{
// How far below an object the ground is searched for.
constexpr float kSearchDepth = 100.0f;

// 255 at height 0, falling by fadePerUnit of 255 per unit of height, 0 once
// it would go below. Negative heights count as 0.
uint8_t Alpha(float height, float fadePerUnit);

// The ground below position within kSearchDepth (the ground model, and
// box tops facing up); false when there is none.
bool FindGround(IBattleStage* stage, const CkvrVector3& position, CkvrVector3* ground);

// The quad of size × size centred on the ground below position, faded by
// its height. 1 when something was drawn; 0 without a stage, texture or
// ground, or once it has faded out.
uint32_t Draw(IBattleStage* stage, CTexture* texture, const CkvrVector3& position, float size, float fadePerUnit);
}
