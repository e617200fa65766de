// The network scene's battle over loopback, one real side against a raw
// peer that plays the other: the host gathering batches from a guest's
// records, a departure closing its seat at one frame, a silent guest
// leaving the host's battle, a guest sending its records and stepping the
// host's frames, the host's choice and scene states, the host's positions
// and pauses, the loss of the host, and the frame wait that gives up
// without freezing the window.
#include "tests/game/scene/NetSceneHarness.h"
#include "tests/game/battle/BattleTestData.h"

#include "game/actor/CCharacter.h"
#include "game/app/GameServices.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/MenuKeys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace nettestscene;

namespace
{
class NetworkSceneBattle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        battletest::BattleData::Install();
        ASSERT_NE(battletest::BattleData::Get(), nullptr) << battletest::BattleData::GetError();
    }
};

std::vector<uint8_t> Summary(uint8_t slot, int8_t state)
{
    SetupMessages::PlayerSummary summary;
    summary.slot = slot;
    summary.slotState = state;
    return SetupMessages::EncodeSummary(summary);
}

// R records of one batch for slot 1, each tagged in its first byte.
std::vector<uint8_t> GuestBatch(uint32_t batch, uint32_t transmitted)
{
    std::vector<uint8_t> bytes(transmitted * CNetLockstep::kRecordSize, 0);
    for (uint32_t k = 0; k < transmitted; ++k)
    {
        bytes[k * CNetLockstep::kRecordSize] = 1;
        bytes[k * CNetLockstep::kRecordSize + 1] = static_cast<uint8_t>(batch * transmitted + k);
    }
    return bytes;
}

int16_t DeltaX(const uint8_t* record)
{
    return static_cast<int16_t>(record[11] | (record[12] << 8));
}

void SetDelta(uint8_t* record, int16_t dx)
{
    record[11] = static_cast<uint8_t>(dx);
    record[12] = static_cast<uint8_t>(static_cast<uint16_t>(dx) >> 8);
}

CNetworkScene::NetSceneState State(CNetworkScene& scene)
{
    return scene.GetState();
}

// The guest scene seated in slot 1 of the raw host's room, every other seat
// closed, frames per batch n, built and in the battle. Gives the guest's
// report of its ready battle to the checks that want it.
::testing::AssertionResult GuestInBattle(CNetworkScene& guest, RawPeer& host, const char* hostAddress, uint8_t n)
{
    if (!ConnectToRawHost(guest, host, hostAddress))
        return ::testing::AssertionFailure() << "not connected";
    host.SendU8(NETMSG_SLOT, 1);
    host.Send(NETMSG_SEED, {11, 0, 0, 0, n, 0});
    for (uint8_t slot = 2; slot < 8; ++slot)
        host.Send(NETMSG_SUMMARY, Summary(slot, tag_TOLQBATTLEPLAYER::SLOT_CLOSED));
    const bool closed = nettest::WaitUntil(
        [&] { return WithSetting(guest, [](tag_TOLQBATTLESETTING& s) { return s.players[7].slotState; }) == 9; },
        10000);
    if (!closed || !host.WaitFor(NETMSG_SUMMARY, 1))
        return ::testing::AssertionFailure() << "not seated";
    EnterRoom(guest);
    if (State(guest) != CNetworkScene::NetSceneState::Room)
        return ::testing::AssertionFailure() << "no setup";
    host.Send(NETMSG_CURSOR, {5, 0, 0, 0, 6, 0, 0, 0});
    if (!UpdateUntil(guest, [&] { return guest.GetBattle() != nullptr; }) || !host.WaitFor(NETMSG_READY, 1))
        return ::testing::AssertionFailure() << "no battle";
    host.Send(NETMSG_SCENE_STATE, {3, 0, 0, 0});
    if (!UpdateUntil(guest, [&] { return State(guest) == CNetworkScene::NetSceneState::Battle; }))
        return ::testing::AssertionFailure() << "the battle did not begin";
    return ::testing::AssertionSuccess();
}

// The host scene listening, the raw guest seated in slot 1, every other
// seat closed, and the setup started; the battle not built yet.
::testing::AssertionResult HostInSetup(CNetworkScene& host, RawPeer& guest, const char* hostAddress)
{
    const uint16_t port = ListenAsHost(host, hostAddress);
    if (port == 0 || !guest.Connect(hostAddress, port) || !guest.WaitFor(NETMSG_SLOT, 1))
        return ::testing::AssertionFailure() << "not seated";
    WithSetting(host, [](tag_TOLQBATTLESETTING& s) {
        for (uint32_t slot = 2; slot < s.playerCount; ++slot)
            s.players[slot].slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
        s.seed = 11;
        return 0;
    });
    EnterRoom(host);
    SetupOf(host)->Go();
    return ::testing::AssertionSuccess();
}

