#pragma once

#include <cstdint>

class CByteReader;
class CByteWriter;

// The 300 bytes after a replay file's leading name: what the replay list
// shows of a file before it is opened for playing.
struct tag_TOLQREPLAYHEADER
{
    static constexpr uint32_t kSize = 300;
    static constexpr uint16_t kVersion = 259;
    static constexpr uint32_t kStageNameSize = 32;
    static constexpr uint32_t kCharacterNameSize = 260;

    uint16_t version = 0;                     // 0
    char stageName[kStageNameSize] = {};      // 2
    char characterName[kCharacterNameSize] = {}; // 34: the local player's character
    uint8_t online = 0;                       // 294
    uint8_t zero = 0;                         // 295
    uint16_t year = 0;                        // 296, UTC
    uint8_t month = 0;                        // 298, 1-12
    uint8_t day = 0;                          // 299, 1-31
};

void WriteReplayHeader(CByteWriter* writer, const tag_TOLQREPLAYHEADER& header);
// Both names come back NUL-terminated whatever the bytes hold.
void ReadReplayHeader(CByteReader* reader, tag_TOLQREPLAYHEADER* header);
