// Four game processes on 127.0.0.1-127.0.0.4 and the test lobby server:
// each logs in, the first makes a room, the others join it, they run the
// setup and fight one headless battle in lockstep with scripted pads, each
// writing its per-frame state hash to a board they share with the test.
// A guest is killed mid-battle, the others go on to 3,000 frames; then the
// host is killed and the guests must be back in the lobby.
//
// The players are fresh processes (this test program run again with a
// role), so that none inherits threads or a graphics device.
#include "tests/engine/core/TempFolder.h"
#include "tests/game/battle/BattleTestData.h"
#include "tests/game/scene/NetSceneHarness.h"
#include "tests/net/lobby/LobbyLoopbackSupport.h"
#include "tests/net/lobby/LobbyTestServer.h"

#include "engine/platform/CImeInput.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <cstdlib>
#include <string>

using namespace nettestscene;

namespace
{
constexpr int kPlayers = 4;
constexpr uint32_t kFrames = 3000;
// The guest killed once it has stepped this many frames.
constexpr uint32_t kDepartureFrame = 1000;
constexpr int kLeaver = 3;
// The lobby's state after a refused entry.
constexpr int32_t kEnteringFailed = 26;
constexpr uint32_t kFramesPerBatch = 6;
constexpr const char* kRoleVariable = "KVR_MATCH_ROLE";
constexpr const char* kBoardVariable = "KVR_MATCH_BOARD";
constexpr const char* kLobbyPortVariable = "KVR_MATCH_LOBBY_PORT";
constexpr const char* kHostPortVariable = "KVR_MATCH_HOST_PORT";
// How long a guest may take to notice its host is gone: the frame wait,
// and room for a slow machine.
constexpr uint32_t kBackInLobbyMs = CNetworkScene::kFrameWaitMilliseconds + 4000;

enum class Phase : uint32_t
{
    Starting,
    InRoom,
    Fighting,
    Done,     // the frames are in
    InLobby,  // a guest back in the lobby after its host went
    Failed,
};

// What the players and the test share, in a file each maps.
struct Board
{
    std::atomic<uint32_t> phase[kPlayers];
    std::atomic<uint32_t> stepped[kPlayers];
    std::atomic<uint64_t> hostKilledAt;
    std::atomic<uint64_t> backInLobbyAt[kPlayers];
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
    Player(int role, Board* board) : m_role(role), m_board(board) {}

    bool Run()
    {
        battletest::BattleData::Install();
        if (battletest::BattleData::Get() == nullptr)
            return Fail(battletest::BattleData::GetError().c_str());
        CNetworkScene::SetSetupFactory(&MakeScriptedSetup);
        const std::string local = "127.0.0." + std::to_string(1 + m_role);
        CNetworkScene::Options options = SceneOptions(local.c_str(), &m_input);
        options.clock = nullptr;
        options.sleep = nullptr;
        options.lobbyPort = static_cast<uint16_t>(std::atoi(std::getenv(kLobbyPortVariable)));
        options.ownPort = m_role == 0 ? std::atoi(std::getenv(kHostPortVariable)) : 0;
        options.loginId = "player" + std::to_string(m_role);
        options.framesPerBatch = kFramesPerBatch;
        options.connectTimeoutMs = 3000;
        m_scene.SetOptions(options);
        if (m_scene.Init(0) != 1)
            return Fail("the scene did not start");
        const bool played = LogIn() && (m_role == 0 ? HostRoom() : JoinRoom()) && Fight();
        m_scene.Release();
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
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    bool StepToLobbyState(int32_t state, const char* what)
    {
        return Step([&] { return Lobby().GetState() == state; }, what);
    }

    bool LogIn()
    {
        if (!StepToLobbyState(1, "no beta notice"))
            return false;
        Lobby().OnInput(LOBBY_KEY_DECIDE);
        if (!StepToLobbyState(7, "no login editor"))
            return false;
        Lobby().OnInput(LOBBY_KEY_DOWN);
        Lobby().GetEditor()->Insert("pw");
        Lobby().OnInput(LOBBY_KEY_DOWN);
        Lobby().OnInput(LOBBY_KEY_DECIDE);
        return StepToLobbyState(CNetworkScene::LOBBY_IN_LOBBY, "not logged in");
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
        if (!StepToLobbyState(CNetworkScene::LOBBY_ROOM, "no room"))
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
            if (!StepToLobbyState(20, "no room info"))
                return false;
            Lobby().OnInput(LOBBY_KEY_LEFT);
            Lobby().OnInput(LOBBY_KEY_DECIDE);
            const bool answered = Step(
                [&] {
                    const int32_t state = Lobby().GetState();
                    return state == kEnteringFailed || state >= CNetworkScene::LOBBY_ROOM ||
                           m_scene.GetState() != CNetworkScene::NetSceneState::Lobby;
                },
                "no answer to entering");
            if (!answered)
                return false;
            if (Lobby().GetState() != kEnteringFailed)
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
            used += std::snprintf(out + used, size - static_cast<size_t>(used), " %d/%d/%u/%u/%u/%u", e.slotState,
                                  e.character, e.randomCharacter, e.team, e.characterCount, e.localInput);
        }
    }

