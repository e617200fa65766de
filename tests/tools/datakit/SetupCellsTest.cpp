// The battle setup's stand-in cells share the menu sheet with the other
// families: each lies inside it and covers no other cell.
#include "tools/datakit/SheetCells.h"

#include <gtest/gtest.h>

TEST(SetupCells, EachLiesInsideTheMenuSheetAndNoCellOfTheSheetOverlapsAnother)
{
    const std::vector<SheetCells::SheetCell> setup = SheetCells::SetupCells();
    ASSERT_FALSE(setup.empty());
    for (const SheetCells::SheetCell& cell : setup)
    {
        EXPECT_EQ(cell.sheet, SheetCells::kMenuSheet);
        EXPECT_TRUE(cell.rect.left >= 0 && cell.rect.top >= 0 && cell.rect.right <= 2048 && cell.rect.bottom <= 2048 &&
                    cell.rect.Width() > 0 && cell.rect.Height() > 0)
            << cell.label;
    }
    const std::vector<std::string> overlaps = SheetCells::FindOverlaps(SheetCells::AllCells());
    EXPECT_TRUE(overlaps.empty()) << overlaps.front();
}
