// The setup's rules page: eleven rows over the setting's rules block (stage,
// music, rule, limit, time limit, CPU level, item and weapon switches, NPC
// count, next and reset). Left and right move the stage, music and rule at
// once and only the column elsewhere; decide or a click stores a value.
//
// Sections: layout; update by phase; the active phase; drawing.
#include "game/battle/CBattleConfig.h"

#include "engine/core/GameText.h"
#include "game/app/CGameConfig.h"
#include "game/battle/SetupSheet.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuButton.h"
#include "net/lobby/CLobbyClient.h"

#include <algorithm>
#include <string>

namespace
{
// Rules page, in 1024 x 768 layout units: each row's label, the arrows of
// the stage, music and rule rows, the value cells' places by row.
constexpr MenuPoint kLabelAt[CBattleConfig::kRuleRows] = {
    {60, 128}, {60, 196}, {60, 244}, {60, 292}, {60, 340}, {60, 388},
    {60, 436}, {60, 484}, {60, 568}, {60, 612}, {800, 612}};
constexpr float kMarkerGap = 44.0f;
constexpr MenuPoint kLeftArrowAt[3] = {{240, 136}, {240, 202}, {240, 250}};
constexpr MenuPoint kRightArrowAt[3] = {{720, 136}, {580, 202}, {580, 250}};
constexpr MenuPoint kStagePictureAt{300.0f, 104.0f};
constexpr MenuPoint kRuleCellAt{312.0f, 244.0f};
// The music title's box, centred on x = 438.
constexpr MenuRect kMusicBox{.left = 312, .top = 196, .right = 564, .bottom = 236};
constexpr float kMusicTextSize = 32.0f;
constexpr uint32_t kUnsetGrey = 0xB4B4B4u;

struct ValueRow
{
    int32_t count;
    const float* xs; // the cells' left edges
    float y;
    const float* secondXs = nullptr; // the weapon switches' second line
    int32_t firstLineCount = 0;
    float secondY = 0.0f;
};
constexpr float kLimitXs[10] = {308, 352, 400, 448, 500, 544, 588, 632, 680, 728};
constexpr float kTimeXs[5] = {308, 396, 496, 592, 688};
constexpr float kItemXs[6] = {308, 428, 544, 652, 760, 872};
constexpr float kWeaponXs[10] = {308, 376, 440, 504, 568, 608, 672, 736, 828, 864};
constexpr float kWeaponSecondXs[7] = {308, 376, 472, 516, 584, 676, 744};
constexpr float kNpcXs[4] = {308, 392, 504, 616};
// Rows 3 to 8: limit, time, CPU level, items, weapons, NPCs.
constexpr ValueRow kValueRows[6] = {
    {10, kLimitXs, 296.0f},
    {5, kTimeXs, 344.0f},
    {5, kLimitXs, 392.0f},
    {6, kItemXs, 440.0f},
    {17, kWeaponXs, 488.0f, kWeaponSecondXs, 10, 528.0f},
    {4, kNpcXs, 572.0f},
};

bool IsValueRow(int32_t row)
{
    return row >= CBattleConfig::ROW_LIMIT && row <= CBattleConfig::ROW_NPCS;
}

const ValueRow& ValueRowOf(int32_t row)
{
    return kValueRows[row - CBattleConfig::ROW_LIMIT];
}

MenuPoint ValueAt(int32_t row, int32_t column)
{
    const ValueRow& values = ValueRowOf(row);
    if (values.secondXs != nullptr && column >= values.firstLineCount)
        return {values.secondXs[column - values.firstLineCount], values.secondY};
    return {values.xs[column], values.y};
}

const MenuCell& ValueCell(int32_t row, int32_t column)
{
    switch (row)
    {
    case CBattleConfig::ROW_TIME:
        return SetupSheet::kTimeArt[column];
    case CBattleConfig::ROW_ITEMS:
        return SetupSheet::kItemArt[column];
    case CBattleConfig::ROW_WEAPONS:
        return SetupSheet::kWeaponClassArt[column];
    case CBattleConfig::ROW_NPCS:
        return SetupSheet::kNpcArt[column];
    default: // the limit, and the CPU levels with the first five of its pictures
        return SetupSheet::kLimitArt[column];
    }
}

// The titles of the built-in music, by music choice.
constexpr const char* kTrackTitles[11] = {
    "プラムのテーマ",   "リエールのテーマ", "ノーチェのテーマ",     "リモーネのテーマ",
    "シネリアのテーマ", "アプリコのテーマ", "アルプトラウムのテーマ", "オープニング",
    "オープニング (インスト)", "エンディング", "エンディング (インスト)"};
constexpr const char* kRandomMusic = "ランダム";

int32_t Wrap(int32_t value, int32_t count)
{
    return count > 0 ? ((value % count) + count) % count : 0;
}
}

