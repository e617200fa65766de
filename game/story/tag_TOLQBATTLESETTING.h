#pragma once

#include "game/actor/tag_TOLQRADIOCHAT.h"

#include <cstdint>

class CCharacter;
class CLobbyClient;
class CNetSession;

// What battle to fight: who takes part and how each fighter is equipped,
// the stage, music and rule, the limits, the seed, and whether the battle
// is recorded, played back, part of a mission or online. Plain records,
// zero-filled by the aligned allocator; whoever makes one fills the
// defaults (see StoryBattleSetting.h for the settings that stories and
// missions carry).
//
// Files never hold these records whole: every format that carries a
// setting writes its fields one by one.

// The rules block, 36 bytes. Replays and online messages copy it as bytes,
// so its layout is fixed: the offsets are those of the comments.
struct tag_TOLQBATTLERULE
{
    uint32_t teamBattle;     // 0: nonzero, players fight in teams
    uint8_t stageCount;      // 4
    int8_t stageChoice;      // 5: at or past the stage count, random
    int8_t randomStage;      // 6: the stage drawn for a random choice
    int8_t musicChoice;      // 7: at or past the music count, random
    uint8_t rule;            // 8: 0-7
    uint8_t limit;           // 9: the rule's count, or the target player of rules 5 and 6
    uint8_t timeLimitIndex;  // 10: 0-4 into {150, 300, 600, 900} s and no limit
    uint8_t cpuLevel;        // 11: 0-4
    int8_t npcCountIndex;    // 12: 0-3 into {0, 3, 6, 10}
    uint8_t unused[3];       // 13
    uint32_t friendlyFire;   // 16
    uint32_t defaultWeapons; // 20
    uint32_t itemMask;       // 24: bit i allows item kind i (6 kinds)
    uint32_t weaponMask;     // 28: bit i allows weapon class i (17 classes)
    uint32_t elementMask;    // 32: bit i allows element i (7 elements)
};

static_assert(sizeof(tag_TOLQBATTLERULE) == 36, "the rules block is 36 bytes");

// One participant.
struct tag_TOLQBATTLEPLAYER
{
    static constexpr uint32_t kFactors = 6;
    static constexpr uint32_t kRadioChats = 12;
    static constexpr uint32_t kWeapons = 10;
    static constexpr uint32_t kClothes = 6;
    static constexpr uint32_t kRoomWords = 3;

    char* name;                         // may be null
    float factors[kFactors];            // handed to the fighter in order
    uint32_t flags;                     // flag bits handed to the fighter
    uint32_t extraWord;
    uint8_t cpuLevel;                   // 0-4 for a computer fighter
    uint32_t localInput;                // nonzero: reads the local input device
    tag_TOLQRADIOCHAT radioChat[kRadioChats];
    int8_t character;                   // at or past the character count: random
    int8_t slotState;                   // 0-7 a human's slot, 8 computer, 9 closed
    uint8_t team;                       // 0-3, 4 none
    uint32_t roomWords[kRoomWords];     // confirmed, ready, start (setup and network scenes)
    uint32_t startPoint;                // at or past the stage's start points: random
    uint8_t randomCharacter;            // the character drawn for a random choice
    uint8_t characterCount;
    float cameraSensitivity;
    float mouseSensitivity;
    CCharacter* preview;                // owned by the entry
    char* weapons[kWeapons];            // null for an empty place
    char* clothes[kClothes];
};

struct tag_TOLQBATTLESETTING
{
    uint8_t playerCount;
    uint8_t ownSlot;
    tag_TOLQBATTLEPLAYER* players;      // playerCount entries, owned
    tag_TOLQBATTLERULE rules;
    uint32_t randomSeed;
    uint32_t recordFlag;
    uint32_t playbackFlag;
    uint32_t fighterWord;               // handed to every fighter unchanged
    uint32_t missionFlag;
    uint16_t missionIndex;
    uint32_t viewedSlot;
    uint32_t freeWithBattle;
    uint32_t streamedMusic;
    CNetSession* peerSession;
    CLobbyClient* lobbyClient;
};
