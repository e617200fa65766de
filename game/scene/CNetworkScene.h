#pragma once

// The network scene, scene 3 (the title's ring item 2): the online lobby,
// then the battle setup with the room's players, then one battle in
// lockstep with them, and back.
//
// States (the scene state, sent to guests as message 1):
// - Lobby: the lobby client's screens and keys, until the lobby reports a
//   room battle or a random match being set up (then Room), or that the
//   player left it (then the title, with this item in front).
// - Room: the battle setup as a child, under the scene lock, with the room
//   keep-alive on the host; its start page leads to Start, its leave page
//   back to the lobby.
// - Start: every side builds the same battle from the setting; guests report
//   ready, and once all have, the host moves everybody to Battle.
// - Battle: every update samples the own pad, exchanges inputs and frames
//   with the other sides (the host's synchronisation thread sends the
//   batches) and steps the battle by at most one frame from the frame ring;
//   at its end the chosen menu item (or the host's, message 10) leads to a
//   retry, the setup, the lobby or the title. A guest that sends nothing
//   for a while leaves the battle as one that went would (the others play
//   on); a guest that gets no frames, or loses its host, leaves the room
//   and finds the lobby's lost-connection notice; the host never leaves
//   its own battle for want of frames.
//
// Threads: the main thread runs updates and renders; the session's receive
// threads run the message handlers and the disconnect callback; its accept
// thread seats guests; the host's synchronisation thread sends batches.
// Locks, outermost first: a peer connection's channel lock, the scene lock,
// the frame lock, the lobby client's locks, the session's peer-list lock.
// Handlers only change data under those locks: whatever deletes an object
// (the battle, the setup's previews) or changes the scene is posted and
// done by the main thread at the start of its next update. No thread is
// waited for while a lock is held that it takes.
//
// Sections: CNetworkScene.cpp (life cycle, states, lobby, setup, keep-alive),
// NetworkSceneMessages.cpp (seats, messages and who may send them),
// NetworkSceneBattle.cpp (the battle, the lockstep, the synchronisation
// thread, the end-of-battle choices).

#include "engine/core/CScene.h"
#include "game/scene/INetBattleSetup.h"
#include "game/scene/tag_TOLQNETMATCH.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CBattleScene;
class CGameConfig;
class CInput;
class CLobbyClient;
class CNetClient;
class CNetSession;
class CSoundBuffer;
struct tag_TOLQBATTLEPLAYER;
enum LobbyState : int32_t;

class CNetworkScene : public CScene
{
public:
    // The scene state; its numbers travel in message 1.
    enum class NetSceneState : uint32_t
    {
        Lobby = 0,
        Room = 1,
        Start = 2,
        Battle = 3,
    };
    // End-of-battle choices, as the HUD's menu items carry them.
    enum ResultCode : int8_t
    {
        RESULT_NONE = 0,
        RESULT_RETRY = 1,
        RESULT_TITLE = 2,
        RESULT_LOBBY_AS_HOST = 3,
        RESULT_LEAVE_ROOM = 4,
        RESULT_MODE_PAGE = 5,
        RESULT_CHARACTER_PAGE = 6,
        RESULT_RESUME = 8,
    };
    static constexpr uint32_t kSceneId = 3;
    static constexpr uint32_t kTitleMenu = 3;
    static constexpr uint32_t kTitlePicture = 2;
    static constexpr uint32_t kNetworkItem = 2;
    static constexpr uint32_t kLobbyFrameTime = 17;
    static constexpr uint32_t kKeepAliveMilliseconds = 3000;
    static constexpr uint32_t kFrameWaitMilliseconds = 4000;
    // How long the host waits for a guest's records before that guest
    // leaves the battle: well inside the other guests' frame wait, so that
    // they get frames again before they give up.
    static constexpr uint32_t kGuestStallMilliseconds = 2000;
    // Pauses the host orders (message 11) take at most this much of each
    // second of the connection they arrive on; the rest are not taken.
    static constexpr uint32_t kPauseBudgetMilliseconds = 500;
    static constexpr uint32_t kPauseWindowMilliseconds = 1000;
    // Positions the host sets (messages 12, 13) beyond this distance from
    // the origin are no position a stage has: the message is not taken.
    static constexpr float kFarthestPosition = 100000.0f;
    // How long a side polls for a frame within one update before it draws
    // the last frame again and keeps the window's events flowing.
    static constexpr uint32_t kWaitSliceMilliseconds = 8;
    static constexpr uint32_t kReadyWaitMilliseconds = 15000;
    // How long a random match's host waits for its guests to come in, and a
    // guest for the seat its host gives it: a connection's own time-out on
    // a slow line, and a margin.
    static constexpr uint32_t kMatchJoinMilliseconds = 15000;
    static constexpr const char* kGameId = "QORBeta";
    static constexpr const char* kGameAbbreviation = "QOR";
    static constexpr const char* kLobbyTexture = "Network_01.dds";
    static constexpr const char* kMusic = "Bgm_option.ogg";
    static constexpr float kMusicLoop = 7.058f;
    static constexpr int32_t kMusicFade = 200;

