// What the HUD draws into the 3D scene: a name plate over every other
// fighter and labels over the weapons and items lying on the field, each at
// its object's depth, fading out over the last 3 units of its range.
#include "game/battle/CConsoleRenderer.h"

#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CItem.h"
#include "game/actor/CItemDefinition.h"
#include "game/actor/CWeapon.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/battle/ConsoleText.h"
#include "game/battle/tag_TOLQCONSOLESTATE.h"

#include <algorithm>
#include <cmath>

namespace
{
// World overlays: ranges in world units, places in layout units from the
// projected point (or the label's frame's corner), scaled as given.
struct OverlayRange
{
    float nearest;
    float farthest;
    float fadeFrom;
};
constexpr float kFadeLength = 3.0f;
constexpr OverlayRange kPlateRange{1.0f, 53.0f, 50.0f};
constexpr OverlayRange kWeaponRange{1.0f, 10.0f, 7.0f};
constexpr OverlayRange kItemRange{1.0f, 15.0f, 12.0f};

// Name plate: scaled by 4.5 / d^0.7, over the fighter's head. Close up it
// stops growing: larger, a near fighter's name would run off the top of the
// screen and hide the fighter it names.
constexpr float kPlateScale = 4.5f;
constexpr float kPlateFalloff = 0.7f;
constexpr float kPlateMostScale = 1.5f;
// How far a plate stands off the score panel it is moved clear of.
constexpr float kPlateClearance = 4.0f;
constexpr float kPlateAboveHead = 0.3f;
constexpr float kPlateNameSize = 20.0f;
constexpr float kPlateNameGap = 2.0f;
constexpr float kPlateMarkGap = 2.0f;
constexpr uint8_t kNoTeam = 4;

// Field weapon label, from its frame's top-left corner.
constexpr float kLabelLift = 0.2f; // world units above where it lies
constexpr MenuPoint kWeaponFrameOffset{-72, -100};
constexpr MenuPoint kWeaponKindAt{10, 10};
constexpr MenuRect kWeaponNameBox{.left = 27, .top = 66, .right = 213, .bottom = 96};
constexpr float kLabelNameSize = 20.0f;
constexpr MenuPoint kLevelPipsAt{44, 44};
constexpr float kLevelPipPitch = 18.0f;
constexpr uint32_t kLevelPips = 10;
constexpr uint32_t kUnreachedPip = 0x808080;
constexpr float kTargetArrowGap = 4.0f;

// Field item label.
constexpr MenuPoint kItemFrameOffset{-72, -76};
constexpr MenuRect kItemNameBox{.left = 5, .top = 18, .right = 183, .bottom = 58};

// The alpha (0..255) at distance d, or -1 outside the range.
int32_t FadeAlpha(const OverlayRange& range, float d)
{
    if (d < range.nearest || d > range.farthest)
        return -1;
    if (d <= range.fadeFrom)
        return 255;
    return static_cast<int32_t>(255.0f * std::clamp(1.0f - (d - range.fadeFrom) / kFadeLength, 0.0f, 1.0f));
}
}

// Frame, life cut by life over the maximum, the team mark to its left and
// the name above it; moved clear of the score panel, which would cover it.
void CConsoleRenderer::DrawNamePlate(CCharacter* fighter, uint32_t index)
{
    const CCharacterDefinition* definition = fighter->GetDefinition();
    const float height = definition != nullptr ? definition->height : 0.0f;
    const CkvrVector3 head = *fighter->GetPosition() + CkvrVector3(0.0f, height + kPlateAboveHead, 0.0f);
    const float d = DistanceFromCamera(&head.x);
    const int32_t alpha = FadeAlpha(kPlateRange, d);
    MenuPoint at;
    float depth = 0.0f;
    if (alpha < 0 || !Project(&head.x, &at, &depth))
        return;
    const float scale = std::min(kPlateScale / std::pow(d, kPlateFalloff), kPlateMostScale);
    char name[kNameBytes];
    NameOf(fighter, name);
    const uint8_t team = fighter->GetTeam();
    const MenuRect area = PlateArea(at, scale, name, team < kNoTeam);
    const MenuPoint shift = ClearOfScorePanel(area, kPlateClearance);
    at = {at.x + shift.x, at.y + shift.y};
    const uint32_t color = WithAlpha(0xFFFFFF, static_cast<uint32_t>(alpha));
    const MenuRect frame = Sprite(ConsoleSheet::kPlateFrame, at, MenuAnchor::Centre, color, scale, depth);
    const uint16_t maximum = fighter->GetMaxLife();
    const float life =
        maximum != 0 ? std::clamp(static_cast<float>(fighter->GetStateBlock()->life) / maximum, 0.0f, 1.0f) : 0.0f;
    const MenuCell& bar = ConsoleSheet::kPlateLife;
    Sprite({bar.left, bar.top, bar.left + bar.Width() * life, bar.bottom}, {frame.left, frame.top},
           MenuAnchor::TopLeft, color, scale, depth);
    if (team < kNoTeam)
    {
        const uint8_t mark = TeamBattle() ? team : 0;
        Sprite(ConsoleSheet::kTeamMarks[mark], {frame.left - kPlateMarkGap * scale, at.y}, MenuAnchor::Right, color,
               scale, depth);
    }
    m_painter.TextAt(m_resources.large, {at.x, frame.top - kPlateNameGap * scale}, MenuAnchor::Bottom,
                     kPlateNameSize, scale, color, name, depth);
    Report(HudItem::NamePlate, index, area.Offset(shift.x, shift.y), name);
}

