// The shop: the list of unlocked weapons and clothes, buying, the preview.
//
// Sections: set-up; the list and buying; update, one function per state
// and step; drawing (layout table above it).
#include "game/scene/CShopScene.h"

#include "engine/core/FailureLog.h"
#include "engine/core/GameText.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/GameServices.h"
#include "game/app/tag_TOLQSCENEPARAM.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuButton.h"
#include "game/scene/MenuScene.h"
#include "game/scene/SceneGameData.h"
#include "game/scene/ShopSheet.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
constexpr uint32_t kRingItem = 4;
// The preview's camera, in world units: the fighter stands right of the
// middle, clear of the list.
constexpr float kEye[3] = {-0.4f, 0.7f, -3.2f};
constexpr float kTarget[3] = {-0.4f, 0.7f, 0.0f};

tag_TOLQPLAYDATA* PlayData()
{
    return g_pController->GetGameConfig()->GetPlayData();
}

// The unlock record of a list item, or null past the play data's table.
tag_TOLQUNLOCKDATA* UnlockRecord(CShopScene::ShopCategory category, uint32_t index)
{
    std::vector<tag_TOLQUNLOCKDATA>& table =
        category == CShopScene::ShopCategory::Weapons ? PlayData()->weapons : PlayData()->clothes;
    return index < table.size() ? &table[index] : nullptr;
}

uint32_t ListCount(CShopScene::ShopCategory category)
{
    return category == CShopScene::ShopCategory::Weapons ? SceneGameData::WeaponCount()
                                                         : SceneGameData::ClothesCount();
}

uint32_t Price(CShopScene::ShopCategory category, uint32_t index)
{
    if (category == CShopScene::ShopCategory::Weapons)
    {
        const CWeaponDefinition* weapon = SceneGameData::Weapon(index);
        return weapon != nullptr ? weapon->price : CShopScene::kNoPrice;
    }
    const CClothesDefinition* clothes = SceneGameData::Clothes(index);
    return clothes != nullptr ? clothes->price : CShopScene::kNoPrice;
}

uint32_t CharacterMask(CShopScene::ShopCategory category, uint32_t index)
{
    if (category == CShopScene::ShopCategory::Weapons)
    {
        const CWeaponDefinition* weapon = SceneGameData::Weapon(index);
        return weapon != nullptr ? weapon->characterMask : 0;
    }
    const CClothesDefinition* clothes = SceneGameData::Clothes(index);
    return clothes != nullptr ? clothes->characterMask : 0;
}

// The first character of the list that may use an item of that mask.
const CCharacterDefinition* FirstUser(uint32_t characterMask)
{
    for (uint32_t i = 0; i < SceneGameData::CharacterCount(); ++i)
    {
        const CCharacterDefinition* character = SceneGameData::Character(i);
        if (character != nullptr && (character->ownBit & characterMask) != 0)
            return character;
    }
    return nullptr;
}
}

// ---------------------------------------------------------------------------
// Set-up

CShopScene::CShopScene() = default;

CShopScene::~CShopScene()
{
    Release();
}

int CShopScene::Init(uintptr_t parameter)
{
    const tag_TOLQSCENEPARAM* param = SceneParam(parameter);
    m_screen.Open(param, kEye, kTarget);
    m_state = ShopState::FadeIn;
    m_cursor = 0;
    m_category = ShopCategory::Weapons;
    m_offset = 0;
    if (param != nullptr)
    {
        m_state = static_cast<ShopState>(std::min<uint32_t>(param->step, static_cast<uint32_t>(ShopState::Shopping)));
        m_cursor = std::min<uint32_t>(param->item, kVisibleRows - 1);
    }
    FillListed();
    BuildPreview();
    return 1;
}

uint32_t CShopScene::Release()
{
    m_screen.Close();
    return CResourceBase::Release();
}

void CShopScene::EnterState(ShopState state, ShopState next)
{
    m_state = state;
    m_next = next;
}

// ---------------------------------------------------------------------------
// The list and buying

void CShopScene::FillListed()
{
    m_listed.clear();
    for (uint32_t i = 0; i < ListCount(m_category); ++i)
    {
        const tag_TOLQUNLOCKDATA* record = UnlockRecord(m_category, i);
        if (record != nullptr && record->unlocked != 0)
            m_listed.push_back(i);
    }
}

