// The equipment screen: six clothes slots per character, saved at once.
//
// Sections: set-up; the slots' candidates and applying a choice; update,
// one function per state and step; drawing (layout table above it).
#include "game/scene/CEquipScene.h"

#include "engine/core/FailureLog.h"
#include "engine/core/GameText.h"
#include "engine/platform/sound/CListener.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "game/actor/CCharacter.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/GameServices.h"
#include "game/app/tag_TOLQSCENEPARAM.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuButton.h"
#include "game/scene/EquipSheet.h"
#include "game/scene/MenuScene.h"
#include "game/scene/SceneGameData.h"
#include "game/scene/ShopSheet.h"
#include "game/scene/TitleSheet.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{
constexpr uint32_t kRingItem = 7;
// The preview's camera, in world units: the fighter in the middle.
constexpr float kEye[3] = {0.0f, 0.7f, -3.2f};
constexpr float kTarget[3] = {0.0f, 0.7f, 0.0f};

using ClothesName = char[kNameBytes];

// The lowest slot of a slot mask; -1 for none.
int32_t FirstSlot(uint16_t slotMask)
{
    for (int32_t slot = 0; slot < CEquipScene::kSlotCount; ++slot)
    {
        if ((slotMask & (1u << slot)) != 0)
            return slot;
    }
    return -1;
}

bool Covers(uint16_t slotMask, int32_t slot)
{
    return (slotMask & (1u << slot)) != 0;
}
}

// ---------------------------------------------------------------------------
// Set-up

CEquipScene::CEquipScene() = default;

CEquipScene::~CEquipScene()
{
    Release();
}

int CEquipScene::Init(uintptr_t parameter)
{
    const tag_TOLQSCENEPARAM* param = SceneParam(parameter);
    m_screen.Open(param, kEye, kTarget);
    m_state = EquipState::FadeIn;
    m_character = 0;
    m_slotCursor = 0;
    std::fill(std::begin(m_listCursors), std::end(m_listCursors), 0u);
    std::fill(std::begin(m_listOffsets), std::end(m_listOffsets), 0u);
    if (param != nullptr)
    {
        m_state = static_cast<EquipState>(
            std::min<uint32_t>(param->step, static_cast<uint32_t>(EquipState::CharacterChoice)));
        m_character = static_cast<int32_t>(param->item < SelectableCount() ? param->item : 0);
    }
    m_listener =
        std::make_unique<CListener>(g_pController->GetSound(), g_pController->GetGameConfig()->GetData()->sound3D);
    m_listener->Apply();
    BuildPreview();
    return 1;
}

uint32_t CEquipScene::Release()
{
    m_listener.reset();
    m_screen.Close();
    return CResourceBase::Release();
}

void CEquipScene::EnterState(EquipState state, EquipState next)
{
    m_state = state;
    m_next = next;
}

// ---------------------------------------------------------------------------
// The slots' candidates and applying a choice

uint32_t CEquipScene::SelectableCount() const
{
    return static_cast<uint32_t>(g_pController->GetGameConfig()->GetPlayData()->characters.size());
}

const CCharacterDefinition* CEquipScene::Definition() const
{
    return m_character >= 0 ? SceneGameData::Character(static_cast<uint32_t>(m_character)) : nullptr;
}

tag_TOLQCHARAPLAYDATA* CEquipScene::Record() const
{
    return m_character >= 0 ? g_pController->GetGameConfig()->GetCharacterData(static_cast<uint32_t>(m_character))
                            : nullptr;
}

