#pragma once

// Drives lobby clients against the test server over loopback: ports free on
// every address a test uses, bounded waits that keep stepping the clients,
// and the key presses of the common walks (connect and log in).
#include "tests/net/NetTestSupport.h"

#include "engine/platform/CImeInput.h"
#include "net/lobby/CLobbyClient.h"

#include <chrono>
#include <functional>
#include <initializer_list>
#include <thread>
#include <vector>

namespace lobbytest
{
constexpr float kFrameSeconds = 0.05f;

inline size_t UserCount(CLobbyClient& client)
{
    auto lock = client.Lock();
    return client.GetUsers().size();
}

// A port free for TCP and UDP on every one of the addresses.
inline uint16_t FreePortOn(std::initializer_list<const char*> addresses)
{
    return nettest::ClaimFreePort(addresses, {SOCK_STREAM, SOCK_DGRAM});
}

// Steps every client a frame at a time until condition holds (bounded).
inline bool StepUntil(std::initializer_list<CLobbyClient*> clients, const std::function<bool()>& condition,
                      uint32_t timeoutMs = 20000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        for (CLobbyClient* client : clients)
            client->Update(kFrameSeconds);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline bool StepToState(CLobbyClient& client, LobbyState state, uint32_t timeoutMs = 20000)
{
    return StepUntil({&client}, [&] { return client.GetState() == state; }, timeoutMs);
}

// Every peer of the client still connected has answered the last
// keep-alive.
inline bool KeepAlivesAnswered(CLobbyClient& client)
{
    for (const NetClientPtr& peer : client.GetSession()->GetPeers())
        if (peer->HasLiveConnection() && peer->GetKeepAliveMiss() != 0)
            return false;
    return true;
}

// Frames of the clients until condition holds; after each, a bounded wait
// for the peers' answers to any keep-alive it sent. The peers answer on
// threads of their own, which a busy machine may hold back for longer than
// the frames of upkeep between two keep-alives: without the wait a late
// answer would cut a peer that did answer.
inline bool StepAnswered(std::initializer_list<CLobbyClient*> clients, const std::function<bool()>& condition,
                         uint32_t timeoutMs = 20000)
{
    return StepUntil({}, [&] {
        for (CLobbyClient* client : clients)
        {
            client->Update(kFrameSeconds);
            nettest::WaitUntil([&] { return KeepAlivesAnswered(*client); }, 2000);
        }
        return condition();
    }, timeoutMs);
}

// Whether a room's owner holds the guest at that address and has taken its
// greeting in: from then on no admission time cuts the guest. Until then
// the owner's frames wait, as each counts towards that time, which a busy
// machine may hold the greeting back past.
inline bool HoldsGuest(CLobbyClient& owner, const char* guest)
{
    NetClientPtr peer = owner.GetSession()->FindPeer(guest);
    return peer && peer->HasLiveConnection() && peer->IsAdmitted();
}

inline void SetUpClient(CLobbyClient& client, const char* local, uint16_t lobbyPort, uint16_t ownPort,
                        const char* loginId)
{
    client.Initialize(nullptr, "QOR", "", nullptr, nullptr, nullptr);
    client.SetLobbyHost("127.0.0.1", lobbyPort);
    client.SetLocalAddress(local);
    client.SetOwnPort(ownPort);
    client.SetLoginId(loginId);
    client.SetLineTestPause(0);
    client.SetConnectTimeout(3000);
}

// From the start to the login editor (LOBBY_LOGIN) or whatever the server
// makes of the connection.
inline LobbyState ConnectClient(CLobbyClient& client)
{
    if (!StepToState(client, LOBBY_BETA_NOTICE))
        return client.GetState();
    client.OnInput(LOBBY_KEY_DECIDE);
    StepUntil({&client}, [&] { return client.GetState() != LOBBY_CONNECT && client.GetState() != LOBBY_CONNECTING; });
    return client.GetState();
}

// Through the login editor with a password to the lobby (LOBBY_IN_LOBBY).
inline bool LogIn(CLobbyClient& client, const char* password)
{
    if (ConnectClient(client) != LOBBY_LOGIN)
        return false;
    client.OnInput(LOBBY_KEY_DOWN);
    client.GetEditor()->Insert(password);
    client.OnInput(LOBBY_KEY_DOWN);
    client.OnInput(LOBBY_KEY_DECIDE);
    return StepToState(client, LOBBY_IN_LOBBY);
}
} // namespace lobbytest
