#include "LobbyTestServer.h"

#include "net/lobby/CLobbyClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace lobbytest
{
namespace
{
constexpr uint8_t kHeaderKey = 0xA6;

// The same table the client builds in code, kept here as data so that the
// two do not share a mistake.
const uint8_t kTable[256] = {
    0xD3, 0x5C, 0x0D, 0x76, 0xA7, 0x80, 0x21, 0x3A, 0xFB, 0x34, 0xD5, 0x4E, 0x0F, 0xB8, 0x09, 0xD2,
    0x23, 0x2C, 0x7D, 0x26, 0xF7, 0x50, 0x51, 0xEA, 0x4B, 0x04, 0x85, 0xBE, 0xDF, 0xC8, 0xB9, 0x02,
    0x72, 0xFD, 0xAC, 0x17, 0x06, 0x61, 0x80, 0x9B, 0x1A, 0x55, 0x74, 0xEF, 0x6E, 0x19, 0x68, 0x33,
    0xC2, 0xCD, 0x1C, 0xC7, 0x56, 0x31, 0x30, 0x4B, 0xEA, 0xA5, 0x24, 0xDF, 0x3E, 0x29, 0x18, 0x63,
    0x11, 0x9E, 0x4F, 0xB4, 0xE5, 0xC2, 0x63, 0x78, 0xB9, 0xF6, 0x97, 0x0C, 0xCD, 0x7A, 0xCB, 0x90,
    0x61, 0x6E, 0xBF, 0x64, 0x35, 0x92, 0x93, 0x28, 0x09, 0xC6, 0x47, 0x7C, 0x9D, 0x8A, 0x7B, 0xC0,
    0xB0, 0x3F, 0xEE, 0x55, 0x44, 0xA3, 0xC2, 0xD9, 0xD8, 0x17, 0x36, 0xAD, 0x2C, 0xDB, 0x2A, 0xF1,
    0x00, 0x0F, 0x5E, 0x05, 0x94, 0x73, 0x72, 0x89, 0xA8, 0x67, 0xE6, 0x9D, 0xFC, 0xEB, 0xDA, 0x21,
    0x57, 0xD8, 0x89, 0xF2, 0x23, 0x04, 0xA5, 0xBE, 0x7F, 0xB0, 0x51, 0xCA, 0x8B, 0x3C, 0x8D, 0x56,
    0xA7, 0xA8, 0xF9, 0xA2, 0x73, 0xD4, 0xD5, 0x6E, 0xCF, 0x80, 0x01, 0x3A, 0x5B, 0x4C, 0x3D, 0x86,
    0xF6, 0x79, 0x28, 0x93, 0x82, 0xE5, 0x04, 0x1F, 0x9E, 0xD1, 0xF0, 0x6B, 0xEA, 0x9D, 0xEC, 0xB7,
    0x46, 0x49, 0x98, 0x43, 0xD2, 0xB5, 0xB4, 0xCF, 0x6E, 0x21, 0xA0, 0x5B, 0xBA, 0xAD, 0x9C, 0xE7,
    0x95, 0x1A, 0xCB, 0x30, 0x61, 0x46, 0xE7, 0xFC, 0x3D, 0x72, 0x13, 0x88, 0x49, 0xFE, 0x4F, 0x14,
    0xE5, 0xEA, 0x3B, 0xE0, 0xB1, 0x16, 0x17, 0xAC, 0x8D, 0x42, 0xC3, 0xF8, 0x19, 0x0E, 0xFF, 0x44,
    0x34, 0xBB, 0x6A, 0xD1, 0xC0, 0x27, 0x46, 0x5D, 0x5C, 0x93, 0xB2, 0x29, 0xA8, 0x5F, 0xAE, 0x75,
    0x84, 0x8B, 0xDA, 0x81, 0x10, 0xF7, 0xF6, 0x0D, 0x2C, 0xE3, 0x62, 0x19, 0x78, 0x6F, 0x5E, 0xA5
};

uint32_t NowMs()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SendAll(int fd, const uint8_t* bytes, size_t n)
{
    while (n > 0)
    {
        const ssize_t sent = ::send(fd, bytes, n, MSG_NOSIGNAL);
        if (sent <= 0)
            return;
        bytes += sent;
        n -= static_cast<size_t>(sent);
    }
}
} // namespace

void Scramble(uint8_t key, uint8_t* bytes, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(bytes[i] ^ kTable[i % 256] ^ key);
}

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t value)
{
    out.at(at) = value & 0xFF;
    out.at(at + 1) = value >> 8;
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

uint16_t Get16(const uint8_t* in)
{
    return static_cast<uint16_t>(in[0] + 256 * in[1]);
}

uint32_t Get32(const uint8_t* in)
{
    return in[0] + (in[1] << 8) + (in[2] << 16) + (static_cast<uint32_t>(in[3]) << 24);
}

void PutText(std::vector<uint8_t>& out, size_t at, const std::string& text, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        out.at(at + i) = i < text.size() && i + 1 < size ? static_cast<uint8_t>(text[i]) : 0;
}

std::string GetText(const uint8_t* in, size_t size)
{
    size_t n = 0;
    while (n < size && in[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(in), n);
}

std::vector<uint8_t> ServerMessage(int16_t id, uint16_t sub, const std::vector<uint8_t>& payload, uint8_t key)
{
    std::vector<uint8_t> out(8 + payload.size());
    Put16(out, 0, static_cast<uint16_t>(id));
    Put16(out, 2, sub);
    Put32(out, 4, static_cast<uint32_t>(payload.size()));
    std::copy(payload.begin(), payload.end(), out.begin() + 8);
    Scramble(kHeaderKey, out.data(), 8);
    Scramble(key, out.data() + 8, payload.size());
    return out;
}

bool Deliver(CLobbyClient& client, int16_t id, uint16_t sub, const std::vector<uint8_t>& payload)
{
    uint8_t key = 0;
    {
        auto lock = client.Lock();
        key = client.GetStateBlock().sessionKey;
    }
    const std::vector<uint8_t> bytes = ServerMessage(id, sub, payload, key);
    return client.Reassemble(bytes.data(), bytes.size()) && client.DispatchQueued();
}

std::vector<uint8_t> MatchHostAnswer(const char* host, uint16_t port)
{
    std::vector<uint8_t> out(740);
    Put32(out, 0, LobbyTestServer::kMatchRoom);
    PutText(out, 4, "match", 25);
    Put16(out, 37, 8);
    Put16(out, 435, 2);
    in_addr address{};
    inet_pton(AF_INET, host, &address);
    std::memcpy(out.data() + 734, &address, 4);
    Put16(out, 738, port);
    return out;
}

bool TakeClientFrames(std::vector<uint8_t>& buffer, uint8_t key, std::vector<ClientFrame>& out)
{
    size_t at = 0;
    while (buffer.size() - at >= 10)
    {
        if (buffer[at] != 0x02)
            return false;
        uint8_t header[8];
        std::memcpy(header, buffer.data() + at + 1, 8);
        Scramble(kHeaderKey, header, 8);
        const uint32_t length = Get32(header + 4);
        if (length > (1u << 20))
            return false;
        if (buffer.size() - at < 10 + static_cast<size_t>(length))
            break;
        if (buffer[at + 9 + length] != 0x03)
            return false;
        ClientFrame frame;
        frame.id = static_cast<int16_t>(Get16(header));
        frame.sub = Get16(header + 2);
        frame.payload.assign(buffer.begin() + at + 9, buffer.begin() + at + 9 + length);
        Scramble(key, frame.payload.data(), frame.payload.size());
        out.push_back(std::move(frame));
        at += 10 + length;
    }
    buffer.erase(buffer.begin(), buffer.begin() + at);
    return true;
}

LobbyTestServer::LobbyTestServer() = default;

LobbyTestServer::~LobbyTestServer()
{
    Stop();
}

bool LobbyTestServer::Start(const char* address, uint16_t port)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0)
        return false;
    const int one = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(port);
    inet_pton(AF_INET, address, &bound.sin_addr);
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&bound), sizeof(bound)) != 0 || ::listen(m_listen, 16) != 0)
    {
        ::close(m_listen);
        m_listen = -1;
        return false;
    }
    m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_stop.store(false);
    return true;
}

