#include "engine/platform/CGraphics.h"
#include "engine/platform/CImeInput.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/ImeMessages.h"
#include "engine/platform/SdlTextInput.h"
#include "engine/render/CFontTexture.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
constexpr int32_t IME_WIDTH = 200;
constexpr int32_t IME_HEIGHT = 96;
constexpr int32_t IME_FONT_HEIGHT = 16;
const std::string KANA_KANJI = "\x82\xA9\x82\xF1\x82\xB6"; // かんじ

// The editor drawn offscreen through a real font.
class ImeInputDrawTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(headless.Created());
        device = graphics.GetDevice();
        graphics.Begin2D();
        graphics.SetBlendMode(1);
        device->SetRenderState(RS_ALPHATESTENABLE, 0);
        device->SetSamplerState(0, SAMP_MINFILTER, TEXF_POINT);
        device->SetSamplerState(0, SAMP_MAGFILTER, TEXF_POINT);
        device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        ASSERT_EQ(font.CreateDefault(256, 256, "IPAGothic", IME_FONT_HEIGHT), 1);
        ASSERT_EQ(editor.Create(64), 1);
        editor.SetFont(&font);
        editor.SetEnable(1);
        editor.SetText("AB");
        // "かんじ" with "んじ" as the target clause.
        ImeComposition composition;
        composition.text = KANA_KANJI;
        composition.attributes = std::string("\0\0\1\1\1\1", 6);
        SdlTextInput::SetComposition(composition);
        editor.OnComposition(nullptr, IME_COMPSTR | IME_COMPATTR);
    }

    void TearDown() override
    {
        SdlTextInput::SetComposition(ImeComposition());
        SdlTextInput::SetCandidates(ImeCandidateList());
        editor.Release();
        font.Release();
    }

    void ReadBack()
    {
        pixels.assign(static_cast<size_t>(IME_WIDTH) * IME_HEIGHT, 0);
        ASSERT_EQ(device->ReadPixels(device->GetBackBuffer(), 0, 0, IME_WIDTH, IME_HEIGHT, pixels.data()), DEVICE_OK);
    }

    // Columns [left, right] holding pixels that are clearly blue.
    void BlueColumns(int* left, int* right, int y0, int y1)
    {
        *left = IME_WIDTH;
        *right = -1;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < IME_WIDTH; ++x)
            {
                const uint32_t p = pixels[static_cast<size_t>(y) * IME_WIDTH + x];
                if ((p & 0xFF) > 0x40 && ((p >> 16) & 0xFF) + 0x30 < (p & 0xFF))
                {
                    *left = std::min(*left, x);
                    *right = std::max(*right, x);
                }
            }
    }

    bool AnyLit(int y0, int y1, int x0 = 0, int x1 = IME_WIDTH)
    {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if ((pixels[static_cast<size_t>(y) * IME_WIDTH + x] & 0x00FFFFFF) != 0)
                    return true;
        return false;
    }

    RenderGraphics headless{IME_WIDTH, IME_HEIGHT};
    CGraphics& graphics = headless.Graphics();
    GraphicsDevice* device = nullptr;
    CFontTexture font;
    CImeInput editor;
    std::vector<uint32_t> pixels;
};

TEST_F(ImeInputDrawTest, TheTargetClauseIsHighlighted)
{
    editor.Draw(10, 10, 1.0f, 0xFFFFFFFF);
    ReadBack();
    ASSERT_EQ(font.CacheText("AB"), 1);
    ASSERT_EQ(font.CacheText("\x82\xA9"), 1);
    ASSERT_EQ(font.CacheText("\x82\xF1\x82\xB6"), 1);
    const float clauseLeft = 10.0f + font.FindCacheEntry("AB")->width + font.FindCacheEntry("\x82\xA9")->width;
    const float clauseRight = clauseLeft + font.FindCacheEntry("\x82\xF1\x82\xB6")->width;
    int left = 0;
    int right = 0;
    BlueColumns(&left, &right, 0, IME_HEIGHT);
    EXPECT_EQ(left, static_cast<int>(clauseLeft));
    EXPECT_EQ(right, static_cast<int>(clauseRight) - 1);
    // No candidate list on this platform: nothing below the line.
    EXPECT_FALSE(AnyLit(10 + 2 * IME_FONT_HEIGHT, IME_HEIGHT));
}

