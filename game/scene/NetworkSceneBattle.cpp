// The network scene's battle: building it on every side, the ready
// handshake, the lockstep of inputs and frames, the host's synchronisation
// thread, and the end-of-battle choices.
//
// Sections: start; the battle frame; the end; the synchronisation thread.
#include "game/scene/CNetworkScene.h"

#include "engine/core/FailureLog.h"
#include "engine/core/GameText.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "game/actor/CCharacter.h"
#include "game/app/CController.h"
#include "game/app/GameServices.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/SetupMessages.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/NetMatchMessages.h"
#include "net/CNetClient.h"
#include "net/CNetSession.h"
#include "net/lobby/CLobbyClient.h"

#include <chrono>
#include <cstring>
#include <iterator>

namespace
{
// The HUD's menus of an online battle, by who chooses. They never hold
// the battle: every side steps the same frames whatever menu is open.
const char* const* HostEndItems()
{
    static const char* const items[] = {GameText("リトライ"), GameText("ロビーに戻る"), GameText("モード選択に戻る"),
                                        GameText("キャラクター選択に戻る"), GameText("タイトルに戻る")};
    return items;
}
using Code = CNetworkScene::ResultCode;
constexpr int8_t kHostEndCodes[] = {Code::RESULT_RETRY, Code::RESULT_LOBBY_AS_HOST, Code::RESULT_MODE_PAGE,
                                    Code::RESULT_CHARACTER_PAGE, Code::RESULT_TITLE};

const char* const* HostPauseItems()
{
    static const char* const items[] = {GameText("対戦に戻る"),       GameText("リトライ"),
                                        GameText("ロビーに戻る"),     GameText("モード選択に戻る"),
                                        GameText("キャラクター選択に戻る"), GameText("タイトルに戻る")};
    return items;
}
constexpr int8_t kHostPauseCodes[] = {Code::RESULT_RESUME,    Code::RESULT_RETRY,
                                      Code::RESULT_LOBBY_AS_HOST, Code::RESULT_MODE_PAGE,
                                      Code::RESULT_CHARACTER_PAGE, Code::RESULT_TITLE};

const char* const* GuestEndItems()
{
    static const char* const items[] = {GameText("ロビーに戻る"), GameText("タイトルに戻る")};
    return items;
}
constexpr int8_t kGuestEndCodes[] = {Code::RESULT_LEAVE_ROOM, Code::RESULT_TITLE};

const char* const* GuestPauseItems()
{
    static const char* const items[] = {GameText("対戦に戻る"), GameText("ロビーに戻る"), GameText("タイトルに戻る")};
    return items;
}
constexpr int8_t kGuestPauseCodes[] = {Code::RESULT_RESUME, Code::RESULT_LEAVE_ROOM, Code::RESULT_TITLE};

const char* GuestEndTitle()
{
    static const char* const title = GameText("ホストの選択待機中");
    return title;
}
}

// ---------------------------------------------------------------- start

// Scene state Start: the first update builds the battle, the next ones wait
// (without blocking the window) until every side has built it.
int CNetworkScene::StartBattle()
{
    if (!m_battle)
        return BuildBattle() ? 1 : 0;
    SceneLock lock(m_match.sceneLock);
    WaitForReady(lock);
    return 1;
}

bool CNetworkScene::BuildBattle()
{
    if (g_pController != nullptr)
        g_pController->SetQuitMenuEnabled(0);
    StopSyncThread();
    SceneLock lock(m_match.sceneLock);
    tag_TOLQBATTLESETTING* setting = m_match.setting;
    // Seated players act on the frames' records, everybody's own included.
    for (uint32_t i = 0; i < setting->playerCount; ++i)
        setting->players[i].localInput = setting->players[i].IsHuman() ? 0 : 1;
    setting->session = Session();
    setting->lobby = m_lobby.get();
    auto battle = std::make_unique<CBattleScene>();
    if (m_options.config != nullptr)
        battle->SetGameConfig(m_options.config);
    if (battle->Init(reinterpret_cast<uintptr_t>(setting)) == 0)
    {
        // Tried again at the next update.
        battle->Release();
        return false;
    }
    m_battle = std::move(battle);
    SetBattleMenus();
    const uint32_t own = m_battle->GetLocalPlayerIndex();
    if (own < setting->playerCount)
        setting->players[own].roomWords[2] = 1;
    m_readyWaitStart = Now();
    m_steppedFrames = 0;
    if (m_match.host == 0)
        SendReady();
    return true;
}

