// The network scene's seats and messages, on the session's threads: the
// slot handshake, the disconnect rules, and the handling of each message
// with the rule of who may send it.
//
// Who may send what: a guest takes messages only from its host (the
// connection seated in slot 0): the slot, the scene state, the setup's
// cursor and rules, the seats the host passes on, the seed, the frames,
// the end-of-battle choice, the keep-alive, and the pauses and fighter
// positions this game never sends itself. The host takes only a
// seated guest's ready report, its own seat (summary or whole), its input
// records and its keep-alive answer, each for that guest's own slot.
// Everything else is dropped, and the first drop of each peer is logged.
//
// Sections: callbacks; seats; handlers of the host; handlers of a guest;
// senders.
#include "game/scene/CNetworkScene.h"

#include "engine/core/CByteReader.h"
#include "engine/core/CkvrVector3.h"
#include "engine/core/FailureLog.h"
#include "game/actor/CCharacter.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/SetupMessages.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/NetMatchMessages.h"
#include "net/CNetClient.h"
#include "net/CNetSession.h"
#include "net/lobby/CLobbyClient.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace
{
// Peers whose drops are logged at most; more are counted only.
constexpr size_t kLoggedPeers = 64;

}

// ---------------------------------------------------------------- callbacks

uint32_t CNetworkScene::OnPeerConnected(void* argument, CNetClient* peer)
{
    return static_cast<CNetworkScene*>(argument)->HandlePeerConnected(peer);
}

uint32_t CNetworkScene::OnPeerMessage(void* argument, CNetClient* peer, const uint8_t* payload, int32_t id,
                                      uint32_t length)
{
    static_cast<CNetworkScene*>(argument)->HandleMessage(peer, payload, id, length);
    return 1;
}

uint32_t CNetworkScene::OnPeerDisconnected(void* argument, CNetClient* peer)
{
    static_cast<CNetworkScene*>(argument)->HandlePeerDisconnected(peer);
    return 1;
}

// ---------------------------------------------------------------- seats

int32_t CNetworkScene::SlotOfPeer(const CNetClient* peer) const
{
    if (peer == nullptr)
        return -1;
    for (uint32_t slot = 0; slot < tag_TOLQNETMATCH::kSlots; ++slot)
    {
        if (!m_match.slotPeer[slot].empty() && m_match.slotPeer[slot] == peer->GetId())
            return static_cast<int32_t>(slot);
    }
    return -1;
}

// Before its slot comes, a guest's host is the one its lobby connects to
// (the host may pass a seat on before it seats the newcomer). Any other
// connection it made is one the player moved on from while it was on its
// way: nobody's host, and its end nobody's loss.
bool CNetworkScene::IsHostPeer(const CNetClient* peer) const
{
    if (m_match.host != 0 || peer == nullptr)
        return false;
    if (m_match.slotPeer[tag_TOLQNETMATCH::kHostSlot].empty())
        return !peer->IsInbound() && m_lobby->IsHostPeer(peer);
    return SlotOfPeer(peer) == tag_TOLQNETMATCH::kHostSlot;
}

void CNetworkScene::SetSeatName(uint32_t slot, const char* name)
{
    tag_TOLQBATTLEPLAYER& entry = m_match.setting->players[slot];
    if (name == nullptr)
    {
        m_match.names[slot].clear();
        entry.name = nullptr;
        return;
    }
    m_match.names[slot] = name;
    entry.name = m_match.names[slot].c_str();
}

// A setup keeps the names it receives only while it lives: the room keeps
// them with their seats from one setup to the next. A closed seat has none.
void CNetworkScene::KeepSeatName(uint32_t slot)
{
    const tag_TOLQBATTLEPLAYER& entry = m_match.setting->players[slot];
    if (entry.IsClosed())
        SetSeatName(slot, nullptr);
    else if (entry.name != m_match.names[slot].c_str())
        SetSeatName(slot, entry.name);
}

void CNetworkScene::CloseSeat(uint32_t slot)
{
    tag_TOLQBATTLEPLAYER& entry = m_match.setting->players[slot];
    SetSeatName(slot, nullptr);
    entry.slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
    entry.roomWords[0] = 0;
    entry.character = 0;
    m_match.slotPeer[slot].clear();
    m_match.awaitingAnswer[slot] = 0;
    UpdateSeatedMask();
}

