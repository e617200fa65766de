// The network scene's seats over real peer sessions on loopback: the slot
// handshake, who may send which message, the room keep-alive, departures
// and a guest that comes back. Raw peers stand for the other sides and
// speak the messages byte by byte.
#include "tests/game/scene/NetSceneHarness.h"
#include "tests/net/HeldListener.h"
#include "tests/net/lobby/LobbyLoopbackSupport.h"
#include "tests/net/lobby/LobbyTestServer.h"
#include "tests/support/ThreadsInCall.h"

#include "engine/platform/CImeInput.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/MenuKeys.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace nettestscene;

namespace
{
std::string Address(const char* block, int host)
{
    return std::string(block) + "." + std::to_string(host);
}

int8_t SlotState(CNetworkScene& scene, uint32_t slot)
{
    return WithSetting(scene, [&](tag_TOLQBATTLESETTING& s) { return s.players[slot].slotState; });
}

// A raw guest connected and seated; its slot, or -1.
int Seat(RawPeer& guest, const std::string& host, uint16_t port)
{
    if (!guest.Connect(host.c_str(), port) || !guest.WaitFor(NETMSG_SLOT, 1))
        return -1;
    return guest.All(NETMSG_SLOT)[0].payload[0];
}

// The id of the peer a host seated there.
std::string PeerOfSeat(CNetworkScene& host, uint8_t seat)
{
    std::lock_guard<std::recursive_mutex> lock(host.GetMatch().sceneLock);
    return host.GetMatch().slotPeer[seat];
}

uint32_t SeedOf(CNetworkScene& scene)
{
    return WithSetting(scene, [](tag_TOLQBATTLESETTING& s) { return s.seed; });
}

// The seed of the last message 7 a raw peer heard.
uint32_t LastSeedHeard(RawPeer& peer)
{
    NetSeed seed;
    const std::vector<RawPeer::Message> seeds = peer.All(NETMSG_SEED);
    if (seeds.empty() || !ReadNetSeed(seeds.back().payload.data(), kNetSeedSize, &seed))
        return 0;
    return seed.seed;
}

// Back to the room's screen, then into the room's next setup.
void NextSetup(CNetworkScene& scene)
{
    SetupOf(scene)->SetPage(INetBattleSetup::PAGE_LEAVE);
    scene.Update(0);
    EnterRoom(scene);
}

// The scene connects to a raw host, which gives it slot; false when the
// connection is not made.
bool TakeSeatFrom(RawPeer& host, const std::string& hostAddress, CNetworkScene& scene, uint8_t slot)
{
    if (!ConnectToRawHost(scene, host, hostAddress.c_str()))
        return false;
    host.SendU8(NETMSG_SLOT, slot);
    return true;
}

// The scene's player sits in the host's seat, every other seat as others.
void ExpectInTheHostsSeat(CNetworkScene& scene, int8_t others)
{
    WithSetting(scene, [&](tag_TOLQBATTLESETTING& s) {
        EXPECT_EQ(s.ownSlot, 0);
        EXPECT_EQ(s.players[0].slotState, 0);
        for (uint32_t slot = 1; slot < s.playerCount; ++slot)
            EXPECT_EQ(s.players[slot].slotState, others) << slot;
        return 0;
    });
}

// The player asks for a random match and waits in its setup.
void AskForMatch(CNetworkScene& scene)
{
    scene.GetLobby()->SetState(LOBBY_MATCH_SOUGHT);
    scene.Update(0);
}

// The server makes the waiting player the match's host (it listens).
bool MadeHost(CNetworkScene& scene)
{
    const std::vector<uint8_t> answer = lobbytest::MatchHostAnswer("127.0.0.1", 0);
    const std::vector<uint8_t> room(answer.begin(), answer.begin() + 734);
    return lobbytest::Deliver(*scene.GetLobby(), LOBBY_MSG_MATCHING, 1, room) &&
           scene.GetLobby()->GetState() == LOBBY_MATCH_HOST;
}

// The player leaves its setup by the back menu.
void LeaveSetup(CNetworkScene& scene)
{
    SetupOf(scene)->SetPage(INetBattleSetup::PAGE_LEAVE);
    scene.Update(0);
}

// Whether the scene seats any other player's connection.
bool HoldsSeatedPeer(CNetworkScene& scene)
{
    std::lock_guard<std::recursive_mutex> lock(scene.GetMatch().sceneLock);
    const std::string* peers = scene.GetMatch().slotPeer;
    return std::any_of(peers, peers + tag_TOLQNETMATCH::kSlots, [](const std::string& peer) { return !peer.empty(); });
}

std::vector<uint8_t> Summary(uint8_t slot, int8_t state, uint8_t team)
{
    SetupMessages::PlayerSummary summary;
    summary.slot = slot;
    summary.slotState = state;
    summary.team = team;
    return SetupMessages::EncodeSummary(summary);
}
}

TEST(NetworkSceneSeats, TheHostSeatsSevenGuestsInOrderAndRefusesAnEighth)
{
    const std::string hostAddress = Address("127.0.40", 1);
    auto host = MakeScene(hostAddress.c_str());
    ASSERT_TRUE(host);
    const uint16_t port = ListenAsHost(*host, hostAddress.c_str());
    ASSERT_NE(port, 0);
    std::vector<std::unique_ptr<RawPeer>> guests;
    for (int i = 0; i < 7; ++i)
    {
        guests.push_back(std::make_unique<RawPeer>(Address("127.0.40", 2 + i).c_str()));
        EXPECT_EQ(Seat(*guests.back(), hostAddress, port), 1 + i);
    }
    // Every guest heard the seed with the host's frames per batch.
    for (auto& guest : guests)
    {
        ASSERT_TRUE(guest->WaitFor(NETMSG_SEED, 1));
        NetSeed seed;
        ASSERT_TRUE(ReadNetSeed(guest->All(NETMSG_SEED).back().payload.data(), kNetSeedSize, &seed));
        EXPECT_EQ(seed.framesPerBatch, 7);
        EXPECT_EQ(seed.sendByte, 2);
    }
    for (uint32_t slot = 0; slot < 8; ++slot)
        EXPECT_EQ(SlotState(*host, slot), static_cast<int8_t>(slot));
    EXPECT_EQ(host->GetMatch().host, 1u);

    RawPeer eighth(Address("127.0.40", 9).c_str());
    ASSERT_TRUE(eighth.Connect(hostAddress.c_str(), port));
    EXPECT_TRUE(nettest::WaitUntil([&] { return eighth.Disconnects() == 1; }, 10000));
    EXPECT_EQ(eighth.Count(NETMSG_SLOT), 0u);
    guests.clear();
    host->Release();
}

