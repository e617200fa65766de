// The setup's weapons page: each player fills the ten weapon places of
// their own entry with weapons their character may carry and that they
// own, within a total weight of 10, sees them on the preview, and declares
// ready; the host (or the offline player) starts once every player's seat
// is ready.
//
// Sections: the loadout and the list; update by phase; the preview;
// layout and drawing.
#include "game/battle/CBattleConfig.h"

#include "engine/core/GameText.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CShader.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/GameServices.h"
#include "game/battle/SetupSheet.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuButton.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{
constexpr int32_t kTypesPerCategory[3] = {6, 6, 5};
constexpr uint8_t kFirstTypeOf[3] = {0, 6, 12};
constexpr int32_t kRemoveItem = -1;
// The preview turns 180 degrees a second and moves 1 unit a second between
// -0.8 and 0.8 while the camera keys are held.
constexpr float kTurnSpeed = 180.0f;
constexpr float kSlideSpeed = 1.0f;
constexpr float kSlideLimit = 0.8f;
// The preview faces the camera: its light comes from above and behind the
// viewer, white, with a grey ambient so that the shaded side still reads.
constexpr float kPreviewLight[3] = {-0.3f, -0.7f, 0.8f};
constexpr float kPreviewDiffuse[4] = {0.9f, 0.9f, 0.85f, 1.0f};
constexpr float kPreviewAmbient[4] = {0.5f, 0.5f, 0.55f, 1.0f};

int32_t CategoryOfType(uint8_t type)
{
    return type < 6 ? 0 : (type < 12 ? 1 : 2);
}

bool IsEmptyName(const char* name)
{
    return name == nullptr || name[0] == '\0';
}

uint16_t MagazineSize(const CWeaponDefinition& weapon)
{
    return weapon.format == CWeaponDefinition::FORMAT_SHORT ? 0 : weapon.capacity;
}
}

// ---------------------------------------------------------------------------
// The loadout and the list

int32_t CBattleConfig::GetLoadoutCharacter() const
{
    const tag_TOLQBATTLEPLAYER* own = GetOwnEntry();
    return own != nullptr ? own->GetCharacterIndex() : 0;
}

int32_t CBattleConfig::GetLoadoutRowCount() const
{
    int32_t rows = 0;
    while (GetLoadoutIndex(rows + 1) >= 0)
        ++rows;
    return rows;
}

int32_t CBattleConfig::GetLoadoutIndex(int32_t row) const
{
    const tag_TOLQBATTLEPLAYER* own = GetOwnEntry();
    if (own == nullptr || row < 1)
        return -1;
    int32_t n = 0;
    for (int32_t category = 0; category < 3; ++category)
    {
        for (int32_t slot = 0; slot < static_cast<int32_t>(tag_TOLQBATTLEPLAYER::kWeapons); ++slot)
        {
            const CWeaponDefinition* weapon = FindWeapon(own->weapons[slot]);
            if (weapon != nullptr && CategoryOfType(weapon->type) == category && ++n == row)
                return slot;
        }
    }
    return -1;
}

const char* CBattleConfig::GetLoadoutName(int32_t row) const
{
    const int32_t slot = GetLoadoutIndex(row);
    return slot >= 0 ? GetOwnEntry()->weapons[slot] : nullptr;
}

uint32_t CBattleConfig::GetLoadoutRowWeight(int32_t row) const
{
    const CWeaponDefinition* weapon = FindWeapon(GetLoadoutName(row));
    return weapon != nullptr ? weapon->weight : 0;
}

uint32_t CBattleConfig::GetLoadoutWeight() const
{
    const tag_TOLQBATTLEPLAYER* own = GetOwnEntry();
    uint32_t weight = 0;
    for (uint32_t slot = 0; own != nullptr && slot < tag_TOLQBATTLEPLAYER::kWeapons; ++slot)
    {
        if (const CWeaponDefinition* weapon = FindWeapon(own->weapons[slot]))
            weight += weapon->weight;
    }
    return weight;
}

bool CBattleConfig::HasShortWeapon() const
{
    for (int32_t row = 1; const char* name = GetLoadoutName(row); ++row)
    {
        if (CategoryOfType(FindWeapon(name)->type) == 0)
            return true;
    }
    return false;
}

bool CBattleConfig::HasLongOrSpecialWeapon() const
{
    for (int32_t row = 1; const char* name = GetLoadoutName(row); ++row)
    {
        if (CategoryOfType(FindWeapon(name)->type) != 0)
            return true;
    }
    return false;
}

bool CBattleConfig::HasCompleteLoadout() const
{
    return HasShortWeapon() && HasLongOrSpecialWeapon();
}

bool CBattleConfig::AllSeatsReady() const
{
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
    {
        const tag_TOLQBATTLEPLAYER& entry = m_setting->players[i];
        if (entry.IsHuman() && entry.roomWords[1] == 0)
            return false;
    }
    return true;
}