// ---------------------------------------------------------------------------
// Update by phase

void CBattleConfig::UpdateRulesPage(const SetupInput& input, uint32_t milliseconds)
{
    m_elapsedMs += milliseconds;
    switch (static_cast<RulesPhase>(m_phase))
    {
    case RulesPhase::FadeIn:
        StepFadeIn(milliseconds, Value(RulesPhase::Active));
        return;
    case RulesPhase::Active:
        if (m_chatOpen)
        {
            UpdateChatLine(input);
            return;
        }
        if (m_randomMatch)
            ApplyRoomRules(input);
        if (!InPhase(RulesPhase::Active) || ChatKeyOpensLine(input))
            return;
        UpdateRulesActive(input);
        return;
    case RulesPhase::FadeOut:
        m_fade.SetTarget(0.0f);
        if (!m_fade.Step(milliseconds))
            return;
        DrawRandomStage();
        SendRules(m_setting->rules);
        SetPhase(m_nextPhase);
        m_row = m_column = m_listIndex = 0;
        return;
    case RulesPhase::Forward:
        RulesForward();
        return;
    case RulesPhase::Back:
        EnterPage(m_randomMatch ? PAGE_LEAVE : PAGE_MEMBERS);
        return;
    case RulesPhase::BackMenu:
        RunBackMenu(input, kRulesBack, Value(RulesPhase::Active), false);
        return;
    }
}

void CBattleConfig::KeepRulesCursorInPage()
{
    if (m_row < 0 || m_row >= kRuleRows)
        m_row = 0;
    const int32_t columns = IsValueRow(m_row) ? ValueRowOf(m_row).count : 1;
    if (m_column < 0 || m_column >= columns)
        m_column = 0;
}

void CBattleConfig::DrawRandomStage()
{
    tag_TOLQBATTLERULE& rules = m_setting->rules;
    if (!m_randomMatch && rules.stageChoice >= static_cast<int8_t>(rules.stageCount))
        rules.randomStage = static_cast<int8_t>(DrawRandom(rules.stageCount));
}

void CBattleConfig::RulesForward()
{
    EnterPage(m_randomMatch ? PAGE_START : PAGE_WEAPONS);
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
    {
        m_setting->players[i].cpuLevel = m_setting->rules.cpuLevel;
        m_setting->players[i].roomWords[1] = 0;
    }
}

// ---------------------------------------------------------------------------
// The active phase

bool CBattleConfig::CanEditRow(int32_t row) const
{
    return !m_online || (m_host && !m_randomMatch) || row == ROW_MUSIC;
}

