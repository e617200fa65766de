// The battle setup: set-up and release, the frame and the page flow, the
// fades, the back menu, the chat line, the peer messages, the mode page,
// and the drawing every page shares.
//
// Sections: set-up and release; the frame and the page flow; back menu
// and chat line; peer messages; the mode page; shared drawing.
#include "game/battle/CBattleConfig.h"

#include "engine/core/CResourceList.h"
#include "engine/core/GameText.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CImeInput.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/input/KeyCodes.h"
#include "engine/platform/sound/CListener.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CGameDataLists.h"
#include "game/actor/CGameDataResource.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/battle/SeatDraws.h"
#include "game/battle/SeatRadioChat.h"
#include "game/battle/SetupSheet.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuButton.h"
#include "net/CNetSession.h"
#include "net/lobby/CLobbyClient.h"
#include "net/lobby/CLobbyRoom.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr const char* kTextureName = "Select_01.dds";
constexpr const char* kMusicName = "Bgm_option.ogg";
constexpr uint32_t kFontIndex = 1;
constexpr float kMusicLoopSeconds = 7.058f;
constexpr int32_t kMusicFadeIn = 200;
constexpr int32_t kMusicFadeOut = -200;
// The preview's camera, in world units.
constexpr int kCameraFov = 30;
constexpr float kAspect4x3 = 1.333333f;
constexpr float kCameraNear = 0.1f;
constexpr float kCameraFar = 1500.0f;
constexpr float kEye[3] = {-0.35f, 0.7f, -3.2f};
constexpr float kTarget[3] = {-0.35f, 0.7f, 0.0f};
constexpr float kUp[3] = {0.0f, 1.0f, 0.0f};
// The chat line takes at most this many characters.
constexpr int32_t kChatLength = 36;
constexpr uint8_t kSetupPlayers = 8;

// Texts of the setup (UTF-8 here, Shift-JIS on screen).
constexpr const char* kBackTitle = "戻りますか？";
constexpr const char* kBackItems[2] = {"はい", "いいえ"};
constexpr int8_t kBackCodes[2] = {1, 2};
constexpr int8_t kBackYes = 0; // the cursor on "はい"
constexpr const char* kWaitingText = "対戦開始待ち";
// The status line: 20 points, 100 units above the bottom edge.
constexpr float kStatusSize = 20.0f;
constexpr float kStatusFromBottom = 100.0f;

template <class Definition>
void GatherList(CResourceController* controller, uint8_t kind, std::vector<const Definition*>* out)
{
    auto* list = dynamic_cast<CResourceList<CResourceBase*>*>(controller->GetList(kind));
    if (list == nullptr)
        return;
    for (uint32_t i = 0; i < list->GetCount(); ++i)
    {
        const auto* resource = dynamic_cast<const CGameDataResource<Definition>*>(list->GetItem(i));
        if (resource != nullptr)
            out->push_back(&resource->GetDefinition());
    }
}

SetupInput ReadInput(const CMenuLayout& layout)
{
    SetupInput input;
    if (g_pInput == nullptr)
        return input;
    float mouse[2] = {};
    g_pInput->GetMousePosition(mouse);
    const tag_KVRPADSTATE* pad = g_pInput->GetPadState(0);
    input.keys = MenuKeys::FromPad(pad, layout, {mouse[0], mouse[1]});
    input.chatPressed = CInput::GetMappedButton(pad, CBattleConfig::kChatButton) != 0;
    input.enterDown = g_pInput->GetKeyState(KEY_RETURN) != 0;
    input.shiftDown = g_pInput->GetKeyState(KEY_LSHIFT) != 0 || g_pInput->GetKeyState(KEY_RSHIFT) != 0;
    return input;
}

CMenuLayout FrameLayout()
{
    return CMenuLayout::ForGraphics(g_pController != nullptr ? g_pController->GetGraphics() : nullptr,
                                    MenuScaleRule::Menu4x3);
}
}

// ---------------------------------------------------------------------------
// Set-up and release

CBattleConfig::CBattleConfig() = default;

CBattleConfig::~CBattleConfig()
{
    Release();
}

void CBattleConfig::SetGameData(const SetupGameData& data)
{
    m_data = data;
    m_dataGiven = true;
}

void CBattleConfig::GatherGameData()
{
    if (m_dataGiven)
        return;
    m_data = SetupGameData();
    if (g_pResourceController == nullptr)
        return;
    GatherList(g_pResourceController, CQorResourceController::LIST_CHARACTERS, &m_data.characters);
    GatherList(g_pResourceController, CQorResourceController::LIST_WEAPONS, &m_data.weapons);
    GatherList(g_pResourceController, CQorResourceController::LIST_CLOTHES, &m_data.clothes);
}