std::vector<uint32_t> CEquipScene::GetCandidates(int32_t slot) const
{
    std::vector<uint32_t> candidates;
    const CCharacterDefinition* character = Definition();
    if (character == nullptr || slot < 0 || slot >= kSlotCount)
        return candidates;
    const std::vector<tag_TOLQUNLOCKDATA>& unlocks = g_pController->GetGameConfig()->GetPlayData()->clothes;
    for (uint32_t i = 0; i < SceneGameData::ClothesCount(); ++i)
    {
        const CClothesDefinition* clothes = SceneGameData::Clothes(i);
        if (clothes == nullptr || (clothes->characterMask & character->ownBit) == 0)
            continue;
        if (i >= unlocks.size() || unlocks[i].owned == 0)
            continue;
        if (FirstSlot(clothes->slotMask) == slot)
            candidates.push_back(i);
    }
    return candidates;
}

void CEquipScene::ClearCovered(uint16_t slotMask)
{
    tag_TOLQCHARAPLAYDATA* record = Record();
    for (int32_t slot = 0; slot < kSlotCount; ++slot)
    {
        if (Covers(slotMask, slot))
            std::memset(record->clothes[slot], 0, sizeof(record->clothes[slot]));
    }
}

bool CEquipScene::Apply(int32_t slot, uint32_t candidate)
{
    tag_TOLQCHARAPLAYDATA* record = Record();
    if (record == nullptr || slot < 0 || slot >= kSlotCount)
        return true;
    ClothesName before[kSlotCount];
    std::memcpy(before, record->clothes, sizeof(before));
    // Whatever else covers this slot comes off first, in every slot it
    // covers.
    for (int32_t other = 0; other < kSlotCount; ++other)
    {
        const CClothesDefinition* worn = SceneGameData::FindClothes(record->clothes[other]);
        if (other != slot && worn != nullptr && Covers(worn->slotMask, slot))
            ClearCovered(worn->slotMask);
    }
    // A slot without that candidate keeps only the clearing above.
    const std::vector<uint32_t> candidates = GetCandidates(slot);
    const CClothesDefinition* chosen =
        candidate < candidates.size() ? SceneGameData::Clothes(candidates[candidate]) : nullptr;
    if (chosen != nullptr)
    {
        // Choosing the item worn already takes it off.
        const bool worn = std::strcmp(record->clothes[slot], chosen->name) == 0;
        ClearCovered(chosen->slotMask);
        if (!worn)
            std::snprintf(record->clothes[slot], sizeof(record->clothes[slot]), "%s", chosen->name);
    }
    if (g_pController->GetGameConfig()->SavePlayData() != 0)
        return true;
    // What is not saved is not worn: the names go back to the saved ones.
    std::memcpy(record->clothes, before, sizeof(before));
    LogFailure("equipment: the play data can't be saved; the choice is taken back",
               g_pController->GetGameConfig()->GetFolder().c_str());
    return false;
}

void CEquipScene::ApplyChosen()
{
    const int32_t slot = m_slotCursor;
    if (Apply(slot, m_listCursors[slot]))
        m_screen.Frame().Play(MenuSound::Decide);
    else
    {
        m_screen.Frame().Play(MenuSound::Error);
        m_screen.ShowNotice();
    }
    BuildPreview();
    EnterState(EquipState::SlotChoice);
}

void CEquipScene::ResetToDefault()
{
    tag_TOLQCHARAPLAYDATA* record = Record();
    const CCharacterDefinition* character = Definition();
    if (record == nullptr || character == nullptr)
        return;
    for (int32_t slot = 0; slot < kSlotCount; ++slot)
        std::snprintf(record->clothes[slot], sizeof(record->clothes[slot]), "%s", character->defaultClothes[slot]);
}

void CEquipScene::BuildPreview()
{
    const tag_TOLQCHARAPLAYDATA* record = Record();
    const CCharacterDefinition* character = Definition();
    if (record == nullptr || character == nullptr)
    {
        m_screen.Preview().Clear();
        return;
    }
    const CClothesDefinition* clothes[kSlotCount];
    for (int32_t slot = 0; slot < kSlotCount; ++slot)
        clothes[slot] = SceneGameData::FindClothes(record->clothes[slot]);
    m_screen.Preview().Show(character, clothes, kSlotCount, nullptr);
}