int32_t CBattleConfig::GetCategoryTypeCount(int32_t category) const
{
    return category >= 0 && category < 3 ? kTypesPerCategory[category] : 0;
}

uint8_t CBattleConfig::GetCurrentWeaponType() const
{
    return static_cast<uint8_t>(kFirstTypeOf[std::clamp(m_category, 0, 2)] + m_column);
}

std::vector<int32_t> CBattleConfig::GetListedWeapons() const
{
    std::vector<int32_t> items;
    if (m_row != ROW_ADD)
        items.push_back(kRemoveItem);
    const uint32_t character = static_cast<uint32_t>(GetLoadoutCharacter());
    const uint8_t type = GetCurrentWeaponType();
    for (size_t i = 0; i < m_data.weapons.size(); ++i)
    {
        const CWeaponDefinition& weapon = *m_data.weapons[i];
        const bool carried = character < 32 && (weapon.characterMask >> character & 1u) != 0;
        const bool offered = !(weapon.defaultOnly != 0 && m_setting->rules.defaultWeapons != 0);
        if (weapon.type == type && carried && offered && OwnsWeapon(static_cast<uint32_t>(i)))
            items.push_back(static_cast<int32_t>(i));
    }
    return items;
}

int32_t CBattleConfig::CountListedWeapons() const
{
    return static_cast<int32_t>(GetListedWeapons().size());
}

bool CBattleConfig::WeaponFits(const CWeaponDefinition& weapon) const
{
    const tag_TOLQBATTLEPLAYER* own = GetOwnEntry();
    if (own == nullptr)
        return false;
    for (const char* name : own->weapons)
    {
        if (!IsEmptyName(name) && std::strcmp(name, weapon.name) == 0)
            return false;
    }
    const uint32_t replaced = m_row != ROW_ADD ? GetLoadoutRowWeight(m_row) : 0;
    return GetLoadoutWeight() - replaced + weapon.weight <= kMaxWeight;
}

void CBattleConfig::KeepWeaponsCursorInPage()
{
    const bool loadoutRow = m_row >= 1 && m_row <= GetLoadoutRowCount();
    if (m_row != ROW_ADD && m_row != ROW_DONE && !loadoutRow)
        m_row = ROW_ADD;
    if (GetCategoryTypeCount(m_category) == 0)
        m_category = 0;
    if (m_column < 0 || m_column >= GetCategoryTypeCount(m_category))
        m_column = 0;
    if (m_listIndex < 0 || m_listIndex >= std::max(CountListedWeapons(), 1))
        m_listIndex = 0;
    m_listTop = std::clamp(m_listTop, std::max(m_listIndex - (kVisibleListRows - 1), 0), m_listIndex);
}

// ---------------------------------------------------------------------------
// Update by phase

// In a random match the other players' flags are theirs: they come ready
// from their own weapons pages, whatever page this side is on.
void CBattleConfig::ClearReadyFlags()
{
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
    {
        if (!m_randomMatch || i == GetOwnIndex())
            m_setting->players[i].roomWords[1] = 0;
    }
}

void CBattleConfig::UpdateWeaponsPage(const SetupInput& input, uint32_t milliseconds)
{
    m_elapsedMs += milliseconds;
    tag_TOLQBATTLEPLAYER* own = GetOwnEntry();
    if (own == nullptr)
        return;
    switch (static_cast<WeaponsPhase>(m_phase))
    {
    case WeaponsPhase::FadeIn:
        if (StepFadeIn(milliseconds, Value(WeaponsPhase::Loadout)))
            ClearReadyFlags();
        break;
    case WeaponsPhase::Loadout:
        UpdateLoadout(input);
        break;
    case WeaponsPhase::Category:
        UpdateCategory(input);
        break;
    case WeaponsPhase::WeaponList:
        UpdateWeaponList(input);
        break;
    case WeaponsPhase::Waiting:
        // A random match's player waits on the rules page, for the room.
        if (m_randomMatch || ((!m_online || m_host) && AllSeatsReady()))
            ChangePage(kWeaponsForward);
        break;
    case WeaponsPhase::FadeOut:
        StepFadeOut(milliseconds);
        break;
    case WeaponsPhase::Forward:
        EnterPage(m_randomMatch ? PAGE_RULES : PAGE_START);
        break;
    case WeaponsPhase::Back:
        EnterPage(m_randomMatch ? PAGE_MEMBERS : PAGE_RULES);
        break;
    case WeaponsPhase::BackMenu:
        RunBackMenu(input, kWeaponsBack, Value(WeaponsPhase::Loadout), true);
        break;
    }
    TurnPreview(own, input, milliseconds);
}