TEST(NetworkSceneSeats, TheHostTakesFromAGuestOnlyWhatAGuestSendsForItsOwnSeat)
{
    const std::string hostAddress = Address("127.0.41", 1);
    auto host = MakeScene(hostAddress.c_str());
    ASSERT_TRUE(host);
    const uint16_t port = ListenAsHost(*host, hostAddress.c_str());
    RawPeer one(Address("127.0.41", 2).c_str());
    RawPeer two(Address("127.0.41", 3).c_str());
    ASSERT_EQ(Seat(one, hostAddress, port), 1);
    ASSERT_EQ(Seat(two, hostAddress, port), 2);
    // A newcomer hears of every other seat.
    ASSERT_TRUE(two.WaitFor(NETMSG_ENTRY, 7));
    // In the setup, the host's passes seats on.
    EnterRoom(*host);
    ASSERT_EQ(host->GetState(), CNetworkScene::NetSceneState::Room);
    const uint32_t seed = WithSetting(*host, [](tag_TOLQBATTLESETTING& s) { return s.seed; });
    const uint8_t rule = WithSetting(*host, [](tag_TOLQBATTLESETTING& s) { return s.rules.rule; });

    // Host-only messages from a guest: slot, state, cursor, rules, seed,
    // frames, result and keep-alive.
    one.SendU8(NETMSG_SLOT, 3);
    one.Send(NETMSG_SCENE_STATE, {3, 0, 0, 0});
    one.Send(NETMSG_CURSOR, SetupMessages::EncodeCursor({5, 6}));
    tag_TOLQBATTLERULE survival;
    survival.rule = tag_TOLQBATTLERULE::RULE_SURVIVAL;
    one.Send(NETMSG_RULES, SetupMessages::EncodeRules(survival));
    one.Send(NETMSG_SEED, {1, 2, 3, 4, 30, 0});
    one.Send(NETMSG_FRAMES, std::vector<uint8_t>(121, 0));
    one.SendU8(NETMSG_RESULT, 2);
    one.Send(NETMSG_KEEPALIVE, {});
    // Another guest's seat, and seats out of range.
    one.Send(NETMSG_SUMMARY, Summary(2, 2, 1));
    one.Send(NETMSG_SUMMARY, Summary(200, 2, 1));
    one.SendU8(NETMSG_READY, 2);
    one.SendU8(NETMSG_KEEPALIVE_ANSWER, 9);
    one.Send(NETMSG_INPUTS, std::vector<uint8_t>(16, 2));
    tag_TOLQBATTLEPLAYER other;
    other.name = "Imposter";
    one.Send(NETMSG_ENTRY, SetupMessages::EncodeEntry(other, 2));
    // Its own seat, last: it goes on to everybody once the rest is done.
    const size_t summariesBefore = two.Count(NETMSG_SUMMARY);
    one.Send(NETMSG_SUMMARY, Summary(1, 5, 3));
    ASSERT_TRUE(two.WaitFor(NETMSG_SUMMARY, summariesBefore + 1));
    EXPECT_EQ(host->GetDroppedMessages(), 14u);
    WithSetting(*host, [&](tag_TOLQBATTLESETTING& s) {
        EXPECT_EQ(s.seed, seed);
        EXPECT_EQ(s.rules.rule, rule);
        EXPECT_EQ(s.players[2].slotState, 2);
        EXPECT_EQ(s.players[2].team, 2);
        EXPECT_EQ(s.players[2].name, nullptr);
        EXPECT_EQ(s.players[2].roomWords[2], 0u);
        // Its own seat: taken, and a guest stays in its own seat.
        EXPECT_EQ(s.players[1].team, 3);
        EXPECT_EQ(s.players[1].slotState, 1);
        return 0;
    });
    EXPECT_EQ(host->GetState(), CNetworkScene::NetSceneState::Room);
    SetupMessages::PlayerSummary passed;
    const std::vector<uint8_t> last = two.All(NETMSG_SUMMARY).back().payload;
    ASSERT_TRUE(SetupMessages::DecodeSummary(last.data(), static_cast<uint32_t>(last.size()), 8, 0, &passed));
    EXPECT_EQ(passed.slot, 1);
    EXPECT_EQ(passed.slotState, 1);
    EXPECT_EQ(passed.team, 3);

    // Its own whole seat as no side writes it: a name of 255 bytes without
    // its end, a radio chat outside its scopes or phrases, a random pick
    // past a character count of 0. Refused, and passed on to nobody.
    tag_TOLQBATTLEPLAYER own;
    std::vector<std::vector<uint8_t>> lies(4, SetupMessages::EncodeEntry(own, 1));
    lies[0][22] = 255; // the name's length, then the first radio chat
    lies[0].insert(lies[0].begin() + 23, 255, 'x');
    lies[0].resize(SetupMessages::kEntrySize);
    lies[1][23] = 2;         // the first radio chat's scope
    lies[2][23 + 34] = 0x48; // and its phrase
    lies[3][2] = 9;          // the random pick
    const uint32_t droppedBefore = host->GetDroppedMessages();
    for (const std::vector<uint8_t>& lie : lies)
        one.Send(NETMSG_ENTRY, lie);

    // Its own whole seat, with a name.
    own.name = "Rin";
    const size_t entriesBefore = two.Count(NETMSG_ENTRY);
    one.Send(NETMSG_ENTRY, SetupMessages::EncodeEntry(own, 1));
    ASSERT_TRUE(two.WaitFor(NETMSG_ENTRY, entriesBefore + 1));
    EXPECT_EQ(two.Count(NETMSG_ENTRY), entriesBefore + 1);
    EXPECT_EQ(host->GetDroppedMessages(), droppedBefore + lies.size());
    WithSetting(*host, [&](tag_TOLQBATTLESETTING& s) {
        EXPECT_STREQ(s.players[1].name, "Rin");
        return 0;
    });
    host->Release();
}

TEST(NetworkSceneSeats, AGuestTakesMessagesOnlyFromTheHostItConnectedTo)
{
    const std::string guestAddress = Address("127.0.42", 2);
    auto guest = MakeScene(guestAddress.c_str());
    ASSERT_TRUE(guest);
    RawPeer host(Address("127.0.42", 1).c_str());
    const uint16_t hostPort = host.Listen();
    ASSERT_NE(hostPort, 0);
    // A stranger reaches the guest over a connection the guest did not
    // make (as if a listener were left open).
    const uint16_t guestPort = ListenWithoutSeats(*guest, guestAddress.c_str());
    ASSERT_NE(guestPort, 0);
    RawPeer stranger(Address("127.0.42", 3).c_str());
    ASSERT_TRUE(stranger.Connect(guestAddress.c_str(), guestPort));
    ASSERT_TRUE(ConnectToHost(*guest, Address("127.0.42", 1).c_str(), hostPort));
    ASSERT_TRUE(nettest::WaitUntil([&] { return host.Connects() == 1; }, 10000));
    stranger.SendU8(NETMSG_SLOT, 5);
    ASSERT_TRUE(nettest::WaitUntil([&] { return guest->GetDroppedMessages() == 1; }, 10000));
    host.SendU8(NETMSG_SLOT, 2);
    ASSERT_TRUE(host.WaitFor(NETMSG_SUMMARY, 1));
    // The guest's seat announced, with no host role left.
    WithSetting(*guest, [&](tag_TOLQBATTLESETTING& s) {
        EXPECT_EQ(s.ownSlot, 2);
        EXPECT_EQ(s.players[2].slotState, 2);
        return 0;
    });
    EXPECT_EQ(guest->GetMatch().host, 0u);

    // The stranger's host messages change nothing; the host's do.
    stranger.Send(NETMSG_SEED, {9, 9, 9, 9, 3, 0});
    tag_TOLQBATTLERULE teams;
    teams.rule = tag_TOLQBATTLERULE::RULE_TEAM_FALLS;
    stranger.Send(NETMSG_RULES, SetupMessages::EncodeRules(teams));
    stranger.SendU8(NETMSG_RESULT, 2);
    host.Send(NETMSG_SEED, {1, 0, 0, 0, 200, 5});
    host.Send(NETMSG_KEEPALIVE, {});
    ASSERT_TRUE(host.WaitFor(NETMSG_KEEPALIVE_ANSWER, 1));
    EXPECT_EQ(host.All(NETMSG_KEEPALIVE_ANSWER)[0].payload, std::vector<uint8_t>{2});
    EXPECT_TRUE(nettest::WaitUntil([&] { return guest->GetDroppedMessages() == 4; }, 10000));
    WithSetting(*guest, [&](tag_TOLQBATTLESETTING& s) {
        EXPECT_EQ(s.seed, 1u);
        EXPECT_EQ(s.rules.rule, 0);
        return 0;
    });
    EXPECT_EQ(guest->GetMatch().framesPerBatch, 30) << "frames per batch held to 30";
    // A second slot from the host, out of range: dropped.
    host.SendU8(NETMSG_SLOT, 8);
    host.Send(NETMSG_KEEPALIVE, {});
    ASSERT_TRUE(host.WaitFor(NETMSG_KEEPALIVE_ANSWER, 2));
    EXPECT_EQ(guest->GetDroppedMessages(), 5u);
    guest->Update(0);
    EXPECT_EQ(guest->GetState(), CNetworkScene::NetSceneState::Lobby);
    guest->Release();
}

