#pragma once

#include "game/menu/MenuRect.h"

#include <cstdint>

// Where the battle setup's pictures lie in "Select_01.dds": the page
// headings and titles, the mode panels, the member panels with their
// characters, marks and buttons, the rules' labels, values, stage pictures
// and arrows, the weapons page's type cells, tabs and pips, and the window
// pieces every page frames its parts with. The data kit draws the stand-in
// pictures from the same table. Cells that come in pairs (a control and its
// look under the mouse) lie side by side: the second follows the first.
namespace SetupSheet
{
// Page headings: strips stretched across the screen, and each page's title.
inline constexpr MenuCell kHeadingTop{.left = 1472, .top = 600, .right = 1476, .bottom = 624};
inline constexpr MenuCell kHeadingUnder{.left = 1480, .top = 600, .right = 1484, .bottom = 624};
inline constexpr int kPageCount = 4;
inline constexpr MenuCell kPageTitles[kPageCount] = {
    {.left = 1520, .top = 1592, .right = 1900, .bottom = 1640}, // mode
    {.left = 1520, .top = 1644, .right = 1900, .bottom = 1692}, // members
    {.left = 1520, .top = 1696, .right = 1900, .bottom = 1744}, // rules
    {.left = 1520, .top = 1748, .right = 1900, .bottom = 1796}, // weapons
};
inline constexpr const char* kPageTitleNames[kPageCount] = {"MODE  対戦形式", "MEMBER  参加者", "RULE  ルール",
                                                           "WEAPON  武器"};

// The mode page: each panel in its chosen look and its other look, drawn
// at twice their size (376 x 532 on the page).
inline constexpr float kModePanelScale = 2.0f;
inline constexpr MenuCell kSoloPanel{.left = 0, .top = 1504, .right = 188, .bottom = 1770};
inline constexpr MenuCell kSoloPanelOff{.left = 192, .top = 1504, .right = 380, .bottom = 1770};
inline constexpr MenuCell kTeamPanel{.left = 384, .top = 1504, .right = 572, .bottom = 1770};
inline constexpr MenuCell kTeamPanelOff{.left = 576, .top = 1504, .right = 764, .bottom = 1770};

// The members page. Panels: teams 0-3 (team 0 also the panel of every seat
// in a battle without teams), then the closed seat.
inline constexpr int kPanelKinds = 5;
inline constexpr int kClosedPanel = 4;
inline constexpr MenuCell kPanels[kPanelKinds] = {
    {.left = 0, .top = 0, .right = 200, .bottom = 268},   {.left = 204, .top = 0, .right = 404, .bottom = 268},
    {.left = 408, .top = 0, .right = 608, .bottom = 268}, {.left = 612, .top = 0, .right = 812, .bottom = 268},
    {.left = 816, .top = 0, .right = 1016, .bottom = 268},
};
inline constexpr const char* kPanelNames[kPanelKinds] = {"", "", "", "", "CLOSED"};
// The seat's state: players 1-8 (their slot), a computer, a closed seat.
inline constexpr int kSeatKinds = 10;
inline constexpr int kComputerSeat = 8;
inline constexpr int kClosedSeat = 9;
inline constexpr MenuCell kSeats[kSeatKinds] = {
    {.left = 1020, .top = 104, .right = 1072, .bottom = 128}, {.left = 1076, .top = 104, .right = 1128, .bottom = 128},
    {.left = 1132, .top = 104, .right = 1184, .bottom = 128}, {.left = 1188, .top = 104, .right = 1240, .bottom = 128},
    {.left = 1244, .top = 104, .right = 1296, .bottom = 128}, {.left = 1300, .top = 104, .right = 1352, .bottom = 128},
    {.left = 1356, .top = 104, .right = 1408, .bottom = 128}, {.left = 1020, .top = 244, .right = 1072, .bottom = 268},
    {.left = 1076, .top = 244, .right = 1128, .bottom = 268}, {.left = 1132, .top = 244, .right = 1184, .bottom = 268},
};
inline constexpr const char* kSeatNames[kSeatKinds] = {"1P", "2P", "3P", "4P", "5P", "6P", "7P", "8P", "CPU", "CLOSE"};
// The seat and team arrows of the panel being edited (pointing right), and
// their look under the mouse.
inline constexpr MenuCell kSmallArrow{.left = 1188, .top = 244, .right = 1208, .bottom = 272};
inline constexpr MenuCell kSmallArrowHover{.left = 1212, .top = 244, .right = 1232, .bottom = 272};
inline constexpr int kTeams = 4;
inline constexpr MenuCell kTeamMarks[kTeams] = {
    {.left = 1020, .top = 136, .right = 1084, .bottom = 160}, {.left = 1088, .top = 136, .right = 1152, .bottom = 160},
    {.left = 1156, .top = 136, .right = 1220, .bottom = 160}, {.left = 1224, .top = 136, .right = 1288, .bottom = 160},
};
inline constexpr const char* kTeamNames[kTeams] = {"TEAM A", "TEAM B", "TEAM C", "TEAM D"};
inline constexpr MenuCell kConfirmedMark{.left = 1292, .top = 136, .right = 1356, .bottom = 168};
inline constexpr int kElements = 7;
inline constexpr MenuCell kElementMarks[kElements] = {
    {.left = 1020, .top = 172, .right = 1052, .bottom = 204}, {.left = 1056, .top = 172, .right = 1088, .bottom = 204},
    {.left = 1092, .top = 172, .right = 1124, .bottom = 204}, {.left = 1128, .top = 172, .right = 1160, .bottom = 204},
    {.left = 1164, .top = 172, .right = 1196, .bottom = 204}, {.left = 1200, .top = 172, .right = 1232, .bottom = 204},
    {.left = 1236, .top = 172, .right = 1268, .bottom = 204},
};
inline constexpr const char* kElementNames[kElements] = {"火", "風", "木", "土", "水", "光", "闇"};
inline constexpr MenuCell kPanelMarker{.left = 1020, .top = 208, .right = 1228, .bottom = 220};
// Characters by the picture index of their definition; the last is the
// random choice's.
inline constexpr int kCharacterPictures = 9;
inline constexpr int kRandomPicture = kCharacterPictures - 1;
inline constexpr MenuCell kCharacterArt[kCharacterPictures] = {
    {.left = 0, .top = 272, .right = 156, .bottom = 460},    {.left = 160, .top = 272, .right = 316, .bottom = 460},
    {.left = 320, .top = 272, .right = 476, .bottom = 460},  {.left = 480, .top = 272, .right = 636, .bottom = 460},
    {.left = 640, .top = 272, .right = 796, .bottom = 460},  {.left = 800, .top = 272, .right = 956, .bottom = 460},
    {.left = 960, .top = 272, .right = 1116, .bottom = 460}, {.left = 1120, .top = 272, .right = 1276, .bottom = 460},
    {.left = 1280, .top = 272, .right = 1436, .bottom = 460},
};
inline constexpr MenuCell kCharacterNames[kCharacterPictures] = {
    {.left = 0, .top = 464, .right = 112, .bottom = 496},   {.left = 116, .top = 464, .right = 228, .bottom = 496},
    {.left = 232, .top = 464, .right = 344, .bottom = 496}, {.left = 348, .top = 464, .right = 460, .bottom = 496},
    {.left = 464, .top = 464, .right = 576, .bottom = 496}, {.left = 580, .top = 464, .right = 692, .bottom = 496},
    {.left = 696, .top = 464, .right = 808, .bottom = 496}, {.left = 812, .top = 464, .right = 924, .bottom = 496},
    {.left = 928, .top = 464, .right = 1040, .bottom = 496},
};
inline constexpr MenuCell kCharacterIcons[kCharacterPictures] = {
    {.left = 1708, .top = 1292, .right = 1812, .bottom = 1348}, {.left = 1816, .top = 1292, .right = 1920, .bottom = 1348},
    {.left = 1708, .top = 1352, .right = 1812, .bottom = 1408}, {.left = 1816, .top = 1352, .right = 1920, .bottom = 1408},
    {.left = 1708, .top = 1412, .right = 1812, .bottom = 1468}, {.left = 1816, .top = 1412, .right = 1920, .bottom = 1468},
    {.left = 1708, .top = 1472, .right = 1812, .bottom = 1528}, {.left = 1816, .top = 1472, .right = 1920, .bottom = 1528},
    {.left = 1708, .top = 1532, .right = 1812, .bottom = 1588},
};
inline constexpr MenuCell kPanelOk{.left = 1020, .top = 72, .right = 1056, .bottom = 100};
inline constexpr MenuCell kPanelOkHover{.left = 1060, .top = 72, .right = 1096, .bottom = 100};
inline constexpr MenuCell kDecide{.left = 1020, .top = 0, .right = 1152, .bottom = 68};
inline constexpr MenuCell kDecideHover{.left = 1156, .top = 0, .right = 1288, .bottom = 68};

// Arrow controls (the stage, music and rule rows, the panels' seat and team
// arrows) pointing right; drawn mirrored for left.
inline constexpr MenuCell kArrow{.left = 1232, .top = 208, .right = 1288, .bottom = 236};
inline constexpr MenuCell kArrowHover{.left = 1292, .top = 208, .right = 1348, .bottom = 236};
// The current row's marker, left of its label.
inline constexpr MenuCell kRowMarker{.left = 1352, .top = 208, .right = 1384, .bottom = 240};

// The rules page's row labels: stage, music, rule, limit, time, CPU level,
// items, weapons, NPCs, next, reset.
inline constexpr int kRuleRows = 11;
inline constexpr MenuCell kRuleLabels[kRuleRows] = {
    {.left = 1304, .top = 980, .right = 1480, .bottom = 1020},  {.left = 1484, .top = 980, .right = 1660, .bottom = 1020},
    {.left = 1664, .top = 980, .right = 1840, .bottom = 1020},  {.left = 1844, .top = 980, .right = 2020, .bottom = 1020},
    {.left = 1304, .top = 1024, .right = 1480, .bottom = 1064}, {.left = 1484, .top = 1024, .right = 1660, .bottom = 1064},
    {.left = 1664, .top = 1024, .right = 1840, .bottom = 1064}, {.left = 1844, .top = 1024, .right = 2020, .bottom = 1064},
    {.left = 1304, .top = 1068, .right = 1480, .bottom = 1108}, {.left = 1484, .top = 1068, .right = 1660, .bottom = 1108},
    {.left = 1664, .top = 1068, .right = 1840, .bottom = 1108},
};
inline constexpr const char* kRuleLabelNames[kRuleRows] = {
    "STAGE", "BGM", "RULE", "LIMIT", "TIME", "CPU LEVEL", "ITEM", "WEAPON", "NPC", "NEXT", "RESET"};
// One picture per stage (the stand-in set has one), then the random one.
inline constexpr int kStagePictures = 4;
inline constexpr int kRandomStagePicture = kStagePictures - 1;
inline constexpr MenuCell kStageArt[kStagePictures] = {
    {.left = 1304, .top = 1116, .right = 1704, .bottom = 1204}, {.left = 1304, .top = 1208, .right = 1704, .bottom = 1296},
    {.left = 1304, .top = 1300, .right = 1704, .bottom = 1388}, {.left = 1304, .top = 1392, .right = 1704, .bottom = 1480},
};
inline constexpr const char* kStageArtNames[kStagePictures] = {"Stand-in Arena", "STAGE 2", "STAGE 3", "RANDOM"};
// The four rules: solo points, solo medals, team points, team medals.
inline constexpr int kRuleKinds = 4;
inline constexpr MenuCell kRuleKindsArt[kRuleKinds] = {
    {.left = 1708, .top = 1116, .right = 1964, .bottom = 1156}, {.left = 1708, .top = 1160, .right = 1964, .bottom = 1200},
    {.left = 1708, .top = 1204, .right = 1964, .bottom = 1244}, {.left = 1708, .top = 1248, .right = 1964, .bottom = 1288},
};
inline constexpr const char* kRuleKindNames[kRuleKinds] = {"ポイント制", "メダル制", "チームポイント制", "チームメダル制"};
// Value cells: the limit's ten counts (the CPU levels show the first five),
// the five time limits, the four NPC counts, the six item kinds and the
// seventeen weapon classes.
inline constexpr int kLimitCells = 10;
inline constexpr MenuCell kLimitArt[kLimitCells] = {
    {.left = 1472, .top = 48, .right = 1512, .bottom = 88},  {.left = 1516, .top = 48, .right = 1556, .bottom = 88},
    {.left = 1560, .top = 48, .right = 1600, .bottom = 88},  {.left = 1604, .top = 48, .right = 1644, .bottom = 88},
    {.left = 1648, .top = 48, .right = 1688, .bottom = 88},  {.left = 1692, .top = 48, .right = 1732, .bottom = 88},
    {.left = 1736, .top = 48, .right = 1776, .bottom = 88},  {.left = 1780, .top = 48, .right = 1820, .bottom = 88},
    {.left = 1824, .top = 48, .right = 1864, .bottom = 88},  {.left = 1868, .top = 48, .right = 1908, .bottom = 88},
};
inline constexpr const char* kLimitNames[kLimitCells] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
inline constexpr int kTimeCells = 5;
inline constexpr MenuCell kTimeArt[kTimeCells] = {
    {.left = 1472, .top = 92, .right = 1556, .bottom = 132}, {.left = 1560, .top = 92, .right = 1644, .bottom = 132},
    {.left = 1648, .top = 92, .right = 1732, .bottom = 132}, {.left = 1736, .top = 92, .right = 1820, .bottom = 132},
    {.left = 1824, .top = 92, .right = 1908, .bottom = 132},
};
inline constexpr const char* kTimeNames[kTimeCells] = {"2:30", "5:00", "10:00", "15:00", "なし"};
inline constexpr int kNpcCells = 4;
inline constexpr MenuCell kNpcArt[kNpcCells] = {
    {.left = 1472, .top = 136, .right = 1552, .bottom = 176}, {.left = 1556, .top = 136, .right = 1636, .bottom = 176},
    {.left = 1640, .top = 136, .right = 1720, .bottom = 176}, {.left = 1724, .top = 136, .right = 1804, .bottom = 176},
};
inline constexpr const char* kNpcNames[kNpcCells] = {"0", "3", "6", "10"};
inline constexpr int kItemCells = 6;
inline constexpr MenuCell kItemArt[kItemCells] = {
    {.left = 1472, .top = 180, .right = 1576, .bottom = 220}, {.left = 1580, .top = 180, .right = 1684, .bottom = 220},
    {.left = 1688, .top = 180, .right = 1792, .bottom = 220}, {.left = 1796, .top = 180, .right = 1900, .bottom = 220},
    {.left = 1904, .top = 180, .right = 2008, .bottom = 220}, {.left = 1472, .top = 224, .right = 1576, .bottom = 264},
};
inline constexpr const char* kItemNames[kItemCells] = {"POWER", "SPEED", "LIFE", "EP", "GAUGE", "AMMO"};
inline constexpr int kWeaponClasses = 17;
// Sized to the gaps between their places on the page.
inline constexpr MenuCell kWeaponClassArt[kWeaponClasses] = {
    {.left = 1472, .top = 268, .right = 1536, .bottom = 304}, {.left = 1540, .top = 268, .right = 1600, .bottom = 304},
    {.left = 1604, .top = 268, .right = 1664, .bottom = 304}, {.left = 1668, .top = 268, .right = 1728, .bottom = 304},
    {.left = 1732, .top = 268, .right = 1768, .bottom = 304}, {.left = 1772, .top = 268, .right = 1832, .bottom = 304},
    {.left = 1836, .top = 268, .right = 1896, .bottom = 304}, {.left = 1900, .top = 268, .right = 1988, .bottom = 304},
    {.left = 1992, .top = 268, .right = 2024, .bottom = 304}, {.left = 1472, .top = 308, .right = 1532, .bottom = 344},
    {.left = 1536, .top = 308, .right = 1600, .bottom = 344}, {.left = 1604, .top = 308, .right = 1696, .bottom = 344},
    {.left = 1700, .top = 308, .right = 1740, .bottom = 344}, {.left = 1744, .top = 308, .right = 1808, .bottom = 344},
    {.left = 1812, .top = 308, .right = 1900, .bottom = 344}, {.left = 1904, .top = 308, .right = 1968, .bottom = 344},
    {.left = 1972, .top = 308, .right = 2032, .bottom = 344},
};
// Weapon types 0-5 close range, 6-11 long range, 12-16 special.
inline constexpr const char* kWeaponClassNames[kWeaponClasses] = {
    "剣", "刀", "槍", "斧", "鎚", "拳", "銃", "連射", "散弾", "狙撃", "機銃", "弓", "砲", "爆弾", "火炎", "光線", "罠"};

// The weapons page: a type's cell (beside loadout rows and list items, and
// as the type tabs), the category tabs, group headings, the weight
// caption, the done button, pips and the list's continuation mark.
inline constexpr MenuCell kWeaponTypes[kWeaponClasses] = {
    {.left = 1472, .top = 352, .right = 1512, .bottom = 384}, {.left = 1516, .top = 352, .right = 1556, .bottom = 384},
    {.left = 1560, .top = 352, .right = 1600, .bottom = 384}, {.left = 1604, .top = 352, .right = 1644, .bottom = 384},
    {.left = 1648, .top = 352, .right = 1688, .bottom = 384}, {.left = 1692, .top = 352, .right = 1732, .bottom = 384},
    {.left = 1736, .top = 352, .right = 1776, .bottom = 384}, {.left = 1780, .top = 352, .right = 1820, .bottom = 384},
    {.left = 1824, .top = 352, .right = 1864, .bottom = 384}, {.left = 1868, .top = 352, .right = 1908, .bottom = 384},
    {.left = 1912, .top = 352, .right = 1952, .bottom = 384}, {.left = 1956, .top = 352, .right = 1996, .bottom = 384},
    {.left = 1472, .top = 388, .right = 1512, .bottom = 420}, {.left = 1516, .top = 388, .right = 1556, .bottom = 420},
    {.left = 1560, .top = 388, .right = 1600, .bottom = 420}, {.left = 1604, .top = 388, .right = 1644, .bottom = 420},
    {.left = 1648, .top = 388, .right = 1688, .bottom = 420},
};
inline constexpr int kCategories = 3;
inline constexpr MenuCell kCategoryTabs[kCategories] = {
    {.left = 1472, .top = 424, .right = 1540, .bottom = 452},
    {.left = 1544, .top = 424, .right = 1612, .bottom = 452},
    {.left = 1616, .top = 424, .right = 1684, .bottom = 452},
};
inline constexpr const char* kCategoryNames[kCategories] = {"近距離", "遠距離", "特殊"};
inline constexpr MenuCell kGroupHeadings[kCategories] = {
    {.left = 1472, .top = 456, .right = 1592, .bottom = 476},
    {.left = 1596, .top = 456, .right = 1716, .bottom = 476},
    {.left = 1720, .top = 456, .right = 1840, .bottom = 476},
};
inline constexpr MenuCell kWeightCaption{.left = 808, .top = 892, .right = 904, .bottom = 916};
inline constexpr MenuCell kDone{.left = 808, .top = 920, .right = 968, .bottom = 968};
inline constexpr MenuCell kDoneLit{.left = 808, .top = 972, .right = 968, .bottom = 1020};
inline constexpr MenuCell kPip{.left = 1408, .top = 208, .right = 1424, .bottom = 224};
inline constexpr MenuCell kMoreMark{.left = 1388, .top = 208, .right = 1404, .bottom = 224};
// A frame around the focused control, stretched over it.
inline constexpr MenuCell kFocusFrame{.left = 1472, .top = 480, .right = 1536, .bottom = 512};

// Window pieces (16 x 16): corners, edges and the body; the scroll bar's
// track ends, track and thumb.
inline constexpr MenuCell kWindowCorner{.left = 1540, .top = 480, .right = 1556, .bottom = 496};
inline constexpr MenuCell kWindowEdge{.left = 1560, .top = 480, .right = 1576, .bottom = 496};
inline constexpr MenuCell kWindowBody{.left = 1580, .top = 480, .right = 1596, .bottom = 496};
inline constexpr MenuCell kWindowTitle{.left = 1600, .top = 480, .right = 1616, .bottom = 496};
inline constexpr MenuCell kTrackEnd{.left = 1620, .top = 480, .right = 1632, .bottom = 492};
inline constexpr MenuCell kTrack{.left = 1636, .top = 480, .right = 1648, .bottom = 492};
inline constexpr MenuCell kThumb{.left = 1652, .top = 480, .right = 1664, .bottom = 504};
}
