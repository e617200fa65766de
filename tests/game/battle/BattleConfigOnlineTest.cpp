// The battle setup online: a host and a guest, each with its own setting,
// over two peer sessions on loopback. A lock per side stands in for the
// network scene's scene lock: the session's receive thread hands each
// message to the setup under it, and the side's frames run under it.
#include "tests/game/battle/SetupHarness.h"

#include "game/battle/SeatDraws.h"
#include "game/battle/SetupMessages.h"
#include "net/CNetSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

using namespace setuptest;

namespace
{
struct Side
{
    explicit Side(bool host) : session(std::make_unique<CNetSession>())
    {
        harness = std::make_unique<SetupHarness>(CBattleConfig::PAGE_MODE, true, host, session.get());
    }
    ~Side()
    {
        // The session's threads stop before the setup they call goes.
        session->Shutdown();
        session->Release();
    }

    static uint32_t OnMessage(void* argument, CNetClient*, const uint8_t* payload, int32_t id, uint32_t length)
    {
        Side* side = static_cast<Side*>(argument);
        std::lock_guard<std::mutex> guard(side->lock);
        if (side->harness->setup.OnPeerMessage(id, payload, length))
            ++side->received;
        return 1;
    }
    static uint32_t OnPeer(void*, CNetClient*) { return 1; }

