// Reads arbitrary bytes as each of the three save files. Whatever is read
// must be in range and must encode to a file that reads back the same.
#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
void CheckConfig(const uint8_t* data, size_t size)
{
    tag_TOLQGAMECONFIG config;
    SetDefaultGameConfig(&config);
    DecodeGameConfig(data, size, &config);
    tag_TOLQGAMECONFIG copy = config;
    if (ValidateGameConfig(&copy) == 0)
        __builtin_trap();
    const std::vector<uint8_t> bytes = EncodeGameConfig(config);
    tag_TOLQGAMECONFIG again;
    SetDefaultGameConfig(&again);
    if (DecodeGameConfig(bytes.data(), bytes.size(), &again) != 1 || EncodeGameConfig(again) != bytes)
        __builtin_trap();
}

void CheckPlayData(const uint8_t* data, size_t size)
{
    tag_TOLQPLAYDATA play;
    DecodePlayData(data, size, &play);
    const std::vector<uint8_t> bytes = EncodePlayData(play);
    tag_TOLQPLAYDATA again;
    if (DecodePlayData(bytes.data(), bytes.size(), &again) != 1 || EncodePlayData(again) != bytes)
        __builtin_trap();
}

void CheckPlayRecord(const uint8_t* data, size_t size)
{
    tag_TOLQPLAYRECORD record = {};
    DecodePlayRecord(data, size, &record);
    const std::vector<uint8_t> bytes = EncodePlayRecord(record);
    tag_TOLQPLAYRECORD again = {};
    if (DecodePlayRecord(bytes.data(), bytes.size(), &again) != 1 || EncodePlayRecord(again) != bytes)
        __builtin_trap();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckConfig(data, size);
    CheckPlayData(data, size);
    CheckPlayRecord(data, size);
    return 0;
}