    // What the program or a test sets before Init; unset fields come from
    // the game's settings and the environment (KVR_LOBBY_HOST,
    // KVR_LOBBY_PORT, KVR_LOCAL_ADDRESS).
    struct Options
    {
        std::string lobbyHost;
        uint16_t lobbyPort = 0;
        std::string localAddress;
        int32_t ownPort = -1;
        int32_t portMapping = -1;
        std::string loginId;
        uint32_t framesPerBatch = 0;
        int32_t sendByte = -1;
        uint32_t connectTimeoutMs = 0;
        // The pad sampled for the battle and the lobby keys (null: the game
        // application's input object).
        CInput* input = nullptr;
        // The millisecond clock and sleep of the waits (null: the
        // platform's).
        uint32_t (*clock)() = nullptr;
        void (*sleep)(uint32_t milliseconds) = nullptr;
        // The frame time the host sends with each frame (0: the frame
        // timer's measured time).
        uint32_t fixedFrameTime = 0;
        uint32_t readyWaitMs = kReadyWaitMilliseconds;
        uint32_t frameWaitMs = kFrameWaitMilliseconds;
        uint32_t guestStallMs = kGuestStallMilliseconds;
        uint32_t matchJoinMs = kMatchJoinMilliseconds;
        // The settings and records the battles count into (null: the game
        // application's).
        CGameConfig* config = nullptr;
    };

    // The setup every network scene runs as its child.
    static void SetSetupFactory(NetBattleSetupFactory factory);

    CNetworkScene();
    ~CNetworkScene() override;
    const char* GetClassName() const override { return "CNetworkScene"; }

    void SetOptions(const Options& options) { m_options = options; }
    // 1, or 0 when the lobby client can't start.
    int Init(uintptr_t parameter) override;
    int Update(uintptr_t argument) override;
    int Render(uintptr_t argument) override;
    uint32_t Release() override;

    // For tests and the program's harness. The match block is read under
    // its locks.
    NetSceneState GetState() const { return static_cast<NetSceneState>(m_match.sceneState.load()); }
    CLobbyClient* GetLobby() const { return m_lobby.get(); }
    CBattleScene* GetBattle() const { return m_battle.get(); }
    INetBattleSetup* GetSetup() const { return m_setup.get(); }
    tag_TOLQNETMATCH& GetMatch() { return m_match; }
    // Battle frames stepped since the battle began.
    uint32_t GetSteppedFrames() const { return m_steppedFrames; }
    // The scene change asked for (the title's sub-state), or -1.
    int32_t GetRequestedTitleState() const { return m_requestedTitleState; }
    // Messages dropped for their sender or their contents.
    uint32_t GetDroppedMessages() const { return m_droppedMessages.load(); }

    // Session callbacks (on the session's threads).
    static uint32_t OnPeerConnected(void* argument, CNetClient* peer);
    static uint32_t OnPeerMessage(void* argument, CNetClient* peer, const uint8_t* payload, int32_t id,
                                  uint32_t length);
    static uint32_t OnPeerDisconnected(void* argument, CNetClient* peer);

private:
    // What receive threads leave for the main thread.
    struct Posted
    {
        bool hostLost = false;
        int8_t result = RESULT_NONE;
        // The scene state the host sent (message 1), or -1.
        int32_t hostState = -1;
        // A random match's guest left before the battle: the match can't
        // be completed.
        bool matchBroken = false;
    };
    using SceneLock = std::unique_lock<std::recursive_mutex>;

    // CNetworkScene.cpp
    bool StartLobby();
    void EnterState(NetSceneState next);
    uint32_t Now() const;
    void Sleep(uint32_t milliseconds) const;
    CInput* Input() const;
    CGameConfig* Config() const;
    CNetSession* Session() const;
    // True when it changed something (the frame then does nothing more).
    bool ApplyPosted();
    // A guest goes where its host's message 1 says; true when it moved.
    bool FollowHostState(NetSceneState next);
    void UpdateLobby();
    int32_t ReadLobbyKeys();
    void EnterSetup(bool randomMatch);
    void StartSetup(uint32_t page);
    void UpdateRoom();
    void RoomKeepAlive(uint32_t milliseconds);
    void ResetSeatsForNewRoom();
    void ResetSeatsForRandomMatch();
    void WatchMatch();
    bool MatchSeated(LobbyState state);
    // A random match that can't go on: out of it, with the lobby's notice.
    void AbandonMatch();
    void LeaveChosenMatch();
    void ForgetMatch();
    void ForgetRoom();
    void LeaveToTitle(uint32_t subState, uint32_t item);
    void PlayMusic();