// The raw guest keeps the host's battle going: it sends each batch's
// records once it has the frames of the batch before.
struct FeedingGuest
{
    RawPeer& peer;
    uint32_t sent = 0;

    template <class Condition>
    bool RunHost(CNetworkScene& host, Condition condition, uint32_t transmitted, int updates = 40000)
    {
        for (int update = 0; update < updates; ++update)
        {
            if (condition())
                return true;
            if (sent <= peer.Count(NETMSG_FRAMES))
                peer.Send(NETMSG_INPUTS, GuestBatch(sent++, transmitted));
            host.Update(0);
        }
        return condition();
    }
};

// A button pressed for one battle frame of the scene (the HUD reads it as
// the frame steps).
void Press(CNetworkScene& scene, CInput& input, uint8_t button, FeedingGuest* feeder = nullptr)
{
    tag_KVRPADSTATE* pad = input.GetPadState(0);
    pad->pressed.button[button] = 1;
    const uint32_t before = scene.GetSteppedFrames();
    for (int update = 0; update < 20000 && scene.GetSteppedFrames() == before; ++update)
    {
        if (feeder != nullptr && feeder->sent <= feeder->peer.Count(NETMSG_FRAMES))
            feeder->peer.Send(NETMSG_INPUTS, GuestBatch(feeder->sent++, 3));
        scene.Update(0);
    }
    pad->pressed.button[button] = 0;
}

// Intro and ready/go at 16 ms a frame, and a little more.
constexpr uint32_t kOpeningFrames = (500 + 6400) / 16 + 8;
}

TEST_F(NetworkSceneBattle, TheHostSendsEachBatchOnceWithItsGuestsRecordsAndClosesADepartedSeatAtOneFrame)
{
    auto host = MakeScene("127.0.45.1", nullptr, 7);
    ASSERT_TRUE(host);
    RawPeer guest("127.0.45.2");
    ASSERT_TRUE(HostInSetup(*host, guest, "127.0.45.1"));
    host->Update(0);
    ASSERT_EQ(State(*host), CNetworkScene::NetSceneState::Start);
    host->Update(0);
    ASSERT_NE(host->GetBattle(), nullptr);
    // Not yet: the guest has not built its battle.
    host->Update(0);
    EXPECT_EQ(State(*host), CNetworkScene::NetSceneState::Start);
    guest.SendU8(NETMSG_READY, 1);
    ASSERT_TRUE(UpdateUntil(*host, [&] { return State(*host) == CNetworkScene::NetSceneState::Battle; }));
    ASSERT_TRUE(guest.WaitFor(NETMSG_SCENE_STATE, 1));

    constexpr uint32_t kBatches = 10;
    uint32_t sent = 0;
    for (int update = 0; update < 20000 && host->GetSteppedFrames() < kBatches * 7; ++update)
    {
        // The guest runs at most one batch ahead of the frames it has.
        if (sent < kBatches && sent <= guest.Count(NETMSG_FRAMES))
            guest.Send(NETMSG_INPUTS, GuestBatch(sent++, 3));
        host->Update(0);
    }
    ASSERT_EQ(host->GetSteppedFrames(), kBatches * 7);
    ASSERT_TRUE(guest.WaitFor(NETMSG_FRAMES, kBatches));
    const std::vector<RawPeer::Message> batches = guest.All(NETMSG_FRAMES);
    ASSERT_EQ(batches.size(), kBatches) << "each batch once";
    for (uint32_t b = 0; b < kBatches; ++b)
    {
        ASSERT_EQ(batches[b].payload.size(), 3u * CNetLockstep::kFrameSize);
        for (uint32_t k = 0; k < 3; ++k)
        {
            CNetLockstep::Frame frame;
            std::memcpy(frame.data(), batches[b].payload.data() + k * CNetLockstep::kFrameSize, frame.size());
            EXPECT_EQ(frame[0], 16);
            EXPECT_EQ(CNetLockstep::SlotRecord(frame, 1)[0], b * 3 + k) << b << "," << k;
        }
    }

    // The guest goes: its seat closes at the first frame of a batch, and
    // the battle goes on without waiting for it.
    guest.Close();
    uint32_t closedAt = 0;
    for (int update = 0; update < 20000 && host->GetSteppedFrames() < (kBatches + 4) * 7; ++update)
    {
        host->Update(0);
        const int8_t state = WithSetting(*host, [](tag_TOLQBATTLESETTING& s) { return s.players[1].slotState; });
        if (closedAt == 0 && state == tag_TOLQBATTLEPLAYER::SLOT_CLOSED)
            closedAt = host->GetSteppedFrames();
    }
    ASSERT_EQ(host->GetSteppedFrames(), (kBatches + 4) * 7);
    ASSERT_NE(closedAt, 0u);
    EXPECT_EQ((closedAt - 1) % 7, 0u) << closedAt;
    {
        std::lock_guard<std::mutex> frames(host->GetMatch().frameLock);
        const CNetLockstep& lockstep = host->GetMatch().lockstep;
        EXPECT_EQ(lockstep.GetWriteIndex(), lockstep.GetTakenBatches() * 7);
        EXPECT_LE(lockstep.GetWriteIndex() - lockstep.GetReadIndex(), 14u);
    }
    EXPECT_EQ(State(*host), CNetworkScene::NetSceneState::Battle);
    host->Release();
}

