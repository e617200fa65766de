// The online match's seed message and its byte helpers.
#include "game/scene/NetMatchMessages.h"

uint32_t ReadNetU32(const uint8_t* in)
{
    return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) | (static_cast<uint32_t>(in[2]) << 16) |
           (static_cast<uint32_t>(in[3]) << 24);
}

void WriteNetU32(uint32_t value, uint8_t* out)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

// ---------------------------------------------------------------- seed

void WriteNetSeed(const NetSeed& seed, uint8_t out[kNetSeedSize])
{
    WriteNetU32(seed.seed, out);
    out[4] = seed.framesPerBatch;
    out[5] = seed.sendByte;
}

bool ReadNetSeed(const uint8_t* payload, uint32_t length, NetSeed* out)
{
    if (payload == nullptr || length != kNetSeedSize)
        return false;
    out->seed = ReadNetU32(payload);
    out->framesPerBatch = payload[4];
    out->sendByte = payload[5];
    return true;
}
