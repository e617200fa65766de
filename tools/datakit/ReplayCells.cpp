// The replay list's cells: its title picture (the frame's bands and the
// row stripe are the menu screens').
#include "game/scene/ReplaySheet.h"
#include "tools/datakit/SheetCells.h"

namespace SheetCells
{
std::vector<SheetCell> ReplayCells()
{
    return {{kMenuSheet, ReplaySheet::kTitle, "REPLAY  リプレイ", CellKind::Title}};
}
}