int CBattleConfig::Init(uintptr_t parameter)
{
    Release();
    m_page = PAGE_MODE;
    m_phase = 0;
    m_nextPhase = 0;
    m_enterHeld = false;
    m_elapsedMs = 0;
    m_pollTimer = 0;
    m_polled = false;
    m_row = m_column = m_listIndex = m_category = m_listTop = 0;
    m_online = m_host = m_randomMatch = m_chatOpen = m_backMenuOpen = m_leftMatch = false;
    m_frame.KeysLead();
    m_background = MenuFade(0.0f, 1.0f);
    m_fade = MenuFade(0.0f, 1.0f);
    const auto* param = reinterpret_cast<const tag_TOLQSETUPPARAM*>(parameter);
    if (param != nullptr)
    {
        m_setting = param->setting;
        m_page = param->startPage;
        m_phase = param->startPhase;
        m_online = param->online != 0;
        m_host = param->host != 0;
        m_randomMatch = param->randomMatch != 0;
        m_background.SetLevel(param->backgroundAlpha);
        m_fade.SetLevel(param->fade);
    }
    if (m_config == nullptr && g_pController != nullptr)
        m_config = g_pController->GetGameConfig();
    if (m_setting == nullptr)
        m_setting = CreateBattleSettingFrom(kSetupPlayers, 1, m_config);
    if (param != nullptr && m_setting != nullptr)
    {
        m_setting->session = param->session;
        m_setting->lobby = param->lobby;
    }
    GatherGameData();
    // The previews find their models through the game's resources.
    if (g_pResourceController != nullptr && CActorResources::GetController() != g_pResourceController)
        CActorResources::Install(g_pResourceController);
    m_random.Seed(m_setting != nullptr ? m_setting->seed : 0);
    m_backMenu = tag_TOLQMENU();
    m_backMenu.itemCount = 2;
    m_backMenu.title = GameText(kBackTitle);
    static const char* const kItems[2] = {GameText(kBackItems[0]), GameText(kBackItems[1])};
    m_backMenu.items = kItems;
    m_backMenu.codes = kBackCodes;
    if (g_pResourceController != nullptr)
    {
        m_texture = g_pResourceController->GetTextureList().FindByFileName(kTextureName);
        m_bgm = g_pResourceController->GetSoundList().FindByFileName(kMusicName);
    }
    if (g_pController != nullptr)
        m_font = g_pController->GetFont(kFontIndex);
    CreateCamera();
    return 1;
}

void CBattleConfig::CreateCamera()
{
    if (g_pController == nullptr)
        return;
    m_camera = std::make_unique<CCamera>();
    g_pController->SetCameraViewport(m_camera.get());
    m_camera->SetProjection(kCameraFov, kAspect4x3, kCameraNear, kCameraFar);
    m_camera->SetLookAt(kEye, kTarget, kUp);
    const uint32_t sound3D = m_config != nullptr ? m_config->GetData()->sound3D : 1;
    m_listener = std::make_unique<CListener>(g_pController->GetSound(), sound3D);
    m_listener->Apply();
}

uint32_t CBattleConfig::Release()
{
    if (m_setting != nullptr)
    {
        // Received names live here: entries stop naming them.
        for (uint8_t i = 0; i < m_setting->playerCount && i < kPanels; ++i)
        {
            if (m_setting->players[i].name == m_peerNames[i].c_str())
                m_setting->players[i].name = nullptr;
        }
        if (m_setting->freeWithBattle != 0)
            FreeBattleSetting(m_setting);
    }
    m_setting = nullptr;
    for (std::string& name : m_peerNames)
        name.clear();
    m_camera.reset();
    m_listener.reset();
    if (m_bgm != nullptr)
        m_bgm->Fade(0, kMusicFadeOut);
    m_bgm = nullptr;
    m_texture = nullptr;
    m_font = nullptr;
    return CResourceBase::Release();
}

// ---------------------------------------------------------------------------
// The frame and the page flow

int CBattleConfig::Update(uintptr_t)
{
    if (g_pController != nullptr)
        g_pController->UpdateBackgroundEffect();
    Step(ReadInput(FrameLayout()), GetElapsedMilliseconds());
    return 1;
}

void CBattleConfig::Step(const SetupInput& input, uint32_t milliseconds)
{
    m_frame.Begin(FrameLayout(), input.keys, g_pController);
    m_mouseTarget.reset();
    if (m_setting == nullptr)
        return;
    if (m_page < PAGE_LEAVE && g_pController != nullptr && m_config != nullptr)
        g_pController->PlayBgm(m_bgm, m_config->GetData()->bgmVolume, kMusicFadeIn, kMusicLoopSeconds);
    if (m_page < PAGE_LEAVE)
        PollForMatch(milliseconds);
    switch (m_page)
    {
    case PAGE_MODE:
        UpdateModePage(input, milliseconds);
        break;
    case PAGE_MEMBERS:
        UpdateCharacterPage(input, milliseconds);
        break;
    case PAGE_RULES:
        UpdateRulesPage(input, milliseconds);
        break;
    case PAGE_WEAPONS:
        UpdateWeaponsPage(input, milliseconds);
        break;
    default:
        break;
    }
    m_enterHeld = input.enterDown;
}

void CBattleConfig::SetPage(uint32_t page)
{
    EnterPage(page);
}

void CBattleConfig::SetPhase(PhaseValue phase)
{
    m_phase = phase;
    KeepCursorInPage();
}

// The host's page changes (and an owner's) come whatever page and rows this
// side is on: a row of the page left, or a loadout row this side lacks, is
// no row here.
void CBattleConfig::KeepCursorInPage()
{
    if (m_setting == nullptr)
        return;
    switch (m_page)
    {
    case PAGE_MEMBERS:
        // The panels, then the decide button.
        if (m_row < 0 || m_row > m_setting->playerCount)
            m_row = 0;
        break;
    case PAGE_RULES:
        KeepRulesCursorInPage();
        break;
    case PAGE_WEAPONS:
        KeepWeaponsCursorInPage();
        break;
    default:
        break;
    }
}

void CBattleConfig::SetCursor(int32_t phase, int32_t nextPhase)
{
    SetPhase(phase);
    m_nextPhase = nextPhase;
}

bool CBattleConfig::StepFadeIn(uint32_t milliseconds, PhaseValue active)
{
    m_fade.SetTarget(1.0f);
    const bool done = m_fade.Step(milliseconds);
    m_background.RaiseTo(m_fade.Level());
    if (done)
        SetPhase(active);
    return done;
}

