#pragma once

#include "game/actor/tag_TOLQRADIOCHAT.h"

#include <cstdint>
#include <string>
#include <vector>

// The records of the settings and save files. Tables whose length depends
// on the game data (characters, weapons, clothes, missions) are vectors;
// the files store each with its count in front.

constexpr uint32_t kActionCount = 24;
constexpr uint32_t kMaxCharacters = 8;
constexpr uint32_t kRadioChatsPerCharacter = 12;
constexpr uint32_t kStoryDifficulties = 5;
constexpr uint32_t kCharacterWeapons = 10;
constexpr uint32_t kCharacterClothes = 6;
constexpr uint32_t kNameBytes = 260;
constexpr uint32_t kLoginIdBytes = 33;
constexpr uint32_t kBattleTallies = 15;
// The battle music the game brings (the user's own files come after it) and
// the most stages a battle setting can offer (its choice is a signed byte).
constexpr uint8_t kBuiltInMusicTracks = 11;
constexpr uint32_t kMaxStages = 127;


struct tag_TOLQGAMECONFIG
{
    uint16_t lobbyPort = {};
    uint32_t upnp = {};
    char loginId[kLoginIdBytes] = {};
    uint32_t fullScreen = {};
    uint32_t screenShake = {};
    uint32_t padVibration = {};
    int32_t bgmVolume = {};        // hundredths of a decibel, -3000..0, -10000 off
    int32_t seVolume = {};
    int32_t voiceVolume = {};
    uint8_t radarType = {};        // 0 fixed, 1 rotating
    uint8_t storyDifficulty = {};  // 0 "Easy" .. 4 "Nightmare"
    // Twelve messages per selectable character, character after character.
    std::vector<tag_TOLQRADIOCHAT> radioChat;
    uint32_t keys[kActionCount] = {};
    uint32_t padElements[kActionCount] = {};
    float cameraSensitivity = {};
    float mouseSensitivity = {};
    uint32_t soundCount = {};      // voices per sound
    uint32_t sound3D = {};
    uint8_t keyResponse = {};      // frames per batch of the online lockstep, 1..30
    uint8_t sendByte = {};
    uint32_t friendlyFire = {};
    uint32_t replaySave = {};
    uint8_t replayCount = {};
    uint32_t openingMovie = {};
};

struct tag_TOLQUNLOCKDATA
{
    uint32_t unlocked = {};
    uint32_t owned = {};
    uint32_t reserved = {};
};

struct tag_TOLQCHARAPLAYDATA
{
    uint32_t storyClear[kStoryDifficulties] = {};
    char weapons[kCharacterWeapons][kNameBytes] = {};
    char clothes[kCharacterClothes][kNameBytes] = {};
};

struct tag_TOLQMISSIONRECORD
{
    uint8_t rank = {};
    uint32_t value = {};
    // Cleared at least once (won, or ranked where the rules leave no way
    // to win), so counted among the cleared missions. The file keeps it in
    // the top bit of the rank's byte: ranks need three bits.
    bool won = {};
};

struct tag_TOLQPLAYDATA
{
    uint32_t points = {};          // shown as ELP; at most 99999 in the file
    uint8_t stageCount = {};
    uint8_t builtInMusicCount = {};
    uint32_t musicCount = {};
    std::vector<tag_TOLQCHARAPLAYDATA> characters;  // one per selectable character
    std::vector<tag_TOLQUNLOCKDATA> weapons;        // in weapon-list order
    std::vector<tag_TOLQUNLOCKDATA> clothes;        // in clothes-list order
    uint16_t clearedMissionCount = {};
    std::vector<tag_TOLQMISSIONRECORD> missions;
    std::vector<std::string> userMusic;
};

// Tallies of one half: battles, solo wins, losses, draws, team wins, losses,
// draws, two run-time tallies, melee attacks, shots, melee hits, shot hits,
// damage dealt, damage taken.
struct tag_TOLQBATTLERECORD
{
    uint32_t offline[kBattleTallies] = {};
    uint32_t network[kBattleTallies] = {};
};

struct tag_TOLQPLAYRECORD
{
    uint32_t sessionStart = {};    // the millisecond clock at load; not saved
    uint32_t totalPlayTime = {};   // ms
    uint8_t playerRank = {};
    std::vector<tag_TOLQBATTLERECORD> records;  // one per selectable character
};

// What unlocks a weapon or clothes item: kind 0 from the start, 1 after a
// number of battles, 2 after a number of wins.
struct tag_TOLQUNLOCKRULE
{
    uint8_t kind = {};
    uint32_t threshold = {};
};
