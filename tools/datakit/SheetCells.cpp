// The sheets of the stand-in set and the families whose cells they hold.
#include "tools/datakit/SheetCells.h"

namespace SheetCells
{
std::vector<SheetCell> AllCells()
{
    std::vector<SheetCell> cells;
    for (std::vector<SheetCell> (*family)() : {&ControllerCells, &TitleCells, &MenuScreenCells, &ConsoleCells,
                                                  &SetupCells, &MissionCells, &ReplayCells, &ShopCells, &EquipCells})
    {
        std::vector<SheetCell> more = family();
        cells.insert(cells.end(), more.begin(), more.end());
    }
    return cells;
}

std::vector<SheetSpec> Sheets()
{
    return {
        {kMenuSheet, 2048, 2048, 0x00000000u},
        {kHudSheet, 1024, 1024, 0x00000000u},
        {kMenuBackground, 1024, 1024, 0xFF182848u, true},
        {kTitleSheet, 1024, 1024, 0x00000000u},
        {kLogoSheet, 512, 256, 0x00000000u},
    };
}

uint32_t KindColor(CellKind kind)
{
    switch (kind)
    {
    case CellKind::MenuItem:
        return 0xFF2458A8u;
    case CellKind::Label:
    case CellKind::Caption:
        return 0xFF2E6E8Eu;
    case CellKind::Button:
        return 0xFF3C7A3Cu;
    case CellKind::Title:
        return 0xFF6A3C96u;
    case CellKind::Logo:
        return 0xFF8E2A4Au;
    case CellKind::Arrow:
    case CellKind::Marker:
        return 0xFFE8C040u;
    case CellKind::Cursor:
        return 0xFFFFD848u;
    case CellKind::Bar:
        return 0xFF404040u;
    case CellKind::BarFill:
        return 0xFF48C8FFu;
    case CellKind::Band:
        return 0xFF34506Cu;
    case CellKind::Stripe:
        return 0x80000000u;
    case CellKind::Prompt:
        return 0x00000000u;
    case CellKind::Picture:
    case CellKind::Backdrop:
        return 0xFF283C64u;
    case CellKind::Splash:
        return 0xFF3A2858u;
    case CellKind::Pointer:
    case CellKind::Mote:
    case CellKind::Light:
        return 0xFFFFFFFFu;
    case CellKind::Panel:
    case CellKind::Window:
        return 0xD0182848u;
    case CellKind::Frame:
        return 0xFFE0E8F0u;
    case CellKind::Glyph:
    case CellKind::Ring:
    case CellKind::Crosshair:
    case CellKind::ArrowDown:
        return 0xFFFFFFFFu;
    case CellKind::Disc:
        return 0xFF404858u;
    case CellKind::Radar:
        return 0xFF1C4A30u;
    case CellKind::Scope:
        return 0xFF000000u;
    case CellKind::Brackets:
        return 0xFFFF3040u;
    }
    return 0xFFFF00FFu;
}

std::vector<std::string> FindOverlaps(const std::vector<SheetCell>& cells)
{
    std::vector<std::string> overlaps;
    for (size_t i = 0; i < cells.size(); ++i)
    {
        for (size_t j = i + 1; j < cells.size(); ++j)
        {
            const SheetCell& a = cells[i];
            const SheetCell& b = cells[j];
            if (a.sheet != b.sheet)
                continue;
            const bool apart = a.rect.right <= b.rect.left || b.rect.right <= a.rect.left ||
                               a.rect.bottom <= b.rect.top || b.rect.bottom <= a.rect.top;
            if (!apart)
                overlaps.push_back(a.label + " / " + b.label);
        }
    }
    return overlaps;
}
}
