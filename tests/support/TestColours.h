#pragma once

#include <cstdint>

// Draw colours (0xAARRGGBB) the drawing tests paint with and look for.
inline constexpr uint32_t RED = 0xFFFF0000;
inline constexpr uint32_t GREEN = 0xFF00FF00;
inline constexpr uint32_t BLUE = 0xFF0000FF;
inline constexpr uint32_t WHITE = 0xFFFFFFFF;