void CEquipScene::ChangeCharacter(int step, MenuSound sound)
{
    const int32_t count = static_cast<int32_t>(SelectableCount());
    if (count > 0)
        m_character = ((m_character + step) % count + count) % count;
    std::fill(std::begin(m_listCursors), std::end(m_listCursors), 0u);
    std::fill(std::begin(m_listOffsets), std::end(m_listOffsets), 0u);
    BuildPreview();
    m_screen.Frame().Play(sound);
}

// ---------------------------------------------------------------------------
// Update

int CEquipScene::Update(uintptr_t)
{
    const uint32_t milliseconds = m_screen.BeginUpdate();
    if (m_state != EquipState::CharacterChoice && m_state != EquipState::SlotChoice)
        ReportItems();
    switch (m_state)
    {
    case EquipState::FadeIn:
        if (m_screen.FadeIn(milliseconds))
            EnterState(EquipState::CharacterChoice);
        break;
    case EquipState::CharacterChoice:
        UpdateCharacterChoice();
        break;
    case EquipState::SlotChoice:
        UpdateSlotChoice();
        break;
    case EquipState::ItemChoice:
        UpdateItemChoice();
        break;
    case EquipState::FadeOut:
        if (m_screen.FadeOut(milliseconds))
            EnterState(m_next);
        break;
    case EquipState::Leave:
    case EquipState::LeaveToTitle:
        EnterState(EquipState::FadeIn);
        return m_screen.LeaveToTitle(kRingItem);
    }
    m_screen.StepPreview(milliseconds);
    return 1;
}

namespace
{
// Equipment screen, in 1024 x 768 layout units: six slot panels 268 x 180,
// even slots down the left, odd down the right; in each the slot's name and
// four candidate rows 28 apart, the scroll bar down its right edge. The
// default and back buttons at the foot, the character's name between the
// arrows under the fighter.
constexpr MenuPoint kPanelOrigins[CEquipScene::kSlotCount] = {{16, 132}, {740, 132}, {16, 324},
                                                               {740, 324}, {16, 516}, {740, 516}};
constexpr float kPanelWidth = 268.0f;
constexpr float kPanelHeight = 180.0f;
constexpr MenuPoint kSlotNameAt{16.0f, 26.0f};
constexpr MenuPoint kFirstRowAt{40.0f, 54.0f};
constexpr float kRowPitch = 28.0f;
constexpr float kRowWidth = 196.0f;
constexpr MenuRect kFirstHighlight{.left = 20, .top = 56, .right = 236, .bottom = 76};
constexpr MenuPoint kFirstMarkAt{20.0f, 56.0f};
// The scroll bar: 8 wide, 16 in from the panel's right edge.
constexpr float kScrollInset = 16.0f;
constexpr float kScrollWidth = 8.0f;
constexpr float kKnobHeight = 16.0f;
constexpr MenuPoint kDefaultAt{796.0f, 700.0f};
// The arrow on the left goes back a character and the one on the right on,
// as Left and Right do.
constexpr MenuRect kPreviousArrow{.left = 376, .top = 666, .right = 408, .bottom = 742};
constexpr MenuRect kNextArrow{.left = 616, .top = 666, .right = 648, .bottom = 742};
constexpr MenuPoint kNameAt{512.0f, 704.0f};
constexpr float kNameSize = 32.0f;
constexpr float kRowTextSize = 20.0f;
constexpr MenuRect kNotice{.left = 300, .top = 600, .right = 724, .bottom = 648};

MenuRect PanelRect(int32_t slot)
{
    return MenuRect::At(kPanelOrigins[slot].x, kPanelOrigins[slot].y, kPanelWidth, kPanelHeight);
}

MenuRect RowRect(int32_t slot, uint32_t row)
{
    return MenuRect::At(kPanelOrigins[slot].x + kFirstRowAt.x,
                        kPanelOrigins[slot].y + kFirstRowAt.y + kRowPitch * static_cast<float>(row), kRowWidth,
                        kRowPitch);
}

MenuRect ScrollBarRect(int32_t slot)
{
    const MenuRect panel = PanelRect(slot);
    return {panel.right - kScrollInset, panel.top, panel.right - kScrollInset + kScrollWidth, panel.bottom};
}

MenuRect DefaultRect()
{
    return EquipSheet::kDefaultButton.PlacedAt(kDefaultAt.x, kDefaultAt.y);
}

// The slot cursor's places as the keys walk them: the slots two a row as
// their panels stand, then the back and the default button as a row of
// their own below them (back on the left, as they are drawn).
constexpr int32_t kCursorRows = 4;
constexpr int32_t kCursorColumns = 2;
constexpr int32_t kCursorPlaces[kCursorRows][kCursorColumns] = {
    {0, 1}, {2, 3}, {4, 5}, {CEquipScene::kBackButton, CEquipScene::kDefaultButton}};

// The place rows down (negative: up) and columns across from place, round
// at every edge.
int32_t CursorPlaceFrom(int32_t place, int32_t rows, int32_t columns)
{
    for (int32_t row = 0; row < kCursorRows; ++row)
    {
        for (int32_t column = 0; column < kCursorColumns; ++column)
        {
            if (kCursorPlaces[row][column] == place)
                return kCursorPlaces[(row + rows + kCursorRows) % kCursorRows]
                                    [(column + columns + kCursorColumns) % kCursorColumns];
        }
    }
    return place;
}

// Where the pointer goes when the keys move the slot cursor.
MenuPoint SlotCursorCentre(int32_t slot)
{
    if (slot == CEquipScene::kDefaultButton)
        return DefaultRect().Centre();
    if (slot == CEquipScene::kBackButton)
        return CPreviewScreen::BackRect().Centre();
    return PanelRect(slot).Centre();
}
}

