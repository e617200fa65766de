#include "engine/platform/CGraphics.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/FontFace.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>

#include "tests/support/TestColours.h"
#include "tests/support/ArgbPng.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr int32_t WIDTH = 256;
constexpr int32_t HEIGHT = 96;
constexpr int32_t FONT_HEIGHT = 16;
// "IPAGothic" in the program's own encoding is plain ASCII; a Japanese
// name the machine lacks ("ＭＳ ゴシック") must fall back to it.
const char* const FACE = "IPAGothic";
const char* const UNKNOWN_JAPANESE_FACE = "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E";
const char* const HIRAGANA_A = "\x82\xA0";                                            // あ
const char* const SCREENSHOT_TEXT = "\x82\xA0\x82\xA2\x82\xA4 ABC 123";               // あいう ABC 123

struct Box
{
    int left = WIDTH;
    int top = HEIGHT;
    int right = -1; // inclusive
    int bottom = -1;
    bool Empty() const { return right < left; }
};

// Text drawn offscreen through the alpha blend the game uses for text,
// read back whole.
class FontTextureTest : public ::testing::Test
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
        Clear();
        ASSERT_EQ(font.CreateDefault(256, 256, FACE, FONT_HEIGHT), 1);
    }

    void TearDown() override { font.Release(); }

    void Clear() { device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0); }

    void ReadBack()
    {
        pixels.assign(static_cast<size_t>(WIDTH) * HEIGHT, 0);
        ASSERT_EQ(device->ReadPixels(device->GetBackBuffer(), 0, 0, WIDTH, HEIGHT, pixels.data()), DEVICE_OK);
    }

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * WIDTH + x]; }

    static bool Lit(uint32_t argb)
    {
        return ((argb >> 16) & 0xFF) > 0x40 || ((argb >> 8) & 0xFF) > 0x40 || (argb & 0xFF) > 0x40;
    }

    // Bounds of the lit pixels inside [x0, x1) x [y0, y1), optionally of one
    // colour channel only.
    Box LitBox(int x0 = 0, int y0 = 0, int x1 = WIDTH, int y1 = HEIGHT, uint32_t mask = 0x00FFFFFF)
    {
        Box box;
        for (int y = std::max(y0, 0); y < std::min(y1, HEIGHT); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, WIDTH); ++x)
            {
                if (!Lit(At(x, y) & mask))
                    continue;
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x);
                box.bottom = std::max(box.bottom, y);
            }
        return box;
    }

    void SavePng(const char* name)
    {
        EXPECT_TRUE(SaveArgbPng(pixels, WIDTH, HEIGHT, name));
    }

    RenderGraphics headless{WIDTH, HEIGHT};
    CGraphics& graphics = headless.Graphics();
    GraphicsDevice* device = nullptr;
    CFontTexture font;
    std::vector<uint32_t> pixels;
};

TEST_F(FontTextureTest, MatchesTheFaceAndFallsBackToTheJapaneseFace)
{
    EXPECT_STREQ(font.GetName(), FACE);
    EXPECT_STREQ(font.GetClassName(), "CFontTexture");
    EXPECT_EQ(font.GetFontHeight(), static_cast<uint32_t>(FONT_HEIGHT));
    const std::string ipa = font.GetFontFace()->GetFilePath();
    // IPA Gothic has no heavy weight of its own.
    EXPECT_TRUE(font.GetFontFace()->IsEmboldened());

    CFontTexture fallback;
    ASSERT_EQ(fallback.CreateDefault(64, 64, UNKNOWN_JAPANESE_FACE, -FONT_HEIGHT), 1);
    EXPECT_EQ(fallback.GetFontFace()->GetFilePath(), ipa);
    EXPECT_EQ(fallback.GetFontHeight(), static_cast<uint32_t>(FONT_HEIGHT));
    fallback.Release();
}

