// 2,000 cached glyph-by-glyph characters per frame at 640x480 on the
// software rasterizer, beside the plain sprite draws of the same 2,000
// rectangles (the same texture, positions and scale, placed in advance).
// The ratio of the two is the cost of the glyph layout and cache lookups.
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "tests/support/HeadlessWindow.h"
#include "engine/render/CFontTexture.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
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

struct Engine
{
    Engine()
    {
        window = std::make_unique<HeadlessWindow>(nullptr);
        system.AttachWindow(window.get());
        system.SetClientSize(WIDTH, HEIGHT, 0);
        created = graphics.Create(&system) != 0;
    }
    ~Engine()
    {
        graphics.Destroy();
        system.Release();
    }
    std::unique_ptr<HeadlessWindow> window;
    CSystem system;
    CGraphics graphics;
    bool created = false;
};

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

void Frame(CGraphics& graphics, const std::function<void()>& draw)
{
    graphics.BeginScene();
    graphics.Begin2D();
    graphics.SetBlendMode(1);
    draw();
    graphics.EndScene();
    // Wait for the rasterizer.
    uint32_t pixel = 0;
    graphics.GetDevice()->ReadPixels(graphics.GetDevice()->GetBackBuffer(), 0, 0, 1, 1, &pixel);
    benchmark::DoNotOptimize(pixel);
}

void BM_GlyphText(benchmark::State& state)
{
    Engine engine;
    CFontTexture font;
    if (!engine.created || !font.CreateDefault(512, 512, "IPAGothic", FONT_HEIGHT))
    {
        state.SkipWithError("no graphics device or font");
        return;
    }
    const std::string text = MakeText();
    font.DrawText(0, 0, WHITE, FONT_HEIGHT, 1.0f, text.c_str());
    for (auto _ : state)
        Frame(engine.graphics, [&] { font.DrawText(0, 0, WHITE, FONT_HEIGHT, 1.0f, text.c_str()); });
    state.counters["ns_per_char"] = benchmark::Counter(static_cast<double>(state.iterations()) * CHARACTERS,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    font.Release();
}
BENCHMARK(BM_GlyphText)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainSprites(benchmark::State& state)
{
    Engine engine;
    CFontTexture font;
    if (!engine.created || !font.CreateDefault(512, 512, "IPAGothic", FONT_HEIGHT))
    {
        state.SkipWithError("no graphics device or font");
        return;
    }
    const std::string text = MakeText();
    font.DrawText(0, 0, WHITE, FONT_HEIGHT, 1.0f, text.c_str());
    // The same rectangles at the same places, laid out once.
    struct Sprite
    {
        float x, y;
        float src[4];
    };
    std::vector<Sprite> sprites;
    float x = 0;
    float y = 0;
    for (size_t at = 0; at < text.size();)
    {
        if (text[at] == '\n')
        {
            x = 0;
            y += FONT_HEIGHT + 2;
            ++at;
            continue;
        }
        const size_t length = static_cast<unsigned char>(text[at]) >= 0x80 ? 2 : 1;
        const KVRFONTCACHEENTRY* entry = font.FindCacheEntry(text.substr(at, length).c_str());
        sprites.push_back(Sprite{x, y,
                                 {static_cast<float>(entry->x), static_cast<float>(entry->y),
                                  static_cast<float>(entry->x + entry->width),
                                  static_cast<float>(entry->y + entry->height)}});
        x += entry->width;
        at += length;
    }
    CTexture& texture = font;
    for (auto _ : state)
    {
        Frame(engine.graphics, [&] {
            for (const Sprite& sprite : sprites)
                texture.DrawScaledXYZ(sprite.x, sprite.y, 0.0f, sprite.src, 1.0f, 1.0f, WHITE, 0, 0, 0);
        });
    }
    state.counters["ns_per_char"] = benchmark::Counter(static_cast<double>(state.iterations()) * CHARACTERS,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    font.Release();
}
BENCHMARK(BM_PlainSprites)->Unit(benchmark::kMillisecond)->UseRealTime();
}
