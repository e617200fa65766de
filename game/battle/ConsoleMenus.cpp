// The HUD's menus in their window, the mission result panel and the fade
// over everything.
#include "game/battle/CConsoleRenderer.h"

#include "engine/core/GameText.h"
#include "game/actor/CCharacter.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/battle/tag_TOLQCONSOLESTATE.h"

#include <algorithm>
#include <cstdio>

namespace
{
// Menus, in 1024 x 768 layout units from the screen's centre: lines 28
// high, the window's inner edge 12 inside the widest line and 14 per line
// from a 24-unit-high start; the border stays 36 pixels at every size.
constexpr float kMenuTextSize = 24.0f;
constexpr float kMenuLinePitch = 28.0f;
constexpr float kMenuStartHalfHeight = 12.0f;
constexpr float kMenuHalfLine = 14.0f;
constexpr float kMenuInset = 12.0f;
constexpr float kMenuFirstLineAbove = 6.0f;
constexpr float kMenuBorderPixels = 36.0f;
// A menu no longer than the screen is tall.
constexpr uint32_t kMaxMenuItems = 24;

// The mission result: its inner window about the centre, its border 36
// units; texts from the window's inner top-left.
constexpr float kResultHalfWidth = 76.0f;
constexpr float kResultHalfHeight = 68.0f;
constexpr float kResultBorder = 36.0f;
constexpr MenuPoint kScoreWordAt{0, 32};
constexpr MenuPoint kScoreAt{130, 28};
constexpr MenuPoint kRankWordAt{0, 100};
constexpr MenuPoint kRankAt{130, 96};
constexpr float kResultWordSize = 24.0f;
constexpr float kResultValueSize = 32.0f;
constexpr uint32_t kRankTexts = 4;
constexpr const char* kRankText[kRankTexts] = {"--", "E", "D", "C"};
constexpr uint32_t kMissionRanks = 7;
}

// ---------------------------------------------------------------- menus

void CConsoleRenderer::DrawMenus()
{
    switch (m_state.currentMenu)
    {
    case ConsoleMenu::Pause: DrawMenu(m_state.pauseMenu); break;
    case ConsoleMenu::Lose: DrawMenu(m_state.loseMenu); break;
    case ConsoleMenu::Draw: DrawMenu(m_state.drawMenu); break;
    case ConsoleMenu::Win:
        if (Mission())
            DrawMissionResult();
        else
            DrawMenu(m_state.winMenu);
        break;
    default: break;
    }
}

// The title (when there is one) and the items, centred, in a window fitted
// around them; the cursor's item in the HUD colour, the others at half
// brightness.
void CConsoleRenderer::DrawMenu(const tag_TOLQMENU& menu)
{
    if (!menu.HasItems())
        return;
    const uint32_t items = std::min<uint32_t>(menu.itemCount, kMaxMenuItems);
    const char* lines[kMaxMenuItems + 1];
    uint32_t count = 0;
    if (menu.title != nullptr)
        lines[count++] = menu.title;
    for (uint32_t i = 0; i < items; ++i)
        lines[count++] = menu.items[i] != nullptr ? menu.items[i] : "";
    const MenuPoint centre = Centre();
    const float half = kMenuStartHalfHeight - kMenuHalfLine * static_cast<float>(count);
    MenuRect inner{Right(), centre.y + half, 0.0f, centre.y - half};
    for (uint32_t i = 0; i < count; ++i)
    {
        const MenuRect measured =
            m_painter.MeasureText(m_resources.large, centre, MenuAnchor::Centre, kMenuTextSize, 1.0f, lines[i]);
        inner.left = std::min(inner.left, measured.left + kMenuInset);
        inner.right = std::max(inner.right, measured.right - kMenuInset);
    }
    if (inner.right < inner.left)
        inner.left = inner.right = centre.x;
    DrawWindowFrame(inner, kMenuBorderPixels / m_painter.Layout().Scale(), m_hudColor);
    Report(HudItem::MenuWindow, 0, inner);
    float y = inner.top - kMenuFirstLineAbove;
    for (uint32_t i = 0; i < count; ++i)
    {
        const bool title = menu.title != nullptr && i == 0;
        const int32_t item = static_cast<int32_t>(i) - (menu.title != nullptr ? 1 : 0);
        const uint32_t color = title || item == menu.cursor ? m_hudColor : HalfBright(m_hudColor);
        m_painter.TextAt(m_resources.large, {centre.x, y}, MenuAnchor::Top, kMenuTextSize, 1.0f, color, lines[i]);
        Report(HudItem::MenuLine, i,
               m_painter.MeasureText(m_resources.large, {centre.x, y}, MenuAnchor::Top, kMenuTextSize, 1.0f,
                                     lines[i]),
               color == m_hudColor ? "lit" : "dim");
        y += kMenuLinePitch;
    }
}