    // Each side's own scripted play: a stick that wanders, buttons pressed
    // in turns, a mouse that sways. Never the menu or list buttons.
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
        for (uint32_t update = 0; MonotonicMs() < end; ++update)
        {
            ScriptPad(update);
            const uint32_t before = m_scene.GetSteppedFrames();
            m_scene.Update(0);
            const uint32_t stepped = m_scene.GetSteppedFrames();
            if (stepped != before && stepped <= kFrames && m_scene.GetBattle() != nullptr)
            {
                m_board->hashes[m_role][stepped - 1] = m_scene.GetBattle()->GetStateHash();
                m_board->stepped[m_role].store(stepped);
                if (stepped == kFrames)
                    m_board->phase[m_role].store(static_cast<uint32_t>(Phase::Done));
            }
            if (m_scene.GetState() == CNetworkScene::NetSceneState::Battle)
                continue;
            if (m_role == 0 || m_board->stepped[m_role].load() < kFrames ||
                Lobby().GetState() != CNetworkScene::LOBBY_IN_LOBBY)
                return Fail("left the battle");
            m_board->backInLobbyAt[m_role].store(MonotonicMs());
            m_board->phase[m_role].store(static_cast<uint32_t>(Phase::InLobby));
            return true;
        }
        return Fail("the battle outlasted the test");
    }

    int m_role;
    Board* m_board;
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
    Player player(std::atoi(role), board);
    EXPECT_TRUE(player.Run()) << board->error[std::atoi(role)];
}

TEST(NetworkMatchProcesses, FourPlayersFightInLockstepSurviveADepartureAndAreBackInTheLobbyWhenTheHostGoes)
{
    TempFolder folder;
    const std::string boardPath = (folder.Path() / "board").string();
    Board* board = MapBoard(boardPath, true);
    ASSERT_NE(board, nullptr);
    const uint16_t lobbyPort = lobbytest::FreePortOn({"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"});
    const uint16_t hostPort = lobbytest::FreePortOn({"127.0.0.1"});
    ASSERT_NE(lobbyPort, 0);
    ASSERT_NE(hostPort, 0);
    ASSERT_NE(lobbyPort, hostPort);
    lobbytest::LobbyTestServer server;
    ASSERT_TRUE(server.Start("127.0.0.1", lobbyPort));
    server.RunInThread();

    // Each player's environment is made before the fork: the server's
    // thread runs, so the child only calls exec.
    std::vector<std::unique_ptr<nettest::ChildProcess>> players;
    for (int role = 0; role < kPlayers; ++role)
    {
        std::vector<std::string> variables;
        for (char** entry = environ; *entry != nullptr; ++entry)
            variables.emplace_back(*entry);
        variables.push_back(std::string(kRoleVariable) + "=" + std::to_string(role));
        variables.push_back(std::string(kBoardVariable) + "=" + boardPath);
        variables.push_back(std::string(kLobbyPortVariable) + "=" + std::to_string(lobbyPort));
        variables.push_back(std::string(kHostPortVariable) + "=" + std::to_string(hostPort));
        std::vector<char*> environment;
        for (std::string& variable : variables)
            environment.push_back(variable.data());
        environment.push_back(nullptr);
        const char* arguments[] = {"test_game_scene", "--gtest_filter=NetworkMatchPlayer.PlaysItsRole", nullptr};
        players.push_back(std::make_unique<nettest::ChildProcess>([&] {
            execve("/proc/self/exe", const_cast<char* const*>(arguments), environment.data());
            return 127;
        }));
        ASSERT_TRUE(players.back()->Started());
    }

    ASSERT_TRUE(nettest::WaitUntil([&] { return board->stepped[kLeaver].load() >= kDepartureFrame ||
                                          board->phase[kLeaver].load() == static_cast<uint32_t>(Phase::Failed); },
                             240000))
        << BoardErrors(*board);
    ASSERT_NE(board->phase[kLeaver].load(), static_cast<uint32_t>(Phase::Failed)) << BoardErrors(*board);
    players[kLeaver]->Kill();
    EXPECT_EQ(players[kLeaver]->Wait(10000), -1);
    const uint32_t leftAfter = board->stepped[kLeaver].load();

    ASSERT_TRUE(nettest::WaitUntil(
        [&] {
            for (int role = 0; role < kLeaver; ++role)
            {
                if (board->phase[role].load() == static_cast<uint32_t>(Phase::Failed))
                    return true;
                if (board->stepped[role].load() < kFrames)
                    return false;
            }
            return true;
        },
        240000))
        << BoardErrors(*board);
    for (int role = 0; role < kLeaver; ++role)
        ASSERT_EQ(board->stepped[role].load(), kFrames) << BoardErrors(*board);
    for (uint32_t frame = 0; frame < kFrames; ++frame)
    {
        ASSERT_EQ(board->hashes[1][frame], board->hashes[0][frame]) << "frame " << frame << "\n" << BoardErrors(*board);
        ASSERT_EQ(board->hashes[2][frame], board->hashes[0][frame]) << "frame " << frame << "\n" << BoardErrors(*board);
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

    board->hostKilledAt.store(MonotonicMs());
    players[0]->Kill();
    EXPECT_EQ(players[0]->Wait(10000), -1);
    for (int role = 1; role < kLeaver; ++role)
    {
        EXPECT_EQ(players[role]->Wait(60000), 0) << BoardErrors(*board);
        ASSERT_EQ(board->phase[role].load(), static_cast<uint32_t>(Phase::InLobby)) << BoardErrors(*board);
        EXPECT_LE(board->backInLobbyAt[role].load() - board->hostKilledAt.load(), kBackInLobbyMs) << role;
    }
    server.Stop();
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