void CNetworkScene::UpdateSeatedMask()
{
    uint32_t seated = 0;
    for (uint32_t slot = 1; slot < tag_TOLQNETMATCH::kSlots; ++slot)
    {
        if (!m_match.slotPeer[slot].empty())
            seated |= tag_TOLQNETMATCH::SlotBit(slot);
    }
    std::lock_guard<std::mutex> frames(m_match.frameLock);
    m_match.seated = seated & ~m_match.departed;
    m_match.batchWake.notify_all();
}

// A guest connected to this room's owner (on the session's accept thread):
// it gets its old seat back, or the lowest free one, or none when the room
// is full (the session then cuts it). A connection taken in just before the
// player chose to leave its match waits here for the choice: it finds
// nobody's room.
uint32_t CNetworkScene::HandlePeerConnected(CNetClient* peer)
{
    SceneLock lock(m_match.sceneLock);
    tag_TOLQBATTLESETTING* setting = m_match.setting;
    if (setting == nullptr || peer == nullptr || BattleExists() || m_matchLeft)
        return 0;
    int32_t slot = SlotOfPeer(peer);
    if (slot == tag_TOLQNETMATCH::kHostSlot)
        return 0;
    for (uint32_t free = 1; slot < 0 && free < setting->playerCount && free < tag_TOLQNETMATCH::kSlots; ++free)
    {
        if (m_match.slotPeer[free].empty())
            slot = static_cast<int32_t>(free);
    }
    if (slot < 0)
        return 0;
    m_match.slotPeer[slot] = peer->GetId();
    m_match.host = 1;
    m_match.guestSeated = true;
    setting->ownSlot = tag_TOLQNETMATCH::kHostSlot;
    setting->viewedSlot = tag_TOLQNETMATCH::kHostSlot;
    tag_TOLQBATTLEPLAYER& own = setting->players[tag_TOLQNETMATCH::kHostSlot];
    own.slotState = 0;
    // A random match's guests come while its host still chooses: what the
    // host has chosen stays.
    if (m_match.randomMatch == 0)
    {
        own.roomWords[0] = 0;
        own.character = static_cast<int8_t>(own.characterCount);
        auto lobbyLock = m_lobby->Lock();
        const CLobbyUser* user = m_lobby->GetOwnUser();
        SetSeatName(tag_TOLQNETMATCH::kHostSlot, user != nullptr ? user->data.name : nullptr);
    }
    tag_TOLQBATTLEPLAYER& seat = setting->players[slot];
    SetSeatName(static_cast<uint32_t>(slot), nullptr);
    seat.slotState = static_cast<int8_t>(slot);
    seat.roomWords[0] = 0;
    seat.character = static_cast<int8_t>(seat.characterCount);
    m_match.awaitingAnswer[slot] = 0;
    UpdateSeatedMask();
    const uint8_t given = static_cast<uint8_t>(slot);
    peer->Send(NETMSG_SLOT, kNetMatchSub, &given, kNetSlotSize, kNetKindTcp);
    SendSeed();
    // The newcomer hears of every other seat, which the guests before it
    // announced before it was there.
    for (uint32_t other = 0; other < setting->playerCount && other < tag_TOLQNETMATCH::kSlots; ++other)
    {
        if (other == static_cast<uint32_t>(slot))
            continue;
        const std::vector<uint8_t> bytes =
            SetupMessages::EncodeEntry(setting->players[other], static_cast<uint8_t>(other));
        if (!bytes.empty())
            peer->Send(NETMSG_ENTRY, kNetMatchSub, bytes.data(), static_cast<uint32_t>(bytes.size()), kNetKindTcp);
    }
    return 1;
}

