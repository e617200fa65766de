// The shop's cells: its title, tabs and back button, the list window's
// frame, highlight and scroll bar, the icons, stars, digits and unit.
#include "game/scene/ShopSheet.h"
#include "tools/datakit/SheetCells.h"

#include <string>

namespace SheetCells
{
std::vector<SheetCell> ShopCells()
{
    namespace S = ShopSheet;
    std::vector<SheetCell> cells = {
        {kMenuSheet, S::kTitle, "SHOP  ショップ", CellKind::Title},
        {kMenuSheet, S::kWeaponTab, "武器", CellKind::Button},
        {kMenuSheet, S::kClothesTab, "服 CLOTHES", CellKind::Button},
        {kMenuSheet, S::kBackButton, "BACK", CellKind::Button},
        {kMenuSheet, S::kFrame, "", CellKind::Band},
        {kMenuSheet, S::kHighlight, "", CellKind::Label},
        {kMenuSheet, S::kScrollTrack, "", CellKind::Bar},
        {kMenuSheet, S::kScrollKnob, "", CellKind::BarFill},
        {kMenuSheet, S::kStar, "", CellKind::Arrow},
        {kMenuSheet, S::kUnit, "ELP", CellKind::Prompt},
    };
    // The icons are small: each character fills its cell, on the colours
    // of a button (weapons) and of a menu item (clothes).
    for (int icon = 0; icon < S::kWeaponIconCount; ++icon)
        cells.push_back({kMenuSheet, S::WeaponIcon(icon), S::kWeaponIconNames[icon], CellKind::Caption,
                         KindColor(CellKind::Button)});
    for (int icon = 0; icon < S::kClothesIconCount; ++icon)
        cells.push_back({kMenuSheet, S::ClothesIcon(icon), S::kClothesIconNames[icon], CellKind::Caption,
                         KindColor(CellKind::MenuItem)});
    for (int digit = 0; digit < 10; ++digit)
        cells.push_back({kMenuSheet, S::Digit(digit), std::to_string(digit), CellKind::Label});
    return cells;
}
}