uint32_t CShopScene::GetVisibleRows() const
{
    return std::min<uint32_t>(static_cast<uint32_t>(m_listed.size()), kVisibleRows);
}

uint32_t CShopScene::GetOffsetPositions() const
{
    return MenuScene::OffsetPositions(static_cast<uint32_t>(m_listed.size()), kVisibleRows);
}

int32_t CShopScene::GetSelectedItem() const
{
    const uint32_t at = m_offset + m_cursor;
    return at < m_listed.size() ? static_cast<int32_t>(m_listed[at]) : -1;
}

uint32_t CShopScene::GetSelectedPrice() const
{
    const int32_t item = GetSelectedItem();
    return item >= 0 ? Price(m_category, static_cast<uint32_t>(item)) : kNoPrice;
}

tag_TOLQUNLOCKDATA* CShopScene::SelectedRecord() const
{
    const int32_t item = GetSelectedItem();
    return item >= 0 ? UnlockRecord(m_category, static_cast<uint32_t>(item)) : nullptr;
}

bool CShopScene::IsBought(uint32_t listIndex) const
{
    const tag_TOLQUNLOCKDATA* record = UnlockRecord(m_category, listIndex);
    return record != nullptr && record->owned != 0;
}

CShopScene::BuyResult CShopScene::Buy()
{
    tag_TOLQUNLOCKDATA* record = SelectedRecord();
    const uint32_t price = GetSelectedPrice();
    tag_TOLQPLAYDATA* data = PlayData();
    if (record == nullptr || record->owned != 0 || price == kNoPrice || data->points < price)
        return BuyResult::Refused;
    const uint32_t owned = record->owned;
    const uint32_t points = data->points;
    record->owned = 1;
    data->points -= price;
    if (g_pController->GetGameConfig()->SavePlayData() != 0)
        return BuyResult::Bought;
    // What is not saved is not bought: the points and the item stay as the
    // saved play data has them.
    record->owned = owned;
    data->points = points;
    LogFailure("shop: the play data can't be saved; the buy is taken back",
               g_pController->GetGameConfig()->GetFolder().c_str());
    return BuyResult::SaveFailed;
}

void CShopScene::TryBuy()
{
    switch (Buy())
    {
    case BuyResult::Bought:
        m_screen.Frame().Play(MenuSound::Decide);
        return;
    case BuyResult::SaveFailed:
        m_screen.Frame().Play(MenuSound::Error);
        m_screen.ShowNotice();
        return;
    case BuyResult::Refused:
        return;
    }
}

void CShopScene::BuildPreview()
{
    const int32_t item = GetSelectedItem();
    if (item < 0)
    {
        m_screen.Preview().Clear();
        return;
    }
    const uint32_t index = static_cast<uint32_t>(item);
    const CCharacterDefinition* user = FirstUser(CharacterMask(m_category, index));
    if (m_category == ShopCategory::Weapons)
    {
        m_screen.Preview().Show(user, nullptr, 0, SceneGameData::Weapon(index));
        return;
    }
    const CClothesDefinition* clothes = SceneGameData::Clothes(index);
    m_screen.Preview().Show(user, &clothes, 1, nullptr);
}

// ---------------------------------------------------------------------------
// Update

int CShopScene::Update(uintptr_t)
{
    const uint32_t milliseconds = m_screen.BeginUpdate();
    if (m_state != ShopState::Shopping)
        ReportItems();
    switch (m_state)
    {
    case ShopState::FadeIn:
        if (m_screen.FadeIn(milliseconds))
            EnterState(ShopState::Shopping);
        break;
    case ShopState::Shopping:
        UpdateCategory();
        UpdateList();
        if (m_state == ShopState::Shopping && m_screen.Frame().Keys().AnyPressed({MenuKey::Cancel, MenuKey::AltClick}))
        {
            m_screen.Frame().Play(MenuSound::Cancel);
            EnterState(ShopState::FadeOut, ShopState::LeaveToTitle);
        }
        break;
    case ShopState::FadeOut:
        if (m_screen.FadeOut(milliseconds))
            EnterState(m_next);
        break;
    case ShopState::Leave:
    case ShopState::LeaveToTitle:
        EnterState(ShopState::FadeIn);
        return m_screen.LeaveToTitle(kRingItem);
    }
    m_screen.StepPreview(milliseconds);
    return 1;
}

