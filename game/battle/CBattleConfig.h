#pragma once

// The battle setup: a child scene of the local battle and network scenes
// that fills a battle setting over four pages, mode, members, rules and
// weapons, then sets its page to PAGE_START (fight with the setting) or
// PAGE_LEAVE (back out). The owner polls GetPage every frame and acts on
// those two.
//
// Each page runs a small phase machine (fade-in, its active phases,
// fade-out, then one frame of forward or back that picks the next page);
// the phases keep their numbers because the host sends its page changes
// to the guests as (phase, next phase) pairs. Online, the host drives the
// page flow and the rules, every player edits their own member panel and
// loadout, and each change goes to the peers (SetupMessages.h); the owner
// hands the peers' messages to OnPeerMessage. A random match starts on the
// members page, where its players wait for the lobby to make the match
// while they choose; each goes through the pages at its own pace (only its
// own seat and loadout), and the match's host starts with the lobby
// room's rules once every player is ready.
//
// The pages: the mode page below, the members page
// (BattleConfigMembersPage.cpp), the rules page (BattleConfigRulesPage.cpp)
// and the weapons page (BattleConfigWeaponsPage.cpp); this file's source
// keeps the set-up, the page flow, the fades, the back menu, the chat line,
// the peer messages and the drawing every page shares.
//
// Input, every frame (SetupInput): the menu keys of pad record 0 with the
// mouse in layout units (up, down, left, right, decide, cancel, the two
// mouse buttons; the camera keys held turn the weapons page's preview),
// the chat key (logical button 32) and the Enter and Shift keys.

#include "engine/core/CRandom.h"
#include "engine/core/CScene.h"
#include "game/app/tag_TOLQMENU.h"
#include "game/battle/SetupMessages.h"
#include "game/menu/CMenuFrame.h"
#include "game/menu/MenuFade.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CCamera;
class CCharacter;
class CFontTexture;
class CGameConfig;
class CLobbyClient;
class CListener;
class CMenuPainter;
class CNetSession;
class CSoundBuffer;
class CTexture;
struct CCharacterDefinition;
struct CClothesDefinition;
struct CWeaponDefinition;
struct tag_TOLQBATTLEPLAYER;
struct tag_TOLQBATTLESETTING;

// What the owner hands Init.
struct tag_TOLQSETUPPARAM
{
    uint32_t startPage = 0;
    float backgroundAlpha = 0.0f;
    float fade = 0.0f;
    float unused = 0.0f;
    int32_t startPhase = 0;
    uint32_t online = 0;
    uint32_t host = 0;
    uint32_t randomMatch = 0;
    tag_TOLQBATTLESETTING* setting = nullptr; // always given by the game's owners
    CNetSession* session = nullptr;           // stored into the setting
    CLobbyClient* lobby = nullptr;            // stored into the setting
};

// One frame's input of the setup.
struct SetupInput
{
    MenuKeys keys;
    bool chatPressed = false; // logical button 32, down this frame and not the last
    bool enterDown = false;
    bool shiftDown = false;
};

// The game data the pages offer: the definitions of the resource
// controller's lists, in list order (the play data's tables follow it).
struct SetupGameData
{
    std::vector<const CCharacterDefinition*> characters;
    std::vector<const CWeaponDefinition*> weapons;
    std::vector<const CClothesDefinition*> clothes;
};

class CBattleConfig : public CScene
{
public:
    enum Page : uint32_t
    {
        PAGE_MODE = 0,
        PAGE_MEMBERS = 1,
        PAGE_RULES = 2,
        PAGE_WEAPONS = 3,
        PAGE_LEAVE = 4, // read by the owner
        PAGE_START = 5, // read by the owner
    };
    // Phases by page; their numbers travel to the peers.
    enum class ModePhase : int32_t
    {
        FadeIn = 0,
        Active = 1,
        FadeOut = 2,
        Forward = 3,
        Back = 4,
        BackMenu = 5,
    };
    enum class MembersPhase : int32_t
    {
        FadeIn = 0,
        Panels = 1,
        Editing = 2,
        FadeOut = 3,
        Forward = 4,
        Back = 5,
        BackMenu = 6,
    };
    using RulesPhase = ModePhase;
    enum class WeaponsPhase : int32_t
    {
        FadeIn = 0,
        Loadout = 1,
        Category = 2,
        WeaponList = 3,
        Waiting = 4,
        FadeOut = 5,
        Forward = 6,
        Back = 7,
        BackMenu = 8,
    };
    // A page change: the fade-out phase and the phase taken after it.
    struct CursorPair
    {
        int32_t phase;
        int32_t nextPhase;
    };
    static constexpr CursorPair kModeForward{2, 3};
    static constexpr CursorPair kModeBack{2, 4};
    static constexpr CursorPair kMembersForward{3, 4};
    static constexpr CursorPair kMembersBack{3, 5};
    static constexpr CursorPair kRulesForward{2, 3};
    static constexpr CursorPair kRulesBack{2, 4};
    static constexpr CursorPair kWeaponsForward{5, 6};
    static constexpr CursorPair kWeaponsBack{5, 7};
    static constexpr int32_t kLastPhase = 8;