TEST_F(NetworkSceneBattle, AGuestSendsItsRecordsStepsTheHostsFramesAndFollowsTheHostsChoice)
{
    CInput input;
    auto guest = MakeScene("127.0.46.2", &input, 6);
    ASSERT_TRUE(guest);
    RawPeer host("127.0.46.1");
    ASSERT_TRUE(GuestInBattle(*guest, host, "127.0.46.1", 6));
    EXPECT_EQ(host.All(NETMSG_READY)[0].payload, std::vector<uint8_t>{1});

    // Six updates sample the batch; the records go at the fourth, and the
    // movement of the fifth and sixth waits for the next batch.
    const int16_t moves[6] = {0, 2, 0, 0, 5, 5};
    for (int16_t move : moves)
    {
        input.GetPadState(0)->mouseDeltaX = move;
        guest->Update(0);
    }
    input.GetPadState(0)->mouseDeltaX = 0;
    ASSERT_TRUE(host.WaitFor(NETMSG_INPUTS, 1));
    std::vector<uint8_t> records = host.All(NETMSG_INPUTS)[0].payload;
    ASSERT_EQ(records.size(), 32u);
    EXPECT_EQ(records[0], 1);
    EXPECT_EQ(DeltaX(&records[1]), 2);
    EXPECT_EQ(DeltaX(&records[17]), 0);

    // The host's two frames for six battle frames.
    std::vector<uint8_t> frames(2 * CNetLockstep::kFrameSize, 0);
    frames[0] = 16;
    frames[CNetLockstep::kFrameSize] = 17;
    SetDelta(frames.data() + 1, -6);      // slot 0, first frame
    SetDelta(frames.data() + 1 + 15, 9);  // slot 1, first frame
    host.Send(NETMSG_FRAMES, frames);
    std::vector<int16_t> seen;
    for (int update = 0; update < 2000 && guest->GetSteppedFrames() < 6; ++update)
    {
        const uint32_t before = guest->GetSteppedFrames();
        guest->Update(0);
        if (guest->GetSteppedFrames() == before)
            continue;
        CBattleScene* battle = guest->GetBattle();
        seen.push_back(DeltaX(battle->GetFighter(1)->GetLastInputRecord()->bytes));
        EXPECT_EQ(DeltaX(battle->GetFighter(0)->GetLastInputRecord()->bytes), seen.size() <= 3 ? -2 : 0);
    }
    EXPECT_EQ(seen, (std::vector<int16_t>{3, 3, 3, 0, 0, 0}));
    ASSERT_TRUE(host.WaitFor(NETMSG_INPUTS, 2));
    records = host.All(NETMSG_INPUTS)[1].payload;
    EXPECT_EQ(DeltaX(&records[1]), 10) << "the late movement came with the next record";

    // The host chooses the character page, and the next setup's seed
    // comes while this side's battle still runs: the guest follows with it.
    host.SendU8(NETMSG_RESULT, CNetworkScene::RESULT_CHARACTER_PAGE);
    host.Send(NETMSG_SEED, {0x78, 0x56, 0x34, 0x12, 6, 0});
    ASSERT_TRUE(UpdateUntil(*guest, [&] { return State(*guest) == CNetworkScene::NetSceneState::Room; }));
    EXPECT_EQ(guest->GetBattle(), nullptr);
    EXPECT_EQ(SetupOf(*guest)->GetPage(), INetBattleSetup::PAGE_MEMBERS);
    EXPECT_TRUE(nettest::WaitUntil(
        [&] { return WithSetting(*guest, [](tag_TOLQBATTLESETTING& s) { return s.seed; }) == 0x12345678u; }, 10000));

    // Then the host is gone: every seat closes, back to the lobby, where
    // the notice says the connection was lost.
    host.Close();
    ASSERT_TRUE(UpdateUntil(*guest, [&] { return State(*guest) == CNetworkScene::NetSceneState::Lobby; }));
    EXPECT_EQ(guest->GetLobby()->GetState(), LOBBY_ROOM_LOST);
    EXPECT_EQ(WithSetting(*guest, [](tag_TOLQBATTLESETTING& s) { return s.players[1].slotState; }),
              tag_TOLQBATTLEPLAYER::SLOT_CLOSED);
    guest->Release();
}