bool CBattleConfig::StepFadeOut(uint32_t milliseconds)
{
    m_fade.SetTarget(0.0f);
    if (!m_fade.Step(milliseconds))
        return false;
    SetPhase(m_nextPhase);
    return true;
}

// In a random match every player goes through the pages at their own pace:
// only the host's start travels (ApplyRoomRules).
void CBattleConfig::ChangePage(CursorPair pair)
{
    if (!m_randomMatch)
        SendCursor(pair);
    SetCursor(pair);
}

void CBattleConfig::FollowOwnSeat(int32_t from, int32_t to)
{
    if (m_row == from)
        m_row = to;
}

void CBattleConfig::EnterPage(uint32_t page)
{
    m_page = page;
    SetPhase(0);
    // Where the pointer rests on the old page points at nothing here.
    m_frame.KeysLead();
    if ((page == PAGE_LEAVE || page == PAGE_START) && m_bgm != nullptr)
        m_bgm->Fade(0, kMusicFadeOut);
}

void CBattleConfig::MoveMouseTo(MenuPoint point)
{
    m_mouseTarget = point;
    m_frame.PointerWarped(point);
    if (g_pInput == nullptr)
        return;
    const MenuPoint pixels = m_frame.Layout().LayoutToCursor(point);
    const float mouse[2] = {pixels.x, pixels.y};
    g_pInput->SetMousePosition(mouse);
}

MenuRect CBattleConfig::SpriteRect(MenuPoint at, const MenuCell& cell)
{
    return cell.PlacedAt(at.x, at.y);
}

bool CBattleConfig::HitTestSprite(MenuPoint at, const MenuCell& cell, MenuPoint mouse) const
{
    return !m_frame.IsLocked() && m_frame.PointerLeads() && SpriteRect(at, cell).Contains(mouse);
}

MenuPoint CBattleConfig::GetSpriteCenter(MenuPoint at, const MenuCell& cell)
{
    return SpriteRect(at, cell).Centre();
}

// ---------------------------------------------------------------------------
// Back menu and chat line

void CBattleConfig::OpenBackMenu(PhaseValue backMenuPhase)
{
    SetPhase(backMenuPhase);
    m_backMenuOpen = true;
    m_backMenu.cursor = 0;
    m_backMenu.clock = 0;
    m_backMenu.opening = 0;
}

int32_t CBattleConfig::UpdateBackMenu(const SetupInput& input)
{
    const int step = MenuCursorStep(input.keys);
    if (step != 0)
    {
        MoveMenuCursor(&m_backMenu, step);
        Play(MenuSound::Cursor);
        return -1;
    }
    if (CancelPressed(input))
    {
        CloseBackMenu();
        return 0;
    }
    if (DecidePressed(input) || Clicked(input))
    {
        CloseBackMenu();
        return m_backMenu.cursor == kBackYes ? 1 : 0;
    }
    return -1;
}

// The page beneath, or the one it goes back to, takes the key that closed
// the menu only once it has been let go.
void CBattleConfig::CloseBackMenu()
{
    m_backMenuOpen = false;
    HoldKeysUntilReleased();
}

void CBattleConfig::RunBackMenu(const SetupInput& input, CursorPair back, PhaseValue active, bool decideSound)
{
    const int32_t result = UpdateBackMenu(input);
    if (result == 1)
    {
        Play(decideSound ? MenuSound::Decide : MenuSound::Cancel);
        if (m_page != PAGE_WEAPONS)
            LeaveMatch();
        ChangePage(back);
        return;
    }
    if (result == 0)
        SetPhase(active);
}

void CBattleConfig::LeaveMatch()
{
    if (!m_randomMatch || Lobby() == nullptr)
        return;
    Lobby()->LeaveMatch();
    m_leftMatch = true;
}

bool CBattleConfig::CanChat() const
{
    return m_online && !m_randomMatch && Lobby() != nullptr;
}

bool CBattleConfig::ChatKeyOpensLine(const SetupInput& input)
{
    if (!CanChat() || m_chatOpen || !input.chatPressed)
        return false;
    m_chatOpen = true;
    if (CImeInput* editor = Lobby()->GetEditor())
    {
        editor->SetMaxLength(kChatLength);
        editor->SetEnable(1);
        editor->SetMultiLine(0);
    }
    return true;
}

void CBattleConfig::UpdateChatLine(const SetupInput& input)
{
    const bool enterPressed = input.enterDown && !m_enterHeld;
    if (!(enterPressed || input.chatPressed) || input.shiftDown)
        return;
    CImeInput* editor = Lobby() != nullptr ? Lobby()->GetEditor() : nullptr;
    if (editor != nullptr && editor->IsComposing() != 0)
    {
        // That Enter ends the composition, not the line.
        editor->SetCompositionFlag(0);
        return;
    }
    m_chatOpen = false;
    if (Lobby() != nullptr)
        Lobby()->SendRoomChat();
    if (editor != nullptr)
        editor->SetEnable(0);
}

// ---------------------------------------------------------------------------
// Peer messages

CNetSession* CBattleConfig::Session() const
{
    return m_setting != nullptr ? static_cast<CNetSession*>(m_setting->session) : nullptr;
}

CLobbyClient* CBattleConfig::Lobby() const
{
    return m_setting != nullptr ? static_cast<CLobbyClient*>(m_setting->lobby) : nullptr;
}

uint32_t CBattleConfig::Send(int16_t id, const std::vector<uint8_t>& payload, bool unlocked)
{
    CNetSession* session = Session();
    if (session == nullptr || payload.empty())
        return 0;
    const uint32_t length = static_cast<uint32_t>(payload.size());
    if (unlocked)
        return session->SendToAllUnlocked(id, SetupMessages::kSub, payload.data(), length, kNetKindTcp);
    return session->SendToAll(id, SetupMessages::kSub, payload.data(), length, kNetKindTcp);
}

