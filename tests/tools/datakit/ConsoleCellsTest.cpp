// The stand-in "Console_01.dds": its cells never overlap, each lies inside
// the sheet and is drawn (no cell is left transparent), and the gaps
// between them stay empty.
#include "engine/core/FileIo.h"
#include "game/battle/ConsoleSheet.h"
#include "tools/datakit/GameDataKit.h"
#include "tools/datakit/SheetCells.h"
#include "tools/datakit/SheetPainter.h"

#include <gtest/gtest.h>

namespace
{
const SheetCells::SheetSpec& HudSpec()
{
    static const SheetCells::SheetSpec spec = [] {
        for (const SheetCells::SheetSpec& sheet : SheetCells::Sheets())
        {
            if (sheet.name == SheetCells::kHudSheet)
                return sheet;
        }
        return SheetCells::SheetSpec{};
    }();
    return spec;
}
}

TEST(ConsoleCells, NoTwoHudCellsOverlapAndEachLiesInsideTheSheet)
{
    const std::vector<SheetCells::SheetCell> cells = SheetCells::ConsoleCells();
    ASSERT_GT(cells.size(), 150u);
    const std::vector<std::string> overlaps = SheetCells::FindOverlaps(cells);
    EXPECT_TRUE(overlaps.empty()) << overlaps.front();
    for (const SheetCells::SheetCell& cell : cells)
    {
        EXPECT_EQ(cell.sheet, SheetCells::kHudSheet);
        EXPECT_GE(cell.rect.left, 0.0f);
        EXPECT_GE(cell.rect.top, 0.0f);
        EXPECT_LE(cell.rect.right, static_cast<float>(HudSpec().width));
        EXPECT_LE(cell.rect.bottom, static_cast<float>(HudSpec().height));
    }
}

TEST(ConsoleCells, EveryHudPictureIsDrawnAndTheGapsStayEmpty)
{
    const std::vector<uint8_t> dds = PaintSheet(HudSpec(), SheetCells::AllCells());
    ASSERT_GE(dds.size(), 128u + static_cast<size_t>(HudSpec().width) * HudSpec().height * 4);
    auto alpha = [&dds](int x, int y) {
        return LoadU32LE(dds.data() + 128 + (static_cast<size_t>(y) * HudSpec().width + x) * 4) >> 24;
    };
    for (const SheetCells::SheetCell& cell : SheetCells::ConsoleCells())
    {
        uint32_t drawn = 0;
        for (int y = static_cast<int>(cell.rect.top); y < static_cast<int>(cell.rect.bottom); ++y)
            for (int x = static_cast<int>(cell.rect.left); x < static_cast<int>(cell.rect.right); ++x)
                drawn += alpha(x, y) != 0 ? 1 : 0;
        EXPECT_GT(drawn, 0u) << cell.label << " at " << cell.rect.left << "," << cell.rect.top;
    }
    // Pictures the HUD cuts from a larger one: the radar's face inside its
    // back, the window's corner and the status frame's bottom line.
    auto at = [&alpha](float x, float y) { return alpha(static_cast<int>(x), static_cast<int>(y)); };
    const MenuCell& map = ConsoleSheet::kMapFrame;
    EXPECT_NE(at((map.left + map.right) * 0.5f, (map.top + map.bottom) * 0.5f), 0u);
    EXPECT_NE(at(ConsoleSheet::kWindowParts[2][2].right - 1, ConsoleSheet::kWindowParts[2][2].bottom - 1), 0u);
    EXPECT_EQ(at(ConsoleSheet::kListEdge.left, ConsoleSheet::kListEdge.top), 255u);
    // Between the window and the character icons nothing is drawn.
    EXPECT_EQ(alpha(111, 540), 0u);
}

// Seen as "Fighter 2" over player 1, then as "Finn Gale Guide" over Gale:
// the plate the HUD draws for a character reads that character's name and
// no other.
TEST(ConsoleCells, EachCharacterHasAPlateOfItsOwnThatReadsItsName)
{
    const std::vector<SheetCells::SheetCell> cells = SheetCells::ConsoleCells();
    auto labelAt = [&cells](const MenuCell& rect) {
        for (const SheetCells::SheetCell& cell : cells)
        {
            if (cell.rect.left == rect.left && cell.rect.top == rect.top && cell.rect.right == rect.right &&
                cell.rect.bottom == rect.bottom)
                return cell.label;
        }
        return std::string("(none)");
    };
    for (uint32_t number = 0; number < GameDataKit::kCharacters; ++number)
        EXPECT_EQ(labelAt(ConsoleSheet::CharacterPlate(number)), GameDataKit::kCharacterNames[number]) << number;
}
