#pragma once

#include "game/menu/MenuRect.h"

#include <cstdint>

// Where the mission screen's pictures lie in "Select_01.dds": its title,
// the panels' frame, the chosen row's band, the rank icons, the scroll bar
// and the back button. The data kit draws the stand-in pictures from the
// same table.
namespace MissionSheet
{
inline constexpr MenuCell kTitle{.left = 800, .top = 1512, .right = 1180, .bottom = 1560};
// The panels' frame: nine 36 x 36 pieces of one drawn window, corners kept
// and the rest stretched.
inline constexpr MenuCell kFrameWindow{.left = 800, .top = 1572, .right = 904, .bottom = 1676};
inline constexpr float kFramePiece = 36.0f;
inline constexpr MenuCell kRowBand{.left = 920, .top = 1572, .right = 952, .bottom = 1602};
// Rank icons: one for ranks 1 to 3, then one each for 4, 5 and 6.
inline constexpr uint32_t kRankIcons = 4;
inline constexpr MenuCell kRankIcon[kRankIcons] = {
    {.left = 960, .top = 1572, .right = 988, .bottom = 1600},
    {.left = 992, .top = 1572, .right = 1020, .bottom = 1600},
    {.left = 1024, .top = 1572, .right = 1052, .bottom = 1600},
    {.left = 1056, .top = 1572, .right = 1084, .bottom = 1600},
};
inline constexpr const char* kRankIconNames[kRankIcons] = {"C", "B", "A", "S"};
inline constexpr MenuCell kScrollTrack{.left = 1120, .top = 1572, .right = 1136, .bottom = 1636};
inline constexpr MenuCell kScrollThumb{.left = 1140, .top = 1572, .right = 1156, .bottom = 1588};
inline constexpr MenuCell kBack{.left = 800, .top = 1692, .right = 860, .bottom = 1732};
inline constexpr MenuCell kLitBack{.left = 864, .top = 1692, .right = 924, .bottom = 1732};
}