TEST_F(FontTextureTest, LatinFacesTakeTheNearestMatchAndStillDrawJapanese)
{
    CFontTexture latin;
    ASSERT_EQ(latin.CreateDefault(128, 64, "No Such Latin Face", FONT_HEIGHT), 1);
    EXPECT_STREQ(latin.GetName(), "No Such Latin Face");
    // A glyph the matched face lacks comes from the Japanese face.
    ASSERT_EQ(latin.CacheText(HIRAGANA_A), 1);
    ASSERT_EQ(latin.CacheText("A"), 1);
    EXPECT_GT(latin.FindCacheEntry(HIRAGANA_A)->width, 2u);
    latin.Release();
}

TEST_F(FontTextureTest, AnAddedFontFileIsUsedDirectly)
{
    const std::string path = font.GetFontFace()->GetFilePath();
    CFontTexture added;
    ASSERT_EQ(added.AddFontFile(128, 64, 21, path.c_str(), "Whatever Name", FONT_HEIGHT), 1);
    EXPECT_EQ(added.GetFontFace()->GetFilePath(), path);
    EXPECT_EQ(added.CacheText(HIRAGANA_A), 1);
    added.Release();
    EXPECT_EQ(added.AddFontFile(128, 64, 21, "no such font file.ttf", FACE, FONT_HEIGHT), 0);
    // Only 32-bit textures take glyphs.
    EXPECT_EQ(added.Create(128, 64, 22, FACE, FONT_HEIGHT), 0);
}

TEST_F(FontTextureTest, AStringDrawnTwiceIsRenderedOnce)
{
    ASSERT_EQ(font.DrawString(10, 10, WHITE, "ABC"), 1);
    ASSERT_EQ(font.GetCacheEntryCount(), 1u);
    const KVRFONTCACHEENTRY first = *font.FindCacheEntry("ABC");
    ASSERT_EQ(font.DrawString(10, 50, WHITE, "ABC"), 1);
    EXPECT_EQ(font.GetCacheEntryCount(), 1u);
    const KVRFONTCACHEENTRY* second = font.FindCacheEntry("ABC");
    EXPECT_EQ(second->x, first.x);
    EXPECT_EQ(second->y, first.y);

    ReadBack();
    const Box top = LitBox(0, 0, WIDTH, 40);
    const Box bottom = LitBox(0, 40, WIDTH, HEIGHT);
    ASSERT_FALSE(top.Empty());
    ASSERT_FALSE(bottom.Empty());
    EXPECT_EQ(bottom.left, top.left);
    EXPECT_EQ(bottom.right, top.right);
    EXPECT_EQ(bottom.top - top.top, 40);
    // The entry's rectangle holds the text and its 2-texel margin.
    EXPECT_LE(top.right - top.left + 1, static_cast<int>(first.width) - 2);
    EXPECT_GE(top.left, 10);
}

TEST_F(FontTextureTest, ADoubleByteCharacterIsOneEntry)
{
    ASSERT_EQ(font.DrawText(10, 10, WHITE, FONT_HEIGHT, 1.0f, HIRAGANA_A), 1);
    ASSERT_EQ(font.GetCacheEntryCount(), 1u);
    EXPECT_STREQ(font.GetCacheEntry(0)->text, HIRAGANA_A);
    ReadBack();
    EXPECT_FALSE(LitBox().Empty());
}

TEST_F(FontTextureTest, CutAndInvalidTextIsWalkedSafely)
{
    // A lead byte as the last byte ends the text there.
    const char cut[] = {'A', '\x82', '\0', 'Z', '\0'};
    float rect[4];
    ASSERT_EQ(font.GetTextRect(0, 0, FONT_HEIGHT, 1.0f, cut, 17, rect), 1);
    EXPECT_EQ(font.GetCacheEntryCount(), 1u);
    EXPECT_EQ(font.DrawText(0, 0, WHITE, FONT_HEIGHT, 1.0f, cut), 1);
    EXPECT_EQ(font.DrawTextWrapped(0, 0, 20, 1, WHITE, FONT_HEIGHT, 1.0f, cut), 1);
    EXPECT_EQ(font.DrawTextFit(0, 0, 5, 5, WHITE, FONT_HEIGHT, 1.0f, cut, 17), 1);
    EXPECT_EQ(font.GetCacheEntryCount(), 1u);
    // An invalid double-byte character is skipped; the rest still draws.
    ASSERT_EQ(font.CacheText("\x85\x40" "B"), 1);
    const KVRFONTCACHEENTRY* invalid = font.FindCacheEntry("\x85\x40" "B");
    ASSERT_EQ(font.CacheText("B"), 1);
    EXPECT_EQ(invalid->width, font.FindCacheEntry("B")->width);
    EXPECT_EQ(font.DrawText(0, 0, WHITE, FONT_HEIGHT, 1.0f, nullptr), 0);
    EXPECT_EQ(font.GetTextRect(0, 0, FONT_HEIGHT, 1.0f, "A", 17, nullptr), 0);
}

