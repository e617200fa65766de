// The network scene's life cycle and states: the lobby with its keys, the
// battle setup as a child with the room keep-alive, and what the receive
// threads leave for the main thread.
//
// Sections: life cycle; the frame (Update, Render, posted changes); the
// lobby; the setup and the keep-alive.
#include "game/scene/CNetworkScene.h"

#include "engine/core/FailureLog.h"
#include "engine/platform/CImeInput.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/PlatformClock.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/input/KeyCodes.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/GameServices.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/MenuKeys.h"
#include "game/scene/CNetBattleSetup.h"
#include "game/scene/MenuScene.h"
#include "game/scene/NetMatchMessages.h"
#include "net/lobby/CLobbyClient.h"
#include "net/lobby/LobbyHost.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace
{
NetBattleSetupFactory g_setupFactory = nullptr;

// The lobby's keys and the command each gives; the first that was pressed
// this frame counts.
struct LobbyKey
{
    MenuKey key;
    int32_t command;
};
constexpr LobbyKey kLobbyKeys[] = {
    {MenuKey::Down, LOBBY_KEY_DOWN},   {MenuKey::Up, LOBBY_KEY_UP},         {MenuKey::Left, LOBBY_KEY_LEFT},
    {MenuKey::Right, LOBBY_KEY_RIGHT}, {MenuKey::Decide, LOBBY_KEY_DECIDE},
};
// The lobby's pop-up menus, whose rows W and S move up and down as in every
// other pop-up menu while no text is being typed (then they are letters).
constexpr LobbyState kLobbyPopUpMenus[] = {
    LOBBY_NEW_ROOM_EDITOR, LOBBY_ROOM_INFO, LOBBY_MATCH_EDITOR, LOBBY_MEMBER_INFO, LOBBY_ROOM_SETTINGS,
};
constexpr LobbyKey kPopUpKeys[] = {{MenuKey::MoveDown, LOBBY_KEY_DOWN}, {MenuKey::MoveUp, LOBBY_KEY_UP}};
// The chat key (F1 by default) sends the editor's line, as Return does.
constexpr uint8_t kChatButton = 32;
// The own player's rank, as the lobby's user record carries it, becomes
// the play record's.
constexpr int32_t kHighestRank = 255;
// Attributes that give the default-weapons rule: the room's first, the
// random match's third.
constexpr int32_t kRoomWeaponsAttribute = 0;
constexpr int32_t kMatchWeaponsAttribute = 2;
// Spreads a lobby user id over the seed's bits (Knuth's multiplier).
constexpr uint32_t kSeedMixer = 2654435761u;
}

void CNetworkScene::SetSetupFactory(NetBattleSetupFactory factory)
{
    g_setupFactory = factory;
}

CNetworkScene::CNetworkScene() = default;

CNetworkScene::~CNetworkScene()
{
    CNetworkScene::Release();
}

// ---------------------------------------------------------------- life cycle

int CNetworkScene::Init(uintptr_t)
{
    m_released = false;
    m_lastUpdate = Now();
    if (!StartLobby())
        return 0;
    m_match.setting = CreateBattleSettingFrom(tag_TOLQBATTLESETTING::kMaxPlayers, 0, Config());
    if (m_match.setting == nullptr)
        return 0;
    const tag_TOLQGAMECONFIG* settings = Config() != nullptr ? Config()->GetData() : nullptr;
    const uint32_t framesPerBatch = m_options.framesPerBatch != 0 ? m_options.framesPerBatch
                                    : settings != nullptr         ? settings->keyResponse
                                                                  : 1;
    m_match.framesPerBatch = CNetLockstep::ClampFramesPerBatch(framesPerBatch);
    const int32_t sendByte = m_options.sendByte >= 0 ? m_options.sendByte : settings != nullptr ? settings->sendByte : 0;
    m_match.sendByte = static_cast<uint8_t>(sendByte);
    {
        SceneLock lock(m_match.sceneLock);
        StartSetup(INetBattleSetup::PAGE_MODE);
    }
    m_music = MenuScene::FindSound(kMusic);
    EnterState(NetSceneState::Lobby);
    return 1;
}