TEST_F(ImeInputDrawTest, ACandidatePageIsDrawnBelowTheClause)
{
    ImeCandidateList list;
    list.candidates = {"\x8A\xBF\x8E\x9A", "\x8A\xB4\x82\xB6", "\x8A\xB2\x8E\x96"}; // 漢字 感じ 幹事
    list.selection = 1;
    list.pageSize = 2;
    SdlTextInput::SetCandidates(list);
    editor.GetCandidateList(nullptr);
    ASSERT_EQ(editor.HasCandidateList(), 1u);
    editor.Draw(10, 10, IME_FONT_HEIGHT, 1.0f, 0xFFFFFFFF);
    ReadBack();
    // Two candidates of the first page, one font height apart.
    EXPECT_TRUE(AnyLit(10 + IME_FONT_HEIGHT + 2, 10 + 2 * IME_FONT_HEIGHT));
    EXPECT_TRUE(AnyLit(10 + 2 * IME_FONT_HEIGHT + 2, 10 + 3 * IME_FONT_HEIGHT));
    EXPECT_FALSE(AnyLit(10 + 3 * IME_FONT_HEIGHT + 4, IME_HEIGHT));
}

// A box shows its lines up to the caret, or to the composition's end, when
// the text needs more than it holds (a composition at the end of a full
// box, a text set from outside), and draws nothing below them.
TEST_F(ImeInputDrawTest, ABoxShowsItsLinesUpToTheCaret)
{
    const auto a = static_cast<int>(font.GetCharAdvance("A", 1, IME_FONT_HEIGHT, 1.0f));
    const float caret = font.GetCharAdvance("|", 1, IME_FONT_HEIGHT, 1.0f);
    editor.SetLimits(1, 20.0f, 64);
    editor.SetBox(4.0f * a + caret, IME_FONT_HEIGHT);
    editor.DrawInBox(10, 10, 1.0f, 0xFFFFFFFF); // "AB" and the caret; the composition's lines after
    ReadBack();
    int left = 0;
    int right = 0;
    BlueColumns(&left, &right, 10, 30);
    EXPECT_LE(left, right) << "the clause, on the box's line";
    EXPECT_FALSE(AnyLit(30, IME_HEIGHT));

    editor.OnComposition(nullptr, 0);
    editor.SetText("AAAA B"); // a line and a word more, the caret after it
    for (const bool home : {false, true})
    {
        if (home)
            editor.MoveCaret(-1000);
        device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        editor.DrawInBox(10, 10, 1.0f, 0xFFFFFFFF);
        ReadBack();
        EXPECT_EQ(AnyLit(10, 30, 10 + 3 * a, 10 + 4 * a), home) << "the line of A";
        EXPECT_FALSE(AnyLit(30, IME_HEIGHT));
    }
}

TEST_F(ImeInputDrawTest, WrappedDrawingBoxesTheClause)
{
    editor.SetLimits(2, 20.0f, 2);
    editor.DrawWrapped(10, 10, 1.0f, 0xFFFFFFFF);
    ReadBack();
    int left = 0;
    int right = 0;
    BlueColumns(&left, &right, 0, IME_HEIGHT);
    EXPECT_LE(left, right);
    EXPECT_TRUE(AnyLit(30, 50));

    // Nothing while disabled.
    device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    editor.SetEnable(0);
    editor.Draw(10, 10, 1.0f, 0xFFFFFFFF);
    ReadBack();
    EXPECT_FALSE(AnyLit(0, IME_HEIGHT));
}
}
