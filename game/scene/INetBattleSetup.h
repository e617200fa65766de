#pragma once

// The battle setup as the network scene runs it, as its child: the pages on
// which the room's players pick the mode, the members, the rules and the
// weapons together. The network scene starts it, forwards its update and
// render and the peers' setup messages (3-6, once it has checked who sent
// them), and watches its page: start means fight with the setting, leave
// means back to the lobby.

#include <cstdint>
#include <memory>

class CGameConfig;
class CLobbyClient;
class CNetSession;
struct tag_TOLQBATTLESETTING;

// The setup's start block.
struct NetSetupStart
{
    uint32_t page = 0;            // the page to begin on
    float backgroundAlpha = 0.0f;
    float fade = 0.0f;
    int32_t phase = 0;            // the phase to begin in
    uint32_t online = 1;
    uint32_t host = 0;
    uint32_t randomMatch = 0;
    tag_TOLQBATTLESETTING* setting = nullptr;
    CNetSession* session = nullptr;
    CLobbyClient* lobby = nullptr;
    CGameConfig* config = nullptr; // null: the game application's
};

class INetBattleSetup
{
public:
    enum Page : uint32_t
    {
        PAGE_MODE = 0,
        PAGE_MEMBERS = 1,
        PAGE_RULES = 2,
        PAGE_WEAPONS = 3,
        PAGE_LEAVE = 4,
        PAGE_START = 5,
    };

    virtual ~INetBattleSetup() = default;
    // Starts the setup from the block; false when it can't.
    virtual bool Start(const NetSetupStart& start) = 0;
    virtual void Update() = 0;
    virtual void Render() = 0;
    virtual uint32_t GetPage() const = 0;
    // The player chose to leave its random match (the lobby is out of it
    // already), though the page may still fade out before it shows leave.
    virtual bool HasLeftMatch() const = 0;
    // Back to a page after a battle, the setting kept.
    virtual void SetPage(uint32_t page) = 0;
    // This side was given a seat by a host (a random match's setup starts
    // as every player's own): from now on its pages and rules come from
    // that host, and it passes nothing on.
    virtual void SetHost(bool host) = 0;
    // A random match's guest: its entry moved to the seat the host gave it
    // (the setup's cursor goes with it).
    virtual void FollowOwnSeat(int32_t /*from*/, int32_t /*to*/) {}
    // A peer's setup message (3 cursor, 4 rules, 5 seat, 6 whole seat):
    // false when it is refused.
    virtual bool OnPeerMessage(int32_t id, const uint8_t* payload, uint32_t length) = 0;
};

using NetBattleSetupFactory = std::unique_ptr<INetBattleSetup> (*)();