void CNetworkScene::SetBattleMenus()
{
    CBattleConsole* console = m_battle->GetConsole();
    if (m_match.randomMatch != 0)
    {
        console->SetBanner1(std::size(kGuestPauseCodes), 0, nullptr, GuestPauseItems(), kGuestPauseCodes);
        console->SetBanner2(0, 0, nullptr, nullptr, nullptr);
        console->SetBanner3(0, 0, nullptr, nullptr, nullptr);
        console->SetBanner4(0, 0, nullptr, nullptr, nullptr);
        return;
    }
    if (m_match.host != 0)
    {
        console->SetBanner1(std::size(kHostPauseCodes), 0, nullptr, HostPauseItems(), kHostPauseCodes);
        console->SetBanner2(std::size(kHostEndCodes), 0, nullptr, HostEndItems(), kHostEndCodes);
        console->SetBanner3(std::size(kHostEndCodes), 0, nullptr, HostEndItems(), kHostEndCodes);
        console->SetBanner4(std::size(kHostEndCodes), 0, nullptr, HostEndItems(), kHostEndCodes);
        return;
    }
    console->SetBanner1(std::size(kGuestPauseCodes), 0, nullptr, GuestPauseItems(), kGuestPauseCodes);
    console->SetBanner2(std::size(kGuestEndCodes), 0, GuestEndTitle(), GuestEndItems(), kGuestEndCodes);
    console->SetBanner3(std::size(kGuestEndCodes), 0, GuestEndTitle(), GuestEndItems(), kGuestEndCodes);
    console->SetBanner4(std::size(kGuestEndCodes), 0, GuestEndTitle(), GuestEndItems(), kGuestEndCodes);
}

// The host starts the battle once every seated guest has built it. A guest
// that stays silent past the ready wait is cut (its seat then closes at
// the battle's first frame); a guest that hears nothing leaves the room.
void CNetworkScene::WaitForReady(SceneLock& lock)
{
    const tag_TOLQBATTLESETTING* setting = m_match.setting;
    const bool late = Now() - m_readyWaitStart >= m_options.readyWaitMs;
    if (m_match.host == 0)
    {
        if (Now() - m_readyWaitStart < m_options.readyWaitMs + m_options.frameWaitMs)
            return;
        lock.unlock();
        LeaveLostRoom("the host did not start the battle; leaving the room");
        return;
    }
    std::vector<std::string> unready;
    for (uint32_t slot = 1; slot < setting->playerCount && slot < tag_TOLQNETMATCH::kSlots; ++slot)
    {
        const tag_TOLQBATTLEPLAYER& entry = setting->players[slot];
        if (entry.IsHuman() && entry.roomWords[2] == 0 && !m_match.slotPeer[slot].empty())
            unready.push_back(m_match.slotPeer[slot]);
    }
    if (unready.empty())
    {
        SendState(NetSceneState::Battle);
        EnterBattle();
        return;
    }
    if (!late || Session() == nullptr)
        return;
    for (const NetClientPtr& peer : Session()->GetPeers())
    {
        for (const std::string& id : unready)
        {
            if (id == peer->GetId())
                peer->CutConnection();
        }
    }
    m_readyWaitStart = Now();
}

