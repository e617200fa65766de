#pragma once

#include <cstdint>

class CByteReader;
class CByteWriter;

// The rules of a battle: 36 bytes that replay files and online rooms carry
// as they stand, so the layout below is fixed (offsets in the comments).
struct tag_TOLQBATTLERULE
{
    static constexpr uint32_t kSize = 36;
    // The rule byte.
    enum Rule : uint8_t
    {
        RULE_SMASH_RACE = 0,   // solo: first past the limit of knockouts
        RULE_MEDALS = 1,       // solo: medals (coins) past the limit
        RULE_TEAM_FALLS = 2,   // teams: a team whose falls pass the limit is out
        RULE_TEAM_JEWELS = 3,  // teams: jewels past the limit
        RULE_SURVIVAL = 4,     // the last one (or team) standing
        RULE_TARGET = 5,       // down the target player (the limit names it)
        RULE_TARGET_GUARD = 6, // protect the target player
        RULE_LAST_STAND = 7,   // ends when the local player is down
        RULE_COUNT = 8,
    };
    static constexpr uint8_t kTimeLimitCount = 5;
    // Milliseconds by time-limit index; the last means no limit.
    static constexpr uint32_t kTimeLimits[kTimeLimitCount] = {150000, 300000, 600000, 900000, 1000000};
    static constexpr uint32_t kNoTimeLimit = 1000000;
    static constexpr uint8_t kNpcCountIndices = 4;
    static constexpr uint32_t kNpcCounts[kNpcCountIndices] = {0, 3, 6, 10};
    static constexpr uint8_t kCpuLevels = 5;

    uint32_t teamBattle = 0;      // 0
    uint8_t stageCount = 0;       // 4
    int8_t stageChoice = 0;       // 5: at or past stageCount: randomStage
    int8_t randomStage = 0;       // 6
    int8_t musicChoice = 0;       // 7: at or past the music total: random
    uint8_t rule = RULE_SMASH_RACE; // 8
    uint8_t limit = 4;            // 9: rules 0-3 the count, 5 and 6 the target's index
    uint8_t timeLimitIndex = 4;   // 10
    uint8_t cpuLevel = 2;         // 11
    int8_t npcCountIndex = 0;     // 12
    uint8_t unused[3] = {};       // 13
    uint32_t friendlyFire = 0;    // 16
    uint32_t defaultWeapons = 0;  // 20: read by the battle setup only
    uint32_t itemMask = 0x3F;     // 24: field item kinds
    uint32_t weaponMask = 0x1FFFF; // 28: weapon classes
    uint32_t elementMask = 0x7F;  // 32: elements

    // The time limit in ms (an index past the table: no limit).
    uint32_t GetTimeLimit() const { return timeLimitIndex < kTimeLimitCount ? kTimeLimits[timeLimitIndex] : kNoTimeLimit; }
    // The NPCs of the battle (an index outside the table: none).
    uint32_t GetNpcCount() const
    {
        return npcCountIndex >= 0 && npcCountIndex < kNpcCountIndices ? kNpcCounts[npcCountIndex] : 0;
    }
};

void WriteBattleRule(CByteWriter* writer, const tag_TOLQBATTLERULE& rule);
// Reads the 36 bytes as they stand; the caller checks the reader and the
// values (IsValidBattleRule).
void ReadBattleRule(CByteReader* reader, tag_TOLQBATTLERULE* rule);
// Rule, time-limit index, CPU level and NPC index inside their tables.
bool IsValidBattleRule(const tag_TOLQBATTLERULE& rule);