void CShopScene::ChooseCategory(ShopCategory category)
{
    m_category = category;
    m_cursor = 0;
    m_offset = 0;
    FillListed();
    m_screen.Frame().Play(MenuSound::Cursor);
    BuildPreview();
}

namespace
{
// Shop screen, in 1024 x 768 layout units: the tabs over the list window,
// the window with eight rows 28 apart from (56, 152), the scroll bar down
// its right edge, the back button at the foot.
constexpr MenuPoint kWeaponTabAt{83.0f, 108.0f};
constexpr MenuPoint kClothesTabAt{159.0f, 108.0f};
constexpr MenuRect kListWindow{.left = 32, .top = 120, .right = 428, .bottom = 664};
constexpr MenuPoint kRowOrigin{56.0f, 152.0f};
constexpr float kRowPitch = 28.0f;
constexpr float kRowWidth = 348.0f;
constexpr float kHighlightHeight = 24.0f;
// The bar: 8 wide, 20 in from the window's right edge, 256 tall from 20
// below its top; the knob 16 tall.
constexpr MenuRect kScrollBar{.left = 428 - 20, .top = 120 + 20, .right = 428 - 12, .bottom = 120 + 20 + 256};
constexpr float kKnobHeight = 16.0f;

MenuRect RowRect(uint32_t row)
{
    return MenuRect::At(kRowOrigin.x, kRowOrigin.y + kRowPitch * static_cast<float>(row), kRowWidth, kRowPitch);
}

MenuRect WeaponTabRect()
{
    return ShopSheet::kWeaponTab.PlacedAt(kWeaponTabAt.x, kWeaponTabAt.y);
}

MenuRect ClothesTabRect()
{
    return ShopSheet::kClothesTab.PlacedAt(kClothesTabAt.x, kClothesTabAt.y);
}
}

void CShopScene::ReportItems()
{
    MenuButton(m_screen.Frame(), kWeaponTabId, WeaponTabRect(), m_category == ShopCategory::Weapons, "weapons");
    MenuButton(m_screen.Frame(), kClothesTabId, ClothesTabRect(), m_category == ShopCategory::Clothes, "clothes");
    MenuButton(m_screen.Frame(), kBackId, CPreviewScreen::BackRect(), false, "back");
    for (uint32_t row = 0; row < GetVisibleRows(); ++row)
        MenuButton(m_screen.Frame(), kRowId + static_cast<int32_t>(row), RowRect(row), row == m_cursor);
    m_screen.Frame().Report(kScrollBarId, kScrollBar, MenuItemState::Normal, "scroll bar");
}

void CShopScene::UpdateCategory()
{
    const MenuButtonResult weapons =
        MenuButton(m_screen.Frame(), kWeaponTabId, WeaponTabRect(), m_category == ShopCategory::Weapons, "weapons");
    const MenuButtonResult clothes =
        MenuButton(m_screen.Frame(), kClothesTabId, ClothesTabRect(), m_category == ShopCategory::Clothes, "clothes");
    if (weapons.clicked && m_category != ShopCategory::Weapons)
        ChooseCategory(ShopCategory::Weapons);
    else if (clothes.clicked && m_category != ShopCategory::Clothes)
        ChooseCategory(ShopCategory::Clothes);
    // Two tabs: either key turns to the other, and the pointer goes to the
    // first row with the cursor, as every key move takes it.
    const MenuKeys& keys = m_screen.Frame().Keys();
    if (!keys.Pressed(MenuKey::Left) && !keys.Pressed(MenuKey::Right))
        return;
    ChooseCategory(m_category == ShopCategory::Weapons ? ShopCategory::Clothes : ShopCategory::Weapons);
    MenuScene::MoveMouseTo(m_screen.Frame(), RowRect(m_cursor).Centre());
}

void CShopScene::UpdateList()
{
    if (UpdateBackButton())
        return;
    UpdateRows();
    if (UpdateCursorKeys())
        return;
    if (m_screen.Frame().Keys().Held(MenuKey::Decide))
        TryBuy();
    else
        UpdateScrollBar();
}