TEST(NetworkSceneSeats, ASilentSeatClosesAtTheSecondKeepAliveAndItsConnectionStays)
{
    const std::string hostAddress = Address("127.0.43", 1);
    auto host = MakeScene(hostAddress.c_str());
    ASSERT_TRUE(host);
    const uint16_t port = ListenAsHost(*host, hostAddress.c_str());
    RawPeer answering(Address("127.0.43", 2).c_str());
    RawPeer silent(Address("127.0.43", 3).c_str());
    ASSERT_EQ(Seat(answering, hostAddress, port), 1);
    ASSERT_EQ(Seat(silent, hostAddress, port), 2);
    // A guest greets its host once (or the session drops a connection
    // that never says anything); then it falls silent.
    silent.SendU8(NETMSG_KEEPALIVE_ANSWER, 2);
    answering.SendU8(NETMSG_KEEPALIVE_ANSWER, 1);
    ASSERT_TRUE(nettest::WaitUntil(
        [&] {
            for (const NetClientPtr& peer : host->GetLobby()->GetSession()->GetPeers())
            {
                if (!peer->IsAdmitted())
                    return false;
            }
            return true;
        },
        10000));
    EnterRoom(*host);
    ASSERT_EQ(host->GetState(), CNetworkScene::NetSceneState::Room);
    FakeNow().fetch_add(CNetworkScene::kKeepAliveMilliseconds - 1);
    host->Update(0);
    EXPECT_EQ(answering.Count(NETMSG_KEEPALIVE), 0u);
    FakeNow().fetch_add(1);
    host->Update(0);
    ASSERT_TRUE(answering.WaitFor(NETMSG_KEEPALIVE, 1));
    ASSERT_TRUE(silent.WaitFor(NETMSG_KEEPALIVE, 1));
    answering.SendU8(NETMSG_KEEPALIVE_ANSWER, 1);
    ASSERT_TRUE(nettest::WaitUntil(
        [&] {
            std::lock_guard<std::recursive_mutex> lock(host->GetMatch().sceneLock);
            return host->GetMatch().awaitingAnswer[1] == 0;
        },
        10000));
    FakeNow().fetch_add(CNetworkScene::kKeepAliveMilliseconds);
    host->Update(0);
    EXPECT_EQ(SlotState(*host, 1), 1);
    EXPECT_EQ(SlotState(*host, 2), tag_TOLQBATTLEPLAYER::SLOT_CLOSED);
    ASSERT_TRUE(answering.WaitFor(NETMSG_SUMMARY, 1));
    SetupMessages::PlayerSummary closed;
    const std::vector<uint8_t> last = answering.All(NETMSG_SUMMARY).back().payload;
    ASSERT_TRUE(SetupMessages::DecodeSummary(last.data(), static_cast<uint32_t>(last.size()), 8, 0, &closed));
    EXPECT_EQ(closed.slot, 2);
    EXPECT_EQ(closed.slotState, tag_TOLQBATTLEPLAYER::SLOT_CLOSED);
    host->GetLobby()->GetSession()->Poll(0);
    EXPECT_EQ(host->GetLobby()->GetSession()->GetPeerCount(), 2u);
    EXPECT_EQ(silent.Disconnects(), 0);
    host->Release();
}

TEST(NetworkSceneSeats, AGuestThatLeavesIsClosedOutAndOneThatComesBackHasOneSeat)
{
    const std::string hostAddress = Address("127.0.44", 1);
    auto host = MakeScene(hostAddress.c_str());
    ASSERT_TRUE(host);
    const uint16_t port = ListenAsHost(*host, hostAddress.c_str());
    RawPeer watcher(Address("127.0.44", 2).c_str());
    ASSERT_EQ(Seat(watcher, hostAddress, port), 1);
    {
        RawPeer leaver(Address("127.0.44", 3).c_str());
        ASSERT_EQ(Seat(leaver, hostAddress, port), 2);
        leaver.Close();
    }
    ASSERT_TRUE(watcher.WaitFor(NETMSG_SUMMARY, 1));
    EXPECT_EQ(SlotState(*host, 2), tag_TOLQBATTLEPLAYER::SLOT_CLOSED);
    EXPECT_TRUE(WithSetting(*host, [&](tag_TOLQBATTLESETTING&) { return host->GetMatch().slotPeer[2].empty(); }));

    // The same address again: one seat, the lowest free one.
    RawPeer again(Address("127.0.44", 3).c_str());
    EXPECT_EQ(Seat(again, hostAddress, port), 2);
    const std::string own = PeerOfSeat(*host, 2);
    // Another player there while it stays (two behind one router): a seat
    // of its own.
    RawPeer neighbour(Address("127.0.44", 3).c_str());
    EXPECT_EQ(Seat(neighbour, hostAddress, port), 3);
    // It goes and connects again: its connection's end and its new one both
    // reach the scene after the host took the new one in. It is back in its
    // own seat, which never closed.
    const size_t summaries = watcher.Count(NETMSG_SUMMARY);
    RawPeer twice(Address("127.0.44", 3).c_str());
    {
        std::lock_guard<std::recursive_mutex> hold(host->GetMatch().sceneLock);
        const void* sceneLock = host->GetMatch().sceneLock.native_handle();
        again.Close();
        ASSERT_TRUE(nettest::WaitUntil([&] { return ThreadsInCall(SYS_futex, sceneLock) == 1; }, 10000));
        ASSERT_TRUE(twice.Connect(hostAddress.c_str(), port));
        ASSERT_TRUE(nettest::WaitUntil([&] { return ThreadsInCall(SYS_futex, sceneLock) == 2; }, 10000));
    }
    ASSERT_TRUE(twice.WaitFor(NETMSG_SLOT, 1));
    EXPECT_EQ(twice.All(NETMSG_SLOT)[0].payload[0], 2);
    EXPECT_EQ(PeerOfSeat(*host, 2), own);
    EXPECT_EQ(SlotState(*host, 2), 2);
    EXPECT_EQ(watcher.Count(NETMSG_SUMMARY), summaries);
    EXPECT_EQ(neighbour.Disconnects(), 0);
    host->Release();
}

TEST(NetworkSceneSeats, ARoomJustMadeSeatsItsOwnerAndLeavesComputersInTheOtherSeats)
{
    auto owner = MakeScene("127.0.48.1");
    ASSERT_TRUE(owner);
    WithSetting(*owner, [](tag_TOLQBATTLESETTING& s) {
        s.ownSlot = 4;
        for (uint32_t slot = 0; slot < s.playerCount; ++slot)
            s.players[slot].slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
        return 0;
    });
    owner->GetLobby()->SetState(LOBBY_ROOM_MADE);
    owner->Update(0);
    ExpectInTheHostsSeat(*owner, tag_TOLQBATTLEPLAYER::SLOT_COMPUTER);
    // The frame that opens the room may seat a guest before it resets the
    // seats (the room listens within the lobby's update): the guest keeps
    // its seat.
    const uint16_t port = ListenAsHost(*owner, "127.0.48.1");
    RawPeer guest("127.0.48.3");
    ASSERT_EQ(Seat(guest, "127.0.48.1", port), 1);
    owner->GetLobby()->SetState(LOBBY_ROOM_MADE);
    owner->Update(0);
    EXPECT_EQ(SlotState(*owner, 1), 1);
    EXPECT_EQ(SlotState(*owner, 2), tag_TOLQBATTLEPLAYER::SLOT_COMPUTER);
    owner->Release();
}

// The guest of a room whose owner went (and is nobody's host any more)
// asks for a random match: it may be made the match's host, so it sits in
// the host's seat, alone.
TEST(NetworkSceneSeats, ARandomMatchSeatsThePlayerAloneInTheHostsSeatWhateverItsLastRoomLeft)
{
    auto player = MakeScene(Address("127.0.54", 2).c_str());
    ASSERT_TRUE(player);
    RawPeer owner(Address("127.0.54", 1).c_str());
    ASSERT_TRUE(TakeSeatFrom(owner, Address("127.0.54", 1), *player, 1));
    const NetClientPtr ownerPeer = player->GetLobby()->GetSession()->FindOutgoingPeer(
        Address("127.0.54", 1).c_str(), owner.Session().GetListenPort());
    ASSERT_TRUE(ownerPeer);
    ASSERT_TRUE(owner.WaitFor(NETMSG_SUMMARY, 1));
    owner.Close();
    ASSERT_TRUE(UpdateUntil(*player, [&] { return SlotState(*player, 1) == tag_TOLQBATTLEPLAYER::SLOT_CLOSED; }));
    EXPECT_FALSE(player->GetLobby()->IsHostPeer(ownerPeer.get()));
    // A match's guest that hears its host go after the host's last word has
    // its own seat, already back in the host's, closed on the first character.
    WithSetting(*player, [](tag_TOLQBATTLESETTING& s) {
        s.ownSlot = 0;
        s.players[0].characterCount = 5;
        return s.players[0].character = 0;
    });
    player->GetLobby()->SetState(LOBBY_MATCH_SOUGHT);
    player->Update(0);
    ASSERT_EQ(player->GetState(), CNetworkScene::NetSceneState::Room);
    ExpectInTheHostsSeat(*player, tag_TOLQBATTLEPLAYER::SLOT_CLOSED);
    // The last room's host chose what its seat holds: the player starts anew.
    WithSetting(*player, [](tag_TOLQBATTLESETTING& s) {
        EXPECT_EQ(s.players[0].character, static_cast<int8_t>(s.players[0].characterCount));
        return 0;
    });
    player->Release();
}