void CEquipScene::ReportItems()
{
    MenuButton(m_screen.Frame(), kDefaultId, DefaultRect(), m_slotCursor == kDefaultButton, "default");
    MenuButton(m_screen.Frame(), kBackId, CPreviewScreen::BackRect(), m_slotCursor == kBackButton, "back");
    for (int32_t slot = 0; slot < kSlotCount; ++slot)
        MenuButton(m_screen.Frame(), kPanelId + slot, PanelRect(slot), m_slotCursor == slot,
                   EquipSheet::kSlotNameTexts[slot]);
    MenuButton(m_screen.Frame(), kPreviousArrowId, kPreviousArrow, false, "previous");
    MenuButton(m_screen.Frame(), kNextArrowId, kNextArrow, false, "next");
}

void CEquipScene::UpdateCharacterChoice()
{
    const MenuKeys& keys = m_screen.Frame().Keys();
    if (keys.Pressed(MenuKey::Left))
        ChangeCharacter(-1, MenuSound::Cursor);
    else if (keys.Pressed(MenuKey::Right))
        ChangeCharacter(+1, MenuSound::Cursor);
    if (keys.Pressed(MenuKey::Decide))
    {
        // This Decide opens the slots and does nothing more: the slot
        // cursor may still stand on the default button.
        m_screen.Frame().Play(MenuSound::Decide);
        EnterState(EquipState::SlotChoice);
        return;
    }
    if (keys.Pressed(MenuKey::Cancel) || keys.Pressed(MenuKey::AltClick))
    {
        m_screen.Frame().Play(MenuSound::Cancel);
        EnterState(EquipState::FadeOut, EquipState::LeaveToTitle);
        return;
    }
    if (UpdateButtons())
        return;
    UpdatePanels();
    UpdateArrows();
}

void CEquipScene::MoveSlotCursor(int32_t slot)
{
    m_slotCursor = slot;
    MenuScene::MoveMouseTo(m_screen.Frame(), SlotCursorCentre(slot));
    m_screen.Frame().Play(MenuSound::Cursor);
}