namespace
{
// Weapons page, in 1024 x 768 layout units. Rows placed by the window's
// pixels (loadout rows, list rows, type tabs) add a fixed pixel margin to
// their scaled place: the Px values, converted by the frame's scale.
constexpr MenuRect kAddRow{.left = 76, .top = 152, .right = 406, .bottom = 180};
constexpr MenuPoint kAddLabelAt{168.0f, 156.0f};
constexpr MenuPoint kCategoryTabAt[3] = {{188, 152}, {260, 152}, {332, 152}};
constexpr MenuPoint kWeightCaptionAt{56.0f, 528.0f};
constexpr float kWeightY = 540.0f;
constexpr float kWeightEnd = 344.0f;
constexpr float kLimitStart = 352.0f;
constexpr MenuPoint kDoneAt{120.0f, 648.0f};
constexpr MenuPoint kMoreMarkAt{120.0f, 376.0f};
constexpr float kDetailLabelX = 124.0f;
constexpr float kDetailValueX = 198.0f;
constexpr float kDetailFirstY = 388.0f;
constexpr float kDetailPitch = 24.0f;
constexpr MenuPoint kDescriptionAt{124.0f, 512.0f};
constexpr float kDescriptionLine = 28.0f;
constexpr uint32_t kDescriptionBytes = 28;
constexpr float kPipPitch = 18.0f;
constexpr uint8_t kMaxPips = 8;
constexpr float kRowHeight = 28.0f;
constexpr float kLoadoutLeft = 32.0f, kLoadoutTop = 166.0f, kLoadoutWidth = 330.0f;
constexpr float kListLeft = 106.0f, kListTop = 126.0f, kListWidth = 258.0f;
constexpr float kTabLeft = 96.0f, kTabTop = 82.0f, kTabPitch = 40.0f, kTabWidth = 40.0f, kTabHeight = 32.0f;
constexpr float kRowMarginPx = 14.0f, kTopMarginPx = 18.0f, kTabMarginPx = 36.0f;
constexpr MenuRect kLoadoutWindow{.left = 20, .top = 136, .right = 388, .bottom = 572};
constexpr MenuRect kListWindow{.left = 92, .top = 72, .right = 396, .bottom = 600};
constexpr float kNameSize = 20.0f;
// A loadout row's name, and its group's heading, start right of its type.
constexpr float kNameIndent = 36.0f;
constexpr uint32_t kGrey = 0xB4B4B4u;
constexpr uint32_t kDimmedTab = 0x646464u;
constexpr const char* kAddLabel = "選択可能";
constexpr const char* kRemoveLabel = "はずす";
constexpr const char* kDetailLabels[5] = {"威力", "速度", "射程", "再装填", "装弾数"};
constexpr const char* kNoWeaponText = "武器を選択してください";
constexpr const char* kNeedFarText = "遠距離もしくは特殊武器を選択してください";
constexpr const char* kNeedCloseText = "近距離武器を選択してください";
}

namespace
{
float Unscaled(const CMenuLayout& layout, float pixels)
{
    return pixels / layout.Scale();
}

// Loadout row n (from 1) sits at this place among the rows: one empty row
// lies between groups.
int32_t RowPlace(const std::vector<int32_t>& groups, int32_t row)
{
    int32_t place = 0, n = 0;
    int32_t previous = -1;
    for (int32_t group : groups)
    {
        if (previous >= 0 && group != previous)
            ++place;
        previous = group;
        if (++n == row)
            return place;
        ++place;
    }
    return place;
}
}

void CBattleConfig::StepLoadoutRow(int32_t step)
{
    const int32_t rows = GetLoadoutRowCount();
    auto selectable = [&](int32_t row) {
        if (row == ROW_ADD)
            return GetLoadoutWeight() < kMaxWeight;
        if (row == ROW_DONE)
            return HasCompleteLoadout();
        return row >= 1 && row <= rows;
    };
    int32_t row = m_row;
    for (int32_t tries = 0; tries <= ROW_DONE; ++tries)
    {
        row = (row + step + ROW_DONE + 1) % (ROW_DONE + 1);
        if (selectable(row))
            break;
    }
    if (!selectable(row))
        return;
    m_row = row;
    Play(MenuSound::Cursor);
    MoveMouseToLoadoutRow();
}

void CBattleConfig::MoveMouseToLoadoutRow()
{
    const CMenuLayout& layout = m_frame.Layout();
    if (m_row == ROW_DONE)
    {
        MoveMouseTo(GetSpriteCenter(kDoneAt, SetupSheet::kDone));
        return;
    }
    if (m_row == ROW_ADD)
    {
        MoveMouseTo(kAddRow.Centre());
        return;
    }
    std::vector<int32_t> groups;
    for (int32_t n = 1; const char* name = GetLoadoutName(n); ++n)
        groups.push_back(CategoryOfType(FindWeapon(name)->type));
    const float top = kLoadoutTop + Unscaled(layout, kTopMarginPx) + kRowHeight * static_cast<float>(RowPlace(groups, m_row));
    const float left = kLoadoutLeft + Unscaled(layout, kRowMarginPx);
    MoveMouseTo(MenuRect::At(left, top, kLoadoutWidth, kRowHeight).Centre());
}

