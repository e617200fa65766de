// The equipment screen's cells: its title, the default button, the six
// slots' names and the mark of a worn item.
#include "game/scene/EquipSheet.h"
#include "tools/datakit/SheetCells.h"

namespace SheetCells
{
std::vector<SheetCell> EquipCells()
{
    namespace S = EquipSheet;
    std::vector<SheetCell> cells = {
        {kMenuSheet, S::kTitle, "EQUIPMENT  装備", CellKind::Title},
        {kMenuSheet, S::kDefaultButton, "DEFAULT  初期装備", CellKind::Button},
        {kMenuSheet, S::kWornMark, "", CellKind::Marker},
    };
    for (int slot = 0; slot < S::kSlotCount; ++slot)
        cells.push_back({kMenuSheet, S::kSlotNames[slot], S::kSlotNameTexts[slot], CellKind::Caption});
    return cells;
}
}
