// The battle setup's cells: page headings and titles, the mode panels, the
// member panels with their seats, characters, marks and buttons, the rules
// page's labels, values, stage pictures and arrows, the weapons page's type
// cells, tabs, pips and buttons, and the window pieces.
#include "game/battle/SetupSheet.h"
#include "tools/datakit/GameDataKit.h"
#include "tools/datakit/SheetCells.h"

#include <iterator>
#include <string>
#include <vector>

namespace SheetCells
{
namespace
{
template <size_t N>
void AddAll(std::vector<SheetCell>* cells, const MenuCell (&rects)[N], const char* const (&names)[N], CellKind kind,
            const std::string& prefix = "")
{
    for (size_t i = 0; i < N; ++i)
        cells->push_back({kMenuSheet, rects[i], prefix + names[i], kind});
}

// The first character of a UTF-8 name.
std::string FirstCharacter(const std::string& name)
{
    size_t end = 1;
    while (end < name.size() && (static_cast<unsigned char>(name[end]) & 0xC0u) == 0x80u)
        ++end;
    return name.substr(0, end);
}

// The characters' pictures carry the names the game data gives them (the
// picture index is the character's number), then the random choice's.
static_assert(GameDataKit::kCharacters + 1 == SetupSheet::kCharacterPictures);
std::vector<std::string> CharacterPictureNames()
{
    std::vector<std::string> names(std::begin(GameDataKit::kCharacterNames), std::end(GameDataKit::kCharacterNames));
    names.push_back("RANDOM");
    return names;
}

void AddCharacterCells(std::vector<SheetCell>* cells)
{
    namespace S = SetupSheet;
    const std::vector<std::string> names = CharacterPictureNames();
    for (int i = 0; i < S::kCharacterPictures; ++i)
    {
        cells->push_back({kMenuSheet, S::kCharacterArt[i], names[i], CellKind::Splash});
        cells->push_back({kMenuSheet, S::kCharacterNames[i], names[i], CellKind::Label});
        cells->push_back({kMenuSheet, S::kCharacterIcons[i], names[i], CellKind::Button});
    }
}

// A weapon class's cell on the rules page is as wide as the gap to the
// next one; where that is too narrow for two characters to be read at
// 640 x 480, the cell shows the first alone.
constexpr float kTwoCharacterWidth = 40.0f;

void AddWeaponClasses(std::vector<SheetCell>* cells)
{
    namespace S = SetupSheet;
    for (int i = 0; i < S::kWeaponClasses; ++i)
    {
        const std::string name = S::kWeaponClassNames[i];
        const bool narrow = S::kWeaponClassArt[i].Width() < kTwoCharacterWidth;
        cells->push_back({kMenuSheet, S::kWeaponClassArt[i], narrow ? FirstCharacter(name) : name, CellKind::Button});
    }
}
}

std::vector<SheetCell> SetupCells()
{
    namespace S = SetupSheet;
    std::vector<SheetCell> cells = {
        {kMenuSheet, S::kHeadingTop, "", CellKind::Band},
        {kMenuSheet, S::kHeadingUnder, "", CellKind::Band},
        {kMenuSheet, S::kSoloPanel, "個人戦  SOLO", CellKind::MenuItem},
        {kMenuSheet, S::kSoloPanelOff, "個人戦  SOLO", CellKind::Label},
        {kMenuSheet, S::kTeamPanel, "チーム戦  TEAM", CellKind::MenuItem},
        {kMenuSheet, S::kTeamPanelOff, "チーム戦  TEAM", CellKind::Label},
        {kMenuSheet, S::kSmallArrow, "", CellKind::Marker},
        {kMenuSheet, S::kSmallArrowHover, "", CellKind::Marker},
        {kMenuSheet, S::kConfirmedMark, "OK!", CellKind::Button},
        {kMenuSheet, S::kPanelMarker, "", CellKind::BarFill},
        {kMenuSheet, S::kPanelOk, "OK", CellKind::Button},
        {kMenuSheet, S::kPanelOkHover, "OK", CellKind::MenuItem},
        {kMenuSheet, S::kDecide, "決定", CellKind::Button},
        {kMenuSheet, S::kDecideHover, "決定", CellKind::MenuItem},
        {kMenuSheet, S::kArrow, "", CellKind::Marker},
        {kMenuSheet, S::kArrowHover, "lit", CellKind::Marker},
        {kMenuSheet, S::kRowMarker, "", CellKind::Marker},
        {kMenuSheet, S::kWeightCaption, "WEIGHT", CellKind::Label},
        {kMenuSheet, S::kDone, "完了", CellKind::Button},
        {kMenuSheet, S::kDoneLit, "完了", CellKind::MenuItem},
        {kMenuSheet, S::kPip, "", CellKind::BarFill},
        {kMenuSheet, S::kMoreMark, "", CellKind::Arrow},
        {kMenuSheet, S::kFocusFrame, "", CellKind::Cursor},
        {kMenuSheet, S::kWindowCorner, "", CellKind::Band},
        {kMenuSheet, S::kWindowEdge, "", CellKind::Band},
        {kMenuSheet, S::kWindowBody, "", CellKind::Stripe},
        {kMenuSheet, S::kWindowTitle, "", CellKind::Band},
        {kMenuSheet, S::kTrackEnd, "", CellKind::Bar},
        {kMenuSheet, S::kTrack, "", CellKind::Bar},
        {kMenuSheet, S::kThumb, "", CellKind::BarFill},
    };
    AddAll(&cells, S::kPageTitles, S::kPageTitleNames, CellKind::Title);
    // Each team's panel in a colour of its own; the closed seat's dark.
    const CellKind panelKinds[S::kPanelKinds] = {CellKind::MenuItem, CellKind::Title, CellKind::Button,
                                                 CellKind::Logo, CellKind::Stripe};
    for (int panel = 0; panel < S::kPanelKinds; ++panel)
        cells.push_back({kMenuSheet, S::kPanels[panel], S::kPanelNames[panel], panelKinds[panel]});
    AddAll(&cells, S::kSeats, S::kSeatNames, CellKind::Label);
    AddAll(&cells, S::kTeamMarks, S::kTeamNames, CellKind::Button);
    AddAll(&cells, S::kElementMarks, S::kElementNames, CellKind::Logo);
    AddCharacterCells(&cells);
    AddAll(&cells, S::kRuleLabels, S::kRuleLabelNames, CellKind::Label);
    AddAll(&cells, S::kStageArt, S::kStageArtNames, CellKind::MenuItem);
    AddAll(&cells, S::kRuleKindsArt, S::kRuleKindNames, CellKind::Button);
    AddAll(&cells, S::kLimitArt, S::kLimitNames, CellKind::Button);
    AddAll(&cells, S::kTimeArt, S::kTimeNames, CellKind::Button);
    AddAll(&cells, S::kNpcArt, S::kNpcNames, CellKind::Button);
    AddAll(&cells, S::kItemArt, S::kItemNames, CellKind::Button);
    AddWeaponClasses(&cells);
    AddAll(&cells, S::kWeaponTypes, S::kWeaponClassNames, CellKind::Logo);
    AddAll(&cells, S::kCategoryTabs, S::kCategoryNames, CellKind::MenuItem);
    AddAll(&cells, S::kGroupHeadings, S::kCategoryNames, CellKind::Band);
    return cells;
}
}