bool CNetworkScene::StartLobby()
{
    m_lobby = std::make_unique<CLobbyClient>();
    CSystem* system = g_pController != nullptr ? g_pController->GetSystem() : nullptr;
    CGraphics* graphics = g_pController != nullptr ? g_pController->GetGraphics() : nullptr;
    CFontTexture* font = g_pController != nullptr ? g_pController->GetFont(0) : nullptr;
    if (!m_lobby->Initialize(system, kGameId, kGameAbbreviation, graphics, MenuScene::FindTexture(kLobbyTexture), font))
    {
        m_lobby.reset();
        return false;
    }
    CGameConfig* config = Config();
    const tag_TOLQGAMECONFIG* settings = config != nullptr ? config->GetData() : nullptr;
    const std::string host = !m_options.lobbyHost.empty() ? m_options.lobbyHost : GetLobbyHostName();
    m_lobby->SetLobbyHost(host.c_str(), m_options.lobbyPort != 0 ? m_options.lobbyPort : GetLobbyPort());
    const int32_t ownPort = m_options.ownPort >= 0 ? m_options.ownPort : settings != nullptr ? settings->lobbyPort : 0;
    const int32_t mapping = m_options.portMapping >= 0 ? m_options.portMapping : settings != nullptr ? settings->upnp : 0;
    m_lobby->SetOwnPort(static_cast<uint16_t>(ownPort));
    m_lobby->SetPortMapping(static_cast<uint32_t>(mapping));
    const std::string local = !m_options.localAddress.empty() ? m_options.localAddress : GetLobbyLocalAddress();
    if (!local.empty() && !m_lobby->SetLocalAddress(local.c_str()))
        LogFailure("network: local address", ("\"" + local + "\" is not an IPv4 address; the host's own is used").c_str());
    if (m_options.connectTimeoutMs != 0)
        m_lobby->SetConnectTimeout(m_options.connectTimeoutMs);
    m_lobby->SetPeerCallbacks(&CNetworkScene::OnPeerConnected, this, &CNetworkScene::OnPeerMessage, this,
                              &CNetworkScene::OnPeerDisconnected, this);
    const std::string login = !m_options.loginId.empty() ? m_options.loginId
                              : settings != nullptr       ? std::string(settings->loginId)
                                                          : std::string();
    m_lobby->SetLoginId(login.c_str());
    if (g_pController != nullptr)
        g_pController->SetImeInput(m_lobby->GetEditor());
    return true;
}

uint32_t CNetworkScene::Release()
{
    if (m_released)
        return CScene::Release();
    m_released = true;
    StopSyncThread();
    if (g_pController != nullptr)
    {
        if (m_lobby && g_pController->GetImeInput() == m_lobby->GetEditor())
            g_pController->SetImeInput(nullptr);
        g_pController->SetQuitMenuEnabled(1);
    }
    if (m_music != nullptr && m_music->IsPlaying())
        m_music->StopAll(1);
    m_music = nullptr;
    // The lobby waits for the session's threads, whose handlers take the
    // scene lock: none is held here.
    if (m_lobby)
        m_lobby->Release();
    m_lobby.reset();
    m_setup.reset();
    DeleteBattle();
    for (std::string& name : m_match.names)
        name.clear();
    FreeBattleSetting(m_match.setting);
    m_match.setting = nullptr;
    return CScene::Release();
}

// Scene lock held when the lobby comes back from a room or a match.
void CNetworkScene::EnterState(NetSceneState next)
{
    m_matchWaitMs = 0;
    if (next == NetSceneState::Lobby && m_match.randomMatch != 0)
        ForgetMatch();
    m_match.sceneState.store(static_cast<uint32_t>(next));
    m_waitingForFrame = false;
    m_readySent = false;
    if (next == NetSceneState::Room)
        m_match.keepAliveTimer = 0;
}

uint32_t CNetworkScene::Now() const
{
    return m_options.clock != nullptr ? m_options.clock() : GetTickMilliseconds();
}

void CNetworkScene::Sleep(uint32_t milliseconds) const
{
    if (m_options.sleep != nullptr)
        m_options.sleep(milliseconds);
    else
        SleepMilliseconds(milliseconds);
}

CInput* CNetworkScene::Input() const
{
    return m_options.input != nullptr ? m_options.input : g_pInput;
}

CGameConfig* CNetworkScene::Config() const
{
    if (m_options.config != nullptr)
        return m_options.config;
    return g_pController != nullptr ? g_pController->GetGameConfig() : nullptr;
}

CNetSession* CNetworkScene::Session() const
{
    return m_lobby ? m_lobby->GetSession() : nullptr;
}

void CNetworkScene::LeaveToTitle(uint32_t subState, uint32_t item)
{
    m_requestedTitleState = static_cast<int32_t>(subState);
    if (g_pController != nullptr)
        g_pController->ChangeScene(CController::SCENE_TITLE, subState, 0.0f, item);
}