uint32_t CBattleConfig::SendCursor(int32_t phase, int32_t nextPhase)
{
    if (!m_host)
        return 0;
    return Send(SetupMessages::MSG_CURSOR, SetupMessages::EncodeCursor({phase, nextPhase}));
}

uint32_t CBattleConfig::SendRules(const tag_TOLQBATTLERULE& rules)
{
    if (!m_host)
        return 0;
    return Send(SetupMessages::MSG_RULES, SetupMessages::EncodeRules(rules));
}

uint32_t CBattleConfig::SendPlayerSummary(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot)
{
    return Send(SetupMessages::MSG_SUMMARY, SetupMessages::EncodeSummary(SetupMessages::SummaryOf(entry, slot)));
}

uint32_t CBattleConfig::SendPlayerSummaryNoLock(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot)
{
    return Send(SetupMessages::MSG_SUMMARY, SetupMessages::EncodeSummary(SetupMessages::SummaryOf(entry, slot)), true);
}

uint32_t CBattleConfig::SendPlayerEntry(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot)
{
    return Send(SetupMessages::MSG_ENTRY, SetupMessages::EncodeEntry(entry, slot));
}

void CBattleConfig::SendAllSummaries()
{
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
        SendPlayerSummary(m_setting->players[i], i);
}

bool CBattleConfig::OnPeerMessage(int32_t id, const uint8_t* payload, uint32_t length)
{
    if (m_setting == nullptr)
        return false;
    const std::vector<uint8_t> bytes = payload != nullptr ? std::vector<uint8_t>(payload, payload + length)
                                                          : std::vector<uint8_t>();
    switch (id)
    {
    case SetupMessages::MSG_CURSOR:
    {
        // Page changes and rules flow from the host only.
        SetupMessages::Cursor cursor;
        if (m_host || !SetupMessages::DecodeCursor(payload, length, &cursor) || cursor.phase < 0 ||
            cursor.phase > kLastPhase || cursor.nextPhase < 0 || cursor.nextPhase > kLastPhase)
            return false;
        if (m_randomMatch)
            return StartMatch(cursor);
        SetCursor(cursor.phase, cursor.nextPhase);
        return true;
    }
    case SetupMessages::MSG_RULES:
    {
        tag_TOLQBATTLERULE rules;
        if (m_host || !SetupMessages::DecodeRules(payload, length, &rules))
            return false;
        // The music too: a guest's own choice lasts until the host's next
        // rules. The music is drawn before the seed, so a track that differs
        // (a user's own file at that place, or a random draw) changes
        // nothing in the battle.
        m_setting->rules = rules;
        return true;
    }
    case SetupMessages::MSG_SUMMARY:
    {
        SetupMessages::PlayerSummary summary;
        if (!SetupMessages::DecodeSummary(payload, length, m_setting->playerCount, CharacterCount(), &summary))
            return false;
        ApplySummary(summary);
        if (m_host)
            Send(SetupMessages::MSG_SUMMARY, bytes);
        return true;
    }
    case SetupMessages::MSG_ENTRY:
    {
        SetupMessages::PlayerEntryMessage entry;
        if (!SetupMessages::DecodeEntry(payload, length, m_setting->playerCount, CharacterCount(), &entry))
            return false;
        ApplyEntry(entry);
        if (m_host)
            Send(SetupMessages::MSG_ENTRY, bytes);
        return true;
    }
    default:
        return false;
    }
}

// A random match's guest hears the host's start (the rules page's forward
// pair) on whichever page it is: the host starts only once every player is
// ready, so the guest is done with its own choices and fades out to start.
bool CBattleConfig::StartMatch(const SetupMessages::Cursor& cursor)
{
    if (cursor.phase != kRulesForward.phase || cursor.nextPhase != kRulesForward.nextPhase)
        return false;
    EnterPage(PAGE_RULES);
    m_backMenuOpen = false;
    SetCursor(kRulesForward);
    return true;
}

void CBattleConfig::ApplySummary(const SetupMessages::PlayerSummary& summary)
{
    tag_TOLQBATTLEPLAYER& entry = m_setting->players[summary.slot];
    entry.character = summary.character;
    entry.slotState = summary.slotState;
    entry.team = summary.team;
    entry.characterCount = summary.characterCount;
    // A summary never carries the pick: one that lowers the count under the
    // pick an earlier entry set brings the pick back within it, or the seat
    // would no longer encode into an entry anyone accepts.
    entry.randomCharacter = SetupMessages::PickWithinCount(entry.randomCharacter, entry.characterCount);
    entry.roomWords[0] = summary.confirmed;
    if (entry.slotState == tag_TOLQBATTLEPLAYER::SLOT_CLOSED && entry.name == m_peerNames[summary.slot].c_str())
    {
        entry.name = nullptr;
        m_peerNames[summary.slot].clear();
    }
}