    // NetworkSceneMessages.cpp
    uint32_t HandlePeerConnected(CNetClient* peer);
    void HandlePeerDisconnected(CNetClient* peer);
    void HandleMessage(CNetClient* peer, const uint8_t* payload, int32_t id, uint32_t length);
    void HandleHostMessage(CNetClient* peer, int32_t senderSlot, const uint8_t* payload, int32_t id,
                           uint32_t length);
    void HandleGuestMessage(CNetClient* peer, const uint8_t* payload, int32_t id, uint32_t length);
    void OnSlotGiven(CNetClient* host, uint8_t slot);
    void MoveOwnSeat(uint8_t from, uint8_t to);
    // Each false when the message is refused (its length, its slot, or
    // its moment); the caller drops it. senderSlot: the guest's seat on
    // the host, -1 on a guest (the host sent it).
    bool OnSeed(const uint8_t* payload, uint32_t length);
    bool OnSetupMessage(int32_t id, const uint8_t* payload, uint32_t length);
    bool OnSeat(int32_t id, int32_t senderSlot, const uint8_t* payload, uint32_t length);
    bool OnGuestRecords(int32_t senderSlot, const uint8_t* payload, uint32_t length);
    void OnFrames(CNetClient* peer, const uint8_t* payload, uint32_t length, SceneLock& lock);
    // The host's pause (message 11): this connection's thread waits,
    // without the scene lock, within the pause budget. False when refused.
    bool OnPause(CNetClient* peer, const uint8_t* payload, uint32_t length, SceneLock& lock);
    // The host's fighter positions (message 12, and the head of 13): all
    // of them or none. False when refused.
    bool OnPositions(const uint8_t* payload, uint32_t length);
    void OnKeepAlive();
    int32_t SlotOfPeer(const CNetClient* peer) const;
    bool IsHostPeer(const CNetClient* peer) const;
    void Drop(const CNetClient* peer, int32_t id, const char* why);
    // A seat closes: no name, seat state closed, not confirmed, no peer.
    void CloseSeat(uint32_t slot);
    void SetSeatName(uint32_t slot, const char* name);
    // The name the setup gave a seat becomes the room's own.
    void KeepSeatName(uint32_t slot);
    void UpdateSeatedMask();
    bool BattleExists() const { return m_battle != nullptr; }
    void SendSeatSummary(uint32_t slot);
    void SendSeatEntry(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot);
    void SendSeed();
    void SendToAll(int16_t id, const void* payload, uint32_t length);

    // NetworkSceneBattle.cpp
    int StartBattle();
    bool BuildBattle();
    void WaitForReady(SceneLock& lock);
    void EnterBattle();
    void SetBattleMenus();
    void UpdateBattle();
    // Samples the own pad and waits a slice for a frame; false once the
    // whole wait ran out.
    bool PumpLockstep(SceneLock& lock);
    void StepBattleFrame();
    void CloseDepartedSeat(uint32_t slot);
    // Host, during a battle: the guest of a seat leaves it at the next
    // batch's first frame on every side, and everybody hears of it.
    void MarkDeparted(uint32_t slot);
    // Host: guests whose records the waited-for batch lacks leave the
    // battle, and their connections are cut.
    void DropSilentGuests();
    // The room's owner (a random match's host included).
    bool OwnsRoom();
    void FinishBattle(int8_t code, bool own);
    void ActOnResult(int8_t code);
    void ReturnToSetup(uint32_t page);
    void LeaveRoom();
    // Leaves the room after the host fell silent, with the lobby's notice.
    void LeaveLostRoom(const char* why);
    void ReturnToLobbyAsHost();
    void OnHostLost();
    void DeleteBattle();
    void StartSyncThread();
    void StopSyncThread();
    void SyncThread();
    void SendState(NetSceneState state);
    void SendReady();

    Options m_options;
    tag_TOLQNETMATCH m_match;
    std::unique_ptr<INetBattleSetup> m_setup;
    // The setup was started as the host's (it passes seats on itself).
    bool m_setupAsHost = false;
    std::unique_ptr<CBattleScene> m_battle;
    std::unique_ptr<CLobbyClient> m_lobby;
    CSoundBuffer* m_music = nullptr;
    Posted m_posted;

    // Main thread only.
    uint32_t m_lastUpdate = 0;
    uint32_t m_frameMilliseconds = 0;
    bool m_waitingForFrame = false;
    uint32_t m_waitStart = 0;
    uint32_t m_readyWaitStart = 0;
    // How long a random match has waited for its players to come in.
    uint32_t m_matchWaitMs = 0;
    bool m_readySent = false;
    uint32_t m_steppedFrames = 0;
    int32_t m_requestedTitleState = -1;
    // The player chose to leave the random match whose setup fades out
    // (scene lock).
    bool m_matchLeft = false;
    // The host's pauses taken in the current window (scene lock).
    uint32_t m_pauseWindowStart = 0;
    uint32_t m_pausedInWindow = 0;
    bool m_released = false;

    // Senders whose dropped messages were logged (scene lock).
    std::set<std::string> m_loggedPeers;
    std::atomic<uint32_t> m_droppedMessages{0};
};