void CNetworkScene::PlayMusic()
{
    CGameConfig* config = Config();
    if (g_pController != nullptr && config != nullptr)
        g_pController->PlayBgm(m_music, config->GetData()->bgmVolume, kMusicFade, kMusicLoop);
}

// ---------------------------------------------------------------- the frame

int CNetworkScene::Update(uintptr_t)
{
    if (!m_lobby)
        return 1;
    const uint32_t now = Now();
    m_frameMilliseconds = now - m_lastUpdate;
    m_lastUpdate = now;
    // The lobby's own update keeps its session in the lobby state.
    if (GetState() != NetSceneState::Lobby && Session() != nullptr)
        Session()->Poll(m_frameMilliseconds);
    // A change a receive thread left is this frame's work.
    if (ApplyPosted())
        return 1;
    switch (GetState())
    {
    case NetSceneState::Lobby: UpdateLobby(); break;
    case NetSceneState::Room: UpdateRoom(); break;
    case NetSceneState::Start: StartBattle(); break;
    case NetSceneState::Battle: UpdateBattle(); break;
    }
    return 1;
}

int CNetworkScene::Render(uintptr_t)
{
    switch (GetState())
    {
    case NetSceneState::Lobby:
        if (m_lobby)
            m_lobby->Render();
        break;
    case NetSceneState::Room:
    {
        SceneLock lock(m_match.sceneLock);
        if (m_setup)
            m_setup->Render();
        break;
    }
    case NetSceneState::Start: break;
    case NetSceneState::Battle:
    {
        // While the side waits for frames this draws the last one again.
        SceneLock lock(m_match.sceneLock);
        if (m_battle)
            m_battle->Render(0);
        break;
    }
    }
    return 1;
}

// Receive threads post what deletes objects or changes the scene; it is
// done here, on the main thread, before anything else of the frame.
bool CNetworkScene::ApplyPosted()
{
    Posted posted;
    {
        SceneLock lock(m_match.sceneLock);
        posted = m_posted;
        m_posted = Posted();
    }
    // A random match whose host went before the battle is no match.
    const bool matchBroken = m_match.randomMatch != 0 && GetState() == NetSceneState::Room;
    // The host's last word (its choice at the end of the battle) counts
    // before its going: a host that said it leaves has said why.
    const bool finish =
        posted.result != RESULT_NONE && (GetState() == NetSceneState::Start || GetState() == NetSceneState::Battle);
    if (finish)
        FinishBattle(posted.result, false);
    if (posted.hostLost)
    {
        OnHostLost();
        if (matchBroken)
            m_lobby->SetState(LOBBY_MATCH_FAILED);
        return true;
    }
    if (finish)
        return true;
    if (posted.matchBroken && GetState() == NetSceneState::Room)
    {
        SceneLock lock(m_match.sceneLock);
        AbandonMatch();
        return true;
    }
    if (posted.hostState >= 0)
        return FollowHostState(static_cast<NetSceneState>(posted.hostState));
    return false;
}