// Every side, scene lock held: the frames start from an empty ring.
void CNetworkScene::EnterBattle()
{
    tag_TOLQBATTLESETTING* setting = m_match.setting;
    uint32_t empty = 0;
    for (uint32_t slot = 0; slot < setting->playerCount; ++slot)
    {
        setting->players[slot].roomWords[2] = 0;
        // A human seat nobody sits in closes at the first frame.
        if (m_match.host != 0 && slot > 0 && slot < tag_TOLQNETMATCH::kSlots && setting->players[slot].IsHuman() &&
            m_match.slotPeer[slot].empty())
            empty |= tag_TOLQNETMATCH::SlotBit(slot);
    }
    {
        std::lock_guard<std::mutex> frames(m_match.frameLock);
        m_match.lockstep.Reset(m_match.framesPerBatch);
        m_match.departed = empty;
    }
    UpdateSeatedMask();
    m_steppedFrames = 0;
    EnterState(NetSceneState::Battle);
    if (m_match.host != 0)
        StartSyncThread();
}

void CNetworkScene::SendState(NetSceneState state)
{
    uint8_t bytes[kNetSceneStateSize];
    WriteNetU32(static_cast<uint32_t>(state), bytes);
    SendToAll(NETMSG_SCENE_STATE, bytes, sizeof(bytes));
}

void CNetworkScene::SendReady()
{
    const uint8_t slot = m_match.setting->ownSlot;
    SendToAll(NETMSG_READY, &slot, kNetReadySize);
}

// ---------------------------------------------------------------- the frame

void CNetworkScene::UpdateBattle()
{
    SceneLock lock(m_match.sceneLock);
    if (!m_battle)
        return;
    if (!PumpLockstep(lock))
    {
        lock.unlock();
        LeaveLostRoom("no frame came within the wait; leaving the room");
        return;
    }
    bool frameWaiting = false;
    {
        std::lock_guard<std::mutex> frames(m_match.frameLock);
        frameWaiting = m_match.lockstep.HasFrame();
    }
    if (m_battle && frameWaiting)
        StepBattleFrame();
    if (!m_battle || m_battle->IsFinished() == 0)
        return;
    const int8_t code = m_battle->GetConsole()->GetResultCode();
    lock.unlock();
    FinishBattle(code, true);
}

bool CNetworkScene::PumpLockstep(SceneLock& lock)
{
    const bool host = m_match.host != 0;
    if (!m_waitingForFrame)
    {
        tag_TOLQINPUTRECORD own;
        CInput* input = Input();
        const bool menuOpen = m_battle->GetConsole()->GetState().currentMenu != ConsoleMenu::None;
        if (input != nullptr && !menuOpen)
            PackInputRecord(&own, input->GetPadState(0));
        const uint32_t frameTime = m_options.fixedFrameTime != 0 ? m_options.fixedFrameTime : GetElapsedMilliseconds();
        std::vector<uint8_t> records;
        bool sampled = false;
        {
            std::lock_guard<std::mutex> frames(m_match.frameLock);
            if (host)
            {
                sampled = m_match.lockstep.SampleHost(own, frameTime);
                m_match.batchWake.notify_all();
            }
            else
            {
                sampled = m_match.lockstep.SampleGuest(m_match.setting->ownSlot, own, &records);
            }
        }
        if (!records.empty())
            SendToAll(NETMSG_INPUTS, records.data(), static_cast<uint32_t>(records.size()));
        if (!sampled)
            return true;
        m_waitingForFrame = true;
        m_waitStart = Now();
    }
    // The batch is sampled: the next one starts once a frame is there to
    // step. The wait gives way every slice, so the window goes on drawing
    // the last frame and taking its events.
    const uint32_t sliceStart = Now();
    for (;;)
    {
        {
            std::lock_guard<std::mutex> frames(m_match.frameLock);
            if (m_match.lockstep.CanStartBatch(host))
            {
                m_match.lockstep.RestartCounter();
                m_waitingForFrame = false;
                return true;
            }
        }
        const uint32_t now = Now();
        // The host never leaves its own battle for want of frames: the
        // frames wait only for its guests, and a guest that keeps them
        // waiting leaves the battle instead.
        if (host && now - m_waitStart >= m_options.guestStallMs)
        {
            DropSilentGuests();
            m_waitStart = now;
            continue;
        }
        if (!host && now - m_waitStart >= m_options.frameWaitMs)
            return false;
        if (now - sliceStart >= kWaitSliceMilliseconds)
            return true;
        lock.unlock();
        Sleep(1);
        lock.lock();
        if (!m_battle)
        {
            m_waitingForFrame = false;
            return true;
        }
    }
}

