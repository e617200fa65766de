// The weapon panel and the weapon selection window.
//
// Sections: layout; weapon panel; its pieces; selection window.
#include "game/battle/CConsoleRenderer.h"

#include "game/actor/CCharacter.h"
#include "game/actor/CWeapon.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/battle/ConsoleText.h"
#include "game/battle/tag_TOLQCONSOLESTATE.h"
#include "game/menu/MenuTransitions.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace
{
// The weapon panel, in 1024 x 768 layout units: its place from the
// bottom-right, then its pieces from its top-left corner.
constexpr MenuPoint kPanelAt{8, 8};
// The name, size 20 at 1.2 times, right-aligned in its box and squeezed to
// its 136 units.
constexpr MenuRect kNameBox{.left = 8, .top = 14, .right = 144, .bottom = 54};
constexpr float kNameSize = 20.0f * 1.2f;
constexpr MenuPoint kKindAt{5, 45};
constexpr MenuPoint kDiscAt{147, 7};
// The counter: the rounds' figures side by side from kRoundsAt, the slash,
// and the capacity's figures from where the slash ends.
constexpr MenuPoint kRoundsAt{108, 46};
constexpr MenuPoint kSlashAt{160, 54};
constexpr MenuPoint kGaugeCentre{185, 43};
constexpr float kGaugeRadius = 36.0f;
constexpr float kGaugeStart = -180.0f;
constexpr float kGaugeSweep = 210.0f;
constexpr uint32_t kStateMaximumAttack = 24;

// The selection window: the active list's panel from the bottom-right, the
// other list behind it, the slide and the entries around the current one.
constexpr MenuPoint kSelectionAt{128, 250};
constexpr MenuPoint kOtherListOffset{-80, -40};
constexpr uint32_t kOtherListColor = 0x80808080;
constexpr uint32_t kActiveListColor = 0xFFFFFFFF;
constexpr float kSlideMilliseconds = static_cast<float>(CCharacter::kPaletteSlideMilliseconds);
constexpr float kSlideDistance = 352.0f; // 128 plus the panel's width
constexpr MenuPoint kEntryStep{-30, 100};
constexpr float kEntryStepMilliseconds = 150.0f;
constexpr int32_t kEntriesEachSide = 2;
constexpr float kSideEntryScale = 0.5f;
constexpr MenuPoint kEntryBandAt{102, 75};
constexpr MenuPoint kLevelLabelAt{133, 77};
constexpr MenuPoint kLevelFigureAt{177, 77};
constexpr uint8_t kSelectShort = 1;
constexpr uint8_t kSelectOthers = 2;
constexpr uint8_t kOpening = 1;
constexpr uint8_t kClosing = 2;
constexpr uint8_t kStepUp = 1;
constexpr uint8_t kStepDown = 2;

MenuPoint Along(MenuPoint origin, MenuPoint offset, float scale)
{
    return {origin.x + offset.x * scale, origin.y + offset.y * scale};
}
}

// ---------------------------------------------------------------- weapon panel

// The main weapon; during a maximum attack that holds a weapon of its own,
// that weapon from the attack's first phase on.
void CConsoleRenderer::DrawWeaponPanel()
{
    WeaponView view;
    const CWeaponDefinition* attackWeapon = m_focused->GetStateBlock()->actionState == kStateMaximumAttack
                                                ? m_focused->GetElementAttackWeapon()
                                                : nullptr;
    if (attackWeapon != nullptr)
    {
        view.definition = attackWeapon;
        view.counted = attackWeapon->format != CWeaponDefinition::FORMAT_SHORT;
        view.count = view.capacity = attackWeapon->capacity;
    }
    else if (const CWeapon* weapon = m_focused->GetMainWeapon())
        view = {weapon->GetDefinition(), weapon->Fires(), weapon->GetAmmo(), weapon->GetMaxAmmo(),
                weapon->GetReloadClock()};
    const MenuRect panel = PlaceRect(m_area, MenuAnchor::BottomRight, {-kPanelAt.x, -kPanelAt.y},
                                     ConsoleSheet::kWeaponPanel.Width(), ConsoleSheet::kWeaponPanel.Height());
    DrawWeaponPiece(view, {panel.left, panel.top}, 1.0f, m_hudColor);
    char name[kNameBytes] = {};
    if (view.definition != nullptr)
        CopyGameText(name, sizeof(name), view.definition->name, sizeof(view.definition->name));
    Report(HudItem::WeaponPanel, 0, panel, name);
}

