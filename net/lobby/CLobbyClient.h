#pragma once

#include "net/CLobbyStream.h"
#include "net/CNetSendQueue.h"
#include "net/CNetSession.h"
#include "net/CNetworkTest.h"
#include "net/LobbyProtocol.h"
#include "net/NetSocket.h"
#include "net/lobby/CLobbyRoom.h"
#include "net/lobby/CLobbyUser.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class CFontTexture;
class CGraphics;
class CImeInput;
class CSystem;
class CTexture;
class CUpnpClient;
struct LobbyEditorBox;

// Key bits of OnInput.
enum : int32_t
{
    LOBBY_KEY_LEFT = 1,
    LOBBY_KEY_RIGHT = 2,
    LOBBY_KEY_UP = 4,
    LOBBY_KEY_DOWN = 8,
    LOBBY_KEY_DECIDE = 16,
    LOBBY_KEY_CANCEL = 32,
    LOBBY_KEY_ENTER = 64,
};

// The lobby's states, the one list every reader of the lobby uses (the
// client, its screens, the network scene and the battle setup). Their
// numbers are fixed: a room's owner sends its guests some of them (1022).
enum LobbyState : int32_t
{
    // No lobby: before Initialize and after Release.
    LOBBY_NONE = -1,
    LOBBY_START = 0,
    LOBBY_BETA_NOTICE = 1,
    LOBBY_CONNECT = 2,
    LOBBY_CONNECTING = 3,
    LOBBY_SERVICE_CLOSED = 4,
    LOBBY_WRONG_VERSION = 5,
    LOBBY_PORT_MAPPING_FAILED = 6,
    LOBBY_LOGIN = 7,
    LOBBY_LOGIN_SENT = 8,
    LOBBY_LOGIN_REFUSED = 9,
    LOBBY_LOGGED_IN = 10,
    LOBBY_IN_LOBBY = 11,
    LOBBY_USER_INFO = 12,
    LOBBY_USER_INFO_ASKED = 13,
    LOBBY_USER_INFO_FAILED = 14,
    LOBBY_NEW_ROOM_EDITOR = 15,
    LOBBY_ROOM_ASKED = 16,
    LOBBY_ROOM_NOT_MADE = 17,
    LOBBY_ROOM_NAME_MISSING = 18,
    LOBBY_ROOM_MADE = 19,
    LOBBY_ROOM_INFO = 20,
    LOBBY_ROOM_INFO_ASKED = 21,
    LOBBY_ROOM_INFO_FAILED = 22,
    LOBBY_LINE_TEST_ASKED = 23,
    LOBBY_LINE_TEST_RESULT = 24,
    LOBBY_ENTERING = 25,
    LOBBY_NOT_ENTERED = 26,
    LOBBY_ENTERED = 27,
    LOBBY_ROOM_KEY_EDITOR = 28,
    LOBBY_ROOM_KEY_SENT = 29,
    LOBBY_WRONG_ROOM_KEY = 30,
    LOBBY_MATCH_EDITOR = 31,
    // A random match that could not be made or played (this side could not
    // listen as its host, or the other side went before the battle).
    LOBBY_MATCH_FAILED = 33,
    LOBBY_QUIT_QUESTION = 34,
    // The network scene leaves the lobby here when a battle or its setup
    // ended because the room's connection was lost (the host stalled or
    // went, or this side stalled): the lost-connection notice over the
    // lobby, until any key.
    LOBBY_ROOM_LOST = 35,
    LOBBY_ROOM = 36,
    LOBBY_MEMBER_INFO = 37,
    LOBBY_MEMBER_INFO_ASKED = 38,
    LOBBY_MEMBER_INFO_FAILED = 39,
    LOBBY_REMOVE_QUESTION = 40,
    LOBBY_REMOVE_SENT = 41,
    LOBBY_REMOVED = 43,
    LOBBY_ROOM_DATA_ASKED = 44,
    LOBBY_ROOM_DATA_FAILED = 45,
    // The owner edits the room's settings, a guest views them.
    LOBBY_ROOM_SETTINGS = 46,
    LOBBY_SETTINGS_NAME_MISSING = 47,
    LOBBY_SETTINGS_SENT = 48,
    LOBBY_SETTINGS_REFUSED = 49,
    LOBBY_START_QUESTION = 50,
    LOBBY_TOO_FEW_MEMBERS = 53,
    LOBBY_BATTLE_STARTING = 54,
    LOBBY_LEAVE_QUESTION = 55,
    LOBBY_LEAVING_ROOM = 56,
    LOBBY_MATCH_ASKED = 58,
    LOBBY_MATCH_REFUSED = 59,
    LOBBY_MATCH_ACCEPTED = 62,
    // The room's battle setup begins (the network scene takes over).
    LOBBY_ROOM_BATTLE = 63,
    // The random match's setup begins while the server seeks the match
    // (the network scene takes over; the setup polls).
    LOBBY_MATCH_SOUGHT = 64,
    // The match is made with this side as its host, listening for the
    // others; the setup starts the battle once they are all in.
    LOBBY_MATCH_HOST = 65,
    // The match is made with another side as its host, which this side
    // connects to.
    LOBBY_MATCH_GUEST = 66,
    LOBBY_CONNECTION_LOST = 68,
    LOBBY_LEAVING = 69,
    // Out of the lobby: the network scene goes back to the title.
    LOBBY_FINISHED = 70,
};

