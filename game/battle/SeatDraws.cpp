// A seat's random character from the match's seed.
#include "game/battle/SeatDraws.h"

#include "engine/core/CRandom.h"

#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

namespace
{
// Keeps the shuffle apart from the battle's own stream, which starts from
// the same seed.
constexpr uint32_t kSeatDrawSalt = 0x5EA7D4A3u;
constexpr uint32_t kMostCharacters = 255;
}

uint8_t DrawSeatCharacter(uint32_t seed, uint32_t characterCount, uint32_t seat)
{
    const uint32_t count = std::min(characterCount, kMostCharacters);
    if (count == 0)
        return 0;
    std::vector<uint8_t> order(count);
    std::iota(order.begin(), order.end(), static_cast<uint8_t>(0));
    CRandom random;
    random.Seed(seed ^ kSeatDrawSalt);
    for (uint32_t i = count - 1; i > 0; --i)
        std::swap(order[i], order[random.NextInt(i + 1)]);
    return order[seat % count];
}
