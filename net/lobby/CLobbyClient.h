#pragma once

#include "net/CLobbyStream.h"
#include "net/CNetSession.h"
#include "net/CNetworkTest.h"
#include "net/LobbyProtocol.h"
#include "net/NetSocket.h"
#include "net/lobby/CLobbyRoom.h"
#include "net/lobby/CLobbyUser.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CFontTexture;
class CGraphics;
class CImeInput;
class CSystem;
class CTexture;
class CUpnpClient;

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

constexpr int32_t kLobbyChatLines = 60;
constexpr int32_t kLobbyListRows = 23;

// What the lobby keeps between frames and threads. The state pair is
// guarded by the state lock; everything else by the protocol lock.
struct tag_KVRLOBBYSTATE
{
    char loginId[36] = {};
    int32_t previousState = 0;
    int32_t state = 0;
    int32_t lastKeys = 0;
    float blinkTimer = 0.0f;
    uint32_t selectedId = 0;
    float fade[3] = {};
    int32_t pane = 0;
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
    int32_t lobbyChatCount = 0;
    tag_KVRLOBBYCHATLINE lobbyChat[kLobbyChatLines];
    int32_t roomChatCount = 0;
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
// worker and the session's threads. Locks, outermost first: a peer
// connection's channel lock, the protocol lock, the send lock, the state
// lock. Work that waits for a session thread (connecting to a room host,
// closing the peers) runs after the protocol lock is given up.
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
    void SetConnectTimeout(uint32_t milliseconds) { m_connectTimeoutMs = milliseconds; }
    void SetLineTestPause(uint32_t milliseconds) { m_lineTestPauseMs = milliseconds; }
    void SetUpnpTarget(const char* dotted, uint16_t port, uint32_t discoverMs);
    void SetPeerCallbacks(NetPeerCallback connected, void* connectedArgument, NetMessageHandler message,
                          void* messageArgument, NetPeerCallback disconnected, void* disconnectedArgument);

    bool Update();
    bool Update(float elapsedSeconds);
    bool OnInput(int32_t keys);
    bool Render();

    int32_t GetState() const;
    int32_t GetPreviousState() const;
    bool SetState(int32_t state);
    bool SetRoomState(int32_t state);

    bool SendMessage(int16_t id);
    bool SendMessageData(int16_t id, const void* payload, uint32_t length);
    bool SendRoomStatus(uint32_t status);
    bool SendBattleResult(uint32_t result);
    bool SendMatchingPoll();
    bool SendRoomChat();
    // A relayed 1021 line; false below state 36 or when shorter than a line.
    bool OnChatMessage(const uint8_t* payload, uint32_t length);

    // The receive side, exposed for the tests and fuzzers: bytes from the
    // server into the stream, and every complete message dispatched.
    bool Reassemble(const uint8_t* bytes, size_t count);
    bool DispatchQueued();
    bool DispatchMessage(uint8_t* payload, uint16_t sub, int16_t id, uint32_t length);

    // The protocol lock, for a reader on another thread.
    std::unique_lock<std::recursive_mutex> Lock() { return std::unique_lock<std::recursive_mutex>(m_protocolLock); }
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
    void DrawRoomChat(float x, float y, float scale, uint32_t color, int32_t lineLimit);
    void DrawMatchingStatus(uint32_t timeMs, uint32_t color);

private:
    friend class CLobbyScreens;
    using Deferred = std::function<void()>;

    // The lobby server connection and its threads (LobbyClientConnection.cpp).
    void ConnectThread();
    void ReceiveThread();
    bool Connect(const char* host, uint16_t port);
    bool MapPorts(uint16_t port);
    void CloseConnection();
    void DropConnection();
    void JoinLineTest();
    void RunDeferred();
    void Defer(Deferred action);

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
    void InputKeyEditor(int32_t keys);
    void InputRoom(int32_t keys);
    void InputMemberInfo(int32_t keys);
    void AskYesNo(int32_t keys);
    void SelectRoom(CLobbyRoom* room);
    void CreateRoom();
    void ChangeRoomSettings();
    void StartRandomMatch();
    void EditorOn(int32_t lines, int32_t charsPerLine, float lineSpacing);
    void EditorOff();
    void TakeEditorText(char* field, size_t size);
    bool EditorEnter(bool sendAllowed, const std::function<void()>& send);

    // Lists and chat logs (CLobbyClient.cpp).
    void ClampCursors();
    void AppendChat(tag_KVRLOBBYCHATLINE* log, int32_t& count, int32_t& scroll, const tag_KVRLOBBYCHATLINE& line);
    void ClearRoomChat();

    // Handlers of the server's messages (LobbyClientMessages.cpp).
    void OnHello(const uint8_t* payload, uint32_t length, uint16_t sub);
    void OnLogin(const uint8_t* payload, uint32_t length, uint16_t sub);
    void OnRoomEntries(const uint8_t* payload, uint32_t length);
    void OnUserEntries(const uint8_t* payload, uint32_t length);
    void OnRoomRemoved(const uint8_t* payload, uint32_t length);
    void OnRoomData(const uint8_t* payload, uint32_t length, uint16_t sub);
    void OnJoinRoom(const uint8_t* payload, uint32_t length, uint16_t sub);
    void OnMembers(const uint8_t* payload, uint32_t length, int16_t id);
    void OnLogout(const uint8_t* payload, uint32_t length);
    void OnUserData(const uint8_t* payload, uint32_t length, uint16_t sub);
    void OnRandomMatch(uint16_t sub);
    void OnMatching(const uint8_t* payload, uint32_t length, uint16_t sub);
    void OnMatchHost(const uint8_t* payload, uint32_t length);
    void OnLobbyChat(const uint8_t* payload, uint32_t length);
    void OnLineTest(const uint8_t* payload, uint32_t length, uint16_t sub);

    // The room's peer session (LobbyClientRoomPeers.cpp).
    bool ListenAsOwner();
    void ConnectToHost(const tag_KVRLOBBYHOSTANSWER& answer, bool reportFailure);
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
    std::unique_ptr<CLobbyUser> m_ownUser;
    std::unique_ptr<CLobbyRoom> m_currentRoom;
    std::unique_ptr<CLobbyRoom> m_roomTemplate;
    std::unique_ptr<CLobbyRoom> m_matchRecord;
    CLobbyStream m_stream;

    mutable std::recursive_mutex m_protocolLock;
    mutable std::mutex m_stateLock;
    std::mutex m_sendLock;
    std::mutex m_deferredLock;
    std::vector<Deferred> m_deferred;

    CNetSocket m_socket;
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
    std::string m_upnpTarget;
    uint16_t m_upnpPort = 0;
    uint32_t m_upnpDiscoverMs = 0;
    // The room host a guest connected to (its peer name), for 1022.
    std::string m_hostPeer;
    bool m_listening = false;

    NetPeerCallback m_peerConnected = nullptr;
    void* m_peerConnectedArgument = nullptr;
    NetMessageHandler m_peerMessage = nullptr;
    void* m_peerMessageArgument = nullptr;
    NetPeerCallback m_peerDisconnected = nullptr;
    void* m_peerDisconnectedArgument = nullptr;
};