// A random match's guest chose in the only seat it had: its choice goes
// to the seat the host gives it. A match whose host or guest goes before
// the battle can't be played: each side is back in the lobby, told so.
TEST(NetworkSceneSeats, ARandomMatchsGuestTakesItsChoiceToItsSeatAndEitherSideIsToldWhenTheOtherGoes)
{
    const std::string hostAddress = Address("127.0.55", 1);
    auto host = MakeScene(hostAddress.c_str());
    auto guest = MakeScene(Address("127.0.55", 2).c_str());
    ASSERT_TRUE(host && guest);
    // The guest's host answer came before its frame saw the wait: its
    // setup opens all the same.
    host->GetLobby()->SetState(LOBBY_MATCH_SOUGHT);
    guest->GetLobby()->SetState(LOBBY_MATCH_GUEST);
    for (CNetworkScene* scene : {host.get(), guest.get()})
    {
        scene->Update(0);
        ASSERT_EQ(scene->GetState(), CNetworkScene::NetSceneState::Room);
    }
    WithSetting(*guest, [](tag_TOLQBATTLESETTING& s) { return s.players[0].character = 2; });
    const uint16_t port = ListenAsHost(*host, hostAddress.c_str());
    RawPeer listener(Address("127.0.55", 3).c_str());
    ASSERT_TRUE(TakeSeatFrom(listener, Address("127.0.55", 3), *guest, 1));
    ASSERT_TRUE(listener.WaitFor(NETMSG_ENTRY, 1));
    EXPECT_EQ(listener.All(NETMSG_ENTRY)[0].payload[0], 1);
    WithSetting(*guest, [](tag_TOLQBATTLESETTING& s) {
        EXPECT_EQ(s.ownSlot, 1);
        EXPECT_EQ(s.players[1].slotState, 1);
        EXPECT_EQ(s.players[1].character, 2);
        EXPECT_EQ(s.players[0].slotState, tag_TOLQBATTLEPLAYER::SLOT_CLOSED);
        return 0;
    });
    listener.Close();
    ASSERT_TRUE(UpdateUntil(*guest, [&] { return guest->GetState() == CNetworkScene::NetSceneState::Lobby; }));
    EXPECT_EQ(guest->GetLobby()->GetState(), LOBBY_MATCH_FAILED);

    RawPeer leaver(Address("127.0.55", 4).c_str());
    ASSERT_EQ(Seat(leaver, hostAddress, port), 1);
    leaver.Close();
    ASSERT_TRUE(UpdateUntil(*host, [&] { return host->GetState() == CNetworkScene::NetSceneState::Lobby; }));
    EXPECT_EQ(host->GetLobby()->GetState(), LOBBY_MATCH_FAILED);
    host->Release();
    guest->Release();
}

// Every wait of a random match's setup ends, back in the lobby under the
// notice that says why: a host whose guest never comes, a guest whose host
// seats nobody or lets it go unseated, a lobby connection that is gone.
TEST(NetworkSceneSeats, EveryWaitOfARandomMatchsSetupEndsInTheLobby)
{
    auto enter = [](CNetworkScene& scene, LobbyState made) {
        scene.GetLobby()->SetState(LOBBY_MATCH_SOUGHT);
        scene.Update(0);
        auto lock = scene.GetLobby()->Lock();
        scene.GetLobby()->GetRoomRecord()->data.members.count = 2;
        scene.GetLobby()->SetState(made);
    };
    const auto inTheLobby = [](CNetworkScene& scene) {
        return scene.GetState() == CNetworkScene::NetSceneState::Lobby;
    };
    for (const LobbyState made : {LOBBY_MATCH_HOST, LOBBY_MATCH_GUEST})
    {
        auto scene = MakeScene(Address("127.0.57", 1).c_str());
        ASSERT_TRUE(scene);
        enter(*scene, made);
        FakeNow() += CNetworkScene::kMatchJoinMilliseconds - 100;
        scene->Update(0);
        ASSERT_EQ(scene->GetState(), CNetworkScene::NetSceneState::Room) << made;
        FakeNow() += 200;
        scene->Update(0);
        EXPECT_TRUE(inTheLobby(*scene)) << made;
        EXPECT_EQ(scene->GetLobby()->GetState(), LOBBY_MATCH_FAILED) << made;
        scene->Release();
    }

    auto guest = MakeScene(Address("127.0.57", 2).c_str());
    ASSERT_TRUE(guest);
    enter(*guest, LOBBY_MATCH_GUEST);
    RawPeer host(Address("127.0.57", 3).c_str());
    ASSERT_TRUE(ConnectToRawHost(*guest, host, Address("127.0.57", 3).c_str()));
    host.Close();
    EXPECT_TRUE(UpdateUntil(*guest, [&] { return inTheLobby(*guest); }));
    EXPECT_EQ(guest->GetLobby()->GetState(), LOBBY_MATCH_FAILED);

    // The lost connection stays told, whatever leaving the match sets.
    enter(*guest, LOBBY_MATCH_SOUGHT);
    guest->GetLobby()->SetState(LOBBY_CONNECTION_LOST);
    guest->Update(0);
    EXPECT_TRUE(inTheLobby(*guest));
    EXPECT_EQ(guest->GetLobby()->GetState(), LOBBY_CONNECTION_LOST);
    guest->Release();
}

// Seen as a sound match ending under the failure notice: the connection
// to the host of a match the player had left came through seconds late (a
// slow line), and the host's seat and the lobby's cut of that connection
// read as the new match's host going.
TEST(NetworkSceneSeats, ALateConnectionToAMatchThePlayerLeftChangesNothing)
{
    auto player = MakeScene(Address("127.0.60", 2).c_str());
    ASSERT_TRUE(player);
    player->GetLobby()->GetSession()->SetConnectTimeout(60000);
    nettest::HeldListener slowHost(Address("127.0.60", 1).c_str());
    ASSERT_NE(slowHost.Port(), 0);
    AskForMatch(*player);
    ASSERT_TRUE(lobbytest::Deliver(*player->GetLobby(), LOBBY_MSG_HOST, 1,
                                   lobbytest::MatchHostAnswer(Address("127.0.60", 1).c_str(), slowHost.Port())));
    ASSERT_TRUE(nettest::WaitUntil([&] { return slowHost.HasWaitingConnection(); }, 10000));
    LeaveSetup(*player);
    AskForMatch(*player);
    ASSERT_TRUE(MadeHost(*player));
    // The old host takes the connection in at last and seats the player.
    const CNetSocket late = slowHost.Admit();
    ASSERT_TRUE(late.IsValid());
    const std::vector<uint8_t> slot = nettest::Frame(NETMSG_SLOT, {1});
    ASSERT_EQ(::send(late.Get(), slot.data(), slot.size(), MSG_NOSIGNAL), static_cast<ssize_t>(slot.size()));
    ASSERT_TRUE(nettest::WaitUntil(
        [&] {
            char byte = 0;
            return ::recv(late.Get(), &byte, 1, MSG_DONTWAIT) == 0;
        },
        10000));
    ASSERT_TRUE(UpdateUntil(*player, [&] { return player->GetLobby()->GetSession()->GetPeerCount() == 0; }));
    player->Update(0);
    EXPECT_EQ(player->GetState(), CNetworkScene::NetSceneState::Room);
    EXPECT_EQ(player->GetLobby()->GetState(), LOBBY_MATCH_HOST);
    ExpectInTheHostsSeat(*player, tag_TOLQBATTLEPLAYER::SLOT_CLOSED);
    player->Release();
}

