#pragma once

#include "game/actor/tag_TOLQRADIOCHAT.h"
#include "game/battle/tag_TOLQBATTLERULE.h"

#include <cstdint>
#include <string>
#include <vector>

struct tag_TOLQBATTLEPLAYER;

// The battle setup's messages between the peers of a room, as the peer
// session carries them (sub-value 1, little-endian, field by field):
//
// | id | bytes | payload                                                     |
// |----|-------|-------------------------------------------------------------|
// | 3  | 8     | the host's page cursor: phase, next phase (u32 each)        |
// | 4  | 36    | the host's rules block                                      |
// | 5  | 9     | slot, character, seat, team, character count (u8), confirmed (u32) |
// | 6  | 1280  | a whole player entry (PlayerEntryMessage), zero-padded      |
//
// A message of another length is refused, and so is one whose values lie
// outside their ranges: a peer's bytes never index a table unchecked.
namespace SetupMessages
{
enum MessageId : int16_t
{
    MSG_CURSOR = 3,
    MSG_RULES = 4,
    MSG_SUMMARY = 5,
    MSG_ENTRY = 6,
};
inline constexpr uint16_t kSub = 1;
inline constexpr uint32_t kCursorSize = 8;
inline constexpr uint32_t kRulesSize = tag_TOLQBATTLERULE::kSize;
inline constexpr uint32_t kSummarySize = 9;
inline constexpr uint32_t kEntrySize = 1280;
// The rules byte of the music choice.
inline constexpr uint32_t kMusicOffset = 7;
// Seats are 0-7 players, 8 a computer, 9 closed.
inline constexpr int8_t kLastSeatState = 9;

struct Cursor
{
    int32_t phase = 0;
    int32_t nextPhase = 0;
};

struct PlayerSummary
{
    uint8_t slot = 0;
    int8_t character = 0;
    int8_t slotState = 0;
    uint8_t team = 0;
    uint8_t characterCount = 0;
    uint32_t confirmed = 0;
};

struct PlayerEntryMessage
{
    PlayerSummary summary; // its confirmed flag is the entry's
    uint8_t randomCharacter = 0;
    float cameraSensitivity = 0.0f;
    float mouseSensitivity = 0.0f;
    uint32_t ready = 0;
    bool hasName = false;
    std::string name;
    tag_TOLQRADIOCHAT radioChat[12] = {};
    // Empty for an empty place.
    std::string weapons[10];
    std::string clothes[6];
};

std::vector<uint8_t> EncodeCursor(const Cursor& cursor);
bool DecodeCursor(const uint8_t* payload, uint32_t length, Cursor* cursor);

std::vector<uint8_t> EncodeRules(const tag_TOLQBATTLERULE& rules);
// The rule, time, CPU level and NPC indices must lie in their tables.
bool DecodeRules(const uint8_t* payload, uint32_t length, tag_TOLQBATTLERULE* rules);

// A seat's random pick within its character count: kept when below it,
// otherwise wrapped into it; with no characters to draw from, character 0.
// The same on every peer, so a seat whose count a summary lowers still
// agrees everywhere (and still encodes into an entry others accept).
uint8_t PickWithinCount(uint8_t pick, uint8_t characterCount);

PlayerSummary SummaryOf(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot);
std::vector<uint8_t> EncodeSummary(const PlayerSummary& summary);
// The slot must be below playerCount, the character at most the character
// count, which at most characterLimit (the characters this side has).
bool DecodeSummary(const uint8_t* payload, uint32_t length, uint8_t playerCount, uint8_t characterLimit,
                   PlayerSummary* summary);

// Empty when the entry does not fit the 1280 bytes (texts past 254
// characters, or too many long ones): the entry is then not sent rather
// than cut short.
std::vector<uint8_t> EncodeEntry(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot);
bool DecodeEntry(const uint8_t* payload, uint32_t length, uint8_t playerCount, uint8_t characterLimit,
                 PlayerEntryMessage* entry);
}
