// The HUD's drawing order, its world overlays' frame and the helpers every
// element shares.
#include "game/battle/CConsoleRenderer.h"

#include "engine/platform/CGraphics.h"
#include "engine/render/CCamera.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CFieldLists.h"
#include "game/battle/ConsoleText.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/battle/tag_TOLQCONSOLESTATE.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
uint32_t PackColor(const CkvrVector4& color)
{
    auto channel = [](float value) {
        return static_cast<uint32_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f);
    };
    return channel(color.w) << 24 | channel(color.x) << 16 | channel(color.y) << 8 | channel(color.z);
}

// Radar and map colours by team; none (4) is grey.
constexpr uint32_t kTeamColors[5] = {0xFFEF002E, 0xFF00E0FF, 0xFFFFCB00, 0xFF00EB54, 0xFF545454};
}

CConsoleRenderer::CConsoleRenderer(const tag_TOLQCONSOLESTATE& state, const Resources& resources,
                                   const CMenuLayout& layout, CMenuFrame* items)
    : m_state(state), m_resources(resources), m_painter(layout), m_items(items), m_area(layout.Area()),
      m_margin(layout.Margin4x3()), m_hudColor(PackColor(state.hudColour)), m_focused(state.focused)
{
}

uint32_t CConsoleRenderer::TeamColor(uint8_t team)
{
    return kTeamColors[team < 4 ? team : 4];
}

// ---------------------------------------------------------------- the frame

void CConsoleRenderer::Render()
{
    DrawReticle();
    DrawStatusPanel();
    DrawEffectMark();
    DrawTime();
    DrawRadar();
    DrawRulePanel();
    DrawParticipantList();
    DrawKillFeed();
    DrawRadioLines();
    DrawLockOn();
    DrawBanners();
    DrawDefeatNotice();
    DrawMenus();
    DrawFade();
}

void CConsoleRenderer::RenderWorldOverlays()
{
    CGraphics* graphics = CCamera::GetGraphics();
    // The result shot is about its fighter: plates and labels of play,
    // near its eye cut by the frame's edge, are left out of it.
    if (graphics == nullptr || m_resources.camera == nullptr || IsEndPhase(m_state.phase))
        return;
    graphics->SetFogEnable(0);
    graphics->SetLighting(0);
    for (uint32_t i = 0; i < m_state.characterCount; ++i)
    {
        CCharacter* fighter = m_state.characters[i];
        if (fighter != nullptr && fighter != m_focused)
            DrawNamePlate(fighter, i);
    }
    if (m_state.field != nullptr)
    {
        if (m_focused != nullptr)
        {
            for (size_t i = 0; i < m_state.field->weapons.size(); ++i)
                DrawWeaponLabel(*m_state.field->weapons[i], static_cast<uint32_t>(i));
        }
        for (size_t i = 0; i < m_state.field->items.size(); ++i)
            DrawItemLabel(*m_state.field->items[i], static_cast<uint32_t>(i));
    }
    graphics->SetFogEnable(1);
    graphics->SetLighting(1);
}

// ---------------------------------------------------------------- helpers

MenuRect CConsoleRenderer::Sprite(const MenuCell& cell, MenuPoint at, MenuAnchor anchor, uint32_t color,
                                  float scale, float depth) const
{
    m_painter.Picture(m_resources.sheet, cell, at, color, anchor, scale, 0, depth);
    return PlaceRect({at.x, at.y, at.x, at.y}, anchor, {}, cell.Width() * scale, cell.Height() * scale);
}

MenuRect CConsoleRenderer::SpriteStretched(const MenuCell& cell, MenuPoint at, MenuAnchor anchor, float scaleX,
                                           float scaleY, uint32_t color) const
{
    m_painter.PictureStretched(m_resources.sheet, cell, at, scaleX, scaleY, color, anchor);
    return PlaceRect({at.x, at.y, at.x, at.y}, anchor, {}, cell.Width() * scaleX, cell.Height() * scaleY);
}