// Seen as a sound match ending for both players: the player's last host and
// its next one played on one address (two players behind one router), and
// the connection to the last one came through late and ended while the
// player connected to the next one.
TEST(NetworkSceneSeats, ALateConnectionToALastHostLeavesTheNextOneAtItsAddressAlone)
{
    const std::string hosts = Address("127.0.70", 1);
    auto player = MakeScene(Address("127.0.70", 2).c_str());
    ASSERT_TRUE(player);
    player->GetLobby()->GetSession()->SetConnectTimeout(60000);
    nettest::HeldListener lastHost(hosts.c_str());
    nettest::HeldListener nextHost(hosts.c_str());
    ASSERT_NE(lastHost.Port(), 0);
    ASSERT_NE(nextHost.Port(), 0);
    AskForMatch(*player);
    ASSERT_TRUE(lobbytest::Deliver(*player->GetLobby(), LOBBY_MSG_HOST, 1,
                                   lobbytest::MatchHostAnswer(hosts.c_str(), lastHost.Port())));
    ASSERT_TRUE(nettest::WaitUntil([&] { return lastHost.HasWaitingConnection(); }, 10000));
    LeaveSetup(*player);
    AskForMatch(*player);
    ASSERT_TRUE(lobbytest::Deliver(*player->GetLobby(), LOBBY_MSG_HOST, 1,
                                   lobbytest::MatchHostAnswer(hosts.c_str(), nextHost.Port())));
    // The session holds a connection to a third game there (no host of the
    // lobby's) before the late one comes: the late one is not the first
    // peer of its address.
    RawPeer third(hosts.c_str());
    const uint16_t thirdPort = third.Listen();
    ASSERT_EQ(player->GetLobby()->GetSession()->Connect(hosts.c_str(), thirdPort, kNetKindTcp, nullptr, nullptr,
                                                         nullptr, nullptr),
              1u);
    CNetSocket late;
    {
        // The late connection's end waits for the scene until the player
        // is on its way to the next host.
        std::lock_guard<std::recursive_mutex> hold(player->GetMatch().sceneLock);
        late = lastHost.Admit();
        ASSERT_TRUE(late.IsValid());
        ASSERT_TRUE(nettest::WaitUntil([&] { return nextHost.HasWaitingConnection(); }, 10000));
    }
    ASSERT_TRUE(UpdateUntil(*player, [&] { return player->GetLobby()->GetSession()->GetPeerCount() == 1; }));
    EXPECT_TRUE(nettest::WaitUntil(
        [&] {
            char byte = 0;
            return ::recv(late.Get(), &byte, 1, MSG_DONTWAIT) == 0;
        },
        10000));
    EXPECT_EQ(third.Disconnects(), 0);
    const CNetSocket next = nextHost.Admit();
    ASSERT_TRUE(next.IsValid());
    const std::vector<uint8_t> slot = nettest::Frame(NETMSG_SLOT, {1});
    ASSERT_EQ(::send(next.Get(), slot.data(), slot.size(), MSG_NOSIGNAL), static_cast<ssize_t>(slot.size()));
    EXPECT_TRUE(UpdateUntil(*player, [&] { return SlotState(*player, 1) == 1; }));
    EXPECT_EQ(player->GetState(), CNetworkScene::NetSceneState::Room);
    EXPECT_EQ(player->GetLobby()->GetState(), LOBBY_MATCH_GUEST);
    // The match goes on until it ends for the player: its host then loses
    // its seated guest at once (not a keep-alive's time later).
    player->GetLobby()->SetState(LOBBY_MATCH_FAILED);
    player->Update(0);
    EXPECT_EQ(player->GetState(), CNetworkScene::NetSceneState::Lobby);
    EXPECT_TRUE(nettest::WaitUntil(
        [&] {
            char sink[4096];
            ssize_t n = 1;
            for (int read = 0; read < 100 && n > 0; ++read)
                n = ::recv(next.Get(), sink, sizeof(sink), MSG_DONTWAIT);
            return n == 0;
        },
        10000));
    player->Release();
}

// Seen as a match's host sitting in its setup with the match's bound
// switched off: a guest from the address of the player's last host moved
// its lobby state with room states, one by one. Every game listens on the
// same port: a guest from there comes from the address and port of a host
// the player knew, or even of one it connects to, and is a guest all the
// same.
TEST(NetworkSceneSeats, AHostThePlayerLeftMovesItNoMore)
{
    const std::string oldHostAddress = Address("127.0.61", 1);
    const std::string playerAddress = Address("127.0.61", 2);
    auto player = MakeScene(playerAddress.c_str());
    ASSERT_TRUE(player);
    RawPeer oldHost(oldHostAddress.c_str());
    const uint16_t oldPort = oldHost.Listen();
    ASSERT_NE(oldPort, 0);
    AskForMatch(*player);
    ASSERT_TRUE(lobbytest::Deliver(*player->GetLobby(), LOBBY_MSG_HOST, 1,
                                   lobbytest::MatchHostAnswer(oldHostAddress.c_str(), oldPort)));
    ASSERT_TRUE(oldHost.WaitFor(LOBBY_MSG_ROOM_STATE, 1));
    oldHost.SendU8(NETMSG_SLOT, 1);
    ASSERT_TRUE(oldHost.WaitFor(NETMSG_ENTRY, 1));
    LeaveSetup(*player);
    AskForMatch(*player);
    player->GetLobby()->SetOwnPort(oldPort);
    ASSERT_TRUE(MadeHost(*player));
    RawPeer guest(oldHostAddress.c_str());
    ASSERT_EQ(Seat(guest, playerAddress, player->GetLobby()->GetSession()->GetListenPort()), 1);
    // A ready report for another seat, which the host drops, comes after
    // the room states on the same connection.
    const auto sendRoomStates = [&] {
        for (const LobbyState state : {LOBBY_BATTLE_STARTING, LOBBY_ROOM, LOBBY_IN_LOBBY})
        {
            std::vector<uint8_t> payload(4);
            lobbytest::Put32(payload, 0, static_cast<uint32_t>(state));
            guest.Send(LOBBY_MSG_ROOM_STATE, payload);
        }
        const uint32_t dropped = player->GetDroppedMessages();
        guest.SendU8(NETMSG_READY, 7);
        return nettest::WaitUntil([&] { return player->GetDroppedMessages() == dropped + 1; }, 10000);
    };
    ASSERT_TRUE(sendRoomStates());
    EXPECT_EQ(player->GetLobby()->GetState(), LOBBY_MATCH_HOST);
    ASSERT_TRUE(ConnectToHost(*player, oldHostAddress.c_str(), oldPort));
    ASSERT_TRUE(sendRoomStates());
    EXPECT_EQ(player->GetLobby()->GetState(), LOBBY_MATCH_HOST);
    player->Release();
}

namespace
{
// A player with the game's own setup, in the tests' lobby server.
struct LobbyMatchPlayer
{
    static constexpr int32_t kMatchPane = 4;

    ~LobbyMatchPlayer()
    {
        scene.Release();
        server.Stop();
    }
    // Logs in from address and asks for a random match; false when it got
    // nowhere.
    bool Ask(const char* address)
    {
        const uint16_t port = lobbytest::FreePortOn({"127.0.0.1", address});
        if (port == 0 || !server.Start("127.0.0.1", port))
            return false;
        server.RunInThread();
        CNetworkScene::SetSetupFactory(&MakeKeyedSetup);
        CNetworkScene::Options options = SceneOptions(address);
        options.lobbyPort = port;
        scene.SetOptions(options);
        return scene.Init(0) == 1 && lobbytest::LogIn(*scene.GetLobby(), "pw") && AskAgain();
    }
    // Asks for a random match through the lobby's keys: the random match's
    // button (left of the first pane), its editor's start button (up from
    // the first row), and the ask. The player then waits in its setup.
    bool AskAgain()
    {
        CLobbyClient& lobby = *scene.GetLobby();
        if (lobby.GetStateBlock().pane != kMatchPane)
            lobby.OnInput(LOBBY_KEY_LEFT);
        for (const int32_t key : {LOBBY_KEY_DECIDE, LOBBY_KEY_UP, LOBBY_KEY_DECIDE})
            lobby.OnInput(key);
        if (!lobbytest::StepToState(lobby, LOBBY_MATCH_SOUGHT))
            return false;
        scene.Update(0);
        return scene.GetState() == CNetworkScene::NetSceneState::Room;
    }
    uint32_t OwnId()
    {
        auto lock = scene.GetLobby()->Lock();
        return scene.GetLobby()->GetOwnUser()->data.id;
    }

    lobbytest::LobbyTestServer server;
    CNetworkScene scene;
};
}

// The match's setup asks the server for its count at once: a player who
// asks second reads the server's count from the wait's first frames, not
// its own "1" until the next poll.
TEST(NetworkSceneSeats, ARandomMatchsSetupAsksTheServerForItsCountAtOnce)
{
    LobbyMatchPlayer player;
    ASSERT_TRUE(player.Ask("127.0.58.1"));
    player.scene.Update(0);
    const auto polled = [&] {
        const std::vector<int16_t> ids = player.server.GetReceivedIds();
        return std::find(ids.begin(), ids.end(), LOBBY_MSG_MATCHING) != ids.end();
    };
    EXPECT_TRUE(nettest::WaitUntil(polled, 10000));
}

