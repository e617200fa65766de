#pragma once

#include "engine/core/CkvrVector3.h"
#include "game/actor/tag_TOLQINPUTRECORD.h"

#include <cstdint>

// A fighter's state block: the fields others read first, in their order,
// then the fighter's own clocks and motion. Clocks are u32 milliseconds.
struct tag_TOLQCHARASTATE
{
    uint16_t life = 0;
    float ep = 0.0f;
    float gauge = 0.0f;      // percent
    int8_t ruleCounter = 0;  // points, falls, coins or jewels; saturates
    uint8_t resultPose = 0;
    uint8_t requestedResultPose = 0;
    uint32_t actionState = 0;
    uint8_t cameraMode = 0; // 0 follow, 3 shooting
    uint32_t elementAttackTime = 0;
    uint32_t runningElementAttack = 0; // 0 none, 1 elemental, 2 burst, 3 maximum
    uint32_t statusBits = 0;           // 0 power, 1 speed, 2 blessing
    uint32_t dashFlag = 0;
    uint32_t aimFlag = 0;
    uint32_t lockOn = 0; // target index + 1
    uint32_t cover = 0;
    uint32_t weaponHandling = 0; // 1 picking up, 2 dropping
    uint32_t burstActive = 0;

    uint16_t maxLife = 0;
    CkvrVector3 velocity;
    uint32_t grounded = 0;
    uint32_t stateClock = 0;
    uint32_t downClock = 0;
    uint32_t burstClock = 0;
    uint32_t blessingClock = 0;
    uint32_t powerClock = 0;
    uint32_t speedClock = 0;
    uint32_t dashHoldClock = 0;
    uint32_t handlingClock = 0;
    float cameraYaw = 0.0f;
    float cameraPitch = 0.0f;
    uint32_t swingHitMask = 0;
    uint32_t voiceCooldown = 0;
    tag_TOLQINPUTRECORD lastInput;
};
