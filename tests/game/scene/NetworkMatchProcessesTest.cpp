// Four game processes on 127.0.0.1-127.0.0.3 (the last two behind one
// router: one address) and the test lobby server: each logs in, the first
// makes a room, the others join it, they run the setup and fight one
// headless battle in lockstep with scripted pads and frame times that
// vary, each writing its per-frame state hash to a board they share with
// the test. A guest is killed mid-battle; another stops itself (SIGSTOP)
// at its 1,500th frame, is woken 7 s later and must have left the room,
// while the others play on to 3,000 frames; there the host and the last
// guest hold still while the test sees the host in its room with that
// guest; then the host is killed and the last guest must be back in the
// lobby (the stopped guest and the last one with the lost-connection
// notice).
// Two more meet by random matching instead: the lobby's match, the game's
// own setup driven by keys, a battle in lockstep, and both back in the
// lobby when the match's host leaves it.
//
// The players are fresh processes (this test program run again with a
// role), so that none inherits threads or a graphics device.
#include "tests/engine/core/TempFolder.h"
#include "tests/game/battle/BattleTestData.h"
#include "tests/game/scene/NetSceneHarness.h"
#include "tests/net/lobby/LobbyLoopbackSupport.h"
#include "tests/net/lobby/LobbyTestServer.h"

#include "engine/platform/CImeInput.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/PlatformClock.h"
#include "game/app/GameServices.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/MenuKeys.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

using namespace nettestscene;