// Message 1 on a guest. Into the battle only once this side has built it;
// a new start, the setup or the room from wherever the guest is, leaving
// its battle as the host's choice of the same would (retry, the mode page,
// back to the room). What this side is already in changes nothing.
bool CNetworkScene::FollowHostState(NetSceneState next)
{
    const NetSceneState now = GetState();
    const bool inBattle = now == NetSceneState::Start || now == NetSceneState::Battle;
    switch (next)
    {
    case NetSceneState::Battle:
    {
        if (now != NetSceneState::Start || !m_battle)
            return false;
        SceneLock lock(m_match.sceneLock);
        EnterBattle();
        return true;
    }
    case NetSceneState::Start:
        if (inBattle)
        {
            FinishBattle(RESULT_RETRY, false);
            return true;
        }
        if (now != NetSceneState::Room)
            return false;
        EnterState(NetSceneState::Start);
        return true;
    case NetSceneState::Room:
        if (!inBattle)
            return false;
        FinishBattle(RESULT_MODE_PAGE, false);
        return true;
    case NetSceneState::Lobby:
        if (inBattle)
        {
            FinishBattle(RESULT_LOBBY_AS_HOST, false);
            return true;
        }
        if (now != NetSceneState::Room)
            return false;
        {
            SceneLock lock(m_match.sceneLock);
            ReturnToLobbyAsHost();
        }
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- the lobby

void CNetworkScene::UpdateLobby()
{
    const LobbyState state = m_lobby->GetState();
    SetFrameTime(kLobbyFrameTime);
    PlayMusic();
    // A random match's setup opens from whichever state the lobby reached:
    // the host's answer may have come before this frame saw the wait.
    if (state == LOBBY_ROOM_BATTLE || state == LOBBY_MATCH_SOUGHT || state == LOBBY_MATCH_GUEST)
    {
        EnterSetup(state != LOBBY_ROOM_BATTLE);
        return;
    }
    if (state == LOBBY_FINISHED)
    {
        LeaveToTitle(kTitleMenu, kNetworkItem);
        return;
    }
    m_lobby->Update();
    const int32_t keys = ReadLobbyKeys();
    if (keys != 0)
        m_lobby->OnInput(keys);
    // The state as this frame found it: a room made goes on at once.
    if (state == LOBBY_ROOM_MADE)
        ResetSeatsForNewRoom();
    if (state == LOBBY_IN_LOBBY)
        ForgetRoom();
}

// Out of every room: once the last peer is gone this side is nobody's host.
void CNetworkScene::ForgetRoom()
{
    SceneLock lock(m_match.sceneLock);
    for (const std::string& peer : m_match.slotPeer)
    {
        if (!peer.empty())
            return;
    }
    m_match.host = 0;
    m_match.guestSeated = false;
}

int32_t CNetworkScene::ReadLobbyKeys()
{
    CInput* input = Input();
    if (input == nullptr)
        return 0;
    const tag_KVRPADSTATE* pad = input->GetPadState(0);
    const bool shift = input->GetKeyState(KEY_LSHIFT) != 0 || input->GetKeyState(KEY_RSHIFT) != 0;
    const bool returnDown = input->GetKeyState(KEY_RETURN) != 0;
    const bool returnPressed = returnDown && m_match.previousReturn == 0;
    m_match.previousReturn = returnDown ? 1 : 0;
    for (const LobbyKey& key : kLobbyKeys)
    {
        if (CInput::GetMappedButton(pad, MenuKeyButton(key.key)) != 0)
            return key.command;
    }
    CImeInput* editor = m_lobby->GetEditor();
    const bool typing = editor != nullptr && editor->IsEnable() != 0;
    const LobbyState state = m_lobby->GetState();
    const bool popUp = std::find(std::begin(kLobbyPopUpMenus), std::end(kLobbyPopUpMenus), state) !=
                       std::end(kLobbyPopUpMenus);
    for (const LobbyKey& key : kPopUpKeys)
    {
        if (popUp && !typing && CInput::GetMappedButton(pad, MenuKeyButton(key.key)) != 0)
            return key.command;
    }
    if (CInput::GetMappedButton(pad, MenuKeyButton(MenuKey::Cancel)) != 0 && !typing)
        return LOBBY_KEY_CANCEL;
    const bool chat = CInput::GetMappedButton(pad, kChatButton) != 0;
    if (chat && !shift)
        return LOBBY_KEY_ENTER;
    if (!chat && returnPressed && !shift)
        return LOBBY_KEY_ENTER;
    return 0;
}

// A room just made: the own seat is taken, the others hold computer
// fighters until guests come. The frame that opens the room (the lobby's
// update listens) may already have seated a guest: its seat stays.
void CNetworkScene::ResetSeatsForNewRoom()
{
    SceneLock lock(m_match.sceneLock);
    tag_TOLQBATTLESETTING* setting = m_match.setting;
    setting->ownSlot = tag_TOLQNETMATCH::kHostSlot;
    setting->viewedSlot = tag_TOLQNETMATCH::kHostSlot;
    setting->players[0].slotState = 0;
    for (uint32_t slot = 1; slot < setting->playerCount; ++slot)
    {
        if (slot >= tag_TOLQNETMATCH::kSlots || m_match.slotPeer[slot].empty())
            setting->players[slot].slotState = tag_TOLQBATTLEPLAYER::SLOT_COMPUTER;
    }
}

// A random match is entered alone, whatever the last room or match left:
// in the host's seat (the lobby may make this side the match's host), the
// other seats closed until guests come. Every seat of a match starts from
// a random character, the own one too: the host's seat may hold the last
// room's host's choices, or the character a lost host's seats were closed
// with (a match's guest hears its host leave after the host's last word).
void CNetworkScene::ResetSeatsForRandomMatch()
{
    tag_TOLQBATTLESETTING* setting = m_match.setting;
    m_match.host = 0;
    tag_TOLQBATTLEPLAYER& own = setting->players[tag_TOLQNETMATCH::kHostSlot];
    own.character = static_cast<int8_t>(own.characterCount);
    setting->ownSlot = tag_TOLQNETMATCH::kHostSlot;
    setting->viewedSlot = tag_TOLQNETMATCH::kHostSlot;
    for (uint32_t slot = 1; slot < setting->playerCount && slot < tag_TOLQNETMATCH::kSlots; ++slot)
        CloseSeat(slot);
    own.slotState = 0;
    own.team = 0;
    std::fill(std::begin(own.roomWords), std::end(own.roomWords), 0u);
    auto lobbyLock = m_lobby->Lock();
    const CLobbyUser* user = m_lobby->GetOwnUser();
    SetSeatName(tag_TOLQNETMATCH::kHostSlot, user != nullptr ? user->data.name : nullptr);
}

// Out of a random match, whichever way: nothing the match set outlives it.
// Its peers, its host, its seats, their names, its rules and the player's
// choice to leave it go, so that the room the player makes or enters next
// (or the next match) starts afresh, as a session's first room does (the
// seed goes on). Scene lock held.
void CNetworkScene::ForgetMatch()
{
    m_lobby->DropRoomPeers();
    m_match.randomMatch = 0;
    m_matchLeft = false;
    ResetBattleSetting(m_match.setting, Config());
    for (std::string& name : m_match.names)
        name.clear();
}

// The player chose to leave its random match: the lobby is out of it, and
// so is the scene, while the page still fades out. The match's other
// players go with their seats, so that their going is nobody's loss, and
// nothing their going or their words left for the next frame counts.
// Their callbacks take the scene lock, held here since the choice: each
// came before it, or finds no seat. Scene lock held.
void CNetworkScene::LeaveChosenMatch()
{
    if (m_matchLeft)
        return;
    m_matchLeft = true;
    LeaveRoom();
    m_posted = Posted();
}

// Scene lock held.
void CNetworkScene::AbandonMatch()
{
    LeaveRoom();
    m_lobby->SetState(LOBBY_MATCH_FAILED);
    EnterState(NetSceneState::Lobby);
}

// ---------------------------------------------------------------- setup

void CNetworkScene::EnterSetup(bool randomMatch)
{
    SceneLock lock(m_match.sceneLock);
    m_match.randomMatch = randomMatch ? 1 : 0;
    tag_TOLQBATTLESETTING* setting = m_match.setting;
    {
        auto lobbyLock = m_lobby->Lock();
        const CLobbyRoom* room = randomMatch ? m_lobby->GetRoomRecord() : m_lobby->GetCurrentRoom();
        if (room != nullptr)
            setting->rules.defaultWeapons =
                static_cast<uint32_t>(room->GetValue(randomMatch ? kMatchWeaponsAttribute : kRoomWeaponsAttribute));
        const CLobbyUser* own = m_lobby->GetOwnUser();
        CGameConfig* config = Config();
        if (own != nullptr && config != nullptr)
        {
            const int32_t rank = own->data.rank;
            config->GetRecord()->playerRank = static_cast<uint8_t>(rank < 0 ? 0 : rank > kHighestRank ? kHighestRank : rank);
        }
    }
    if (randomMatch)
        ResetSeatsForRandomMatch();
    // Each setup's picks and battle draw from a seed of their own: a room's
    // owner takes one and tells its guests (a guest takes its host's). A
    // random match's players make their choices before any of them has a
    // seat or the host's seed: each draws from a seed of its own (two games
    // started in the same second would otherwise share one).
    if (randomMatch || OwnsRoom())
        setting->seed = NextBattleSeed(setting->seed);
    if (randomMatch)
    {
        auto lobbyLock = m_lobby->Lock();
        const CLobbyUser* own = m_lobby->GetOwnUser();
        if (own != nullptr)
            setting->seed ^= own->data.id * kSeedMixer;
    }
    StartSetup(randomMatch ? INetBattleSetup::PAGE_MEMBERS : INetBattleSetup::PAGE_MODE);
    if (m_match.host != 0)
        SendSeed();
    std::memset(m_match.awaitingAnswer, 0, sizeof(m_match.awaitingAnswer));
    EnterState(NetSceneState::Room);
    // Only now may the match's host seat this side.
    if (randomMatch)
        m_lobby->OpenMatchSetup();
}

// A fresh setup on the given page (scene lock held).
void CNetworkScene::StartSetup(uint32_t page)
{
    m_setup.reset();
    m_setup = g_setupFactory != nullptr ? g_setupFactory() : CNetBattleSetup::Make();
    if (!m_setup)
        return;
    NetSetupStart start;
    start.page = page;
    start.online = 1;
    start.host = m_match.randomMatch != 0 ? 1 : m_match.host;
    m_setupAsHost = start.host != 0;
    start.randomMatch = m_match.randomMatch;
    start.setting = m_match.setting;
    start.session = Session();
    start.lobby = m_lobby.get();
    start.config = m_options.config;
    if (!m_setup->Start(start))
    {
        LogFailure("network: battle setup", "the setup could not start");
        m_setup.reset();
    }
}

void CNetworkScene::UpdateRoom()
{
    SceneLock lock(m_match.sceneLock);
    RoomKeepAlive(m_frameMilliseconds);
    if (m_setup)
        m_setup->Update();
    if (m_setup && m_setup->HasLeftMatch())
        LeaveChosenMatch();
    const uint32_t page = m_setup ? m_setup->GetPage() : INetBattleSetup::PAGE_MODE;
    if (page == INetBattleSetup::PAGE_START)
    {
        EnterState(NetSceneState::Start);
        return;
    }
    if (page == INetBattleSetup::PAGE_LEAVE)
    {
        ReturnToLobbyAsHost();
        return;
    }
    if (m_match.randomMatch != 0)
        WatchMatch();
}

// A random match's setup waits on the lobby and on the match's players
// (scene lock held); every wait ends, with the lobby's notice: a match
// that failed, a lobby connection that is gone, a host that waits for a
// guest or a guest for its seat longer than a slow line takes.
void CNetworkScene::WatchMatch()
{
    const LobbyState state = m_lobby->GetState();
    if (state == LOBBY_MATCH_FAILED)
    {
        EnterState(NetSceneState::Lobby);
        return;
    }
    if (state == LOBBY_CONNECTION_LOST)
    {
        AbandonMatch();
        return;
    }
    const bool waiting = (state == LOBBY_MATCH_HOST || state == LOBBY_MATCH_GUEST) && !MatchSeated(state);
    m_matchWaitMs = waiting ? m_matchWaitMs + m_frameMilliseconds : 0;
    if (m_matchWaitMs < m_options.matchJoinMs)
        return;
    LogFailure("network: random match", state == LOBBY_MATCH_HOST ? "the match's guests did not all come in time"
                                                                   : "the match's host gave this side no seat in time");
    AbandonMatch();
}

// Every player of the match is in: the host has seated them all, a guest
// has its seat (scene lock held).
bool CNetworkScene::MatchSeated(LobbyState state)
{
    if (state == LOBBY_MATCH_GUEST)
        return !m_match.slotPeer[tag_TOLQNETMATCH::kHostSlot].empty();
    int32_t seated = 1;
    for (uint32_t slot = 1; slot < tag_TOLQNETMATCH::kSlots; ++slot)
        seated += m_match.slotPeer[slot].empty() ? 0 : 1;
    auto lobbyLock = m_lobby->Lock();
    const CLobbyRoom* match = m_lobby->GetRoomRecord();
    return match != nullptr && seated >= match->GetPlayerCount();
}

// The host asks every seated guest to answer now and then; a guest that
// missed the last question loses its seat (its connection stays).
void CNetworkScene::RoomKeepAlive(uint32_t milliseconds)
{
    if (m_match.host == 0 || m_match.randomMatch != 0 || !m_match.guestSeated)
        return;
    m_match.keepAliveTimer += milliseconds;
    if (m_match.keepAliveTimer < kKeepAliveMilliseconds)
        return;
    m_match.keepAliveTimer = 0;
    if (Session() != nullptr)
        Session()->SendToAllEmpty(NETMSG_KEEPALIVE, kNetMatchSub, kNetKindTcp);
    tag_TOLQBATTLESETTING* setting = m_match.setting;
    for (uint32_t slot = 1; slot < setting->playerCount && slot < tag_TOLQNETMATCH::kSlots; ++slot)
    {
        const int8_t state = setting->players[slot].slotState;
        if (state == tag_TOLQBATTLEPLAYER::SLOT_COMPUTER || state == tag_TOLQBATTLEPLAYER::SLOT_CLOSED)
            continue;
        if (m_match.awaitingAnswer[slot] == 0)
        {
            m_match.awaitingAnswer[slot] = 1;
            continue;
        }
        m_match.awaitingAnswer[slot] = 0;
        CloseSeat(slot);
        SendSeatSummary(slot);
    }
}
