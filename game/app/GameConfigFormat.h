#pragma once

#include "game/app/GameConfigTypes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The three save files, each a u16 version and then its record's fields in
// order, little-endian, texts as fixed NUL-padded byte arrays:
//
// "GameConfig.dat", version 0x103:
//   u16 lobby port; u32 UPnP; char[33] login ID; u32 full screen, screen
//   shake, pad vibration; i32 music, sound-effect, voice volume; u8 radar
//   type, story difficulty; u8 radio-chat character count (<= 8), then per
//   character 12 x {u8 scope, char[33] text, u8 phrase}; u32 keys[24];
//   u32 pad elements[24]; f32 camera, mouse sensitivity; u32 sound count,
//   3D sound; u8 key response, send byte; u32 friendly fire, replay save;
//   u8 replay count; u32 opening movie.
// "PlayData.dat", version 0x101:
//   u32 points (<= 99999); u8 character count (<= 8), stage count, built-in
//   music count; u32 music count; u16 weapon count, clothes count; per
//   character {u32 story clears[5], char[260] weapons[10], char[260]
//   clothes[6]}; per weapon, then per clothes item {u32 unlocked, owned,
//   reserved}; u16 mission count, cleared-mission count; per mission {u8
//   rank, u32 value}; u32 user music count (<= 256), then char[260] each.
// "PlayRecord.dat", version 0x100:
//   u32 total play time; u8 player rank; u8 record count (<= 8); per
//   character, offline then network, the 15 tallies without the two
//   run-time ones (13 x u32 per half).
//
// Decoding starts from the record the caller passes (defaults), keeps the
// default of every field it cannot read, and brings every field it reads
// into range. It returns 1 for a clean file and 0 when anything had to be
// replaced: a short, long, corrupt or other-version file.

constexpr uint16_t kGameConfigVersion = 0x103;
constexpr uint16_t kPlayDataVersion = 0x101;
constexpr uint16_t kPlayRecordVersion = 0x100;

constexpr uint32_t kMaxPoints = 99999;
constexpr uint32_t kMaxUnlockEntries = 4096;
constexpr uint32_t kMaxUserMusic = 256;

std::vector<uint8_t> EncodeGameConfig(const tag_TOLQGAMECONFIG& config);
int DecodeGameConfig(const uint8_t* data, size_t size, tag_TOLQGAMECONFIG* config);

std::vector<uint8_t> EncodePlayData(const tag_TOLQPLAYDATA& data);
int DecodePlayData(const uint8_t* bytes, size_t size, tag_TOLQPLAYDATA* data);

std::vector<uint8_t> EncodePlayRecord(const tag_TOLQPLAYRECORD& record);
int DecodePlayRecord(const uint8_t* bytes, size_t size, tag_TOLQPLAYRECORD* record);

// Brings every field into its range; 1 when nothing had to change.
int ValidateGameConfig(tag_TOLQGAMECONFIG* config);