void CBattleConfig::StepRowValue(int32_t row, int32_t direction)
{
    tag_TOLQBATTLERULE& rules = m_setting->rules;
    if (row == ROW_STAGE)
    {
        rules.stageChoice = static_cast<int8_t>(Wrap(rules.stageChoice + direction, rules.stageCount + 1));
    }
    else if (row == ROW_MUSIC)
    {
        const int32_t total = m_config != nullptr ? static_cast<int32_t>(m_config->GetPlayData()->musicCount) : 0;
        rules.musicChoice = static_cast<int8_t>(Wrap(rules.musicChoice + direction, std::min(total, 126) + 1));
    }
    else if (row == ROW_RULE)
    {
        // Toggles inside the mode's pair: a team battle never shows a solo rule.
        const uint8_t first = rules.teamBattle != 0 ? tag_TOLQBATTLERULE::RULE_TEAM_FALLS
                                                    : tag_TOLQBATTLERULE::RULE_SMASH_RACE;
        rules.rule = rules.rule == first ? static_cast<uint8_t>(first + 1) : first;
    }
    SendRules(rules);
}

void CBattleConfig::ApplyRowValue(int32_t row, int32_t column)
{
    tag_TOLQBATTLERULE& rules = m_setting->rules;
    switch (row)
    {
    case ROW_LIMIT:
        rules.limit = static_cast<uint8_t>(column);
        break;
    case ROW_TIME:
        rules.timeLimitIndex = static_cast<uint8_t>(column);
        break;
    case ROW_CPU_LEVEL:
        rules.cpuLevel = static_cast<uint8_t>(column);
        break;
    case ROW_ITEMS:
        rules.itemMask ^= 1u << column;
        break;
    case ROW_WEAPONS:
        rules.weaponMask ^= 1u << column;
        break;
    case ROW_NPCS:
        rules.npcCountIndex = static_cast<int8_t>(column);
        break;
    default:
        return;
    }
    SendRules(rules);
    Play(MenuSound::Decide);
}

void CBattleConfig::MoveRulesRow(int32_t step)
{
    const tag_TOLQBATTLERULE& rules = m_setting->rules;
    const int32_t next = m_row + step;
    m_row = next < 0 ? ROW_NEXT : (next > ROW_NEXT ? 0 : next);
    MoveMouseTo(GetSpriteCenter(kLabelAt[m_row], SetupSheet::kRuleLabels[m_row]));
    const int32_t values[3] = {rules.limit, rules.timeLimitIndex, rules.cpuLevel};
    m_column = m_row >= ROW_LIMIT && m_row <= ROW_CPU_LEVEL ? values[m_row - ROW_LIMIT] : 0;
    Play(MenuSound::Cursor);
}

void CBattleConfig::UpdateRulesActive(const SetupInput& input)
{
    const MenuKeys& keys = input.keys;
    const int32_t step = keys.Pressed(MenuKey::Up) ? -1 : (keys.Pressed(MenuKey::Down) ? 1 : 0);
    if (step != 0)
        MoveRulesRow(step);
    if ((m_online && !m_host) || m_randomMatch)
        m_row = ROW_MUSIC;
    const int32_t turn = keys.Pressed(MenuKey::Left) ? -1 : (keys.Pressed(MenuKey::Right) ? 1 : 0);
    if (turn != 0)
    {
        Play(MenuSound::Cursor);
        if (m_row <= ROW_RULE)
        {
            StepRowValue(m_row, turn);
        }
        else if (IsValueRow(m_row))
        {
            m_column = Wrap(m_column + turn, ValueRowOf(m_row).count);
            MoveMouseTo(GetSpriteCenter(ValueAt(m_row, m_column), ValueCell(m_row, m_column)));
        }
        else
        {
            m_row = m_row == ROW_NEXT ? ROW_RESET : ROW_NEXT;
            MoveMouseTo(GetSpriteCenter(kLabelAt[m_row], SetupSheet::kRuleLabels[m_row]));
        }
    }
    if (step == 0 && turn == 0)
        RulesMouse(input);
    if (!InPhase(RulesPhase::Active))
        return;
    if (DecidePressed(input))
    {
        if (IsValueRow(m_row) && CanEditRow(m_row))
            ApplyRowValue(m_row, m_column);
        else if (m_row == ROW_NEXT && CanEditRow(ROW_NEXT))
        {
            Play(MenuSound::Decide);
            ChangePage(kRulesForward);
            return;
        }
        else if (m_row == ROW_RESET && CanEditRow(ROW_RESET))
        {
            Play(MenuSound::Decide);
            ResetRules();
        }
    }
    if (!CancelPressed(input) || (m_online && !m_host && !m_randomMatch))
        return;
    if (m_online)
    {
        OpenBackMenu(Value(RulesPhase::BackMenu));
        return;
    }
    Play(MenuSound::Cancel);
    ChangePage(kRulesBack);
}