constexpr int32_t kLobbyChatLines = 60;
constexpr int32_t kLobbyListRows = 23;
// More users or rooms than a real lobby ever lists: a server that sends
// more is misbehaving, and the connection to it ends.
constexpr size_t kLobbyMaxUsers = 4096;
constexpr size_t kLobbyMaxRooms = 1024;

// What the lobby keeps between frames and threads. The state pair is
// guarded by the state lock; everything else by the protocol lock.
struct tag_KVRLOBBYSTATE
{
    char loginId[36] = {};
    LobbyState previousState = LOBBY_START;
    LobbyState state = LOBBY_START;
    int32_t lastKeys = 0;
    float blinkTimer = 0.0f;
    uint32_t selectedId = 0;
    float fade[3] = {};
    int32_t pane = 0;
    // The lobby's room list scroll and user list scroll in words 0 and 2;
    // in a room, the member cursor and the member scroll in words 1 and 2.
    int32_t scroll[3] = {};
    int32_t roomCursor = 0;
    int32_t userCursor = 0;
    int32_t choice = 0;
    int32_t row = 0;
    uint8_t sessionKey = kLobbyInitialSessionKey;
    uint8_t matchedPlayers = 0;
    std::string lobbyHost;
    uint16_t lobbyPort = 0;
    uint16_t ownPort = 0;
    uint32_t portMapping = 0;
    // Each chat log with its view: the message its box ends on, which
    // follows the newest until the player scrolls back.
    int32_t lobbyChatCount = 0;
    int32_t lobbyChatView = 0;
    tag_KVRLOBBYCHATLINE lobbyChat[kLobbyChatLines];
    int32_t roomChatCount = 0;
    int32_t roomChatView = 0;
    tag_KVRLOBBYCHATLINE roomChat[kLobbyChatLines];
    tag_KVRNETWORKTESTRESULT lineTest;
};