TEST_F(NetworkSceneBattle, AGuestWithoutFramesGivesUpAfterFourSecondsAndEachUpdateReturnsMeanwhile)
{
    auto guest = MakeScene("127.0.47.2", nullptr, 3);
    ASSERT_TRUE(guest);
    RawPeer host("127.0.47.1");
    ASSERT_TRUE(GuestInBattle(*guest, host, "127.0.47.1", 3));
    const uint32_t start = FakeNow().load();
    uint32_t longest = 0;
    int updates = 0;
    while (State(*guest) == CNetworkScene::NetSceneState::Battle && updates < 10000)
    {
        const uint32_t before = FakeNow().load();
        guest->Update(0);
        longest = std::max(longest, FakeNow().load() - before);
        ++updates;
    }
    EXPECT_EQ(State(*guest), CNetworkScene::NetSceneState::Lobby);
    EXPECT_LE(longest, CNetworkScene::kWaitSliceMilliseconds + 1);
    const uint32_t waited = FakeNow().load() - start;
    EXPECT_GE(waited, CNetworkScene::kFrameWaitMilliseconds);
    EXPECT_LE(waited, CNetworkScene::kFrameWaitMilliseconds + 2 * CNetworkScene::kWaitSliceMilliseconds);
    // The player is told why the battle ended.
    EXPECT_EQ(guest->GetLobby()->GetState(), LOBBY_ROOM_LOST);
    EXPECT_EQ(guest->GetBattle(), nullptr);
    // The host hears that the guest left: its connection ends.
    EXPECT_TRUE(nettest::WaitUntil([&] { return host.Disconnects() == 1; }, 10000));
    guest->Release();
}

// A host that never starts the battle it set up: the guest leaves the room
// in time and is told why, and that host is nobody's any more.
TEST_F(NetworkSceneBattle, AGuestWhoseHostNeverStartsTheBattleLeavesTheRoomWithTheNotice)
{
    auto guest = MakeScene("127.0.47.4", nullptr, 3);
    ASSERT_TRUE(guest);
    RawPeer host("127.0.47.3");
    ASSERT_TRUE(ConnectToRawHost(*guest, host, "127.0.47.3"));
    const NetClientPtr hostPeer =
        guest->GetLobby()->GetSession()->FindOutgoingPeer("127.0.47.3", host.Session().GetListenPort());
    ASSERT_TRUE(hostPeer);
    EXPECT_TRUE(guest->GetLobby()->IsHostPeer(hostPeer.get()));
    host.SendU8(NETMSG_SLOT, 1);
    ASSERT_TRUE(host.WaitFor(NETMSG_SUMMARY, 1));
    EnterRoom(*guest);
    host.Send(NETMSG_CURSOR, {5, 0, 0, 0, 6, 0, 0, 0});
    ASSERT_TRUE(UpdateUntil(*guest, [&] { return guest->GetBattle() != nullptr; }));
    FakeNow().fetch_add(CNetworkScene::kReadyWaitMilliseconds + CNetworkScene::kFrameWaitMilliseconds);
    guest->Update(0);
    EXPECT_EQ(State(*guest), CNetworkScene::NetSceneState::Lobby);
    EXPECT_EQ(guest->GetLobby()->GetState(), LOBBY_ROOM_LOST);
    EXPECT_FALSE(guest->GetLobby()->IsHostPeer(hostPeer.get()));
    guest->Release();
}

// A host that tells its guests it leaves (a random match's "ロビーに戻る")
// and then goes has said why: no notice.
TEST_F(NetworkSceneBattle, AHostThatSaysItLeavesBeforeItGoesLeavesItsGuestsWithoutTheNotice)
{
    auto guest = MakeScene("127.0.47.6", nullptr, 3);
    ASSERT_TRUE(guest);
    RawPeer host("127.0.47.5");
    ASSERT_TRUE(GuestInBattle(*guest, host, "127.0.47.5", 3));
    host.SendU8(NETMSG_RESULT, CNetworkScene::RESULT_LEAVE_ROOM);
    host.Close();
    ASSERT_TRUE(UpdateUntil(*guest, [&] { return State(*guest) == CNetworkScene::NetSceneState::Lobby; }));
    guest->Update(0);
    EXPECT_EQ(guest->GetLobby()->GetState(), LOBBY_IN_LOBBY);
    guest->Release();
}