TEST_F(FontTextureTest, AnchorsPlaceGlyphText)
{
    const char* text = "AB";
    float rect[4];
    ASSERT_EQ(font.GetTextRect(0, 0, FONT_HEIGHT, 1.0f, text, 17, rect), 1);
    const float width = rect[2];
    const float height = rect[3];

    struct Case
    {
        uint8_t anchor;
        float left;
        float top;
    } cases[] = {{17, 100, 40}, {34, 100 - width / 2, 40 - height / 2}, {0, 100 - width, 40 - height}};
    for (const Case& c : cases)
    {
        Clear();
        ASSERT_EQ(font.DrawTextEx(100, 40, WHITE, FONT_HEIGHT, 1.0f, text, c.anchor), 1);
        ReadBack();
        const Box box = LitBox();
        ASSERT_FALSE(box.Empty()) << int(c.anchor);
        EXPECT_GE(box.left, static_cast<int>(c.left)) << int(c.anchor);
        EXPECT_GE(box.top, static_cast<int>(c.top)) << int(c.anchor);
        EXPECT_LT(box.right, static_cast<int>(c.left + width)) << int(c.anchor);
        EXPECT_LT(box.bottom, static_cast<int>(c.top + height)) << int(c.anchor);
        // Not just inside: the glyphs start within a few pixels of the corner.
        EXPECT_LE(box.left, static_cast<int>(c.left) + 4) << int(c.anchor);
        ASSERT_EQ(font.GetTextRect(100, 40, FONT_HEIGHT, 1.0f, text, c.anchor, rect), 1);
        EXPECT_FLOAT_EQ(rect[0], c.left);
        EXPECT_FLOAT_EQ(rect[1], c.top);
    }
}

TEST_F(FontTextureTest, WrapsAfterFourBytes)
{
    float endX = 0;
    float endY = 0;
    ASSERT_EQ(font.DrawTextWrappedEnd(10, 10, 30, 4, WHITE, FONT_HEIGHT, 1.0f, "ABCDEF", &endX, &endY), 1);
    ReadBack();
    const Box first = LitBox(0, 0, WIDTH, 38);
    const Box second = LitBox(0, 38, WIDTH, HEIGHT);
    ASSERT_FALSE(first.Empty());
    ASSERT_FALSE(second.Empty());
    // One line advance (line height x scale) apart.
    EXPECT_EQ(second.top - first.top, 30);
    // Both lines start at x; the glyphs' own bearings differ by a pixel.
    EXPECT_NEAR(second.left, first.left, 2);
    EXPECT_GE(second.left, 10);
    float four[4];
    float two[4];
    ASSERT_EQ(font.GetTextRect(10, 10, FONT_HEIGHT, 1.0f, "ABCD", 17, four), 1);
    ASSERT_EQ(font.GetTextRect(10, 40, FONT_HEIGHT, 1.0f, "EF", 17, two), 1);
    EXPECT_LT(first.right, static_cast<int>(four[2]));
    EXPECT_GT(first.right, static_cast<int>(two[2]));
    EXPECT_LT(second.right, static_cast<int>(two[2]));
    EXPECT_FLOAT_EQ(endX, two[2]);
    EXPECT_FLOAT_EQ(endY, 40.0f);

    float wrapped[4];
    ASSERT_EQ(font.GetWrappedTextRectSimple(10, 10, 30, 4, FONT_HEIGHT, 1.0f, "ABCDEF", 17, wrapped), 1);
    EXPECT_FLOAT_EQ(wrapped[0], 10.0f);
    EXPECT_FLOAT_EQ(wrapped[2], four[2]);
    EXPECT_FLOAT_EQ(wrapped[3], 40.0f + (two[3] - two[1]));
}

