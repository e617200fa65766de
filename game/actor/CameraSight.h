#pragma once

#include "engine/core/CkvrVector3.h"

#include <cstdint>

class CCamera;
class CCharacter;
class IBattleStage;

// Where the eye of a camera about a fighter may stand: on the fighter's side
// of whatever blocks sight. Cameras only; nothing of the battle changes.
namespace CameraSight
{
// How far an eye pulled in stays in front of what blocked it: past the
// reach of the near plane's corners (0.1 ahead, a wide window's half-width
// aside), so that no sliver of what lies behind shows.
inline constexpr float kClearance = 0.3f;

// Fighters whose bodies block sight too: all those listed but about and
// those standing inside it (each an upright box of its radius and height, a
// down one lying low).
struct Bodies
{
    CCharacter* const* fighters = nullptr;
    uint32_t count = 0;
    const CCharacter* about = nullptr;
};

// How far from target towards eye sight runs before the first block: the
// stage's ground and hit models from either side, its standing boxes, the
// bodies. Looked for up to kClearance past the eye; INFINITY when clear.
float BlockedAt(IBattleStage* stage, const CkvrVector3& target, const CkvrVector3& eye, const Bodies& bodies = {});

// The eye as it is when its line to target is clear; otherwise pulled in
// along that line to stand kClearance in front of the first block (at
// least halfway to it).
CkvrVector3 KeepInSight(IBattleStage* stage, const CkvrVector3& target, const CkvrVector3& eye,
                        const Bodies& bodies = {});

// Whether other stands inside about's body: their upright bodies overlap.
// Nothing keeps fighters apart, so one may walk through another.
bool StandsInside(const CCharacter& other, const CCharacter& about);

// The share of the shot's frame (0 to 1) filled by the biggest standing
// body that the frame cuts: a torso seen close by, its head out of the
// frame, hides what the shot is about. Bodies seen whole, out of the shot,
// down, or inside about fill none of it.
float CutBodyShare(const CCamera& shot, const Bodies& bodies);
}
