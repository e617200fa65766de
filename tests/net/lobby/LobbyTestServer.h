#pragma once

// A lobby server for the tests, written from the wire format alone with a
// codec of its own (nothing of the client's encoder), so that a mistake in
// one cannot hide in both. It keeps users and rooms in memory, answers
// every message a client sends, and misbehaves on request. One thread
// serves every connection through poll().

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CLobbyClient;

namespace lobbytest
{
// The server's own scramble and byte helpers.
void Scramble(uint8_t key, uint8_t* bytes, size_t n);
void Put16(std::vector<uint8_t>& out, size_t at, uint16_t value);
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t value);
uint16_t Get16(const uint8_t* in);
uint32_t Get32(const uint8_t* in);
void PutText(std::vector<uint8_t>& out, size_t at, const std::string& text, size_t size);
std::string GetText(const uint8_t* in, size_t size);
// A server message: scrambled header and payload, no frame bytes.
std::vector<uint8_t> ServerMessage(int16_t id, uint16_t sub, const std::vector<uint8_t>& payload, uint8_t key);
// The message handed to client as if it had come over its connection, under
// the client's session key, and dispatched; false when it is refused.
bool Deliver(CLobbyClient& client, int16_t id, uint16_t sub, const std::vector<uint8_t>& payload);

// A random match's host answer (1019): the match's room of two, then the
// host's address and port. Its first 734 bytes are the room's data, as the
// server tells the match's host (1018).
std::vector<uint8_t> MatchHostAnswer(const char* host, uint16_t port);

// One decoded client frame.
struct ClientFrame
{
    int16_t id = 0;
    uint16_t sub = 0;
    std::vector<uint8_t> payload;
};
// Cuts client frames (0x02, header, payload, 0x03) from the front of
// buffer, unscrambled; false when the stream is malformed.
bool TakeClientFrames(std::vector<uint8_t>& buffer, uint8_t key, std::vector<ClientFrame>& out);

enum class Misbehaviour
{
    None,
    ServiceClosed,     // greeting sub 2
    WrongVersion,      // greeting without 'j'
    ShortPayloads,     // answers cut to a few bytes
    Unsolicited,       // 1005, 1019 and 1018 nobody asked for, after the login
    SlowDrip,          // every message one byte at a time
    DisconnectMidFrame,// half a message after the login, then the close
    Oversize,          // a header announcing more than 1 MiB after the login
    BadMembers,        // member counts of -3 and 200, strings without NUL
    Deaf,              // stops reading from logged-in users
};

struct ServerUser
{
    uint32_t id = 0;
    std::string name;
    int32_t rank = 25;
    uint8_t address[4] = {};
    uint16_t port = 0;
    int32_t wins = 0, losses = 0, draws = 0;
    bool matching = false;
    // The room data bytes 37-434 of the user's random-match request.
    std::vector<uint8_t> conditions;
};

struct ServerRoom
{
    uint32_t id = 0;
    std::string name;
    uint32_t busy = 0;
    std::string key;
    std::vector<uint8_t> settings; // 398 bytes
    uint32_t owner = 0;
    std::vector<uint32_t> members; // owner first
};

class LobbyTestServer
{
public:
    LobbyTestServer();
    ~LobbyTestServer();

    bool Start(const char* address, uint16_t port);
    // Serves on a thread of its own until Stop.
    void RunInThread();
    void Stop();
    // Serves until Stop or until the deadline; for a child process.
    void Run(uint32_t milliseconds);

    void SetMisbehaviour(Misbehaviour mode) { m_mode.store(mode); }
    void SetRank(int32_t rank) { m_rank.store(rank); }
    void SetIcon(const std::vector<uint8_t>& icon);
    // Sends a keep-alive to every logged-in user.
    void PingAll();

    size_t GetUserCount();
    size_t GetRoomCount();
    size_t GetConnectionCount();
    std::vector<uint32_t> GetRoomMembers(uint32_t roomId);
    // The id of the room made last of those open, 0 when none is.
    uint32_t GetNewestRoom();
    uint32_t GetKeepAliveAnswers() const { return m_keepAliveAnswers.load(); }
    std::vector<int16_t> GetReceivedIds();
    int32_t GetBattleResults(uint32_t userId);
    // Whether the user waits for a random match.
    bool IsSeeking(uint32_t userId);
    // Lists and rooms agree: every member of every room is a user, every
    // room's owner is its first member.
    bool IsConsistent();

    static constexpr uint8_t kSessionKey = 0x3C;
    // The id of every random match's room.
    static constexpr uint32_t kMatchRoom = 9000;

private:
    struct Connection
    {
        int fd = -1;
        std::vector<uint8_t> input;
        uint32_t user = 0;
        bool greeted = false;
    };

    void Loop(uint32_t deadlineMs);
    void Accept();
    bool ReadFrom(Connection& connection);
    void Handle(Connection& connection, const ClientFrame& frame);
    void Send(Connection& connection, int16_t id, uint16_t sub, const std::vector<uint8_t>& payload);
    void SendToUser(uint32_t user, int16_t id, uint16_t sub, const std::vector<uint8_t>& payload);
    void Broadcast(int16_t id, uint16_t sub, const std::vector<uint8_t>& payload);
    void Drop(Connection& connection);
    std::vector<uint8_t> UserEntry(const ServerUser& user);
    std::vector<uint8_t> UserData(const ServerUser& user, bool icon);
    std::vector<uint8_t> RoomEntry(const ServerRoom& room);
    std::vector<uint8_t> RoomData(const ServerRoom& room);
    std::vector<uint8_t> Members(const ServerRoom& room);
    std::vector<uint8_t> HostAnswer(const ServerRoom& room);
    ServerRoom MatchRoom(const ServerUser& host, const std::vector<uint32_t>& members);
    ServerRoom* RoomOf(uint32_t user);
    void RemoveFromRooms(uint32_t user);
    void SendMembers(const ServerRoom& room, int16_t id, uint32_t extra);
    void AnnounceMarks(const std::vector<uint32_t>& users);

    int m_listen = -1;
    int m_wake = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<Misbehaviour> m_mode{Misbehaviour::None};
    std::atomic<int32_t> m_rank{25};
    std::atomic<uint32_t> m_keepAliveAnswers{0};
    std::atomic<bool> m_ping{false};

    std::mutex m_lock;
    std::vector<Connection> m_connections;
    std::map<uint32_t, ServerUser> m_users;
    std::map<uint32_t, ServerRoom> m_rooms;
    std::vector<int16_t> m_received;
    std::vector<uint8_t> m_icon;
    uint32_t m_nextUser = 101;
    uint32_t m_nextRoom = 501;
};
} // namespace lobbytest
