#pragma once

#include "game/actor/tag_TOLQRADIOCHAT.h"

#include <cstdint>
#include <string>

class CBulletMemoryList;
class CInput;
class IActorEffects;
class IBattleConsole;

// A fighter's battle data: the battle fills one per fighter and the
// fighter keeps a copy from Setup on.
struct tag_TOLQBATTLECHARADATA
{
    enum : uint32_t
    {
        FACTOR_LIFE = 0,
        FACTOR_EP_START = 1,
        FACTOR_EP_REFILL = 2,
        FACTOR_GAUGE_START = 3,
        FACTOR_GAUGE_REFILL = 4,
        FACTOR_DAMAGE_TAKEN = 5,
    };
    static constexpr uint32_t kRadioChats = 12;

    float factors[6] = {1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f};
    float mouseSensitivity = 2.0f;
    uint32_t flags = 0;
    uint32_t friendlyFire = 0;
    uint32_t extra = 0;
    uint32_t localInput = 0;
    // The twelve messages the fighter sends on F1-F12: a human player's
    // own, a computer's its character's.
    tag_TOLQRADIOCHAT radioChat[kRadioChats] = {};
    std::string name;
    uint32_t teamBattle = 0;
    uint32_t npc = 0;
    uint32_t fighterWord = 0;
    uint8_t rule = 0;
    uint8_t team = 4;
    uint8_t fighterIndex = 0;
    uint8_t goalCount = 1;
    uint32_t totalFighters = 1;
    int32_t effectVolume = 0;
    int32_t voiceVolume = 0;
    CBulletMemoryList* bullets = nullptr;
    CInput* input = nullptr;
    uint8_t padIndex = 0;
    IBattleConsole* console = nullptr;
    IActorEffects* effects = nullptr;

    uint8_t characterNumber = 0; // copied by Setup from the definition
    float cameraSensitivity = 5.0f;
};