// Nine parts: the centre stretched over inner, the edges along its sides
// border deep outside it, the corners border square outside its corners.
void CConsoleRenderer::DrawWindowFrame(const MenuRect& inner, float border, uint32_t color)
{
    const float xs[4] = {inner.left - border, inner.left, inner.right, inner.right + border};
    const float ys[4] = {inner.top - border, inner.top, inner.bottom, inner.bottom + border};
    for (int row = 0; row < 3; ++row)
    {
        for (int column = 0; column < 3; ++column)
            m_painter.PictureInto(m_resources.sheet, ConsoleSheet::kWindowParts[row][column],
                                  {xs[column], ys[row], xs[column + 1], ys[row + 1]}, color);
    }
}

// The mission's win: its score (defeats under the last-stand rule, else the
// seconds left) and its rank, 4 to 6 as pictures.
void CConsoleRenderer::DrawMissionResult()
{
    const MenuPoint centre = Centre();
    const MenuRect inner{centre.x - kResultHalfWidth, centre.y - kResultHalfHeight, centre.x + kResultHalfWidth,
                         centre.y + kResultHalfHeight};
    DrawWindowFrame(inner, kResultBorder, m_hudColor);
    Report(HudItem::MissionPanel, 0, inner);
    const MenuPoint corner{inner.left, inner.top};
    auto from = [&corner](MenuPoint p) { return MenuPoint{corner.x + p.x, corner.y + p.y}; };
    m_painter.TextAt(m_resources.large, from(kScoreWordAt), MenuAnchor::TopLeft, kResultWordSize, 1.0f, m_hudColor,
                     GameText("スコア"));
    uint32_t score = m_state.timeLeft / 1000;
    if (Rule() == tag_TOLQBATTLERULE::RULE_LAST_STAND && m_focused != nullptr)
        score = m_focused->GetBattleScore()->value[tag_TOLQBATTLESCORE::DEFEATS];
    char text[16];
    std::snprintf(text, sizeof(text), "%u", score);
    m_painter.TextAt(m_resources.large, from(kScoreAt), MenuAnchor::TopRight, kResultValueSize, 1.0f, m_hudColor,
                     text);
    Report(HudItem::MissionScore, 0,
           m_painter.MeasureText(m_resources.large, from(kScoreAt), MenuAnchor::TopRight, kResultValueSize, 1.0f,
                                 text),
           text);
    m_painter.TextAt(m_resources.large, from(kRankWordAt), MenuAnchor::TopLeft, kResultWordSize, 1.0f, m_hudColor,
                     GameText("ランク"));
    const uint32_t rank = m_focused != nullptr ? m_focused->GetBattleScore()->value[tag_TOLQBATTLESCORE::RANK] : 0;
    if (rank >= kRankTexts && rank < kMissionRanks)
    {
        Report(HudItem::MissionRank, rank,
               Sprite(ConsoleSheet::kRankLetters[rank - kRankTexts], from(kRankAt), MenuAnchor::TopRight,
                      m_hudColor));
        return;
    }
    const char* rankText = kRankText[rank < kRankTexts ? rank : 0];
    m_painter.TextAt(m_resources.large, from(kRankAt), MenuAnchor::TopRight, kResultValueSize, 1.0f, m_hudColor,
                     rankText);
    Report(HudItem::MissionRank, rank,
           m_painter.MeasureText(m_resources.large, from(kRankAt), MenuAnchor::TopRight, kResultValueSize, 1.0f,
                                 rankText),
           rankText);
}

// ---------------------------------------------------------------- fade

void CConsoleRenderer::DrawFade()
{
    if (!(m_state.fade > 0.0f))
        return;
    const uint32_t alpha = static_cast<uint32_t>(std::min(m_state.fade, 1.0f) * 255.0f);
    m_painter.Fill(m_area, alpha << 24);
    Report(HudItem::Fade, 0, m_area, std::to_string(alpha));
}
