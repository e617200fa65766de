#pragma once

// Misbehaving parties for the lobby's tests, all on loopback: a lobby
// server that logs a client in and then does what the test says, raw room
// peers that flood, squat or never read, and the measures the tests take
// (the longest call, a watchdog that ends a hung run).
#include "LobbyLoopbackSupport.h"
#include "LobbyTestServer.h"

#include "tests/support/CallWatch.h"
#include "tests/support/TimeScale.h"

#include "net/NetHeader.h"

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lobbytest
{
// Ends the test program when a step outlives its limit: a deadlock would
// otherwise hold the run until the test's own timeout.
class Watchdog
{
public:
    Watchdog(uint32_t milliseconds, const char* what)
        : m_thread([this, milliseconds, what] {
              std::unique_lock<std::mutex> guard(m_lock);
              if (!m_ended.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return m_done; }))
              {
                  // On the test's own output: a test may be capturing stderr.
                  std::printf("hung for %u ms: %s\n", milliseconds, what);
                  std::fflush(stdout);
                  std::abort();
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_done = true;
        }
        m_ended.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_ended;
    bool m_done = false;
    std::thread m_thread;
};

// What a frame does itself (its thread's processor time): far above a
// frame's work, far below handling a flood in the frame. A frame here
// works about 2 ms, and under 5 ms with six copies of its test on two
// processors. The address sanitizer's runtime does work of its own in the
// thread that calls it: late in a whole program's run on a busy machine a
// frame has counted 411 ms, so there the bound only catches a frame that
// spins for seconds, and the optimized build's run catches the rest.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kFrameWorkBudgetMs = 2000.0;
#else
constexpr double kFrameWorkBudgetMs = 100.0;
#endif

// How long a flood may take to get its sender cut: the side under test
// works through what came before the cut message by message, at the
// build's speed and with the share of the processors a busy machine leaves
// it (a tenth, with three copies of the program on two loaded processors).
// A run that passes ends at the cut.
constexpr uint32_t kFloodCutMs = 60000 * kvrtest::kTimeScale;

// A frame's worth of lobby work, watched: Update with the frame time.
inline void WatchedFrame(CLobbyClient& client, CallWatch& watch, float seconds = kFrameSeconds)
{
    watch.Run([&] { client.Update(seconds); });
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

// A lobby server for one client at a time: greets it, takes any login, and
// then pushes what the test gives it, answers frames through onFrame, or
// stops reading. It never waits for the client: what the client doesn't
// take waits in the server's own buffer.
class HostileLobby
{
public:
    static constexpr uint8_t kKey = 0x3C;
    static constexpr uint32_t kUserId = 7;

    ~HostileLobby() { Stop(); }

    bool Start(const char* address, uint16_t port)
    {
        in_addr local{};
        ParseIPv4(address, &local);
        m_listen = CNetSocket(OpenNetSocket(SOCK_STREAM));
        // A small window, as a slow server's: when it stops reading, the
        // client's side fills after kilobytes rather than megabytes.
        const int window = 16 * 1024;
        setsockopt(m_listen.Get(), SOL_SOCKET, SO_RCVBUF, &window, sizeof(window));
        if (!m_listen.IsValid() || !BindNetSocket(m_listen.Get(), &local, port) || ::listen(m_listen.Get(), 4) != 0)
            return false;
        m_thread = std::thread([this] { Serve(); });
        return true;
    }
    void Stop()
    {
        m_stop.store(true);
        m_wake.Signal();
        if (m_thread.joinable())
            m_thread.join();
    }

    // A message to the client, in order after everything before.
    void Push(int16_t id, uint16_t sub, const std::vector<uint8_t>& payload)
    {
        PushBytes(ServerMessage(id, sub, payload, kKey));
    }
    void PushBytes(const std::vector<uint8_t>& bytes)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_out.insert(m_out.end(), bytes.begin(), bytes.end());
        m_wake.Signal();
    }
    void SetDeaf(bool deaf) { m_deaf.store(deaf); }
    bool LoggedIn() const { return m_loggedIn.load(); }
    bool ClientGone() const { return m_gone.load(); }
    size_t Pending()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_out.size();
    }

    // Called on the server's thread for every frame after the login.
    std::function<void(const ClientFrame&)> onFrame;

    static std::vector<uint8_t> UserData(uint32_t id, const std::string& name)
    {
        std::vector<uint8_t> out(314);
        Put32(out, 0, id);
        PutText(out, 4, name, 25);
        Put32(out, 29, 25);
        return out;
    }

private:
    void Serve()
    {
        CNetSocket client;
        std::vector<uint8_t> input;
        // Bounded: the tests end within seconds.
        for (int round = 0; round < 100000 && !m_stop.load(); ++round)
        {
            pollfd entries[3] = {{m_listen.Get(), POLLIN, 0}, {m_wake.Get(), POLLIN, 0}, {client.Get(), 0, 0}};
            if (client.IsValid())
                entries[2].events = static_cast<short>((m_deaf.load() ? 0 : POLLIN) | (Pending() > 0 ? POLLOUT : 0));
            ::poll(entries, client.IsValid() ? 3 : 2, 20);
            if (entries[1].revents != 0)
                Drain();
            if ((entries[0].revents & POLLIN) != 0 && !client.IsValid())
            {
                client = CNetSocket(::accept4(m_listen.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
                if (client.IsValid())
                    PushBytes(ServerMessage(100, 1, {'j', kKey}, 0xC5));
            }
            if (!client.IsValid())
                continue;
            if (!Write(client.Get()) || ((entries[2].revents & POLLIN) != 0 && !Read(client.Get(), input)) ||
                (entries[2].revents & (POLLHUP | POLLERR)) != 0)
            {
                m_gone.store(true);
                client.Close();
            }
        }
    }
    void Drain()
    {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_wake.Get(), &value, sizeof(value));
        // The wake stays usable: a signal only says "look again".
    }
    bool Write(int fd)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        while (!m_out.empty())
        {
            const size_t piece = std::min<size_t>(m_out.size(), 64 * 1024);
            std::vector<uint8_t> chunk(m_out.begin(), m_out.begin() + static_cast<std::ptrdiff_t>(piece));
            const ssize_t sent = ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent < 0)
                return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
            m_out.erase(m_out.begin(), m_out.begin() + sent);
            if (static_cast<size_t>(sent) < piece)
                return true;
        }
        return true;
    }
    bool Read(int fd, std::vector<uint8_t>& input)
    {
        uint8_t chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof(chunk), 0);
        if (n <= 0)
            return n < 0 && (errno == EAGAIN || errno == EINTR);
        input.insert(input.end(), chunk, chunk + n);
        std::vector<ClientFrame> frames;
        if (!TakeClientFrames(input, kKey, frames))
            return false;
        for (const ClientFrame& frame : frames)
        {
            if (frame.id == 1001)
            {
                Push(1001, 1, UserData(kUserId, "carol"));
                m_loggedIn.store(true);
                continue;
            }
            if (onFrame)
                onFrame(frame);
        }
        return true;
    }

    CNetSocket m_listen;
    CNetWakeEvent m_wake;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_deaf{false};
    std::atomic<bool> m_loggedIn{false};
    std::atomic<bool> m_gone{false};
    std::mutex m_lock;
    std::deque<uint8_t> m_out;
};