// Seen as the other player's match failing two seconds after it asked: the
// player waiting alone had just chosen to leave, but was still asking
// through the page's fade-out and was made the match's host on its way out.
// Seen too as "マッチングに失敗しました" after "はい", and the server told
// twice: the match's other player went while the page faded out (both
// left at once, or the host's wait ended), and its going read as the match
// failing. Its going is heard before the scene's next frame, or just
// before the choice, inside the frame that takes it. A guest's connection
// taken in by the match's host just before the choice seats nobody, and a
// player leaves its next match as it left the last.
TEST(NetworkSceneSeats, APlayerWhoChoosesToLeaveItsMatchIsOutOfItAtOnce)
{
    enum class Made { Not, Guest, Host };
    struct Case
    {
        Made made;
        bool endsFirst;
        int16_t leaving;
        // Another guest's connection is taken in just before the choice.
        bool joinsFirst = false;
        // Matches the player asks for and leaves in one scene.
        int rounds = 1;
    };
    const std::string otherAddress = Address("127.0.63", 9);
    const std::string lateAddress = Address("127.0.63", 10);
    int row = 0;
    for (const Case& c : {Case{Made::Not, false, LOBBY_MSG_LEAVE_ROOM}, Case{Made::Guest, false, LOBBY_MSG_LEAVE_ROOM},
                          Case{Made::Host, false, LOBBY_MSG_CLOSE_ROOM, false, 2},
                          Case{Made::Guest, true, LOBBY_MSG_LEAVE_ROOM},
                          Case{Made::Host, true, LOBBY_MSG_CLOSE_ROOM},
                          Case{Made::Host, false, LOBBY_MSG_CLOSE_ROOM, true}})
    {
        SCOPED_TRACE(row);
        const std::string address = Address("127.0.63", ++row);
        LobbyMatchPlayer player;
        ASSERT_TRUE(player.Ask(address.c_str()));
        CNetworkScene& scene = player.scene;
        const uint32_t ownId = player.OwnId();
        for (int round = 1; round <= c.rounds; ++round)
        {
            SCOPED_TRACE(round);
            ASSERT_TRUE(round == 1 || player.AskAgain());
            ASSERT_TRUE(nettest::WaitUntil([&] { return player.server.IsSeeking(ownId); }, 10000));
            RawPeer other(otherAddress.c_str());
            if (c.made == Made::Guest)
            {
                const uint16_t port = other.Listen();
                ASSERT_TRUE(lobbytest::Deliver(*scene.GetLobby(), LOBBY_MSG_HOST, 1,
                                               lobbytest::MatchHostAnswer(otherAddress.c_str(), port)));
                ASSERT_TRUE(other.WaitFor(LOBBY_MSG_ROOM_STATE, 1));
                other.SendU8(NETMSG_SLOT, 1);
                ASSERT_TRUE(other.WaitFor(NETMSG_ENTRY, 1));
            }
            if (c.made == Made::Host)
            {
                ASSERT_TRUE(MadeHost(scene));
                ASSERT_EQ(Seat(other, address, scene.GetLobby()->GetSession()->GetListenPort()), 1);
            }
            ASSERT_EQ(HoldsSeatedPeer(scene), c.made != Made::Not);
            // The back menu, and "はい".
            auto* setup = static_cast<KeyedSetup*>(scene.GetSetup());
            setup->Press({MenuKey::Cancel});
            ASSERT_TRUE(UpdateUntil(scene, [&] { return setup->Pressed(); }));
            std::unique_lock<std::recursive_mutex> frame(scene.GetMatch().sceneLock, std::defer_lock);
            if (c.endsFirst)
            {
                // The end's callback waits for the scene until the choice is
                // made; its loss is left in the frame that makes it.
                frame.lock();
                const std::vector<NetClientPtr> peers = scene.GetLobby()->GetSession()->GetPeers();
                ASSERT_EQ(peers.size(), 1u);
                other.Close();
                ASSERT_TRUE(nettest::WaitUntil([&] { return !peers[0]->HasLiveConnection(); }, 10000));
                setup->BeforeNextKey(
                    [&scene, peer = peers[0]] { CNetworkScene::OnPeerDisconnected(&scene, peer.get()); });
            }
            RawPeer late(lateAddress.c_str());
            if (c.joinsFirst)
            {
                // Its seating waits for the scene until the choice is made.
                frame.lock();
                const void* sceneLock = scene.GetMatch().sceneLock.native_handle();
                ASSERT_TRUE(late.Connect(address.c_str(), scene.GetLobby()->GetSession()->GetListenPort()));
                ASSERT_TRUE(nettest::WaitUntil([&] { return ThreadsInCall(SYS_futex, sceneLock) == 1; }, 10000));
            }
            setup->Press({MenuKey::Decide});
            ASSERT_TRUE(UpdateUntil(scene, [&] { return setup->Pressed(); }));
            if (frame.owns_lock())
                frame.unlock();
            EXPECT_EQ(scene.GetState(), CNetworkScene::NetSceneState::Room) << "the page still fades out";
            EXPECT_EQ(scene.GetLobby()->GetState(), LOBBY_IN_LOBBY);
            EXPECT_TRUE(nettest::WaitUntil([&] { return !player.server.IsSeeking(ownId); }, 10000));
            // The guest that came too late is nobody's: cut, unseated.
            EXPECT_TRUE(nettest::WaitUntil([&] { return late.Disconnects() == (c.joinsFirst ? 1 : 0); }, 10000));
            EXPECT_EQ(late.Count(NETMSG_SLOT), 0u);
            other.Close();
            ASSERT_TRUE(nettest::WaitUntil([&] { return !HoldsSeatedPeer(scene); }, 10000));
            ::testing::internal::CaptureStderr();
            EXPECT_TRUE(UpdateUntil(scene, [&] { return scene.GetState() == CNetworkScene::NetSceneState::Lobby; }));
            EXPECT_EQ(scene.GetLobby()->GetState(), LOBBY_IN_LOBBY);
            EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
            // Whatever the lobby sent before this has reached the server.
            const uint32_t answers = player.server.GetKeepAliveAnswers();
            scene.GetLobby()->SendMessage(LOBBY_MSG_KEEPALIVE);
            ASSERT_TRUE(nettest::WaitUntil([&] { return player.server.GetKeepAliveAnswers() > answers; }, 10000));
            const std::vector<int16_t> ids = player.server.GetReceivedIds();
            EXPECT_EQ(std::count(ids.begin(), ids.end(), c.leaving), round);
            EXPECT_EQ(std::count(ids.begin(), ids.end(), LOBBY_MSG_LEAVE_ROOM) +
                          std::count(ids.begin(), ids.end(), LOBBY_MSG_CLOSE_ROOM),
                      round);
            EXPECT_EQ(std::count(ids.begin(), ids.end(), LOBBY_MSG_ROOM_STATUS), 0);
        }
        // The room the player makes next seats its guests.
        scene.GetLobby()->SetState(LOBBY_ROOM_MADE);
        scene.Update(0);
        RawPeer guest(otherAddress.c_str());
        EXPECT_EQ(Seat(guest, address, ListenAsHost(scene, address.c_str())), 1);
    }
}

TEST(NetworkSceneSeats, LeavingTheLobbyGoesBackToTheTitleMenuWithTheNetworkItemInFront)
{
    auto scene = MakeScene("127.0.48.2");
    ASSERT_TRUE(scene);
    scene->Update(0);
    EXPECT_EQ(scene->GetRequestedTitleState(), -1);
    scene->GetLobby()->SetState(LOBBY_FINISHED);
    scene->Update(0);
    EXPECT_EQ(scene->GetRequestedTitleState(), static_cast<int32_t>(CNetworkScene::kTitleMenu));
    scene->Release();
}

TEST(NetworkSceneSeats, TheHostsRulesReplaceAGuestsMusicAndAll)
{
    auto guest = MakeScene("127.0.48.4");
    ASSERT_TRUE(guest);
    RawPeer host("127.0.48.3");
    const uint16_t port = host.Listen();
    ASSERT_TRUE(ConnectToHost(*guest, "127.0.48.3", port));
    ASSERT_TRUE(nettest::WaitUntil([&] { return host.Connects() == 1; }, 10000));
    WithSetting(*guest, [](tag_TOLQBATTLESETTING& s) {
        s.rules.musicChoice = 3;
        return 0;
    });
    host.SendU8(NETMSG_SLOT, 1);
    tag_TOLQBATTLERULE rules;
    rules.rule = tag_TOLQBATTLERULE::RULE_SURVIVAL;
    rules.limit = 7;
    rules.musicChoice = 9;
    host.Send(NETMSG_RULES, SetupMessages::EncodeRules(rules));
    // Rules that break their tables change nothing.
    std::vector<uint8_t> broken = SetupMessages::EncodeRules(rules);
    broken[8] = 200;
    host.Send(NETMSG_RULES, broken);
    host.Send(NETMSG_KEEPALIVE, {});
    ASSERT_TRUE(host.WaitFor(NETMSG_KEEPALIVE_ANSWER, 1));
    WithSetting(*guest, [](tag_TOLQBATTLESETTING& s) {
        EXPECT_EQ(s.rules.rule, tag_TOLQBATTLERULE::RULE_SURVIVAL);
        EXPECT_EQ(s.rules.limit, 7);
        EXPECT_EQ(s.rules.musicChoice, 9);
        return 0;
    });
    EXPECT_EQ(guest->GetDroppedMessages(), 1u);
    guest->Release();
}