// Seen as "Sco/re" and "bef/ore" in a mission's briefing: a Latin word
// that the box's edge would cut goes whole onto the next line, which then
// reads exactly as the word drawn there alone.
TEST_F(FontTextureTest, TextSetInABoxBreaksLatinAtSpaces)
{
    constexpr float kLine = 24.0f;
    float cut[4];
    ASSERT_EQ(font.GetTextRect(4, 4, FONT_HEIGHT, 1.0f, "Score bef", 17, cut), 1);
    ASSERT_EQ(font.DrawTextWrappedMarginLimit(4, 4, 4, kLine, 0, cut[2], WHITE, FONT_HEIGHT, 1.0f, "Score before", 17),
              1);
    ReadBack();
    const std::vector<uint32_t> wrapped = pixels;
    Clear();
    ASSERT_EQ(font.DrawText(4, 4, WHITE, FONT_HEIGHT, 1.0f, "Score"), 1);
    ASSERT_EQ(font.DrawText(4, 4 + kLine, WHITE, FONT_HEIGHT, 1.0f, "before"), 1);
    ReadBack();
    size_t differ = 0;
    for (size_t i = 0; i < pixels.size(); ++i)
        differ += pixels[i] != wrapped[i] ? 1 : 0;
    EXPECT_EQ(differ, 0u);
}

TEST_F(FontTextureTest, OutlineCopiesLieOnePixelAround)
{
    ASSERT_EQ(font.DrawText(50, 30, GREEN, FONT_HEIGHT, 1.0f, "H"), 1);
    ReadBack();
    const Box plain = LitBox();
    ASSERT_FALSE(plain.Empty());

    Clear();
    ASSERT_EQ(font.DrawTextOutlined(50, 30, GREEN, RED, FONT_HEIGHT, 1.0f, 1.0f, "H"), 1);
    ReadBack();
    const Box outlined = LitBox();
    EXPECT_EQ(outlined.left, plain.left - 1);
    EXPECT_EQ(outlined.top, plain.top - 1);
    EXPECT_EQ(outlined.right, plain.right + 1);
    EXPECT_EQ(outlined.bottom, plain.bottom + 1);
    // The text itself is drawn last, over its outline.
    const Box green = LitBox(0, 0, WIDTH, HEIGHT, 0x0000FF00);
    EXPECT_EQ(green.left, plain.left);
    EXPECT_EQ(green.right, plain.right);
    const Box red = LitBox(0, 0, WIDTH, HEIGHT, 0x00FF0000);
    EXPECT_EQ(red.left, plain.left - 1);
    EXPECT_EQ(red.right, plain.right + 1);
}

TEST_F(FontTextureTest, WhiteTextTintedRedReadsRed)
{
    ASSERT_EQ(font.DrawText(20, 20, RED, FONT_HEIGHT, 1.0f, "\x81\xA1"), 1); // ■
    ReadBack();
    const Box box = LitBox();
    ASSERT_FALSE(box.Empty());
    const uint32_t centre = At((box.left + box.right) / 2, (box.top + box.bottom) / 2);
    EXPECT_TRUE(NearRgb(centre, RED, 8)) << std::hex << centre;
}

