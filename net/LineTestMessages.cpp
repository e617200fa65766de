#include "net/LineTestMessages.h"

#include <cstring>

void WriteLineTestRequest(uint8_t* out, uint16_t count, uint16_t size)
{
    out[0] = static_cast<uint8_t>(count);
    out[1] = static_cast<uint8_t>(count >> 8);
    out[2] = static_cast<uint8_t>(size);
    out[3] = static_cast<uint8_t>(size >> 8);
}

uint32_t ParseLineTestRequest(const uint8_t* in, size_t length, uint16_t* count, uint16_t* size)
{
    if (in == nullptr || length < 4)
        return 0;
    const uint16_t blocks = static_cast<uint16_t>(in[0] | (in[1] << 8));
    const uint16_t bytes = static_cast<uint16_t>(in[2] | (in[3] << 8));
    if (blocks == 0 || blocks > kLineTestMaxBlockCount)
        return 0;
    if (bytes < kLineTestMinBlockSize || bytes > kLineTestMaxBlockSize)
        return 0;
    *count = blocks;
    *size = bytes;
    return 1;
}

void FillLineTestBlock(uint8_t* block, uint16_t size, uint16_t sequence, uint8_t side)
{
    std::memset(block, 0x5A, size);
    block[0] = static_cast<uint8_t>(sequence);
    block[1] = static_cast<uint8_t>(sequence >> 8);
    if (size > 2)
        block[2] = side;
}

uint32_t ParseLineTestDatagram(const uint8_t* in, size_t length, uint16_t* sequence, uint8_t* side)
{
    if (in == nullptr || length < 2)
        return 0;
    *sequence = static_cast<uint16_t>(in[0] | (in[1] << 8));
    *side = 0;
    if (length > 2 && (in[2] == kLineTestFromTester || in[2] == kLineTestFromService))
        *side = in[2];
    return 1;
}