void LobbyTestServer::Run(uint32_t milliseconds)
{
    Loop(NowMs() + milliseconds);
}

void LobbyTestServer::RunInThread()
{
    m_thread = std::thread([this] { Loop(NowMs() + 600000); });
}

void LobbyTestServer::Stop()
{
    m_stop.store(true);
    if (m_wake >= 0)
    {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof(one));
    }
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> guard(m_lock);
    // The lists stay as the server left them: a client that went just
    // before the stop, whose close the loop had no turn to read, is still
    // listed with its connection, as it was while the server ran.
    for (Connection& connection : m_connections)
    {
        if (connection.fd >= 0)
            ::close(connection.fd);
        connection.fd = -1;
    }
    if (m_listen >= 0)
        ::close(m_listen);
    if (m_wake >= 0)
        ::close(m_wake);
    m_listen = -1;
    m_wake = -1;
}

void LobbyTestServer::SetIcon(const std::vector<uint8_t>& icon)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_icon = icon;
}

void LobbyTestServer::PingAll()
{
    m_ping.store(true);
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof(one));
}

void LobbyTestServer::Loop(uint32_t deadlineMs)
{
    while (!m_stop.load() && static_cast<int32_t>(deadlineMs - NowMs()) > 0)
    {
        std::vector<pollfd> fds;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            fds.push_back({m_listen, POLLIN, 0});
            fds.push_back({m_wake, POLLIN, 0});
            const bool deaf = m_mode.load() == Misbehaviour::Deaf;
            for (const Connection& connection : m_connections)
                fds.push_back({connection.fd, static_cast<short>(deaf && connection.user != 0 ? 0 : POLLIN), 0});
        }
        if (::poll(fds.data(), fds.size(), 50) < 0)
            continue;
        if (fds[1].revents != 0)
        {
            uint64_t value = 0;
            [[maybe_unused]] ssize_t n = ::read(m_wake, &value, sizeof(value));
        }
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_ping.exchange(false))
            for (Connection& connection : m_connections)
                if (connection.user != 0)
                    Send(connection, 1024, 1, {});
        if (fds[0].revents & POLLIN)
            Accept();
        for (size_t i = 2; i < fds.size(); ++i)
        {
            if (fds[i].revents == 0)
                continue;
            for (Connection& connection : m_connections)
                if (connection.fd == fds[i].fd && !ReadFrom(connection))
                    Drop(connection);
        }
        m_connections.erase(std::remove_if(m_connections.begin(), m_connections.end(),
                                           [](const Connection& c) { return c.fd < 0; }),
                            m_connections.end());
    }
}

