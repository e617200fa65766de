// The story's interface sheet: the route screen's strips, heading, panel,
// lines, plates, ring cards and arrows, and the message window with its
// next-page mark.
#include "game/scene/StorySheet.h"
#include "tools/datakit/SheetCells.h"
#include "tools/datakit/StoryDataKit.h"

#include <string>

namespace SheetCells
{
std::vector<SheetCell> StoryCells()
{
    namespace S = StorySheet;
    const std::string sheet = "Texture\\Story_01.dds";
    std::vector<SheetCell> cells = {
        {sheet, S::kTopStrip, "", CellKind::Band},
        {sheet, S::kUnderHeadingStrip, "", CellKind::Band},
        {sheet, S::kBottomStrip, "", CellKind::Band},
        {sheet, S::kHeading, "STORY  ストーリー", CellKind::Title},
        {sheet, S::kRoutePanel, "", CellKind::Picture},
        {sheet, S::kUpperLine, "", CellKind::Band},
        {sheet, S::kLowerLine, "", CellKind::Band},
        {sheet, S::kArrow, "", CellKind::Arrow},
        {sheet, S::kLitArrow, "lit", CellKind::Arrow},
        {sheet, S::kFrameWindow, "", CellKind::Window},
        {sheet, S::kNextPage, "", CellKind::Marker},
    };
    for (uint32_t plate = 0; plate < S::kPlatesA; ++plate)
        cells.push_back({sheet, S::kPlateA[plate], S::kPlateANames[plate], CellKind::Label});
    for (uint32_t plate = 0; plate < S::kPlatesB; ++plate)
        cells.push_back({sheet, S::kPlateB[plate], S::kPlateBNames[plate], CellKind::Label});
    for (uint32_t route = 0; route < S::kMaxRoutes; ++route)
    {
        const std::string chapter = StoryDataKit::FirstChapter(route);
        const std::string name = chapter.substr(0, chapter.find('_'));
        cells.push_back({sheet, S::kRouteCards[route], std::to_string(route + 1) + " " + name, CellKind::MenuItem});
    }
    return cells;
}
}
