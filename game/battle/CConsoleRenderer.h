#pragma once

#include "game/battle/ConsoleSheet.h"
#include "game/menu/CMenuFrame.h"
#include "game/menu/CMenuPainter.h"

#include <cstdint>
#include <string>

class CCamera;
class CCharacter;
class CFontTexture;
class CItem;
class CTexture;
class CWeapon;
struct CWeaponDefinition;
struct tag_TOLQBATTLESETTING;
struct tag_TOLQCHARAACTION;
struct tag_TOLQCONSOLESTATE;
struct tag_TOLQMENU;
struct tag_TOLQRADIOLINE;

// What the HUD drew, as each element reports itself in the frame's item
// list: the element's id times kHudItemStride plus its index (a digit, a
// line, a fighter), its place in layout units and, where it says something,
// what it says.
enum class HudItem : int32_t
{
    Reticle = 1,
    Scope,
    CharacterPlate,
    StatusFrame,
    LifeGauge,
    ElementGauge,
    EpPips,
    StatusIcon, // by status bit
    PlayerName,
    TeamMark,
    WeaponPanel,
    WeaponName,
    KindLabel,
    Rounds,
    Capacity,
    AmmoGauge,
    SelectionEntry, // list * 10 + entry, the current one 2
    EffectMark,
    TimeLabel,
    TimeSeconds,
    TimeMilliseconds,
    NoLimitMark,
    Radar,
    RadarArrow, // by fighter
    RadarMark,  // by stage object
    RuleIcon,   // by line
    RulePips,   // by line or team; label "filled/total"
    TeamPlate,  // by team
    CountPanel,
    CountText,
    ListShutter,
    ListTitle,
    ListTeam, // by team
    ListLine, // by line
    ListMore,
    ListMap,
    ListArrow, // by fighter
    KillFeed,
    RadioLine, // by line
    LockOn,
    Banner, // label: which
    BannerBand,
    DefeatNotice,
    MenuWindow,
    MenuLine, // by line, the title first
    MissionPanel,
    MissionScore,
    MissionRank,
    Fade,
    NamePlate,   // by fighter
    WeaponLabel, // by field weapon
    ItemLabel,   // by field item
};
inline constexpr int32_t kHudItemStride = 1000;
constexpr int32_t HudItemId(HudItem item, uint32_t index = 0)
{
    return static_cast<int32_t>(item) * kHudItemStride + static_cast<int32_t>(index % kHudItemStride);
}

// Draws the battle HUD of one frame from the console's state: the 2D pass
// (Render) and the world overlays of the 3D pass (RenderWorldOverlays), one
// function per element, in the order they stack. It reads the state and
// the fighters and changes nothing of either; every element it draws
// reports itself to the item list it is given.
//
// Everything is placed in layout units of the screen rule (CMenuLayout):
// s = height / 768 over the whole client area, so that the panels keep to
// the window's edges and the participant list centres its 1024 units.
//
// Element files: ConsolePanels.cpp (reticle, status panel, effect mark,
// time, rule panels, lock-on), ConsoleWeapons.cpp (weapon panel and
// selection window), ConsoleRadar.cpp, ConsoleMessages.cpp (participant
// list, kill feed, radio lines), ConsoleBanners.cpp (banners, defeat
// notice), ConsoleMenus.cpp (menus, window frames, mission result, fade),
// ConsoleOverlays.cpp (name plates and field labels).
class CConsoleRenderer
{
public:
    struct Resources
    {
        CTexture* sheet = nullptr;      // "Console_01.dds"
        CFontTexture* large = nullptr;  // font list entry 1
        CFontTexture* small = nullptr;  // font list entry 0
        const tag_TOLQBATTLESETTING* setting = nullptr;
        CCamera* camera = nullptr;      // the battle's, for what the HUD projects
        bool rotatingRadar = false;
    };

    CConsoleRenderer(const tag_TOLQCONSOLESTATE& state, const Resources& resources, const CMenuLayout& layout,
                     CMenuFrame* items);

    // The 2D HUD, last in the battle's render pass.
    void Render();
    // Name plates and field labels, in the 3D pass.
    void RenderWorldOverlays();
    // A nine-part window around inner (layout units), its border border
    // units deep outside it.
    void DrawWindowFrame(const MenuRect& inner, float border, uint32_t color);

    // The team colours of the radar and the participant map (team 4: none).
    static uint32_t TeamColor(uint8_t team);

    // The HUD's slides and shutters, told to the transitions' count as
    // their clocks move (drawing itself changes nothing): a kill-feed or
    // radio line's clock, the participant list's, and a fighter's weapon
    // palette, whose clocks have just moved on by milliseconds.
    static void ReportLineClock(uint32_t before, uint32_t after);
    static void ReportParticipantClock(uint32_t before, uint32_t after);
    static void ReportPaletteClocks(const tag_TOLQCHARAACTION& action, uint32_t milliseconds);

private:
    // What a weapon panel shows: the weapon, its counts and its reload.
    struct WeaponView
    {
        const CWeaponDefinition* definition = nullptr;
        bool counted = false; // long and special weapons
        uint32_t count = 0;
        uint32_t capacity = 0;
        uint32_t reloadClock = 0;
    };
    // One list of the weapon selection window.
    struct WeaponList
    {
        const CWeapon* weapons[10] = {};
        uint32_t count = 0;
        uint32_t current = 0;
    };