void CBattleConfig::ApplyEntry(const SetupMessages::PlayerEntryMessage& message)
{
    const uint8_t slot = message.summary.slot;
    ApplySummary(message.summary);
    tag_TOLQBATTLEPLAYER& entry = m_setting->players[slot];
    entry.randomCharacter = message.randomCharacter;
    entry.cameraSensitivity = message.cameraSensitivity;
    entry.mouseSensitivity = message.mouseSensitivity;
    entry.roomWords[1] = message.ready;
    m_peerNames[slot] = message.name;
    entry.name = message.hasName ? m_peerNames[slot].c_str() : nullptr;
    std::copy(std::begin(message.radioChat), std::end(message.radioChat), std::begin(entry.radioChat));
    for (uint32_t i = 0; i < tag_TOLQBATTLEPLAYER::kWeapons; ++i)
        entry.weapons[i] = FindWeaponName(message.weapons[i]);
    for (uint32_t i = 0; i < tag_TOLQBATTLEPLAYER::kClothes; ++i)
        entry.clothes[i] = FindClothesName(message.clothes[i]);
}

const char* CBattleConfig::FindWeaponName(const std::string& name) const
{
    for (const CWeaponDefinition* weapon : m_data.weapons)
    {
        if (!name.empty() && name == weapon->name)
            return weapon->name;
    }
    return nullptr;
}

const char* CBattleConfig::FindClothesName(const std::string& name) const
{
    for (const CClothesDefinition* clothes : m_data.clothes)
    {
        if (!name.empty() && name == clothes->name)
            return clothes->name;
    }
    return nullptr;
}

void CBattleConfig::ResetRules()
{
    tag_TOLQBATTLERULE& rules = m_setting->rules;
    rules.stageChoice = static_cast<int8_t>(rules.stageCount);
    rules.musicChoice = static_cast<int8_t>(m_config != nullptr ? m_config->GetPlayData()->musicCount : 0);
    rules.limit = 4;
    rules.timeLimitIndex = 4;
    rules.cpuLevel = 2;
    rules.itemMask = 63;
    rules.weaponMask = 0x1FFFF;
    rules.rule = rules.teamBattle != 0 ? tag_TOLQBATTLERULE::RULE_TEAM_FALLS : tag_TOLQBATTLERULE::RULE_SMASH_RACE;
    SendRules(rules);
}

bool CBattleConfig::MatchSought() const
{
    const CLobbyClient* lobby = Lobby();
    return m_randomMatch && lobby != nullptr && lobby->GetState() == LOBBY_MATCH_SOUGHT;
}

// The match's players are not all in: the lobby seeks the match, or its
// host waits for its guests, or a guest for its seat.
bool CBattleConfig::MatchWaiting() const
{
    CLobbyClient* lobby = Lobby();
    if (!m_randomMatch || lobby == nullptr)
        return false;
    const LobbyState state = lobby->GetState();
    if (state == LOBBY_MATCH_SOUGHT)
        return true;
    if (state != LOBBY_MATCH_HOST && state != LOBBY_MATCH_GUEST)
        return false;
    int32_t seated = 0;
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
        seated += m_setting->players[i].IsHuman() ? 1 : 0;
    auto lock = lobby->Lock();
    return seated < lobby->GetStateBlock().matchedPlayers;
}

void CBattleConfig::PollForMatch(uint32_t milliseconds)
{
    if (!MatchWaiting())
        return;
    // The first poll goes at once, so that the server's count comes with
    // the wait's first frames; the timer also paces the status line's dots.
    m_pollTimer += milliseconds;
    if (m_polled && m_pollTimer < kMatchingPollMilliseconds)
        return;
    m_pollTimer = 0;
    m_polled = true;
    if (MatchSought())
        Lobby()->SendMatchingPoll();
}

void CBattleConfig::ApplyRoomRules(const SetupInput& input)
{
    CLobbyClient* lobby = Lobby();
    if (lobby == nullptr)
        return;
    if (lobby->GetState() != LOBBY_MATCH_HOST)
    {
        // Before the match is made a cancel leaves it at once; once it is,
        // the back menu asks first (UpdateRulesActive).
        if (MatchSought() && CancelPressed(input))
        {
            LeaveMatch();
            SetCursor(kRulesBack);
        }
        return;
    }
    const CLobbyRoom* room = lobby->GetRoomRecord();
    if (room == nullptr)
        return;
    const int32_t players = room->GetPlayerCount();
    int32_t ready = 0;
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
        ready += m_setting->players[i].IsHuman() && m_setting->players[i].roomWords[1] != 0 ? 1 : 0;
    if (ready < players)
        return;
    enum RoomValue : int32_t { VALUE_TYPE = 0, VALUE_RULE = 1, VALUE_WEAPONS = 2, VALUE_CPU = 3, VALUE_POINTS = 4 };
    tag_TOLQBATTLERULE& rules = m_setting->rules;
    rules.stageChoice = static_cast<int8_t>(rules.stageCount);
    rules.randomStage = static_cast<int8_t>(DrawRandom(rules.stageCount));
    rules.timeLimitIndex = 4;
    rules.itemMask = 63;
    rules.weaponMask = 0x1FFFF;
    rules.cpuLevel = 2;
    const int32_t points = room->GetValue(VALUE_POINTS);
    rules.limit = static_cast<uint8_t>(points >= 0 && points < 255 ? points : 4);
    rules.teamBattle = room->GetValue(VALUE_TYPE) > 0 ? 1 : 0;
    const bool medals = room->GetValue(VALUE_RULE) == 1;
    rules.rule = rules.teamBattle != 0 ? (medals ? tag_TOLQBATTLERULE::RULE_TEAM_JEWELS : tag_TOLQBATTLERULE::RULE_TEAM_FALLS)
                                       : (medals ? tag_TOLQBATTLERULE::RULE_MEDALS : tag_TOLQBATTLERULE::RULE_SMASH_RACE);
    const bool closeRest = room->GetValue(VALUE_CPU) == 2;
    for (uint8_t i = static_cast<uint8_t>(std::max(players, 0)); i < m_setting->playerCount; ++i)
    {
        tag_TOLQBATTLEPLAYER& entry = m_setting->players[i];
        if (closeRest)
        {
            entry.slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
            SendPlayerSummary(entry, i);
            continue;
        }
        entry.slotState = tag_TOLQBATTLEPLAYER::SLOT_COMPUTER;
        entry.roomWords[0] = 0;
        entry.team = static_cast<uint8_t>(i % 4);
        entry.character = static_cast<int8_t>(entry.characterCount);
        entry.randomCharacter = DrawSeatRandom(entry);
        if (const CCharacterDefinition* picked = CharacterAt(entry.randomCharacter))
        {
            GiveSeatRadioChat(entry, entry.randomCharacter, *picked,
                              m_config != nullptr ? m_config->GetData() : nullptr);
            for (uint32_t k = 0; k < tag_TOLQBATTLEPLAYER::kClothes; ++k)
                entry.clothes[k] = picked->defaultClothes[k];
            for (uint32_t k = 0; k < tag_TOLQBATTLEPLAYER::kWeapons; ++k)
                entry.weapons[k] = picked->defaultWeapons[k];
        }
        SendPlayerEntry(entry, i);
    }
    SendRules(rules);
    SendPlayerEntry(m_setting->players[0], 0);
    SendCursor(kRulesForward);
    SetCursor(kRulesForward);
}