    // Rules page rows; the weapons page's rows.
    static constexpr int32_t kRuleRows = 11;
    static constexpr int32_t ROW_STAGE = 0, ROW_MUSIC = 1, ROW_RULE = 2, ROW_LIMIT = 3, ROW_TIME = 4,
                             ROW_CPU_LEVEL = 5, ROW_ITEMS = 6, ROW_WEAPONS = 7, ROW_NPCS = 8, ROW_NEXT = 9,
                             ROW_RESET = 10;
    static constexpr int32_t ROW_ADD = 0, ROW_DONE = 11;
    static constexpr uint32_t kMaxWeight = 10;
    static constexpr int32_t kVisibleListRows = 8;
    static constexpr int32_t kPanels = 8;
    // Logical buttons the setup reads besides the menu keys.
    static constexpr uint8_t kChatButton = 32;
    static constexpr uint32_t kMatchingPollMilliseconds = 4000;

    // Ids of the controls the pages report each frame (tests click them).
    static constexpr int32_t kSoloPanelId = 1, kTeamPanelId = 2;
    static constexpr int32_t kMemberPanelId = 10;    // + panel index
    static constexpr int32_t kMembersDecideId = 20;
    static constexpr int32_t kSeatLeftId = 21, kSeatRightId = 22, kTeamLeftId = 23, kTeamRightId = 24;
    static constexpr int32_t kPanelOkId = 25;
    static constexpr int32_t kCharacterIconId = 30; // + character index
    static constexpr int32_t kRuleLabelId = 100;    // + row
    static constexpr int32_t kRuleArrowLeftId = 120, kRuleArrowRightId = 130; // + row
    static constexpr int32_t kRuleValueId = 200;    // + row x 100 + column
    static constexpr int32_t kAddRowId = 1000, kLoadoutRowId = 1001; // + loadout row - 1
    static constexpr int32_t kDoneId = 1011;
    static constexpr int32_t kCategoryTabId = 1020; // + category
    static constexpr int32_t kTypeTabId = 1030;     // + type cursor
    static constexpr int32_t kListRowId = 1040;     // + visible row

    CBattleConfig();
    ~CBattleConfig() override;
    const char* GetClassName() const override { return "CBattleConfig"; }

    // parameter: a tag_TOLQSETUPPARAM, or 0 (a setting of eight of its own,
    // freed with the scene). Returns 1.
    int Init(uintptr_t parameter) override;
    // One frame from pad record 0 and the frame time. Returns 1.
    int Update(uintptr_t argument) override;
    // The same from a given input (tests, and scenes that script it).
    void Step(const SetupInput& input, uint32_t milliseconds);
    int Render(uintptr_t argument) override;
    uint32_t Release() override;

    // Before Init: the game data and settings to use instead of the game
    // application's (tests).
    void SetGameData(const SetupGameData& data);
    void SetGameConfig(CGameConfig* config) { m_config = config; }

    uint32_t GetPage() const { return m_page; }
    // The local battle reopens the setup on the mode or members page.
    void SetPage(uint32_t page);
    int32_t GetPhase() const { return m_phase; }
    int32_t GetNextPhase() const { return m_nextPhase; }
    int32_t GetRow() const { return m_row; }
    int32_t GetColumn() const { return m_column; }
    int32_t GetListIndex() const { return m_listIndex; }
    int32_t GetListTop() const { return m_listTop; }
    int32_t GetCategory() const { return m_category; }
    float GetFade() const { return m_fade.Level(); }
    float GetBackgroundAlpha() const { return m_background.Level(); }
    bool IsBackMenuOpen() const { return m_backMenuOpen; }
    // The player chose to leave the random match (the page may still fade
    // out): the owner lets the match's other players go at once.
    bool HasLeftMatch() const { return m_leftMatch; }
    bool IsChatOpen() const { return m_chatOpen; }
    const tag_TOLQMENU& GetBackMenu() const { return m_backMenu; }
    tag_TOLQBATTLESETTING* GetSetting() const { return m_setting; }
    const CMenuFrame& GetFrame() const { return m_frame; }
    // Where a key last asked the mouse to go (layout units).
    std::optional<MenuPoint> GetMouseTarget() const { return m_mouseTarget; }

