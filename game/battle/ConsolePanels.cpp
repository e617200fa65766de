// The HUD's panels that follow the focused fighter: the aiming reticle, the
// status panel, the effect mark, the time, the rule panels and the lock-on
// marker.
//
// Sections: layout; reticle; status panel; effect mark and time; rule
// panels; lock-on.
#include "game/battle/CConsoleRenderer.h"

#include "engine/core/GameText.h"
#include "engine/render/CCamera.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CStage.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/battle/tag_TOLQCONSOLESTATE.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
// The HUD's panels, in 1024 x 768 layout units; points named "from" an
// edge count from it.

// Reticle and scope. The scope's picture is 384 high and fills the screen's.
constexpr uint32_t kStateRecoil = 21; // no aim is shown while it lasts
constexpr uint8_t kScopeKind = 4;
constexpr float kScopeScale = 768.0f / 384.0f;
constexpr uint32_t kScopeSides = 0xFF000000;

// Status panel, from the bottom-left.
constexpr MenuPoint kCharacterPlateAt{8, 10};
constexpr MenuPoint kStatusFrameAt{8, 8};
constexpr MenuPoint kLifeGaugeAt{143, 37};
constexpr MenuPoint kElementGaugeAt{143, 31};
constexpr MenuPoint kEpPipsAt{143, 24};
constexpr float kEpPipPitch = 22.0f;
// As many pips as fit between the gauges' start and the status icons.
constexpr uint32_t kMaxEpPips = 12;
constexpr MenuPoint kStatusIconsAt{432, 20};
constexpr float kStatusIconPitch = 32.0f;
constexpr uint32_t kStatusIconCount = 3;
constexpr MenuPoint kPlayerNameAt{32, 49};
constexpr float kPlayerNameSize = 20.0f;
constexpr float kPlayerNameScale = 1.2f;
constexpr MenuPoint kTeamMarkAt{12, 49};
constexpr float kTeamMarkScale = 1.4f;
constexpr uint8_t kNoTeam = 4;

// Effect mark, from the top-right; time, from the top-left: the seconds'
// three figures 18 apart, the separator where the third one ends, and the
// milliseconds' figures side by side from where the separator ends.
constexpr MenuPoint kEffectMarkAt{148, 12};
constexpr MenuPoint kTimeLabelAt{8, 8};
constexpr MenuPoint kSecondsAt{14, 20};
constexpr float kSecondsPitch = 18.0f;
constexpr float kMillisecondsY = 28.0f;
constexpr MenuPoint kNoLimitMarkAt{36, 20};

// Rule panels. Players' lines from the top-left; teams' plates from the top
// centre.
constexpr MenuPoint kRuleLineOrigin{4, 120};
constexpr float kRuleLinePitch = 24.0f;
constexpr uint32_t kMaxRuleLines = 8;
constexpr float kPlayerPipsX = 28.0f;
constexpr float kPlayerPipPitch = 16.0f;
constexpr float kTeamPlateX[4] = {-177, -89, 4, 92};
constexpr float kTeamPlateY = 4;
constexpr float kTeamPipsInset = 4.0f; // from the plate's left edge
constexpr float kTeamPipsY = 16;
constexpr float kTeamPipPitch = 8.0f;
constexpr uint32_t kEmptyTeamColor = 0xFF404040;
// A limit runs a row of pips, but a mission's limit may be far beyond what
// a row can show: a player's row keeps to the left third of the 4:3 area,
// clear of the radar and of the team plates' place at any window shape; a
// team's pips keep to its own plate, as far in from its right end as from
// its left.
constexpr float kPlayerRowRight = 1024.0f / 3.0f;
constexpr uint32_t kMaxPlayerPips = static_cast<uint32_t>((kPlayerRowRight - kPlayerPipsX) / kPlayerPipPitch);
constexpr uint32_t kMaxTeamPips =
    static_cast<uint32_t>((ConsoleSheet::kTeamPlates[0].Width() - 2.0f * kTeamPipsInset) / kTeamPipPitch);