void CBattleConfig::RulesMouse(const SetupInput& input)
{
    // Every control reports itself; the first one under the mouse, in row
    // order, among the rows this user may edit, is the one that acts.
    enum class Control { None, Label, LeftArrow, RightArrow, Value };
    Control hit = Control::None;
    int32_t hitRow = -1, hitColumn = 0;
    bool clicked = false;
    auto take = [&](const MenuButtonResult& result, Control control, int32_t row, int32_t column) {
        if (!result.hovered || hit != Control::None || !CanEditRow(row))
            return;
        hit = control;
        hitRow = row;
        hitColumn = column;
        clicked = result.clicked;
    };
    for (int32_t row = 0; row < kRuleRows; ++row)
    {
        take(MenuButton(m_frame, kRuleLabelId + row, SpriteRect(kLabelAt[row], SetupSheet::kRuleLabels[row]),
                        m_row == row, SetupSheet::kRuleLabelNames[row]),
             Control::Label, row, 0);
        if (row <= ROW_RULE)
        {
            take(MenuButton(m_frame, kRuleArrowLeftId + row, SpriteRect(kLeftArrowAt[row], SetupSheet::kArrow), false),
                 Control::LeftArrow, row, 0);
            take(MenuButton(m_frame, kRuleArrowRightId + row, SpriteRect(kRightArrowAt[row], SetupSheet::kArrow),
                            false),
                 Control::RightArrow, row, 0);
        }
        for (int32_t column = 0; IsValueRow(row) && column < ValueRowOf(row).count; ++column)
            take(MenuButton(m_frame, kRuleValueId + row * 100 + column,
                            SpriteRect(ValueAt(row, column), ValueCell(row, column)),
                            m_row == row && m_column == column),
                 Control::Value, row, column);
    }
    const tag_TOLQBATTLERULE& rules = m_setting->rules;
    switch (hit)
    {
    case Control::None:
        return;
    case Control::Label:
    {
        if (m_row != hitRow)
            Play(MenuSound::Cursor);
        m_row = hitRow;
        const int32_t values[3] = {rules.limit, rules.timeLimitIndex, rules.cpuLevel};
        m_column = hitRow >= ROW_LIMIT && hitRow <= ROW_CPU_LEVEL ? values[hitRow - ROW_LIMIT] : 0;
        if (clicked && hitRow == ROW_NEXT)
        {
            Play(MenuSound::Decide);
            ChangePage(kRulesForward);
        }
        else if (clicked && hitRow == ROW_RESET)
        {
            Play(MenuSound::Decide);
            ResetRules();
        }
        return;
    }
    case Control::LeftArrow:
    case Control::RightArrow:
        if (!DecidePressed(input) && !clicked)
            return;
        StepRowValue(hitRow, hit == Control::RightArrow ? 1 : -1);
        m_row = hitRow;
        m_column = 0;
        Play(MenuSound::Decide);
        return;
    case Control::Value:
        // The limit's cells take the cursor silently.
        if ((m_row != hitRow || m_column != hitColumn) && hitRow != ROW_LIMIT)
            Play(MenuSound::Cursor);
        m_row = hitRow;
        m_column = hitColumn;
        if (clicked)
            ApplyRowValue(hitRow, hitColumn);
        return;
    }
}

// ---------------------------------------------------------------------------
// Drawing