TEST_F(NetworkSceneBattle, TheHostsTitleChoiceEndsItsBattleWithoutAWordToTheGuests)
{
    CInput input;
    g_pInput = &input;
    auto host = MakeScene("127.0.49.1", &input, 7);
    ASSERT_TRUE(host);
    RawPeer guest("127.0.49.2");
    ASSERT_TRUE(HostInSetup(*host, guest, "127.0.49.1"));
    ASSERT_TRUE(UpdateUntil(*host, [&] { return host->GetBattle() != nullptr; }));
    guest.SendU8(NETMSG_READY, 1);
    ASSERT_TRUE(UpdateUntil(*host, [&] { return State(*host) == CNetworkScene::NetSceneState::Battle; }));
    FeedingGuest feeder{guest};
    ASSERT_TRUE(feeder.RunHost(*host, [&] { return host->GetSteppedFrames() >= kOpeningFrames; }, 3));

    // The pause menu opens; up wraps to its last item, the title.
    Press(*host, input, CBattleConsole::BUTTON_MENU, &feeder);
    ASSERT_EQ(host->GetBattle()->GetConsole()->GetState().currentMenu, ConsoleMenu::Pause);
    Press(*host, input, MenuKeyButton(MenuKey::Up), &feeder);
    Press(*host, input, CBattleConsole::BUTTON_DECIDE, &feeder);
    ASSERT_TRUE(feeder.RunHost(*host, [&] { return host->GetRequestedTitleState() >= 0; }, 3));
    EXPECT_EQ(host->GetRequestedTitleState(), static_cast<int32_t>(CNetworkScene::kTitlePicture));
    EXPECT_EQ(host->GetBattle(), nullptr);
    guest.SendU8(NETMSG_KEEPALIVE_ANSWER, 1);
    host->Update(0);
    EXPECT_EQ(guest.Count(NETMSG_RESULT), 0u);
    host->Release();
    g_pInput = nullptr;
}

// The owner's "モード選択に戻る": everybody back to the setup, where the
// next battle's picks come from a seed of their own.
TEST_F(NetworkSceneBattle, TheHostsModePageChoiceTakesEverybodyBackToTheSetupWithANewSeed)
{
    CInput input;
    g_pInput = &input;
    auto host = MakeScene("127.0.49.3", &input, 7);
    ASSERT_TRUE(host);
    RawPeer guest("127.0.49.4");
    ASSERT_TRUE(HostInSetup(*host, guest, "127.0.49.3"));
    ASSERT_TRUE(UpdateUntil(*host, [&] { return host->GetBattle() != nullptr; }));
    const uint32_t battleSeed = WithSetting(*host, [](tag_TOLQBATTLESETTING& s) { return s.seed; });
    guest.SendU8(NETMSG_READY, 1);
    ASSERT_TRUE(UpdateUntil(*host, [&] { return State(*host) == CNetworkScene::NetSceneState::Battle; }));
    FeedingGuest feeder{guest};
    ASSERT_TRUE(feeder.RunHost(*host, [&] { return host->GetSteppedFrames() >= kOpeningFrames; }, 3));
    // The pause menu: back to the battle, retry, the lobby, the mode page.
    Press(*host, input, CBattleConsole::BUTTON_MENU, &feeder);
    for (int item = 0; item < 3; ++item)
        Press(*host, input, MenuKeyButton(MenuKey::Down), &feeder);
    Press(*host, input, CBattleConsole::BUTTON_DECIDE, &feeder);
    ASSERT_TRUE(feeder.RunHost(*host, [&] { return State(*host) == CNetworkScene::NetSceneState::Room; }, 3));
    EXPECT_EQ(SetupOf(*host)->GetPage(), INetBattleSetup::PAGE_MODE);
    ASSERT_TRUE(guest.WaitFor(NETMSG_RESULT, 1));
    EXPECT_EQ(guest.All(NETMSG_RESULT)[0].payload, std::vector<uint8_t>{CNetworkScene::RESULT_MODE_PAGE});
    const uint32_t nextSeed = WithSetting(*host, [](tag_TOLQBATTLESETTING& s) { return s.seed; });
    EXPECT_NE(nextSeed, battleSeed);
    EXPECT_TRUE(nettest::WaitUntil(
        [&] {
            NetSeed seed;
            const std::vector<RawPeer::Message> seeds = guest.All(NETMSG_SEED);
            return !seeds.empty() && ReadNetSeed(seeds.back().payload.data(), kNetSeedSize, &seed) &&
                   seed.seed == nextSeed;
        },
        10000));
    host->Release();
    g_pInput = nullptr;
}