bool CBattleConfig::HoverLoadoutRows()
{
    const CMenuLayout& layout = m_frame.Layout();
    std::vector<int32_t> groups;
    for (int32_t n = 1; const char* name = GetLoadoutName(n); ++n)
        groups.push_back(CategoryOfType(FindWeapon(name)->type));
    const float left = kLoadoutLeft + Unscaled(layout, kRowMarginPx);
    bool hovered = false;
    for (int32_t row = 1; row <= static_cast<int32_t>(groups.size()); ++row)
    {
        const float top = kLoadoutTop + Unscaled(layout, kTopMarginPx) + kRowHeight * static_cast<float>(RowPlace(groups, row));
        const MenuRect rect = MenuRect::At(left, top, kLoadoutWidth, kRowHeight);
        const MenuButtonResult hit = MenuButton(m_frame, kLoadoutRowId + row - 1, rect, m_row == row, GetLoadoutName(row));
        if (!hit.hovered)
            continue;
        if (m_row != row)
            Play(MenuSound::Cursor);
        m_row = row;
        hovered = true;
    }
    return hovered;
}

void CBattleConfig::UpdateLoadout(const SetupInput& input)
{
    const bool complete = HasCompleteLoadout();
    const bool canAdd = GetLoadoutWeight() < kMaxWeight;
    const MenuButtonResult done =
        MenuButton(m_frame, kDoneId, SpriteRect(kDoneAt, SetupSheet::kDone), m_row == ROW_DONE, "done");
    const MenuButtonResult add = MenuButton(m_frame, kAddRowId, kAddRow, m_row == ROW_ADD, "add");
    const int32_t step = input.keys.Pressed(MenuKey::Up) ? -1 : (input.keys.Pressed(MenuKey::Down) ? 1 : 0);
    if (step != 0)
    {
        StepLoadoutRow(step);
        return;
    }
    const int32_t before = m_row;
    bool overRow = true;
    if (done.hovered && complete)
        m_row = ROW_DONE;
    else if (add.hovered && canAdd)
        m_row = ROW_ADD;
    else
        overRow = HoverLoadoutRows();
    if (m_row != before && (done.hovered || add.hovered))
        Play(MenuSound::Cursor);
    const bool clickedRow = Clicked(input) && overRow;
    if (DecidePressed(input) || clickedRow)
    {
        if (m_row == ROW_ADD && canAdd)
        {
            Play(MenuSound::Decide);
            EnterPhase(WeaponsPhase::Category);
        }
        else if (m_row == ROW_DONE && complete)
        {
            FinishLoadout();
        }
        else if (const CWeaponDefinition* weapon = FindWeapon(GetLoadoutName(m_row)))
        {
            Play(MenuSound::Decide);
            EnterPhase(WeaponsPhase::WeaponList);
            m_category = CategoryOfType(weapon->type);
            m_column = weapon->type - kFirstTypeOf[m_category];
            m_listIndex = m_listTop = 0;
        }
        return;
    }
    if (!CancelPressed(input) || (m_online && !m_host && !m_randomMatch))
        return;
    if (m_online)
    {
        OpenBackMenu(Value(WeaponsPhase::BackMenu));
        return;
    }
    Play(MenuSound::Decide);
    ChangePage(kWeaponsBack);
}

void CBattleConfig::FinishLoadout()
{
    tag_TOLQBATTLEPLAYER* own = GetOwnEntry();
    const int32_t c = GetLoadoutCharacter();
    tag_TOLQCHARAPLAYDATA* play = m_config != nullptr ? m_config->GetCharacterData(static_cast<uint32_t>(c)) : nullptr;
    if (play != nullptr)
    {
        // The places may point into these very fields in another order:
        // every name is taken aside before any field is written.
        std::array<std::string, tag_TOLQBATTLEPLAYER::kWeapons> names;
        for (uint32_t k = 0; k < names.size(); ++k)
            names[k] = IsEmptyName(own->weapons[k]) ? std::string() : std::string(own->weapons[k]);
        for (uint32_t k = 0; k < names.size(); ++k)
        {
            std::memset(play->weapons[k], 0, sizeof(play->weapons[k]));
            std::memcpy(play->weapons[k], names[k].data(), std::min(names[k].size(), sizeof(play->weapons[k]) - 1));
            own->weapons[k] = names[k].empty() ? nullptr : play->weapons[k];
        }
        m_config->SavePlayData();
    }
    if (m_randomMatch)
    {
        // The match's host starts once every seat is ready.
        own->roomWords[1] = 1;
        SendPlayerEntry(*own, static_cast<uint8_t>(GetOwnIndex()));
    }
    else
    {
        SendRules(m_setting->rules);
        for (uint8_t i = 0; i < m_setting->playerCount; ++i)
        {
            tag_TOLQBATTLEPLAYER& entry = m_setting->players[i];
            const bool ours = &entry == own ||
                              ((!m_online || m_host) && entry.slotState == tag_TOLQBATTLEPLAYER::SLOT_COMPUTER);
            if (entry.IsClosed() || !ours)
                continue;
            entry.roomWords[1] = 1;
            SendPlayerEntry(entry, i);
        }
    }
    EnterPhase(WeaponsPhase::Waiting);
    Play(MenuSound::Decide);
}