// The online lobby: the connection to the lobby server, the login, the
// lists of users and rooms, the chats, making and entering rooms, the line
// test to a room's host, the random match and the room's peer session. A
// numbered state machine that the network scene drives once per frame.
//
// Threads: the caller's (Update, OnInput, Render and the senders), the
// connect thread, the receive thread (every server handler), the line-test
// worker, the match guest's connect thread and the session's threads.
// Locks, outermost first: a peer connection's channel lock, the protocol
// lock, the state lock.
//
// The caller's thread never waits for the network, so the lobby can run on
// the game's main thread and be called under the caller's own locks:
// - Sending never blocks, neither the caller nor a thread holding the
//   protocol lock: the lobby connection and every room peer connection
//   have a bounded outgoing queue written by a thread of their own (see
//   CNetSendQueue); a connection whose queue overflows, or whose oldest
//   unsent byte waits longer than its deadline, is cut alone (the lobby
//   connection: SetConnectTimeout; the room's: the session's send timeout).
// - No thread is joined under the protocol lock: stopping to listen and
//   dropping the room's peers only ask the session's threads to end, and
//   the session's Poll (run by Update once the lock is given up) collects
//   them. Connecting to a room's host waits for the network, so it runs on
//   the receive thread, after that thread has given the lock up; a random
//   match's guest connects on a thread of its own, once the caller's setup
//   is open (OpenMatchSetup).
// - The caller's frame takes the protocol lock ahead of the lobby's and the
//   session's threads (see Lock), so a flood handled message by message
//   keeps a frame waiting for one message's handling at most.
// - The line test runs on a worker thread within an overall time limit;
//   cancel leaves it at once (LOBBY_LINE_TEST_ASKED).
// - A room's owner drops a connection that says nothing within the
//   session's admission time, and gives squatters' slots to newcomers; a
//   guest greets its host as soon as it is connected.
// - The lists hold at most kLobbyMaxUsers users and kLobbyMaxRooms rooms,
//   found by id without a search.
// - Release never waits more than about a second for the network: it ends
//   the connect step (port mapping, connecting), the line test and every
//   connection at once, and gives the router a bounded time to delete the
//   port mappings. A room's owner first closes its room, and waits up to a
//   second more for its guests and the server to take the word.
// Callbacks registered with SetPeerCallbacks run on the session's threads
// and may take the caller's own locks: Update and OnInput wait for none of
// those threads, but Release does, so call Release with none of those
// locks held.
class CLobbyClient
{
public:
    CLobbyClient();
    ~CLobbyClient();
    CLobbyClient(const CLobbyClient&) = delete;
    CLobbyClient& operator=(const CLobbyClient&) = delete;

    // Everything borrowed may be null (no drawing then).
    bool Initialize(CSystem* system, const char* gameId, const char* name2, CGraphics* graphics,
                    CTexture* lobbyTexture, CFontTexture* font);
    void Release();

    // Set-up before connecting (the network scene's part). A null host
    // takes the built-in lobby host.
    void SetLobbyHost(const char* host, uint16_t port);
    void SetLoginId(const char* loginId);
    void SetOwnPort(uint16_t port);
    void SetPortMapping(uint32_t on);
    // The address every socket binds to and the login announces; the first
    // address of the host's own name when not set.
    bool SetLocalAddress(const char* dotted);
    // How long connecting to the lobby may take, and how long a frame may
    // wait to go out to it before the connection is given up.
    void SetConnectTimeout(uint32_t milliseconds) { m_connectTimeoutMs = milliseconds; }
    void SetLineTestPause(uint32_t milliseconds) { m_lineTestPauseMs = milliseconds; }
    // How long one whole line test may take (60 s).
    void SetLineTestTimeout(uint32_t milliseconds) { m_lineTestTimeoutMs = milliseconds; }
    void SetUpnpTarget(const char* dotted, uint16_t port, uint32_t discoverMs);
    void SetPeerCallbacks(NetPeerCallback connected, void* connectedArgument, NetMessageHandler message,
                          void* messageArgument, NetPeerCallback disconnected, void* disconnectedArgument);

    bool Update();
    bool Update(float elapsedSeconds);
    bool OnInput(int32_t keys);
    bool Render();

