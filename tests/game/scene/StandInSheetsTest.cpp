// The stand-in sheets the build wrote: no two cells of a sheet overlap,
// every cell is drawn at its rectangle and the gaps stay empty, and named
// cells carry their label.
#include "tests/game/scene/SceneFiles.h"

#include "engine/core/FileIo.h"

#include <gtest/gtest.h>

namespace
{
using SheetCells::CellKind;

// The ARGB texels of an uncompressed DDS, rows from the top.
struct Sheet
{
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> bytes;
    uint32_t At(int x, int y) const { return LoadU32LE(bytes.data() + 128 + (static_cast<size_t>(y) * width + x) * 4); }
};

Sheet Read(const std::string& name)
{
    Sheet sheet;
    sheet.bytes = scene_test::StandInFile(name);
    if (sheet.bytes.size() >= 128)
    {
        sheet.height = LoadU32LE(sheet.bytes.data() + 12);
        sheet.width = LoadU32LE(sheet.bytes.data() + 16);
    }
    return sheet;
}

bool Opaque(CellKind kind)
{
    return kind != CellKind::Arrow && kind != CellKind::Marker && kind != CellKind::Pointer && kind != CellKind::Mote &&
           kind != CellKind::Light && kind != CellKind::Prompt && kind != CellKind::Cursor;
}
}

TEST(StandInSheets, NoTwoCellsOfASheetOverlap)
{
    const std::vector<std::string> overlaps = SheetCells::FindOverlaps(SheetCells::AllCells());
    EXPECT_TRUE(overlaps.empty()) << overlaps.front();
}

TEST(StandInSheets, EveryCellOfTheMenuSheetIsDrawnAtItsRectangleWithItsLabel)
{
    const Sheet sheet = Read(SheetCells::kMenuSheet);
    ASSERT_EQ(sheet.width, 2048u);
    ASSERT_EQ(sheet.height, 2048u);
    for (const SheetCells::SheetCell& cell : SheetCells::AllCells())
    {
        if (cell.sheet != SheetCells::kMenuSheet || !Opaque(cell.kind))
            continue;
        const int left = static_cast<int>(cell.rect.left);
        const int top = static_cast<int>(cell.rect.top);
        const int right = static_cast<int>(cell.rect.right);
        const int bottom = static_cast<int>(cell.rect.bottom);
        EXPECT_NE(sheet.At(left, top) >> 24, 0u) << cell.label;
        EXPECT_NE(sheet.At(right - 1, bottom - 1) >> 24, 0u) << cell.label;
        if (cell.label.empty())
            continue;
        int white = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                white += (sheet.At(x, y) & 0xFFFFFF) == 0xFFFFFF ? 1 : 0;
        EXPECT_GT(white, 0) << cell.label;
    }
    // A gap between cells stays transparent: left of the corner logo's
    // bottom row, under the title's option picture.
    EXPECT_EQ(sheet.At(2, 1000) >> 24, 0u);
    EXPECT_EQ(sheet.At(1000, 1100) >> 24, 0u);
}