void CBattleConfig::UpdateCategory(const SetupInput& input)
{
    for (int32_t category = 0; category < 3; ++category)
    {
        const MenuButtonResult tab =
            MenuButton(m_frame, kCategoryTabId + category, SpriteRect(kCategoryTabAt[category], SetupSheet::kCategoryTabs[category]),
                       m_category == category, SetupSheet::kCategoryNames[category]);
        if (tab.hovered && m_category != category)
        {
            m_category = category;
            Play(MenuSound::Cursor);
        }
    }
    const int32_t turn = input.keys.Pressed(MenuKey::Left) ? -1 : (input.keys.Pressed(MenuKey::Right) ? 1 : 0);
    if (turn != 0)
    {
        m_category = (m_category + turn + 3) % 3;
        MoveMouseTo(GetSpriteCenter(kCategoryTabAt[m_category], SetupSheet::kCategoryTabs[m_category]));
        Play(MenuSound::Cursor);
        return;
    }
    if (DecidePressed(input) || Clicked(input))
    {
        EnterPhase(WeaponsPhase::WeaponList);
        m_column = m_listIndex = m_listTop = 0;
        Play(MenuSound::Decide);
        return;
    }
    if (CancelPressed(input))
    {
        EnterPhase(WeaponsPhase::Loadout);
        Play(MenuSound::Cancel);
    }
}

void CBattleConfig::UpdateWeaponList(const SetupInput& input)
{
    const CMenuLayout& layout = m_frame.Layout();
    const int32_t types = GetCategoryTypeCount(m_category);
    const float tabTop = kTabTop + Unscaled(layout, kTopMarginPx);
    const float listLeft = kListLeft + Unscaled(layout, kRowMarginPx);
    const float listTop = kListTop + Unscaled(layout, kTopMarginPx);
    auto tabRect = [&](int32_t i) {
        return MenuRect::At(kTabLeft + Unscaled(layout, kTabMarginPx) + kTabPitch * static_cast<float>(i), tabTop, kTabWidth,
                            kTabHeight);
    };
    for (int32_t i = 0; i < types; ++i)
    {
        const MenuButtonResult tab = MenuButton(m_frame, kTypeTabId + i, tabRect(i), m_column == i);
        if (tab.clicked && m_column != i)
        {
            // Another type: its list, from the top; the click picks nothing.
            m_column = i;
            m_listIndex = m_listTop = 0;
            Play(MenuSound::Decide);
            return;
        }
    }
    const int32_t count = CountListedWeapons();
    bool overList = false;
    for (int32_t v = 0; v < kVisibleListRows && m_listTop + v < count; ++v)
    {
        const MenuRect rect = MenuRect::At(listLeft, listTop + kRowHeight * static_cast<float>(v), kListWidth, kRowHeight);
        const MenuButtonResult row = MenuButton(m_frame, kListRowId + v, rect, m_listIndex == m_listTop + v);
        if (!row.hovered)
            continue;
        overList = true;
        if (m_listIndex != m_listTop + v)
        {
            m_listIndex = m_listTop + v;
            Play(MenuSound::Cursor);
        }
    }
    const MenuKeys& keys = input.keys;
    const int32_t turn = keys.Pressed(MenuKey::Left) ? -1 : (keys.Pressed(MenuKey::Right) ? 1 : 0);
    if (turn != 0)
    {
        m_column = (m_column + turn + types) % types;
        m_listIndex = m_listTop = 0;
        MoveMouseTo(tabRect(m_column).Centre());
        Play(MenuSound::Cursor);
        return;
    }
    const int32_t step = keys.Pressed(MenuKey::Up) ? -1 : (keys.Pressed(MenuKey::Down) ? 1 : 0);
    if (step != 0)
    {
        // An empty list keeps its cursor on 0.
        m_listIndex = std::clamp(m_listIndex + step, 0, std::max(count - 1, 0));
        m_listTop = std::clamp(m_listTop, m_listIndex - (kVisibleListRows - 1), m_listIndex);
        const float top = listTop + kRowHeight * static_cast<float>(m_listIndex - m_listTop);
        MoveMouseTo(MenuRect::At(listLeft, top, kListWidth, kRowHeight).Centre());
        Play(MenuSound::Cursor);
        return;
    }
    if (DecidePressed(input) || (Clicked(input) && overList))
    {
        PickListItem();
        return;
    }
    if (CancelPressed(input))
    {
        Play(MenuSound::Cancel);
        if (m_row == ROW_ADD)
            EnterPhase(WeaponsPhase::Category);
        else
            EnterPhase(WeaponsPhase::Loadout);
    }
}

