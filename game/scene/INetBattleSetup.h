#pragma once

// The battle setup as the network scene runs it, as its child: the pages on
// which the room's players pick the mode, the members, the rules and the
// weapons together. The network scene starts it, forwards its update and
// render, tells it the host's page changes, and watches its page: start
// means fight with the setting, leave means back to the lobby.

#include <cstdint>
#include <memory>

class CLobbyClient;
class CNetSession;
struct tag_TOLQBATTLESETTING;

// The setup's start block, word by word.
struct NetSetupStart
{
    uint32_t page = 0;            // the page to begin on
    float backgroundAlpha = 0.0f;
    float fade = 0.0f;
    uint32_t phase = 0;           // the phase to begin in
    uint32_t online = 1;
    uint32_t host = 0;
    uint32_t randomMatch = 0;
    tag_TOLQBATTLESETTING* setting = nullptr;
    CNetSession* session = nullptr;
    CLobbyClient* lobby = nullptr;
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
    // (Re)starts the setup from the block; false when it can't.
    virtual bool Start(const NetSetupStart& start) = 0;
    virtual void Update() = 0;
    virtual void Render() = 0;
    virtual uint32_t GetPage() const = 0;
    // The host's page cursor (fade-out phase, the phase after it).
    virtual void SetCursor(int32_t phase, int32_t nextPhase) = 0;
};

using NetBattleSetupFactory = std::unique_ptr<INetBattleSetup> (*)();
