#pragma once

#include "game/menu/MenuRect.h"

#include <cstdint>

// Where the HUD's pictures lie in "Console_01.dds", in pixels of the sheet:
// every picture the battle HUD draws, grouped by what draws it. The data
// kit paints the stand-in sheet from the same table (ConsoleCells.cpp).
namespace ConsoleSheet
{
// A row of pictures of one size, each step further along the sheet.
//
// The figures of a number panel (digits, dashes, separators) are set closer
// together than their cells are wide: each stands in the first `ink`
// pixels of its cell (0: the whole cell). The panel places every figure
// where the one before it ends, and draws only that part, so that no
// figure runs into the next whatever the sheet holds past it; the data kit
// paints each figure inside it.
struct CellRow
{
    MenuCell first;
    float stepX = 0.0f;
    float stepY = 0.0f;
    uint32_t count = 1;
    float ink = 0.0f;

    // Picture i of the row; a number past the row gives the last one.
    constexpr MenuCell operator[](uint32_t i) const
    {
        const float n = static_cast<float>(i < count ? i : count - 1);
        return {first.left + stepX * n, first.top + stepY * n, first.right + stepX * n, first.bottom + stepY * n};
    }
    constexpr float InkWidth() const { return ink > 0.0f ? ink : first.Width(); }
    // The part of picture i that holds its figure.
    constexpr MenuCell Inked(uint32_t i) const
    {
        const MenuCell cell = (*this)[i];
        return {cell.left, cell.top, cell.left + InkWidth(), cell.bottom};
    }
};

// ---- Time: seconds in the big digits, the separator, milliseconds in the
// small ones.
inline constexpr MenuCell kTimeLabel{.left = 144, .top = 596, .right = 244, .bottom = 640};
inline constexpr CellRow kBigDigits{{.left = 376, .top = 604, .right = 397, .bottom = 632}, 28, 0, 10, 14};
inline constexpr CellRow kTimeSeparator{{.left = 376, .top = 636, .right = 380, .bottom = 656}};
inline constexpr CellRow kSmallDigits{{.left = 384, .top = 636, .right = 397, .bottom = 656}, 20, 0, 10, 12};
inline constexpr MenuCell kNoLimitMark{.left = 656, .top = 604, .right = 700, .bottom = 632};

// ---- Status panel
// Name plates by character number 0-7: up the sheet's right edge, the last
// beside the kind labels.
inline constexpr uint32_t kCharacterPlateCount = 8;
inline constexpr MenuCell kCharacterPlates[kCharacterPlateCount] = {
    {.left = 892, .top = 980, .right = 1020, .bottom = 1020}, {.left = 892, .top = 936, .right = 1020, .bottom = 976},
    {.left = 892, .top = 892, .right = 1020, .bottom = 932}, {.left = 892, .top = 848, .right = 1020, .bottom = 888},
    {.left = 892, .top = 804, .right = 1020, .bottom = 844}, {.left = 892, .top = 760, .right = 1020, .bottom = 800},
    {.left = 892, .top = 716, .right = 1020, .bottom = 756}, {.left = 756, .top = 148, .right = 884, .bottom = 188}};
// The plate of a character number; a number past the table shows the last.
constexpr MenuCell CharacterPlate(uint32_t number)
{
    return kCharacterPlates[number < kCharacterPlateCount ? number : kCharacterPlateCount - 1];
}
inline constexpr MenuCell kStatusFrame{.left = 264, .top = 660, .right = 680, .bottom = 704};
inline constexpr MenuCell kLifeGauge{.left = 392, .top = 11, .right = 662, .bottom = 19};
inline constexpr MenuCell kElementGauge{.left = 392, .top = 4, .right = 662, .bottom = 7};
inline constexpr MenuCell kEpPip{.left = 116, .top = 632, .right = 134, .bottom = 637};
// Status bits 0-2: power, speed, blessing.
inline constexpr CellRow kStatusIcons{{.left = 708, .top = 752, .right = 736, .bottom = 780}, 0, -32, 3};
// Teams A-D.
inline constexpr CellRow kTeamMarks{{.left = 292, .top = 616, .right = 308, .bottom = 632}, 20, 0, 4};
inline constexpr MenuCell kEffectMark{.left = 524, .top = 224, .right = 560, .bottom = 248};
// The survivor and defeat counts' panel.
inline constexpr MenuCell kCountPanel{.left = 652, .top = 924, .right = 824, .bottom = 1020};

// ---- Weapon panel and the weapon selection window
inline constexpr MenuCell kWeaponPanel{.left = 144, .top = 496, .right = 368, .bottom = 572};
// Also the participant list's shutter.
inline constexpr MenuCell kKindFrame{.left = 904, .top = 388, .right = 1020, .bottom = 416};
inline constexpr uint32_t kKindLabelCount = 7;
inline constexpr MenuCell kKindLabels[kKindLabelCount] = {
    {.left = 904, .top = 164, .right = 1020, .bottom = 192}, {.left = 904, .top = 132, .right = 1020, .bottom = 160},
    {.left = 904, .top = 100, .right = 1020, .bottom = 128}, {.left = 904, .top = 68, .right = 1020, .bottom = 96},
    {.left = 904, .top = 36, .right = 1020, .bottom = 64},   {.left = 904, .top = 4, .right = 1020, .bottom = 32},
    {.left = 904, .top = 356, .right = 1020, .bottom = 384}};
inline constexpr MenuCell kGaugeDisc{.left = 584, .top = 40, .right = 656, .bottom = 112};
inline constexpr MenuCell kAmmoGauge{.left = 584, .top = 116, .right = 656, .bottom = 188};
// The counter: rounds in the round digits, the slash, the capacity in the
// capacity digits; dashes in their places for a weapon without counts.
inline constexpr CellRow kRoundDigits{{.left = 376, .top = 528, .right = 396, .bottom = 556}, 24, 0, 10, 16};
inline constexpr CellRow kCounterSlash{{.left = 376, .top = 560, .right = 386, .bottom = 580}, 0, 0, 1, 8};
inline constexpr CellRow kCapacityDigits{{.left = 392, .top = 560, .right = 406, .bottom = 580}, 20, 0, 10, 10};
inline constexpr CellRow kRoundDash{{.left = 616, .top = 528, .right = 636, .bottom = 556}, 0, 0, 1, 16};
inline constexpr CellRow kCapacityDash{{.left = 592, .top = 560, .right = 606, .bottom = 580}, 0, 0, 1, 10};
inline constexpr MenuCell kEntryBand{.left = 476, .top = 196, .right = 580, .bottom = 220};
inline constexpr MenuCell kLevelLabel{.left = 376, .top = 584, .right = 416, .bottom = 600};
// Levels 1-10.
inline constexpr CellRow kLevelFigures{{.left = 420, .top = 584, .right = 436, .bottom = 600}, 20, 0, 10};

// ---- Radar
inline constexpr MenuCell kRadarBack{.left = 4, .top = 392, .right = 140, .bottom = 528};
// Also the radar's clipping mask.
inline constexpr MenuCell kRadarFrame{.left = 8, .top = 396, .right = 136, .bottom = 524};
inline constexpr MenuCell kRadarArrow{.left = 352, .top = 596, .right = 364, .bottom = 612};
// Map marks of stage objects by mark kind 0-6.
inline constexpr CellRow kMapMarks{{.left = 872, .top = 1004, .right = 888, .bottom = 1020}, 0, -20, 7};

// ---- Aim and lock-on
inline constexpr MenuCell kScope{.left = 4, .top = 4, .right = 388, .bottom = 388};
inline constexpr MenuCell kReticle{.left = 476, .top = 224, .right = 520, .bottom = 268};
inline constexpr MenuCell kLockOn{.left = 392, .top = 196, .right = 472, .bottom = 276};

// ---- World overlays
inline constexpr MenuCell kPlateFrame{.left = 320, .top = 648, .right = 372, .bottom = 656};
inline constexpr MenuCell kPlateLife{.left = 320, .top = 636, .right = 372, .bottom = 644};
inline constexpr MenuCell kWeaponLabel{.left = 144, .top = 392, .right = 384, .bottom = 492};
inline constexpr MenuCell kLevelPip{.left = 280, .top = 576, .right = 296, .bottom = 592};
inline constexpr MenuCell kTargetArrow{.left = 668, .top = 4, .right = 744, .bottom = 72};
inline constexpr MenuCell kItemLabel{.left = 392, .top = 116, .right = 580, .bottom = 192};

// ---- Rule panels
// Character icons by character number 0-7.
inline constexpr MenuCell kCharacterIcons[8] = {
    {.left = 116, .top = 532, .right = 140, .bottom = 548}, {.left = 116, .top = 552, .right = 140, .bottom = 568},
    {.left = 116, .top = 572, .right = 140, .bottom = 588}, {.left = 116, .top = 592, .right = 140, .bottom = 608},
    {.left = 116, .top = 612, .right = 140, .bottom = 628}, {.left = 292, .top = 636, .right = 316, .bottom = 652},
    {.left = 144, .top = 576, .right = 168, .bottom = 592}, {.left = 172, .top = 576, .right = 196, .bottom = 592}};
inline constexpr MenuCell kPointPip{.left = 220, .top = 576, .right = 236, .bottom = 592};
inline constexpr MenuCell kPointPipEmpty{.left = 200, .top = 576, .right = 216, .bottom = 592};
inline constexpr MenuCell kMedalPip{.left = 260, .top = 576, .right = 276, .bottom = 592};
inline constexpr MenuCell kMedalPipEmpty{.left = 240, .top = 576, .right = 256, .bottom = 592};
inline constexpr MenuCell kTeamPlates[4] = {
    {.left = 392, .top = 44, .right = 480, .bottom = 76}, {.left = 392, .top = 80, .right = 480, .bottom = 112},
    {.left = 484, .top = 44, .right = 572, .bottom = 76}, {.left = 484, .top = 80, .right = 572, .bottom = 112}};
inline constexpr CellRow kFallPips{{.left = 312, .top = 576, .right = 318, .bottom = 592}, 12, 0, 4};
inline constexpr MenuCell kFallPipEmpty{.left = 300, .top = 576, .right = 306, .bottom = 592};
inline constexpr CellRow kJewelPips{{.left = 292, .top = 596, .right = 298, .bottom = 612}, 12, 0, 4};
inline constexpr MenuCell kJewelPipEmpty{.left = 340, .top = 596, .right = 346, .bottom = 612};

// ---- Participant list
inline constexpr MenuCell kListEdge{.left = 304, .top = 700, .right = 312, .bottom = 704};
// Slot marks of the first eight entries, four to a row.
inline constexpr CellRow kSlotMarkRows[2] = {
    {{.left = 660, .top = 144, .right = 680, .bottom = 164}, 24, 0, 4},
    {{.left = 660, .top = 168, .right = 680, .bottom = 188}, 24, 0, 4}};
inline constexpr MenuCell kMapFrame{.left = 10, .top = 398, .right = 134, .bottom = 522};
inline constexpr MenuCell kMapArrow{.left = 684, .top = 704, .right = 704, .bottom = 732};
inline constexpr MenuCell kRing{.left = 584, .top = 192, .right = 736, .bottom = 344};

// ---- Kill feed and radio lines
inline constexpr MenuCell kFeedBack{.left = 660, .top = 68, .right = 664, .bottom = 92};
inline constexpr MenuCell kRadioBack{.left = 372, .top = 496, .right = 376, .bottom = 524};

// ---- Banners
inline constexpr MenuCell kReady{.left = 264, .top = 708, .right = 660, .bottom = 780};
inline constexpr MenuCell kGo{.left = 408, .top = 900, .right = 648, .bottom = 1020};
inline constexpr MenuCell kGoGlow{.left = 392, .top = 344, .right = 660, .bottom = 508};
inline constexpr MenuCell kBand{.left = 660, .top = 40, .right = 664, .bottom = 64};
inline constexpr MenuCell kBandStripe{.left = 392, .top = 23, .right = 664, .bottom = 36};
inline constexpr MenuCell kWinLetters[3] = {{.left = 4, .top = 784, .right = 160, .bottom = 900},
                                            {.left = 164, .top = 784, .right = 204, .bottom = 900},
                                            {.left = 208, .top = 784, .right = 312, .bottom = 900}};
inline constexpr MenuCell kLose{.left = 4, .top = 904, .right = 404, .bottom = 1020};
inline constexpr MenuCell kDraw{.left = 316, .top = 784, .right = 768, .bottom = 896};
inline constexpr MenuCell kMissionWinBand{.left = 612, .top = 560, .right = 616, .bottom = 566};
inline constexpr MenuCell kMissionWin{.left = 708, .top = 580, .right = 1020, .bottom = 680};
inline constexpr MenuCell kMissionLoseBand{.left = 612, .top = 572, .right = 616, .bottom = 578};
inline constexpr MenuCell kMissionLose{.left = 696, .top = 480, .right = 1020, .bottom = 576};
inline constexpr MenuCell kDefeatNotice{.left = 4, .top = 648, .right = 260, .bottom = 780};

// ---- Window frame (menus, the mission result, the tutorial): three rows
// of three parts, each 36 x 36.
inline constexpr MenuCell kWindowParts[3][3] = {
    {{.left = 4, .top = 532, .right = 40, .bottom = 568},
     {.left = 40, .top = 532, .right = 76, .bottom = 568},
     {.left = 72, .top = 532, .right = 108, .bottom = 568}},
    {{.left = 4, .top = 568, .right = 40, .bottom = 604},
     {.left = 40, .top = 568, .right = 76, .bottom = 604},
     {.left = 72, .top = 568, .right = 108, .bottom = 604}},
    {{.left = 4, .top = 600, .right = 40, .bottom = 636},
     {.left = 40, .top = 600, .right = 76, .bottom = 636},
     {.left = 72, .top = 600, .right = 108, .bottom = 636}}};

// ---- Mission result: the letters of ranks 4-6.
inline constexpr MenuCell kRankLetters[3] = {{.left = 516, .top = 312, .right = 544, .bottom = 344},
                                             {.left = 484, .top = 312, .right = 512, .bottom = 344},
                                             {.left = 452, .top = 312, .right = 480, .bottom = 344}};
}