void CBattleConfig::PickListItem()
{
    const std::vector<int32_t> items = GetListedWeapons();
    // Nothing is picked from an empty list.
    if (m_listIndex < 0 || static_cast<size_t>(m_listIndex) >= items.size())
        return;
    tag_TOLQBATTLEPLAYER* own = GetOwnEntry();
    const int32_t item = items[static_cast<size_t>(m_listIndex)];
    if (item == kRemoveItem)
    {
        // The host's entry for this seat may have emptied the row meanwhile.
        const int32_t slot = GetLoadoutIndex(m_row);
        if (slot >= 0)
            own->weapons[slot] = nullptr;
        m_row = ROW_ADD;
        EnterPhase(WeaponsPhase::Loadout);
        ShowOnPreview(nullptr);
        Play(MenuSound::Decide);
        return;
    }
    const CWeaponDefinition* weapon = m_data.weapons[static_cast<size_t>(item)];
    if (!WeaponFits(*weapon))
        return;
    int32_t slot = m_row == ROW_ADD ? -1 : GetLoadoutIndex(m_row);
    for (int32_t k = 0; slot < 0 && k < static_cast<int32_t>(tag_TOLQBATTLEPLAYER::kWeapons); ++k)
    {
        if (IsEmptyName(own->weapons[k]))
            slot = k;
    }
    if (slot < 0)
        return;
    own->weapons[slot] = weapon->name;
    EnterPhase(WeaponsPhase::Loadout);
    ShowOnPreview(weapon);
    Play(MenuSound::Decide);
}

// ---------------------------------------------------------------------------
// The preview

void CBattleConfig::ShowOnPreview(const CWeaponDefinition* weapon)
{
    tag_TOLQBATTLEPLAYER* own = GetOwnEntry();
    if (own != nullptr && own->preview != nullptr)
        own->preview->SetWeaponAt(weapon, 0, 1);
}

void CBattleConfig::TurnPreview(tag_TOLQBATTLEPLAYER* entry, const SetupInput& input, uint32_t milliseconds)
{
    CCharacter* preview = entry->preview;
    if (preview == nullptr)
        return;
    preview->SetAnimationSpeed(1.0f);
    preview->UpdateWeapons();
    preview->UpdateAttachments();
    preview->UpdateModelTransform();
    const float seconds = static_cast<float>(milliseconds) * 0.001f;
    const MenuKeys& keys = input.keys;
    CkvrVector3 rotation = *preview->GetRotation();
    CkvrVector3 position = *preview->GetPosition();
    if (keys.Held(MenuKey::CameraLeft))
        rotation.y += kTurnSpeed * seconds;
    if (keys.Held(MenuKey::CameraRight))
        rotation.y -= kTurnSpeed * seconds;
    if (keys.Held(MenuKey::CameraUp))
        position.z = std::min(position.z + kSlideSpeed * seconds, kSlideLimit);
    if (keys.Held(MenuKey::CameraDown))
        position.z = std::max(position.z - kSlideSpeed * seconds, -kSlideLimit);
    if (keys.AnyHeld({MenuKey::CameraLeft, MenuKey::CameraRight, MenuKey::CameraUp, MenuKey::CameraDown}))
    {
        preview->SetRotation(&rotation);
        preview->SetPosition(&position);
        preview->UpdateWorldMatrix();
    }
}

void CBattleConfig::RenderPreview()
{
    tag_TOLQBATTLEPLAYER* own = GetOwnEntry();
    CRenderList* list = g_pController != nullptr ? g_pController->GetRenderList() : nullptr;
    if (own == nullptr || own->preview == nullptr || list == nullptr || !m_camera)
        return;
    CGraphics* graphics = g_pController->GetGraphics();
    graphics->Begin3D();
    m_camera->Apply();
    if (CShader* shader = CGraphics::GetDefaultShader())
    {
        shader->SetFloatArray("g_LightDir", kPreviewLight, 3);
        shader->SetVector("g_LightDiffuse", kPreviewDiffuse);
        shader->SetVector("g_WorldAmbient", kPreviewAmbient);
    }
    list->Clear();
    own->preview->Render(reinterpret_cast<uintptr_t>(list));
    list->Draw();
    graphics->Begin2D();
    graphics->SetBlendMode(1);
    m_camera->Apply();
}

// ---------------------------------------------------------------------------
// Drawing

void CBattleConfig::RenderWeaponsPage(const CMenuPainter& painter)
{
    const uint32_t color = PageColor();
    RenderPreview();
    DrawHeading(painter, PAGE_WEAPONS, color);
    DrawWindow(painter, kLoadoutWindow, color);
    DrawLoadout(painter, color);
    if (InPhase(WeaponsPhase::WeaponList))
        DrawWeaponList(painter, color);
    const bool complete = HasCompleteLoadout();
    painter.Picture(m_texture, m_row == ROW_DONE && complete ? SetupSheet::kDoneLit : SetupSheet::kDone, kDoneAt,
                    complete ? color : ((color & 0xFF000000u) | kGrey));
    DrawMatchingStatus(color);
    const char* status = nullptr;
    if (m_online && InPhase(WeaponsPhase::Waiting))
    {
        DrawWaitingLine(painter, color);
        return;
    }
    if (GetLoadoutRowCount() == 0)
        status = kNoWeaponText;
    else if (!HasLongOrSpecialWeapon())
        status = kNeedFarText;
    else if (!HasShortWeapon())
        status = kNeedCloseText;
    if (status != nullptr)
        DrawStatusLine(painter, status, color);
}

