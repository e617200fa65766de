#pragma once

#include <cstdint>

// xorshift128 generator. Each object is an independent stream; the free
// functions below step one process-wide stream that battles reseed, so that
// replays and online peers draw the same numbers in the same order.
class CRandom
{
public:
    CRandom() = default;
    virtual ~CRandom() = default;

    // One step; returns the new w.
    uint32_t Next();
    // Next() mod n. n = 0 still draws (replays count draws) and returns 0.
    uint32_t NextInt(uint32_t n);
    // Starts the stream from a 32-bit seed, as SeedRandom starts the
    // process-wide one.
    void Seed(uint32_t seed);

    uint32_t x = 123456789;
    uint32_t y = 362436069;
    uint32_t z = 521288629;
    uint32_t w = 88675123;
};

// The process-wide stream.
uint32_t Random();
// Random() mod n; n = 0 draws and returns 0.
uint32_t RandomInt(uint32_t n);
// Reseeds the process-wide stream from a 32-bit seed (battle set-up).
void SeedRandom(uint32_t seed);
// Reads or replaces the four state words {x, y, z, w}, for saving a stream
// position and for tests.
void GetRandomState(uint32_t state[4]);
void SetRandomState(const uint32_t state[4]);