    // Online: whether this side hosts the setup (a random match's guest
    // stops hosting once it has a seat).
    void SetHost(bool host) { m_host = host; }
    bool IsHost() const { return m_host; }
    // A random match's guest was given a seat: its entry moved from one
    // place of the setting to another, and the cursor goes with it.
    void FollowOwnSeat(int32_t from, int32_t to);

    // A page change: both phases at once. The owner calls it for the host's
    // message 3, so a guest follows the host's pages.
    void SetCursor(int32_t phase, int32_t nextPhase);
    void SetCursor(CursorPair pair) { SetCursor(pair.phase, pair.nextPhase); }

    // Senders: 1 when sent, 0 without a peer session (SendCursor and
    // SendRules also off the host).
    uint32_t SendCursor(int32_t phase, int32_t nextPhase);
    uint32_t SendCursor(CursorPair pair) { return SendCursor(pair.phase, pair.nextPhase); }
    uint32_t SendRules(const tag_TOLQBATTLERULE& rules);
    uint32_t SendPlayerSummary(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot);
    // The same bytes when the caller holds the session's locks (a peer's
    // departure).
    uint32_t SendPlayerSummaryNoLock(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot);
    uint32_t SendPlayerEntry(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot);
    // A peer's setup message (ids 3-6) as the owner hands it on, inside the
    // lock it also holds around Update: applied to the page and the setting
    // (the host passes messages 5 and 6 on to everyone). False for another
    // id or a message that is refused (wrong length, values out of range).
    bool OnPeerMessage(int32_t id, const uint8_t* payload, uint32_t length);

    // The rules page's reset row: random stage and music, limit 4, no time
    // limit, CPU level 2, every item and weapon class, the rule of the mode;
    // then the rules are sent.
    void ResetRules();
    // The random match's rules from the lobby room, once the room is full
    // (rules page, every frame).
    void ApplyRoomRules(const SetupInput& input);
    // Whether the lobby still seeks this side's random match.
    bool MatchSought() const;
    // Whether the random match's players are not all in yet (sought, or
    // made and waiting for its guests or for this side's seat): the status
    // line shows.
    bool MatchWaiting() const;

    // Members page.
    bool IsSlotStateTaken(int8_t state) const;
    bool CanAdvanceMembers() const;
    // Weapons page: the own entry (the first whose seat is the own slot).
    tag_TOLQBATTLEPLAYER* GetOwnEntry() const;
    int32_t GetOwnIndex() const;
    bool HasCompleteLoadout() const;
    bool HasShortWeapon() const;
    bool HasLongOrSpecialWeapon() const;
    bool AllSeatsReady() const;
    uint32_t GetLoadoutWeight() const;
    // Loadout row n (from 1): its slot (-1 none), name, weight.
    int32_t GetLoadoutIndex(int32_t row) const;
    const char* GetLoadoutName(int32_t row) const;
    uint32_t GetLoadoutRowWeight(int32_t row) const;
    int32_t GetLoadoutRowCount() const;
    int32_t GetCategoryTypeCount(int32_t category) const;
    uint8_t GetCurrentWeaponType() const;
    // The list of the current type: the remove item first while replacing
    // a row (index -1 here), then the weapons' indices in the weapon list.
    std::vector<int32_t> GetListedWeapons() const;
    int32_t CountListedWeapons() const;
    // Whether weapon fits the loadout: not in it already, and its weight
    // with the loadout's (less the row being replaced) at most 10.
    bool WeaponFits(const CWeaponDefinition& weapon) const;
    // The character whose weapons the page offers (the pick when random).
    int32_t GetLoadoutCharacter() const;

    // Layout helpers every page shares: a cell drawn with its top-left
    // corner at (x, y) covers this rectangle; the mouse test includes its
    // edges and, as every item's, answers only while the pointer leads
    // (CMenuFrame).
    static MenuRect SpriteRect(MenuPoint at, const MenuCell& cell);
    bool HitTestSprite(MenuPoint at, const MenuCell& cell, MenuPoint mouse) const;
    static MenuPoint GetSpriteCenter(MenuPoint at, const MenuCell& cell);

private:
    using PhaseValue = int32_t;
    template <class PhaseEnum>
    static constexpr PhaseValue Value(PhaseEnum phase)
    {
        return static_cast<PhaseValue>(phase);
    }
    template <class PhaseEnum>
    bool InPhase(PhaseEnum phase) const
    {
        return m_phase == Value(phase);
    }
    template <class PhaseEnum>
    void EnterPhase(PhaseEnum phase)
    {
        SetPhase(Value(phase));
    }
    // Every page and phase is entered here.
    void SetPhase(PhaseValue phase);
    // Brings the row, column and list cursors onto what the page has.
    void KeepCursorInPage();
    void KeepRulesCursorInPage();
    void KeepWeaponsCursorInPage();
    void GatherGameData();
    void CreateCamera();

