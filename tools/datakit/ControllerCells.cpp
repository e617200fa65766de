// The game application's own cells: the mouse pointer and the pieces of
// the menu background's light and motes, and the menu background itself.
#include "game/app/ControllerSheet.h"
#include "tools/datakit/SheetCells.h"

namespace SheetCells
{
std::vector<SheetCell> ControllerCells()
{
    return {
        {kMenuSheet, ControllerSheet::kPointer, "Pointer", CellKind::Pointer},
        {kMenuSheet, ControllerSheet::kParticle, "Mote", CellKind::Mote},
        {kMenuSheet, ControllerSheet::kSweep, "Light", CellKind::Light},
        {kMenuBackground, MenuCell{.left = 0, .top = 0, .right = 1024, .bottom = 768}, "", CellKind::Backdrop},
    };
}
}
