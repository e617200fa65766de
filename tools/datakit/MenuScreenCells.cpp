// The option and record screens' cells: the menu frame, the option rows
// and their buttons, the record pages' stripes and rule.
#include "game/scene/MenuScreenSheet.h"
#include "tools/datakit/SheetCells.h"

namespace SheetCells
{
std::vector<SheetCell> MenuScreenCells()
{
    namespace S = MenuScreenSheet;
    std::vector<SheetCell> cells = {
        {kMenuSheet, S::kTopBand, "", CellKind::Band},
        {kMenuSheet, S::kUnderTitleBand, "", CellKind::Band},
        {kMenuSheet, S::kBottomBand, "", CellKind::Band},
        {kMenuSheet, S::kOptionTitle, "OPTION  オプション", CellKind::Title},
        {kMenuSheet, S::kRecordTitle, "RECORD  プレイ記録", CellKind::Title},
        {kMenuSheet, S::kRowArrow, "", CellKind::Marker},
        {kMenuSheet, S::kOnButton, "ON", CellKind::Button},
        {kMenuSheet, S::kOffButton, "OFF", CellKind::Button},
        {kMenuSheet, S::kVolumeMin, "MIN", CellKind::Button},
        {kMenuSheet, S::kVolumeMax, "MAX", CellKind::Button},
        {kMenuSheet, S::kBarEmpty, "", CellKind::Bar},
        {kMenuSheet, S::kBarFill, "", CellKind::BarFill},
        {kMenuSheet, S::kUnderline, "", CellKind::Band},
        {kMenuSheet, S::kStripe, "", CellKind::Stripe},
        {kMenuSheet, S::kRule, "", CellKind::Band},
    };
    for (int row = 0; row < S::kOptionRowCount; ++row)
        cells.push_back({kMenuSheet, S::kRowLabels[row], S::kRowNames[row], CellKind::Label});
    for (int column = 0; column < 2; ++column)
        cells.push_back({kMenuSheet, S::kRadarButtons[column], S::kRadarNames[column], CellKind::Button});
    for (int column = 0; column < S::kDifficultyCount; ++column)
        cells.push_back({kMenuSheet, S::kDifficultyButtons[column], S::kDifficultyNames[column], CellKind::Button});
    return cells;
}
}