TEST_F(NetworkSceneBattle, AGuestsLobbyChoiceActsAtOnceWithoutWaitingForTheHost)
{
    CInput input;
    g_pInput = &input;
    auto guest = MakeScene("127.0.50.2", &input, 3);
    ASSERT_TRUE(guest);
    RawPeer host("127.0.50.1");
    ASSERT_TRUE(GuestInBattle(*guest, host, "127.0.50.1", 3));
    // The host answers each of the guest's records with one frame (three
    // battle frames), as long as the battle lasts.
    std::vector<uint8_t> quiet(CNetLockstep::kFrameSize, 0);
    quiet[0] = 16;
    size_t answered = 0;
    auto run = [&](auto condition) {
        for (int update = 0; update < 40000; ++update)
        {
            if (condition())
                return true;
            for (; answered < host.Count(NETMSG_INPUTS); ++answered)
                host.Send(NETMSG_FRAMES, quiet);
            guest->Update(0);
        }
        return condition();
    };
    ASSERT_TRUE(run([&] { return guest->GetSteppedFrames() >= kOpeningFrames; }));
    auto press = [&](uint8_t button) {
        input.GetPadState(0)->pressed.button[button] = 1;
        const uint32_t before = guest->GetSteppedFrames();
        run([&] { return guest->GetSteppedFrames() != before; });
        input.GetPadState(0)->pressed.button[button] = 0;
    };
    // Pause menu: back to the battle, the lobby, the title. Down once.
    press(CBattleConsole::BUTTON_MENU);
    ASSERT_EQ(guest->GetBattle()->GetConsole()->GetState().currentMenu, ConsoleMenu::Pause);
    press(MenuKeyButton(MenuKey::Down));
    press(CBattleConsole::BUTTON_DECIDE);
    ASSERT_TRUE(run([&] { return State(*guest) == CNetworkScene::NetSceneState::Lobby; }));
    EXPECT_EQ(guest->GetLobby()->GetState(), LOBBY_IN_LOBBY);
    EXPECT_EQ(guest->GetBattle(), nullptr);
    // The room hears the guest's new state, and its connection ends.
    EXPECT_TRUE(host.WaitFor(LOBBY_MSG_ROOM_STATE, 1));
    EXPECT_TRUE(nettest::WaitUntil([&] { return host.Disconnects() == 1; }, 10000));
    guest->Release();
    g_pInput = nullptr;
}

// A guest that stops sending (a busy machine, a suspended laptop) is no
// reason for the host to leave its own battle: after the stall time the
// guest leaves it, at one frame as one that went would, without its name,
// and the host plays on.
TEST_F(NetworkSceneBattle, ASilentGuestLeavesTheHostsBattleAtOneFrameWithoutItsNameAndTheHostPlaysOn)
{
    auto host = MakeScene("127.0.51.1", nullptr, 7);
    ASSERT_TRUE(host);
    RawPeer guest("127.0.51.2");
    const uint16_t port = ListenAsHost(*host, "127.0.51.1");
    ASSERT_NE(port, 0);
    ASSERT_TRUE(guest.Connect("127.0.51.1", port));
    ASSERT_TRUE(guest.WaitFor(NETMSG_SLOT, 1));
    WithSetting(*host, [](tag_TOLQBATTLESETTING& s) {
        for (uint32_t slot = 2; slot < s.playerCount; ++slot)
            s.players[slot].slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
        s.seed = 11;
        return 0;
    });
    EnterRoom(*host);
    // The guest's whole seat, with its name, as its setup sends it.
    tag_TOLQBATTLEPLAYER seat = WithSetting(*host, [](tag_TOLQBATTLESETTING& s) { return s.players[1]; });
    seat.name = "bob";
    seat.preview = nullptr;
    guest.Send(NETMSG_ENTRY, SetupMessages::EncodeEntry(seat, 1));
    ASSERT_TRUE(nettest::WaitUntil(
        [&] {
            return WithSetting(*host, [](tag_TOLQBATTLESETTING& s) {
                return s.players[1].name != nullptr && std::strcmp(s.players[1].name, "bob") == 0;
            });
        },
        10000));
    SetupOf(*host)->Go();
    ASSERT_TRUE(UpdateUntil(*host, [&] { return host->GetBattle() != nullptr; }));
    guest.SendU8(NETMSG_READY, 1);
    ASSERT_TRUE(UpdateUntil(*host, [&] { return State(*host) == CNetworkScene::NetSceneState::Battle; }));
    FeedingGuest feeder{guest};
    ASSERT_TRUE(feeder.RunHost(*host, [&] { return host->GetSteppedFrames() >= 3 * 7; }, 3));
    auto fighterName = [&] {
        std::lock_guard<std::recursive_mutex> lock(host->GetMatch().sceneLock);
        return host->GetBattle()->GetFighter(1)->GetBattleData()->name;
    };
    EXPECT_EQ(fighterName(), "bob");

    // The guest falls silent.
    const uint32_t silentFrom = FakeNow().load();
    uint32_t closedAt = 0;
    uint32_t closedWhen = 0;
    for (int update = 0; update < 40000 && (closedAt == 0 || host->GetSteppedFrames() < closedAt + 14); ++update)
    {
        host->Update(0);
        ASSERT_EQ(State(*host), CNetworkScene::NetSceneState::Battle) << "the host stays in its battle";
        const int8_t state = WithSetting(*host, [](tag_TOLQBATTLESETTING& s) { return s.players[1].slotState; });
        if (closedAt == 0 && state == tag_TOLQBATTLEPLAYER::SLOT_CLOSED)
        {
            closedAt = host->GetSteppedFrames();
            closedWhen = FakeNow().load();
        }
    }
    ASSERT_NE(closedAt, 0u);
    EXPECT_EQ((closedAt - 1) % 7, 0u) << closedAt;
    EXPECT_GE(host->GetSteppedFrames(), closedAt + 14);
    // Within the other guests' frame wait, so that they see frames again.
    EXPECT_GE(closedWhen - silentFrom, CNetworkScene::kGuestStallMilliseconds);
    EXPECT_LT(closedWhen - silentFrom, CNetworkScene::kFrameWaitMilliseconds);
    EXPECT_EQ(fighterName(), "");
    // Cut: it finds itself out of the room when it wakes.
    EXPECT_TRUE(nettest::WaitUntil([&] { return guest.Disconnects() == 1; }, 10000));
    host->Release();
}