void CEquipScene::UpdateSlotChoice()
{
    const MenuKeys& keys = m_screen.Frame().Keys();
    const int32_t slot = m_slotCursor;
    // Left and right change the column; up and down the row, the buttons'
    // row below the slots' included, so that the keys reach every button
    // the pointer can press.
    if (keys.Pressed(MenuKey::Left) || keys.Pressed(MenuKey::Right))
        MoveSlotCursor(CursorPlaceFrom(slot, 0, 1));
    else if (keys.Pressed(MenuKey::Up))
        MoveSlotCursor(CursorPlaceFrom(slot, -1, 0));
    else if (keys.Pressed(MenuKey::Down))
        MoveSlotCursor(CursorPlaceFrom(slot, 1, 0));
    if (keys.Pressed(MenuKey::Decide) && m_slotCursor < kSlotCount)
    {
        m_screen.Frame().Play(MenuSound::Decide);
        EnterState(EquipState::ItemChoice);
        // The pointer goes where the keys' cursor is, as every key move
        // takes it, rather than pick the row under the panel's centre.
        const int32_t chosen = m_slotCursor;
        MenuScene::MoveMouseTo(m_screen.Frame(),
                               RowRect(chosen, m_listCursors[chosen] - m_listOffsets[chosen]).Centre());
        return;
    }
    if (keys.Pressed(MenuKey::Decide) && m_slotCursor == kBackButton)
    {
        m_screen.Frame().Play(MenuSound::Cancel);
        EnterState(EquipState::FadeOut, EquipState::LeaveToTitle);
        return;
    }
    if (keys.Pressed(MenuKey::Cancel) || keys.Pressed(MenuKey::AltClick))
    {
        m_screen.Frame().Play(MenuSound::Cancel);
        EnterState(EquipState::CharacterChoice);
        return;
    }
    if (UpdateButtons())
        return;
    UpdatePanels();
    UpdateArrows();
}

void CEquipScene::UpdateItemChoice()
{
    const MenuKeys& keys = m_screen.Frame().Keys();
    const int32_t slot = m_slotCursor;
    const uint32_t count = static_cast<uint32_t>(GetCandidates(slot).size());
    uint32_t& cursor = m_listCursors[slot];
    uint32_t& offset = m_listOffsets[slot];
    bool moved = false;
    if (keys.Pressed(MenuKey::Up) && cursor > 0)
    {
        --cursor;
        offset = std::min(offset, cursor);
        moved = true;
    }
    else if (keys.Pressed(MenuKey::Down) && cursor + 1 < count)
    {
        ++cursor;
        if (offset + kRowsPerPanel <= cursor)
            offset = cursor - (kRowsPerPanel - 1);
        moved = true;
    }
    if (moved)
    {
        MenuScene::MoveMouseTo(m_screen.Frame(), RowRect(slot, cursor - offset).Centre());
        m_screen.Frame().Play(MenuSound::Cursor);
    }
    if (keys.Pressed(MenuKey::Decide))
    {
        ApplyChosen();
        return;
    }
    if (keys.Pressed(MenuKey::Cancel) || keys.Pressed(MenuKey::AltClick))
    {
        m_screen.Frame().Play(MenuSound::Cancel);
        EnterState(EquipState::SlotChoice);
        return;
    }
    for (uint32_t row = 0; row < kRowsPerPanel && offset + row < count; ++row)
    {
        const MenuButtonResult button = MenuButton(m_screen.Frame(), kRowId + 10 * slot + static_cast<int32_t>(row),
                                                   RowRect(slot, row), cursor == offset + row);
        if (!button.hovered)
            continue;
        if (cursor != offset + row)
        {
            cursor = offset + row;
            m_screen.Frame().Play(MenuSound::Cursor);
        }
        if (button.clicked)
        {
            ApplyChosen();
            return;
        }
    }
    UpdatePanelScroll(slot, count);
}