// One frame of the ring: its time, each seated player's record, then the
// battle's own frame. A departure mark closes its seat here, at the same
// frame on every side.
void CNetworkScene::StepBattleFrame()
{
    CNetLockstep::Frame frame;
    {
        std::lock_guard<std::mutex> frames(m_match.frameLock);
        if (!m_match.lockstep.PopFrame(&frame))
            return;
    }
    SetFrameTime(frame[0]);
    tag_TOLQBATTLESETTING* setting = m_match.setting;
    CInput* input = m_battle->GetInput();
    for (uint32_t slot = 0; slot < setting->playerCount && slot < tag_TOLQNETMATCH::kSlots; ++slot)
    {
        if (!setting->players[slot].IsHuman())
            continue;
        const uint8_t* bytes = CNetLockstep::SlotRecord(frame, slot);
        if (CNetLockstep::IsDepartureMark(bytes))
        {
            CloseDepartedSeat(slot);
            continue;
        }
        CCharacter* fighter = m_battle->GetFighter(slot);
        if (fighter == nullptr)
            continue;
        tag_TOLQINPUTRECORD record;
        std::memcpy(record.bytes, bytes, tag_TOLQINPUTRECORD::kSize);
        fighter->ApplyInputRecord(&record, input);
    }
    m_battle->Update(0);
    ++m_steppedFrames;
}

void CNetworkScene::CloseDepartedSeat(uint32_t slot)
{
    tag_TOLQBATTLEPLAYER& entry = m_match.setting->players[slot];
    SetSeatName(slot, nullptr);
    entry.slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
    entry.roomWords[0] = 0;
    m_match.closingAfterBattle &= ~tag_TOLQNETMATCH::SlotBit(slot);
    // The fighter keeps its copy of the battle data: the player's name
    // goes from it too, at this same frame on every side.
    if (CCharacter* fighter = m_battle->GetFighter(slot))
        fighter->ClearPlayerName();
}