void CBattleConfig::DrawLoadout(const CMenuPainter& painter, uint32_t color)
{
    const CMenuLayout& layout = painter.Layout();
    const uint32_t grey = (color & 0xFF000000u) | kGrey;
    const uint32_t weight = GetLoadoutWeight();
    painter.Outline(kAddRow, weight < kMaxWeight ? color : grey);
    painter.Text(m_font, MenuRect::At(kAddLabelAt.x, kAddLabelAt.y, 0.0f, kRowHeight - 8.0f), MenuAnchor::Left,
                 kNameSize, weight < kMaxWeight ? color : grey, GameText(kAddLabel));
    if (m_row == ROW_ADD && InPhase(WeaponsPhase::Loadout))
        DrawFocusFrame(painter, kAddRow);
    if (InPhase(WeaponsPhase::Category))
    {
        for (int32_t category = 0; category < 3; ++category)
        {
            const uint32_t tint = category == m_category ? color : ((color & 0xFF000000u) | kDimmedTab);
            painter.Picture(m_texture, SetupSheet::kCategoryTabs[category], kCategoryTabAt[category], tint);
        }
    }
    std::vector<int32_t> groups;
    for (int32_t n = 1; const char* name = GetLoadoutName(n); ++n)
        groups.push_back(CategoryOfType(FindWeapon(name)->type));
    const float left = kLoadoutLeft + Unscaled(layout, kRowMarginPx);
    const float firstTop = kLoadoutTop + Unscaled(layout, kTopMarginPx);
    for (int32_t row = 1; row <= static_cast<int32_t>(groups.size()); ++row)
    {
        const int32_t place = RowPlace(groups, row);
        const MenuRect rect = MenuRect::At(left, firstTop + kRowHeight * static_cast<float>(place), kLoadoutWidth, kRowHeight);
        // A group after the first opens with its heading in the empty row
        // above it, set against its first row so that it reads as the
        // heading of what follows, not as a note on the weapon before.
        const bool groupStart = row == 1 || groups[static_cast<size_t>(row - 1)] != groups[static_cast<size_t>(row - 2)];
        if (groupStart && row > 1)
            painter.Picture(m_texture, SetupSheet::kGroupHeadings[groups[static_cast<size_t>(row - 1)]],
                            {rect.left + kNameIndent, rect.top}, color, MenuAnchor::BottomLeft);
        const CWeaponDefinition* weapon = FindWeapon(GetLoadoutName(row));
        painter.Picture(m_texture, SetupSheet::kWeaponTypes[weapon->type % SetupSheet::kWeaponClasses],
                        {rect.left, rect.top}, color, MenuAnchor::TopLeft, kRowHeight / SetupSheet::kWeaponTypes[0].Height());
        painter.Text(m_font, {rect.left + kNameIndent, rect.top, rect.right - 40.0f, rect.bottom}, MenuAnchor::Left,
                     kNameSize, color, weapon->name);
        char number[8];
        std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(weapon->weight));
        painter.Text(m_font, {rect.left, rect.top, rect.right - 8.0f, rect.bottom}, MenuAnchor::Right, kNameSize, color,
                     number);
        if (row == m_row && InPhase(WeaponsPhase::Loadout))
            DrawFocusFrame(painter, rect);
    }
    painter.Picture(m_texture, SetupSheet::kWeightCaption, kWeightCaptionAt, color);
    char text[8];
    std::snprintf(text, sizeof text, "%u", weight);
    painter.Text(m_font, {kWeightEnd - 40.0f, kWeightY, kWeightEnd, kWeightY + 20.0f}, MenuAnchor::TopRight, kNameSize,
                 color, text);
    painter.Text(m_font, {kWeightEnd, kWeightY, kLimitStart, kWeightY + 20.0f}, MenuAnchor::Top, kNameSize, color, "/");
    std::snprintf(text, sizeof text, "%u", kMaxWeight);
    painter.Text(m_font, {kLimitStart, kWeightY, kLimitStart + 40.0f, kWeightY + 20.0f}, MenuAnchor::TopLeft, kNameSize,
                 color, text);
}

