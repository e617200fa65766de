// The battle HUD's cells in "Console_01.dds": every picture of the HUD's
// table, each in the shape and colour of what it stands for and labelled
// where a shape can't say it. Pictures that share pixels in the sheet (the
// radar's back, face and the participant map's frame; the nine window
// parts; the status frame and the participant list's edge line) are drawn
// as one picture that every one of them cuts from.
#include "game/battle/ConsoleSheet.h"
#include "tools/datakit/GameDataKit.h"
#include "tools/datakit/SheetCells.h"

#include <algorithm>
#include <string>

namespace SheetCells
{
namespace
{
using namespace ConsoleSheet;

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kDark = 0xFF303030u;
constexpr uint32_t kGold = 0xFFFFD040u;
// Team A-D, as the radar colours them.
constexpr uint32_t kTeams[4] = {0xFFEF002Eu, 0xFF00A8E0u, 0xFFE0B000u, 0xFF00B848u};
// The seven elements (map marks) and the eight characters.
constexpr uint32_t kElements[7] = {0xFFE04020u, 0xFF2080F0u, 0xFF40C040u, 0xFFE0D020u,
                                   0xFFA060E0u, 0xFFF0F0F0u, 0xFF404040u};
constexpr uint32_t kCharacters[8] = {0xFFC03040u, 0xFF3060C0u, 0xFF40A050u, 0xFFC0A030u,
                                     0xFF8050B0u, 0xFF30A0A0u, 0xFFB06030u, 0xFF707070u};
constexpr const char* kKindNames[kKindLabelCount] = {"Close", "Long", "Special", "Class 3",
                                                     "Class 4", "Class 5", "Class 6"};

class Cells
{
public:
    void Add(const MenuCell& rect, std::string label, CellKind kind, uint32_t color = 0)
    {
        m_cells.push_back({kHudSheet, rect, std::move(label), kind, color});
    }
    // A number panel's figures, each painted inside its ink.
    void Digits(const CellRow& row)
    {
        for (uint32_t d = 0; d < row.count; ++d)
            Add(row.Inked(d), std::to_string(d), CellKind::Glyph);
    }
    void Figure(const CellRow& row, std::string label, CellKind kind, uint32_t color = 0)
    {
        Add(row.Inked(0), std::move(label), kind, color);
    }
    std::vector<SheetCell> Take() { return std::move(m_cells); }

private:
    std::vector<SheetCell> m_cells;
};

void AddTimeAndStatus(Cells* c)
{
    c->Add(kTimeLabel, "TIME", CellKind::Panel);
    c->Digits(kBigDigits);
    c->Figure(kTimeSeparator, "", CellKind::BarFill, kWhite);
    c->Digits(kSmallDigits);
    c->Add(kNoLimitMark, "∞", CellKind::Glyph, kGold);
    // Each character's name plate, read on the HUD and in replays.
    static_assert(kCharacterPlateCount == GameDataKit::kCharacters);
    for (uint32_t n = 0; n < kCharacterPlateCount; ++n)
        c->Add(kCharacterPlates[n], GameDataKit::kCharacterNames[n], CellKind::Label, kCharacters[n]);
    // Its bottom border is also the participant list's edge line.
    c->Add(MenuCell{kStatusFrame.left, kStatusFrame.top, kStatusFrame.right, kListEdge.bottom}, "", CellKind::Frame);
    c->Add(kLifeGauge, "", CellKind::BarFill, 0xFF40D860u);
    c->Add(kElementGauge, "", CellKind::BarFill, 0xFFFFA020u);
    c->Add(kEpPip, "", CellKind::BarFill, 0xFF40C0FFu);
    const char* icons[3] = {"POW", "SPD", "BLS"};
    const uint32_t iconColors[3] = {0xFFD03030u, 0xFF3070E0u, 0xFFD0A020u};
    for (uint32_t bit = 0; bit < kStatusIcons.count; ++bit)
        c->Add(kStatusIcons[bit], icons[bit], CellKind::Label, iconColors[bit]);
    for (uint32_t t = 0; t < kTeamMarks.count; ++t)
        c->Add(kTeamMarks[t], std::string(1, static_cast<char>('A' + t)), CellKind::Label, kTeams[t]);
    c->Add(kEffectMark, "FX", CellKind::Label, 0xFFC040C0u);
    c->Add(kCountPanel, "COUNT", CellKind::Panel);
}

void AddWeapons(Cells* c)
{
    c->Add(kWeaponPanel, "WEAPON", CellKind::Panel);
    // Also the participant list's shutter: a plain dark plate that stretches
    // over the whole screen without a border.
    c->Add(kKindFrame, "", CellKind::Stripe, 0xC0101828u);
    for (uint32_t k = 0; k < kKindLabelCount; ++k)
        c->Add(kKindLabels[k], kKindNames[k], CellKind::Label, kElements[k]);
    c->Add(kGaugeDisc, "", CellKind::Disc);
    c->Add(kAmmoGauge, "", CellKind::Disc, kGold);
    c->Figure(kCounterSlash, "/", CellKind::Glyph);
    c->Digits(kRoundDigits);
    c->Digits(kCapacityDigits);
    c->Figure(kRoundDash, "-", CellKind::Glyph);
    c->Figure(kCapacityDash, "-", CellKind::Glyph);
    c->Add(kEntryBand, "", CellKind::Panel);
    c->Add(kLevelLabel, "Lv", CellKind::Glyph, kGold);
    for (uint32_t n = 0; n < kLevelFigures.count; ++n)
        c->Add(kLevelFigures[n], std::to_string(n + 1), CellKind::Glyph, kGold);
}

void AddRadarAndAim(Cells* c)
{
    // The radar's back, its face (also the clipping mask) and the
    // participant map's frame inside it.
    c->Add(kRadarBack, "", CellKind::Radar);
    c->Add(kRadarArrow, "", CellKind::Arrow, kWhite);
    for (uint32_t k = 0; k < kMapMarks.count; ++k)
        c->Add(kMapMarks[k], "", CellKind::Disc, kElements[k]);
    c->Add(kScope, "", CellKind::Scope);
    c->Add(kReticle, "", CellKind::Crosshair, 0xFF60FF80u);
    c->Add(kLockOn, "", CellKind::Brackets);
}

void AddOverlaysAndRules(Cells* c)
{
    c->Add(kPlateFrame, "", CellKind::Bar, kDark);
    c->Add(kPlateLife, "", CellKind::BarFill, 0xFF40D860u);
    c->Add(kWeaponLabel, "FIELD WEAPON", CellKind::Panel);
    c->Add(kLevelPip, "", CellKind::BarFill, kWhite);
    c->Add(kTargetArrow, "", CellKind::ArrowDown, kGold);
    c->Add(kItemLabel, "ITEM", CellKind::Panel);
    // Number tags: small on the screen, so the figure takes the tag's whole
    // height.
    for (uint32_t n = 0; n < 8; ++n)
        c->Add(kCharacterIcons[n], std::to_string(n + 1), CellKind::Caption, kCharacters[n]);
    c->Add(kPointPip, "", CellKind::BarFill, kGold);
    c->Add(kPointPipEmpty, "", CellKind::Bar, kDark);
    c->Add(kMedalPip, "", CellKind::Disc, kGold);
    c->Add(kMedalPipEmpty, "", CellKind::Disc, kDark);
    for (uint32_t t = 0; t < 4; ++t)
    {
        c->Add(kTeamPlates[t], std::string("TEAM ") + static_cast<char>('A' + t), CellKind::Label, kTeams[t]);
        c->Add(kFallPips[t], "", CellKind::BarFill, kTeams[t]);
        c->Add(kJewelPips[t], "", CellKind::BarFill, kTeams[t]);
    }
    c->Add(kFallPipEmpty, "", CellKind::Bar, kDark);
    c->Add(kJewelPipEmpty, "", CellKind::Bar, kDark);
}

void AddMessagesAndBanners(Cells* c)
{
    for (uint32_t i = 0; i < 8; ++i)
        c->Add(kSlotMarkRows[i / 4][i % 4], std::to_string(i + 1), CellKind::Caption, kCharacters[i]);
    c->Add(kMapArrow, "", CellKind::Arrow, kWhite);
    c->Add(kRing, "", CellKind::Ring);
    c->Add(kFeedBack, "", CellKind::Stripe, 0xB0000000u);
    c->Add(kRadioBack, "", CellKind::BarFill, 0xD0FFFFFFu);
    c->Add(kReady, "READY", CellKind::Glyph, kGold);
    c->Add(kGo, "GO!", CellKind::Glyph, 0xFFFF6030u);
    c->Add(kGoGlow, "", CellKind::Mote);
    c->Add(kBand, "", CellKind::Stripe, 0xB0101830u);
    c->Add(kBandStripe, "BATTLE START", CellKind::Glyph, kGold);
    const char* win[3] = {"W", "I", "N"};
    for (uint32_t k = 0; k < 3; ++k)
        c->Add(kWinLetters[k], win[k], CellKind::Glyph, kGold);
    c->Add(kLose, "LOSE", CellKind::Glyph, 0xFF60A0FFu);
    c->Add(kDraw, "DRAW", CellKind::Glyph, 0xFFE0E0E0u);
    c->Add(kMissionWinBand, "", CellKind::BarFill, kGold);
    c->Add(kMissionWin, "MISSION CLEAR", CellKind::Glyph, kGold);
    c->Add(kMissionLoseBand, "", CellKind::BarFill, 0xFF60A0FFu);
    c->Add(kMissionLose, "MISSION FAILED", CellKind::Glyph, 0xFF60A0FFu);
    c->Add(kDefeatNotice, "撃破!", CellKind::Glyph, 0xFFFF5030u);
    // The nine window parts are cuts of one window.
    c->Add(MenuCell{kWindowParts[0][0].left, kWindowParts[0][0].top, kWindowParts[2][2].right,
                    kWindowParts[2][2].bottom},
           "", CellKind::Window);
    const char* ranks[3] = {"B", "A", "S"};
    for (uint32_t r = 0; r < 3; ++r)
        c->Add(kRankLetters[r], ranks[r], CellKind::Glyph, kGold);
}
}

std::vector<SheetCell> ConsoleCells()
{
    Cells cells;
    AddTimeAndStatus(&cells);
    AddWeapons(&cells);
    AddRadarAndAim(&cells);
    AddOverlaysAndRules(&cells);
    AddMessagesAndBanners(&cells);
    return cells.Take();
}
}
