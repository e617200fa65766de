#pragma once

// The messages the players of an online match exchange over the room's peer
// session (sub-value 1, TCP), with their fixed lengths, and the seed's
// reader and writer. The setup's messages (3-6) have theirs in
// game/battle/SetupMessages.h; the frames and records theirs in
// CNetLockstep.

#include <cstddef>
#include <cstdint>

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
    NETMSG_PAUSE = 11,          // host -> all, not sent by this game: u8 v, the receiver waits v + 18 ms
    NETMSG_POSITIONS = 12,      // host -> all, not sent by this game: 8 x three floats, each fighter's position
    NETMSG_POSITIONS_FRAMES = 13, // host -> all, not sent by this game: message 12, then frames as in 9
    NETMSG_KEEPALIVE = 14,      // host -> all: no payload
    NETMSG_KEEPALIVE_ANSWER = 15, // guest -> host: u8 slot
};
constexpr uint16_t kNetMatchSub = 1;

constexpr uint32_t kNetSlotSize = 1;
constexpr uint32_t kNetSceneStateSize = 4;
constexpr uint32_t kNetReadySize = 1;
constexpr uint32_t kNetSeedSize = 6;
constexpr uint32_t kNetResultSize = 1;
constexpr uint32_t kNetAnswerSize = 1;
constexpr uint32_t kNetPauseSize = 1;
constexpr uint32_t kNetPauseBase = 18;
constexpr uint32_t kNetPositionsSize = 96;

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