const char* CBattleConfig::MusicTitle() const
{
    const int32_t choice = m_setting->rules.musicChoice;
    const tag_TOLQPLAYDATA* play = m_config != nullptr ? m_config->GetPlayData() : nullptr;
    const int32_t builtIn = play != nullptr ? std::min<int32_t>(play->builtInMusicCount, std::size(kTrackTitles)) : 0;
    const int32_t total = play != nullptr ? static_cast<int32_t>(play->musicCount) : 0;
    if (choice >= 0 && choice < builtIn)
        return GameText(kTrackTitles[choice]);
    const int32_t user = choice - builtIn;
    if (choice >= 0 && choice < total && user >= 0 && static_cast<size_t>(user) < play->userMusic.size())
        return play->userMusic[static_cast<size_t>(user)].c_str();
    return GameText(kRandomMusic);
}

void CBattleConfig::RenderRulesPage(const CMenuPainter& painter)
{
    const uint32_t color = PageColor();
    const uint32_t grey = (color & 0xFF000000u) | kUnsetGrey;
    const tag_TOLQBATTLERULE& rules = m_setting->rules;
    const bool guest = m_online && !m_host;
    DrawHeading(painter, PAGE_RULES, color);
    for (int32_t row = 0; row < kRuleRows; ++row)
    {
        const bool shown = (!m_randomMatch || row == ROW_MUSIC) && !(guest && row >= ROW_NEXT);
        if (!shown)
            continue;
        painter.Picture(m_texture, SetupSheet::kRuleLabels[row], kLabelAt[row], color);
        if (row == m_row)
            painter.Picture(m_texture, SetupSheet::kRowMarker, {kLabelAt[row].x - kMarkerGap, kLabelAt[row].y}, color);
    }
    painter.Text(m_font, kMusicBox, MenuAnchor::Centre, kMusicTextSize, color, MusicTitle());
    DrawArrowButton(painter, kLeftArrowAt[ROW_MUSIC], false, color);
    DrawArrowButton(painter, kRightArrowAt[ROW_MUSIC], true, color);
    if (m_randomMatch)
    {
        // Sought, then made: the players wait for the host to start.
        if (MatchWaiting())
            DrawMatchingStatus(color);
        else
            DrawWaitingLine(painter, color);
        return;
    }
    const bool random = rules.stageChoice >= static_cast<int8_t>(rules.stageCount) || rules.stageChoice < 0;
    const int picture = random ? SetupSheet::kRandomStagePicture
                               : std::min<int>(rules.stageChoice, SetupSheet::kRandomStagePicture - 1);
    painter.Picture(m_texture, SetupSheet::kStageArt[picture], kStagePictureAt, color);
    if (!guest)
    {
        for (int32_t row : {ROW_STAGE, ROW_RULE})
        {
            DrawArrowButton(painter, kLeftArrowAt[row], false, color);
            DrawArrowButton(painter, kRightArrowAt[row], true, color);
        }
    }
    painter.Picture(m_texture, SetupSheet::kRuleKindsArt[rules.rule % SetupSheet::kRuleKinds], kRuleCellAt, color);
    const int32_t stored[6] = {rules.limit, rules.timeLimitIndex, rules.cpuLevel, -1, -1, rules.npcCountIndex};
    for (int32_t row = ROW_LIMIT; row <= ROW_NPCS; ++row)
    {
        for (int32_t column = 0; column < ValueRowOf(row).count; ++column)
        {
            bool set = stored[row - ROW_LIMIT] == column;
            if (row == ROW_ITEMS)
                set = (rules.itemMask >> column & 1u) != 0;
            else if (row == ROW_WEAPONS)
                set = (rules.weaponMask >> column & 1u) != 0;
            painter.Picture(m_texture, ValueCell(row, column), ValueAt(row, column), set ? color : grey);
        }
    }
    if (IsValueRow(m_row))
        DrawFocusFrame(painter, SpriteRect(ValueAt(m_row, m_column), ValueCell(m_row, m_column)));
    DrawChat(painter, color);
}
