#pragma once

// Network scenes in a test: a setup that starts when the test says so, raw
// peers that speak the match's messages byte by byte over loopback, and a
// clock the test moves. One process runs one battle at most at a time (the
// battle's random generator is the process's).

#include "tests/net/NetTestSupport.h"

#include "engine/platform/input/CInput.h"
#include "game/battle/CBattleConfig.h"
#include "game/battle/SetupMessages.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/CNetBattleSetup.h"
#include "game/scene/CNetworkScene.h"
#include "game/scene/NetMatchMessages.h"
#include "net/CNetClient.h"
#include "net/CNetSession.h"
#include "net/lobby/CLobbyClient.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace nettestscene
{
// The setup as a test drives it: the game's setup takes the peers' seats
// and rules, but its pages are the test's. The host's starts when Go() is
// called and tells its guests (message 3 with the start pair); a guest
// starts on it.
class ScriptedSetup : public INetBattleSetup
{
public:
    static constexpr int32_t kStartPhase = 5;
    static constexpr int32_t kStartNext = 6;

    bool Start(const NetSetupStart& start) override
    {
        m_start = start;
        m_page = start.page;
        ++starts;
        return m_game.Start(start);
    }
    void Update() override
    {
        ++updates;
        if (!m_go)
            return;
        const std::vector<uint8_t> bytes = SetupMessages::EncodeCursor({kStartPhase, kStartNext});
        if (m_start.session != nullptr)
            m_start.session->SendToAll(NETMSG_CURSOR, kNetMatchSub, bytes.data(), static_cast<uint32_t>(bytes.size()),
                                       kNetKindTcp);
        m_page = PAGE_START;
        m_go = false;
    }
    void Render() override {}
    uint32_t GetPage() const override { return m_page; }
    bool HasLeftMatch() const override { return false; }
    void SetPage(uint32_t page) override { m_page = page; }
    void SetHost(bool host) override { m_game.SetHost(host); }
    bool OnPeerMessage(int32_t id, const uint8_t* payload, uint32_t length) override
    {
        if (id != NETMSG_CURSOR)
            return m_game.OnPeerMessage(id, payload, length);
        SetupMessages::Cursor cursor;
        if (!SetupMessages::DecodeCursor(payload, length, &cursor))
            return false;
        if (cursor.phase == kStartPhase && cursor.nextPhase == kStartNext)
            m_page = PAGE_START;
        return true;
    }
    void Go() { m_go = true; }
    const NetSetupStart& GetStart() const { return m_start; }

    uint32_t starts = 0;
    uint32_t updates = 0;

private:
    CNetBattleSetup m_game;
    NetSetupStart m_start;
    uint32_t m_page = PAGE_MODE;
    bool m_go = false;
};

inline std::unique_ptr<INetBattleSetup> MakeScriptedSetup()
{
    return std::make_unique<ScriptedSetup>();
}

// The game's own setup, its pages driven by the keys a player would press
// (a random match's road: the members page confirmed and left, the loadout
// done; the rules page then waits for the room, as the game's does). The
// players start choosing only once the match is made: both sit on the
// members page until the other's seat shows there. One key at a time, a
// few frames apart, once the page is active; the mouse stays where the
// keys moved it.
class KeyedSetup : public INetBattleSetup
{
public:
    static constexpr uint32_t kFrameMs = 17;
    static constexpr int kFramesBetweenKeys = 4;
    static constexpr int32_t kActivePhase = 1;

    bool Start(const NetSetupStart& start) override { return m_game.Start(start); }
    void Update() override
    {
        CBattleConfig& config = *m_game.GetConfig();
        SetupInput input;
        input.keys.SetCursor(m_cursor);
        const bool scripted = !m_script.empty() && config.GetPhase() != 0;
        const std::optional<MenuKey> key = scripted ? std::optional<MenuKey>(m_script.front()) : NextKey(config);
        if (key && --m_wait <= 0)
        {
            input.keys.SetPressed(*key, true);
            input.keys.SetHeld(*key, true);
            m_wait = kFramesBetweenKeys;
            if (scripted)
                m_script.erase(m_script.begin());
            if (m_beforeKey)
                std::exchange(m_beforeKey, nullptr)();
        }
        config.Step(input, kFrameMs);
        if (config.GetMouseTarget())
            m_cursor = *config.GetMouseTarget();
    }
    void Render() override {}
    uint32_t GetPage() const override { return m_game.GetPage(); }
    bool HasLeftMatch() const override { return m_game.HasLeftMatch(); }
    void SetPage(uint32_t page) override { m_game.SetPage(page); }
    void SetHost(bool host) override { m_game.SetHost(host); }
    void FollowOwnSeat(int32_t from, int32_t to) override { m_game.FollowOwnSeat(from, to); }
    bool OnPeerMessage(int32_t id, const uint8_t* payload, uint32_t length) override
    {
        return m_game.OnPeerMessage(id, payload, length);
    }
    // Keys the player presses next, in order, before any the pages wait for.
    void Press(std::initializer_list<MenuKey> keys) { m_script.insert(m_script.end(), keys); }
    bool Pressed() const { return m_script.empty(); }
    // Runs in the frame of the next key press, before the page takes it.
    void BeforeNextKey(std::function<void()> run) { m_beforeKey = std::move(run); }
    const CBattleConfig& GetConfig() { return *m_game.GetConfig(); }

private:
    static int HumanSeats(const tag_TOLQBATTLESETTING& setting)
    {
        int seats = 0;
        for (uint8_t i = 0; i < setting.playerCount; ++i)
            seats += setting.players[i].IsHuman() ? 1 : 0;
        return seats;
    }
    // The key the page waits for, if any.
    static std::optional<MenuKey> NextKey(const CBattleConfig& config)
    {
        if (config.GetPhase() != kActivePhase)
            return std::nullopt;
        const tag_TOLQBATTLESETTING* setting = config.GetSetting();
        switch (config.GetPage())
        {
        case INetBattleSetup::PAGE_MEMBERS:
            if (HumanSeats(*setting) < 2)
                return std::nullopt;
            // Right to the decide button; decide confirms, then goes on.
            return config.GetRow() == setting->playerCount ? MenuKey::Decide : MenuKey::Right;
        case INetBattleSetup::PAGE_WEAPONS:
            // Up round to the done button, then done.
            return config.GetRow() == CBattleConfig::ROW_DONE ? MenuKey::Decide : MenuKey::Up;
        default: return std::nullopt;
        }
    }

    CNetBattleSetup m_game;
    MenuPoint m_cursor{};
    int m_wait = kFramesBetweenKeys;
    std::vector<MenuKey> m_script;
    std::function<void()> m_beforeKey;
};

inline std::unique_ptr<INetBattleSetup> MakeKeyedSetup()
{
    return std::make_unique<KeyedSetup>();
}

inline ScriptedSetup* SetupOf(CNetworkScene& scene)
{
    return static_cast<ScriptedSetup*>(scene.GetSetup());
}

// The scenes' clock: moved by the test, and by every wait's sleep.
inline std::atomic<uint32_t>& FakeNow()
{
    static std::atomic<uint32_t> now{1000};
    return now;
}
inline uint32_t FakeClock()
{
    return FakeNow().load();
}
inline void FakeSleep(uint32_t milliseconds)
{
    FakeNow().fetch_add(milliseconds);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
}

inline CNetworkScene::Options SceneOptions(const char* local, CInput* input = nullptr)
{
    CNetworkScene::Options options;
    options.lobbyHost = "127.0.0.1";
    options.lobbyPort = 1;
    options.localAddress = local;
    options.ownPort = 0;
    options.portMapping = 0;
    options.loginId = "tester";
    options.framesPerBatch = 7;
    options.sendByte = 2;
    options.input = input;
    options.clock = &FakeClock;
    options.sleep = &FakeSleep;
    options.fixedFrameTime = 16;
    return options;
}

// A scene on its own address, with the scripted setup.
inline std::unique_ptr<CNetworkScene> MakeScene(const char* local, CInput* input = nullptr,
                                                uint32_t framesPerBatch = 7)
{
    CNetworkScene::SetSetupFactory(&MakeScriptedSetup);
    auto scene = std::make_unique<CNetworkScene>();
    CNetworkScene::Options options = SceneOptions(local, input);
    options.framesPerBatch = framesPerBatch;
    scene->SetOptions(options);
    if (scene->Init(0) != 1)
        return nullptr;
    return scene;
}

// The scene's session listening as a room's owner on a port the system
// gives it; the port, or 0 when it can't listen.
inline uint16_t ListenAsHost(CNetworkScene& scene, const char* local)
{
    CNetSession* session = scene.GetLobby()->GetSession();
    if (!session->SetLocalAddress(local) ||
        !session->ConfigureListen(0, &CNetworkScene::OnPeerConnected, &scene, &CNetworkScene::OnPeerMessage, &scene,
                                  &CNetworkScene::OnPeerDisconnected, &scene) ||
        !session->Listen())
        return 0;
    return session->GetListenPort();
}

// Listening without seating anybody: connections the scene did not make.
inline uint16_t ListenWithoutSeats(CNetworkScene& scene, const char* local)
{
    CNetSession* session = scene.GetLobby()->GetSession();
    if (!session->SetLocalAddress(local) ||
        !session->ConfigureListen(0, nullptr, nullptr, &CNetworkScene::OnPeerMessage, &scene,
                                  &CNetworkScene::OnPeerDisconnected, &scene) ||
        !session->Listen())
        return 0;
    return session->GetListenPort();
}

// The scene's lobby connects to a host as its guest, as a room's or a
// match's host answer makes it.
inline bool ConnectToHost(CNetworkScene& scene, const char* host, uint16_t port)
{
    in_addr address{};
    return ParseIPv4(host, &address) && scene.GetLobby()->ConnectAsGuest(address.s_addr, port);
}

// The scene as the lobby takes it into a room battle's setup.
inline void EnterRoom(CNetworkScene& scene)
{
    scene.GetLobby()->SetState(LOBBY_ROOM_BATTLE);
    scene.Update(0);
}

// A peer that speaks the match's messages byte by byte.
class RawPeer
{
public:
    struct Message
    {
        int32_t id;
        std::vector<uint8_t> payload;
    };

    explicit RawPeer(const char* local) : m_local(local)
    {
        m_session.Initialize(1, "QORBeta", "QORBeta", "QOR");
        m_session.SetLocalAddress(local);
    }
    ~RawPeer() { m_session.Shutdown(); }

    bool Connect(const char* host, uint16_t port)
    {
        return m_session.Connect(host, port, kNetKindTcp, &RawPeer::OnMessage, this, &RawPeer::OnDisconnected,
                                 this) == 1;
    }
    uint16_t Listen()
    {
        if (!m_session.ConfigureListen(0, &RawPeer::OnConnected, this, &RawPeer::OnMessage, this,
                                       &RawPeer::OnDisconnected, this) ||
            !m_session.Listen())
            return 0;
        return m_session.GetListenPort();
    }
    void Send(int16_t id, const std::vector<uint8_t>& payload)
    {
        m_session.SendToAll(id, kNetMatchSub, payload.data(), static_cast<uint32_t>(payload.size()), kNetKindTcp);
    }
    void SendU8(int16_t id, uint8_t value) { Send(id, {value}); }
    void Close() { m_session.Shutdown(); }
    CNetSession& Session() { return m_session; }

    size_t Count(int32_t id)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        size_t count = 0;
        for (const Message& message : m_messages)
            count += message.id == id ? 1 : 0;
        return count;
    }
    std::vector<Message> All(int32_t id)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        std::vector<Message> out;
        for (const Message& message : m_messages)
        {
            if (message.id == id)
                out.push_back(message);
        }
        return out;
    }
    bool WaitFor(int32_t id, size_t count, uint32_t timeoutMs = 10000)
    {
        return nettest::WaitUntil([&] { return Count(id) >= count; }, timeoutMs);
    }
    int Disconnects() const { return m_disconnects.load(); }
    int Connects() const { return m_connects.load(); }

