#pragma once

#include <cstdint>

// A fighter's tallies: 0 melee attacks, 1 shots, 2 melee hits, 3 shot hits,
// 4 damage dealt, 5 damage taken, 6 defeats, 7 downs, 8 rank.
struct tag_TOLQBATTLESCORE
{
    enum : uint32_t
    {
        MELEE_ATTACKS = 0,
        SHOTS = 1,
        MELEE_HITS = 2,
        SHOT_HITS = 3,
        DAMAGE_DEALT = 4,
        DAMAGE_TAKEN = 5,
        DEFEATS = 6,
        DOWNS = 7,
        RANK = 8,
    };
    uint32_t value[9] = {};
};