    LobbyState GetState() const;
    LobbyState GetPreviousState() const;
    // False when the state can't change: once the lobby connection is lost
    // only leaving follows, whoever asks.
    bool SetState(LobbyState state);
    bool SetRoomState(LobbyState state);
    // The caller's setup for a random match is open (LOBBY_MATCH_SOUGHT or
    // LOBBY_MATCH_GUEST): the match's host answer, whenever it came, is
    // acted on from now on, and a guest connects to its host on a thread of
    // its own. Before, the answer is kept: the host's first words (the
    // seat) must find the setup there.
    void OpenMatchSetup();
    // The player leaves its random match, whatever it had reached (asked,
    // sought, hosting, a guest): the server hears of it at once and once
    // (the match's host closes it, anybody else withdraws), the match's
    // peers hear the lobby state, and nothing the server still sends for
    // the match is acted on. Nothing outside a match.
    void LeaveMatch();
    // Out of the room's or the match's peer session: every connection is
    // dropped, listening stops, and the host, a match's kept answer and its
    // open setup are forgotten, so that nothing of this room or match moves
    // the next one. The server hears nothing (the caller tells it).
    void DropRoomPeers();
    // Connects to a room's or a match's host as its guest; waits for the
    // network, so never on the caller's frame. The host is this side's
    // from the start (its first words, the seat, may come before the
    // connection is reported), until the room or match is left. False when
    // it can't be reached; then it is nobody's host.
    bool ConnectAsGuest(uint32_t address, uint16_t port);
    // Whether the peer is at the address and port of the host this side
    // connects to or is connected to as a guest. A connection that came in
    // from there is a guest's all the same: callers tell the two apart. Any
    // thread.
    bool IsHostPeer(const CNetClient* peer) const;
    // Whether the match's connect thread runs: what the client started
    // itself, as the tests see it.
    bool IsConnectingToMatchHost() const;

    bool SendMessage(int16_t id);
    bool SendMessageData(int16_t id, const void* payload, uint32_t length);
    bool SendRoomStatus(uint32_t status);
    bool SendBattleResult(uint32_t result);
    bool SendMatchingPoll();
    bool SendRoomChat();
    // A relayed 1021 line; false outside a room (below LOBBY_ROOM) or when
    // shorter than a line.
    bool OnChatMessage(const uint8_t* payload, uint32_t length);

    // The receive side, exposed for the tests and fuzzers: bytes from the
    // server into the stream, and every complete message dispatched. False
    // when the stream is broken or the server broke a limit (the
    // connection then ends).
    bool Reassemble(const uint8_t* bytes, size_t count);
    bool DispatchQueued();
    bool DispatchMessage(uint8_t* payload, uint16_t sub, int16_t id, uint32_t length);

    // The protocol lock, as the caller's frame takes it: ahead of the
    // lobby's and the session's threads, which give way while a frame
    // waits, so that a flood handled message by message can't keep the
    // frame out.
    std::unique_lock<std::recursive_mutex> Lock();
    // The following are read under Lock().
    tag_KVRLOBBYSTATE& GetStateBlock() { return *m_state; }
    CLobbyUser* GetOwnUser() { return m_ownUser.get(); }
    CLobbyRoom* GetCurrentRoom() { return m_currentRoom.get(); }
    CLobbyRoom* GetRoomRecord() { return m_matchRecord.get(); }
    CLobbyRoom* GetRoomTemplate() { return m_roomTemplate.get(); }
    CLobbyUser* FindUser(uint32_t id) const;
    CLobbyRoom* FindRoom(uint32_t id) const;
    const std::vector<std::unique_ptr<CLobbyUser>>& GetUsers() const { return m_users; }
    const std::vector<std::unique_ptr<CLobbyRoom>>& GetRooms() const { return m_rooms; }
    CImeInput* GetEditor() { return m_editor.get(); }
    CNetSession* GetSession() { return m_session.get(); }
    bool IsOwner() const;
    bool CanJoin(const CLobbyRoom* room, const CLobbyUser* user) const;