void LobbyTestServer::Accept()
{
    const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    m_connections.push_back(Connection());
    Connection& connection = m_connections.back();
    connection.fd = fd;
    const Misbehaviour mode = m_mode.load();
    if (mode == Misbehaviour::ServiceClosed)
        Send(connection, 100, 2, {});
    else
        Send(connection, 100, 1, {mode == Misbehaviour::WrongVersion ? uint8_t('x') : uint8_t('j'), kSessionKey});
}

bool LobbyTestServer::ReadFrom(Connection& connection)
{
    uint8_t chunk[4096];
    const ssize_t n = ::recv(connection.fd, chunk, sizeof(chunk), 0);
    if (n <= 0)
        return false;
    connection.input.insert(connection.input.end(), chunk, chunk + n);
    std::vector<ClientFrame> frames;
    if (!TakeClientFrames(connection.input, kSessionKey, frames))
        return false;
    for (const ClientFrame& frame : frames)
    {
        m_received.push_back(frame.id);
        Handle(connection, frame);
        if (connection.fd < 0)
            return true;
    }
    return true;
}

void LobbyTestServer::Send(Connection& connection, int16_t id, uint16_t sub, const std::vector<uint8_t>& payload)
{
    if (connection.fd < 0)
        return;
    std::vector<uint8_t> sent = payload;
    const Misbehaviour mode = m_mode.load();
    if (mode == Misbehaviour::ShortPayloads && id != 100 && id != 1001 && sent.size() > 3)
        sent.resize(3);
    // The greeting goes out under the initial key; it hands over the next.
    const std::vector<uint8_t> message = ServerMessage(id, sub, sent, id == 100 ? 0xC5 : kSessionKey);
    if (mode != Misbehaviour::SlowDrip)
    {
        SendAll(connection.fd, message.data(), message.size());
        return;
    }
    for (uint8_t byte : message)
    {
        SendAll(connection.fd, &byte, 1);
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

void LobbyTestServer::SendToUser(uint32_t user, int16_t id, uint16_t sub, const std::vector<uint8_t>& payload)
{
    for (Connection& connection : m_connections)
        if (connection.user == user)
            Send(connection, id, sub, payload);
}

void LobbyTestServer::Broadcast(int16_t id, uint16_t sub, const std::vector<uint8_t>& payload)
{
    for (Connection& connection : m_connections)
        if (connection.user != 0)
            Send(connection, id, sub, payload);
}

void LobbyTestServer::Drop(Connection& connection)
{
    if (connection.fd >= 0)
        ::close(connection.fd);
    connection.fd = -1;
    const uint32_t user = connection.user;
    connection.user = 0;
    if (user == 0)
        return;
    RemoveFromRooms(user);
    m_users.erase(user);
    std::vector<uint8_t> id(4);
    Put32(id, 0, user);
    Broadcast(1013, 1, id);
}

std::vector<uint8_t> LobbyTestServer::UserEntry(const ServerUser& user)
{
    std::vector<uint8_t> out(33);
    Put32(out, 0, user.id);
    PutText(out, 4, user.name, 25);
    Put32(out, 29, static_cast<uint32_t>(user.rank));
    return out;
}

std::vector<uint8_t> LobbyTestServer::UserData(const ServerUser& user, bool icon)
{
    std::vector<uint8_t> out(314);
    Put32(out, 0, user.id);
    PutText(out, 4, user.name, 25);
    Put32(out, 29, static_cast<uint32_t>(user.rank));
    // The mark beside the name in the user list: in a room.
    Put32(out, 33, RoomOf(user.id) != nullptr ? 1 : 0);
    // "よろしく" in UTF-8, as the server keeps texts.
    PutText(out, 37, "\xE3\x82\x88\xE3\x82\x8D\xE3\x81\x97\xE3\x81\x8F", 257);
    Put32(out, 294, static_cast<uint32_t>(user.wins));
    Put32(out, 298, static_cast<uint32_t>(user.losses));
    Put32(out, 302, static_cast<uint32_t>(user.draws));
    Put32(out, 306, 1234);
    if (icon && !m_icon.empty())
    {
        Put32(out, 310, static_cast<uint32_t>(m_icon.size()));
        out.insert(out.end(), m_icon.begin(), m_icon.end());
    }
    return out;
}

std::vector<uint8_t> LobbyTestServer::RoomEntry(const ServerRoom& room)
{
    std::vector<uint8_t> out(37);
    Put32(out, 0, room.id);
    PutText(out, 4, room.name, 25);
    Put32(out, 29, room.busy);
    Put32(out, 33, room.key.empty() ? 0 : 1);
    return out;
}

std::vector<uint8_t> LobbyTestServer::Members(const ServerRoom& room)
{
    std::vector<uint8_t> out(299);
    int16_t count = static_cast<int16_t>(room.members.size());
    if (m_mode.load() == Misbehaviour::BadMembers)
        count = room.members.size() > 1 ? 200 : -3;
    Put16(out, 0, static_cast<uint16_t>(count));
    auto owner = m_users.find(room.owner);
    if (owner != m_users.end())
    {
        const std::vector<uint8_t> entry = UserEntry(owner->second);
        std::copy(entry.begin(), entry.end(), out.begin() + 2);
    }
    for (size_t i = 0; i < room.members.size() && i < 8; ++i)
    {
        auto user = m_users.find(room.members[i]);
        if (user == m_users.end())
            continue;
        const std::vector<uint8_t> entry = UserEntry(user->second);
        std::copy(entry.begin(), entry.end(), out.begin() + 35 + 33 * i);
    }
    if (m_mode.load() == Misbehaviour::BadMembers)
        std::fill(out.begin() + 6, out.begin() + 31, 'A');
    return out;
}

std::vector<uint8_t> LobbyTestServer::RoomData(const ServerRoom& room)
{
    std::vector<uint8_t> out = RoomEntry(room);
    out.insert(out.end(), room.settings.begin(), room.settings.end());
    const std::vector<uint8_t> members = Members(room);
    out.insert(out.end(), members.begin(), members.end());
    return out;
}

std::vector<uint8_t> LobbyTestServer::HostAnswer(const ServerRoom& room)
{
    std::vector<uint8_t> out = RoomData(room);
    out.resize(740);
    const ServerUser& owner = m_users[room.owner];
    std::copy(owner.address, owner.address + 4, out.begin() + 734);
    Put16(out, 738, owner.port);
    return out;
}

// A random match of the waiting users, hosted by host, on the host's
// conditions (an any-value stays one: the players' settings decide).
ServerRoom LobbyTestServer::MatchRoom(const ServerUser& host, const std::vector<uint32_t>& members)
{
    ServerRoom match;
    match.id = kMatchRoom;
    match.name = host.name;
    match.settings = host.conditions.size() == 398 ? host.conditions : std::vector<uint8_t>(398, 0);
    match.owner = host.id;
    match.members = members;
    return match;
}

ServerRoom* LobbyTestServer::RoomOf(uint32_t user)
{
    for (auto& [id, room] : m_rooms)
        if (std::find(room.members.begin(), room.members.end(), user) != room.members.end())
            return &room;
    return nullptr;
}

void LobbyTestServer::SendMembers(const ServerRoom& room, int16_t id, uint32_t extra)
{
    const std::vector<uint8_t> block = Members(room);
    for (uint32_t member : room.members)
        SendToUser(member, id, 1, block);
    if (extra != 0)
        SendToUser(extra, id, 1, block);
}

void LobbyTestServer::RemoveFromRooms(uint32_t user)
{
    ServerRoom* room = RoomOf(user);
    if (room == nullptr)
        return;
    if (room->owner == user)
    {
        std::vector<uint8_t> id(4);
        Put32(id, 0, room->id);
        const std::vector<uint32_t> members = room->members;
        m_rooms.erase(room->id);
        Broadcast(1003, 1, id);
        AnnounceMarks(members);
        return;
    }
    room->members.erase(std::remove(room->members.begin(), room->members.end(), user), room->members.end());
    SendMembers(*room, 1007, 0);
    AnnounceMarks({user});
}

// Everybody hears at once when a user's mark comes or goes: the user's
// data, unasked.
void LobbyTestServer::AnnounceMarks(const std::vector<uint32_t>& users)
{
    for (uint32_t user : users)
    {
        auto it = m_users.find(user);
        if (it != m_users.end())
            Broadcast(1015, 1, UserData(it->second, false));
    }
}

void LobbyTestServer::Handle(Connection& connection, const ClientFrame& frame)
{
    const std::vector<uint8_t>& p = frame.payload;
    std::vector<uint8_t> id(4);
    if (frame.id == 1001)
    {
        if (p.size() != 56)
            return Drop(connection);
        const std::string login = GetText(p.data(), 33);
        if (GetText(p.data() + 33, 17) == "wrong")
            return Send(connection, 1001, 2, {});
        ServerUser user;
        user.id = m_nextUser++;
        user.name = login;
        user.rank = m_rank.load();
        std::memcpy(user.address, p.data() + 52, 4);
        user.port = Get16(p.data() + 50);
        m_users[user.id] = user;
        connection.user = user.id;
        Send(connection, 1001, 1, UserData(user, false));
        std::vector<uint8_t> users;
        for (const auto& [key, other] : m_users)
        {
            const std::vector<uint8_t> entry = UserEntry(other);
            users.insert(users.end(), entry.begin(), entry.end());
        }
        Send(connection, 1012, 1, users);
        std::vector<uint8_t> rooms;
        for (const auto& [key, room] : m_rooms)
        {
            const std::vector<uint8_t> entry = RoomEntry(room);
            rooms.insert(rooms.end(), entry.begin(), entry.end());
        }
        if (!rooms.empty())
            Send(connection, 1011, 1, rooms);
        for (Connection& other : m_connections)
            if (other.user != 0 && other.user != user.id)
                Send(other, 1010, 1, UserEntry(user));
        const Misbehaviour mode = m_mode.load();
        if (mode == Misbehaviour::Unsolicited)
        {
            ServerRoom fake;
            fake.id = 999;
            fake.name = "fake";
            fake.settings.assign(398, 0);
            fake.owner = user.id;
            fake.members = {user.id};
            Send(connection, 1005, 1, HostAnswer(fake));
            Send(connection, 1019, 1, HostAnswer(fake));
            Send(connection, 1018, 1, RoomData(fake));
            Send(connection, 1023, 1, {127, 0, 0, 1});
            Send(connection, 100, 1, {'j', 0x55});
        }
        if (mode == Misbehaviour::DisconnectMidFrame)
        {
            const std::vector<uint8_t> message = ServerMessage(1020, 1, std::vector<uint8_t>(281, 'x'), kSessionKey);
            SendAll(connection.fd, message.data(), 100);
            return Drop(connection);
        }
        if (mode == Misbehaviour::Oversize)
        {
            const std::vector<uint8_t> message = ServerMessage(1020, 1, std::vector<uint8_t>(16, 0), kSessionKey);
            std::vector<uint8_t> header(message.begin(), message.begin() + 8);
            Scramble(kHeaderKey, header.data(), 8);
            Put32(header, 4, (1u << 20) + 1);
            Scramble(kHeaderKey, header.data(), 8);
            SendAll(connection.fd, header.data(), header.size());
        }
        return;
    }
    const uint32_t self = connection.user;
    if (self == 0)
        return Drop(connection);
    ServerUser& me = m_users[self];
    switch (frame.id)
    {
    case 1002:
    {
        if (p.size() != 722 || RoomOf(self) != nullptr)
            return Send(connection, 1009, 2, {});
        ServerRoom room;
        room.id = m_nextRoom++;
        room.name = GetText(p.data(), 25);
        room.settings.assign(p.begin() + 25, p.begin() + 25 + 398);
        room.key = GetText(p.data() + 25 + 258, 9);
        room.owner = self;
        room.members = {self};
        m_rooms[room.id] = room;
        Broadcast(1002, 1, RoomEntry(room));
        Send(connection, 1009, 1, RoomData(room));
        return AnnounceMarks({self});
    }
    case 1003:
        // Whoever closes or leaves seeks no match any more (a player that
        // cancels its match's setup says one or the other).
        me.matching = false;
        if (ServerRoom* room = RoomOf(self); room != nullptr && room->owner == self)
            RemoveFromRooms(self);
        return;
    case 1004:
    {
        ServerRoom* room = RoomOf(self);
        if (p.size() != 398 || room == nullptr || room->owner != self)
            return Send(connection, 1004, 2, {});
        room->settings = p;
        room->key = GetText(p.data() + 258, 9);
        Broadcast(1008, 1, RoomEntry(*room));
        return Send(connection, 1004, 1, RoomData(*room));
    }
    case 1005:
    {
        if (p.size() != 37)
            return Send(connection, 1005, 2, {});
        auto it = m_rooms.find(Get32(p.data()));
        if (it == m_rooms.end() || it->second.members.size() >= 8 || it->second.busy != 0 || RoomOf(self) != nullptr)
            return Send(connection, 1005, 2, {});
        it->second.members.push_back(self);
        Send(connection, 1005, 1, HostAnswer(it->second));
        SendMembers(it->second, 1007, 0);
        return AnnounceMarks({self});
    }
    case 1006:
    {
        auto it = m_rooms.find(p.size() == 13 ? Get32(p.data()) : 0);
        if (it == m_rooms.end() || GetText(p.data() + 4, 9) != it->second.key)
            return Send(connection, 1006, 2, {});
        return Send(connection, 1006, 1, RoomData(it->second));
    }
    case 1007:
        // An owner that leaves takes its room with it, as a lobby server
        // must: no room outlives its owner.
        me.matching = false;
        if (RoomOf(self) != nullptr)
            RemoveFromRooms(self);
        return;
    case 1008:
        if (ServerRoom* room = RoomOf(self); room != nullptr && room->owner == self && p.size() == 4)
        {
            room->busy = Get32(p.data());
            Broadcast(1008, 1, RoomEntry(*room));
        }
        return;
    case 1009:
    {
        auto it = m_rooms.find(p.size() == 4 ? Get32(p.data()) : 0);
        if (it == m_rooms.end())
            return Send(connection, 1009, 2, {});
        return Send(connection, 1009, 1, RoomData(it->second));
    }
    case 1014:
    {
        ServerRoom* room = RoomOf(self);
        const uint32_t target = p.size() == 4 ? Get32(p.data()) : 0;
        if (room == nullptr || room->owner != self || target == self)
            return;
        room->members.erase(std::remove(room->members.begin(), room->members.end(), target), room->members.end());
        SendMembers(*room, 1014, target);
        return AnnounceMarks({target});
    }
    case 1015:
    {
        auto it = m_users.find(p.size() == 4 ? Get32(p.data()) : 0);
        if (it == m_users.end())
            return Send(connection, 1015, 2, {});
        return Send(connection, 1015, 1, UserData(it->second, true));
    }
    case 1016:
        if (p.size() == 4)
        {
            const uint32_t result = Get32(p.data());
            (result == 0 ? me.wins : result == 1 ? me.losses : me.draws) += 1;
        }
        return;
    case 1017:
        if (p.size() != 722)
            return Send(connection, 1017, 2, {});
        me.matching = true;
        me.conditions.assign(p.begin() + 25, p.begin() + 25 + 398);
        return Send(connection, 1017, 1, {});
    case 1018:
    {
        std::vector<uint32_t> waiting;
        for (const auto& [key, user] : m_users)
            if (user.matching)
                waiting.push_back(key);
        if (waiting.size() < 2 || waiting[0] != self)
            return Send(connection, 1018, 2, {static_cast<uint8_t>(waiting.size())});
        return Send(connection, 1018, 1, RoomData(MatchRoom(me, waiting)));
    }
    case 1019:
    {
        std::vector<uint32_t> waiting;
        for (auto& [key, user] : m_users)
            if (user.matching)
                waiting.push_back(key);
        const ServerRoom match = MatchRoom(me, waiting);
        for (uint32_t member : match.members)
        {
            if (member != self)
                SendToUser(member, 1019, 1, HostAnswer(match));
            m_users[member].matching = false;
        }
        return;
    }
    case 1020:
        if (p.size() == 281)
            Broadcast(1020, 1, p);
        return;
    case 1023:
    {
        auto it = m_rooms.find(p.size() == 4 ? Get32(p.data()) : 0);
        if (it == m_rooms.end())
            return Send(connection, 1023, 2, {});
        const ServerUser& owner = m_users[it->second.owner];
        return Send(connection, 1023, 1, {owner.address[0], owner.address[1], owner.address[2], owner.address[3]});
    }
    case 1024: m_keepAliveAnswers.fetch_add(1); return;
    default: return;
    }
}

size_t LobbyTestServer::GetUserCount()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_users.size();
}

size_t LobbyTestServer::GetRoomCount()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_rooms.size();
}

