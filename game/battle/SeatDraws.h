#pragma once

#include <cstdint>

// A seat's random character, drawn from the match's seed: every side that
// knows the seed computes the same pick for every seat, and seats of one
// match get different characters while there are enough of them. The
// characters are shuffled once per seed, and seat s takes the s-th of the
// shuffled order (wrapping when there are more seats than characters).
// 0 when there are no characters.
uint8_t DrawSeatCharacter(uint32_t seed, uint32_t characterCount, uint32_t seat);