bool CShopScene::UpdateBackButton()
{
    const MenuButtonResult back = MenuButton(m_screen.Frame(), kBackId, CPreviewScreen::BackRect(), false, "back");
    if (!back.clicked && !(back.hovered && m_screen.Frame().Keys().Held(MenuKey::Decide)))
        return false;
    m_screen.Frame().Play(MenuSound::Cancel);
    EnterState(ShopState::FadeOut, ShopState::LeaveToTitle);
    return true;
}

void CShopScene::UpdateRows()
{
    for (uint32_t row = 0; row < GetVisibleRows(); ++row)
    {
        const MenuButtonResult button =
            MenuButton(m_screen.Frame(), kRowId + static_cast<int32_t>(row), RowRect(row), row == m_cursor);
        if (!button.hovered)
            continue;
        if (row != m_cursor)
        {
            m_cursor = row;
            BuildPreview();
        }
        if (button.clicked)
            TryBuy();
    }
}

bool CShopScene::UpdateCursorKeys()
{
    const MenuKeys& keys = m_screen.Frame().Keys();
    if (keys.Pressed(MenuKey::Up))
        MoveCursor(-1);
    else if (keys.Pressed(MenuKey::Down))
        MoveCursor(+1);
    else
        return false;
    return true;
}

void CShopScene::MoveCursor(int step)
{
    const uint32_t visible = GetVisibleRows();
    const uint32_t lastOffset = GetOffsetPositions() - 1;
    // An empty list keeps the cursor on the first row.
    if (visible > 0 && step < 0)
    {
        if (m_cursor == 0 && m_offset == 0)
        {
            m_cursor = visible - 1;
            m_offset = lastOffset;
        }
        else if (m_cursor == 0)
            --m_offset;
        else
            --m_cursor;
    }
    else if (visible > 0)
    {
        if (m_cursor == visible - 1 && m_offset == lastOffset)
        {
            m_cursor = 0;
            m_offset = 0;
        }
        else if (m_cursor < visible - 1)
            ++m_cursor;
        else
            ++m_offset;
    }
    m_screen.Frame().Play(MenuSound::Cursor);
    BuildPreview();
    MenuScene::MoveMouseTo(m_screen.Frame(), RowRect(m_cursor).Centre());
}

void CShopScene::UpdateScrollBar()
{
    const MenuKeys& keys = m_screen.Frame().Keys();
    const MenuRect track{kScrollBar.left, kListWindow.top, kScrollBar.right, kListWindow.bottom};
    m_screen.Frame().Report(kScrollBarId, kScrollBar, MenuItemState::Normal, "scroll bar");
    const MenuPoint cursor = keys.Cursor();
    if (!keys.Held(MenuKey::Click) || cursor.x < track.left || cursor.x > track.right)
        return;
    const uint32_t offset = MenuScene::ScrollOffset(cursor.y, kScrollBar, GetOffsetPositions());
    if (offset == m_offset)
        return;
    m_offset = offset;
    m_screen.Frame().Play(MenuSound::Cursor);
    BuildPreview();
}

// ---------------------------------------------------------------------------
// Drawing

