#pragma once

#include "game/battle/tag_TOLQBATTLEPLAYER.h"
#include "game/battle/tag_TOLQBATTLERULE.h"

#include <cstdint>

class CGameConfig;

// What battle to fight: the participants, the rules, the random seed, and
// whether the battle records a replay, plays one back, is a mission or is
// online. Every mode scene builds one and hands it to the battle scene.
struct tag_TOLQBATTLESETTING
{
    static constexpr uint8_t kMaxPlayers = 8;

    uint8_t playerCount = 0;
    uint8_t ownSlot = 0; // the local player is the first entry with this slot state
    tag_TOLQBATTLEPLAYER* players = nullptr; // playerCount entries, owned
    tag_TOLQBATTLERULE rules;
    uint32_t seed = 0;
    uint32_t record = 0;
    uint32_t playback = 0;
    uint32_t fighterWord = 0;
    uint32_t mission = 0;
    uint16_t missionIndex = 0;
    uint32_t viewedSlot = 0;     // the fighter the camera follows
    uint32_t freeWithBattle = 0; // the battle scene frees the setting at its release
    uint32_t streamedMusic = 0;  // set by the battle: the music is a user file
    void* session = nullptr;     // the peer session of an online battle
    void* lobby = nullptr;       // the lobby client of an online battle
};

// A new setting of count zero-filled entries with the defaults the settings
// and play data give (the game application's, or none: then the built-in
// fallbacks). Null when it can't be allocated.
tag_TOLQBATTLESETTING* CreateBattleSetting(uint8_t count, uint32_t freeWithBattle);
// The same from the given settings and play data (null: the fallbacks).
tag_TOLQBATTLESETTING* CreateBattleSettingFrom(uint8_t count, uint32_t freeWithBattle, CGameConfig* config);
// Every entry and the rules back to what CreateBattleSettingFrom gives with
// the same settings and play data (the entries' previews freed); the seed,
// the record flag and the links stay.
void ResetBattleSetting(tag_TOLQBATTLESETTING* setting, CGameConfig* config);
// A battle's new seed: the time mixed with the seed before it, so that two
// taken within one second still differ.
uint32_t NextBattleSeed(uint32_t previous);
// Frees each entry's preview, the entries and the setting; none of the
// texts. 0 for null, else 1.
uint32_t FreeBattleSetting(tag_TOLQBATTLESETTING* setting);
// Puts players (count entries, new[]-allocated, now owned) in place of the
// setting's entries, whose previews are freed.
void ReplaceBattlePlayers(tag_TOLQBATTLESETTING* setting, tag_TOLQBATTLEPLAYER* players, uint8_t count);
// Frees the entries' texts that a replay's reader copied (names, weapon and
// clothes names) and clears them. Only for settings read from a replay.
void FreeReplayTexts(tag_TOLQBATTLESETTING* setting);
