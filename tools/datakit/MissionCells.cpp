// The mission screen's cells in the menu sheet: title, frame, row band,
// rank icons, scroll bar and back button.
#include "game/scene/MissionSheet.h"
#include "tools/datakit/SheetCells.h"

namespace SheetCells
{
std::vector<SheetCell> MissionCells()
{
    namespace M = MissionSheet;
    std::vector<SheetCell> cells = {
        {kMenuSheet, M::kTitle, "MISSION  ミッション", CellKind::Title},
        {kMenuSheet, M::kFrameWindow, "", CellKind::Window},
        {kMenuSheet, M::kRowBand, "", CellKind::BarFill},
        {kMenuSheet, M::kScrollTrack, "", CellKind::Bar},
        {kMenuSheet, M::kScrollThumb, "", CellKind::BarFill},
        {kMenuSheet, M::kBack, "戻る", CellKind::Button},
        {kMenuSheet, M::kLitBack, "戻る", CellKind::MenuItem},
    };
    for (uint32_t icon = 0; icon < M::kRankIcons; ++icon)
        cells.push_back({kMenuSheet, M::kRankIcon[icon], M::kRankIconNames[icon], CellKind::Button});
    return cells;
}
}
