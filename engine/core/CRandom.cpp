#include "engine/core/CRandom.h"

#include "engine/core/MathConstants.h"

#include <cmath>

namespace
{
struct RandomState
{
    uint32_t x = 123456789;
    uint32_t y = 362436069;
    uint32_t z = 521288629;
    uint32_t w = 88675123;
};

RandomState g_random;

template <class State>
uint32_t Step(State& s)
{
    const uint32_t t = s.x ^ (s.x << 11);
    s.x = s.y;
    s.y = s.z;
    s.z = s.w;
    s.w = s.w ^ (s.w >> 19) ^ t ^ (t >> 8);
    return s.w;
}

uint32_t SeedStep(uint32_t v)
{
    return (v ^ (v >> 30)) * 1812433253u + 1u;
}

template <class State>
void SeedState(State& s, uint32_t seed)
{
    s.w = SeedStep(seed);
    s.x = SeedStep(s.w);
    s.y = SeedStep(s.x);
    s.z = SeedStep(s.y);
}

// Truncates toward zero; values a 64-bit integer can't hold (and NaN) give 0.
int64_t TruncateToInt64(double v)
{
    if (!(v > -9.2e18 && v < 9.2e18))
        return 0;
    return static_cast<int64_t>(v);
}
}

uint32_t CRandom::Next()
{
    return Step(*this);
}

uint32_t CRandom::NextInt(uint32_t n)
{
    const uint32_t r = Next();
    return n != 0 ? r % n : 0;
}

uint32_t Random()
{
    return Step(g_random);
}

uint32_t RandomInt(uint32_t n)
{
    const uint32_t r = Random();
    return n != 0 ? r % n : 0;
}

void SeedRandom(uint32_t seed)
{
    SeedState(g_random, seed);
}

void CRandom::Seed(uint32_t seed)
{
    SeedState(*this, seed);
}

void GetRandomState(uint32_t state[4])
{
    state[0] = g_random.x;
    state[1] = g_random.y;
    state[2] = g_random.z;
    state[3] = g_random.w;
}

void SetRandomState(const uint32_t state[4])
{
    g_random.x = state[0];
    g_random.y = state[1];
    g_random.z = state[2];
    g_random.w = state[3];
}

float RandomComponent(float c, int32_t resolution)
{
    if (c == 0.0f)
        return 0.0f;
    const uint32_t r = Random();
    const int64_t n = TruncateToInt64(double(resolution) * c * 2.0);
    // Outside the contract (c or resolution too small or negative): the draw
    // above still happened, so the stream stays in step.
    if (n <= 0 || resolution == 0)
        return 0.0f;
    return float(double(uint64_t(r) % uint64_t(n)) / resolution - c);
}