private:
    static uint32_t OnMessage(void* argument, CNetClient*, const uint8_t* payload, int32_t id, uint32_t length)
    {
        RawPeer* self = static_cast<RawPeer*>(argument);
        std::lock_guard<std::mutex> guard(self->m_lock);
        self->m_messages.push_back({id, std::vector<uint8_t>(payload, payload + length)});
        return 1;
    }
    static uint32_t OnConnected(void* argument, CNetClient*)
    {
        static_cast<RawPeer*>(argument)->m_connects.fetch_add(1);
        return 1;
    }
    static uint32_t OnDisconnected(void* argument, CNetClient*)
    {
        static_cast<RawPeer*>(argument)->m_disconnects.fetch_add(1);
        return 1;
    }

    std::string m_local;
    CNetSession m_session;
    std::mutex m_lock;
    std::vector<Message> m_messages;
    std::atomic<int> m_connects{0};
    std::atomic<int> m_disconnects{0};
};

// The scene connected to a raw peer listening as a room's host, once the
// host has seen the connection (before any seat).
inline bool ConnectToRawHost(CNetworkScene& scene, RawPeer& host, const char* hostAddress)
{
    const uint16_t port = host.Listen();
    return port != 0 && ConnectToHost(scene, hostAddress, port) &&
           nettest::WaitUntil([&] { return host.Connects() == 1; }, 10000);
}

// Reads the setting under the scene lock.
template <class Reader>
auto WithSetting(CNetworkScene& scene, Reader reader)
{
    std::lock_guard<std::recursive_mutex> lock(scene.GetMatch().sceneLock);
    return reader(*scene.GetMatch().setting);
}

// Updates the scene until condition holds (bounded in real time).
template <class Condition>
bool UpdateUntil(CNetworkScene& scene, Condition condition, uint32_t timeoutMs = 10000)
{
    return nettest::WaitUntil(
        [&] {
            scene.Update(0);
            return condition();
        },
        timeoutMs);
}
} // namespace nettestscene