// Scene lock held, during a battle.
void CNetworkScene::MarkDeparted(uint32_t slot)
{
    m_match.slotPeer[slot].clear();
    m_match.awaitingAnswer[slot] = 0;
    {
        std::lock_guard<std::mutex> frames(m_match.frameLock);
        m_match.departed |= tag_TOLQNETMATCH::SlotBit(slot);
    }
    UpdateSeatedMask();
    SetupMessages::PlayerSummary summary =
        SetupMessages::SummaryOf(m_match.setting->players[slot], static_cast<uint8_t>(slot));
    summary.slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
    summary.confirmed = 0;
    const std::vector<uint8_t> bytes = SetupMessages::EncodeSummary(summary);
    SendToAll(NETMSG_SUMMARY, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// Scene lock held. A stalled guest (a busy machine, a suspended laptop)
// is treated as one that left: its seat closes at one frame on every side
// and the others play on. Its connection is cut, so that it finds itself
// out of the room when it wakes.
void CNetworkScene::DropSilentGuests()
{
    uint32_t silent = 0;
    {
        std::lock_guard<std::mutex> frames(m_match.frameLock);
        silent = m_match.lockstep.MissingRecords(m_match.seated);
    }
    for (uint32_t slot = 1; slot < tag_TOLQNETMATCH::kSlots; ++slot)
    {
        if ((silent & tag_TOLQNETMATCH::SlotBit(slot)) == 0)
            continue;
        const std::string peerId = m_match.slotPeer[slot];
        LogFailure("network: battle",
                   ("the guest of seat " + std::to_string(slot) + " sent nothing in time; it leaves the battle").c_str());
        MarkDeparted(slot);
        if (Session() == nullptr || peerId.empty())
            continue;
        for (const NetClientPtr& peer : Session()->GetPeers())
        {
            if (peerId == peer->GetId())
                peer->CutConnection();
        }
    }
}

// ---------------------------------------------------------------- the end

// The battle is over on this side: by its own menu (own), by the host's
// choice (message 10), or because the frames stopped coming.
void CNetworkScene::FinishBattle(int8_t code, bool own)
{
    if (GetState() != NetSceneState::Start && GetState() != NetSceneState::Battle)
        return;
    if (own && m_match.randomMatch != 0 && code != RESULT_RETRY && code != RESULT_TITLE)
        code = RESULT_LEAVE_ROOM;
    if (own && m_match.host != 0 && code != RESULT_TITLE)
    {
        const uint8_t byte = static_cast<uint8_t>(code);
        SendToAll(NETMSG_RESULT, &byte, kNetResultSize);
    }
    if (g_pController != nullptr)
        g_pController->SetQuitMenuEnabled(1);
    StopSyncThread();
    SceneLock lock(m_match.sceneLock);
    DeleteBattle();
    ActOnResult(code);
}

// Scene lock held.
void CNetworkScene::ActOnResult(int8_t code)
{
    switch (code)
    {
    case RESULT_RETRY: EnterState(NetSceneState::Start); return;
    case RESULT_TITLE:
        EnterState(NetSceneState::Lobby);
        LeaveToTitle(kTitlePicture, kNetworkItem);
        return;
    case RESULT_LOBBY_AS_HOST: ReturnToLobbyAsHost(); return;
    case RESULT_MODE_PAGE:
        ReturnToSetup(INetBattleSetup::PAGE_MODE);
        return;
    case RESULT_CHARACTER_PAGE:
        ReturnToSetup(INetBattleSetup::PAGE_MEMBERS);
        return;
    default:
        LeaveRoom();
        EnterState(NetSceneState::Lobby);
        return;
    }
}

// Back to the setup's page with the room and the setting kept (scene lock
// held). The owner takes the next battle's seed and tells its guests.
void CNetworkScene::ReturnToSetup(uint32_t page)
{
    if (m_match.host != 0)
    {
        m_match.setting->seed = NextBattleSeed(m_match.setting->seed);
        SendSeed();
    }
    if (m_setup)
        m_setup->SetPage(page);
    else
        StartSetup(page);
    EnterState(NetSceneState::Room);
}

// Back to the room's screen (scene lock held); the owner opens its port
// again. From a random match there is no room to go back to.
void CNetworkScene::ReturnToLobbyAsHost()
{
    if (m_match.host != 0)
        m_lobby->SendRoomStatus(0);
    if (m_match.randomMatch != 0)
    {
        LeaveRoom();
        EnterState(NetSceneState::Lobby);
        return;
    }
    m_lobby->SetRoomState(LOBBY_ROOM);
    if (m_match.host != 0 && Session() != nullptr)
        Session()->Listen();
    EnterState(NetSceneState::Lobby);
}

// Out of the room (scene lock held): the server hears of it, the room's
// other side sees the connections end.
void CNetworkScene::LeaveRoom()
{
    if (g_pController != nullptr)
        g_pController->SetQuitMenuEnabled(1);
    if (m_match.randomMatch != 0)
    {
        m_lobby->LeaveMatch();
    }
    else
    {
        // An owner that leaves closes its room: no room outlives its owner.
        m_lobby->SendMessage(OwnsRoom() ? LOBBY_MSG_CLOSE_ROOM : LOBBY_MSG_LEAVE_ROOM);
        m_lobby->SetRoomState(LOBBY_IN_LOBBY);
    }
    for (std::string& peer : m_match.slotPeer)
        peer.clear();
    UpdateSeatedMask();
    m_match.host = 0;
    m_lobby->DropRoomPeers();
}

// The host fell silent: out of the room, and the lobby tells the player
// that the connection was lost (scene lock not held).
void CNetworkScene::LeaveLostRoom(const char* why)
{
    LogFailure("network: battle", why);
    FinishBattle(RESULT_LEAVE_ROOM, false);
    m_lobby->SetState(LOBBY_ROOM_LOST);
}

// Scene lock held.
bool CNetworkScene::OwnsRoom()
{
    if (m_match.host != 0)
        return true;
    // A random match's host owns its match before anybody is seated; the
    // lobby's room is the last room's, which says nothing of the match.
    if (m_match.randomMatch != 0)
        return m_lobby->GetState() == LOBBY_MATCH_HOST;
    auto lobbyLock = m_lobby->Lock();
    return m_lobby->IsOwner();
}

// A guest's host is gone: every seat closes, a battle ends, and the player
// is back in the lobby, told that the connection was lost when it went
// from the room's setup or battle.
void CNetworkScene::OnHostLost()
{
    StopSyncThread();
    SceneLock lock(m_match.sceneLock);
    const bool inRoom = GetState() != NetSceneState::Lobby;
    DeleteBattle();
    tag_TOLQBATTLESETTING* setting = m_match.setting;
    for (uint32_t slot = 0; slot < setting->playerCount && slot < tag_TOLQNETMATCH::kSlots; ++slot)
    {
        if (setting->players[slot].IsHuman())
            CloseSeat(slot);
    }
    if (g_pController != nullptr)
        g_pController->SetQuitMenuEnabled(1);
    if (inRoom)
    {
        m_lobby->SendMessage(LOBBY_MSG_LEAVE_ROOM);
        m_lobby->SetState(LOBBY_ROOM_LOST);
    }
    m_lobby->DropRoomPeers();
    EnterState(NetSceneState::Lobby);
}

// Scene lock held (or the scene going away). Seats that left during the
// battle close now if their mark never came.
void CNetworkScene::DeleteBattle()
{
    if (!m_battle)
        return;
    m_battle->Release();
    m_battle.reset();
    uint32_t closing = m_match.closingAfterBattle;
    {
        std::lock_guard<std::mutex> frames(m_match.frameLock);
        closing |= m_match.departed;
        m_match.departed = 0;
    }
    m_match.closingAfterBattle = 0;
    tag_TOLQBATTLESETTING* setting = m_match.setting;
    if (setting == nullptr)
        return;
    for (uint32_t slot = 0; slot < setting->playerCount && slot < tag_TOLQNETMATCH::kSlots; ++slot)
    {
        if ((closing & tag_TOLQNETMATCH::SlotBit(slot)) != 0 && setting->players[slot].IsHuman())
            CloseSeat(slot);
        setting->players[slot].localInput = 1;
    }
}

// ---------------------------------------------------------------- synchronisation

void CNetworkScene::StartSyncThread()
{
    if (m_match.syncThread.joinable())
        return;
    m_match.syncState.store(1);
    m_match.syncThread = std::thread(&CNetworkScene::SyncThread, this);
}

// Never with the scene or frame lock held: the thread takes them.
void CNetworkScene::StopSyncThread()
{
    if (!m_match.syncThread.joinable())
        return;
    {
        std::lock_guard<std::mutex> frames(m_match.frameLock);
        m_match.syncState.store(2);
        m_match.batchWake.notify_all();
    }
    m_match.syncThread.join();
    m_match.syncState.store(0);
}

// The host's batches: each one is taken once, when the host has sampled it
// and every seated guest's records for it are in, and goes to everybody.
void CNetworkScene::SyncThread()
{
    std::vector<uint8_t> batch;
    for (;;)
    {
        {
            std::unique_lock<std::mutex> frames(m_match.frameLock);
            m_match.batchWake.wait_for(frames, std::chrono::milliseconds(1), [this] {
                return m_match.syncState.load() != 1 || m_match.lockstep.IsBatchReady(m_match.seated);
            });
            if (m_match.syncState.load() != 1)
                break;
            if (!m_match.lockstep.IsBatchReady(m_match.seated))
                continue;
            m_match.lockstep.TakeBatch(m_match.departed, &batch);
        }
        SendToAll(NETMSG_FRAMES, batch.data(), static_cast<uint32_t>(batch.size()));
    }
}
