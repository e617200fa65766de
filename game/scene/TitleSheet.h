#pragma once

#include "game/menu/MenuRect.h"

// Where the title's pictures lie in their sheets: the ring items, arrows,
// cursor frames and corner logo in "Select_01.dds", the title picture, its
// corner strip and prompt in "Background_02.dds", the maker's logo in
// "CircleLogo_01.dds". The data kit draws the stand-in pictures from the
// same table.
namespace TitleSheet
{
inline constexpr int kRingItemCount = 11;
// In ring order; each leads to the scene of id item + 1, the last quits.
inline constexpr MenuCell kRingItems[kRingItemCount] = {
    {.left = 4, .top = 1196, .right = 220, .bottom = 1248},   // story
    {.left = 224, .top = 1196, .right = 320, .bottom = 1248}, // local battle
    {.left = 544, .top = 1196, .right = 796, .bottom = 1248}, // network
    {.left = 324, .top = 1196, .right = 540, .bottom = 1248}, // mission
    {.left = 4, .top = 1252, .right = 356, .bottom = 1304},   // shop
    {.left = 360, .top = 1252, .right = 576, .bottom = 1304}, // option
    {.left = 580, .top = 1252, .right = 804, .bottom = 1304}, // record
    {.left = 4, .top = 1308, .right = 140, .bottom = 1360},   // equipment
    {.left = 144, .top = 1308, .right = 320, .bottom = 1360}, // replay
    {.left = 1748, .top = 704, .right = 2044, .bottom = 756}, // tutorial
    {.left = 1652, .top = 704, .right = 1744, .bottom = 756}, // quit
};
inline constexpr const char* kRingItemNames[kRingItemCount] = {"Story",  "Local battle", "Network", "Mission",
                                                               "Shop",   "Option",       "Record",  "Equipment",
                                                               "Replay", "Tutorial",     "Quit"};

inline constexpr MenuCell kCornerLogo{.left = 4, .top = 696, .right = 796, .bottom = 1192};
inline constexpr MenuCell kArrow{.left = 1224, .top = 1120, .right = 1300, .bottom = 1152};
inline constexpr MenuCell kLitArrow{.left = 1224, .top = 1156, .right = 1300, .bottom = 1188};
inline constexpr int kCursorFrameCount = 6;
inline constexpr MenuCell kCursorFrames[kCursorFrameCount] = {
    {.left = 4, .top = 1364, .right = 68, .bottom = 1428},    {.left = 72, .top = 1364, .right = 136, .bottom = 1428},
    {.left = 140, .top = 1364, .right = 204, .bottom = 1428}, {.left = 4, .top = 1432, .right = 68, .bottom = 1496},
    {.left = 72, .top = 1432, .right = 136, .bottom = 1496},  {.left = 140, .top = 1432, .right = 204, .bottom = 1496},
};

// "Background_02.dds".
inline constexpr MenuCell kTitlePicture{.left = 0, .top = 0, .right = 1024, .bottom = 768};
inline constexpr MenuCell kCornerStrip{.left = 4, .top = 772, .right = 248, .bottom = 800};
inline constexpr MenuCell kPrompt{.left = 252, .top = 772, .right = 676, .bottom = 824};

// "CircleLogo_01.dds".
inline constexpr MenuCell kMakerLogo{.left = 4, .top = 4, .right = 484, .bottom = 236};
}