// ---------------------------------------------------------------------------
// Game data

uint8_t CBattleConfig::DrawRandom(uint32_t count)
{
    return static_cast<uint8_t>(m_random.NextInt(count));
}

// By seat, not in the order each side happens to draw: every side then
// computes the same pick for each seat, and the seats' picks differ.
uint8_t CBattleConfig::DrawSeatRandom(const tag_TOLQBATTLEPLAYER& entry) const
{
    const uint32_t seat = static_cast<uint32_t>(&entry - m_setting->players);
    return DrawSeatCharacter(m_setting->seed, entry.characterCount, seat);
}

uint8_t CBattleConfig::CharacterCount() const
{
    return static_cast<uint8_t>(std::min<size_t>(m_data.characters.size(), INT8_MAX));
}

const CCharacterDefinition* CBattleConfig::CharacterAt(int32_t index) const
{
    return index >= 0 && static_cast<size_t>(index) < m_data.characters.size() ? m_data.characters[index] : nullptr;
}

int32_t CBattleConfig::FindWeaponIndex(const char* name) const
{
    if (name == nullptr || name[0] == '\0')
        return -1;
    for (size_t i = 0; i < m_data.weapons.size(); ++i)
    {
        if (std::strcmp(m_data.weapons[i]->name, name) == 0)
            return static_cast<int32_t>(i);
    }
    return -1;
}

const CWeaponDefinition* CBattleConfig::FindWeapon(const char* name) const
{
    const int32_t index = FindWeaponIndex(name);
    return index >= 0 ? m_data.weapons[static_cast<size_t>(index)] : nullptr;
}

bool CBattleConfig::OwnsWeapon(uint32_t index) const
{
    if (m_config == nullptr)
        return false;
    const std::vector<tag_TOLQUNLOCKDATA>& table = m_config->GetPlayData()->weapons;
    return index < table.size() && table[index].owned != 0;
}

int32_t CBattleConfig::GetOwnIndex() const
{
    if (m_setting == nullptr)
        return -1;
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
    {
        if (m_setting->players[i].slotState == static_cast<int8_t>(m_setting->ownSlot))
            return i;
    }
    return -1;
}

tag_TOLQBATTLEPLAYER* CBattleConfig::GetOwnEntry() const
{
    const int32_t own = GetOwnIndex();
    return own >= 0 ? &m_setting->players[own] : nullptr;
}

// ---------------------------------------------------------------------------
// The mode page

namespace
{
// Mode page, in 1024 x 768 layout units: the two panels, each the size of
// its picture (376 x 532).
constexpr MenuPoint kSoloPanelAt{112.0f, 124.0f};
constexpr MenuPoint kTeamPanelAt{536.0f, 124.0f};

MenuRect ModePanelRect(MenuPoint at)
{
    const MenuCell& cell = SetupSheet::kTeamPanelOff;
    return MenuRect::At(at.x, at.y, cell.Width() * SetupSheet::kModePanelScale,
                        cell.Height() * SetupSheet::kModePanelScale);
}
}

void CBattleConfig::UpdateModePage(const SetupInput& input, uint32_t milliseconds)
{
    switch (static_cast<ModePhase>(m_phase))
    {
    case ModePhase::FadeIn:
        StepFadeIn(milliseconds, Value(ModePhase::Active));
        return;
    case ModePhase::Active:
        UpdateModeActive(input);
        return;
    case ModePhase::FadeOut:
        StepFadeOut(milliseconds);
        return;
    case ModePhase::Forward:
        EnterPage(PAGE_MEMBERS);
        return;
    case ModePhase::Back:
        EnterPage(PAGE_LEAVE);
        return;
    case ModePhase::BackMenu:
        RunBackMenu(input, kModeBack, Value(ModePhase::Active), false);
        return;
    }
}

void CBattleConfig::SetTeamBattle(bool team, bool byKey)
{
    tag_TOLQBATTLERULE& rules = m_setting->rules;
    if ((rules.teamBattle != 0) == team)
        return;
    Play(MenuSound::Cursor);
    rules.teamBattle = team ? 1 : 0;
    rules.rule = team ? tag_TOLQBATTLERULE::RULE_TEAM_FALLS : tag_TOLQBATTLERULE::RULE_SMASH_RACE;
    if (byKey)
        MoveMouseTo(ModePanelRect(team ? kTeamPanelAt : kSoloPanelAt).Centre());
    SendRules(rules);
}