// A room peer on a raw TCP connection from its own loopback address: sends
// frames of its own making and, when asked, reads the host's messages on a
// thread, answering keep-alives.
class RawPeer
{
public:
    RawPeer(const char* local, const char* host, uint16_t port) : m_socket(nettest::ConnectRetrying(local, host, port))
    {
    }
    ~RawPeer()
    {
        m_stop.store(true);
        if (m_reader.joinable())
            m_reader.join();
    }
    bool IsValid() const { return m_socket.IsValid(); }

    // Waits for room until the deadline, or until wake is signalled.
    bool Send(int16_t id, const std::vector<uint8_t>& payload, uint32_t timeoutMs = 2000, int wake = -1)
    {
        const std::vector<uint8_t> frame = nettest::Frame(id, payload);
        std::lock_guard<std::mutex> guard(m_sendLock);
        return SendWithDeadline(m_socket.Get(), frame.data(), frame.size(), timeoutMs, wake) != 0;
    }

    // Reads on a thread of its own from now on.
    void StartReading(bool answerKeepAlives)
    {
        m_reader = std::thread([this, answerKeepAlives] { Read(answerKeepAlives); });
    }
    size_t Count(int16_t id)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_counts[id];
    }
    std::vector<uint8_t> Last(int16_t id)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_last[id];
    }
    // Closes this side's half of the connection, as a guest that goes does.
    void HangUp() { ::shutdown(m_socket.Get(), SHUT_WR); }
    // The host has closed the connection (seen by the reader, or now).
    bool Closed()
    {
        if (m_closed.load())
            return true;
        if (m_reader.joinable())
            return false;
        // What the host sent before its close is read and dropped.
        uint8_t sink[4096];
        for (int read = 0; read < 1000; ++read)
        {
            const ssize_t n = ::recv(m_socket.Get(), sink, sizeof(sink), MSG_DONTWAIT);
            if (n <= 0)
                return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
        }
        return false;
    }

    static std::vector<uint8_t> ChatLine(const std::string& name, const std::string& text)
    {
        std::vector<uint8_t> out(281);
        PutText(out, 0, name, 25);
        PutText(out, 25, text, 256);
        return out;
    }