namespace
{
// Shop screen details, in 1024 x 768 layout units (the list's places are
// above UpdateCategory): a row's icon, name box, price and "SOLD OUT" from
// its left; the detail labels at x 96 from y 404, stars 18 apart from
// x 160; the description from (68, 560); the points panel at the top
// right, its digits ending at x 968.
constexpr float kIconSize = 24.0f;
constexpr float kNameX = 32.0f;
constexpr float kNameWidth = 208.0f;
constexpr float kPriceRight = 308.0f;
constexpr float kUnitX = 312.0f;
constexpr float kSoldOutX = 168.0f;
// A bought item's name keeps this far left of "SOLD OUT".
constexpr float kSoldOutGap = 12.0f;
constexpr float kRowTextSize = 20.0f;
constexpr float kLabelX = 96.0f;
constexpr float kValueX = 196.0f;
constexpr float kRankY = 404.0f;
constexpr float kPowerY = 436.0f;
constexpr float kSpeedY = 460.0f;
constexpr float kRangeY = 484.0f;
constexpr float kReloadY = 508.0f;
constexpr float kAmmoY = 532.0f;
constexpr float kUsersY = 404.0f;
constexpr float kUserPitch = 24.0f;
// A label keeps this far left of its value.
constexpr float kLabelGap = 8.0f;
constexpr float kStarX = 160.0f;
constexpr float kStarPitch = 18.0f;
// Stars stop at the window's edge, whatever the value.
constexpr uint32_t kMaxStars = static_cast<uint32_t>((kListWindow.right - 16.0f - kStarX) / kStarPitch);
constexpr MenuRect kDescription{.left = 68, .top = 560, .right = 404, .bottom = 648};
constexpr float kDescriptionLine = 24.0f;
// The characters who may wear an item stand in columns above the
// description, as many columns as they need inside the window.
constexpr uint32_t kUsersPerColumn = static_cast<uint32_t>((kDescription.top - kUsersY) / kUserPitch);
constexpr float kUsersRight = kListWindow.right - 16.0f;
constexpr float kDetailTextSize = 20.0f;
constexpr MenuRect kPointsPanel{.left = 848, .top = 112, .right = 1012, .bottom = 180};
constexpr MenuPoint kDigitsEnd{968.0f, 136.0f};
constexpr MenuPoint kUnitAt{968.0f, 144.0f};
constexpr uint32_t kMaxDigits = 5;
constexpr MenuRect kNotice{.left = 448, .top = 600, .right = 1000, .bottom = 648};
// Colours that are not a role of the toolkit.
constexpr uint32_t kOtherTabRgb = 0x646464u;

// A detail label's box: from the labels' column to just short of the
// values'.
MenuRect LabelBox(float y)
{
    return MenuRect::At(kLabelX, y, kValueX - kLabelGap - kLabelX, kUserPitch);
}

// The lowest slot of a clothes item, 0 when it names none.
int FirstSlot(uint16_t slotMask)
{
    for (int slot = 0; slot < ShopSheet::kClothesIconCount; ++slot)
    {
        if ((slotMask & (1u << slot)) != 0)
            return slot;
    }
    return 0;
}

// A detail label from its left, at y.
MenuRect At(float x, float y)
{
    return {x, y, x, y};
}
}

int CShopScene::Render(uintptr_t)
{
    const CMenuPainter painter = m_screen.BeginRender(ShopSheet::kTitle);
    m_screen.DrawBackButton(painter, m_screen.Frame().HitTest(CPreviewScreen::BackRect()));
    RenderList(painter);
    const int32_t item = GetSelectedItem();
    if (item >= 0 && m_category == ShopCategory::Weapons && SceneGameData::Weapon(static_cast<uint32_t>(item)))
        RenderWeaponDetail(painter, *SceneGameData::Weapon(static_cast<uint32_t>(item)));
    if (item >= 0 && m_category == ShopCategory::Clothes && SceneGameData::Clothes(static_cast<uint32_t>(item)))
        RenderClothesDetail(painter, *SceneGameData::Clothes(static_cast<uint32_t>(item)));
    RenderPoints(painter);
    RenderNotice(painter);
    g_pController->DrawCursor();
    return 1;
}

void CShopScene::RenderList(const CMenuPainter& painter) const
{
    const float alpha = m_screen.Level();
    const uint32_t white = MenuColor(MenuRole::Focused, alpha);
    painter.Frame(m_screen.Sheet(), ShopSheet::kFrame, ShopSheet::kFrameBorder, kListWindow, white);
    const bool weapons = m_category == ShopCategory::Weapons;
    painter.Picture(m_screen.Sheet(), ShopSheet::kWeaponTab, kWeaponTabAt,
                    weapons ? white : m_screen.Tint(kOtherTabRgb));
    painter.Picture(m_screen.Sheet(), ShopSheet::kClothesTab, kClothesTabAt,
                    weapons ? m_screen.Tint(kOtherTabRgb) : white);
    painter.PictureInto(m_screen.Sheet(), ShopSheet::kScrollTrack, kScrollBar, white);
    const float knobTop =
        kScrollBar.top + static_cast<float>(m_offset) * ((kScrollBar.Height() - kKnobHeight) / GetOffsetPositions());
    painter.PictureInto(m_screen.Sheet(), ShopSheet::kScrollKnob,
                        {kScrollBar.left, knobTop, kScrollBar.right, knobTop + kKnobHeight}, white);
    for (uint32_t row = 0; row < GetVisibleRows(); ++row)
        RenderRow(painter, row);
}