void CBattleConfig::UpdateModeActive(const SetupInput& input)
{
    if (m_chatOpen)
    {
        UpdateChatLine(input);
        return;
    }
    if (ChatKeyOpensLine(input))
        return;
    const bool team = m_setting->rules.teamBattle != 0;
    const MenuButtonResult solo =
        MenuButton(m_frame, kSoloPanelId, ModePanelRect(kSoloPanelAt), !team, "solo");
    const MenuButtonResult teams =
        MenuButton(m_frame, kTeamPanelId, ModePanelRect(kTeamPanelAt), team, "team");
    if (m_online && !m_host)
        return;
    const MenuKeys& keys = input.keys;
    // A key wins over the mouse, which it moves onto its panel.
    if (keys.Pressed(MenuKey::Left))
        SetTeamBattle(false, true);
    else if (keys.Pressed(MenuKey::Right))
        SetTeamBattle(true, true);
    else if (solo.hovered || teams.hovered)
        SetTeamBattle(teams.hovered, false);
    if (DecidePressed(input) || solo.clicked || teams.clicked)
    {
        Play(MenuSound::Decide);
        SendAllSummaries();
        SendRules(m_setting->rules);
        ChangePage(kModeForward);
        return;
    }
    if (!CancelPressed(input))
        return;
    if (m_online)
    {
        OpenBackMenu(Value(ModePhase::BackMenu));
        return;
    }
    Play(MenuSound::Cancel);
    ChangePage(kModeBack);
}

void CBattleConfig::RenderModePage(const CMenuPainter& painter)
{
    const uint32_t color = PageColor();
    DrawHeading(painter, PAGE_MODE, color);
    const bool team = m_setting->rules.teamBattle != 0;
    painter.PictureInto(m_texture, team ? SetupSheet::kSoloPanelOff : SetupSheet::kSoloPanel,
                        ModePanelRect(kSoloPanelAt), color);
    painter.PictureInto(m_texture, team ? SetupSheet::kTeamPanel : SetupSheet::kTeamPanelOff,
                        ModePanelRect(kTeamPanelAt), color);
    DrawChat(painter, color);
}

// ---------------------------------------------------------------------------
// Drawing every page shares

namespace
{
// Page frame, in 1024 x 768 layout units: the heading strips, the title's
// top, and where the room chat and the chat line go.
constexpr float kHeadingTopY = 8.0f;
constexpr float kHeadingUnderY = 80.0f;
constexpr float kTitleTop = 32.0f;
constexpr MenuPoint kChatAt{24.0f, 688.0f};
constexpr int32_t kChatLines = 2;
constexpr MenuRect kChatLine{.left = 24, .top = 724, .right = 600, .bottom = 764};
constexpr float kChatTextSize = 20.0f;
// The focus frame pulses once every 1.5 s between these opacities.
constexpr uint32_t kFocusPeriod = 1500;
constexpr float kFocusLow = 0.35f;
// Window pieces are 16 layout units square; the scroll bar 12 wide.
constexpr float kPiece = 16.0f;
constexpr float kScrollWidth = 12.0f;
}

uint32_t CBattleConfig::PageColor() const
{
    return MenuColor(MenuRole::Focused, m_fade.Level());
}

int CBattleConfig::Render(uintptr_t)
{
    if (g_pController == nullptr || m_setting == nullptr)
        return 1;
    CGraphics* graphics = g_pController->GetGraphics();
    graphics->Begin2D();
    graphics->SetBlendMode(1);
    if (m_camera)
        m_camera->Apply();
    const CMenuPainter painter(FrameLayout());
    if (m_page < PAGE_LEAVE)
        g_pController->DrawBackground(MenuColor(MenuRole::Focused, m_background.Level()));
    switch (m_page)
    {
    case PAGE_MODE:
        RenderModePage(painter);
        break;
    case PAGE_MEMBERS:
        RenderCharacterPage(painter);
        break;
    case PAGE_RULES:
        RenderRulesPage(painter);
        break;
    case PAGE_WEAPONS:
        RenderWeaponsPage(painter);
        break;
    default:
        break;
    }
    if (m_online && m_backMenuOpen)
        g_pController->DrawMenu(&m_backMenu);
    g_pController->DrawCursor();
    return 1;
}

void CBattleConfig::DrawHeading(const CMenuPainter& painter, uint32_t page, uint32_t color) const
{
    const float width = painter.Layout().Area().right;
    const float across = width / SetupSheet::kHeadingTop.Width();
    painter.PictureStretched(m_texture, SetupSheet::kHeadingTop, {0.0f, kHeadingTopY}, across, 1.0f, color);
    painter.PictureStretched(m_texture, SetupSheet::kHeadingUnder, {0.0f, kHeadingUnderY}, across, 1.0f, color);
    const MenuCell& title = SetupSheet::kPageTitles[std::min<uint32_t>(page, SetupSheet::kPageCount - 1)];
    painter.Picture(m_texture, title, {width * 0.5f, kTitleTop}, color, MenuAnchor::Top);
    const float half = title.Width() * 0.5f;
    const float bottom = kTitleTop + title.Height();
    painter.Fill({0.0f, kTitleTop, width * 0.5f - half, bottom}, color);
    painter.Fill({width * 0.5f + half, kTitleTop, width, bottom}, color);
}