// Survivor and defeat counts, from the bottom-left.
constexpr MenuPoint kCountPanelAt{8, 80};
constexpr MenuPoint kCountTextAt{12, 100};
constexpr float kCountTextSize = 34.0f;

// The lock-on marker lies just in front of its target.
constexpr float kLockOnDepthBias = 0.005f;

MenuCell CutAcross(const MenuCell& cell, float fraction)
{
    const float kept = std::clamp(fraction, 0.0f, 1.0f);
    return {cell.left, cell.top, cell.left + cell.Width() * kept, cell.bottom};
}
}

// ---------------------------------------------------------------- reticle

void CConsoleRenderer::DrawReticle()
{
    // Once the battle's end shows, no aim is taken: the reticle would sit
    // over the result's banner.
    if (m_focused == nullptr || m_focused->GetMainWeapon() == nullptr || m_state.phase != ConsolePhase::Running)
        return;
    const tag_TOLQCHARASTATE* state = m_focused->GetStateBlock();
    if (state->aimFlag == 0 || state->actionState == kStateRecoil)
        return;
    if (state->actionState > kStateRecoil && state->runningElementAttack != 0)
        return;
    if (m_focused->GetDefinition() != nullptr && m_focused->GetDefinition()->kind == kScopeKind)
        DrawScope();
    else
        DrawAimPoint();
}

void CConsoleRenderer::DrawScope()
{
    const MenuRect scope = Sprite(ConsoleSheet::kScope, Centre(), MenuAnchor::Centre, m_hudColor, kScopeScale);
    m_painter.Fill({0.0f, 0.0f, scope.left, Bottom()}, kScopeSides);
    m_painter.Fill({scope.right, 0.0f, Right(), Bottom()}, kScopeSides);
    Report(HudItem::Scope, 0, scope);
}

// Where the aimed shot would land: the nearest of the stage's ground, hit
// model and objects along the camera's line of sight from the muzzle the
// fighter aims from, within that weapon's range; the screen's centre
// without a hit.
void CConsoleRenderer::DrawAimPoint()
{
    MenuPoint at = Centre();
    float range = 0.0f;
    CkvrVector3 muzzle;
    CCamera* camera = m_resources.camera;
    if (camera != nullptr && m_state.stage != nullptr && m_focused->GetAimOrigin(&muzzle, &range) && range > 0.0f)
    {
        CkvrVector3 sight = camera->GetTarget() - camera->GetEye();
        const float length = sight.Length();
        if (length > 0.0f)
        {
            const CkvrVector3 end = muzzle + sight * (range / length);
            CkvrVector3 nearest;
            float nearestDistance = INFINITY;
            CkvrVector3 point;
            CStage* stage = m_state.stage;
            for (auto query : {&CStage::IntersectGroundModel, &CStage::IntersectHitModelNearest,
                               &CStage::IntersectStageObjects})
            {
                if ((stage->*query)(muzzle, end, &point, nullptr) == 0)
                    continue;
                const float distance = (point - muzzle).Length();
                if (distance < nearestDistance)
                {
                    nearestDistance = distance;
                    nearest = point;
                }
            }
            float depth = 0.0f;
            MenuPoint projected;
            if (nearestDistance != INFINITY && Project(&nearest.x, &projected, &depth))
                at = projected;
        }
    }
    Report(HudItem::Reticle, 0, Sprite(ConsoleSheet::kReticle, at, MenuAnchor::Centre, m_hudColor));
}

// ---------------------------------------------------------------- status panel

void CConsoleRenderer::DrawStatusPanel()
{
    if (m_focused == nullptr)
        return;
    DrawCharacterPlate();
    Report(HudItem::StatusFrame, 0,
           Sprite(ConsoleSheet::kStatusFrame, FromBottomLeft(kStatusFrameAt), MenuAnchor::BottomLeft, m_hudColor));
    DrawGauges();
    DrawEpPips();
    DrawStatusIcons();
    DrawPlayerName();
    DrawTeamMark();
    DrawWeaponPanel();
    DrawWeaponSelection();
}