MenuRect CConsoleRenderer::DrawFigures(const ConsoleSheet::CellRow& row, const std::string& figures, MenuPoint at,
                                       float pitch, float scale, uint32_t color) const
{
    MenuRect all{at.x, at.y, at.x, at.y};
    for (size_t i = 0; i < figures.size(); ++i)
    {
        const char figure = figures[i];
        const uint32_t index = figure >= '0' && figure <= '9' ? static_cast<uint32_t>(figure - '0') : 0;
        const MenuPoint place{at.x + pitch * static_cast<float>(i), at.y};
        const MenuRect drawn = Sprite(row.Inked(index), place, MenuAnchor::TopLeft, color, scale);
        all = {all.left, all.top, drawn.right, std::max(all.bottom, drawn.bottom)};
    }
    return all;
}

void CConsoleRenderer::Report(HudItem item, uint32_t index, const MenuRect& rect, std::string label)
{
    if (m_items != nullptr)
        m_items->Report(HudItemId(item, index), rect, MenuItemState::Normal, std::move(label));
}

uint32_t CConsoleRenderer::HalfBright(uint32_t color)
{
    return (color & 0xFF000000u) | ((color >> 1) & 0x007F7F7Fu);
}

uint32_t CConsoleRenderer::WithAlpha(uint32_t color, uint32_t alpha)
{
    return std::min(alpha, 255u) << 24 | (color & 0x00FFFFFFu);
}

uint32_t CConsoleRenderer::FadedBy(uint32_t color, float share)
{
    return WithAlpha(color, static_cast<uint32_t>(static_cast<float>(color >> 24) * std::clamp(share, 0.0f, 1.0f)));
}

std::string CConsoleRenderer::ThreeDigits(uint32_t value)
{
    char text[8];
    std::snprintf(text, sizeof(text), "%03u", std::min(value, 999u));
    return text;
}

void CConsoleRenderer::NameOf(CCharacter* fighter, char (&out)[kNameBytes])
{
    out[0] = '\0';
    if (fighter == nullptr)
        return;
    const tag_TOLQBATTLECHARADATA* data = fighter->GetBattleData();
    if (data != nullptr && !data->name.empty())
    {
        CopyGameText(out, sizeof(out), data->name.c_str(), data->name.size());
        return;
    }
    if (fighter->GetDefinition() != nullptr)
        CopyGameText(out, sizeof(out), fighter->GetDefinition()->name, sizeof(fighter->GetDefinition()->name));
}

uint32_t CConsoleRenderer::PlayerCount() const
{
    const uint32_t players = m_resources.setting != nullptr ? m_resources.setting->playerCount : 0;
    return std::min(players, m_state.characterCount);
}

CCharacter* CConsoleRenderer::Fighter(uint32_t index) const
{
    return index < m_state.characterCount ? m_state.characters[index] : nullptr;
}

uint8_t CConsoleRenderer::Rule() const
{
    return m_resources.setting != nullptr ? m_resources.setting->rules.rule : 0;
}

bool CConsoleRenderer::TeamBattle() const
{
    return m_resources.setting != nullptr && m_resources.setting->rules.teamBattle != 0;
}

bool CConsoleRenderer::Mission() const
{
    return m_resources.setting != nullptr && m_resources.setting->mission != 0;
}

bool CConsoleRenderer::Project(const float* world, MenuPoint* at, float* depth) const
{
    if (m_resources.camera == nullptr)
        return false;
    float x = 0.0f;
    float y = 0.0f;
    // The camera answers in window pixels (its viewport's corner included).
    m_resources.camera->WorldToScreen(world, &x, &y, depth);
    *at = m_painter.Layout().CursorToLayout({x, y});
    return *depth >= 0.0f && *depth < 1.0f;
}

float CConsoleRenderer::DistanceFromCamera(const float* world) const
{
    if (m_resources.camera == nullptr)
        return 0.0f;
    const CkvrVector3& eye = m_resources.camera->GetEye();
    const CkvrVector3 d(world[0] - eye.x, world[1] - eye.y, world[2] - eye.z);
    return d.Length();
}