void CBattleConfig::DrawTypeTabs(const CMenuPainter& painter, uint32_t color)
{
    const CMenuLayout& layout = painter.Layout();
    const float top = kTabTop + Unscaled(layout, kTopMarginPx);
    for (int32_t i = 0; i < GetCategoryTypeCount(m_category); ++i)
    {
        const uint8_t type = static_cast<uint8_t>(kFirstTypeOf[m_category] + i);
        const uint32_t tint = i == m_column ? color : ((color & 0xFF000000u) | kDimmedTab);
        const MenuRect rect = MenuRect::At(kTabLeft + Unscaled(layout, kTabMarginPx) + kTabPitch * static_cast<float>(i),
                                           top, kTabWidth, kTabHeight);
        painter.PictureInto(m_texture, SetupSheet::kWeaponTypes[type], rect, tint);
    }
}

void CBattleConfig::DrawWeaponList(const CMenuPainter& painter, uint32_t color)
{
    const CMenuLayout& layout = painter.Layout();
    const uint32_t grey = (color & 0xFF000000u) | kGrey;
    const std::vector<int32_t> items = GetListedWeapons();
    const int32_t count = static_cast<int32_t>(items.size());
    DrawListWindow(painter, kListWindow, m_listTop, count, color);
    DrawTypeTabs(painter, color);
    const float left = kListLeft + Unscaled(layout, kRowMarginPx);
    const float top = kListTop + Unscaled(layout, kTopMarginPx);
    for (int32_t v = 0; v < kVisibleListRows && m_listTop + v < count; ++v)
    {
        const MenuRect rect = MenuRect::At(left, top + kRowHeight * static_cast<float>(v), kListWidth, kRowHeight);
        const int32_t item = items[static_cast<size_t>(m_listTop + v)];
        if (item == kRemoveItem)
        {
            painter.Text(m_font, {rect.left + 36.0f, rect.top, rect.right, rect.bottom}, MenuAnchor::Left, kNameSize, color,
                         GameText(kRemoveLabel));
        }
        else
        {
            const CWeaponDefinition& weapon = *m_data.weapons[static_cast<size_t>(item)];
            const uint32_t tint = WeaponFits(weapon) ? color : grey;
            painter.Picture(m_texture, SetupSheet::kWeaponTypes[weapon.type % SetupSheet::kWeaponClasses],
                            {rect.left, rect.top}, tint, MenuAnchor::TopLeft,
                            kRowHeight / SetupSheet::kWeaponTypes[0].Height());
            painter.Text(m_font, {rect.left + 36.0f, rect.top, rect.right - 32.0f, rect.bottom}, MenuAnchor::Left,
                         kNameSize, tint, weapon.name);
            char number[8];
            std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(weapon.weight));
            painter.Text(m_font, {rect.left, rect.top, rect.right - 8.0f, rect.bottom}, MenuAnchor::Right, kNameSize,
                         tint, number);
        }
        if (m_listTop + v == m_listIndex)
            DrawFocusFrame(painter, rect);
    }
    if (count - m_listTop >= kVisibleListRows)
        painter.Picture(m_texture, SetupSheet::kMoreMark, kMoreMarkAt, color);
    if (m_listIndex >= 0 && m_listIndex < count && items[static_cast<size_t>(m_listIndex)] != kRemoveItem)
        DrawWeaponDetails(painter, *m_data.weapons[static_cast<size_t>(items[static_cast<size_t>(m_listIndex)])], color);
}

void CBattleConfig::DrawWeaponDetails(const CMenuPainter& painter, const CWeaponDefinition& weapon, uint32_t color)
{
    const uint8_t ratings[4] = {weapon.power, weapon.speed, weapon.range, weapon.reload};
    for (int32_t i = 0; i < 5; ++i)
    {
        const float y = kDetailFirstY + kDetailPitch * static_cast<float>(i);
        painter.Text(m_font, MenuRect::At(kDetailLabelX, y, 0.0f, kDetailPitch - 4.0f), MenuAnchor::Left, kNameSize, color,
                     GameText(kDetailLabels[i]));
        if (i < 4)
        {
            for (uint8_t pip = 0; pip < std::min(ratings[i], kMaxPips); ++pip)
                painter.Picture(m_texture, SetupSheet::kPip, {kDetailValueX + kPipPitch * pip, y + 2.0f}, color);
            continue;
        }
        char magazine[8];
        const uint16_t size = MagazineSize(weapon);
        std::snprintf(magazine, sizeof magazine, size != 0 ? "%u" : "--", static_cast<unsigned>(size));
        painter.Text(m_font, MenuRect::At(kDetailValueX, y, 0.0f, kDetailPitch - 4.0f), MenuAnchor::Left, kNameSize, color,
                     magazine);
    }
    if (m_font == nullptr || weapon.description.empty())
        return;
    const CMenuLayout& layout = painter.Layout();
    const MenuPoint at = layout.ToPixels(kDescriptionAt);
    // Game data texts are game texts already.
    m_font->DrawTextWrapped(at.x, at.y, kDescriptionLine * layout.Scale(), kDescriptionBytes, color,
                            static_cast<uint32_t>(kNameSize), layout.Scale(), weapon.description.c_str());
}