// A panel at topLeft: its background; with a weapon, its name, kind, gauge
// and counts.
void CConsoleRenderer::DrawWeaponPiece(const WeaponView& weapon, MenuPoint topLeft, float scale, uint32_t color)
{
    Sprite(ConsoleSheet::kWeaponPanel, topLeft, MenuAnchor::TopLeft, color, scale);
    if (weapon.definition == nullptr)
        return;
    char name[kNameBytes];
    CopyGameText(name, sizeof(name), weapon.definition->name, sizeof(weapon.definition->name));
    const MenuPoint nameTopLeft = Along(topLeft, {kNameBox.left, kNameBox.top}, scale);
    m_painter.TextFit(m_resources.small,
                      MenuRect::At(nameTopLeft.x, nameTopLeft.y, kNameBox.Width() * scale, kNameBox.Height() * scale),
                      MenuAnchor::TopRight, kNameSize * scale, color, name);
    const MenuPoint kindAt = Along(topLeft, kKindAt, scale);
    Sprite(ConsoleSheet::kKindFrame, kindAt, MenuAnchor::TopLeft, color, scale);
    const uint32_t kind = std::min<uint32_t>(weapon.definition->iconClass, ConsoleSheet::kKindLabelCount - 1);
    Report(HudItem::KindLabel, kind,
           Sprite(ConsoleSheet::kKindLabels[kind], kindAt, MenuAnchor::TopLeft, color, scale));
    Sprite(ConsoleSheet::kGaugeDisc, Along(topLeft, kDiscAt, scale), MenuAnchor::TopLeft, color, scale);
    DrawCounts(weapon, topLeft, scale, color);
}

// Rounds or uses, the slash and the capacity, with the gauge of what is
// left (of the reload, at half brightness, when empty); dashes on both
// sides of the slash for a close-range weapon.
void CConsoleRenderer::DrawCounts(const WeaponView& weapon, MenuPoint topLeft, float scale, uint32_t color)
{
    const MenuPoint roundsAt = Along(topLeft, kRoundsAt, scale);
    const MenuRect slash = Sprite(ConsoleSheet::kCounterSlash.Inked(0), Along(topLeft, kSlashAt, scale),
                                  MenuAnchor::TopLeft, color, scale);
    const MenuPoint capacityAt{slash.right, slash.top};
    if (!weapon.counted || weapon.capacity == 0)
    {
        const float roundPitch = ConsoleSheet::kRoundDash.InkWidth() * scale;
        const float capacityPitch = ConsoleSheet::kCapacityDash.InkWidth() * scale;
        DrawFigures(ConsoleSheet::kRoundDash, "---", roundsAt, roundPitch, scale, color);
        DrawFigures(ConsoleSheet::kCapacityDash, "---", capacityAt, capacityPitch, scale, color);
        return;
    }
    float fraction = static_cast<float>(weapon.count) / static_cast<float>(weapon.capacity);
    uint32_t gaugeColor = color;
    if (weapon.count == 0)
    {
        const uint32_t reload = weapon.definition->reloadTime;
        fraction = reload != 0 ? static_cast<float>(weapon.reloadClock) / static_cast<float>(reload) : 0.0f;
        gaugeColor = HalfBright(color);
    }
    fraction = std::clamp(fraction, 0.0f, 1.0f);
    m_painter.Sector(m_resources.sheet, ConsoleSheet::kAmmoGauge, Along(topLeft, kGaugeCentre, scale),
                     kGaugeRadius * scale, kGaugeStart, kGaugeStart + kGaugeSweep * fraction, gaugeColor);
    const MenuPoint centre = Along(topLeft, kGaugeCentre, scale);
    Report(HudItem::AmmoGauge, 0,
           {centre.x - kGaugeRadius * scale, centre.y - kGaugeRadius * scale, centre.x + kGaugeRadius * scale,
            centre.y + kGaugeRadius * scale},
           std::to_string(static_cast<int>(fraction * 100.0f)));
    const std::string rounds = ThreeDigits(weapon.count);
    const std::string capacity = ThreeDigits(weapon.capacity);
    Report(HudItem::Rounds, 0,
           DrawFigures(ConsoleSheet::kRoundDigits, rounds, roundsAt, ConsoleSheet::kRoundDigits.InkWidth() * scale,
                       scale, color),
           rounds);
    Report(HudItem::Capacity, 0,
           DrawFigures(ConsoleSheet::kCapacityDigits, capacity, capacityAt,
                       ConsoleSheet::kCapacityDigits.InkWidth() * scale, scale, color),
           capacity);
}