void CShopScene::RenderRow(const CMenuPainter& painter, uint32_t row) const
{
    const uint32_t at = m_offset + row;
    if (at >= m_listed.size())
        return;
    const uint32_t index = m_listed[at];
    const float alpha = m_screen.Level();
    const MenuRect rect = RowRect(row);
    const bool bought = IsBought(index);
    const uint32_t price = Price(m_category, index);
    const bool available = !bought && price != kNoPrice && PlayData()->points >= price;
    // A row that can't be bought reads grey on the window's dark blue, not
    // dark on dark.
    const uint32_t color = MenuColor(available ? MenuRole::Focused : MenuRole::Dimmed, alpha);
    if (row == m_cursor)
        painter.PictureInto(m_screen.Sheet(), ShopSheet::kHighlight,
                            {rect.left, rect.top, rect.right, rect.top + kHighlightHeight},
                            MenuColor(MenuRole::Focused, alpha));
    const char* name = "";
    MenuCell icon = ShopSheet::WeaponIcon(0);
    if (m_category == ShopCategory::Weapons && SceneGameData::Weapon(index) != nullptr)
    {
        const CWeaponDefinition& weapon = *SceneGameData::Weapon(index);
        name = weapon.name;
        icon = ShopSheet::WeaponIcon(std::min<int>(weapon.iconClass, ShopSheet::kWeaponIconCount - 1));
    }
    else if (SceneGameData::Clothes(index) != nullptr)
    {
        const CClothesDefinition& clothes = *SceneGameData::Clothes(index);
        name = clothes.name;
        icon = ShopSheet::ClothesIcon(FirstSlot(clothes.slotMask));
    }
    painter.PictureInto(m_screen.Sheet(), icon, MenuRect::At(rect.left, rect.top, kIconSize, kIconSize),
                        MenuColor(MenuRole::Focused, alpha));
    // Names are game texts already; a bought one ends short of "SOLD OUT".
    float nameWidth = kNameWidth;
    if (bought)
    {
        const MenuRect soldOut = painter.MeasureText(m_screen.Font(), MenuPoint{rect.left + kSoldOutX, rect.top},
                                                     MenuAnchor::Top, kRowTextSize, 1.0f, "SOLD OUT");
        nameWidth = std::min(nameWidth, soldOut.left - kSoldOutGap - (rect.left + kNameX));
    }
    painter.TextFit(m_screen.Font(), MenuRect::At(rect.left + kNameX, rect.top, nameWidth, kIconSize),
                    MenuAnchor::TopLeft, kRowTextSize, color, name);
    char text[16];
    std::snprintf(text, sizeof text, "%u", price);
    painter.Text(m_screen.Font(), At(rect.left + kPriceRight, rect.top), MenuAnchor::TopRight, kRowTextSize, color,
                 text);
    painter.Text(m_screen.Font(), At(rect.left + kUnitX, rect.top), MenuAnchor::TopLeft, kRowTextSize, color, "ELP");
    if (bought)
        painter.Text(m_screen.Font(), At(rect.left + kSoldOutX, rect.top), MenuAnchor::Top, kRowTextSize,
                     MenuColor(MenuRole::Focused, alpha), "SOLD OUT");
}

void CShopScene::RenderStars(const CMenuPainter& painter, float y, uint32_t count) const
{
    const uint32_t color = m_screen.Color(MenuRole::Focused);
    for (uint32_t k = 0; k < std::min(count, kMaxStars); ++k)
        painter.Picture(m_screen.Sheet(), ShopSheet::kStar, {kStarX + kStarPitch * static_cast<float>(k), y}, color);
}