// Message 1 moves a guest wherever the host's scene goes: back to the
// setup, a new start, the battle once this side has built it, and back to
// the room's screens.
TEST_F(NetworkSceneBattle, AGuestFollowsEverySceneStateItsHostSends)
{
    auto guest = MakeScene("127.0.52.2", nullptr, 3);
    ASSERT_TRUE(guest);
    RawPeer host("127.0.52.1");
    ASSERT_TRUE(GuestInBattle(*guest, host, "127.0.52.1", 3));
    auto sendState = [&](uint8_t state) { host.Send(NETMSG_SCENE_STATE, {state, 0, 0, 0}); };

    sendState(1);
    ASSERT_TRUE(UpdateUntil(*guest, [&] { return State(*guest) == CNetworkScene::NetSceneState::Room; }));
    EXPECT_EQ(guest->GetBattle(), nullptr);
    EXPECT_EQ(SetupOf(*guest)->GetPage(), INetBattleSetup::PAGE_MODE);

    // Into the battle only once it is built: from the setup it waits. The
    // keep-alive behind it on the same connection tells when it was read.
    sendState(3);
    host.Send(NETMSG_KEEPALIVE, {});
    ASSERT_TRUE(host.WaitFor(NETMSG_KEEPALIVE_ANSWER, 1));
    for (int i = 0; i < 5; ++i)
        guest->Update(0);
    EXPECT_EQ(State(*guest), CNetworkScene::NetSceneState::Room);

    sendState(2);
    ASSERT_TRUE(UpdateUntil(*guest, [&] { return guest->GetBattle() != nullptr; }));
    ASSERT_TRUE(host.WaitFor(NETMSG_READY, 2));
    sendState(3);
    ASSERT_TRUE(UpdateUntil(*guest, [&] { return State(*guest) == CNetworkScene::NetSceneState::Battle; }));

    sendState(0);
    ASSERT_TRUE(UpdateUntil(*guest, [&] { return State(*guest) == CNetworkScene::NetSceneState::Lobby; }));
    EXPECT_EQ(guest->GetBattle(), nullptr);
    EXPECT_EQ(guest->GetLobby()->GetState(), LOBBY_ROOM);

    const uint32_t dropped = guest->GetDroppedMessages();
    sendState(4);
    EXPECT_TRUE(nettest::WaitUntil([&] { return guest->GetDroppedMessages() == dropped + 1; }, 10000));
    guest->Release();
}

namespace
{
void PutPosition(std::vector<uint8_t>& bytes, uint32_t fighter, float x, float y, float z)
{
    const float values[3] = {x, y, z};
    for (uint32_t i = 0; i < 3; ++i)
    {
        uint32_t bits = 0;
        std::memcpy(&bits, &values[i], sizeof(bits));
        for (uint32_t b = 0; b < 4; ++b)
            bytes[12 * fighter + 4 * i + b] = static_cast<uint8_t>(bits >> (8 * b));
    }
}

CkvrVector3 PositionOf(CNetworkScene& scene, uint32_t fighter)
{
    std::lock_guard<std::recursive_mutex> lock(scene.GetMatch().sceneLock);
    return *scene.GetBattle()->GetFighter(fighter)->GetPosition();
}

bool Near(const CkvrVector3& v, float x, float y, float z)
{
    return std::fabs(v.x - x) < 0.01f && std::fabs(v.y - y) < 0.01f && std::fabs(v.z - z) < 0.01f;
}
}