// A connection ended (on its receive thread). A connection replaced by the
// same guest's new one changes nothing, whichever of the two reaches the
// scene first.
void CNetworkScene::HandlePeerDisconnected(CNetClient* peer)
{
    if (peer == nullptr)
        return;
    SceneLock lock(m_match.sceneLock);
    if (m_match.setting == nullptr || peer->HasLiveConnection())
        return;
    const int32_t slot = SlotOfPeer(peer);
    // A random match's host that lets its guest go before seating it (a
    // full match, a host that gave up) has ended the match.
    if (slot < 0 && m_match.randomMatch != 0 && GetState() == NetSceneState::Room && IsHostPeer(peer))
        m_posted.hostLost = true;
    if (slot < 0)
        return;
    if (slot == tag_TOLQNETMATCH::kHostSlot)
    {
        if (m_match.host == 0)
        {
            m_match.slotPeer[slot].clear();
            m_posted.hostLost = true;
        }
        return;
    }
    if (m_match.host == 0)
        return;
    m_match.slotPeer[slot].clear();
    m_match.awaitingAnswer[slot] = 0;
    if (!BattleExists())
    {
        CloseSeat(static_cast<uint32_t>(slot));
        SendSeatSummary(static_cast<uint32_t>(slot));
        // The match's room was made for the players the lobby matched.
        if (m_match.randomMatch != 0)
            m_posted.matchBroken = true;
        return;
    }
    // A battle is on: the seat closes on every side at the first frame of
    // the next batch, which carries the departure mark.
    MarkDeparted(static_cast<uint32_t>(slot));
}

// ---------------------------------------------------------------- dispatch

void CNetworkScene::HandleMessage(CNetClient* peer, const uint8_t* payload, int32_t id, uint32_t length)
{
    SceneLock lock(m_match.sceneLock);
    if (m_match.setting == nullptr || peer == nullptr)
        return;
    if (m_match.host != 0)
    {
        const int32_t slot = SlotOfPeer(peer);
        if (slot <= 0)
        {
            Drop(peer, id, "the sender has no seat");
            return;
        }
        HandleHostMessage(peer, slot, payload, id, length);
        return;
    }
    if (id == NETMSG_SLOT)
    {
        // Only the host this side connected to seats it.
        if (!IsHostPeer(peer) || length != kNetSlotSize || payload[0] >= m_match.setting->playerCount || payload[0] == 0)
        {
            Drop(peer, id, "a slot not from this side's host, or out of range");
            return;
        }
        OnSlotGiven(peer, payload[0]);
        return;
    }
    if (!IsHostPeer(peer))
    {
        Drop(peer, id, "the sender is not this side's host");
        return;
    }
    switch (id)
    {
    case NETMSG_FRAMES: OnFrames(peer, payload, length, lock); return;
    case NETMSG_PAUSE:
        if (!OnPause(peer, payload, length, lock))
            Drop(peer, id, "a pause of a wrong length, or beyond what a second may take");
        return;
    case NETMSG_POSITIONS_FRAMES:
        // Each part as its own message: the positions, then the frames. A
        // refused placement keeps the frames, which this side can't do
        // without.
        if (length < kNetPositionsSize)
        {
            Drop(peer, id, "shorter than the positions");
            return;
        }
        if (!OnPositions(payload, kNetPositionsSize))
            Drop(peer, NETMSG_POSITIONS, "positions out of any stage, or outside a battle");
        OnFrames(peer, payload + kNetPositionsSize, length - kNetPositionsSize, lock);
        return;
    default: HandleGuestMessage(peer, payload, id, length); return;
    }
}

void CNetworkScene::Drop(const CNetClient* peer, int32_t id, const char* why)
{
    m_droppedMessages.fetch_add(1);
    const std::string sender = peer != nullptr && peer->GetName() != nullptr ? peer->GetName() : "?";
    if (m_loggedPeers.size() >= kLoggedPeers || !m_loggedPeers.insert(sender).second)
        return;
    LogFailure(("network: message " + std::to_string(id) + " from " + sender + " dropped").c_str(), why);
}

// ---------------------------------------------------------------- the host's

