// 2,000 cached glyph-by-glyph characters per frame at 640x480 on the
// software rasterizer, beside the plain sprite draws of the same 2,000
// rectangles (the same texture, positions and scale, placed in advance).
// The ratio of the two is the cost of the glyph layout and cache lookups.
// Before timing, both draw one frame and must give the same picture.
#include "bench/support/BenchGraphics.h"
#include "engine/render/CFontTexture.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace
{
constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;
constexpr int CHARACTERS = 2000;
constexpr int PER_LINE = 50;
constexpr uint32_t FONT_HEIGHT = 12;
constexpr uint32_t WHITE = 0xFFFFFFFF;
constexpr uint32_t BLACK = 0xFF000000;

// 2,000 characters, Latin letters and digits and hiragana, 50 to a line.
std::string MakeText()
{
    std::string text;
    for (int i = 0; i < CHARACTERS; ++i)
    {
        if (i > 0 && i % PER_LINE == 0)
            text += '\n';
        if (i % 3 == 0)
        {
            text += '\x82';
            text += static_cast<char>(0x9F + (i / 3) % 83);
        }
        else
            text += static_cast<char>(i % 2 ? 'A' + i % 26 : '0' + i % 10);
    }
    return text;
}

struct Sprite
{
    float x, y;
    float src[4];
};

// The font with the text cached, and the text's glyph rectangles laid out
// once as the plain draws take them.
struct FontScene
{
    FontScene()
    {
        ready = engine.Created() && font.CreateDefault(512, 512, "IPAGothic", FONT_HEIGHT) != 0;
        if (!ready)
            return;
        font.DrawText(0, 0, WHITE, FONT_HEIGHT, 1.0f, text.c_str());
        // The glyph draw's own layout: the size over the font's height as
        // the scale, each glyph's width as the advance, a line's tallest
        // glyph as the line feed.
        scale = static_cast<float>(FONT_HEIGHT) / static_cast<float>(font.GetFontHeight());
        float x = 0;
        float y = 0;
        float tallest = 0;
        for (size_t at = 0; at < text.size();)
        {
            if (text[at] == '\n')
            {
                x = 0;
                y += tallest;
                ++at;
                continue;
            }
            const size_t length = static_cast<unsigned char>(text[at]) >= 0x80 ? 2 : 1;
            const KVRFONTCACHEENTRY* entry = font.FindCacheEntry(text.substr(at, length).c_str());
            sprites.push_back(Sprite{x, y,
                                     {static_cast<float>(entry->x), static_cast<float>(entry->y),
                                      static_cast<float>(entry->x + entry->width),
                                      static_cast<float>(entry->y + entry->height)}});
            x += static_cast<float>(entry->width) * scale;
            tallest = std::max(tallest, static_cast<float>(entry->height) * scale);
            at += length;
        }
    }
    ~FontScene() { font.Release(); }

    void DrawGlyphs() { font.DrawText(0, 0, WHITE, FONT_HEIGHT, 1.0f, text.c_str()); }
    void DrawSprites()
    {
        CTexture& texture = font;
        for (const Sprite& sprite : sprites)
            texture.DrawScaledXYZ(sprite.x, sprite.y, 0.0f, sprite.src, scale, scale, WHITE, 0, 0, 0);
    }

    // One frame: cleared, drawn, finished.
    void Frame(const std::function<void()>& draw)
    {
        CGraphics& graphics = engine.Graphics();
        graphics.BeginScene();
        engine.Device().Clear(CLEAR_TARGET | CLEAR_ZBUFFER, BLACK, 1.0f, 0);
        graphics.Begin2D();
        graphics.SetBlendMode(1);
        draw();
        graphics.EndScene();
        engine.Finish();
    }

    // The glyph draw and the plain draws give the same picture.
    bool Check(benchmark::State& state)
    {
        if (!ready)
        {
            state.SkipWithError("no graphics device or font");
            return false;
        }
        Frame([this] { DrawGlyphs(); });
        const std::vector<uint32_t> glyphs = engine.ReadBack();
        Frame([this] { DrawSprites(); });
        return CheckCoverage(state, glyphs, engine.ReadBack(), BLACK, 0.0);
    }

    BenchGraphics engine{WIDTH, HEIGHT};
    CFontTexture font;
    const std::string text = MakeText();
    std::vector<Sprite> sprites;
    float scale = 1.0f;
    bool ready = false;
};

void ReportPerCharacter(benchmark::State& state)
{
    state.counters["ns_per_char"] = benchmark::Counter(static_cast<double>(state.iterations()) * CHARACTERS,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_GlyphText(benchmark::State& state)
{
    FontScene scene;
    if (!scene.Check(state))
        return;
    for (auto _ : state)
        scene.Frame([&scene] { scene.DrawGlyphs(); });
    ReportPerCharacter(state);
}
BENCHMARK(BM_GlyphText)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainSprites(benchmark::State& state)
{
    FontScene scene;
    if (!scene.Check(state))
        return;
    for (auto _ : state)
        scene.Frame([&scene] { scene.DrawSprites(); });
    ReportPerCharacter(state);
}
BENCHMARK(BM_PlainSprites)->Unit(benchmark::kMillisecond)->UseRealTime();
}