    // Common phases. True when the fade ended this frame.
    bool StepFadeIn(uint32_t milliseconds, PhaseValue active);
    bool StepFadeOut(uint32_t milliseconds);
    // Sends and takes a page change.
    void ChangePage(CursorPair pair);
    // The next page; PAGE_LEAVE and PAGE_START fade the music out.
    void EnterPage(uint32_t page);
    void OpenBackMenu(PhaseValue backMenuPhase);
    // The back menu's frame: 1 when it chose "はい", 0 when it closed
    // otherwise, -1 while it stays open.
    int32_t UpdateBackMenu(const SetupInput& input);
    void CloseBackMenu();
    // The page's back menu: on "はい" the back pair, else the active phase.
    // In a random match every back menu but the weapons page's leaves the
    // setup, and its "はい" leaves the match at once.
    void RunBackMenu(const SetupInput& input, CursorPair back, PhaseValue active, bool decideSound);
    // A random match's player who chose to leave is out of the match at
    // once, while the page still fades out: the server stops seeking it,
    // the setup asks nothing more, and an answer already on its way makes
    // it nobody's host or guest.
    void LeaveMatch();
    bool CanChat() const;
    bool ChatKeyOpensLine(const SetupInput& input);
    void UpdateChatLine(const SetupInput& input);
    void MoveMouseTo(MenuPoint point);
    void Play(MenuSound sound) { m_frame.Play(sound); }
    bool Clicked(const SetupInput& input) const { return input.keys.Pressed(MenuKey::Click); }
    bool AltClicked(const SetupInput& input) const { return input.keys.Pressed(MenuKey::AltClick); }
    bool DecidePressed(const SetupInput& input) const { return input.keys.Pressed(MenuKey::Decide); }
    bool CancelPressed(const SetupInput& input) const
    {
        return input.keys.Pressed(MenuKey::Cancel) || input.keys.Pressed(MenuKey::AltClick);
    }
    CNetSession* Session() const;
    CLobbyClient* Lobby() const;
    // While the lobby seeks the match, on every page: a poll at once and
    // every few seconds, so that the match is made while the players still
    // choose.
    void PollForMatch(uint32_t milliseconds);
    void DrawMatchingStatus(uint32_t color) const;
    uint32_t Send(int16_t id, const std::vector<uint8_t>& payload, bool unlocked = false);
    void SendAllSummaries();
    bool StartMatch(const SetupMessages::Cursor& cursor);
    void ApplySummary(const SetupMessages::PlayerSummary& summary);
    void ApplyEntry(const SetupMessages::PlayerEntryMessage& message);
    const char* FindWeaponName(const std::string& name) const;
    const char* FindClothesName(const std::string& name) const;
    uint8_t CharacterCount() const;
    const CCharacterDefinition* CharacterAt(int32_t index) const;
    const CWeaponDefinition* FindWeapon(const char* name) const;
    int32_t FindWeaponIndex(const char* name) const;
    bool OwnsWeapon(uint32_t index) const;
    uint8_t DrawRandom(uint32_t count);
    // The random character of an entry of the setting, by its seat.
    uint8_t DrawSeatRandom(const tag_TOLQBATTLEPLAYER& entry) const;

    // Mode page (this file).
    void UpdateModePage(const SetupInput& input, uint32_t milliseconds);
    void UpdateModeActive(const SetupInput& input);
    void SetTeamBattle(bool team, bool byKey);
    void RenderModePage(const CMenuPainter& painter);

    // Members page.
    void UpdateCharacterPage(const SetupInput& input, uint32_t milliseconds);
    void UpdatePanels(const SetupInput& input);
    bool MovePanelCursor(const SetupInput& input);
    void UpdateEditing(const SetupInput& input);
    bool IsPanelEditable(int32_t panel) const;
    int8_t NextSlotState(int8_t state, int32_t direction) const;
    void ChangeSlotState(int32_t panel, int32_t direction);
    void SendEntrySummary(int32_t panel);
    void MembersForward();
    void PrepareEntry(tag_TOLQBATTLEPLAYER* entry);
    void RenderCharacterPage(const CMenuPainter& painter);