TEST(NetworkSceneSeats, TheLobbyTakesItsKeysFromThePad)
{
    CInput input;
    auto scene = MakeScene("127.0.48.5", &input);
    ASSERT_TRUE(scene);
    ASSERT_TRUE(UpdateUntil(*scene, [&] { return scene->GetLobby()->GetState() == LOBBY_BETA_NOTICE; }));
    // Nothing pressed: the notice stays.
    scene->Update(0);
    EXPECT_EQ(scene->GetLobby()->GetState(), LOBBY_BETA_NOTICE);
    // Cancel alone does nothing there; decide starts connecting.
    input.GetPadState(0)->pressed.button[MenuKeyButton(MenuKey::Cancel)] = 1;
    scene->Update(0);
    EXPECT_EQ(scene->GetLobby()->GetState(), LOBBY_BETA_NOTICE);
    input.GetPadState(0)->pressed.button[MenuKeyButton(MenuKey::Cancel)] = 0;
    input.GetPadState(0)->pressed.button[MenuKeyButton(MenuKey::Decide)] = 1;
    scene->Update(0);
    input.GetPadState(0)->pressed.button[MenuKeyButton(MenuKey::Decide)] = 0;
    EXPECT_NE(scene->GetLobby()->GetState(), LOBBY_BETA_NOTICE);
    scene->Release();
}

// The lobby's pop-up menus move as every other pop-up menu does: W up and
// S down beside the cursor keys, while no text is being typed (then W and S
// are letters).
TEST(NetworkSceneSeats, TheLobbysPopUpMenusTakeWAndSAsUpAndDown)
{
    CInput input;
    auto scene = MakeScene("127.0.48.6", &input);
    ASSERT_TRUE(scene);
    CLobbyClient& lobby = *scene->GetLobby();
    auto row = [&] {
        auto lock = lobby.Lock();
        return lobby.GetStateBlock().row;
    };
    auto press = [&](MenuKey key) {
        input.GetPadState(0)->pressed.button[MenuKeyButton(key)] = 1;
        scene->Update(0);
        input.GetPadState(0)->pressed.button[MenuKeyButton(key)] = 0;
    };
    // The random-match editor (the lobby's list had no text to type): up
    // from its first row wraps to its button.
    lobby.GetEditor()->SetEnable(0);
    lobby.SetState(LOBBY_MATCH_EDITOR);
    press(MenuKey::MoveUp);
    const int32_t button = row();
    EXPECT_GT(button, 0);
    press(MenuKey::MoveDown);
    EXPECT_EQ(row(), 0);
    press(MenuKey::Up);
    EXPECT_EQ(row(), button);
    press(MenuKey::Down);
    EXPECT_EQ(row(), 0);
    // Typing: the letters stay letters.
    lobby.GetEditor()->SetEnable(1);
    press(MenuKey::MoveDown);
    EXPECT_EQ(row(), 0);
    scene->Release();
}

// Seen as the guest's character name in place of its player name in the
// room's second battle, on both sides: a name that came through one setup
// stays with its seat for the room's next setup, until the seat closes.
TEST(NetworkSceneSeats, SeatNamesOutlastTheSetupTheyCameThroughUntilTheSeatCloses)
{
    auto host = MakeScene("127.0.48.7");
    auto guest = MakeScene("127.0.48.8");
    ASSERT_TRUE(host && guest);
    const uint16_t port = ListenAsHost(*host, "127.0.48.7");
    ASSERT_TRUE(ConnectToHost(*guest, "127.0.48.7", port));
    ASSERT_TRUE(nettest::WaitUntil([&] { return SlotState(*guest, 1) == 1; }, 10000));
    EnterRoom(*host);
    EnterRoom(*guest);
    auto name = [](CNetworkScene& scene, uint32_t slot) {
        return WithSetting(scene, [&](tag_TOLQBATTLESETTING& s) {
            return std::string(s.players[slot].name != nullptr ? s.players[slot].name : "(none)");
        });
    };
    // Each side's setup sends its own seat whole once its loadout is done
    // (the host passes the guest's on to everybody, the guest included).
    auto sendEntry = [](CNetworkScene& scene, uint8_t slot, const char* player) {
        tag_TOLQBATTLEPLAYER entry;
        entry.name = player;
        entry.slotState = static_cast<int8_t>(slot);
        const std::vector<uint8_t> bytes = SetupMessages::EncodeEntry(entry, slot);
        scene.GetLobby()->GetSession()->SendToAll(NETMSG_ENTRY, kNetMatchSub, bytes.data(),
                                                  static_cast<uint32_t>(bytes.size()), kNetKindTcp);
    };
    sendEntry(*host, 0, "alice");
    sendEntry(*guest, 1, "bob");
    ASSERT_TRUE(nettest::WaitUntil(
        [&] { return name(*host, 1) == "bob" && name(*guest, 0) == "alice" && name(*guest, 1) == "bob"; }, 10000));

    // Back to the room, then the room's next battle: a new setup on each
    // side.
    for (CNetworkScene* scene : {host.get(), guest.get()})
    {
        NextSetup(*scene);
        ASSERT_EQ(scene->GetSetup()->GetPage(), INetBattleSetup::PAGE_MODE);
    }
    EXPECT_EQ(name(*host, 1), "bob");
    EXPECT_EQ(name(*guest, 0), "alice");
    EXPECT_EQ(name(*guest, 1), "bob");

    // The host closes the guest's seat (it stopped answering): the name goes.
    const std::vector<uint8_t> closed = Summary(1, tag_TOLQBATTLEPLAYER::SLOT_CLOSED, 1);
    host->GetLobby()->GetSession()->SendToAll(NETMSG_SUMMARY, kNetMatchSub, closed.data(),
                                              static_cast<uint32_t>(closed.size()), kNetKindTcp);
    EXPECT_TRUE(nettest::WaitUntil([&] { return name(*guest, 1) == "(none)"; }, 10000));
    guest->Release();
    host->Release();
}


// Seen as the same random characters in every battle of a session: each
// setup of a room draws its picks (and its battle) from a seed of its own,
// which the room's owner takes when the setup begins and tells its guests.
TEST(NetworkSceneSeats, EachSetupOfARoomHasASeedOfItsOwnThatTheOwnerTellsItsGuests)
{
    auto host = MakeScene("127.0.48.9");
    ASSERT_TRUE(host);
    const uint16_t port = ListenAsHost(*host, "127.0.48.9");
    RawPeer guest("127.0.48.10");
    ASSERT_EQ(Seat(guest, "127.0.48.9", port), 1);
    ASSERT_TRUE(guest.WaitFor(NETMSG_SEED, 1));
    const uint32_t atSeating = LastSeedHeard(guest);
    EnterRoom(*host);
    const uint32_t first = SeedOf(*host);
    EXPECT_NE(first, atSeating);
    EXPECT_TRUE(nettest::WaitUntil([&] { return LastSeedHeard(guest) == first; }, 10000));
    NextSetup(*host);
    const uint32_t second = SeedOf(*host);
    EXPECT_NE(second, first);
    EXPECT_TRUE(nettest::WaitUntil([&] { return LastSeedHeard(guest) == second; }, 10000));
    host->Release();
}

// A guest that makes a room of its own does not hand its guests the seed
// of the host it had.
TEST(NetworkSceneSeats, AGuestThatLaterOwnsARoomDrawsFromASeedOfItsOwn)
{
    auto scene = MakeScene("127.0.48.12");
    ASSERT_TRUE(scene);
    {
        RawPeer oldHost("127.0.48.11");
        ASSERT_TRUE(ConnectToRawHost(*scene, oldHost, "127.0.48.11"));
        oldHost.SendU8(NETMSG_SLOT, 1);
        oldHost.Send(NETMSG_SEED, {0x44, 0x33, 0x22, 0x11, 7, 2});
        ASSERT_TRUE(nettest::WaitUntil([&] { return SeedOf(*scene) == 0x11223344u; }, 10000));
        oldHost.Close();
    }
    ASSERT_TRUE(UpdateUntil(*scene, [&] { return scene->GetMatch().host == 0 && SlotState(*scene, 1) == 9; }));
    const uint16_t port = ListenAsHost(*scene, "127.0.48.12");
    RawPeer guest("127.0.48.13");
    ASSERT_EQ(Seat(guest, "127.0.48.12", port), 1);
    EnterRoom(*scene);
    EXPECT_NE(SeedOf(*scene), 0x11223344u);
    EXPECT_TRUE(nettest::WaitUntil([&] { return LastSeedHeard(guest) == SeedOf(*scene); }, 10000));
    scene->Release();
}

namespace
{
// The players of one room in the tests' lobby server, each a scene of its
// own: the first makes the room through the lobby's keys and the others
// enter it through theirs, as players do.
struct RoomOfScenes
{
    static constexpr int kPlayers = 3;