size_t LobbyTestServer::GetConnectionCount()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_connections.size();
}

std::vector<uint32_t> LobbyTestServer::GetRoomMembers(uint32_t roomId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_rooms.find(roomId);
    return it == m_rooms.end() ? std::vector<uint32_t>() : it->second.members;
}

uint32_t LobbyTestServer::GetNewestRoom()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_rooms.empty() ? 0 : m_rooms.rbegin()->first;
}

std::vector<int16_t> LobbyTestServer::GetReceivedIds()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_received;
}

bool LobbyTestServer::IsSeeking(uint32_t userId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_users.find(userId);
    return it != m_users.end() && it->second.matching;
}

int32_t LobbyTestServer::GetBattleResults(uint32_t userId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_users.find(userId);
    return it == m_users.end() ? -1 : it->second.wins + it->second.losses + it->second.draws;
}

bool LobbyTestServer::IsConsistent()
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (const auto& [id, room] : m_rooms)
    {
        if (room.members.empty() || room.members[0] != room.owner)
            return false;
        for (uint32_t member : room.members)
            if (m_users.count(member) == 0)
                return false;
    }
    size_t logged = 0;
    for (const Connection& connection : m_connections)
        logged += connection.user != 0 ? 1 : 0;
    return logged == m_users.size();
}
} // namespace lobbytest
