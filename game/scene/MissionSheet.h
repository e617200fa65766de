#pragma once

#include "game/menu/MenuRect.h"

#include <cstdint>

// Where the mission screen's pictures lie in "Select_01.dds": its title,
// the panels' frame, the chosen row's band, the rank icons, the scroll bar
// and the back button. The data kit draws the stand-in pictures from the
// same table.
namespace MissionSheet
{
inline constexpr MenuCell kTitle{.left = 1040, .top = 60, .right = 1420, .bottom = 108};
// The panels' frame: nine 36 x 36 pieces of one drawn window, corners kept
// and the rest stretched.
inline constexpr MenuCell kFrameWindow{.left = 1040, .top = 120, .right = 1144, .bottom = 224};
inline constexpr float kFramePiece = 36.0f;
inline constexpr MenuCell kRowBand{.left = 1160, .top = 120, .right = 1192, .bottom = 150};
// Rank icons: one for ranks 1 to 3, then one each for 4, 5 and 6.
inline constexpr uint32_t kRankIcons = 4;
inline constexpr MenuCell kRankIcon[kRankIcons] = {
    {.left = 1200, .top = 120, .right = 1228, .bottom = 148},
    {.left = 1232, .top = 120, .right = 1260, .bottom = 148},
    {.left = 1264, .top = 120, .right = 1292, .bottom = 148},
    {.left = 1296, .top = 120, .right = 1324, .bottom = 148},
};
inline constexpr const char* kRankIconNames[kRankIcons] = {"C", "B", "A", "S"};
inline constexpr MenuCell kScrollTrack{.left = 1360, .top = 120, .right = 1376, .bottom = 184};
inline constexpr MenuCell kScrollThumb{.left = 1380, .top = 120, .right = 1396, .bottom = 136};
inline constexpr MenuCell kBack{.left = 1040, .top = 240, .right = 1100, .bottom = 280};
inline constexpr MenuCell kLitBack{.left = 1104, .top = 240, .right = 1164, .bottom = 280};
}