    ~RoomOfScenes()
    {
        for (CNetworkScene& scene : scenes)
            scene.Release();
        server.Stop();
    }
    ::testing::AssertionResult LogIn(const char* ownerAddress, const char* guestsAddress)
    {
        const uint16_t lobbyPort = lobbytest::FreePortOn({"127.0.0.1", ownerAddress, guestsAddress});
        const uint16_t roomPort = lobbytest::FreePortOn({ownerAddress});
        if (lobbyPort == 0 || roomPort == 0 || !server.Start("127.0.0.1", lobbyPort))
            return ::testing::AssertionFailure() << "no lobby server or room port";
        server.RunInThread();
        CNetworkScene::SetSetupFactory(&MakeScriptedSetup);
        for (int player = 0; player < kPlayers; ++player)
        {
            CNetworkScene::Options options = SceneOptions(player == 0 ? ownerAddress : guestsAddress);
            options.lobbyPort = lobbyPort;
            options.ownPort = player == 0 ? roomPort : 0;
            options.loginId = "player" + std::to_string(player);
            scenes[player].SetOptions(options);
            if (scenes[player].Init(0) != 1 || !lobbytest::LogIn(Lobby(player), "pw"))
                return ::testing::AssertionFailure() << "player " << player << " not logged in";
        }
        return ::testing::AssertionSuccess();
    }
    CLobbyClient& Lobby(int player) { return *scenes[player].GetLobby(); }
    // Frames of every player until condition holds (bounded).
    bool Step(const std::function<bool()>& condition)
    {
        return nettest::WaitUntil(
            [&] {
                for (CNetworkScene& scene : scenes)
                    scene.Update(0);
                return condition();
            },
            20000);
    }
    bool InRoom(int player)
    {
        return Step([&] { return Lobby(player).GetState() == LOBBY_ROOM && Lobby(player).GetEditor()->IsEnable(); });
    }
    bool MakeRoom()
    {
        for (const int32_t key : {LOBBY_KEY_RIGHT, LOBBY_KEY_RIGHT, LOBBY_KEY_RIGHT, LOBBY_KEY_DECIDE, LOBBY_KEY_DOWN})
            Lobby(0).OnInput(key);
        Lobby(0).GetEditor()->Insert("Arena");
        Lobby(0).OnInput(LOBBY_KEY_UP);
        Lobby(0).OnInput(LOBBY_KEY_DECIDE);
        return InRoom(0);
    }
    bool Enter(int player)
    {
        CLobbyClient& lobby = Lobby(player);
        if (!Step([&] {
                auto lock = lobby.Lock();
                return lobby.GetState() == LOBBY_IN_LOBBY && !lobby.GetRooms().empty();
            }))
            return false;
        lobby.OnInput(LOBBY_KEY_DECIDE);
        if (!Step([&] { return lobby.GetState() == LOBBY_ROOM_INFO; }))
            return false;
        lobby.OnInput(LOBBY_KEY_LEFT);
        lobby.OnInput(LOBBY_KEY_DECIDE);
        return InRoom(player);
    }
    void Say(int player, const char* text)
    {
        Lobby(player).GetEditor()->Insert(text);
        Lobby(player).OnInput(LOBBY_KEY_ENTER);
    }
    bool Heard(int player, const char* text)
    {
        auto lock = Lobby(player).Lock();
        const tag_KVRLOBBYSTATE& s = Lobby(player).GetStateBlock();
        return std::any_of(s.roomChat, s.roomChat + s.roomChatCount,
                           [&](const tag_KVRLOBBYCHATLINE& line) { return std::strcmp(line.text, text) == 0; });
    }
    // The seat a guest was given.
    uint8_t SeatOf(int player)
    {
        return WithSetting(scenes[player], [](tag_TOLQBATTLESETTING& s) { return s.ownSlot; });
    }
    bool Seated(int guest) { return SeatOf(guest) != 0 && !PeerOfSeat(scenes[0], SeatOf(guest)).empty(); }
    // Logged in, the room made, both guests in it and seated.
    ::testing::AssertionResult Fill(const char* ownerAddress, const char* guestsAddress)
    {
        if (::testing::AssertionResult in = LogIn(ownerAddress, guestsAddress); !in)
            return in;
        if (!MakeRoom() || !Enter(1) || !Enter(2))
            return ::testing::AssertionFailure() << "the room was not made or not entered";
        if (!Step([&] { return Seated(1) && Seated(2); }))
            return ::testing::AssertionFailure() << "the guests were not seated";
        return ::testing::AssertionSuccess();
    }

    lobbytest::LobbyTestServer server;
    CNetworkScene scenes[kPlayers];
};
}

// Seen as one of two friends behind one router left in the room, unheard,
// while the other played: the owner took the second one's connection for
// the first one's. Two players at one address are two guests, each in a
// seat of its own: each one's chat reaches the others, a guest the owner
// no longer hears is told so and may come back to its seat, and the
// owner's start takes all three to the battle's setup.
TEST(NetworkSceneSeats, TwoPlayersBehindOneRouterAreTwoGuestsOfOneRoom)
{
    RoomOfScenes room;
    ASSERT_TRUE(room.Fill("127.0.81.1", "127.0.81.2"));
    const uint8_t seats[] = {0, room.SeatOf(1), room.SeatOf(2)};
    EXPECT_NE(seats[1], seats[2]);
    const char* lines[] = {"from the owner", "from the first", "from the second"};
    for (int player = 0; player < RoomOfScenes::kPlayers; ++player)
        room.Say(player, lines[player]);
    EXPECT_TRUE(room.Step([&] {
        for (int player = 0; player < RoomOfScenes::kPlayers; ++player)
            for (const char* line : lines)
                if (!room.Heard(player, line))
                    return false;
        return true;
    }));

    // The owner's side lets the second guest's connection go.
    const std::string second = PeerOfSeat(room.scenes[0], seats[2]);
    for (const NetClientPtr& peer : room.Lobby(0).GetSession()->GetPeers())
        if (second == peer->GetId())
            peer->CutConnection();
    const uint32_t roomId = room.server.GetNewestRoom();
    ASSERT_TRUE(room.Step([&] { return room.Lobby(2).GetState() == LOBBY_ROOM_LOST; }));
    EXPECT_TRUE(room.Step([&] { return room.server.GetRoomMembers(roomId).size() == 2; }));
    EXPECT_EQ(room.Lobby(1).GetState(), LOBBY_ROOM);
    EXPECT_TRUE(room.Seated(1));
    room.Lobby(2).OnInput(LOBBY_KEY_DECIDE);
    ASSERT_TRUE(room.Enter(2));
    ASSERT_TRUE(room.Step([&] { return room.Seated(2); }));
    EXPECT_EQ(room.SeatOf(2), seats[2]);
    EXPECT_EQ(room.SeatOf(1), seats[1]);

    for (const int32_t key : {LOBBY_KEY_RIGHT, LOBBY_KEY_RIGHT, LOBBY_KEY_DECIDE, LOBBY_KEY_DECIDE})
        room.Lobby(0).OnInput(key);
    EXPECT_TRUE(room.Step([&] {
        for (int player = 0; player < RoomOfScenes::kPlayers; ++player)
        {
            if (room.scenes[player].GetState() != CNetworkScene::NetSceneState::Room)
                return false;
            for (int seated = 0; seated < RoomOfScenes::kPlayers; ++seated)
                if (SlotState(room.scenes[player], seats[seated]) != seats[seated])
                    return false;
        }
        return true;
    }));
}

// An owner that closes its room says so before its guests' connections
// end: they are back in the lobby, not told of a lost connection, even
// while the server's word of the room's end is yet to come.
TEST(NetworkSceneSeats, TheGuestsOfARoomItsOwnerClosesAreBackInTheLobbyUntold)
{
    RoomOfScenes room;
    ASSERT_TRUE(room.Fill("127.0.82.1", "127.0.82.2"));
    room.server.SetMisbehaviour(lobbytest::Misbehaviour::Deaf);
    // The owner's last pane, its leave button, and "はい".
    for (const int32_t key : {LOBBY_KEY_LEFT, LOBBY_KEY_DECIDE, LOBBY_KEY_DECIDE})
        room.Lobby(0).OnInput(key);
    EXPECT_TRUE(room.Step([&] {
        return room.Lobby(1).GetState() == LOBBY_IN_LOBBY && room.Lobby(2).GetState() == LOBBY_IN_LOBBY;
    })) << room.Lobby(1).GetState() << " " << room.Lobby(2).GetState();
    // Each left the room as a player who leaves it does.
    for (int guest = 1; guest < RoomOfScenes::kPlayers; ++guest)
    {
        auto lock = room.Lobby(guest).Lock();
        EXPECT_EQ(room.Lobby(guest).GetCurrentRoom()->data.id, 0u);
    }
}
