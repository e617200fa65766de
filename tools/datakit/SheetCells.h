#pragma once

#include "game/menu/MenuRect.h"

#include <cstdint>
#include <string>
#include <vector>

// The stand-in pictures of the texture sheets, as tables of named cells:
// each cell is drawn at exactly its rectangle in its sheet, filled in the
// colour of its kind, framed and labelled with its name in the engine's
// font, so that every screen reads to a person as what it is. Each family
// of screens keeps its cells in a file of its own; SheetCells.cpp joins
// them, one line per family.
namespace SheetCells
{
// How a cell is drawn.
enum class CellKind : uint8_t
{
    MenuItem,   // a choice of a menu (the title's ring)
    Label,      // a row's name
    Button,     // a value to pick
    Title,      // a screen's title
    Logo,       // a maker's or the game's mark
    Arrow,      // a triangle pointing up, on nothing
    Marker,     // a triangle pointing right, on nothing
    Cursor,     // a frame around the chosen item, on nothing
    Bar,        // a gauge's empty track
    BarFill,    // a gauge's filled part
    Band,       // a plain strip of a frame
    Stripe,     // a dark translucent row behind figures
    Prompt,     // a line of text on nothing
    Picture,    // a whole screen's picture (gradient, label in a corner)
    Backdrop,   // the picture under every menu (gradient, no label)
    Splash,     // a whole screen's picture with its name large in the middle
    Pointer,    // the mouse pointer
    Mote,       // a soft white dot
    Light,      // a soft white band, brightest in the middle
    // Shapes of the HUD's sheet (SheetShapes.cpp), in the cell's colour:
    Panel,     // a translucent dark plate, its label small in its top-left corner
    Frame,     // a light border round nothing
    Glyph,     // its label filling the cell, outlined, on nothing
    Disc,      // a filled disc with a darker rim
    Ring,      // a circle's outline
    Radar,     // a radar: a rim round a disc with rings and a cross
    Crosshair, // a circle with a cross, open in the middle
    Scope,     // black round a clear circle with a cross: a sniper's view
    Brackets,  // four corner brackets
    ArrowDown, // a triangle pointing down, on nothing
    Window,    // a whole nine-part window: body, and a border round it
    Caption,   // a small plate whose label takes its whole height
};

struct SheetCell
{
    std::string sheet; // the data name of the sheet, e.g. "Texture\\Select_01.dds"
    MenuCell rect;
    std::string label; // UTF-8; empty for none
    CellKind kind;
    uint32_t color = 0; // ARGB; 0 takes the kind's colour
};

// A sheet: its data name, size and what lies where no cell is (ARGB; alpha
// 0 for nothing).
struct SheetSpec
{
    std::string name;
    uint32_t width;
    uint32_t height;
    uint32_t empty;
    bool opaque = false; // no transparent texel: stored compressed
};

inline constexpr const char* kMenuSheet = "Texture\\Select_01.dds";
inline constexpr const char* kHudSheet = "Texture\\Console_01.dds";
inline constexpr const char* kMenuBackground = "Texture\\Background_01.dds";
inline constexpr const char* kTitleSheet = "Texture\\Background_02.dds";
inline constexpr const char* kLogoSheet = "Texture\\CircleLogo_01.dds";

// The families.
std::vector<SheetCell> ControllerCells();
std::vector<SheetCell> TitleCells();
std::vector<SheetCell> MenuScreenCells();
std::vector<SheetCell> ReplayCells();
std::vector<SheetCell> ShopCells();
std::vector<SheetCell> EquipCells();
std::vector<SheetCell> ConsoleCells();
std::vector<SheetCell> SetupCells();
std::vector<SheetCell> MissionCells();
// In "Texture\\Story_01.dds" of the story's own pack, not of the list.
std::vector<SheetCell> StoryCells();

// Every family's cells, and every sheet they are drawn on.
std::vector<SheetCell> AllCells();
std::vector<SheetSpec> Sheets();

// The fill colour of a kind (ARGB).
uint32_t KindColor(CellKind kind);
// Cells of one sheet that overlap, as "name / name" pairs.
std::vector<std::string> FindOverlaps(const std::vector<SheetCell>& cells);
}
