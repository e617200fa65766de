// The stand-in sheets the build wrote: no two cells of a sheet overlap,
// every cell is drawn at its rectangle and the gaps stay empty, and named
// cells carry their label; the whole-screen pictures keep their labels
// where their screens draw nothing over them (the menu background has
// none), and a record page's picture leaves the menu frame and the
// figures' place clear.
#include "tests/game/scene/SceneFiles.h"

#include "engine/core/FileIo.h"
#include "engine/render/DdsImage.h"
#include "tools/datakit/ImageEncoder.h"
#include "tools/datakit/SheetPainter.h"
#include "tools/datakit/StorySceneKit.h"

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

namespace
{
constexpr int kScreenWidth = 1024;

// Texels of a label's white fill inside a rectangle of a 1024-wide picture.
int WhiteIn(const std::vector<uint32_t>& argb, const MenuRect& rect)
{
    int white = 0;
    for (int y = static_cast<int>(rect.top); y < static_cast<int>(rect.bottom); ++y)
    {
        for (int x = static_cast<int>(rect.left); x < static_cast<int>(rect.right); ++x)
            white += argb[static_cast<size_t>(y) * kScreenWidth + x] == 0xFFFFFFFFu ? 1 : 0;
    }
    return white;
}

// Texels that show (alpha at least half) inside a rectangle.
int ShownIn(const std::vector<uint32_t>& argb, const MenuRect& rect)
{
    int shown = 0;
    for (int y = static_cast<int>(rect.top); y < static_cast<int>(rect.bottom); ++y)
    {
        for (int x = static_cast<int>(rect.left); x < static_cast<int>(rect.right); ++x)
            shown += (argb[static_cast<size_t>(y) * kScreenWidth + x] >> 24) >= 0x80 ? 1 : 0;
    }
    return shown;
}
}

TEST(StandInPictures, TheirLabelsStandWhereTheirScreensDrawNothingOverThem)
{
    // The menu background carries no label: under every menu, some menu
    // covers any place it could take (the random match's notice, the
    // window's bottom edge cut it), and it reads as a background unnamed.
    SheetPainter backdrop(kScreenWidth, 768, 0);
    for (const SheetCells::SheetCell& cell : SheetCells::ControllerCells())
    {
        if (cell.sheet == SheetCells::kMenuBackground)
            backdrop.Draw(cell);
    }
    EXPECT_EQ(WhiteIn(backdrop.Pixels(), {.left = 0, .top = 0, .right = 1024, .bottom = 768}), 0);
    // A record page's picture, as the pack stores it: drawn over the menu
    // frame, it covers neither the frame's bands and title nor the place
    // of the figures written over it; its label stands in what it covers.
    for (int page = 1; page <= GameSceneKit::kRecordPictures; ++page)
    {
        const std::vector<uint8_t> file = ImageEncoder::EncodeDdsDxt1(GameSceneKit::RecordPicture(page), 1024, 768);
        DdsImage image;
        std::vector<uint32_t> picture;
        ASSERT_TRUE(image.Read(file.data(), file.size()) && image.DecodeLevel(0, &picture)) << page;
        EXPECT_EQ(ShownIn(picture, {.left = 0, .top = 0, .right = 1024, .bottom = 104}), 0) << page;
        EXPECT_EQ(ShownIn(picture, {.left = 0, .top = 104, .right = 740, .bottom = 768}), 0) << page;
        EXPECT_EQ(ShownIn(picture, {.left = 740, .top = 740, .right = 1024, .bottom = 768}), 0) << page;
        EXPECT_EQ(ShownIn(picture, {.left = 760, .top = 120, .right = 1000, .bottom = 700}), 240 * 580) << page;
        EXPECT_GT(WhiteIn(GameSceneKit::RecordPicture(page), {.left = 740, .top = 104, .right = 1024, .bottom = 740}),
                  0)
            << page;
    }
    // A route's picture: clear of the route's lines and plates on the right
    // and of the card fan at the bottom right.
    for (uint32_t route = 0; route < 2; ++route)
    {
        const std::vector<uint32_t> picture = StorySceneKit::RoutePicture(route);
        EXPECT_EQ(WhiteIn(picture, {.left = 680, .top = 270, .right = 1024, .bottom = 768}), 0) << route;
        EXPECT_EQ(WhiteIn(picture, {.left = 540, .top = 420, .right = 1024, .bottom = 768}), 0) << route;
        EXPECT_GT(WhiteIn(picture, {.left = 0, .top = 104, .right = 680, .bottom = 420}), 0) << route;
    }
}