void CEquipScene::UpdatePanelScroll(int32_t slot, uint32_t count)
{
    const MenuKeys& keys = m_screen.Frame().Keys();
    const MenuRect bar = ScrollBarRect(slot);
    const MenuPoint pointer = keys.Cursor();
    if (!keys.Held(MenuKey::Click) || pointer.x < bar.left || pointer.x > bar.right)
        return;
    const uint32_t offset = MenuScene::ScrollOffset(pointer.y, bar, MenuScene::OffsetPositions(count, kRowsPerPanel));
    if (offset == m_listOffsets[slot])
        return;
    m_listOffsets[slot] = offset;
    m_screen.Frame().Play(MenuSound::Cursor);
}

bool CEquipScene::UpdateButtons()
{
    const MenuButtonResult reset =
        MenuButton(m_screen.Frame(), kDefaultId, DefaultRect(), m_slotCursor == kDefaultButton, "default");
    const MenuButtonResult back =
        MenuButton(m_screen.Frame(), kBackId, CPreviewScreen::BackRect(), m_slotCursor == kBackButton, "back");
    if (reset.hovered)
        m_slotCursor = kDefaultButton;
    if (reset.clicked || (m_screen.Frame().Keys().Pressed(MenuKey::Decide) && m_slotCursor == kDefaultButton))
    {
        ResetToDefault();
        BuildPreview();
        m_screen.Frame().Play(MenuSound::Decide);
    }
    if (back.hovered)
        m_slotCursor = kBackButton;
    if (!back.clicked)
        return false;
    m_screen.Frame().Play(MenuSound::Cancel);
    EnterState(EquipState::FadeOut, EquipState::LeaveToTitle);
    return true;
}

void CEquipScene::UpdatePanels()
{
    for (int32_t slot = 0; slot < kSlotCount; ++slot)
    {
        const MenuButtonResult panel = MenuButton(m_screen.Frame(), kPanelId + slot, PanelRect(slot),
                                                  m_slotCursor == slot, EquipSheet::kSlotNameTexts[slot]);
        if (!panel.hovered)
            continue;
        if (m_slotCursor != slot)
        {
            m_slotCursor = slot;
            m_screen.Frame().Play(MenuSound::Cursor);
        }
        if (panel.clicked)
        {
            m_screen.Frame().Play(MenuSound::Decide);
            EnterState(EquipState::ItemChoice);
        }
        return;
    }
}

void CEquipScene::UpdateArrows()
{
    if (MenuButton(m_screen.Frame(), kPreviousArrowId, kPreviousArrow, false, "previous").clicked)
        ChangeCharacter(-1, MenuSound::Decide);
    else if (MenuButton(m_screen.Frame(), kNextArrowId, kNextArrow, false, "next").clicked)
        ChangeCharacter(+1, MenuSound::Decide);
}

// ---------------------------------------------------------------------------
// Drawing

namespace
{
// A colour that is not a role of the toolkit: the slots without the cursor.
constexpr uint32_t kOtherPanelRgb = 0x646464u;
}

int CEquipScene::Render(uintptr_t)
{
    const CMenuPainter painter = m_screen.BeginRender(EquipSheet::kTitle);
    const uint32_t white = m_screen.Color(MenuRole::Focused);
    painter.Picture(m_screen.Sheet(), EquipSheet::kDefaultButton, kDefaultAt,
                    m_screen.ButtonColor(m_slotCursor == kDefaultButton));
    m_screen.DrawBackButton(painter, m_slotCursor == kBackButton);
    for (int32_t slot = 0; slot < kSlotCount; ++slot)
        RenderPanel(painter, slot);
    RenderArrows(painter);
    if (const CCharacterDefinition* character = Definition())
        painter.Text(m_screen.Font(), {kNameAt.x, kNameAt.y, kNameAt.x, kNameAt.y}, MenuAnchor::Centre, kNameSize,
                     white, character->name);
    m_screen.DrawNotice(painter, kNotice, GameText("セーブできませんでした。装備は元に戻りました"));
    g_pController->DrawCursor();
    return 1;
}

