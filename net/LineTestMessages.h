#pragma once

#include <cstddef>
#include <cstdint>

// The wire pieces of the line test: the tester's 4-byte request (u16 block
// count, u16 block size, little-endian) and the datagrams, which begin with
// a u16 sequence number. The third byte of a datagram names its sender's
// side ('T' tester, 'S' service), so that a machine that tests a peer while
// being tested by it counts each stream into the right record.

constexpr uint16_t kLineTestMinBlockSize = 2;
// A block goes out as one datagram: no larger than one Ethernet payload.
constexpr uint16_t kLineTestMaxBlockSize = 1400;
constexpr uint16_t kLineTestMaxBlockCount = 1000;
constexpr uint8_t kLineTestFromTester = 'T';
constexpr uint8_t kLineTestFromService = 'S';

void WriteLineTestRequest(uint8_t* out, uint16_t count, uint16_t size);
// 0 when the count or the size is outside what a test may ask for.
uint32_t ParseLineTestRequest(const uint8_t* in, size_t length, uint16_t* count, uint16_t* size);

// Fills a block of size bytes (size >= 2) for datagram sequence number.
void FillLineTestBlock(uint8_t* block, uint16_t size, uint16_t sequence, uint8_t side);
// The sequence number and sender side (0 when the datagram is too short to
// say) of a received datagram; 0 for a datagram shorter than 2 bytes.
uint32_t ParseLineTestDatagram(const uint8_t* in, size_t length, uint16_t* sequence, uint8_t* side);