// The host may place the fighters (message 12, and 13 with frames behind)
// and ask a guest's connection to pause (message 11). Positions come whole
// or not at all; pauses take at most half of each second.
TEST_F(NetworkSceneBattle, AGuestTakesItsHostsPositionsWholeAndItsPausesWithinTheirBudget)
{
    auto guest = MakeScene("127.0.53.2", nullptr, 3);
    ASSERT_TRUE(guest);
    RawPeer host("127.0.53.1");
    ASSERT_TRUE(GuestInBattle(*guest, host, "127.0.53.1", 3));
    auto droppedBecomes = [&](uint32_t count) {
        return nettest::WaitUntil([&] { return guest->GetDroppedMessages() == count; }, 10000);
    };

    std::vector<uint8_t> positions(kNetPositionsSize, 0);
    PutPosition(positions, 0, 1.0f, 2.0f, 3.0f);
    PutPosition(positions, 1, -4.0f, 5.0f, -6.0f);
    host.Send(NETMSG_POSITIONS, positions);
    ASSERT_TRUE(nettest::WaitUntil([&] { return Near(PositionOf(*guest, 0), 1.0f, 2.0f, 3.0f); }, 10000));
    EXPECT_TRUE(Near(PositionOf(*guest, 1), -4.0f, 5.0f, -6.0f));

    // One value that is no number, or a message a byte short: nothing moves.
    uint32_t dropped = guest->GetDroppedMessages();
    std::vector<uint8_t> broken = positions;
    PutPosition(broken, 0, 7.0f, 7.0f, 7.0f);
    PutPosition(broken, 1, std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f);
    host.Send(NETMSG_POSITIONS, broken);
    host.Send(NETMSG_POSITIONS, std::vector<uint8_t>(broken.begin(), broken.end() - 1));
    PutPosition(broken, 1, 1e9f, 0.0f, 0.0f);
    host.Send(NETMSG_POSITIONS, broken);
    ASSERT_TRUE(droppedBecomes(dropped + 3));
    EXPECT_TRUE(Near(PositionOf(*guest, 0), 1.0f, 2.0f, 3.0f));

    // 13: the positions, then a frame that stands for three battle frames.
    uint32_t written = 0;
    {
        std::lock_guard<std::mutex> frames(guest->GetMatch().frameLock);
        written = guest->GetMatch().lockstep.GetWriteIndex();
    }
    std::vector<uint8_t> both = positions;
    PutPosition(both, 0, 8.0f, 0.5f, 8.0f);
    std::vector<uint8_t> frame(CNetLockstep::kFrameSize, 0);
    frame[0] = 16;
    both.insert(both.end(), frame.begin(), frame.end());
    host.Send(NETMSG_POSITIONS_FRAMES, both);
    ASSERT_TRUE(nettest::WaitUntil(
        [&] {
            std::lock_guard<std::mutex> frames(guest->GetMatch().frameLock);
            return guest->GetMatch().lockstep.GetWriteIndex() == written + 3;
        },
        10000));
    EXPECT_TRUE(Near(PositionOf(*guest, 0), 8.0f, 0.5f, 8.0f));
    // Positions that are refused keep their frames: the ring still grows.
    dropped = guest->GetDroppedMessages();
    std::vector<uint8_t> badPlace = both;
    PutPosition(badPlace, 0, std::numeric_limits<float>::infinity(), 0.0f, 0.0f);
    host.Send(NETMSG_POSITIONS_FRAMES, badPlace);
    ASSERT_TRUE(nettest::WaitUntil(
        [&] {
            std::lock_guard<std::mutex> frames(guest->GetMatch().frameLock);
            return guest->GetMatch().lockstep.GetWriteIndex() == written + 6;
        },
        10000));
    ASSERT_TRUE(droppedBecomes(dropped + 1));
    EXPECT_TRUE(Near(PositionOf(*guest, 0), 8.0f, 0.5f, 8.0f));
    dropped = guest->GetDroppedMessages();
    host.Send(NETMSG_POSITIONS_FRAMES, std::vector<uint8_t>(both.begin(), both.begin() + 95));
    ASSERT_TRUE(droppedBecomes(dropped + 1));

    // Pauses of 218 ms: two fit the half second, the third does not.
    dropped = guest->GetDroppedMessages();
    const uint32_t before = FakeNow().load();
    for (int i = 0; i < 3; ++i)
        host.SendU8(NETMSG_PAUSE, 200);
    host.Send(NETMSG_KEEPALIVE, {});
    ASSERT_TRUE(host.WaitFor(NETMSG_KEEPALIVE_ANSWER, 1));
    EXPECT_EQ(guest->GetDroppedMessages(), dropped + 1);
    EXPECT_GE(FakeNow().load() - before, 2u * (200 + kNetPauseBase));
    guest->Release();
}