void CEquipScene::RenderPanel(const CMenuPainter& painter, int32_t slot) const
{
    const uint32_t color = m_slotCursor == slot ? m_screen.Color(MenuRole::Focused) : m_screen.Tint(kOtherPanelRgb);
    const MenuRect panel = PanelRect(slot);
    painter.Frame(m_screen.Sheet(), ShopSheet::kFrame, ShopSheet::kFrameBorder, panel, color);
    const std::vector<uint32_t> candidates = GetCandidates(slot);
    const uint32_t count = static_cast<uint32_t>(candidates.size());
    const uint32_t positions = MenuScene::OffsetPositions(count, kRowsPerPanel);
    const MenuRect bar = ScrollBarRect(slot);
    painter.PictureInto(m_screen.Sheet(), ShopSheet::kScrollTrack, bar, color);
    const float knobStep = (bar.Height() - kKnobHeight) / static_cast<float>(positions);
    const float knobTop = bar.top + static_cast<float>(m_listOffsets[slot]) * knobStep;
    painter.PictureInto(m_screen.Sheet(), ShopSheet::kScrollKnob, {bar.left, knobTop, bar.right, knobTop + kKnobHeight},
                        color);
    painter.Picture(m_screen.Sheet(), EquipSheet::kSlotNames[slot],
                    {panel.left + kSlotNameAt.x, panel.top + kSlotNameAt.y}, color);
    const CCharacter* preview = m_screen.Preview().Get();
    const CClothesDefinition* worn = preview != nullptr ? preview->GetClothes(static_cast<uint32_t>(slot)) : nullptr;
    const uint32_t offset = m_listOffsets[slot];
    for (uint32_t row = 0; row < kRowsPerPanel && offset + row < count; ++row)
    {
        const CClothesDefinition* clothes = SceneGameData::Clothes(candidates[offset + row]);
        if (clothes == nullptr)
            continue;
        const float down = kRowPitch * static_cast<float>(row);
        if (m_state == EquipState::ItemChoice && m_slotCursor == slot && m_listCursors[slot] == offset + row)
            painter.PictureInto(m_screen.Sheet(), ShopSheet::kHighlight,
                                kFirstHighlight.Offset(panel.left, panel.top + down), color);
        if (worn == clothes)
            painter.Picture(m_screen.Sheet(), EquipSheet::kWornMark,
                            {panel.left + kFirstMarkAt.x, panel.top + kFirstMarkAt.y + down}, color);
        const MenuRect rect = RowRect(slot, row);
        painter.TextFit(m_screen.Font(), rect, MenuAnchor::Left, kRowTextSize, color, clothes->name);
    }
}

void CEquipScene::RenderArrows(const CMenuPainter& painter) const
{
    const uint32_t color = m_screen.Color(MenuRole::Focused);
    // The title's ring arrows, a quarter turn to point sideways: each away
    // from the name.
    const bool previousLit = m_screen.Frame().HitTest(kPreviousArrow);
    const bool nextLit = m_screen.Frame().HitTest(kNextArrow);
    painter.Picture(m_screen.Sheet(), previousLit ? TitleSheet::kLitArrow : TitleSheet::kArrow, kPreviousArrow.Centre(),
                    color, MenuAnchor::Centre, 1.0f, KVRDRAWFLIP_ANTICLOCKWISE);
    painter.Picture(m_screen.Sheet(), nextLit ? TitleSheet::kLitArrow : TitleSheet::kArrow, kNextArrow.Centre(), color,
                    MenuAnchor::Centre, 1.0f, KVRDRAWFLIP_CLOCKWISE);
}
