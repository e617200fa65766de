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
// What a text makes of each pixel of a window rectangle, row by row: lit
// (its glyphs), dark (the outline about them, or the panel behind), or
// nothing (what lies behind shows: a stage, which a name doesn't govern).
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
inline bool LitText(int r, int g, int b)
{
    return std::min({r, g, b}) >= 200;
}

namespace hudnames
{
constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 480;

inline DrawnText Capture(const hudtest::HudScreen& screen, HudItem item, uint32_t index)
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
            if (hudtest::IsClear(argb))
                text.pixels.push_back(DrawnText::BEHIND);
            else
                text.pixels.push_back(LitText(hudtest::Red(argb), hudtest::Green(argb), hudtest::Blue(argb))
                                          ? DrawnText::LIT
                                          : DrawnText::DARK);
        }
    }
    return text;
}

// The HUD of a battle of these players in seat order, seen by the first
// (its name at the bottom left), with the participant list open or not
// (the list's lower edge runs just above that name).
inline hudtest::HudScreen& DrawHud(hudtest::HudScreen& screen, const std::vector<std::string>& names, bool list)
{
    for (size_t i = 0; i < names.size(); ++i)
    {
        std::snprintf(screen.definitions[i].name, sizeof(screen.definitions[i].name), "%s", names[i].c_str());
        // A seat's team, as a room's seats have them: its mark stands just
        // left of the name.
        screen.fighters[i]->GetActionData()->team = static_cast<uint8_t>(i % 4);
    }
    tag_TOLQCONSOLESTATE* state = screen.console.GetStateForUpdate();
    state->participantShown = list ? 1 : 0;
    state->participantClock = 1000;
    screen.Draw();
    return screen;
}
}

// The own player's name as the HUD draws it.
inline DrawnText OwnNameDrawn(const std::string& name)
{
    hudtest::HudScreen screen(hudnames::kWindowWidth, hudnames::kWindowHeight, 1);
    if (!screen.Ready())
        return {};
    return hudnames::Capture(hudnames::DrawHud(screen, {name}, false), HudItem::PlayerName, 0);
}

// The names on the participant list's lines of an individual battle of
// these players, in seat order: only the pixels the names govern count
// (those that differ from the list drawn without names), not the seat
// marks or the downs, which the battle changes.
inline std::vector<DrawnText> ListLinesDrawn(const std::vector<std::string>& names)
{
    hudtest::HudScreen screen(hudnames::kWindowWidth, hudnames::kWindowHeight, static_cast<uint8_t>(names.size()));
    if (!screen.Ready())
        return {};
    hudnames::DrawHud(screen, names, true);
    std::vector<DrawnText> lines;
    for (uint32_t i = 0; i < names.size(); ++i)
        lines.push_back(hudnames::Capture(screen, HudItem::ListLine, i));
    const std::vector<uint32_t> named = screen.frame;
    hudnames::DrawHud(screen, std::vector<std::string>(names.size()), true);
    for (DrawnText& line : lines)
    {
        for (int y = 0; y < line.height; ++y)
        {
            for (int x = 0; x < line.width; ++x)
            {
                const size_t at = static_cast<size_t>(line.top + y) * hudnames::kWindowWidth + line.left + x;
                if (at < named.size() && named[at] == screen.frame[at])
                    line.pixels[static_cast<size_t>(y * line.width + x)] = DrawnText::BEHIND;
            }
        }
    }
    return lines;
}
}
