#pragma once

// What the walks look for on the game's screens, a pixel or a row of them
// each (layout units of 1024 x 768), and the title's ring driven by what it
// shows: which item is at its front, whether it has stopped turning.

#include "game/scene/TitleSheet.h"
#include "tests/game/program/QorProcess.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace qortest
{
// The title ring's items, in ring order: Down brings the next to the front.
enum RingItem : int
{
    kStoryItem = 0,
    kLocalBattleItem,
    kNetworkItem,
    kMissionItem,
    kShopItem,
    kOptionItem,
    kRecordItem,
    kEquipmentItem,
    kReplayItem,
    kTutorialItem,
    kQuitItem,
    kRingItems,
};

// The loading screen's full bar.
inline bool Loaded(QorProcess& game)
{
    return Near(game.At(480.0f, 688.0f), 255, 255, 255, 6) && Near(game.At(720.0f, 688.0f), 255, 255, 255, 6);
}
// The maker's logo on white.
inline bool Logo(QorProcess& game)
{
    return Near(game.At(8.0f, 8.0f), 255, 255, 255, 6);
}
// The title picture's purple corner.
inline bool TitlePicture(QorProcess& game)
{
    const Rgb corner = game.At(8.0f, 8.0f);
    return corner.b > corner.g + 30 && corner.r > corner.g;
}
// The white title band of the menu screens (the setup's pages, options,
// records, shop, equipment, replay list).
inline bool TitleBand(QorProcess& game)
{
    return Near(game.At(100.0f, 56.0f), 255, 255, 255, 6);
}
// A battle, by what only a battle draws: its HUD's time panel at the top
// left, a light rim about navy.
inline bool BattleHud(QorProcess& game)
{
    return Near(game.At(8.0f, 8.0f), 224, 232, 240, 16) && Near(game.At(16.0f, 16.0f), 20, 33, 59, 16);
}
// How many pixels of a layout row between two layout x are near white:
// lines of text lit (white) rather than dimmed (grey), a box of text shown.
inline int Bright(QorProcess& game, float y, float fromX, float toX)
{
    const std::vector<Rgb> row = game.Row(y);
    int bright = 0;
    for (size_t x = static_cast<size_t>(fromX * 0.625f); x < row.size() && x < static_cast<size_t>(toX * 0.625f); ++x)
        bright += row[x].r >= 230 && row[x].g >= 230 && row[x].b >= 230 ? 1 : 0;
    return bright;
}

// A green button at a layout point.
inline bool Green(QorProcess& game, float x, float y)
{
    const Rgb button = game.At(x, y);
    return button.g > button.r + 30 && button.g > button.b + 30;
}

// The quit menu over any screen, told by its white frame: both of its
// upright edges white all along their middle (a screen's own text crosses
// such a line, but never fills it).
inline bool QuitMenu(QorProcess& game)
{
    auto white = [](const Rgb& rgb) { return std::min({rgb.r, rgb.g, rgb.b}) > 240; };
    constexpr float kTop = 320.0f;
    constexpr float kBottom = 448.0f;
    constexpr int kAll = static_cast<int>((kBottom - kTop) * 0.625f);
    return game.Count(272.0f, kTop, 273.6f, kBottom, white) >= kAll &&
           game.Count(752.0f, kTop, 753.6f, kBottom, white) >= kAll;
}

// Escape opens the quit menu, on "ゲームに戻る", and Z, pressed as a person
// does, closes it; then as many frames pass as a held key would need to act
// on the screen beneath. The open menu's screenshot takes the name given.
// True once the menu has closed.
inline bool CloseQuitMenuWithDecide(QorProcess& game, const std::string& screenshot)
{
    if (!game.PressUntil("Escape", [&] { return QuitMenu(game); }, std::chrono::seconds(4), 3))
        return false;
    game.Screenshot(screenshot);
    if (!game.PressUntil("z", [&] { return !QuitMenu(game); }, std::chrono::seconds(4), 3))
        return false;
    game.WaitFrames(20);
    return true;
}

// A battle's menu of items lines (the pause menu, the result menu), told
// by the light rim of its window's top edge: 36 pixels above its inner
// rectangle, which grows 14 units each way per line about the centre. The
// rim runs level across the middle (a banner's glow would not).
inline bool BattleMenu(QorProcess& game, int items)
{
    const float innerTop = 384.0f - (14.0f * static_cast<float>(items) - 12.0f);
    const std::vector<Rgb> row = game.Row(innerTop - 34.5f / 0.625f);
    if (row.size() < 400)
        return false;
    for (int x : {280, 320, 360})
    {
        if (!Near(row[static_cast<size_t>(x)], 0xE0, 0xE8, 0xF0, 20))
            return false;
    }
    return true;
}

// The line (from 0) of a battle's menu of items lines that has the cursor:
// its text lit white, the others grey; lines lie 28 units apart from just
// below the window's inner top.
inline bool BattleMenuLineLit(QorProcess& game, int items, int line)
{
    const float innerTop = 384.0f - (14.0f * static_cast<float>(items) - 12.0f);
    const float centre = innerTop + 5.0f + 28.0f * static_cast<float>(line);
    int bright = 0;
    for (float y : {centre - 5.0f, centre, centre + 5.0f})
        bright = std::max(bright, Bright(game, y, 432.0f, 595.0f));
    return bright >= 15;
}

// Enter until a battle's pause menu of items lines shows: the battle's
// opening (its fade and the ready-go call) takes no pause.
inline bool OpenBattlePause(QorProcess& game, int items)
{
    return game.WaitFor([&] { return BattleMenu(game, items); }, [&] { game.Press("Return"); });
}

namespace ring
{
// The ring turns about (224, 458); the front item's picture is centred
// there, the cursor's frame just left of it; the arrows above and below
// light up while it turns (probed in their middle, clear of their jump).
constexpr float kCentreX = 224.0f;
constexpr float kFrontY = 458.0f;
constexpr float kUpperArrowX = 222.0f;
constexpr float kUpperArrowY = 400.0f;
constexpr float kLowerArrowY = 515.0f;
// The item pictures' blue, and the arrows' yellow (lit: lighter).
constexpr Rgb kItemBlue{36, 88, 168};
constexpr Rgb kArrowYellow{232, 192, 64};

inline bool ArrowResting(QorProcess& game, float y)
{
    return Near(game.At(kUpperArrowX, y), kArrowYellow.r, kArrowYellow.g, kArrowYellow.b, 10);
}

// The front picture's left edge in layout units, -1 when no item picture
// lies on the front row.
inline float FrontLeft(QorProcess& game)
{
    const std::vector<Rgb> row = game.Row(kFrontY);
    auto blue = [&](size_t x) { return Near(row[x], kItemBlue.r, kItemBlue.g, kItemBlue.b, 12); };
    for (size_t x = 30; x + 2 < row.size() && x < 140; ++x)
    {
        // The picture's light rim lies just left of its body.
        if (blue(x) && blue(x + 1) && blue(x + 2))
            return (static_cast<float>(x) - 1.25f) / 0.625f;
    }
    return -1.0f;
}

inline float LeftOf(int item)
{
    return kCentreX - TitleSheet::kRingItems[item].Width() * 0.5f;
}

inline int Wrap(int item)
{
    return ((item % kRingItems) + kRingItems) % kRingItems;
}
}

// The ring shows, fading in or out or at rest: its arrows' yellow tints
// their place (the logo, movie and title picture are blue or purple there).
inline bool RingComing(QorProcess& game)
{
    const Rgb arrow = game.At(ring::kUpperArrowX, ring::kUpperArrowY);
    return arrow.r > arrow.b + 20;
}

// The ring fully shown and still: both arrows unlit at full colour (they
// light while it turns and fade with it), a picture at the front.
inline bool RingResting(QorProcess& game)
{
    return ring::ArrowResting(game, ring::kUpperArrowY) && ring::ArrowResting(game, ring::kLowerArrowY) &&
           ring::FrontLeft(game) >= 0.0f;
}

// The item at the front of the resting ring, of those whose picture is as
// wide as the front one, the nearest to near along the ring; -1 for none.
inline int FrontItem(QorProcess& game, int near)
{
    if (!RingResting(game))
        return -1;
    const float left = ring::FrontLeft(game);
    int best = -1;
    int bestDistance = kRingItems;
    for (int item = 0; item < kRingItems; ++item)
    {
        if (std::fabs(left - ring::LeftOf(item)) > 2.0f)
            continue;
        const int away = std::abs(ring::Wrap(item - near + kRingItems / 2) - kRingItems / 2);
        if (away < bestDistance)
        {
            best = item;
            bestDistance = away;
        }
    }
    return best;
}

inline bool RingRestsOn(QorProcess& game, int item)
{
    return RingResting(game) && std::fabs(ring::FrontLeft(game) - ring::LeftOf(item)) <= 2.0f;
}

// From the start to the ring at rest: any button past the loading screen,
// the opening movie and the title picture (the logo takes none).
inline bool ReachRing(QorProcess& game)
{
    return game.WaitFor([&] { return RingResting(game); },
                        [&] {
                            if (!RingComing(game))
                                game.Press("z");
                        });
}

// A screen left for the ring: its menu fades in and comes to rest.
inline bool BackToRing(QorProcess& game)
{
    return game.WaitFor([&] { return RingResting(game); });
}

// Turns the resting ring from item from to item to the short way, one
// tap a turn (a held key turns on every 300 ms, and a slow frame would hold
// it that long), each turn seen to end on the item it should: a tap the
// ring did not take is made again, and a turn too many is turned back.
inline bool TurnRing(QorProcess& game, int from, int to)
{
    int front = from;
    for (int press = 0; press < 3 * kRingItems && front != to; ++press)
    {
        const int down = ring::Wrap(to - front);
        const int step = down <= kRingItems / 2 ? 1 : -1;
        const int next = ring::Wrap(front + step);
        game.QuickPress(step > 0 ? "Down" : "Up");
        if (game.WaitFor([&] { return RingRestsOn(game, next); }, nullptr, std::chrono::seconds(3)))
        {
            front = next;
            continue;
        }
        // Not where it should be: wherever it rests now.
        if (!game.WaitFor([&] { return RingResting(game); }))
            return false;
        front = FrontItem(game, next);
        if (front < 0)
            return false;
    }
    return front == to && RingRestsOn(game, to);
}

// Decide on the front item: again while the ring still rests (a press it
// did not take); true once it has begun to fade out.
inline bool ChooseRingItem(QorProcess& game)
{
    if (!game.WaitFor([&] { return RingResting(game); }))
        return false;
    return game.PressUntil("z", [&] { return !RingResting(game); }, std::chrono::seconds(2));
}
}