TEST_F(FontTextureTest, BoxesFillEachGlyphCell)
{
    float rect[4];
    ASSERT_EQ(font.GetTextRect(20, 20, FONT_HEIGHT, 1.0f, "AB", 17, rect), 1);
    ASSERT_EQ(font.DrawTextWrappedBoxed(20, 20, 20, 0, WHITE, FONT_HEIGHT, 1.0f, "AB", 17, 0xFF0000FF, nullptr,
                                        nullptr),
              1);
    ReadBack();
    const Box blue = LitBox(0, 0, WIDTH, HEIGHT, 0x000000FF);
    EXPECT_EQ(blue.left, 20);
    EXPECT_EQ(blue.top, 20);
    EXPECT_EQ(blue.right, static_cast<int>(rect[2]) - 1);
    EXPECT_EQ(blue.bottom, static_cast<int>(rect[3]) - 1);
}

// Seen as every text not drawn before drawing nothing for the rest of the
// run once the cache was full: a full texture is emptied for the next text,
// even in the middle of a glyph text, which still draws whole, exactly as
// from a texture with room for all of it. Only a text larger than the whole
// texture is refused.
TEST_F(FontTextureTest, AFullTextureIsEmptiedForTheNextText)
{
    CFontTexture small;
    ASSERT_EQ(small.CreateDefault(64, 48, FACE, FONT_HEIGHT), 1);
    EXPECT_EQ(small.CacheText("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), 0);
    EXPECT_EQ(small.GetCacheEntryCount(), 0u);

    const char* letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    ASSERT_EQ(font.DrawTextWrapped(4, 4, 20, 13, WHITE, FONT_HEIGHT, 1.0f, letters), 1);
    ReadBack();
    const std::vector<uint32_t> roomy = pixels;
    Clear();
    ASSERT_EQ(small.DrawTextWrapped(4, 4, 20, 13, WHITE, FONT_HEIGHT, 1.0f, letters), 1);
    ReadBack();
    EXPECT_TRUE(pixels == roomy);
    EXPECT_LT(small.GetCacheEntryCount(), std::strlen(letters));
    for (uint32_t i = 0; i < small.GetCacheEntryCount(); ++i)
    {
        const KVRFONTCACHEENTRY* entry = small.GetCacheEntry(i);
        EXPECT_LE(entry->x + entry->width, 64u);
        EXPECT_LE(entry->y + entry->height, 48u);
    }
    small.Release();
}

TEST_F(FontTextureTest, ANewFontEmptiesTheCache)
{
    ASSERT_EQ(font.CacheText("ABC"), 1);
    ASSERT_EQ(font.CreateFont(FACE, 24), 1);
    EXPECT_EQ(font.GetCacheEntryCount(), 0u);
    EXPECT_EQ(font.GetFontHeight(), 24u);
    ASSERT_EQ(font.CacheText("ABC"), 1);
    EXPECT_EQ(font.FindCacheEntry("ABC")->x, 0u);
}

TEST_F(FontTextureTest, LineBreaksInACachedString)
{
    ASSERT_EQ(font.CacheText("A\r\nB"), 1);
    ASSERT_EQ(font.CacheText("A"), 1);
    const KVRFONTCACHEENTRY* twoLines = font.FindCacheEntry("A\r\nB");
    const KVRFONTCACHEENTRY* oneLine = font.FindCacheEntry("A");
    // One line break, not two: twice the line height, one margin.
    EXPECT_EQ(twoLines->height - 2, 2 * (oneLine->height - 2));
}

TEST_F(FontTextureTest, ScreenshotOfMixedText)
{
    const float x = 8;
    const float y = 30;
    ASSERT_EQ(font.DrawText(x, y, WHITE, FONT_HEIGHT, 1.0f, SCREENSHOT_TEXT), 1);
    ReadBack();
    SavePng("FontTextureScreenshot.png");

    float whole[4];
    ASSERT_EQ(font.GetTextRect(x, y, FONT_HEIGHT, 1.0f, SCREENSHOT_TEXT, 17, whole), 1);
    const Box all = LitBox();
    ASSERT_FALSE(all.Empty());
    EXPECT_GE(all.left, static_cast<int>(whole[0]));
    EXPECT_GE(all.top, static_cast<int>(whole[1]));
    EXPECT_LT(all.right, static_cast<int>(whole[2]));
    EXPECT_LT(all.bottom, static_cast<int>(whole[3]));

    // Each character's cell: glyphs have pixels in theirs, spaces none.
    float penX = x;
    for (size_t at = 0; SCREENSHOT_TEXT[at] != 0;)
    {
        const size_t length = static_cast<unsigned char>(SCREENSHOT_TEXT[at]) >= 0x80 ? 2 : 1;
        const std::string character(SCREENSHOT_TEXT + at, length);
        const KVRFONTCACHEENTRY* entry = font.FindCacheEntry(character.c_str());
        ASSERT_NE(entry, nullptr) << at;
        const Box cell = LitBox(static_cast<int>(penX), static_cast<int>(y), static_cast<int>(penX) + entry->width,
                                static_cast<int>(y) + entry->height);
        EXPECT_EQ(cell.Empty(), character == " ") << "character at " << at;
        penX += entry->width;
        at += length;
    }
}

TEST_F(FontTextureTest, FitSqueezesToTheMaximumWidth)
{
    float rect[4];
    ASSERT_EQ(font.GetTextRect(0, 0, FONT_HEIGHT, 1.0f, "ABCDEF", 17, rect), 1);
    ASSERT_GT(rect[2], 40.0f);
    ASSERT_EQ(font.DrawTextFit(10, 10, 40, 100, WHITE, FONT_HEIGHT, 1.0f, "ABCDEF", 17), 1);
    ReadBack();
    const Box box = LitBox();
    ASSERT_FALSE(box.Empty());
    EXPECT_GE(box.left, 10);
    EXPECT_LT(box.right, 50);

    Clear();
    ASSERT_EQ(font.DrawStringFit(10, 10, 40, 100, WHITE, FONT_HEIGHT, 1.0f, 1.0f, "ABCDEF", 17), 1);
    ReadBack();
    const Box whole = LitBox();
    ASSERT_FALSE(whole.Empty());
    EXPECT_LT(whole.right, 50);
}

TEST_F(FontTextureTest, LinesSplitByBytesAndLineFeeds)
{
    ASSERT_EQ(font.DrawStringLines(10, 10, 25, 3, WHITE, FONT_HEIGHT, 1.0f, "ABCDE\nF"), 1);
    EXPECT_NE(font.FindCacheEntry("ABC"), nullptr);
    EXPECT_NE(font.FindCacheEntry("DE"), nullptr);
    EXPECT_NE(font.FindCacheEntry("F"), nullptr);
    ReadBack();
    EXPECT_FALSE(LitBox(0, 60, WIDTH, 85).Empty());
}

void Hear(const char* text, void* context)
{
    static_cast<std::vector<std::string>*>(context)->push_back(text);
}

// Whatever way a text reaches the font, a listener hears it whole, once per
// call: draws by string and by glyph, wrapped, fitted and outlined draws,
// measures and the cache; the glyphs a text is drawn with are not texts of
// their own.
TEST_F(FontTextureTest, AListenerHearsEveryTextHandedInWhole)
{
    std::vector<std::string> heard;
    CFontTexture::SetTextListener(&Hear, &heard);
    float rect[4];
    font.DrawString(0, 0, WHITE, "String");
    font.DrawText(0, 20, WHITE, FONT_HEIGHT, 1.0f, SCREENSHOT_TEXT);
    font.DrawTextWrapped(0, 40, 20, 4, WHITE, FONT_HEIGHT, 1.0f, "Wrapped");
    font.DrawTextFit(0, 60, 40, 20, WHITE, FONT_HEIGHT, 1.0f, "Fitted", 0);
    font.GetTextRect(0, 0, FONT_HEIGHT, 1.0f, "Measured", 0, rect);
    font.CacheText("Cached");
    CFontTexture::SetTextListener(nullptr, nullptr);
    font.DrawString(0, 0, WHITE, "Unheard");
    const std::vector<std::string> expected = {"String", SCREENSHOT_TEXT, "Wrapped", "Fitted", "Measured", "Cached"};
    EXPECT_EQ(heard, expected);
}
}