void CNetworkScene::HandleHostMessage(CNetClient* peer, int32_t senderSlot, const uint8_t* payload, int32_t id,
                                      uint32_t length)
{
    tag_TOLQBATTLESETTING* setting = m_match.setting;
    switch (id)
    {
    case NETMSG_READY:
        if (length != kNetReadySize || payload[0] != senderSlot || payload[0] >= setting->playerCount)
            break;
        setting->players[senderSlot].roomWords[2] = 1;
        return;
    case NETMSG_SUMMARY:
    case NETMSG_ENTRY:
        if (OnSeat(id, senderSlot, payload, length))
            return;
        break;
    case NETMSG_INPUTS:
        if (OnGuestRecords(senderSlot, payload, length))
            return;
        break;
    case NETMSG_KEEPALIVE_ANSWER:
        if (length != kNetAnswerSize || payload[0] != senderSlot)
            break;
        m_match.awaitingAnswer[senderSlot] = 0;
        return;
    default: break;
    }
    Drop(peer, id, "not a message a guest sends, or not for its own seat");
}

// A seat (summary or whole): from a guest only for its own seat, which
// stays its seat; then the setup takes it (and the host's passes it on to
// everybody). During a battle only a seat's closing counts, and it waits
// for the battle's departure mark.
bool CNetworkScene::OnSeat(int32_t id, int32_t senderSlot, const uint8_t* payload, uint32_t length)
{
    const bool summary = id == NETMSG_SUMMARY;
    const uint32_t size = summary ? SetupMessages::kSummarySize : SetupMessages::kEntrySize;
    // Where the seat's state lies in each message.
    const size_t stateAt = summary ? 2 : 3;
    if (length != size || payload[0] >= m_match.setting->playerCount)
        return false;
    const uint8_t slot = payload[0];
    std::vector<uint8_t> bytes(payload, payload + length);
    if (senderSlot > 0)
    {
        if (slot != senderSlot)
            return false;
        bytes[stateAt] = static_cast<uint8_t>(senderSlot);
    }
    if (BattleExists())
    {
        if (senderSlot > 0 || !summary)
            return false;
        if (static_cast<int8_t>(bytes[stateAt]) == tag_TOLQBATTLEPLAYER::SLOT_CLOSED)
            m_match.closingAfterBattle |= tag_TOLQNETMATCH::SlotBit(slot);
        return true;
    }
    if (!m_setup || !m_setup->OnPeerMessage(id, bytes.data(), length))
        return false;
    KeepSeatName(slot);
    // A setup started before this side seated anybody doesn't pass seats
    // on as a host's does: the others hear of it all the same.
    if (m_match.host != 0 && !m_setupAsHost)
        SendToAll(static_cast<int16_t>(id), bytes.data(), length);
    return true;
}

// The host's page changes and rules, outside a battle.
bool CNetworkScene::OnSetupMessage(int32_t id, const uint8_t* payload, uint32_t length)
{
    return !BattleExists() && m_setup && m_setup->OnPeerMessage(id, payload, length);
}

bool CNetworkScene::OnGuestRecords(int32_t senderSlot, const uint8_t* payload, uint32_t length)
{
    const uint32_t count = length / CNetLockstep::kRecordSize;
    if (length % CNetLockstep::kRecordSize != 0 || count == 0 || count > CNetLockstep::kBatchFrames ||
        payload[0] != senderSlot || GetState() != NetSceneState::Battle)
        return false;
    std::lock_guard<std::mutex> frames(m_match.frameLock);
    m_match.lockstep.StoreGuestRecords(static_cast<uint8_t>(senderSlot), payload, count);
    m_match.batchWake.notify_all();
    return true;
}

// ---------------------------------------------------------------- a guest's

void CNetworkScene::OnSlotGiven(CNetClient* host, uint8_t slot)
{
    tag_TOLQBATTLESETTING* setting = m_match.setting;
    m_match.host = 0;
    const uint8_t previous = setting->ownSlot;
    setting->ownSlot = slot;
    setting->viewedSlot = slot;
    if (m_match.randomMatch != 0 && previous != slot && previous < setting->playerCount)
        MoveOwnSeat(previous, slot);
    tag_TOLQBATTLEPLAYER& own = setting->players[slot];
    own.slotState = static_cast<int8_t>(slot);
    if (m_match.randomMatch == 0)
    {
        own.roomWords[0] = 0;
        own.character = static_cast<int8_t>(own.characterCount);
        auto lobbyLock = m_lobby->Lock();
        const CLobbyRoom* room = m_lobby->GetCurrentRoom();
        const CLobbyUser* user = m_lobby->GetOwnUser();
        SetSeatName(tag_TOLQNETMATCH::kHostSlot, room != nullptr ? room->data.members.owner.name : nullptr);
        SetSeatName(slot, user != nullptr ? user->data.name : nullptr);
    }
    m_match.slotPeer[tag_TOLQNETMATCH::kHostSlot] = host->GetId();
    if (m_setup)
        m_setup->SetHost(false);
    m_setupAsHost = false;
    if (m_match.randomMatch != 0)
    {
        SendSeatEntry(own, slot);
        return;
    }
    SendSeatSummary(slot);
}