void CBattleConfig::DrawArrowButton(const CMenuPainter& painter, MenuPoint at, bool pointsRight, uint32_t color) const
{
    const bool hovered = HitTestSprite(at, SetupSheet::kArrow, m_frame.Keys().Cursor());
    painter.Picture(m_texture, hovered ? SetupSheet::kArrowHover : SetupSheet::kArrow, at, color, MenuAnchor::TopLeft,
                    1.0f, pointsRight ? KVRDRAWFLIP_NONE : KVRDRAWFLIP_HORIZONTAL);
}

void CBattleConfig::DrawFocusFrame(const CMenuPainter& painter, const MenuRect& rect) const
{
    const float phase = static_cast<float>(m_elapsedMs % kFocusPeriod) / static_cast<float>(kFocusPeriod);
    const float pulse = kFocusLow + (1.0f - kFocusLow) * (1.0f - std::fabs(phase * 2.0f - 1.0f));
    painter.PictureInto(m_texture, SetupSheet::kFocusFrame, rect, MenuColor(MenuRole::Focused, m_fade.Level() * pulse));
}

void CBattleConfig::DrawWindow(const CMenuPainter& painter, const MenuRect& rect, uint32_t color) const
{
    const MenuRect inner{rect.left + kPiece, rect.top + kPiece, rect.right - kPiece, rect.bottom - kPiece};
    painter.PictureInto(m_texture, SetupSheet::kWindowBody, inner, color);
    painter.PictureInto(m_texture, SetupSheet::kWindowEdge, {inner.left, rect.top, inner.right, inner.top}, color);
    painter.PictureInto(m_texture, SetupSheet::kWindowEdge, {inner.left, inner.bottom, inner.right, rect.bottom}, color);
    painter.PictureInto(m_texture, SetupSheet::kWindowEdge, {rect.left, inner.top, inner.left, inner.bottom}, color);
    painter.PictureInto(m_texture, SetupSheet::kWindowEdge, {inner.right, inner.top, rect.right, inner.bottom}, color);
    painter.Picture(m_texture, SetupSheet::kWindowCorner, {rect.left, rect.top}, color);
    painter.Picture(m_texture, SetupSheet::kWindowCorner, {rect.right, rect.top}, color, MenuAnchor::TopRight, 1.0f,
                    KVRDRAWFLIP_HORIZONTAL);
    painter.Picture(m_texture, SetupSheet::kWindowCorner, {rect.left, rect.bottom}, color, MenuAnchor::BottomLeft,
                    1.0f, KVRDRAWFLIP_VERTICAL);
    painter.Picture(m_texture, SetupSheet::kWindowCorner, {rect.right, rect.bottom}, color, MenuAnchor::BottomRight,
                    1.0f, KVRDRAWFLIP_BOTH);
}

void CBattleConfig::DrawTitledWindow(const CMenuPainter& painter, const MenuRect& title, const MenuRect& body,
                                     uint32_t color) const
{
    painter.PictureInto(m_texture, SetupSheet::kWindowTitle, title, color);
    DrawWindow(painter, body, color);
}

void CBattleConfig::DrawListWindow(const CMenuPainter& painter, const MenuRect& rect, int32_t first, int32_t count,
                                   uint32_t color) const
{
    DrawWindow(painter, rect, color);
    const MenuRect track{rect.right - kPiece - kScrollWidth, rect.top + kPiece, rect.right - kPiece,
                         rect.bottom - kPiece};
    DrawScrollBar(painter, track, first, count, color);
}

void CBattleConfig::DrawScrollBar(const CMenuPainter& painter, const MenuRect& track, int32_t first, int32_t count,
                                  uint32_t color) const
{
    const float end = SetupSheet::kTrackEnd.Height();
    painter.Picture(m_texture, SetupSheet::kTrackEnd, {track.left, track.top}, color);
    painter.PictureInto(m_texture, SetupSheet::kTrack, {track.left, track.top + end, track.right, track.bottom - end},
                        color);
    painter.Picture(m_texture, SetupSheet::kTrackEnd, {track.left, track.bottom}, color, MenuAnchor::BottomLeft, 1.0f,
                    KVRDRAWFLIP_VERTICAL);
    if (count <= 0)
        return;
    const float step = track.Height() / static_cast<float>(count);
    const float thumbTop = std::min(track.top + static_cast<float>(first) * step, track.bottom - SetupSheet::kThumb.Height());
    painter.Picture(m_texture, SetupSheet::kThumb, {track.left, thumbTop}, color);
}

void CBattleConfig::DrawMatchingStatus(uint32_t color) const
{
    if (MatchWaiting())
        Lobby()->DrawMatchingStatus(m_pollTimer, color);
}

void CBattleConfig::DrawStatusLine(const CMenuPainter& painter, const char* text, uint32_t color) const
{
    const MenuRect area = painter.Layout().Area();
    const MenuRect line{area.left, area.bottom - kStatusFromBottom - kStatusSize, area.right,
                        area.bottom - kStatusFromBottom};
    painter.Text(m_font, line, MenuAnchor::Centre, kStatusSize, color, GameText(text));
}

void CBattleConfig::DrawWaitingLine(const CMenuPainter& painter, uint32_t color) const
{
    DrawStatusLine(painter, kWaitingText, color);
}

void CBattleConfig::DrawChat(const CMenuPainter& painter, uint32_t color)
{
    if (!CanChat())
        return;
    const MenuPoint at = painter.Layout().ToPixels(kChatAt);
    Lobby()->DrawRoomChat(at.x, at.y, painter.Layout().Scale(), color, kChatLines);
    if (!m_chatOpen || Lobby()->GetEditor() == nullptr)
        return;
    DrawWindow(painter, kChatLine, color);
    painter.Text(m_font, kChatLine, MenuAnchor::Left, kChatTextSize, color,
                 Lobby()->GetEditor()->GetTextString().c_str());
}
