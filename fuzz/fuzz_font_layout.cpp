// Arbitrary bytes as Shift-JIS text through the font's layout and
// measures: one-line and wrapped rectangles, glyph text with every anchor
// and line break, wrapping by bytes and by position, fitting. Cut
// double-byte characters, invalid CP932 and stray line breaks included.
// The glyph cache is real (FreeType into an offscreen texture); when it
// fills up it is emptied, so every input lays out from a usable cache.
//
// The font is the IPA Gothic face that the test command installs (any
// scalable face fontconfig offers will do). A set-up that fails, or a
// known text that does not lay out, stops the run at once: a target that
// quietly returned early would fuzz nothing.
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/RenderClasses.h"
#include "tests/support/HeadlessWindow.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
struct Font
{
    Font()
    {
        // The texture classes reach the device through what this installs,
        // as the program's start-up does before the device is made.
        RenderClasses::Install();
        window = std::make_unique<HeadlessWindow>(nullptr);
        system.AttachWindow(window.get());
        system.SetClientSize(64, 64, 0);
        if (graphics.Create(&system) == 0)
            Fail("no graphics device");
        if (font.CreateDefault(256, 128, "IPAGothic", 14) == 0)
            Fail("no font");
        float rect[4] = {};
        if (font.GetTextRect(0, 0, 14, 1.0f, "Ab\x82\xA0", 0, rect) == 0 || rect[2] <= rect[0])
            Fail("a known text does not lay out");
    }
    [[noreturn]] static void Fail(const char* what)
    {
        std::fprintf(stderr, "fuzz_font_layout: %s\n", what);
        std::abort();
    }
    ~Font()
    {
        font.Release();
        graphics.Destroy();
        system.Release();
    }
    std::unique_ptr<HeadlessWindow> window;
    CSystem system;
    CGraphics graphics;
    CFontTexture font;
};

void CheckRect(const float* rect)
{
    for (int i = 0; i < 4; ++i)
    {
        if (std::isnan(rect[i]))
            __builtin_trap();
    }
    if (rect[2] < rect[0] || rect[3] < rect[1])
        __builtin_trap();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Font* font = new Font();
    if (size < 2 || size > 4096)
        return 0;
    CFontTexture& f = font->font;
    if (f.GetCacheEntryCount() > 200)
        f.ReleaseCache();

    const uint8_t anchor = data[0];
    const uint32_t maxBytes = data[1] % 8;
    std::vector<char> text(data + 2, data + size);
    text.push_back('\0');
    const char* t = text.data();

    float rect[4];
    if (f.GetTextRect(10, 20, 14, 1.0f, t, anchor, rect))
        CheckRect(rect);
    if (f.GetWrappedTextRect(30, 5, 2, 16, maxBytes, (data[1] & 8) ? 120.0f : 0.0f, 14, 1.0f, t, anchor, rect))
        CheckRect(rect);
    float endX = 0;
    float endY = 0;
    f.DrawTextEndEx(5, 5, 0xFFFFFFFF, 14, 1.0f, t, anchor, &endX, &endY);
    f.DrawTextWrappedBoxedEx(5, 5, 16, maxBytes, 0xFFFFFFFF, 14, 0.5f, t, anchor, 0x800000FF, anchor & 1, &endX,
                             &endY);
    f.DrawTextFit(5, 5, 40, 10, 0xFFFFFFFF, 14, 1.0f, t, anchor);
    f.DrawStringLines(0, 0, 16, maxBytes, 0xFFFFFFFF, 14, 1.0f, t);
    return 0;
}