    // ---- 2D pass, in drawing order
    void DrawReticle();
    void DrawScope();
    void DrawAimPoint();
    void DrawStatusPanel();
    void DrawCharacterPlate();
    void DrawGauges();
    void DrawEpPips();
    void DrawStatusIcons();
    void DrawPlayerName();
    void DrawTeamMark();
    void DrawWeaponPanel();
    void DrawWeaponSelection();
    void DrawEffectMark();
    void DrawTime();
    void DrawRadar();
    void DrawRadarMap(MenuPoint centre, float turn);
    void DrawRadarArrows(MenuPoint centre, float turn);
    void DrawRadarMarks(MenuPoint centre, float turn);
    void DrawRulePanel();
    void DrawPlayerPips(bool medals);
    void DrawTeamPips(bool countingDown);
    void DrawCount(const char* format, int32_t value);
    // Pips in a player's row: limit + 1, as many as the row has room for.
    uint32_t PlayerPips() const;
    // The shift (layout units) that moves an area clear of the score panel
    // by clearance, towards the screen's middle: rightwards off the players'
    // rows and the count panel, downwards off the team plates; none when
    // the two don't meet.
    MenuPoint ClearOfScorePanel(const MenuRect& area, float clearance) const;
    void DrawParticipantList();
    void DrawListShutter(float closing);
    void DrawListMembers(uint32_t alpha);
    float DrawListLines(uint32_t players, int team, float y, uint32_t alpha, bool* ended);
    void DrawListMap(uint32_t alpha);
    void DrawKillFeed();
    void DrawRadioLines();
    void DrawLockOn();
    void DrawBanners();
    void DrawReadyBanner(float u);
    void DrawGoBanner(float u);
    void DrawSideBands(float u);
    void DrawWinBanner(float u);
    void DrawLoseBanner(float u);
    void DrawDrawBanner(float u);
    void DrawMissionWinBanner(float u);
    void DrawMissionLoseBanner(float u);
    void DrawDefeatNotice();
    void DrawMenus();
    void DrawMenu(const tag_TOLQMENU& menu);
    void DrawMissionResult();
    void DrawFade();

    // ---- Pieces
    void DrawWeaponPiece(const WeaponView& weapon, MenuPoint topLeft, float scale, uint32_t color);
    void DrawCounts(const WeaponView& weapon, MenuPoint topLeft, float scale, uint32_t color);
    void DrawSelectionList(const WeaponList& list, MenuPoint topLeft, uint32_t color, int32_t listIndex);
    void DrawSlidingLine(HudItem item, uint32_t index, const char* text, MenuPoint at, uint32_t clock,
                         const MenuCell& back, uint32_t backColor, float backHeight);
    void DrawNamePlate(CCharacter* fighter, uint32_t index);
    MenuRect PlateArea(MenuPoint at, float scale, const char* name, bool marked) const;
    void DrawWeaponLabel(const CWeapon& weapon, uint32_t index);
    void DrawItemLabel(const CItem& item, uint32_t index);

    // ---- Helpers (CConsoleRenderer.cpp)
    // A cell with its anchor point at the layout point; returns where it
    // lies.
    MenuRect Sprite(const MenuCell& cell, MenuPoint at, MenuAnchor anchor, uint32_t color, float scale = 1.0f,
                    float depth = 0.0f) const;
    MenuRect SpriteStretched(const MenuCell& cell, MenuPoint at, MenuAnchor anchor, float scaleX, float scaleY,
                             uint32_t color) const;
    // The figures of a number panel, one per character of figures (a digit
    // picks that picture of the row, anything else its first), the first
    // with its top-left corner at the layout point, each pitch further
    // along; each drawn as far as its ink reaches. Returns where they lie,
    // to the last one's ink.
    MenuRect DrawFigures(const ConsoleSheet::CellRow& row, const std::string& figures, MenuPoint at, float pitch,
                         float scale, uint32_t color) const;
    void Report(HudItem item, uint32_t index, const MenuRect& rect, std::string label = {});
    // Edges of the screen in layout units, and points given from them.
    float Right() const { return m_area.right; }
    float Bottom() const { return m_area.bottom; }
    MenuPoint Centre() const { return {m_area.right * 0.5f, m_area.bottom * 0.5f}; }
    MenuPoint FromTopRight(MenuPoint p) const { return {Right() - p.x, p.y}; }
    MenuPoint FromBottomLeft(MenuPoint p) const { return {p.x, Bottom() - p.y}; }
    MenuPoint FromBottomRight(MenuPoint p) const { return {Right() - p.x, Bottom() - p.y}; }
    MenuPoint FromTopCentre(MenuPoint p) const { return {Right() * 0.5f + p.x, p.y}; }
    // The fighter's battle name, else its character's, cut to fit.
    static constexpr size_t kNameBytes = 64;
    static void NameOf(CCharacter* fighter, char (&out)[kNameBytes]);
    // Colours: at half brightness, with alpha (0..255) set, with alpha
    // scaled by share (0..1); values as three digits (at most 999).
    static uint32_t HalfBright(uint32_t color);
    static uint32_t WithAlpha(uint32_t color, uint32_t alpha);
    static uint32_t FadedBy(uint32_t color, float share);
    static std::string ThreeDigits(uint32_t value);
    // The battle's players (never more than its fighters).
    uint32_t PlayerCount() const;
    CCharacter* Fighter(uint32_t index) const;
    uint8_t Rule() const;
    bool TeamBattle() const;
    bool Mission() const;
    // A point of the world in layout units and its depth; false behind the
    // camera or without one.
    bool Project(const float* world, MenuPoint* at, float* depth) const;
    float DistanceFromCamera(const float* world) const;

    const tag_TOLQCONSOLESTATE& m_state;
    Resources m_resources;
    CMenuPainter m_painter;
    CMenuFrame* m_items;
    MenuRect m_area;
    float m_margin = 0.0f; // the centred 4:3 area's left edge
    uint32_t m_hudColor = 0xFFFFFFFF;
    CCharacter* m_focused = nullptr;
};