namespace
{
constexpr int kPlayers = 4;
constexpr uint32_t kFrames = 3000;
// The guest killed once it has stepped this many frames.
constexpr uint32_t kDepartureFrame = 1000;
constexpr int kLeaver = 3;
// The guest stopped once it has stepped this many frames, and for how long:
// long past the host's patience and its own frame wait.
constexpr int kSleeper = 2;
constexpr uint32_t kSleepFrame = 1500;
constexpr uint32_t kSleepMs = 7000;
constexpr uint32_t kFramesPerBatch = 6;
// This player and those after it share its address.
constexpr int kSharedAddressRole = 2;
// The test server numbers its rooms from here: the host's room.
constexpr uint32_t kRoom = 501;
// A random match: two players, this many frames, then the host leaves.
constexpr int kMatchPlayers = 2;
constexpr uint32_t kMatchFrames = 600;
constexpr const char* kRoleVariable = "KVR_MATCH_ROLE";
constexpr const char* kModeVariable = "KVR_MATCH_MODE";
constexpr const char* kRandomMode = "random";
constexpr const char* kBoardVariable = "KVR_MATCH_BOARD";
constexpr const char* kLobbyPortVariable = "KVR_MATCH_LOBBY_PORT";
constexpr const char* kHostPortVariable = "KVR_MATCH_HOST_PORT";
// How many updates a guest may run without a frame before it gives its
// host up: every such update waits one slice of the frame wait, so the wait
// holds at most this many (a busy machine only makes each one longer), and
// a few more around it.
constexpr uint32_t kMostUpdatesWithoutFrames =
    CNetworkScene::kFrameWaitMilliseconds / CNetworkScene::kWaitSliceMilliseconds + 10;
// Batches the host plays on past the guest's stop: well past what the
// stopped guest's last records could carry it.
constexpr uint32_t kPlayOnBatches = 4;
// How many updates the host may run from the guest's stop until it has
// played on that far: for each batch (and the one under way) it samples and
// steps the batch's frames, one an update, and waits for its guests'
// records one slice of the wait an update, until it drops the guest that
// sent none (a busy machine only makes each update longer).
constexpr uint32_t kMostUpdatesToPlayOn =
    (kPlayOnBatches + 1) *
    (2 * kFramesPerBatch + CNetworkScene::kGuestStallMilliseconds / CNetworkScene::kWaitSliceMilliseconds + 10);

enum class Phase : uint32_t
{
    Starting,
    LoggedIn,
    InRoom,
    Fighting,
    Done,     // the frames are in
    InLobby,  // a guest back in the lobby after its host went
    Woke,     // the stopped guest out of the room after it woke
    Held,     // at the battle's end, holding still until the test lets it go on
    Failed,
};

// What the players and the test share, in a file each maps.
struct Board
{
    std::atomic<uint32_t> phase[kPlayers];
    std::atomic<uint32_t> stepped[kPlayers];
    // Updates a player has run in the battle.
    std::atomic<uint32_t> updates[kPlayers];
    // Updates a guest ran after its last battle frame until it was back in
    // the lobby.
    std::atomic<uint32_t> updatesWithoutFrames[kPlayers];
    // A random match's host has been made (its lobby hosts the match).
    std::atomic<uint32_t> hosting;
    // The test lets the players that hold at the battle's end go on.
    std::atomic<uint32_t> goOn;
    uint64_t hashes[kPlayers][kFrames];
    char error[kPlayers][160];
    char setting[kPlayers][256];
};

uint64_t MonotonicMs()
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

// The players' scene clock. It stands still while a player holds at the
// battle's end, so that the time the test takes to look at the room counts
// in none of the player's waits (its frame wait, its keep-alives) once it
// goes on. Receive threads read it too.
class HoldingClock
{
public:
    static uint32_t Now()
    {
        std::lock_guard<std::mutex> guard(s_lock);
        return s_holding ? s_heldAt : GetTickMilliseconds() - s_heldMs;
    }
    static void Hold()
    {
        std::lock_guard<std::mutex> guard(s_lock);
        s_heldAt = GetTickMilliseconds() - s_heldMs;
        s_holding = true;
    }
    static void GoOn()
    {
        std::lock_guard<std::mutex> guard(s_lock);
        s_heldMs = GetTickMilliseconds() - s_heldAt;
        s_holding = false;
    }

private:
    static inline std::mutex s_lock;
    static inline bool s_holding = false;
    static inline uint32_t s_heldAt = 0;
    static inline uint32_t s_heldMs = 0;
};

Board* MapBoard(const std::string& path, bool create)
{
    const int fd = open(path.c_str(), create ? O_RDWR | O_CREAT | O_TRUNC : O_RDWR, 0600);
    if (fd < 0)
        return nullptr;
    if (create && ftruncate(fd, sizeof(Board)) != 0)
    {
        close(fd);
        return nullptr;
    }
    void* memory = mmap(nullptr, sizeof(Board), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    return memory == MAP_FAILED ? nullptr : static_cast<Board*>(memory);
}

// ---------------------------------------------------------------- a player

class Player
{
public:
    Player(int role, Board* board, bool randomMatch) : m_role(role), m_board(board), m_randomMatch(randomMatch) {}

    bool Run()
    {
        battletest::BattleData::Install();
        if (battletest::BattleData::Get() == nullptr)
            return Fail(battletest::BattleData::GetError().c_str());
        CNetworkScene::SetSetupFactory(m_randomMatch ? &MakeKeyedSetup : &MakeScriptedSetup);
        // The battle's menus read the game's input object.
        if (m_randomMatch)
            g_pInput = &m_input;
        const std::string local = "127.0.0." + std::to_string(1 + std::min(m_role, kSharedAddressRole));
        CNetworkScene::Options options = SceneOptions(local.c_str(), &m_input);
        options.clock = &HoldingClock::Now;
        options.sleep = nullptr;
        options.lobbyPort = static_cast<uint16_t>(std::atoi(std::getenv(kLobbyPortVariable)));
        options.ownPort = m_role == 0 ? std::atoi(std::getenv(kHostPortVariable)) : 0;
        options.loginId = "player" + std::to_string(m_role);
        options.framesPerBatch = kFramesPerBatch;
        options.connectTimeoutMs = 3000;
        // The host sends the frame times the test sets (see Fight).
        options.fixedFrameTime = 0;
        m_scene.SetOptions(options);
        if (m_scene.Init(0) != 1)
            return Fail("the scene did not start");
        const bool played = m_randomMatch ? LogIn() && AskForAMatch() && FightTheMatch()
                                          : LogIn() && (m_role == 0 ? HostRoom() : JoinRoom()) && Fight();
        m_scene.Release();
        g_pInput = nullptr;
        return played;
    }

private:
    CLobbyClient& Lobby() { return *m_scene.GetLobby(); }

    bool Fail(const char* why)
    {
        std::snprintf(m_board->error[m_role], sizeof(m_board->error[m_role]), "%s (lobby state %d, scene state %u, %zu peers)",
                      why, Lobby().GetState(), static_cast<uint32_t>(m_scene.GetState()),
                      Lobby().GetSession() != nullptr ? Lobby().GetSession()->GetPeerCount() : 0);
        m_board->phase[m_role].store(static_cast<uint32_t>(Phase::Failed));
        return false;
    }

    // Lobby frames until condition holds (bounded).
    template <class Condition>
    bool Step(Condition condition, const char* what, uint32_t timeoutMs = 60000)
    {
        const uint64_t end = MonotonicMs() + timeoutMs;
        while (!condition())
        {
            if (MonotonicMs() > end)
                return Fail(what);
            m_scene.Update(0);
            if (m_randomMatch && Lobby().GetState() == LOBBY_MATCH_HOST)
                m_board->hosting.store(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    bool StepToLobbyState(LobbyState state, const char* what)
    {
        return Step([&] { return Lobby().GetState() == state; }, what);
    }

    bool LogIn()
    {
        // The match goes to the first who asked for it, the player that
        // logged in first: the one whose room port is free (role 0).
        if (m_randomMatch && m_role != 0 &&
            !Step([&] { return m_board->phase[0].load() >= static_cast<uint32_t>(Phase::LoggedIn); },
                  "the match's host never logged in"))
            return false;
        if (!StepToLobbyState(LOBBY_BETA_NOTICE, "no beta notice"))
            return false;
        Lobby().OnInput(LOBBY_KEY_DECIDE);
        if (!StepToLobbyState(LOBBY_LOGIN, "no login editor"))
            return false;
        Lobby().OnInput(LOBBY_KEY_DOWN);
        Lobby().GetEditor()->Insert("pw");
        Lobby().OnInput(LOBBY_KEY_DOWN);
        Lobby().OnInput(LOBBY_KEY_DECIDE);
        if (!StepToLobbyState(LOBBY_IN_LOBBY, "not logged in"))
            return false;
        m_board->phase[m_role].store(static_cast<uint32_t>(Phase::LoggedIn));
        return true;
    }

    // The random-match editor: a single battle on points, no computers, a
    // limit the scripted pads won't reach; then ask.
    bool AskForAMatch()
    {
        const int32_t keys[] = {LOBBY_KEY_LEFT,  LOBBY_KEY_DECIDE, LOBBY_KEY_DOWN,  LOBBY_KEY_DOWN,  LOBBY_KEY_RIGHT,
                                LOBBY_KEY_DOWN,  LOBBY_KEY_RIGHT,  LOBBY_KEY_DOWN,  LOBBY_KEY_DOWN,  LOBBY_KEY_RIGHT,
                                LOBBY_KEY_DOWN,  LOBBY_KEY_LEFT,   LOBBY_KEY_DOWN,  LOBBY_KEY_DECIDE};
        for (int32_t key : keys)
            Lobby().OnInput(key);
        // The second to ask is held in the step into its setup (a slow
        // frame) while the first is made the match's host: the host's answer
        // comes before this side's setup is there to take it.
        if (m_role != 0 && !HoldUntilHosted())
            return false;
        if (!Step([&] { return m_scene.GetState() == CNetworkScene::NetSceneState::Room; }, "no random match"))
            return false;
        m_board->phase[m_role].store(static_cast<uint32_t>(Phase::InRoom));
        return true;
    }

    // No frame of this side's own until the other side hosts the match.
    bool HoldUntilHosted()
    {
        const uint64_t end = MonotonicMs() + 60000;
        while (m_board->hosting.load() == 0)
        {
            if (MonotonicMs() > end)
                return Fail("the match's host was never made");
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    // A button pressed for one stepped battle frame.
    void PressInBattle(uint8_t button)
    {
        tag_KVRPADSTATE* pad = m_input.GetPadState(0);
        pad->pressed.button[button] = 1;
        const uint32_t before = m_scene.GetSteppedFrames();
        Step([&] { return m_scene.GetSteppedFrames() != before || m_scene.GetBattle() == nullptr; }, "no frame");
        pad->pressed.button[button] = 0;
    }

    // The match's battle: every side records its hashes; once both have
    // the frames, the host leaves by its pause menu ("ロビーに戻る"), which
    // takes the guest along, and both are back in the lobby.
    bool FightTheMatch()
    {
        if (!Step([&] { return m_scene.GetState() == CNetworkScene::NetSceneState::Battle; }, "no battle"))
            return false;
        m_board->phase[m_role].store(static_cast<uint32_t>(Phase::Fighting));
        DescribeSetting();
        const uint64_t end = MonotonicMs() + 240000;
        bool left = false;
        for (uint32_t update = 0; MonotonicMs() < end; ++update)
        {
            if (m_board->stepped[m_role].load() < kMatchFrames)
                ScriptPad(update);
            else
                *m_input.GetPadState(0) = tag_KVRPADSTATE();
            UpdateAndRecord(update, kMatchFrames);
            if (m_scene.GetState() != CNetworkScene::NetSceneState::Battle)
                break;
            const bool bothDone = m_board->stepped[0].load() >= kMatchFrames && m_board->stepped[1].load() >= kMatchFrames;
            if (m_role == 0 && bothDone && !left)
            {
                // The pause menu: back to the battle, the lobby, the title.
                PressInBattle(CBattleConsole::BUTTON_MENU);
                PressInBattle(MenuKeyButton(MenuKey::Down));
                PressInBattle(CBattleConsole::BUTTON_DECIDE);
                left = true;
            }
        }
        if (m_scene.GetState() == CNetworkScene::NetSceneState::Battle)
            return Fail("the match outlasted the test");
        if (m_board->stepped[m_role].load() < kMatchFrames || !StepToLobbyState(LOBBY_IN_LOBBY, "not in the lobby"))
            return Fail("left the match early");
        m_board->phase[m_role].store(static_cast<uint32_t>(Phase::InLobby));
        return true;
    }

    bool HostRoom()
    {
        for (int pane = 0; pane < 3; ++pane)
            Lobby().OnInput(LOBBY_KEY_RIGHT);
        Lobby().OnInput(LOBBY_KEY_DECIDE);
        Lobby().OnInput(LOBBY_KEY_DOWN);
        Lobby().GetEditor()->Insert("Arena");
        Lobby().OnInput(LOBBY_KEY_UP);
        Lobby().OnInput(LOBBY_KEY_DECIDE);
        if (!StepToLobbyState(LOBBY_ROOM, "no room"))
            return false;
        const bool seated = Step(
            [&] {
                std::lock_guard<std::recursive_mutex> lock(m_scene.GetMatch().sceneLock);
                for (int slot = 1; slot < kPlayers; ++slot)
                {
                    if (m_scene.GetMatch().slotPeer[slot].empty())
                        return false;
                }
                return true;
            },
            "the guests were not seated");
        if (!seated)
            return false;
        Lobby().OnInput(LOBBY_KEY_RIGHT);
        Lobby().OnInput(LOBBY_KEY_RIGHT);
        Lobby().OnInput(LOBBY_KEY_DECIDE);
        Lobby().OnInput(LOBBY_KEY_DECIDE);
        if (!Step([&] { return m_scene.GetState() == CNetworkScene::NetSceneState::Room; }, "no setup"))
            return false;
        m_board->phase[m_role].store(static_cast<uint32_t>(Phase::InRoom));
        // The players take their time on the setup's pages: everybody is
        // there before the host goes on.
        const bool together = Step(
            [&] {
                for (int role = 1; role < kPlayers; ++role)
                {
                    if (m_board->phase[role].load() != static_cast<uint32_t>(Phase::InRoom))
                        return false;
                }
                return true;
            },
            "the guests did not come to the setup");
        if (!together)
            return false;
        // What the setup's pages would settle: the empty seats closed, a
        // limit the scripted pads won't reach, then start.
        {
            std::lock_guard<std::recursive_mutex> lock(m_scene.GetMatch().sceneLock);
            tag_TOLQBATTLESETTING& setting = *m_scene.GetMatch().setting;
            CNetSession* session = Lobby().GetSession();
            for (uint8_t slot = kPlayers; slot < setting.playerCount; ++slot)
            {
                setting.players[slot].slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
                const std::vector<uint8_t> bytes =
                    SetupMessages::EncodeSummary(SetupMessages::SummaryOf(setting.players[slot], slot));
                session->SendToAll(NETMSG_SUMMARY, kNetMatchSub, bytes.data(), static_cast<uint32_t>(bytes.size()),
                                   kNetKindTcp);
            }
            setting.rules.limit = 9;
            const std::vector<uint8_t> rules = SetupMessages::EncodeRules(setting.rules);
            session->SendToAll(NETMSG_RULES, kNetMatchSub, rules.data(), static_cast<uint32_t>(rules.size()),
                               kNetKindTcp);
        }
        SetupOf(m_scene)->Go();
        return true;
    }

    // The room may be listed before its owner listens: a refused entry is
    // tried again.
    bool JoinRoom()
    {
        for (int attempt = 0; attempt < 20; ++attempt)
        {
            const bool listed = Step(
                [&] {
                    auto lock = Lobby().Lock();
                    return !Lobby().GetRooms().empty();
                },
                "no room listed");
            if (!listed)
                return false;
            Lobby().OnInput(LOBBY_KEY_DECIDE);
            if (!StepToLobbyState(LOBBY_ROOM_INFO, "no room info"))
                return false;
            Lobby().OnInput(LOBBY_KEY_LEFT);
            Lobby().OnInput(LOBBY_KEY_DECIDE);
            const bool answered = Step(
                [&] {
                    const LobbyState state = Lobby().GetState();
                    return state == LOBBY_NOT_ENTERED || state >= LOBBY_ROOM ||
                           m_scene.GetState() != CNetworkScene::NetSceneState::Lobby;
                },
                "no answer to entering");
            if (!answered)
                return false;
            if (Lobby().GetState() != LOBBY_NOT_ENTERED)
                break;
            Lobby().OnInput(LOBBY_KEY_DECIDE);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!Step([&] { return m_scene.GetState() == CNetworkScene::NetSceneState::Room; }, "no setup"))
            return false;
        m_board->phase[m_role].store(static_cast<uint32_t>(Phase::InRoom));
        return true;
    }

    // What the battle was built from, for a report when hashes part.
    void DescribeSetting()
    {
        std::lock_guard<std::recursive_mutex> lock(m_scene.GetMatch().sceneLock);
        const tag_TOLQBATTLESETTING& s = *m_scene.GetMatch().setting;
        char* out = m_board->setting[m_role];
        const size_t size = sizeof(m_board->setting[m_role]);
        int used = std::snprintf(out, size, "seed %u rule %u limit %u own %u |", s.seed, s.rules.rule, s.rules.limit,
                                 s.ownSlot);
        for (uint32_t i = 0; i < s.playerCount && used > 0 && static_cast<size_t>(used) < size; ++i)
        {
            const tag_TOLQBATTLEPLAYER& e = s.players[i];
            used += std::snprintf(out + used, size - static_cast<size_t>(used), " %d/%d/%u/%u/%u/%u/%s", e.slotState,
                                  e.character, e.randomCharacter, e.team, e.characterCount, e.localInput,
                                  e.name != nullptr ? e.name : "-");
        }
    }

    // Each side's own scripted play: a stick that wanders, buttons pressed
    // in turns, a mouse that sways. Never the menu or list buttons.
    // One update of the scene; each battle frame it steps, up to lastFrame,
    // leaves its hash on the board, and the last one marks this side done.
    // A frame's time as a machine measures it, which varies; the host sends
    // it with each frame, capped at 18 ms.
    void UpdateAndRecord(uint32_t update, uint32_t lastFrame)
    {
        SetFrameTime(10 + (update * 7) % 13);
        const uint32_t before = m_scene.GetSteppedFrames();
        m_scene.Update(0);
        const uint32_t stepped = m_scene.GetSteppedFrames();
        if (stepped == before || stepped > lastFrame || m_scene.GetBattle() == nullptr)
            return;
        m_board->hashes[m_role][stepped - 1] = m_scene.GetBattle()->GetStateHash();
        m_board->stepped[m_role].store(stepped);
        if (stepped == lastFrame)
            m_board->phase[m_role].store(static_cast<uint32_t>(Phase::Done));
    }

    void ScriptPad(uint32_t update)
    {
        tag_KVRPADSTATE* pad = m_input.GetPadState(0);
        const uint32_t r = static_cast<uint32_t>(m_role);
        pad->leftX = static_cast<float>(static_cast<int32_t>((update / 40 + r) % 3) - 1) * 0.8f;
        pad->leftY = static_cast<float>(static_cast<int32_t>((update / 55 + 2 * r) % 3) - 1) * 0.6f;
        pad->mouseDeltaX = static_cast<float>(static_cast<int32_t>(update % 7) - 3);
        pad->mouseDeltaY = static_cast<float>(static_cast<int32_t>((update + r) % 5) - 2);
        for (uint32_t button = 16; button < 30; ++button)
            pad->held.button[button] = 0;
        if (update % 30 < 10)
            pad->held.button[16 + (update / 30 + r) % 14] = 1;
    }

    bool Fight()
    {
        if (!Step([&] { return m_scene.GetState() == CNetworkScene::NetSceneState::Battle; }, "no battle"))
            return false;
        m_board->phase[m_role].store(static_cast<uint32_t>(Phase::Fighting));
        DescribeSetting();
        const uint64_t end = MonotonicMs() + 400000;
        uint32_t lastFrameUpdate = 0;
        bool slept = false;
        bool held = false;
        for (uint32_t update = 0; MonotonicMs() < end; ++update)
        {
            m_board->updates[m_role].store(update);
            ScriptPad(update);
            const uint32_t before = m_scene.GetSteppedFrames();
            UpdateAndRecord(update, kFrames);
            if (m_scene.GetSteppedFrames() != before)
                lastFrameUpdate = update;
            SleepAtItsFrame(&slept);
            if (!HoldAtTheEnd(end, &held))
                return false;
            if (m_scene.GetState() == CNetworkScene::NetSceneState::Battle)
                continue;
            // A guest dropped from the battle is back in the lobby, told
            // that the connection was lost.
            if (m_role == 0 || Lobby().GetState() != LOBBY_ROOM_LOST)
                return Fail("left the battle");
            if (m_role == kSleeper)
            {
                m_board->phase[m_role].store(static_cast<uint32_t>(Phase::Woke));
                return true;
            }
            if (m_board->stepped[m_role].load() < kFrames)
                return Fail("left the battle");
            m_board->updatesWithoutFrames[m_role].store(update - lastFrameUpdate);
            m_board->phase[m_role].store(static_cast<uint32_t>(Phase::InLobby));
            return true;
        }
        return Fail("the battle outlasted the test");
    }

    // The sleeper stops itself at its frame, once, as a busy machine or a
    // suspended laptop would stop it: where it stopped is the test's to
    // know, however far a busy machine lets the others run before the test
    // looks (the test wakes it).
    void SleepAtItsFrame(bool* slept)
    {
        if (m_role != kSleeper || *slept || m_board->stepped[m_role].load() < kSleepFrame)
            return;
        *slept = true;
        raise(SIGSTOP);
    }

    // The host and the guest that stays hold still, without an update,
    // once both have the battle's frames, until the test lets them go on:
    // neither takes the other for silent while the test looks at the room.
    bool HoldAtTheEnd(uint64_t end, bool* held)
    {
        if (m_role == kSleeper || m_role == kLeaver || *held || m_board->stepped[0].load() < kFrames ||
            m_board->stepped[m_role].load() < kFrames)
            return true;
        *held = true;
        HoldingClock::Hold();
        m_board->phase[m_role].store(static_cast<uint32_t>(Phase::Held));
        while (m_board->goOn.load() == 0)
        {
            if (MonotonicMs() > end)
                return Fail("held past the test's end");
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        HoldingClock::GoOn();
        return true;
    }

    int m_role;
    Board* m_board;
    bool m_randomMatch;
    CInput m_input;
    CNetworkScene m_scene;
};

// ---------------------------------------------------------------- the test's side

std::string BoardErrors(const Board& board)
{
    std::string out;
    for (int role = 0; role < kPlayers; ++role)
        out += "player " + std::to_string(role) + ": " + board.error[role] + " [" + board.setting[role] + "]\n";
    return out;
}

// Each player a process of its own, this test program run again with its
// role. Each player's environment is made before the fork: the server's
// thread runs, so the child only calls exec. Stops at the first that does
// not start.
std::vector<std::unique_ptr<nettest::ChildProcess>> StartPlayers(int count, const char* mode,
                                                                 const std::string& boardPath, uint16_t lobbyPort,
                                                                 uint16_t hostPort)
{
    std::vector<std::unique_ptr<nettest::ChildProcess>> players;
    for (int role = 0; role < count; ++role)
    {
        std::vector<std::string> variables;
        for (char** entry = environ; *entry != nullptr; ++entry)
            variables.emplace_back(*entry);
        variables.push_back(std::string(kRoleVariable) + "=" + std::to_string(role));
        variables.push_back(std::string(kModeVariable) + "=" + mode);
        variables.push_back(std::string(kBoardVariable) + "=" + boardPath);
        variables.push_back(std::string(kLobbyPortVariable) + "=" + std::to_string(lobbyPort));
        variables.push_back(std::string(kHostPortVariable) + "=" + std::to_string(hostPort));
        std::vector<char*> environment;
        for (std::string& variable : variables)
            environment.push_back(variable.data());
        environment.push_back(nullptr);
        const char* arguments[] = {"test_game_scene", "--gtest_filter=NetworkMatchPlayer.PlaysItsRole", nullptr};
        auto player = std::make_unique<nettest::ChildProcess>([&] {
            execve("/proc/self/exe", const_cast<char* const*>(arguments), environment.data());
            return 127;
        });
        if (!player->Started())
            break;
        players.push_back(std::move(player));
    }
    return players;
}
}

// The role of one player process; skipped when the test program runs
// without a role.
TEST(NetworkMatchPlayer, PlaysItsRole)
{
    const char* role = std::getenv(kRoleVariable);
    if (role == nullptr)
        GTEST_SKIP() << "run by NetworkMatchProcesses";
    Board* board = MapBoard(std::getenv(kBoardVariable), false);
    ASSERT_NE(board, nullptr);
    const char* mode = std::getenv(kModeVariable);
    Player player(std::atoi(role), board, mode != nullptr && std::strcmp(mode, kRandomMode) == 0);
    EXPECT_TRUE(player.Run()) << board->error[std::atoi(role)];
}

TEST(NetworkMatchProcesses, FourPlayersFightInLockstepSurviveADepartureAndAStopAndAreBackInTheLobbyWhenTheHostGoes)
{
    TempFolder folder;
    const std::string boardPath = (folder.Path() / "board").string();
    Board* board = MapBoard(boardPath, true);
    ASSERT_NE(board, nullptr);
    const uint16_t lobbyPort = lobbytest::FreePortOn({"127.0.0.1", "127.0.0.2", "127.0.0.3"});
    const uint16_t hostPort = lobbytest::FreePortOn({"127.0.0.1"});
    ASSERT_NE(lobbyPort, 0);
    ASSERT_NE(hostPort, 0);
    ASSERT_NE(lobbyPort, hostPort);
    lobbytest::LobbyTestServer server;
    ASSERT_TRUE(server.Start("127.0.0.1", lobbyPort));
    server.RunInThread();

    std::vector<std::unique_ptr<nettest::ChildProcess>> players =
        StartPlayers(kPlayers, "room", boardPath, lobbyPort, hostPort);
    ASSERT_EQ(players.size(), static_cast<size_t>(kPlayers));

    ASSERT_TRUE(nettest::WaitUntil([&] { return board->stepped[kLeaver].load() >= kDepartureFrame ||
                                          board->phase[kLeaver].load() == static_cast<uint32_t>(Phase::Failed); },
                             240000))
        << BoardErrors(*board);
    ASSERT_NE(board->phase[kLeaver].load(), static_cast<uint32_t>(Phase::Failed)) << BoardErrors(*board);
    players[kLeaver]->Kill();
    EXPECT_EQ(players[kLeaver]->Wait(10000), -1);
    const uint32_t leftAfter = board->stepped[kLeaver].load();

    // A guest stops at its frame, as a busy machine or a suspended laptop
    // would stop it: the others play on without it.
    ASSERT_TRUE(nettest::WaitUntil([&] { return players[kSleeper]->HasStopped() ||
                                          board->phase[kSleeper].load() == static_cast<uint32_t>(Phase::Failed); },
                             240000))
        << BoardErrors(*board);
    ASSERT_NE(board->phase[kSleeper].load(), static_cast<uint32_t>(Phase::Failed)) << BoardErrors(*board);
    const uint64_t stoppedAt = MonotonicMs();
    const uint32_t hostAtStop = board->stepped[0].load();
    const uint32_t hostUpdatesAtStop = board->updates[0].load();
    // The host plays on within the updates its waits allow, however long a
    // busy machine takes for them; the guest sleeps at least 7 s, and on
    // until then. A host that reaches the battle's end has played on too.
    const uint32_t hostPlayedOn = std::min(hostAtStop + kPlayOnBatches * kFramesPerBatch, kFrames - 1);
    ASSERT_TRUE(nettest::WaitUntil(
        [&] {
            return board->phase[0].load() == static_cast<uint32_t>(Phase::Failed) ||
                   board->stepped[0].load() > hostPlayedOn ||
                   board->updates[0].load() - hostUpdatesAtStop > kMostUpdatesToPlayOn;
        },
        240000))
        << "the host stopped updating while the guest slept\n"
        << BoardErrors(*board);
    ASSERT_GT(board->stepped[0].load(), hostPlayedOn) << "the host did not play on while the guest slept\n"
                                                      << BoardErrors(*board);
    const uint64_t slept = MonotonicMs() - stoppedAt;
    if (slept < kSleepMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(kSleepMs - slept));
    const uint32_t sleptAfter = board->stepped[kSleeper].load();
    ASSERT_TRUE(players[kSleeper]->Signal(SIGCONT));
    EXPECT_EQ(players[kSleeper]->Wait(60000), 0) << BoardErrors(*board);
    ASSERT_EQ(board->phase[kSleeper].load(), static_cast<uint32_t>(Phase::Woke)) << BoardErrors(*board);
    const uint32_t wokeAfter = board->stepped[kSleeper].load();

    // The host and the guest that stays hold at the battle's end.
    ASSERT_TRUE(nettest::WaitUntil(
        [&] {
            for (int role : {0, 1})
            {
                if (board->phase[role].load() == static_cast<uint32_t>(Phase::Failed))
                    return true;
                if (board->phase[role].load() != static_cast<uint32_t>(Phase::Held))
                    return false;
            }
            return true;
        },
        240000))
        << BoardErrors(*board);
    for (int role : {0, 1})
        ASSERT_EQ(board->stepped[role].load(), kFrames) << BoardErrors(*board);
    for (uint32_t frame = 0; frame < kFrames; ++frame)
    {
        ASSERT_EQ(board->hashes[1][frame], board->hashes[0][frame]) << "frame " << frame << "\n" << BoardErrors(*board);
        if (frame < wokeAfter)
        {
            ASSERT_EQ(board->hashes[kSleeper][frame], board->hashes[0][frame])
                << "frame " << frame << "\n" << BoardErrors(*board);
        }
        if (frame < leftAfter)
        {
            ASSERT_EQ(board->hashes[kLeaver][frame], board->hashes[0][frame])
                << "frame " << frame << "\n" << BoardErrors(*board);
        }
    }

    // The battle moved: the scripted pads changed its state all along.
    std::set<uint64_t> distinct(&board->hashes[0][0], &board->hashes[0][0] + kFrames);
    EXPECT_GT(distinct.size(), kFrames / 2);
    EXPECT_LT(leftAfter, kFrames);
    EXPECT_EQ(sleptAfter, kSleepFrame);
    // It stopped at its frame and woke out of the battle: it had no more
    // of the frames the host played on to the end without it.
    EXPECT_LT(wokeAfter, kFrames);

    // The host is still in its own room, as the lobby server lists it: once
    // the server has let the guests that went go, the one left is in it
    // with its host (both hold still, so that neither drops the other).
    EXPECT_TRUE(nettest::WaitUntil([&] { return server.GetUserCount() == 2; }, 60000)) << server.GetUserCount();
    EXPECT_EQ(server.GetRoomMembers(kRoom).size(), 2u);
    EXPECT_EQ(server.GetRoomCount(), 1u);
    EXPECT_TRUE(server.IsConsistent());

    players[0]->Kill();
    EXPECT_EQ(players[0]->Wait(10000), -1);
    board->goOn.store(1);
    EXPECT_EQ(players[1]->Wait(60000), 0) << BoardErrors(*board);
    ASSERT_EQ(board->phase[1].load(), static_cast<uint32_t>(Phase::InLobby)) << BoardErrors(*board);
    // It gave its host up within the frame wait.
    EXPECT_LE(board->updatesWithoutFrames[1].load(), kMostUpdatesWithoutFrames);
    // No room outlives its owner.
    EXPECT_TRUE(nettest::WaitUntil([&] { return server.GetRoomCount() == 0; }, 10000));
    server.Stop();
    munmap(board, sizeof(Board));
}

// The random-match road: both ask for a match, the first to ask hosts it,
// and the match is made while both are still on the members page, the
// second held in the step into its setup until then (the host's answer
// comes first); then the game's own setup takes them through its pages
// (members, weapons, then the rules the match's room gives), and they
// fight in lockstep.
// The host's "back to the lobby" closes the match's room and takes the
// guest along.
TEST(NetworkMatchProcesses, TwoPlayersMeetByRandomMatchFightInLockstepAndAreBackInTheLobbyTogether)
{
    TempFolder folder;
    const std::string boardPath = (folder.Path() / "board").string();
    Board* board = MapBoard(boardPath, true);
    ASSERT_NE(board, nullptr);
    const uint16_t lobbyPort = lobbytest::FreePortOn({"127.0.0.1", "127.0.0.2"});
    const uint16_t hostPort = lobbytest::FreePortOn({"127.0.0.1"});
    ASSERT_NE(lobbyPort, 0);
    ASSERT_NE(hostPort, 0);
    ASSERT_NE(lobbyPort, hostPort);
    lobbytest::LobbyTestServer server;
    ASSERT_TRUE(server.Start("127.0.0.1", lobbyPort));
    server.RunInThread();
    std::vector<std::unique_ptr<nettest::ChildProcess>> players =
        StartPlayers(kMatchPlayers, kRandomMode, boardPath, lobbyPort, hostPort);
    ASSERT_EQ(players.size(), static_cast<size_t>(kMatchPlayers));
    for (int role = 0; role < kMatchPlayers; ++role)
    {
        EXPECT_EQ(players[role]->Wait(240000), 0) << BoardErrors(*board);
        ASSERT_EQ(board->phase[role].load(), static_cast<uint32_t>(Phase::InLobby)) << BoardErrors(*board);
    }
    for (uint32_t frame = 0; frame < kMatchFrames; ++frame)
        ASSERT_EQ(board->hashes[1][frame], board->hashes[0][frame]) << "frame " << frame << "\n" << BoardErrors(*board);
    std::set<uint64_t> distinct(&board->hashes[0][0], &board->hashes[0][0] + kMatchFrames);
    EXPECT_GT(distinct.size(), kMatchFrames / 4);
    // Both sides fought the same seats, each player in its own, by name.
    const std::string seats[2] = {std::strchr(board->setting[0], '|'), std::strchr(board->setting[1], '|')};
    EXPECT_EQ(seats[0], seats[1]);
    EXPECT_NE(seats[0].find("| 0/"), std::string::npos) << seats[0];
    EXPECT_NE(seats[0].find("/player0 1/"), std::string::npos) << seats[0];
    EXPECT_NE(seats[0].find("/player1 "), std::string::npos) << seats[0];
    // The match went through the lobby's messages, and its host closed it.
    const std::vector<int16_t> received = server.GetReceivedIds();
    for (int16_t id : {LOBBY_MSG_RANDOM_MATCH, LOBBY_MSG_MATCHING, LOBBY_MSG_HOST, LOBBY_MSG_CLOSE_ROOM})
        EXPECT_NE(std::find(received.begin(), received.end(), id), received.end()) << id;
    server.Stop();
    EXPECT_TRUE(server.IsConsistent());
    munmap(board, sizeof(Board));
}

// The test lobby server for games started by hand (two qor windows on one
// virtual X server, say): KVR_SERVE_LOBBY_PORT names the port on 127.0.0.1,
// KVR_SERVE_LOBBY_SECONDS how long it serves. Skipped otherwise.
TEST(NetworkMatchLobby, ServesGamesStartedByHand)
{
    const char* port = std::getenv("KVR_SERVE_LOBBY_PORT");
    if (port == nullptr)
        GTEST_SKIP() << "serves only when asked";
    const char* seconds = std::getenv("KVR_SERVE_LOBBY_SECONDS");
    lobbytest::LobbyTestServer server;
    ASSERT_TRUE(server.Start("127.0.0.1", static_cast<uint16_t>(std::atoi(port))));
    server.Run(static_cast<uint32_t>(seconds != nullptr ? std::atoi(seconds) : 600) * 1000u);
}