    void Press(MenuKey key)
    {
        std::lock_guard<std::mutex> guard(lock);
        harness->Press(key);
    }
    void Run(int frames)
    {
        for (int i = 0; i < frames; ++i)
        {
            {
                std::lock_guard<std::mutex> guard(lock);
                harness->Run(1);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    template <class Done>
    bool Wait(Done done, int frames = 1500)
    {
        for (int i = 0; i < frames; ++i)
        {
            {
                std::lock_guard<std::mutex> guard(lock);
                if (done(*harness))
                    return true;
                harness->Run(1);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        std::lock_guard<std::mutex> guard(lock);
        return done(*harness);
    }

    std::unique_ptr<CNetSession> session;
    std::unique_ptr<SetupHarness> harness;
    std::mutex lock;
    int received = 0;
};

class BattleSetupOnline : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(host.session->Initialize(1, "QORBeta", "QORBeta", "QOR"), 1u);
        ASSERT_EQ(host.session->SetLocalAddress("127.0.0.1"), 1u);
        ASSERT_EQ(host.session->ConfigureListen(0, &Side::OnPeer, &host, &Side::OnMessage, &host, &Side::OnPeer, &host),
                  1u);
        ASSERT_EQ(host.session->Listen(), 1u);
        ASSERT_EQ(guest.session->Initialize(1, "QORBeta", "QORBeta", "QOR"), 1u);
        ASSERT_EQ(guest.session->SetLocalAddress("127.0.0.2"), 1u);
        ASSERT_EQ(guest.session->Connect("127.0.0.1", host.session->GetListenPort(), kNetKindTcp, &Side::OnMessage,
                                         &guest, &Side::OnPeer, &guest),
                  1u);
        for (int i = 0; i < 500 && host.session->GetPeerCount() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_EQ(host.session->GetPeerCount(), 1u);
        // The seats the slot handshake gives: the host in slot 0, the guest
        // in slot 1.
        for (Side* side : {&host, &guest})
        {
            tag_TOLQBATTLESETTING* setting = side->harness->setting;
            setting->players[1].slotState = 1;
            setting->players[1].name = side == &guest ? "Guest" : nullptr;
            setting->players[0].name = side == &host ? "Host" : nullptr;
        }
        guest.harness->setting->ownSlot = 1;
    }

    Side host{true};
    Side guest{false};
};
}

TEST_F(BattleSetupOnline, TheGuestFollowsTheHostsModePagesAndMusic)
{
    tag_TOLQBATTLESETTING* hostSetting = host.harness->setting;
    tag_TOLQBATTLESETTING* guestSetting = guest.harness->setting;
    guestSetting->rules.musicChoice = 5;
    hostSetting->rules.musicChoice = 2;
    ASSERT_TRUE(host.Wait([](SetupHarness& h) { return h.setup.GetPhase() == 1; }));
    ASSERT_TRUE(guest.Wait([](SetupHarness& h) { return h.setup.GetPhase() == 1; }));
    // The guest's keys change nothing on the mode page.
    guest.Press(MenuKey::Right);
    EXPECT_EQ(guestSetting->rules.teamBattle, 0u);
    host.Press(MenuKey::Right);
    ASSERT_TRUE(guest.Wait([](SetupHarness& h) { return h.setting->rules.teamBattle == 1; }));
    EXPECT_EQ(guestSetting->rules.musicChoice, 2);
    EXPECT_EQ(guestSetting->rules.rule, tag_TOLQBATTLERULE::RULE_TEAM_FALLS);

    host.Press(MenuKey::Decide);
    ASSERT_TRUE(guest.Wait([](SetupHarness& h) { return h.setup.GetPage() == CBattleConfig::PAGE_MEMBERS; }));
    ASSERT_TRUE(host.Wait([](SetupHarness& h) { return h.setup.GetPage() == CBattleConfig::PAGE_MEMBERS; }));
    EXPECT_EQ(SetupMessages::EncodeRules(hostSetting->rules), SetupMessages::EncodeRules(guestSetting->rules));
}

TEST_F(BattleSetupOnline, PanelsTravelBothWaysAndTheHostPassesTheGuestsOnUntilAllAreConfirmed)
{
    tag_TOLQBATTLESETTING* hostSetting = host.harness->setting;
    tag_TOLQBATTLESETTING* guestSetting = guest.harness->setting;
    host.harness->setup.SetPage(CBattleConfig::PAGE_MEMBERS);
    guest.harness->setup.SetPage(CBattleConfig::PAGE_MEMBERS);
    ASSERT_TRUE(guest.Wait([](SetupHarness& h) { return h.setup.GetPhase() == 1; }));
    // The guest edits its own panel (1): a character, then the confirmation.
    {
        std::lock_guard<std::mutex> guard(guest.lock);
        guest.harness->Press(MenuKey::Right);
        guest.harness->Press(MenuKey::Decide);
        guest.harness->Press(MenuKey::Down);
        guest.harness->Press(MenuKey::Right); // its own seat stays its own online
        EXPECT_EQ(guestSetting->players[1].slotState, 1);
        guest.harness->ClickAt({1000.0f, 740.0f});
    }
    ASSERT_TRUE(host.Wait([&](SetupHarness&) {
        return hostSetting->players[1].roomWords[0] == 1 &&
               hostSetting->players[1].character == guestSetting->players[1].character;
    }));
    // The host's own panel and a computer's reach the guest.
    {
        std::lock_guard<std::mutex> guard(host.lock);
        ASSERT_TRUE(host.harness->Settle());
        host.harness->Press(MenuKey::Decide);
        host.harness->Press(MenuKey::Up);
        host.harness->ClickAt({1000.0f, 740.0f});
        hostSetting->players[7].slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
        host.harness->setup.SendPlayerSummary(hostSetting->players[7], 7);
    }
    ASSERT_TRUE(guest.Wait([&](SetupHarness&) {
        return guestSetting->players[0].roomWords[0] == 1 && guestSetting->players[7].IsClosed() &&
               guestSetting->players[0].character == hostSetting->players[0].character;
    }));
    // Every player confirmed: the host may advance, the guest may not.
    {
        std::lock_guard<std::mutex> guard(host.lock);
        EXPECT_TRUE(host.harness->setup.CanAdvanceMembers());
    }
    {
        std::lock_guard<std::mutex> guard(guest.lock);
        EXPECT_FALSE(guest.harness->setup.CanAdvanceMembers());
    }
}

TEST_F(BattleSetupOnline, LoadoutsTravelAsWholeEntriesAndBothSettingsEndTheSame)
{
    tag_TOLQBATTLESETTING* hostSetting = host.harness->setting;
    tag_TOLQBATTLESETTING* guestSetting = guest.harness->setting;
    auto onPage = [](uint32_t page) {
        return [page](SetupHarness& h) { return h.setup.GetPage() == page && h.setup.GetPhase() == 1; };
    };
    // Everyone confirmed on the members page; the host advances.
    for (Side* side : {&host, &guest})
    {
        std::lock_guard<std::mutex> guard(side->lock);
        side->harness->setup.SetPage(CBattleConfig::PAGE_MEMBERS);
        side->harness->setting->players[0].roomWords[0] = 1;
        side->harness->setting->players[1].roomWords[0] = 1;
    }
    ASSERT_TRUE(host.Wait(onPage(CBattleConfig::PAGE_MEMBERS)));
    host.Press(MenuKey::Right);
    host.Press(MenuKey::Right);
    host.Press(MenuKey::Decide);
    ASSERT_TRUE(guest.Wait(onPage(CBattleConfig::PAGE_RULES)));
    ASSERT_TRUE(host.Wait(onPage(CBattleConfig::PAGE_RULES)));
    {
        std::lock_guard<std::mutex> guard(guest.lock);
        EXPECT_NE(guestSetting->players[1].preview, nullptr);
        EXPECT_EQ(guestSetting->players[2].preview, nullptr); // the host prepares the computers
        // The guest's music is its own until the host's next rules: held
        // on that row, not sent.
        guest.harness->Press(MenuKey::Up);
        EXPECT_EQ(guest.harness->setup.GetRow(), CBattleConfig::ROW_MUSIC);
        const int8_t before = guestSetting->rules.musicChoice;
        guest.harness->Press(MenuKey::Right);
        EXPECT_NE(guestSetting->rules.musicChoice, before);
    }
    host.Press(MenuKey::Up);
    host.Press(MenuKey::Decide);
    ASSERT_TRUE(guest.Wait(onPage(CBattleConfig::PAGE_WEAPONS)));
    ASSERT_TRUE(host.Wait(onPage(CBattleConfig::PAGE_WEAPONS)));

    // The guest is done first: its whole entry goes to the host.
    {
        std::lock_guard<std::mutex> guard(guest.lock);
        while (guest.harness->setup.GetRow() != CBattleConfig::ROW_DONE)
            guest.harness->Press(MenuKey::Up);
        guest.harness->Press(MenuKey::Decide);
        EXPECT_EQ(guest.harness->setup.GetPhase(), static_cast<int32_t>(CBattleConfig::WeaponsPhase::Waiting));
    }
    ASSERT_TRUE(host.Wait([&](SetupHarness&) { return hostSetting->players[1].roomWords[1] == 1; }));
    EXPECT_STREQ(hostSetting->players[1].name, "Guest");
    EXPECT_STREQ(hostSetting->players[1].weapons[0], "Sword");
    EXPECT_EQ(hostSetting->players[1].randomCharacter, guestSetting->players[1].randomCharacter);
    // Then the host: its own and the computers' entries go out, and both
    // start together.
    {
        std::lock_guard<std::mutex> guard(host.lock);
        while (host.harness->setup.GetRow() != CBattleConfig::ROW_DONE)
            host.harness->Press(MenuKey::Up);
        host.harness->Press(MenuKey::Decide);
    }
    ASSERT_TRUE(host.Wait([](SetupHarness& h) { return h.setup.GetPage() == CBattleConfig::PAGE_START; }));
    ASSERT_TRUE(guest.Wait([](SetupHarness& h) { return h.setup.GetPage() == CBattleConfig::PAGE_START; }));

    std::lock_guard<std::mutex> hostGuard(host.lock);
    std::lock_guard<std::mutex> guestGuard(guest.lock);
    // The host's rules as it was done, its music with them.
    EXPECT_EQ(SetupMessages::EncodeRules(hostSetting->rules), SetupMessages::EncodeRules(guestSetting->rules));
    for (uint8_t i = 0; i < 8; ++i)
    {
        EXPECT_EQ(SetupMessages::EncodeEntry(hostSetting->players[i], i),
                  SetupMessages::EncodeEntry(guestSetting->players[i], i))
            << "entry " << static_cast<int>(i);
    }
    EXPECT_STREQ(guestSetting->players[0].name, "Host");
    // Every seat that picked at random has a character of its own, the
    // host's and the guest's included (each side draws its own first).
    std::set<uint8_t> picks;
    size_t randomSeats = 0;
    for (uint8_t i = 0; i < 8; ++i)
    {
        const tag_TOLQBATTLEPLAYER& entry = hostSetting->players[i];
        if (entry.IsClosed() || entry.character < static_cast<int8_t>(entry.characterCount))
            continue;
        picks.insert(entry.randomCharacter);
        ++randomSeats;
    }
    EXPECT_GE(randomSeats, 2u);
    EXPECT_EQ(picks.size(), randomSeats);
}

TEST(SeatDraws, EverySeatOfAMatchGetsItsOwnCharacterAndEverySideTheSamePick)
{
    for (uint32_t seed : {0u, 1234u, 0xFFFFFFFFu})
    {
        std::set<uint8_t> picks;
        uint8_t forward[8] = {};
        for (uint32_t seat = 0; seat < 8; ++seat)
        {
            forward[seat] = DrawSeatCharacter(seed, 8, seat);
            EXPECT_LT(forward[seat], 8);
            picks.insert(forward[seat]);
        }
        EXPECT_EQ(picks.size(), 8u) << seed;
        // A side that draws the seats in another order (or only some of
        // them) gets the same pick for each.
        for (uint32_t seat = 8; seat-- > 0;)
            EXPECT_EQ(DrawSeatCharacter(seed, 8, seat), forward[seat]) << seed << " seat " << seat;
    }
    // More seats than characters: the order starts again.
    EXPECT_EQ(DrawSeatCharacter(7, 3, 4), DrawSeatCharacter(7, 3, 1));
    EXPECT_EQ(DrawSeatCharacter(7, 0, 4), 0);
    // Another seed, another order.
    bool differs = false;
    for (uint32_t seat = 0; seat < 8; ++seat)
        differs = differs || DrawSeatCharacter(1, 8, seat) != DrawSeatCharacter(2, 8, seat);
    EXPECT_TRUE(differs);
}

TEST_F(BattleSetupOnline, TheHostIgnoresPageAndRulesMessagesAndEveryMessageOfTheWrongSize)
{
    CBattleConfig& setup = host.harness->setup;
    tag_TOLQBATTLERULE rules = host.harness->setting->rules;
    rules.limit = 9;
    const std::vector<uint8_t> cursor = SetupMessages::EncodeCursor({2, 3});
    const std::vector<uint8_t> bytes = SetupMessages::EncodeRules(rules);
    std::lock_guard<std::mutex> guard(host.lock);
    EXPECT_FALSE(setup.OnPeerMessage(SetupMessages::MSG_CURSOR, cursor.data(), 8));
    EXPECT_FALSE(setup.OnPeerMessage(SetupMessages::MSG_RULES, bytes.data(), 36));
    EXPECT_NE(host.harness->setting->rules.limit, 9);
    const std::vector<uint8_t> summary =
        SetupMessages::EncodeSummary(SetupMessages::SummaryOf(host.harness->setting->players[3], 3));
    EXPECT_FALSE(setup.OnPeerMessage(SetupMessages::MSG_SUMMARY, summary.data(), 8));
    EXPECT_TRUE(setup.OnPeerMessage(SetupMessages::MSG_SUMMARY, summary.data(), 9));
    EXPECT_FALSE(setup.OnPeerMessage(42, summary.data(), 9));
}

// Seen as a write before a guest's loadout: the host's page changes took
// the guest onto the weapon list with its rules row kept, and the list's
// remove item emptied a place the loadout lacked.
TEST_F(BattleSetupOnline, TheHostsMessagesLeaveTheGuestsListOnRowsItsLoadoutHas)
{
    SetupHarness& side = *guest.harness;
    CBattleConfig& setup = side.setup;
    auto deliver = [&](int32_t id, const std::vector<uint8_t>& bytes) {
        return setup.OnPeerMessage(id, bytes.data(), static_cast<uint32_t>(bytes.size()));
    };
    const CBattleConfig::CursorPair pair = CBattleConfig::kMembersForward;
    const std::vector<uint8_t> forward = SetupMessages::EncodeCursor({pair.phase, pair.nextPhase});
    std::lock_guard<std::mutex> guard(guest.lock);
    setup.SetPage(CBattleConfig::PAGE_RULES);
    ASSERT_TRUE(side.Settle());
    side.Press(MenuKey::Up);
    ASSERT_EQ(setup.GetRow(), CBattleConfig::ROW_MUSIC);
    // The members page's forward pair: the rules page's forward phase, then
    // the weapons page's list.
    ASSERT_TRUE(deliver(SetupMessages::MSG_CURSOR, forward));
    side.Run(1);
    ASSERT_TRUE(deliver(SetupMessages::MSG_CURSOR, forward));
    ASSERT_EQ(setup.GetPhase(), static_cast<int32_t>(CBattleConfig::WeaponsPhase::WeaponList));
    EXPECT_EQ(setup.GetRow(), CBattleConfig::ROW_ADD);
    side.Press(MenuKey::Decide);
    // The list of the loadout's first row; then the host's entry for this
    // seat empties the loadout under it, and "remove" has nothing to empty.
    side.Press(MenuKey::Down);
    side.Press(MenuKey::Decide);
    tag_TOLQBATTLEPLAYER emptied = side.Entry(1);
    std::fill(std::begin(emptied.weapons), std::end(emptied.weapons), nullptr);
    ASSERT_TRUE(deliver(SetupMessages::MSG_ENTRY, SetupMessages::EncodeEntry(emptied, 1)));
    side.Press(MenuKey::Decide);
    EXPECT_EQ(setup.GetPhase(), static_cast<int32_t>(CBattleConfig::WeaponsPhase::Loadout));
    EXPECT_EQ(setup.GetRow(), CBattleConfig::ROW_ADD);
}

// Seen as a seat a later player never heard of: a summary lowered the
// seat's character count under the random pick an entry had set, and the
// host's own entry for that seat was then refused by everyone. Whichever
// message comes, the stored seat keeps its pick within its count.
TEST_F(BattleSetupOnline, ASummaryThatLowersTheCountUnderThePickLeavesASeatThatStillEncodes)
{
    tag_TOLQBATTLESETTING* setting = host.harness->setting;
    tag_TOLQBATTLEPLAYER seat = setting->players[3];
    seat.character = 5; // random
    seat.characterCount = 5;
    seat.randomCharacter = 3;
    const std::vector<uint8_t> entry = SetupMessages::EncodeEntry(seat, 3);
    seat.character = 2;
    seat.characterCount = 2;
    const std::vector<uint8_t> summary = SetupMessages::EncodeSummary(SetupMessages::SummaryOf(seat, 3));
    std::lock_guard<std::mutex> guard(host.lock);
    CBattleConfig& setup = host.harness->setup;
    ASSERT_TRUE(setup.OnPeerMessage(SetupMessages::MSG_ENTRY, entry.data(), static_cast<uint32_t>(entry.size())));
    ASSERT_TRUE(
        setup.OnPeerMessage(SetupMessages::MSG_SUMMARY, summary.data(), static_cast<uint32_t>(summary.size())));

    const tag_TOLQBATTLEPLAYER& stored = setting->players[3];
    EXPECT_EQ(stored.characterCount, 2);
    EXPECT_LT(stored.randomCharacter, stored.characterCount);
    const std::vector<uint8_t> again = SetupMessages::EncodeEntry(stored, 3);
    SetupMessages::PlayerEntryMessage read;
    EXPECT_TRUE(SetupMessages::DecodeEntry(again.data(), static_cast<uint32_t>(again.size()), 8, 8, &read));
}

TEST_F(BattleSetupOnline, ASummarySentWhileTheSessionsLocksAreHeldArrivesAsAnyOtherAndClosingFreesTheName)
{
    tag_TOLQBATTLESETTING* hostSetting = host.harness->setting;
    {
        std::lock_guard<std::mutex> guard(guest.lock);
        EXPECT_EQ(guest.harness->setup.SendPlayerEntry(guest.harness->setting->players[1], 1), 1u);
    }
    ASSERT_TRUE(host.Wait([&](SetupHarness&) { return hostSetting->players[1].name != nullptr; }));
    EXPECT_STREQ(hostSetting->players[1].name, "Guest");
    {
        std::lock_guard<std::mutex> guard(guest.lock);
        tag_TOLQBATTLEPLAYER departed = guest.harness->setting->players[1];
        departed.slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
        EXPECT_EQ(guest.harness->setup.SendPlayerSummaryNoLock(departed, 1), 1u);
    }
    ASSERT_TRUE(host.Wait([&](SetupHarness&) { return hostSetting->players[1].IsClosed(); }));
    // The received copy of the name goes with the seat.
    EXPECT_EQ(hostSetting->players[1].name, nullptr);
}
