#pragma once

#include <cstdint>

// One attribute of a room or a random match: how big its value is, where it
// lies in the room's value block, its choices and their captions.
// Names and captions are UTF-8 here; the functions below hand them out as
// the game's text.
struct tag_KVRLOBBYATTRIBUTE
{
    char name[24];
    uint8_t size;
    uint8_t offset;
    int32_t choices;
    int32_t defaultChoice;
    // What a random-match request sends for a value left at its default.
    int32_t anyValue;
    const char* const* captions;
};

constexpr int32_t kLobbyRoomAttributeCount = 1;
constexpr int32_t kLobbyMatchAttributeCount = 5;
constexpr uint8_t kLobbyRankBandCount = 14;
constexpr uint8_t kLobbyRankBandAll = 13;
constexpr uint8_t kLobbyHostPreferenceCount = 5;
constexpr uint8_t kLobbyHostPreferenceDefault = 2;

// The static schemas: every room (weapons only) and the random match.
const tag_KVRLOBBYATTRIBUTE* GetLobbyRoomSchema();
const tag_KVRLOBBYATTRIBUTE* GetLobbyMatchSchema();

// The attribute's name; "" for none.
const char* GetLobbyAttributeName(const tag_KVRLOBBYATTRIBUTE* attribute);
// Caption of a value of an attribute; "" for an index outside its choices.
const char* GetLobbyAttributeCaption(const tag_KVRLOBBYATTRIBUTE* attribute, int32_t value);
// "" for a band or preference outside the table.
const char* GetLobbyRankBandCaption(uint8_t band);
const char* GetLobbyHostPreferenceCaption(uint8_t preference);

// True when the band admits a player of that rank; bands above 13 admit
// nobody.
bool LobbyRankBandAdmits(uint8_t band, int32_t rank);
// The next band in direction (+1 or -1) that admits rank, wrapping round;
// the band itself when no other does.
uint8_t StepLobbyRankBand(uint8_t band, int32_t direction, int32_t rank);
// Steps value through 0..count - 1 with wrapping (count <= 0: 0).
int32_t StepLobbyChoice(int32_t value, int32_t direction, int32_t count);