// A random match's guest chose in the host's seat, the only one it had:
// its choices and name go with it to the seat it is given, and the seat it
// leaves waits for its owner's entry.
void CNetworkScene::MoveOwnSeat(uint8_t from, uint8_t to)
{
    tag_TOLQBATTLESETTING* setting = m_match.setting;
    const std::string name = m_match.names[from];
    std::swap(setting->players[from], setting->players[to]);
    SetSeatName(to, name.empty() ? nullptr : name.c_str());
    SetSeatName(from, nullptr);
    setting->players[from].slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
    setting->players[to].team = static_cast<uint8_t>(to & 3);
    if (m_setup)
        m_setup->FollowOwnSeat(from, to);
}

void CNetworkScene::HandleGuestMessage(CNetClient* peer, const uint8_t* payload, int32_t id, uint32_t length)
{
    bool taken = false;
    switch (id)
    {
    case NETMSG_SCENE_STATE:
        // Done by the main thread, as far as the state this side is in
        // allows (FollowHostState).
        taken = length == kNetSceneStateSize && ReadNetU32(payload) <= static_cast<uint32_t>(NetSceneState::Battle);
        if (taken)
            m_posted.hostState = static_cast<int32_t>(ReadNetU32(payload));
        break;
    case NETMSG_POSITIONS: taken = OnPositions(payload, length); break;
    case NETMSG_CURSOR:
    case NETMSG_RULES: taken = OnSetupMessage(id, payload, length); break;
    case NETMSG_SUMMARY:
    case NETMSG_ENTRY: taken = OnSeat(id, -1, payload, length); break;
    case NETMSG_SEED: taken = OnSeed(payload, length); break;
    case NETMSG_RESULT:
        taken = length == kNetResultSize && payload[0] != RESULT_NONE && payload[0] != RESULT_RESUME &&
                GetState() != NetSceneState::Lobby && GetState() != NetSceneState::Room;
        if (taken)
            m_posted.result = static_cast<int8_t>(payload[0]);
        break;
    case NETMSG_KEEPALIVE:
        taken = length == 0;
        if (taken)
            OnKeepAlive();
        break;
    default: break;
    }
    if (!taken)
        Drop(peer, id, "not a message a host sends, or not as the host sends it");
}

// A seed that comes during a battle is the next setup's (the host sends it
// with its choice of the setup): the battle took its own when it was built.
bool CNetworkScene::OnSeed(const uint8_t* payload, uint32_t length)
{
    NetSeed seed;
    if (!ReadNetSeed(payload, length, &seed))
        return false;
    m_match.setting->seed = seed.seed;
    m_match.framesPerBatch = CNetLockstep::ClampFramesPerBatch(seed.framesPerBatch);
    m_match.sendByte = seed.sendByte;
    return true;
}

// The receive thread of the host's connection sleeps v + 18 ms, as the
// host asks, but never with the scene lock held (the main thread goes on)
// and for at most half of each second: a host can slow its own frames
// down, not hold this side. The pause ends early when the connection does.
bool CNetworkScene::OnPause(CNetClient* peer, const uint8_t* payload, uint32_t length, SceneLock& lock)
{
    if (length != kNetPauseSize)
        return false;
    const uint32_t start = Now();
    if (start - m_pauseWindowStart >= kPauseWindowMilliseconds)
    {
        m_pauseWindowStart = start;
        m_pausedInWindow = 0;
    }
    const uint32_t asked = payload[0] + kNetPauseBase;
    if (m_pausedInWindow + asked > kPauseBudgetMilliseconds)
        return false;
    m_pausedInWindow += asked;
    lock.unlock();
    while (Now() - start < asked && peer->HasLiveConnection())
        Sleep(1);
    lock.lock();
    return true;
}

