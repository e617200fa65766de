#pragma once

#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <cstdint>

// The battle settings that story commands and missions carry. A reader
// makes one through the installed factory, so that every field the file
// does not hold keeps the game's defaults, and owns the texts it puts into
// the entries (names, weapon and clothes names: aligned copies).

// Make a setting of count entries with every default filled (null when
// memory is exhausted), and free one with its player array. The battle's
// own pair fits these signatures.
using BattleSettingCreator = tag_TOLQBATTLESETTING* (*)(uint8_t count, uint32_t freeWithBattle);
using BattleSettingDeleter = uint32_t (*)(tag_TOLQBATTLESETTING* setting);

// Installs the pair the readers use; null for either restores the built-in
// one. Set once at start-up, before any story or mission is read.
void SetBattleSettingFactory(BattleSettingCreator create, BattleSettingDeleter free);

// The built-in pair: the defaults a setting gets when there is no game
// application to take them from (no stages, no music, no characters counted,
// friendly fire and recording on, camera and mouse sensitivity 5 and 2).
tag_TOLQBATTLESETTING* MakeDefaultBattleSetting(uint8_t count, uint32_t freeWithBattle);
uint32_t FreeDefaultBattleSetting(tag_TOLQBATTLESETTING* setting);

// A setting for a story or mission: count entries, not freed by the battle.
tag_TOLQBATTLESETTING* NewStoryBattleSetting(uint8_t count);
// Frees every entry's name, weapon names and clothes names, then the
// setting through the installed factory. Null is ignored.
void DeleteStoryBattleSetting(tag_TOLQBATTLESETTING* setting);

// Limits of what a story or mission setting may hold; a reader keeps the
// values of a file within them, so nothing indexes past a table of the
// battle.
namespace StoryBattleLimits
{
constexpr uint8_t kMaxPlayers = tag_TOLQBATTLESETTING::kMaxPlayers;
constexpr uint8_t kMaxRule = tag_TOLQBATTLERULE::RULE_COUNT - 1;
constexpr uint8_t kMaxTimeLimitIndex = tag_TOLQBATTLERULE::kTimeLimitCount - 1;
constexpr uint8_t kMaxNpcCountIndex = tag_TOLQBATTLERULE::kNpcCountIndices - 1;
constexpr uint8_t kMaxCpuLevel = tag_TOLQBATTLERULE::kCpuLevels - 1;
constexpr uint8_t kMaxTeam = tag_TOLQBATTLEPLAYER::kNoTeam;
constexpr uint32_t kFactors = 6;
constexpr uint32_t kItemKinds = 6;
constexpr uint32_t kWeaponClasses = 17;
constexpr uint32_t kFlagBits = 27;
// The rules whose limit names a player entry.
inline bool LimitIsPlayer(uint8_t rule)
{
    return rule == tag_TOLQBATTLERULE::RULE_TARGET || rule == tag_TOLQBATTLERULE::RULE_TARGET_GUARD;
}
}
