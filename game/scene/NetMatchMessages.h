#pragma once

// The messages the players of an online match exchange over the room's peer
// session (sub-value 1, TCP), with their fixed lengths, and the readers and
// writers of the ones that carry records. Every reader checks the length
// and every count and length byte inside against the bytes at hand.

#include "game/actor/tag_TOLQRADIOCHAT.h"
#include "game/battle/tag_TOLQBATTLEPLAYER.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum NetMatchMessage : int16_t
{
    NETMSG_SLOT = 0,            // host -> new guest: u8 slot
    NETMSG_SCENE_STATE = 1,     // host -> all: u32 scene state
    NETMSG_READY = 2,           // guest -> host: u8 slot, its battle is built
    NETMSG_CURSOR = 3,          // host -> all: two u32, the setup's page cursor
    NETMSG_RULES = 4,           // host -> all: the 36-byte rules block
    NETMSG_SUMMARY = 5,         // any -> host -> all: a seat in 9 bytes
    NETMSG_ENTRY = 6,           // any -> host -> all: a whole seat in 1280 bytes
    NETMSG_SEED = 7,            // host -> all: u32 seed, u8 frames per batch, u8 send byte
    NETMSG_INPUTS = 8,          // guest -> host: records of 16 bytes
    NETMSG_FRAMES = 9,          // host -> all: frames of 121 bytes
    NETMSG_RESULT = 10,         // host -> all: u8 end-of-battle choice
    NETMSG_DELAY = 11,          // not sent by this game
    NETMSG_POSITIONS = 12,      // not sent by this game
    NETMSG_POSITIONS_FRAMES = 13, // not sent by this game
    NETMSG_KEEPALIVE = 14,      // host -> all: no payload
    NETMSG_KEEPALIVE_ANSWER = 15, // guest -> host: u8 slot
};
constexpr uint16_t kNetMatchSub = 1;

constexpr uint32_t kNetSlotSize = 1;
constexpr uint32_t kNetSceneStateSize = 4;
constexpr uint32_t kNetReadySize = 1;
constexpr uint32_t kNetCursorSize = 8;
constexpr uint32_t kNetRulesSize = 36;
constexpr uint32_t kNetSummarySize = 9;
constexpr uint32_t kNetEntrySize = 1280;
constexpr uint32_t kNetSeedSize = 6;
constexpr uint32_t kNetResultSize = 1;
constexpr uint32_t kNetAnswerSize = 1;
// The rules' music byte, which a receiver keeps its own of.
constexpr size_t kNetRulesMusicOffset = 7;

// Message 5: one seat as the members page shows it.
struct NetSeatSummary
{
    uint8_t slot = 0;
    int8_t character = 0;
    int8_t slotState = 0;
    uint8_t team = 0;
    uint8_t characterCount = 0;
    uint32_t confirmed = 0;
};
void WriteNetSeatSummary(const NetSeatSummary& summary, uint8_t out[kNetSummarySize]);
// False unless length is the summary's.
bool ReadNetSeatSummary(const uint8_t* payload, uint32_t length, NetSeatSummary* out);
NetSeatSummary MakeNetSeatSummary(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot);
// Character, seat state, team, character count and the confirmed flag
// into the entry.
void ApplyNetSeatSummary(const NetSeatSummary& summary, tag_TOLQBATTLEPLAYER* entry);

// Message 6: one whole seat. Texts travel as a length byte (the text and
// its NUL) and the bytes; 0 for none. Weapon and clothes names shorter
// than two characters travel as none.
struct NetSeatEntry
{
    static constexpr size_t kMaxText = 254; // a length byte holds the text and its NUL

    uint8_t slot = 0;
    int8_t character = 0;
    uint8_t randomCharacter = 0;
    int8_t slotState = 0;
    uint8_t team = 0;
    uint8_t characterCount = 0;
    float cameraSensitivity = 0.0f;
    float mouseSensitivity = 0.0f;
    uint32_t confirmed = 0;
    uint32_t ready = 0;
    bool hasName = false;
    std::string name;
    tag_TOLQRADIOCHAT radioChat[tag_TOLQBATTLEPLAYER::kRadioChats] = {};
    std::string weapons[tag_TOLQBATTLEPLAYER::kWeapons]; // empty: none
    std::string clothes[tag_TOLQBATTLEPLAYER::kClothes];
};
NetSeatEntry MakeNetSeatEntry(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot);
// The 1280 bytes; false (out untouched) when the texts don't fit them.
bool WriteNetSeatEntry(const NetSeatEntry& entry, std::vector<uint8_t>* out);
// False unless length is 1280 and every length byte stays inside the
// message; a text is cut at its first NUL.
bool ReadNetSeatEntry(const uint8_t* payload, uint32_t length, NetSeatEntry* out);

// Finds a weapon or clothes definition by its exact name and gives the
// resource's own copy of that name (null when there is none).
using NetNameResolver = const char* (*)(const char* name);
const char* ResolveNetWeaponName(const char* name);
const char* ResolveNetClothesName(const char* name);
// The entry takes every field; its name becomes nameStorage's text (null
// without one), its weapon and clothes names the resolved ones.
void ApplyNetSeatEntry(const NetSeatEntry& received, tag_TOLQBATTLEPLAYER* entry, std::string* nameStorage,
                       NetNameResolver weapons = &ResolveNetWeaponName, NetNameResolver clothes = &ResolveNetClothesName);

// Message 7.
struct NetSeed
{
    uint32_t seed = 0;
    uint8_t framesPerBatch = 0;
    uint8_t sendByte = 0;
};
void WriteNetSeed(const NetSeed& seed, uint8_t out[kNetSeedSize]);
bool ReadNetSeed(const uint8_t* payload, uint32_t length, NetSeed* out);

uint32_t ReadNetU32(const uint8_t* in);
void WriteNetU32(uint32_t value, uint8_t* out);