private:
    void Read(bool answerKeepAlives)
    {
        std::vector<uint8_t> input;
        uint8_t chunk[65536];
        while (!m_stop.load())
        {
            const int ready = WaitReadable(m_socket.Get(), -1, 20);
            if (ready <= 0)
                continue;
            const ssize_t n = ::recv(m_socket.Get(), chunk, sizeof(chunk), 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            {
                m_closed.store(true);
                return;
            }
            if (n < 0)
                continue;
            input.insert(input.end(), chunk, chunk + n);
            size_t at = 0;
            while (input.size() - at >= kNetHeaderSize)
            {
                const tag_KVRNETHEADER header = ReadNetHeader(input.data() + at);
                if (input.size() - at < kNetHeaderSize + header.length)
                    break;
                const uint8_t* body = input.data() + at + kNetHeaderSize;
                at += kNetHeaderSize + header.length;
                if (header.id == kNetKeepAliveRequest && answerKeepAlives)
                    Send(kNetKeepAliveAnswer, {});
                std::lock_guard<std::mutex> guard(m_lock);
                ++m_counts[header.id];
                m_last[header.id].assign(body, body + header.length);
            }
            input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(at));
        }
    }

    CNetSocket m_socket;
    std::mutex m_sendLock;
    std::mutex m_lock;
    std::map<int16_t, size_t> m_counts;
    std::map<int16_t, std::vector<uint8_t>> m_last;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_closed{false};
    std::thread m_reader;
};

// A logged-in client that made a room and listens for its guests on its
// own port (LOBBY_ROOM), against the test server.
inline bool OpenRoom(CLobbyClient& owner)
{
    if (!LogIn(owner, "pw"))
        return false;
    owner.OnInput(LOBBY_KEY_LEFT);
    owner.OnInput(LOBBY_KEY_LEFT);
    owner.OnInput(LOBBY_KEY_DECIDE);
    if (owner.GetState() != LOBBY_NEW_ROOM_EDITOR)
        return false;
    owner.OnInput(LOBBY_KEY_DOWN);
    owner.GetEditor()->Insert("Den");
    owner.OnInput(LOBBY_KEY_UP);
    owner.OnInput(LOBBY_KEY_DECIDE);
    return StepToState(owner, LOBBY_ROOM, 10000);
}

// A logged-in guest enters the one room listed, and is in once its owner
// holds it (see HoldsGuest).
inline bool EnterTheRoom(CLobbyClient& guest, CLobbyClient& owner)
{
    const bool listed = StepUntil({&guest}, [&] {
        auto lock = guest.Lock();
        return guest.GetRooms().size() == 1;
    });
    if (!listed)
        return false;
    guest.OnInput(LOBBY_KEY_DECIDE);
    if (!StepToState(guest, LOBBY_ROOM_INFO))
        return false;
    guest.OnInput(LOBBY_KEY_LEFT);
    guest.OnInput(LOBBY_KEY_DECIDE);
    if (!StepToState(guest, LOBBY_ROOM))
        return false;
    in_addr address{};
    {
        auto lock = guest.Lock();
        std::memcpy(&address, guest.GetOwnUser()->login.address, sizeof(address));
    }
    return nettest::WaitUntil([&] { return HoldsGuest(owner, FormatIPv4(address).c_str()); }, 10000);
}

inline bool RoomChatHas(CLobbyClient& client, const char* text)
{
    auto lock = client.Lock();
    const tag_KVRLOBBYSTATE& s = client.GetStateBlock();
    for (int32_t i = 0; i < s.roomChatCount; ++i)
        if (std::string(s.roomChat[i].text) == text)
            return true;
    return false;
}
} // namespace lobbytest
