#pragma once

#include "game/menu/MenuRect.h"

// Where the option and record screens' pictures lie in "Select_01.dds":
// the shared menu frame, the option rows' labels and buttons, and the
// record pages' stripes and rule. The data kit draws the stand-in pictures
// from the same table.
namespace MenuScreenSheet
{
// The menu frame.
inline constexpr MenuCell kTopBand{.left = 692, .top = 1368, .right = 696, .bottom = 1392};
inline constexpr MenuCell kUnderTitleBand{.left = 700, .top = 1368, .right = 704, .bottom = 1392};
inline constexpr MenuCell kBottomBand{.left = 1464, .top = 552, .right = 1468, .bottom = 588};
inline constexpr MenuCell kOptionTitle{.left = 4, .top = 592, .right = 384, .bottom = 640};
inline constexpr MenuCell kRecordTitle{.left = 4, .top = 644, .right = 500, .bottom = 692};

// Option rows 0-7 (full screen, vibration, shake, BGM, SE, voice, radar,
// difficulty) and the confirm row 8.
inline constexpr int kOptionRowCount = 9;
inline constexpr MenuCell kRowLabels[kOptionRowCount] = {
    {.left = 924, .top = 696, .right = 1144, .bottom = 736},  {.left = 1148, .top = 696, .right = 1292, .bottom = 736},
    {.left = 924, .top = 784, .right = 1048, .bottom = 824},  {.left = 1084, .top = 740, .right = 1240, .bottom = 780},
    {.left = 1052, .top = 784, .right = 1200, .bottom = 824}, {.left = 924, .top = 740, .right = 1080, .bottom = 780},
    {.left = 1296, .top = 696, .right = 1484, .bottom = 736}, {.left = 1244, .top = 740, .right = 1484, .bottom = 780},
    {.left = 1204, .top = 784, .right = 1280, .bottom = 824},
};
inline constexpr const char* kRowNames[kOptionRowCount] = {"Full screen", "Vibration",        "Shake",
                                                           "BGM volume",  "SE volume",        "Voice volume",
                                                           "Radar type",  "Story difficulty", "OK"};
inline constexpr MenuCell kRowArrow{.left = 1368, .top = 936, .right = 1408, .bottom = 976};
inline constexpr MenuCell kOnButton{.left = 800, .top = 852, .right = 848, .bottom = 888};
inline constexpr MenuCell kOffButton{.left = 852, .top = 852, .right = 916, .bottom = 888};
inline constexpr MenuCell kRadarButtons[2] = {{.left = 1284, .top = 784, .right = 1356, .bottom = 824},
                                              {.left = 1360, .top = 784, .right = 1428, .bottom = 824}};
inline constexpr const char* kRadarNames[2] = {"Fixed", "Rotate"};
inline constexpr int kDifficultyCount = 5;
inline constexpr MenuCell kDifficultyButtons[kDifficultyCount] = {
    {.left = 920, .top = 852, .right = 988, .bottom = 888},   {.left = 992, .top = 852, .right = 1096, .bottom = 888},
    {.left = 1100, .top = 852, .right = 1168, .bottom = 888}, {.left = 1172, .top = 852, .right = 1304, .bottom = 888},
    {.left = 1308, .top = 852, .right = 1460, .bottom = 888},
};
inline constexpr const char* kDifficultyNames[kDifficultyCount] = {"Easy", "Normal", "Hard", "VeryHard", "Nightmare"};
inline constexpr MenuCell kVolumeMin{.left = 240, .top = 1428, .right = 288, .bottom = 1452};
inline constexpr MenuCell kVolumeMax{.left = 240, .top = 1456, .right = 288, .bottom = 1480};
inline constexpr MenuCell kBarEmpty{.left = 924, .top = 840, .right = 1224, .bottom = 848};
inline constexpr MenuCell kBarFill{.left = 924, .top = 828, .right = 1224, .bottom = 836};
inline constexpr MenuCell kUnderline{.left = 1544, .top = 40, .right = 1564, .bottom = 44};

// The record pages.
inline constexpr MenuCell kStripe{.left = 1412, .top = 936, .right = 1424, .bottom = 976};
inline constexpr MenuCell kRuleLeft{.left = 1608, .top = 32, .right = 1616, .bottom = 40};
inline constexpr MenuCell kRuleMiddle{.left = 1612, .top = 32, .right = 1620, .bottom = 40};
inline constexpr MenuCell kRuleRight{.left = 1620, .top = 32, .right = 1628, .bottom = 40};
// The three pieces of the rule share texels: the sheet holds them as one.
inline constexpr MenuCell kRule{.left = 1608, .top = 32, .right = 1628, .bottom = 40};
}
