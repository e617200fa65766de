#include "net/NetHeader.h"

#include <cstring>

void WriteNetHeader(uint8_t* out, const tag_KVRNETHEADER& header)
{
    const uint16_t id = static_cast<uint16_t>(header.id);
    out[0] = static_cast<uint8_t>(id);
    out[1] = static_cast<uint8_t>(id >> 8);
    out[2] = static_cast<uint8_t>(header.sub);
    out[3] = static_cast<uint8_t>(header.sub >> 8);
    out[4] = static_cast<uint8_t>(header.length);
    out[5] = static_cast<uint8_t>(header.length >> 8);
    out[6] = static_cast<uint8_t>(header.length >> 16);
    out[7] = static_cast<uint8_t>(header.length >> 24);
}

tag_KVRNETHEADER ReadNetHeader(const uint8_t* in)
{
    tag_KVRNETHEADER header;
    header.id = static_cast<int16_t>(static_cast<uint16_t>(in[0] | (in[1] << 8)));
    header.sub = static_cast<uint16_t>(in[2] | (in[3] << 8));
    header.length = static_cast<uint32_t>(in[4]) | (static_cast<uint32_t>(in[5]) << 8) |
                    (static_cast<uint32_t>(in[6]) << 16) | (static_cast<uint32_t>(in[7]) << 24);
    return header;
}

uint32_t BuildNetFrame(std::vector<uint8_t>& out, int16_t id, uint16_t sub, const void* payload, uint32_t length)
{
    if (length > kNetMaxPayload)
        return 0;
    out.resize(kNetHeaderSize + length);
    tag_KVRNETHEADER header;
    header.id = id;
    header.sub = sub;
    header.length = length;
    WriteNetHeader(out.data(), header);
    if (payload != nullptr && length > 0)
        std::memcpy(out.data() + kNetHeaderSize, payload, length);
    return 1;
}