// Where a plate at the point and scale lies whole: the frame centred on
// the point, the team mark left of it, the name above.
MenuRect CConsoleRenderer::PlateArea(MenuPoint at, float scale, const char* name, bool marked) const
{
    const MenuCell& frameCell = ConsoleSheet::kPlateFrame;
    const MenuRect frame{at.x - frameCell.Width() * scale * 0.5f, at.y - frameCell.Height() * scale * 0.5f,
                         at.x + frameCell.Width() * scale * 0.5f, at.y + frameCell.Height() * scale * 0.5f};
    const float markWidth = marked ? (kPlateMarkGap + ConsoleSheet::kTeamMarks[0].Width()) * scale : 0.0f;
    const MenuRect text = m_painter.MeasureText(m_resources.large, {at.x, frame.top - kPlateNameGap * scale},
                                                MenuAnchor::Bottom, kPlateNameSize, scale, name);
    return {std::min(frame.left - markWidth, text.left), std::min(frame.top, text.top), std::max(frame.right, text.right),
            frame.bottom};
}

// A weapon the focused fighter could carry: frame, kind, name, ten level
// pips (as many white as its level), and an arrow over the one it would
// pick up.
void CConsoleRenderer::DrawWeaponLabel(const CWeapon& weapon, uint32_t index)
{
    const CWeaponDefinition* definition = weapon.GetDefinition();
    const CCharacterDefinition* own = m_focused->GetDefinition();
    if (definition == nullptr || own == nullptr || (definition->characterMask & own->ownBit) == 0)
        return;
    const CkvrVector3 at3 = *weapon.GetPosition() + CkvrVector3(0.0f, kLabelLift, 0.0f);
    const int32_t alpha = FadeAlpha(kWeaponRange, DistanceFromCamera(&at3.x));
    MenuPoint at;
    float depth = 0.0f;
    if (alpha < 0 || !Project(&at3.x, &at, &depth))
        return;
    const uint32_t color = WithAlpha(0xFFFFFF, static_cast<uint32_t>(alpha));
    const MenuPoint corner{at.x + kWeaponFrameOffset.x, at.y + kWeaponFrameOffset.y};
    auto from = [&corner](MenuPoint p) { return MenuPoint{corner.x + p.x, corner.y + p.y}; };
    const MenuRect frame = Sprite(ConsoleSheet::kWeaponLabel, corner, MenuAnchor::TopLeft, color, 1.0f, depth);
    const uint32_t kind = std::min<uint32_t>(definition->iconClass, ConsoleSheet::kKindLabelCount - 1);
    Sprite(ConsoleSheet::kKindLabels[kind], from(kWeaponKindAt), MenuAnchor::TopLeft, color, 1.0f, depth);
    char name[kNameBytes];
    CopyGameText(name, sizeof(name), definition->name, sizeof(definition->name));
    m_painter.TextFit(m_resources.small, kWeaponNameBox.Offset(corner.x, corner.y), MenuAnchor::Top, kLabelNameSize,
                      color, name, depth);
    for (uint32_t j = 0; j < kLevelPips; ++j)
    {
        const uint32_t pipColor = j < definition->rank ? color : WithAlpha(kUnreachedPip, static_cast<uint32_t>(alpha));
        Sprite(ConsoleSheet::kLevelPip, from({kLevelPipsAt.x + kLevelPipPitch * static_cast<float>(j), kLevelPipsAt.y}),
               MenuAnchor::TopLeft, pipColor, 1.0f, depth);
    }
    if (m_focused->GetActionData()->targetedFieldWeapon == static_cast<int32_t>(index))
        Sprite(ConsoleSheet::kTargetArrow, {at.x, frame.top - kTargetArrowGap}, MenuAnchor::Bottom, color, 1.0f,
               depth);
    Report(HudItem::WeaponLabel, index, frame, name);
}

void CConsoleRenderer::DrawItemLabel(const CItem& item, uint32_t index)
{
    const CItemDefinition* definition = item.GetDefinition();
    if (definition == nullptr)
        return;
    const CkvrVector3 at3 = *item.GetPosition() + CkvrVector3(0.0f, kLabelLift, 0.0f);
    const int32_t alpha = FadeAlpha(kItemRange, DistanceFromCamera(&at3.x));
    MenuPoint at;
    float depth = 0.0f;
    if (alpha < 0 || !Project(&at3.x, &at, &depth))
        return;
    const uint32_t color = WithAlpha(0xFFFFFF, static_cast<uint32_t>(alpha));
    const MenuPoint corner{at.x + kItemFrameOffset.x, at.y + kItemFrameOffset.y};
    const MenuRect frame = Sprite(ConsoleSheet::kItemLabel, corner, MenuAnchor::TopLeft, color, 1.0f, depth);
    char name[kNameBytes];
    CopyGameText(name, sizeof(name), definition->name, sizeof(definition->name));
    m_painter.TextFit(m_resources.small, kItemNameBox.Offset(corner.x, corner.y), MenuAnchor::Centre, kLabelNameSize,
                      color, name, depth);
    Report(HudItem::ItemLabel, index, frame, name);
}