void CShopScene::RenderWeaponDetail(const CMenuPainter& painter, const CWeaponDefinition& weapon) const
{
    const float alpha = m_screen.Level();
    const uint32_t white = MenuColor(MenuRole::Focused, alpha);
    const uint32_t grey = MenuColor(MenuRole::Dimmed, alpha);
    char text[16];
    painter.TextFit(m_screen.Font(), LabelBox(kRankY), MenuAnchor::TopLeft, kDetailTextSize, white,
                    GameText("武器ランク"));
    std::snprintf(text, sizeof text, "%u", weapon.rank);
    painter.Text(m_screen.Font(), At(kValueX, kRankY), MenuAnchor::TopLeft, kDetailTextSize, white, text);
    struct Stars
    {
        const char* label;
        float y;
        uint8_t value;
    };
    const Stars rows[] = {{"威力", kPowerY, weapon.power}, {"速度", kSpeedY, weapon.speed},
                          {"射程", kRangeY, weapon.range}, {"再装填", kReloadY, weapon.reload}};
    for (const Stars& row : rows)
    {
        // Only the reload may be missing: its label greys then.
        const bool none = row.y == kReloadY && row.value == 0;
        painter.Text(m_screen.Font(), At(kLabelX, row.y), MenuAnchor::TopLeft, kDetailTextSize, none ? grey : white,
                     GameText(row.label));
        RenderStars(painter, row.y, row.value);
    }
    const uint32_t ammunition = weapon.format == CWeaponDefinition::FORMAT_SHORT ? 0 : weapon.capacity;
    painter.Text(m_screen.Font(), At(kLabelX, kAmmoY), MenuAnchor::TopLeft, kDetailTextSize,
                 ammunition == 0 ? grey : white, GameText("装弾数"));
    std::snprintf(text, sizeof text, "%u", ammunition);
    painter.Text(m_screen.Font(), At(kStarX, kAmmoY), MenuAnchor::TopLeft, kDetailTextSize,
                 ammunition == 0 ? grey : white, ammunition == 0 ? "--" : text);
    painter.TextWrapped(m_screen.Font(), kDescription, kDescriptionLine, kDetailTextSize, white,
                        ToGameText(weapon.description).c_str());
}

void CShopScene::RenderClothesDetail(const CMenuPainter& painter, const CClothesDefinition& clothes) const
{
    const uint32_t white = m_screen.Color(MenuRole::Focused);
    painter.TextFit(m_screen.Font(), LabelBox(kUsersY), MenuAnchor::TopLeft, kDetailTextSize, white,
                    GameText("装備キャラ"));
    std::vector<const char*> users;
    for (uint32_t i = 0; i < SceneGameData::CharacterCount(); ++i)
    {
        const CCharacterDefinition* character = SceneGameData::Character(i);
        if (character != nullptr && (character->ownBit & clothes.characterMask) != 0)
            users.push_back(character->name);
    }
    const uint32_t count = static_cast<uint32_t>(users.size());
    const uint32_t columns = std::max<uint32_t>(1, (count + kUsersPerColumn - 1) / kUsersPerColumn);
    const float columnWidth = (kUsersRight - kValueX) / static_cast<float>(columns);
    for (uint32_t k = 0; k < count; ++k)
    {
        const float x = kValueX + columnWidth * static_cast<float>(k / kUsersPerColumn);
        const float y = kUsersY + kUserPitch * static_cast<float>(k % kUsersPerColumn);
        painter.TextFit(m_screen.Font(), MenuRect::At(x, y, columnWidth - kLabelGap, kUserPitch), MenuAnchor::TopLeft,
                        kDetailTextSize, white, users[k]);
    }
    painter.TextWrapped(m_screen.Font(), kDescription, kDescriptionLine, kDetailTextSize, white,
                        ToGameText(clothes.description).c_str());
}

void CShopScene::RenderPoints(const CMenuPainter& painter) const
{
    const uint32_t white = m_screen.Color(MenuRole::Focused);
    painter.Frame(m_screen.Sheet(), ShopSheet::kFrame, ShopSheet::kFrameBorder, kPointsPanel, white);
    uint32_t points = std::min(PlayData()->points, kMaxShownPoints);
    // Right to left, without leading zeros: 0 shows one digit.
    float right = kDigitsEnd.x;
    for (uint32_t digit = 0; digit < kMaxDigits; ++digit)
    {
        const MenuCell cell = ShopSheet::Digit(static_cast<int>(points % 10));
        painter.Picture(m_screen.Sheet(), cell, {right, kDigitsEnd.y}, white, MenuAnchor::TopRight);
        right -= cell.Width();
        points /= 10;
        if (points == 0)
            break;
    }
    painter.Picture(m_screen.Sheet(), ShopSheet::kUnit, kUnitAt, white);
}

void CShopScene::RenderNotice(const CMenuPainter& painter) const
{
    m_screen.DrawNotice(painter, kNotice, GameText("セーブできませんでした。購入は取り消されました"));
}
