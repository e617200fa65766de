#pragma once

#include "game/menu/MenuRect.h"

// Where the shop's pictures lie in "Select_01.dds", with those the
// equipment screen shares (the back button, the list frame, its highlight
// and scroll bar). The frame, highlight, scroll bar, icons, stars, digits
// and unit are pictures of our own choosing, kept together at the foot of
// the sheet. The data kit draws the stand-in pictures from the same table.
namespace ShopSheet
{
inline constexpr MenuCell kTitle{.left = 820, .top = 592, .right = 1260, .bottom = 640};
inline constexpr MenuCell kWeaponTab{.left = 928, .top = 1468, .right = 1004, .bottom = 1500};
inline constexpr MenuCell kClothesTab{.left = 1008, .top = 1468, .right = 1156, .bottom = 1500};
inline constexpr MenuCell kBackButton{.left = 992, .top = 1032, .right = 1052, .bottom = 1072};

// A window frame cut in nine, its corners kFrameBorder square.
inline constexpr MenuCell kFrame{.left = 1024, .top = 1800, .right = 1072, .bottom = 1848};
inline constexpr float kFrameBorder = 16.0f;
inline constexpr MenuCell kHighlight{.left = 1080, .top = 1800, .right = 1144, .bottom = 1824};
inline constexpr MenuCell kScrollTrack{.left = 1152, .top = 1800, .right = 1160, .bottom = 1864};
inline constexpr MenuCell kScrollKnob{.left = 1168, .top = 1800, .right = 1176, .bottom = 1816};
inline constexpr MenuCell kStar{.left = 1184, .top = 1800, .right = 1200, .bottom = 1816};
inline constexpr MenuCell kUnit{.left = 1232, .top = 1800, .right = 1280, .bottom = 1824};

// Icons 24 x 24 in a row 28 apart: a weapon's by its icon class, a clothes
// item's by its first slot.
inline constexpr int kWeaponIconCount = 8;
inline constexpr int kClothesIconCount = 6;
inline constexpr float kIconPitch = 28.0f;
inline constexpr MenuCell kFirstWeaponIcon{.left = 1024, .top = 1872, .right = 1048, .bottom = 1896};
inline constexpr MenuCell kFirstClothesIcon{.left = 1024, .top = 1904, .right = 1048, .bottom = 1928};
// One character each, so that the stand-in icons read at 640 x 480: close
// range, long range, special, then the further classes by number; the
// clothes by slot (head, body, arms, hands, legs, back).
inline constexpr const char* kWeaponIconNames[kWeaponIconCount] = {"剣", "銃", "特", "3", "4", "5", "6", "7"};
inline constexpr const char* kClothesIconNames[kClothesIconCount] = {"頭", "体", "腕", "手", "脚", "背"};

// The digits 0-9 of the points, 24 x 32 each, 28 apart.
inline constexpr float kDigitPitch = 28.0f;
inline constexpr MenuCell kFirstDigit{.left = 1024, .top = 1936, .right = 1048, .bottom = 1968};

constexpr MenuCell Nth(const MenuCell& first, float pitch, int n)
{
    return {.left = first.left + pitch * n, .top = first.top, .right = first.right + pitch * n, .bottom = first.bottom};
}
constexpr MenuCell WeaponIcon(int iconClass)
{
    return Nth(kFirstWeaponIcon, kIconPitch, iconClass);
}
constexpr MenuCell ClothesIcon(int slot)
{
    return Nth(kFirstClothesIcon, kIconPitch, slot);
}
constexpr MenuCell Digit(int digit)
{
    return Nth(kFirstDigit, kDigitPitch, digit);
}
}