void CConsoleRenderer::DrawCharacterPlate()
{
    const uint32_t number = m_focused->GetDefinition() != nullptr ? m_focused->GetDefinition()->number : 0;
    const MenuRect plate = Sprite(ConsoleSheet::CharacterPlate(number), FromBottomLeft(kCharacterPlateAt),
                                  MenuAnchor::BottomLeft, m_hudColor);
    Report(HudItem::CharacterPlate, 0, plate, std::to_string(number));
}

// Life against the maximum and the element gauge in percent, each cut
// across from its right edge.
void CConsoleRenderer::DrawGauges()
{
    const tag_TOLQCHARASTATE* state = m_focused->GetStateBlock();
    const uint16_t maximum = m_focused->GetMaxLife();
    const float life = maximum != 0 ? static_cast<float>(state->life) / static_cast<float>(maximum) : 0.0f;
    const MenuCell lifeCell = CutAcross(ConsoleSheet::kLifeGauge, life);
    Report(HudItem::LifeGauge, 0,
           Sprite(lifeCell, FromBottomLeft(kLifeGaugeAt), MenuAnchor::BottomLeft, m_hudColor));
    const MenuCell gaugeCell = CutAcross(ConsoleSheet::kElementGauge, state->gauge / 100.0f);
    Report(HudItem::ElementGauge, 0,
           Sprite(gaugeCell, FromBottomLeft(kElementGaugeAt), MenuAnchor::BottomLeft, m_hudColor));
}

void CConsoleRenderer::DrawEpPips()
{
    const float ep = m_focused->GetStateBlock()->ep;
    const uint32_t pips = ep >= 1.0f ? std::min(static_cast<uint32_t>(std::min(ep, 1.0e6f)), kMaxEpPips) : 0;
    const MenuPoint first = FromBottomLeft(kEpPipsAt);
    MenuRect all{first.x, first.y, first.x, first.y};
    for (uint32_t i = 0; i < pips; ++i)
    {
        const MenuRect pip = Sprite(ConsoleSheet::kEpPip, {first.x + kEpPipPitch * static_cast<float>(i), first.y},
                                    MenuAnchor::BottomLeft, m_hudColor);
        all = {all.left, pip.top, pip.right, all.bottom};
    }
    Report(HudItem::EpPips, 0, all, std::to_string(pips));
}

void CConsoleRenderer::DrawStatusIcons()
{
    const uint32_t bits = m_focused->GetStateBlock()->statusBits;
    const MenuPoint first = FromBottomLeft(kStatusIconsAt);
    for (uint32_t bit = 0; bit < kStatusIconCount; ++bit)
    {
        if ((bits & (1u << bit)) == 0)
            continue;
        const MenuPoint at{first.x + kStatusIconPitch * static_cast<float>(bit), first.y};
        Report(HudItem::StatusIcon, bit,
               Sprite(ConsoleSheet::kStatusIcons[bit], at, MenuAnchor::BottomLeft, m_hudColor));
    }
}

void CConsoleRenderer::DrawPlayerName()
{
    char name[kNameBytes];
    NameOf(m_focused, name);
    const MenuPoint at = FromBottomLeft(kPlayerNameAt);
    m_painter.TextAt(m_resources.large, at, MenuAnchor::BottomLeft, kPlayerNameSize, kPlayerNameScale, m_hudColor,
                     name);
    Report(HudItem::PlayerName, 0,
           m_painter.MeasureText(m_resources.large, at, MenuAnchor::BottomLeft, kPlayerNameSize, kPlayerNameScale,
                                 name),
           name);
}

void CConsoleRenderer::DrawTeamMark()
{
    const uint8_t team = m_focused->GetTeam();
    if (team >= kNoTeam)
        return;
    const uint8_t mark = TeamBattle() ? team : 0;
    Report(HudItem::TeamMark, mark,
           Sprite(ConsoleSheet::kTeamMarks[mark], FromBottomLeft(kTeamMarkAt), MenuAnchor::BottomLeft, m_hudColor,
                  kTeamMarkScale));
}