// ---------------------------------------------------------------- selection window

void CConsoleRenderer::ReportPaletteClocks(const tag_TOLQCHARAACTION& action, uint32_t milliseconds)
{
    if (action.selectMode != kSelectShort && action.selectMode != kSelectOthers)
        return;
    auto before = [&](uint32_t clock) { return clock > milliseconds ? clock - milliseconds : 0; };
    const auto slide = static_cast<uint32_t>(kSlideMilliseconds);
    const auto step = static_cast<uint32_t>(kEntryStepMilliseconds);
    MenuTransitions::MovedThrough(before(action.switchClock), action.switchClock, 0, slide);
    MenuTransitions::MovedThrough(before(action.stepClock), action.stepClock, 0, step);
}

// While the fighter picks a weapon: its close-range weapons and its others
// as two lists, the active one in front, sliding in from the right as the
// palette opens and out as it closes.
void CConsoleRenderer::DrawWeaponSelection()
{
    const tag_TOLQCHARAACTION* action = m_focused->GetActionData();
    if (action->selectMode != kSelectShort && action->selectMode != kSelectOthers)
        return;
    const float clock = static_cast<float>(action->switchClock);
    float slide = 0.0f;
    if (action->switchDirection == kOpening)
        slide = (1.0f - std::min(clock, kSlideMilliseconds) / kSlideMilliseconds) * kSlideDistance;
    else if (action->switchDirection == kClosing)
    {
        if (clock >= kSlideMilliseconds)
            return;
        slide = clock / kSlideMilliseconds * kSlideDistance;
    }
    WeaponList lists[2];
    for (uint32_t slot = 0; slot < CCharacter::kWeaponSlots; ++slot)
    {
        if (const CWeapon* weapon = m_focused->GetWeapon(slot))
        {
            WeaponList& list = lists[weapon->IsShort() ? 0 : 1];
            list.weapons[list.count++] = weapon;
        }
    }
    // Each list's current entry: the cursor's weapon, else the hand's, else
    // the other hand's, else its first.
    const CWeapon* wanted[3] = {m_focused->GetSelectedWeapon(), m_focused->GetMainWeapon(),
                                m_focused->GetSubWeapon()};
    for (WeaponList& list : lists)
    {
        for (size_t w = 3; w-- > 0;)
        {
            const CWeapon* const* found = std::find(list.weapons, list.weapons + list.count, wanted[w]);
            if (wanted[w] != nullptr && found != list.weapons + list.count)
                list.current = static_cast<uint32_t>(found - list.weapons);
        }
    }
    const uint32_t active = action->selectMode == kSelectShort ? 0 : 1;
    const MenuRect panel = PlaceRect(m_area, MenuAnchor::BottomRight, {slide - kSelectionAt.x, -kSelectionAt.y},
                                     ConsoleSheet::kWeaponPanel.Width(), ConsoleSheet::kWeaponPanel.Height());
    DrawSelectionList(lists[1 - active], {panel.left + kOtherListOffset.x, panel.top + kOtherListOffset.y},
                      kOtherListColor, static_cast<int32_t>(1 - active));
    DrawSelectionList(lists[active], {panel.left, panel.top}, kActiveListColor, static_cast<int32_t>(active));
}