// Every fighter's position or none: a value that is no number, or lies
// beyond any stage, refuses the message.
bool CNetworkScene::OnPositions(const uint8_t* payload, uint32_t length)
{
    if (length != kNetPositionsSize || !m_battle)
        return false;
    const uint32_t players = std::min<uint32_t>(m_match.setting->playerCount, tag_TOLQNETMATCH::kSlots);
    CkvrVector3 positions[tag_TOLQNETMATCH::kSlots];
    CByteReader reader(payload, length);
    for (uint32_t i = 0; i < tag_TOLQNETMATCH::kSlots; ++i)
    {
        const float x = reader.F32();
        const float y = reader.F32();
        const float z = reader.F32();
        if (i >= players || m_battle->GetFighter(i) == nullptr)
            continue;
        for (float value : {x, y, z})
        {
            if (!std::isfinite(value) || std::fabs(value) > kFarthestPosition)
                return false;
        }
        positions[i] = CkvrVector3(x, y, z);
    }
    for (uint32_t i = 0; i < players; ++i)
    {
        if (CCharacter* fighter = m_battle->GetFighter(i))
            fighter->SetPosition(&positions[i]);
    }
    return true;
}

void CNetworkScene::OnKeepAlive()
{
    const uint8_t slot = m_match.setting->ownSlot;
    if (Session() != nullptr)
        Session()->SendToAll(NETMSG_KEEPALIVE_ANSWER, kNetMatchSub, &slot, kNetAnswerSize, kNetKindTcp);
}

// The host's frames into the ring. A full ring makes the receive thread
// wait (without the locks, so that the main thread steps and makes room),
// while the battle lasts and at most as long as a frame wait.
void CNetworkScene::OnFrames(CNetClient* peer, const uint8_t* payload, uint32_t length, SceneLock& lock)
{
    const uint32_t count = length / CNetLockstep::kFrameSize;
    if (length % CNetLockstep::kFrameSize != 0 || count == 0 || count > CNetLockstep::kBatchFrames ||
        GetState() != NetSceneState::Battle)
    {
        Drop(peer, NETMSG_FRAMES, "frames of a wrong length, or outside a battle");
        return;
    }
    const uint32_t start = Now();
    for (;;)
    {
        {
            std::lock_guard<std::mutex> frames(m_match.frameLock);
            if (m_match.lockstep.PushFrames(payload, count))
                return;
        }
        if (!BattleExists() || Now() - start >= m_options.frameWaitMs)
        {
            Drop(peer, NETMSG_FRAMES, "the frame ring stayed full");
            return;
        }
        lock.unlock();
        Sleep(1);
        lock.lock();
    }
}

// ---------------------------------------------------------------- senders

void CNetworkScene::SendToAll(int16_t id, const void* payload, uint32_t length)
{
    if (Session() != nullptr)
        Session()->SendToAll(id, kNetMatchSub, payload, length, kNetKindTcp);
}

void CNetworkScene::SendSeatSummary(uint32_t slot)
{
    const std::vector<uint8_t> bytes = SetupMessages::EncodeSummary(
        SetupMessages::SummaryOf(m_match.setting->players[slot], static_cast<uint8_t>(slot)));
    SendToAll(NETMSG_SUMMARY, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void CNetworkScene::SendSeatEntry(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot)
{
    const std::vector<uint8_t> bytes = SetupMessages::EncodeEntry(entry, slot);
    if (bytes.empty())
    {
        LogFailure("network: seat not sent", "its texts do not fit one message");
        return;
    }
    SendToAll(NETMSG_ENTRY, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void CNetworkScene::SendSeed()
{
    NetSeed seed;
    seed.seed = m_match.setting->seed;
    seed.framesPerBatch = m_match.framesPerBatch;
    seed.sendByte = m_match.sendByte;
    uint8_t bytes[kNetSeedSize];
    WriteNetSeed(seed, bytes);
    SendToAll(NETMSG_SEED, bytes, sizeof(bytes));
}