// ---------------------------------------------------------------- effect mark and time

void CConsoleRenderer::DrawEffectMark()
{
    if (m_focused == nullptr || !(m_focused->GetActionData()->effectTime > 0.0f))
        return;
    Report(HudItem::EffectMark, 0,
           Sprite(ConsoleSheet::kEffectMark, FromTopRight(kEffectMarkAt), MenuAnchor::TopRight, m_hudColor));
}

void CConsoleRenderer::DrawTime()
{
    Report(HudItem::TimeLabel, 0, Sprite(ConsoleSheet::kTimeLabel, kTimeLabelAt, MenuAnchor::TopLeft, m_hudColor));
    const uint32_t left = m_state.timeLeft;
    if (left >= tag_TOLQBATTLERULE::kNoTimeLimit)
    {
        Report(HudItem::NoLimitMark, 0,
               Sprite(ConsoleSheet::kNoLimitMark, kNoLimitMarkAt, MenuAnchor::TopLeft, m_hudColor));
        return;
    }
    const std::string seconds = ThreeDigits(left / 1000);
    const std::string milliseconds = ThreeDigits(left % 1000);
    const MenuRect secondsRect =
        DrawFigures(ConsoleSheet::kBigDigits, seconds, kSecondsAt, kSecondsPitch, 1.0f, m_hudColor);
    Report(HudItem::TimeSeconds, 0, secondsRect, seconds);
    const MenuRect separator = Sprite(ConsoleSheet::kTimeSeparator.Inked(0), {secondsRect.right, kMillisecondsY},
                                      MenuAnchor::TopLeft, m_hudColor);
    Report(HudItem::TimeMilliseconds, 0,
           DrawFigures(ConsoleSheet::kSmallDigits, milliseconds, {separator.right, kMillisecondsY},
                       ConsoleSheet::kSmallDigits.InkWidth(), 1.0f, m_hudColor),
           milliseconds);
}

// ---------------------------------------------------------------- rule panels

void CConsoleRenderer::DrawRulePanel()
{
    switch (Rule())
    {
    case tag_TOLQBATTLERULE::RULE_SMASH_RACE: DrawPlayerPips(false); break;
    case tag_TOLQBATTLERULE::RULE_MEDALS: DrawPlayerPips(true); break;
    case tag_TOLQBATTLERULE::RULE_TEAM_FALLS: DrawTeamPips(true); break;
    case tag_TOLQBATTLERULE::RULE_TEAM_JEWELS: DrawTeamPips(false); break;
    case tag_TOLQBATTLERULE::RULE_SURVIVAL:
        if (Mission() && m_focused != nullptr)
        {
            const int32_t defeats = static_cast<int32_t>(
                std::min<uint32_t>(m_focused->GetBattleScore()->value[tag_TOLQBATTLESCORE::DEFEATS], 9999));
            DrawCount("残り %d", std::max(static_cast<int32_t>(PlayerCount()) - 1 - defeats, 0));
        }
        break;
    case tag_TOLQBATTLERULE::RULE_LAST_STAND:
        if (m_focused != nullptr)
            DrawCount("撃破数 %d", static_cast<int32_t>(std::min<uint32_t>(
                                         m_focused->GetBattleScore()->value[tag_TOLQBATTLESCORE::DEFEATS], 9999)));
        break;
    default: break;
    }
}

