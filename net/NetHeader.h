#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The 8-byte header in front of every message between peers, little-endian
// on the wire: signed 16-bit id, unsigned 16-bit sub-value, unsigned 32-bit
// payload length.
struct tag_KVRNETHEADER
{
    int16_t id = 0;
    uint16_t sub = 0;
    uint32_t length = 0;
};

constexpr size_t kNetHeaderSize = 8;
// Keep-alive request and answer; header only, sub 1. The session layer
// answers and consumes them itself.
constexpr int16_t kNetKeepAliveRequest = 32766;
constexpr int16_t kNetKeepAliveAnswer = 32767;
// The largest payload a peer session accepts. A header announcing more ends
// the connection instead of allocating whatever the peer claims.
constexpr uint32_t kNetMaxPayload = 64 * 1024;
// Transport kinds, the socket types of the sockets API.
constexpr uint32_t kNetKindTcp = 1;
constexpr uint32_t kNetKindUdp = 2;

void WriteNetHeader(uint8_t* out, const tag_KVRNETHEADER& header);
tag_KVRNETHEADER ReadNetHeader(const uint8_t* in);

// Header and payload in one buffer, ready for the wire. 0 when length is
// above the session limit (nothing is built).
uint32_t BuildNetFrame(std::vector<uint8_t>& out, int16_t id, uint16_t sub, const void* payload, uint32_t length);