    // Rules page.
    void UpdateRulesPage(const SetupInput& input, uint32_t milliseconds);
    void UpdateRulesActive(const SetupInput& input);
    bool CanEditRow(int32_t row) const;
    void StepRowValue(int32_t row, int32_t direction);
    void ApplyRowValue(int32_t row, int32_t column);
    void MoveRulesRow(int32_t step);
    void RulesMouse(const SetupInput& input);
    void RulesForward();
    void DrawRandomStage();
    void RenderRulesPage(const CMenuPainter& painter);
    const char* MusicTitle() const;

    // Weapons page.
    void UpdateWeaponsPage(const SetupInput& input, uint32_t milliseconds);
    void UpdateLoadout(const SetupInput& input);
    void FinishLoadout();
    void UpdateCategory(const SetupInput& input);
    void UpdateWeaponList(const SetupInput& input);
    void PickListItem();
    void StepLoadoutRow(int32_t step);
    void MoveMouseToLoadoutRow();
    // The loadout row under the mouse becomes the cursor's; false when the
    // mouse is on none.
    bool HoverLoadoutRows();
    void TurnPreview(tag_TOLQBATTLEPLAYER* entry, const SetupInput& input, uint32_t milliseconds);
    void ShowOnPreview(const CWeaponDefinition* weapon);
    void ClearReadyFlags();
    void RenderWeaponsPage(const CMenuPainter& painter);
    void DrawLoadout(const CMenuPainter& painter, uint32_t color);
    void DrawWeaponList(const CMenuPainter& painter, uint32_t color);
    void DrawWeaponDetails(const CMenuPainter& painter, const CWeaponDefinition& weapon, uint32_t color);
    void DrawTypeTabs(const CMenuPainter& painter, uint32_t color);
    void RenderPreview();

    // Drawing every page shares.
    void DrawHeading(const CMenuPainter& painter, uint32_t page, uint32_t color) const;
    void DrawArrowButton(const CMenuPainter& painter, MenuPoint at, bool pointsRight, uint32_t color) const;
    void DrawFocusFrame(const CMenuPainter& painter, const MenuRect& rect) const;
    void DrawWindow(const CMenuPainter& painter, const MenuRect& rect, uint32_t color) const;
    void DrawTitledWindow(const CMenuPainter& painter, const MenuRect& title, const MenuRect& body,
                          uint32_t color) const;
    void DrawListWindow(const CMenuPainter& painter, const MenuRect& rect, int32_t first, int32_t count,
                        uint32_t color) const;
    void DrawScrollBar(const CMenuPainter& painter, const MenuRect& track, int32_t first, int32_t count,
                       uint32_t color) const;
    void DrawChat(const CMenuPainter& painter, uint32_t color);
    // A line of text across the bottom of the page (20 points).
    void DrawStatusLine(const CMenuPainter& painter, const char* text, uint32_t color) const;
    // The status line's "waiting for the battle to start".
    void DrawWaitingLine(const CMenuPainter& painter, uint32_t color) const;
    uint32_t PageColor() const;

    uint32_t m_page = PAGE_MODE;
    MenuFade m_background;
    MenuFade m_fade;
    PhaseValue m_phase = 0;
    PhaseValue m_nextPhase = 0;
    bool m_enterHeld = false;
    uint32_t m_elapsedMs = 0;
    uint32_t m_pollTimer = 0;
    bool m_polled = false;
    int32_t m_row = 0;
    int32_t m_column = 0;
    int32_t m_listIndex = 0;
    int32_t m_category = 0;
    int32_t m_listTop = 0;
    bool m_online = false;
    bool m_host = false;
    bool m_randomMatch = false;
    bool m_chatOpen = false;
    bool m_backMenuOpen = false;
    bool m_leftMatch = false;
    tag_TOLQBATTLESETTING* m_setting = nullptr;
    CTexture* m_texture = nullptr;
    CFontTexture* m_font = nullptr;
    std::unique_ptr<CCamera> m_camera;
    std::unique_ptr<CListener> m_listener;
    CSoundBuffer* m_bgm = nullptr;

    tag_TOLQMENU m_backMenu;
    CMenuFrame m_frame;
    std::optional<MenuPoint> m_mouseTarget;
    SetupGameData m_data;
    bool m_dataGiven = false;
    CGameConfig* m_config = nullptr;
    // Random draws of the setup (stage, characters) come from the setting's
    // seed, not the battle's stream.
    CRandom m_random;
    // Peers' names, which their entries point at while this scene lives.
    std::array<std::string, kPanels> m_peerNames;
};