    void RemoveUser(uint32_t id);
    void RemoveRoom(uint32_t id);
    // The newest room chat from (x, y) in pixels, each line at most width
    // layout units long.
    void DrawRoomChat(float x, float y, float width, float scale, uint32_t color, int32_t lineLimit);
    void DrawMatchingStatus(uint32_t timeMs, uint32_t color);

private:
    friend class CLobbyScreens;
    using Deferred = std::function<void()>;
    // Work for a thread to do once it has given the protocol lock up.
    struct DeferredAction
    {
        std::thread::id thread;
        Deferred run;
    };

    // The lobby server connection and its threads (LobbyClientConnection.cpp).
    void ConnectThread();
    void ReceiveThread();
    bool Connect(const char* host, uint16_t port);
    bool MapPorts(uint16_t port);
    void CloseConnection();
    static void SendFailed(void* argument);
    void JoinLineTest();
    // Ends whatever waits for the network on the connect, line-test and
    // session threads, so that Release can join them at once.
    void CancelNetworkWaits();
    void RunDeferred();
    void Defer(Deferred action);
    // The protocol lock for the lobby's and the session's threads, taken
    // once no frame waits for it.
    std::unique_lock<std::recursive_mutex> WorkerLock();

    // Each state's per-frame step (LobbyClientSteps.cpp).
    void Step(float seconds);
    void Fade(int index, float target, float seconds);
    void RoomStep(float seconds);
    void LeaveStep(float seconds);

    // Each state's input (LobbyClientInput.cpp).
    void OnInputLocked(int32_t keys);
    void InputLogin(int32_t keys);
    void InputLobby(int32_t keys);
    void InputRoomEditor(int32_t keys);
    void InputMatchEditor(int32_t keys);
    void InputRoomInfo(int32_t keys);
    void InputLineTest(int32_t keys);
    void InputKeyEditor(int32_t keys);
    void InputRoom(int32_t keys);
    void InputMemberInfo(int32_t keys);
    void AskYesNo(int32_t keys);
    void SelectRoom(CLobbyRoom* room);
    void CreateRoom();
    void ChangeRoomSettings();
    void StartRandomMatch();
    void EditorOn(int32_t lines, int32_t charsPerLine, float lineSpacing);
    // The editor on for a box of the screens: it takes what fits there.
    void EditorIn(const LobbyEditorBox& box);
    void EditorOff();
    // Left or right moves the focus through the panes, wrapping; the chat
    // pane has the editor on (two lines).
    void StepPane(int32_t keys, int32_t panes, int32_t chatPane, const LobbyEditorBox& chatInput);
    void TakeEditorText(char* field, size_t size);
    bool EditorEnter(bool sendAllowed, const std::function<void()>& send);

    // Lists and chat logs (CLobbyClient.cpp). A new list entry with its
    // id, or null when the list is full.
    CLobbyUser* AddUser(uint32_t id);
    CLobbyRoom* AddRoom(uint32_t id);
    void ClampCursors();
    // The random-match record's player count, as the status line shows it.
    uint8_t MatchedPlayers() const;
    // A line at the end of a log, whose oldest line goes once it is full: a
    // view on the newest message follows the new one, a view scrolled back
    // stays on its message.
    void AppendChat(tag_KVRLOBBYCHATLINE* log, int32_t& count, int32_t& view, const tag_KVRLOBBYCHATLINE& line);
    void ClearRoomChat();