// A line per player (at most eight): its character's icon, then limit + 1
// pips, filled up to its counter.
void CConsoleRenderer::DrawPlayerPips(bool medals)
{
    const uint32_t lines = std::min(PlayerCount(), kMaxRuleLines);
    const uint32_t pips = PlayerPips();
    const MenuCell& filled = medals ? ConsoleSheet::kMedalPip : ConsoleSheet::kPointPip;
    const MenuCell& empty = medals ? ConsoleSheet::kMedalPipEmpty : ConsoleSheet::kPointPipEmpty;
    for (uint32_t i = 0; i < lines; ++i)
    {
        CCharacter* fighter = Fighter(i);
        if (fighter == nullptr)
            continue;
        const float y = kRuleLineOrigin.y + kRuleLinePitch * static_cast<float>(i);
        const uint32_t number = fighter->GetDefinition() != nullptr ? fighter->GetDefinition()->number : 0;
        Report(HudItem::RuleIcon, i,
               Sprite(ConsoleSheet::kCharacterIcons[std::min(number, 7u)], {kRuleLineOrigin.x, y},
                      MenuAnchor::TopLeft, m_hudColor));
        const int8_t counter = fighter->GetStateBlock()->ruleCounter;
        const uint32_t full = counter > 0 ? std::min(static_cast<uint32_t>(counter), pips) : 0;
        for (uint32_t j = 0; j < pips; ++j)
            Sprite(j < full ? filled : empty, {kPlayerPipsX + kPlayerPipPitch * static_cast<float>(j), y},
                   MenuAnchor::TopLeft, m_hudColor);
        const MenuRect row = MenuRect::At(kPlayerPipsX, y, kPlayerPipPitch * static_cast<float>(pips), filled.Height());
        Report(HudItem::RulePips, i, row, std::to_string(full) + "/" + std::to_string(pips));
    }
}

// A plate per team and limit + 1 pips: counting down, the falls the team
// still has (limit + 1 - its total, never below none); counting up, its
// jewels. A team without members is grey.
void CConsoleRenderer::DrawTeamPips(bool countingDown)
{
    const uint32_t pips = std::min<uint32_t>(m_resources.setting->rules.limit + 1u, kMaxTeamPips);
    for (uint8_t team = 0; team < 4; ++team)
    {
        int32_t total = 0;
        for (uint32_t i = 0; i < m_state.characterCount; ++i)
        {
            CCharacter* fighter = m_state.characters[i];
            if (fighter != nullptr && fighter->GetTeam() == team)
                total += fighter->GetStateBlock()->ruleCounter;
        }
        const bool empty = CBattleConsole::CountTeamMembers(m_state.characters, m_state.characterCount, team) == 0;
        const uint32_t color = empty ? kEmptyTeamColor : m_hudColor;
        Report(HudItem::TeamPlate, team,
               Sprite(ConsoleSheet::kTeamPlates[team], FromTopCentre({kTeamPlateX[team], kTeamPlateY}),
                      MenuAnchor::TopLeft, color),
               empty ? "empty" : "");
        const int32_t wanted = countingDown ? static_cast<int32_t>(pips) - total : total;
        const uint32_t full = static_cast<uint32_t>(std::clamp<int32_t>(wanted, 0, static_cast<int32_t>(pips)));
        const MenuCell filled = countingDown ? ConsoleSheet::kFallPips[team] : ConsoleSheet::kJewelPips[team];
        const MenuCell& unfilled = countingDown ? ConsoleSheet::kFallPipEmpty : ConsoleSheet::kJewelPipEmpty;
        const MenuPoint first = FromTopCentre({kTeamPlateX[team] + kTeamPipsInset, kTeamPipsY});
        for (uint32_t j = 0; j < pips; ++j)
            Sprite(j < full ? filled : unfilled, {first.x + kTeamPipPitch * static_cast<float>(j), first.y},
                   MenuAnchor::TopLeft, color);
        const MenuRect row = MenuRect::At(first.x, first.y, kTeamPipPitch * static_cast<float>(pips), filled.Height());
        Report(HudItem::RulePips, team, row, std::to_string(full) + "/" + std::to_string(pips));
    }
}

uint32_t CConsoleRenderer::PlayerPips() const
{
    return std::min<uint32_t>(m_resources.setting->rules.limit + 1u, kMaxPlayerPips);
}

