// The title's cells: the ring of eleven items, its arrows and cursor
// frames, the corner logo, the title picture and the maker's logo.
#include "game/scene/TitleSheet.h"
#include "tools/datakit/SheetCells.h"

#include <string>

namespace SheetCells
{
std::vector<SheetCell> TitleCells()
{
    std::vector<SheetCell> cells;
    for (int item = 0; item < TitleSheet::kRingItemCount; ++item)
        cells.push_back(
            {kMenuSheet, TitleSheet::kRingItems[item], TitleSheet::kRingItemNames[item], CellKind::MenuItem});
    cells.push_back({kMenuSheet, TitleSheet::kCornerLogo, "QOR", CellKind::Logo});
    cells.push_back({kMenuSheet, TitleSheet::kArrow, "", CellKind::Arrow});
    cells.push_back({kMenuSheet, TitleSheet::kLitArrow, "lit", CellKind::Arrow});
    for (int frame = 0; frame < TitleSheet::kCursorFrameCount; ++frame)
        cells.push_back({kMenuSheet, TitleSheet::kCursorFrames[frame], std::to_string(frame + 1), CellKind::Cursor});
    cells.push_back({kTitleSheet, TitleSheet::kTitlePicture, "QOR", CellKind::Splash});
    cells.push_back({kTitleSheet, TitleSheet::kCornerStrip, "Stand-in data set", CellKind::Band});
    cells.push_back({kTitleSheet, TitleSheet::kPrompt, "PRESS ANY BUTTON", CellKind::Prompt});
    cells.push_back({kLogoSheet, TitleSheet::kMakerLogo, "CorvaneSystem", CellKind::Logo});
    return cells;
}
}