    // Handlers of the server's messages (LobbyClientMessages.cpp).
    void OnHello(const uint8_t* payload, uint32_t length, uint16_t sub);
    void OnLogin(const uint8_t* payload, uint32_t length, uint16_t sub);
    // False when the list would outgrow its bound.
    bool OnRoomEntries(const uint8_t* payload, uint32_t length);
    bool OnUserEntries(const uint8_t* payload, uint32_t length);
    void OnRoomRemoved(const uint8_t* payload, uint32_t length);
    void OnRoomData(const uint8_t* payload, uint32_t length, uint16_t sub);
    void OnJoinRoom(const uint8_t* payload, uint32_t length, uint16_t sub);
    // 1002 refused: the room being made is not.
    void OnCreateRefused();
    void OnMembers(const uint8_t* payload, uint32_t length, uint16_t sub, int16_t id);
    void OnLogout(const uint8_t* payload, uint32_t length);
    void OnUserData(const uint8_t* payload, uint32_t length, uint16_t sub);
    void OnRandomMatch(uint16_t sub);
    void OnMatching(const uint8_t* payload, uint32_t length, uint16_t sub);
    void OnMatchHost(const uint8_t* payload, uint32_t length);
    void OnLobbyChat(const uint8_t* payload, uint32_t length);
    void OnLineTest(const uint8_t* payload, uint32_t length, uint16_t sub);

    // The room's peer session (LobbyClientRoomPeers.cpp).
    bool ListenAsOwner();
    void AnswerGreeting(CNetClient* peer, LobbyState greeting);
    void ConnectToHost(const tag_KVRLOBBYHOSTANSWER& answer);
    // A kept host answer with the setup open starts the match's connection
    // (protocol lock held).
    void StartMatchConnect();
    void MatchConnectThread();
    void ConnectToMatchHost(const tag_KVRLOBBYHOSTANSWER& answer);
    // A guest's first word to the host it connected to, which admits the
    // connection there.
    void GreetHost();
    // Message 1022 with the state to every room peer.
    void TellRoomState(LobbyState state);
    // Entering a room, in it, or starting its battle: a guest's room goes
    // on only while its host hears it.
    bool SitsInRoom() const;
    // Out of a room whose host no longer hears this side (protocol lock).
    void LeaveUnheardRoom();
    // Out of the room the server says is gone (protocol lock).
    void LeaveEndedRoom();
    // Out of the room's peers (protocol lock). A guest that leaves under
    // the notice keeps its host's connection, no longer as its host's, as
    // long as it lasts: the owner's word may still come on it.
    void LeaveRoomPeers(bool keepHost);
    // The host this side just left, whose connection it keeps (see
    // LeaveRoomPeers). Any thread.
    bool IsFormerHost(const CNetClient* peer) const;
    // Once the notice is gone, the former host's word has nothing to take
    // back: its connection is cut (protocol lock).
    void LetFormerHostGo();
    // A game that ends while its player owns a room closes the room first.
    void CloseOwnRoom();
    bool ConnectToPeer(uint32_t address, uint16_t port);
    // Where a guest's host listens: its address as the session names its
    // peers, and its port. Two hosts may share an address (two players
    // behind one router): only both tell them apart.
    struct HostAddress
    {
        std::string name;
        uint16_t port = 0;
        bool operator==(const HostAddress&) const = default;
    };
    static HostAddress HostOf(const tag_KVRLOBBYHOSTANSWER& answer);
    void SetHostPeer(const HostAddress& host);
    bool IsHost(const HostAddress& host) const;
    // Forgets the host when it is that one.
    void ForgetHostPeer(const HostAddress& host);
    // Forgets the host, a match's kept answer and its open setup (protocol
    // lock held).
    void ForgetHost();
    // A connection this side made that serves no host any more (the room or
    // match was left, or another answer came, while it was on its way) is
    // cut; its end is nobody's loss.
    void CutStaleConnection(const HostAddress& host, bool connected);
    // Messages come only from guests, from the host this side connects to
    // and from the host it just left: a connection this side made to
    // anybody else is stale.
    bool ServesRoom(const CNetClient* peer) const;
    static uint32_t PeerMessage(void* argument, CNetClient* peer, const uint8_t* payload, int32_t id,
                                uint32_t length);
    static uint32_t PeerConnected(void* argument, CNetClient* peer);
    static uint32_t PeerDisconnected(void* argument, CNetClient* peer);
    void OnRoomStateMessage(CNetClient* peer, const uint8_t* payload, uint32_t length);