MenuPoint CConsoleRenderer::ClearOfScorePanel(const MenuRect& area, float clearance) const
{
    MenuRect panel;
    bool downwards = false;
    switch (Rule())
    {
    case tag_TOLQBATTLERULE::RULE_SMASH_RACE:
    case tag_TOLQBATTLERULE::RULE_MEDALS:
    {
        const float lines = static_cast<float>(std::min(PlayerCount(), kMaxRuleLines));
        panel = {kRuleLineOrigin.x, kRuleLineOrigin.y, kPlayerPipsX + kPlayerPipPitch * static_cast<float>(PlayerPips()),
                 kRuleLineOrigin.y + kRuleLinePitch * lines};
        break;
    }
    case tag_TOLQBATTLERULE::RULE_TEAM_FALLS:
    case tag_TOLQBATTLERULE::RULE_TEAM_JEWELS:
        panel = {FromTopCentre({kTeamPlateX[0], 0.0f}).x, kTeamPlateY,
                 FromTopCentre({kTeamPlateX[3], 0.0f}).x + ConsoleSheet::kTeamPlates[3].Width(),
                 kTeamPlateY + ConsoleSheet::kTeamPlates[0].Height()};
        downwards = true;
        break;
    case tag_TOLQBATTLERULE::RULE_SURVIVAL:
    case tag_TOLQBATTLERULE::RULE_LAST_STAND:
    {
        // The survivors are counted in missions only.
        if (Rule() == tag_TOLQBATTLERULE::RULE_SURVIVAL && !Mission())
            return {};
        const MenuPoint corner = FromBottomLeft(kCountPanelAt);
        panel = {corner.x, corner.y - ConsoleSheet::kCountPanel.Height(), corner.x + ConsoleSheet::kCountPanel.Width(),
                 corner.y};
        break;
    }
    default: return {};
    }
    if (area.right <= panel.left || area.left >= panel.right || area.bottom <= panel.top || area.top >= panel.bottom)
        return {};
    if (downwards)
        return {0.0f, panel.bottom + clearance - area.top};
    return {panel.right + clearance - area.left, 0.0f};
}

void CConsoleRenderer::DrawCount(const char* format, int32_t value)
{
    Report(HudItem::CountPanel, 0,
           Sprite(ConsoleSheet::kCountPanel, FromBottomLeft(kCountPanelAt), MenuAnchor::BottomLeft, m_hudColor));
    char text[64];
    std::snprintf(text, sizeof(text), GameText(format), value);
    const MenuPoint at = FromBottomLeft(kCountTextAt);
    m_painter.TextAt(m_resources.large, at, MenuAnchor::BottomLeft, kCountTextSize, 1.0f, m_hudColor, text);
    Report(HudItem::CountText, 0,
           m_painter.MeasureText(m_resources.large, at, MenuAnchor::BottomLeft, kCountTextSize, 1.0f, text),
           std::to_string(value));
}

// ---------------------------------------------------------------- lock-on

void CConsoleRenderer::DrawLockOn()
{
    // As the reticle: no aim is taken once the battle's end shows.
    if (m_focused == nullptr || m_state.phase != ConsolePhase::Running)
        return;
    const uint32_t target = m_focused->GetStateBlock()->lockOn;
    CCharacter* locked = target != 0 ? Fighter(target - 1) : nullptr;
    if (locked == nullptr)
        return;
    // The middle of the target's body.
    const float height = locked->GetDefinition() != nullptr ? locked->GetDefinition()->height : 0.0f;
    const CkvrVector3 body = *locked->GetPosition() + CkvrVector3(0.0f, height * 0.5f, 0.0f);
    MenuPoint at;
    float depth = 0.0f;
    if (!Project(&body.x, &at, &depth))
        return;
    Report(HudItem::LockOn, target - 1,
           Sprite(ConsoleSheet::kLockOn, at, MenuAnchor::Centre, m_hudColor, 1.0f, depth - kLockOnDepthBias));
}