// Five entries around the current one, wrapping around the list, each step
// away moved down and to the left at half size; a cursor step moves them by
// one over 150 ms, those at the ends fading in or out.
void CConsoleRenderer::DrawSelectionList(const WeaponList& list, MenuPoint topLeft, uint32_t color, int32_t listIndex)
{
    if (list.count == 0)
        return;
    const tag_TOLQCHARAACTION* action = m_focused->GetActionData();
    float shift = 0.0f;
    if (action->stepClock < kEntryStepMilliseconds)
    {
        const float left = 1.0f - static_cast<float>(action->stepClock) / kEntryStepMilliseconds;
        shift = action->stepDirection == kStepUp ? -left : (action->stepDirection == kStepDown ? left : 0.0f);
    }
    const int32_t reach = list.count >= 2 ? kEntriesEachSide + 1 : 0;
    // The far entries first, so that the current one lies on top.
    for (int32_t distance = reach; distance >= 0; --distance)
    {
        for (int32_t k : {-distance, distance})
        {
            if (distance == 0 && k < 0)
                continue;
            const float at = static_cast<float>(k) + shift;
            const float away = std::abs(at);
            if (away >= static_cast<float>(kEntriesEachSide + 1))
                continue;
            const float fade = away > static_cast<float>(kEntriesEachSide) ? kEntriesEachSide + 1 - away : 1.0f;
            const float scale = 1.0f - (1.0f - kSideEntryScale) * std::min(away, 1.0f);
            const int32_t n = static_cast<int32_t>(list.count);
            const uint32_t index = static_cast<uint32_t>(((static_cast<int32_t>(list.current) + k) % n + n) % n);
            const CWeapon* weapon = list.weapons[index];
            const MenuPoint entryAt{topLeft.x + kEntryStep.x * at, topLeft.y + kEntryStep.y * at};
            const uint32_t entryColor = FadedBy(color, fade);
            const WeaponView view{weapon->GetDefinition(), weapon->Fires(), weapon->GetAmmo(), weapon->GetMaxAmmo(),
                                  weapon->GetReloadClock()};
            DrawWeaponPiece(view, entryAt, scale, entryColor);
            Sprite(ConsoleSheet::kEntryBand, Along(entryAt, kEntryBandAt, scale), MenuAnchor::TopLeft, entryColor,
                   scale);
            Sprite(ConsoleSheet::kLevelLabel, Along(entryAt, kLevelLabelAt, scale), MenuAnchor::TopLeft, entryColor,
                   scale);
            const uint32_t level = view.definition != nullptr ? view.definition->rank : 0;
            if (level >= 1)
                Sprite(ConsoleSheet::kLevelFigures[level - 1], Along(entryAt, kLevelFigureAt, scale),
                       MenuAnchor::TopLeft, entryColor, scale);
            if (std::abs(k) <= kEntriesEachSide)
                Report(HudItem::SelectionEntry, static_cast<uint32_t>(listIndex * 10 + k + kEntriesEachSide),
                       MenuRect::At(entryAt.x, entryAt.y, ConsoleSheet::kWeaponPanel.Width() * scale,
                                    ConsoleSheet::kWeaponPanel.Height() * scale));
        }
    }
}