    CSystem* m_system = nullptr;
    CGraphics* m_graphics = nullptr;
    CTexture* m_texture = nullptr;
    CFontTexture* m_font = nullptr;
    std::string m_gameId;
    std::unique_ptr<tag_KVRLOBBYSTATE> m_state;
    std::unique_ptr<CNetSession> m_session;
    std::unique_ptr<CUpnpClient> m_upnp;
    std::unique_ptr<CNetworkTest> m_lineTestService;
    std::unique_ptr<CImeInput> m_editor;
    std::vector<std::unique_ptr<CLobbyUser>> m_users;
    std::vector<std::unique_ptr<CLobbyRoom>> m_rooms;
    std::unordered_map<uint32_t, CLobbyUser*> m_userIndex;
    std::unordered_map<uint32_t, CLobbyRoom*> m_roomIndex;
    // The one user whose icon is kept (the latest asked about).
    uint32_t m_iconUser = 0;
    std::unique_ptr<CLobbyUser> m_ownUser;
    std::unique_ptr<CLobbyRoom> m_currentRoom;
    std::unique_ptr<CLobbyRoom> m_roomTemplate;
    std::unique_ptr<CLobbyRoom> m_matchRecord;
    CLobbyStream m_stream;

    mutable std::recursive_mutex m_protocolLock;
    // Frames waiting for the protocol lock, and where workers wait for them.
    std::atomic<int32_t> m_framesWaiting{0};
    std::mutex m_turnLock;
    std::condition_variable m_turn;
    mutable std::mutex m_stateLock;
    std::mutex m_deferredLock;
    std::vector<DeferredAction> m_deferred;
    // Guards the UPnP client's pointer while the connect thread makes it.
    std::mutex m_upnpLock;

    CNetSocket m_socket;
    CNetSendQueue m_sender;
    std::unique_ptr<CNetWakeEvent> m_wake;
    std::thread m_connectThread;
    std::thread m_receiveThread;
    std::thread m_lineTestThread;
    std::atomic<bool> m_lineTestDone{false};
    tag_KVRNETWORKTESTRESULT m_lineTestResult;
    std::atomic<bool> m_closing{false};

    bool m_hasLocalAddress = false;
    in_addr m_localAddress{};
    uint32_t m_connectTimeoutMs = 5000;
    uint32_t m_lineTestPauseMs = 16;
    uint32_t m_lineTestTimeoutMs = 60000;
    std::string m_upnpTarget;
    uint16_t m_upnpPort = 0;
    uint32_t m_upnpDiscoverMs = 0;
    // The room's or match's host a guest connects to or connected to (none
    // when its name is empty), guarded by its own lock, the innermost of
    // all: the session's threads read it for every message.
    HostAddress m_hostPeer;
    // The host of the room this side just left under the notice, while the
    // connection to it is kept (under the host lock too).
    HostAddress m_formerHost;
    mutable std::mutex m_hostLock;
    bool m_listening = false;
    // The connection to the host this side is a guest of ended (set on its
    // receive thread, taken by the next step).
    std::atomic<bool> m_hostConnectionEnded{false};
    // The room is being left because its host no longer hears this side,
    // or because it ended without its owner's word: the leave ends under
    // the lost-connection notice (protocol lock).
    bool m_roomLost = false;
    // A random match's host answer not yet acted on, whether the caller's
    // setup is open, and whether the match's connect thread still runs
    // (protocol lock). The thread takes every answer kept while it runs.
    std::optional<tag_KVRLOBBYHOSTANSWER> m_matchHostAnswer;
    bool m_matchSetupOpen = false;
    bool m_matchConnecting = false;
    std::thread m_matchConnectThread;

    NetPeerCallback m_peerConnected = nullptr;
    void* m_peerConnectedArgument = nullptr;
    NetMessageHandler m_peerMessage = nullptr;
    void* m_peerMessageArgument = nullptr;
    NetPeerCallback m_peerDisconnected = nullptr;
    void* m_peerDisconnectedArgument = nullptr;
};
