#pragma once

#include "game/menu/MenuRect.h"

// Where the equipment screen's own pictures lie in "Select_01.dds" (the
// back button, frame, highlight and scroll bar are the shop's,
// ShopSheet.h; the arrows the title's). The data kit draws the stand-in
// pictures from the same table.
namespace EquipSheet
{
inline constexpr MenuCell kTitle{.left = 504, .top = 644, .right = 948, .bottom = 692};
inline constexpr MenuCell kDefaultButton{.left = 816, .top = 1324, .right = 1024, .bottom = 1364};
// The mark of the item worn in a slot: ours, beside the shop's pictures.
inline constexpr MenuCell kWornMark{.left = 1208, .top = 1800, .right = 1224, .bottom = 1816};

// The six clothes slots' names.
inline constexpr int kSlotCount = 6;
inline constexpr MenuCell kSlotNames[kSlotCount] = {
    {.left = 1136, .top = 1232, .right = 1212, .bottom = 1248},
    {.left = 1136, .top = 1212, .right = 1212, .bottom = 1228},
    {.left = 1136, .top = 1252, .right = 1216, .bottom = 1268},
    {.left = 808, .top = 1272, .right = 860, .bottom = 1288},
    {.left = 864, .top = 1272, .right = 1040, .bottom = 1288},
    {.left = 1044, .top = 1272, .right = 1228, .bottom = 1288},
};
inline constexpr const char* kSlotNameTexts[kSlotCount] = {"Head", "Body", "Arms", "Hands", "Legs", "Back"};
}
