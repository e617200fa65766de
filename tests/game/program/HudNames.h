#pragma once

// Players' names as a battle's HUD draws them in a game's window, drawn
// offscreen at the window's size by the HUD's own code (HudScreen, the
// game's fonts): the own player's name at the bottom left, and the lines of
// the participant list (held open by its key). A walk reads the same
// pixels of the game's window and compares them with these, pixel by pixel:
// a name is told by its glyphs, not by a column count that another name
// could share.
// Xlib's macros clash with the HUD's headers: this comes before QorScreens.h.

#include "tests/game/battle/HudScreen.h"

#include <string>
#include <vector>

namespace qortest
{
// What a name makes of each pixel of a window rectangle, row by row: lit
// (its glyphs), dark (their outline), or nothing of its own (the HUD's
// panels, seat marks and figures, or the stage behind, are left alone).
struct DrawnText
{
    enum Pixel : int8_t
    {
        BEHIND = -1,
        DARK = 0,
        LIT = 1,
    };
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<Pixel> pixels;

    int LitCount() const { return static_cast<int>(std::count(pixels.begin(), pixels.end(), LIT)); }
};

// The HUD's texts are white: a pixel the glyphs cover is near white, which
// the stage and the HUD's panels behind them are not.
constexpr int kLitLevel = 200;
inline bool LitText(int r, int g, int b)
{
    return std::min({r, g, b}) >= kLitLevel;
}

namespace hudnames
{
constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 480;
constexpr int kEdgeBand = 40;

// The HUD of a battle of these players in seat order, seen by the first
// (its name at the bottom left), the participant list open or not; the
// frame read back.
inline void DrawHud(hudtest::HudScreen& screen, const std::vector<std::string>& names, bool list)
{
    for (size_t i = 0; i < names.size(); ++i)
    {
        std::snprintf(screen.definitions[i].name, sizeof(screen.definitions[i].name), "%s", names[i].c_str());
        // A room's seats have teams: the seat's mark stands just left of
        // the own name.
        screen.fighters[i]->GetActionData()->team = static_cast<uint8_t>(i % 4);
    }
    tag_TOLQCONSOLESTATE* state = screen.console.GetStateForUpdate();
    state->participantShown = list ? 1 : 0;
    state->participantClock = 1000;
    screen.Draw();
}

// The HUD's item as drawn with the names, measured against the same HUD
// drawn without them (unnamed): the pixels the names change are theirs.
inline DrawnText NamePixels(const hudtest::HudScreen& screen, const std::vector<uint32_t>& unnamed, HudItem item,
                            uint32_t index)
{
    DrawnText text;
    const MenuRect pixels = screen.Pixels(item, index);
    text.left = static_cast<int>(pixels.left);
    text.top = static_cast<int>(pixels.top);
    text.width = static_cast<int>(pixels.right + 1.0f) - text.left;
    text.height = static_cast<int>(pixels.bottom + 1.0f) - text.top;
    for (int y = text.top; y < text.top + text.height; ++y)
    {
        for (int x = text.left; x < text.left + text.width; ++x)
        {
            const uint32_t argb = screen.At(static_cast<float>(x), static_cast<float>(y));
            const size_t at = static_cast<size_t>(y) * kWindowWidth + static_cast<size_t>(x);
            const int level = std::min({hudtest::Red(argb), hudtest::Green(argb), hudtest::Blue(argb)});
            // A glyph's edge, which it covers in part, may fall either way
            // over another background: it counts for neither.
            if (at >= unnamed.size() || unnamed[at] == argb || std::abs(level - kLitLevel) < kEdgeBand)
                text.pixels.push_back(DrawnText::BEHIND);
            else
                text.pixels.push_back(level >= kLitLevel ? DrawnText::LIT : DrawnText::DARK);
        }
    }
    return text;
}

// Each player's name on the item of its seat, drawn as DrawHud does.
inline std::vector<DrawnText> Drawn(const std::vector<std::string>& names, bool list, HudItem item, uint32_t items)
{
    hudtest::HudScreen screen(kWindowWidth, kWindowHeight, static_cast<uint8_t>(names.size()));
    if (!screen.Ready())
        return {};
    DrawHud(screen, std::vector<std::string>(names.size()), list);
    const std::vector<uint32_t> unnamed = screen.frame;
    DrawHud(screen, names, list);
    std::vector<DrawnText> texts;
    for (uint32_t i = 0; i < items; ++i)
        texts.push_back(NamePixels(screen, unnamed, item, i));
    return texts;
}
}

// The own player's name as the HUD draws it (the participant list closed:
// its lower edge runs just above the name).
inline DrawnText OwnNameDrawn(const std::string& name)
{
    const std::vector<DrawnText> drawn = hudnames::Drawn({name}, false, HudItem::PlayerName, 1);
    return drawn.empty() ? DrawnText() : drawn[0];
}

// The names on the participant list's lines of an individual battle of
// these players, in seat order.
inline std::vector<DrawnText> ListLinesDrawn(const std::vector<std::string>& names)
{
    return hudnames::Drawn(names, true, HudItem::ListLine, static_cast<uint32_t>(names.size()));
}
}
