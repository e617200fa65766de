// The battle setup's stand-in cells share the menu sheet with the other
// families: each lies inside it and covers no other cell, and a character's
// cells are named as the game data names that character.
#include "game/battle/SetupSheet.h"
#include "tools/datakit/GameDataKit.h"
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

// Seen as a card reading "Hana" over the fighter "Guide": each character's
// picture, name card and icon carry the name the game data gives it, and
// the last of each the random choice's.
TEST(SetupCells, EachCharacterCellCarriesTheNameTheGameDataGivesThatCharacter)
{
    const std::vector<SheetCells::SheetCell> cells = SheetCells::SetupCells();
    auto labelAt = [&cells](const MenuCell& rect) {
        for (const SheetCells::SheetCell& cell : cells)
        {
            if (cell.rect.left == rect.left && cell.rect.top == rect.top)
                return cell.label;
        }
        return std::string("(none)");
    };
    static_assert(GameDataKit::kCharacters + 1 == SetupSheet::kCharacterPictures);
    for (const MenuCell* row : {SetupSheet::kCharacterArt, SetupSheet::kCharacterNames, SetupSheet::kCharacterIcons})
    {
        for (uint32_t picture = 0; picture < GameDataKit::kCharacters; ++picture)
            EXPECT_EQ(labelAt(row[picture]), GameDataKit::kCharacterNames[picture]) << picture;
        EXPECT_EQ(labelAt(row[SetupSheet::kRandomPicture]), "RANDOM");
    }
}
