// The battle setup's four pages, offline, driven by scripted keys and by
// the mouse on the rectangles the pages report.
#include "tests/game/battle/SetupHarness.h"
#include "tests/game/battle/PadScript.h"

#include "game/actor/CCharacter.h"
#include "game/app/GameServices.h"

#include <cstring>
#include <filesystem>

using namespace setuptest;
using Phase = CBattleConfig::WeaponsPhase;

namespace
{
// Through the mode and members pages with the keys, onto the rules page.
void ToRulesPage(SetupHarness& h)
{
    ASSERT_TRUE(h.Settle());
    h.Press(MenuKey::Decide);
    ASSERT_TRUE(h.RunUntil([&] { return h.setup.GetPage() == CBattleConfig::PAGE_MEMBERS; }));
    ASSERT_TRUE(h.Settle());
    h.Press(MenuKey::Right); // 0 -> 1
    h.Press(MenuKey::Right); // 1 -> the decide button
    h.Press(MenuKey::Decide);
    ASSERT_TRUE(h.RunUntil([&] { return h.setup.GetPage() == CBattleConfig::PAGE_RULES; }));
    ASSERT_TRUE(h.Settle());
}

void ToWeaponsPage(SetupHarness& h)
{
    ToRulesPage(h);
    h.Press(MenuKey::Up); // row 0 -> 9, next
    h.Press(MenuKey::Decide);
    ASSERT_TRUE(h.RunUntil([&] { return h.setup.GetPage() == CBattleConfig::PAGE_WEAPONS; }));
    ASSERT_TRUE(h.Settle());
}

bool Named(const char* name, const char* expected)
{
    return name != nullptr && std::strcmp(name, expected) == 0;
}
}

// ---------------------------------------------------------------- mode page

TEST(BattleSetupModePage, FadesInAtTwoPerSecondThenRightChoosesTheTeamBattle)
{
    SetupHarness h;
    h.Run(15); // 255 ms: about half way
    EXPECT_NEAR(h.setup.GetFade(), 0.51f, 0.01f);
    EXPECT_EQ(h.setup.GetBackgroundAlpha(), h.setup.GetFade());
    ASSERT_TRUE(h.Settle());
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(CBattleConfig::ModePhase::Active));

    h.Press(MenuKey::Right);
    EXPECT_EQ(h.setting->rules.teamBattle, 1u);
    EXPECT_EQ(h.setting->rules.rule, tag_TOLQBATTLERULE::RULE_TEAM_FALLS);
    EXPECT_TRUE(h.Played(MenuSound::Cursor));
    ASSERT_TRUE(h.setup.GetMouseTarget().has_value());
    EXPECT_TRUE(h.ItemRect(CBattleConfig::kTeamPanelId).Contains(*h.setup.GetMouseTarget()));
    h.Press(MenuKey::Left);
    EXPECT_EQ(h.setting->rules.teamBattle, 0u);
    EXPECT_EQ(h.setting->rules.rule, tag_TOLQBATTLERULE::RULE_SMASH_RACE);
}

TEST(BattleSetupModePage, DecideFadesOutToTheMembersPageAndCancelLeaves)
{
    SetupHarness h;
    ASSERT_TRUE(h.Settle());
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.setup.GetPhase(), CBattleConfig::kModeForward.phase);
    EXPECT_EQ(h.setup.GetNextPhase(), CBattleConfig::kModeForward.nextPhase);
    EXPECT_TRUE(h.Played(MenuSound::Decide));
    h.Run(29); // 493 ms: still fading
    EXPECT_EQ(h.setup.GetPage(), CBattleConfig::PAGE_MODE);
    ASSERT_TRUE(h.RunUntil([&] { return h.setup.GetPage() == CBattleConfig::PAGE_MEMBERS; }, 5));
    EXPECT_EQ(h.setup.GetPhase(), 0);

    SetupHarness leaving;
    ASSERT_TRUE(leaving.Settle());
    leaving.Press(MenuKey::Cancel);
    EXPECT_TRUE(leaving.Played(MenuSound::Cancel));
    ASSERT_TRUE(leaving.RunUntil([&] { return leaving.setup.GetPage() == CBattleConfig::PAGE_LEAVE; }));
}

TEST(BattleSetupModePage, TheMouseChoosesByHoverAndDecidesByAClickOnThePanelsEdge)
{
    SetupHarness h;
    ASSERT_TRUE(h.Settle());
    const MenuRect team = h.ItemRect(CBattleConfig::kTeamPanelId);
    h.MoveTo({team.left, team.bottom}); // the corner belongs to the panel
    EXPECT_EQ(h.setting->rules.teamBattle, 1u);
    h.MoveTo({team.left - 0.01f, team.top + 10.0f});
    EXPECT_EQ(h.setting->rules.teamBattle, 1u);
    const MenuRect solo = h.ItemRect(CBattleConfig::kSoloPanelId);
    h.ClickAt({solo.right, solo.top});
    EXPECT_EQ(h.setting->rules.teamBattle, 0u);
    EXPECT_EQ(h.setup.GetPhase(), CBattleConfig::kModeForward.phase);
}

// ------------------------------------------------------------- members page

TEST(BattleSetupMembersPage, KeysMoveOverBothBlocksWithWrapAndReachTheDecideButton)
{
    SetupHarness h(CBattleConfig::PAGE_MEMBERS);
    ASSERT_TRUE(h.Settle());
    EXPECT_EQ(h.setup.GetRow(), 0);
    h.Press(MenuKey::Left);
    EXPECT_EQ(h.setup.GetRow(), 5);
    h.Press(MenuKey::Right);
    EXPECT_EQ(h.setup.GetRow(), 0);
    h.Press(MenuKey::Down);
    EXPECT_EQ(h.setup.GetRow(), 2);
    h.Press(MenuKey::Down);
    EXPECT_EQ(h.setup.GetRow(), 0);
    h.Press(MenuKey::Right);
    h.Press(MenuKey::Right); // from panel 1: the decide button (the members may advance)
    EXPECT_EQ(h.setup.GetRow(), 8);
    h.Press(MenuKey::Right);
    EXPECT_EQ(h.setup.GetRow(), 6);
    h.Press(MenuKey::Left);
    EXPECT_EQ(h.setup.GetRow(), 8);
    h.Press(MenuKey::Left);
    EXPECT_EQ(h.setup.GetRow(), 3);
    ASSERT_TRUE(h.setup.GetMouseTarget().has_value());
    EXPECT_TRUE(h.ItemRect(CBattleConfig::kMemberPanelId + 3).Contains(*h.setup.GetMouseTarget()));
}

TEST(BattleSetupMembersPage, EditingWrapsTheCharacterThroughRandomAndCyclesTheSeat)
{
    SetupHarness h(CBattleConfig::PAGE_MEMBERS);
    ASSERT_TRUE(h.Settle());
    h.Entry(0).character = 0;
    h.Press(MenuKey::Decide);
    ASSERT_EQ(h.setup.GetPhase(), static_cast<int32_t>(CBattleConfig::MembersPhase::Editing));
    h.Press(MenuKey::Up);
    EXPECT_EQ(h.Entry(0).character, kCharacters); // random
    h.Press(MenuKey::Down);
    EXPECT_EQ(h.Entry(0).character, 0);
    // The own seat: right gives a computer, then closed, then the own seat again.
    h.Press(MenuKey::Right);
    EXPECT_EQ(h.Entry(0).slotState, tag_TOLQBATTLEPLAYER::SLOT_COMPUTER);
    h.Press(MenuKey::Right);
    EXPECT_EQ(h.Entry(0).slotState, tag_TOLQBATTLEPLAYER::SLOT_CLOSED);
    h.Press(MenuKey::Right);
    EXPECT_EQ(h.Entry(0).slotState, 0);
    h.Press(MenuKey::Left);
    EXPECT_EQ(h.Entry(0).slotState, tag_TOLQBATTLEPLAYER::SLOT_CLOSED);
    h.Press(MenuKey::Left);
    EXPECT_EQ(h.Entry(0).slotState, tag_TOLQBATTLEPLAYER::SLOT_COMPUTER);
    // The own seat is taken by panel 0 once it is back: panel 1 skips it.
    h.Press(MenuKey::Right);
    h.Press(MenuKey::Right);
    EXPECT_EQ(h.Entry(0).slotState, 0);
    h.Press(MenuKey::Cancel);
    h.Press(MenuKey::Right);
    h.Press(MenuKey::Decide);
    h.Press(MenuKey::Left); // computer -> down past the taken own seat -> closed
    EXPECT_EQ(h.Entry(1).slotState, tag_TOLQBATTLEPLAYER::SLOT_CLOSED);
    // A closed seat has nothing to confirm: Z leaves it open (X closes it).
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(CBattleConfig::MembersPhase::Editing));
    EXPECT_EQ(h.Entry(1).roomWords[0], 0u);
    h.Press(MenuKey::Right); // closed -> the own seat is taken -> computer
    EXPECT_EQ(h.Entry(1).slotState, tag_TOLQBATTLEPLAYER::SLOT_COMPUTER);
}

TEST(BattleSetupMembersPage, ClicksPickACharacterChangeTheTeamAndAnEmptySpotConfirms)
{
    SetupHarness h(CBattleConfig::PAGE_MEMBERS);
    h.setting->rules.teamBattle = 1;
    ASSERT_TRUE(h.Settle());
    ASSERT_TRUE(h.Click(CBattleConfig::kMemberPanelId + 2));
    EXPECT_EQ(h.setup.GetRow(), 2);
    ASSERT_EQ(h.setup.GetPhase(), static_cast<int32_t>(CBattleConfig::MembersPhase::Editing));
    h.Run(1);
    ASSERT_TRUE(h.Click(CBattleConfig::kCharacterIconId + 3));
    EXPECT_EQ(h.Entry(2).character, 3);
    const uint8_t team = h.Entry(2).team;
    ASSERT_TRUE(h.Click(CBattleConfig::kTeamLeftId));
    EXPECT_EQ(h.Entry(2).team, (team + 3) % 4);
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(CBattleConfig::MembersPhase::Editing));
    h.ClickAt({1000.0f, 740.0f});
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(CBattleConfig::MembersPhase::Panels));
    EXPECT_EQ(h.Entry(2).roomWords[0], 1u);
    // A right click on the confirmed panel takes the confirmation back.
    h.Run(1);
    ASSERT_TRUE(h.Click(CBattleConfig::kMemberPanelId + 2, MenuKey::AltClick));
    EXPECT_EQ(h.Entry(2).roomWords[0], 0u);
    EXPECT_EQ(h.setup.GetPage(), CBattleConfig::PAGE_MEMBERS);
}

TEST(BattleSetupMembersPage, TheCharacterIconsStandApartAboveTheDecideButton)
{
    SetupHarness h(CBattleConfig::PAGE_MEMBERS);
    ASSERT_TRUE(h.Settle());
    const MenuRect decide = h.ItemRect(CBattleConfig::kMembersDecideId);
    ASSERT_GT(decide.top, 0.0f);
    h.Press(MenuKey::Decide);
    h.Run(1);
    const int32_t icons = kCharacters + 1; // and the random choice
    for (int32_t i = 0; i < icons; ++i)
    {
        const MenuRect icon = h.ItemRect(CBattleConfig::kCharacterIconId + i);
        ASSERT_GT(icon.Height(), 0.0f) << i;
        EXPECT_LT(icon.bottom, decide.top) << i;
        if (i + 1 < icons)
        {
            EXPECT_LT(icon.bottom, h.ItemRect(CBattleConfig::kCharacterIconId + i + 1).top) << i;
        }
    }
}

TEST(BattleSetupMembersPage, AllOnOneTeamOrAloneTheMembersCannotAdvance)
{
    SetupHarness h(CBattleConfig::PAGE_MEMBERS);
    EXPECT_TRUE(h.setup.CanAdvanceMembers());
    h.setting->rules.teamBattle = 1;
    for (int i = 0; i < 8; ++i)
        h.Entry(i).team = 2;
    EXPECT_FALSE(h.setup.CanAdvanceMembers());
    h.setting->rules.teamBattle = 0;
    EXPECT_TRUE(h.setup.CanAdvanceMembers());
    for (int i = 1; i < 8; ++i)
        h.Entry(i).slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
    EXPECT_FALSE(h.setup.CanAdvanceMembers());
    h.Entry(1).slotState = tag_TOLQBATTLEPLAYER::SLOT_COMPUTER;
    h.Entry(0).slotState = tag_TOLQBATTLEPLAYER::SLOT_COMPUTER; // no player at all
    EXPECT_FALSE(h.setup.CanAdvanceMembers());

    // The decide button then refuses: the page stays.
    ASSERT_TRUE(h.Settle());
    h.Press(MenuKey::Right);
    h.Press(MenuKey::Right);
    EXPECT_EQ(h.setup.GetRow(), 4); // not the decide button
}

TEST(BattleSetupMembersPage, LeavingForwardPreparesPreviewsWeaponsAndARandomPickFromTheSeed)
{
    auto pickOf = [](uint32_t seed) {
        SetupHarness h(CBattleConfig::PAGE_MEMBERS);
        h.setting->seed = seed;
        h.setup.SetGameData(h.world.Data());
        tag_TOLQSETUPPARAM param;
        param.startPage = CBattleConfig::PAGE_MEMBERS;
        param.setting = h.setting;
        h.setup.Init(reinterpret_cast<uintptr_t>(&param));
        EXPECT_TRUE(h.Settle());
        h.Entry(3).slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
        h.setup.SetCursor(CBattleConfig::kMembersForward);
        EXPECT_TRUE(h.RunUntil([&] { return h.setup.GetPage() == CBattleConfig::PAGE_RULES; }));
        EXPECT_NE(h.Entry(0).preview, nullptr);
        EXPECT_EQ(h.Entry(3).preview, nullptr);
        EXPECT_TRUE(Named(h.Entry(0).weapons[0], "Sword"));
        EXPECT_EQ(h.Entry(0).weapons[0], h.world.config.GetCharacterData(h.Entry(0).randomCharacter)->weapons[0]);
        EXPECT_EQ(h.Entry(1).weapons[1], h.world.characters[h.Entry(1).randomCharacter].defaultWeapons[1]);
        EXPECT_NE(h.Entry(1).preview->GetClothes(0), nullptr);
        EXPECT_STREQ(h.Entry(1).radioChat[0].text, h.world.characters[h.Entry(1).randomCharacter].radio[0].text);
        std::vector<uint8_t> picks;
        for (int i = 0; i < 8; ++i)
            picks.push_back(h.Entry(i).randomCharacter);
        return picks;
    };
    EXPECT_EQ(pickOf(77), pickOf(77));
    EXPECT_NE(pickOf(77), pickOf(78));
}

// --------------------------------------------------------------- rules page

TEST(BattleSetupRulesPage, StageAndMusicWrapThroughRandomAndTheRuleStaysInItsPair)
{
    SetupHarness h(CBattleConfig::PAGE_RULES);
    ASSERT_TRUE(h.Settle());
    h.setting->rules.stageChoice = 0;
    h.Press(MenuKey::Left);
    EXPECT_EQ(h.setting->rules.stageChoice, 3); // random
    h.Press(MenuKey::Right);
    EXPECT_EQ(h.setting->rules.stageChoice, 0);
    h.Press(MenuKey::Down);
    h.setting->rules.musicChoice = 12;
    h.Press(MenuKey::Right);
    EXPECT_EQ(h.setting->rules.musicChoice, 0);
    h.Press(MenuKey::Left);
    EXPECT_EQ(h.setting->rules.musicChoice, 12);
    h.Press(MenuKey::Down);
    h.setting->rules.teamBattle = 1;
    h.setting->rules.rule = 2;
    h.Press(MenuKey::Left);
    EXPECT_EQ(h.setting->rules.rule, 3);
    h.Press(MenuKey::Right);
    EXPECT_EQ(h.setting->rules.rule, 2);
    // Up from the first row is the next button; down from it the first row.
    h.Press(MenuKey::Up);
    h.Press(MenuKey::Up);
    h.Press(MenuKey::Up);
    EXPECT_EQ(h.setup.GetRow(), CBattleConfig::ROW_NEXT);
    h.Press(MenuKey::Down);
    EXPECT_EQ(h.setup.GetRow(), CBattleConfig::ROW_STAGE);
}

TEST(BattleSetupRulesPage, SidewaysKeysOnlyMoveTheColumnUntilDecideStoresIt)
{
    SetupHarness h(CBattleConfig::PAGE_RULES);
    ASSERT_TRUE(h.Settle());
    for (int i = 0; i < 3; ++i)
        h.Press(MenuKey::Down);
    ASSERT_EQ(h.setup.GetRow(), CBattleConfig::ROW_LIMIT);
    EXPECT_EQ(h.setup.GetColumn(), 4);
    h.Press(MenuKey::Right);
    h.Press(MenuKey::Right);
    EXPECT_EQ(h.setting->rules.limit, 4);
    EXPECT_EQ(h.setup.GetColumn(), 6);
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.setting->rules.limit, 6);
    for (int i = 0; i < 4; ++i)
        h.Press(MenuKey::Right); // 10 cells: wraps to 0
    EXPECT_EQ(h.setup.GetColumn(), 0);
    h.Press(MenuKey::Down);
    h.Press(MenuKey::Down);
    h.Press(MenuKey::Down); // items
    h.Press(MenuKey::Right);
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.setting->rules.itemMask, 63u & ~2u);
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.setting->rules.itemMask, 63u);
}

TEST(BattleSetupRulesPage, HoverTakesTheLimitSilentlyTheTimeWithASoundAndAClickStores)
{
    SetupHarness h(CBattleConfig::PAGE_RULES);
    ASSERT_TRUE(h.Settle());
    h.Run(1);
    const MenuRect limit = h.ItemRect(CBattleConfig::kRuleValueId + CBattleConfig::ROW_LIMIT * 100 + 7);
    h.sounds.clear();
    h.MoveTo({limit.right, limit.bottom});
    EXPECT_EQ(h.setup.GetRow(), CBattleConfig::ROW_LIMIT);
    EXPECT_EQ(h.setup.GetColumn(), 7);
    EXPECT_FALSE(h.Played(MenuSound::Cursor));
    const MenuRect time = h.ItemRect(CBattleConfig::kRuleValueId + CBattleConfig::ROW_TIME * 100 + 1);
    h.MoveTo(time.Centre());
    EXPECT_TRUE(h.Played(MenuSound::Cursor));
    h.ClickAt(time.Centre());
    EXPECT_EQ(h.setting->rules.timeLimitIndex, 1);
    ASSERT_TRUE(h.Click(CBattleConfig::kRuleArrowLeftId + CBattleConfig::ROW_STAGE));
    EXPECT_EQ(h.setup.GetRow(), CBattleConfig::ROW_STAGE);
}

TEST(BattleSetupRulesPage, LeavingDrawsARandomStageEachTimeAndKeepsAFixedOne)
{
    SetupHarness h(CBattleConfig::PAGE_RULES);
    h.setting->rules.stageCount = 100;
    h.setting->rules.stageChoice = 100;
    std::vector<int8_t> draws;
    for (int i = 0; i < 4; ++i)
    {
        h.setup.SetPage(CBattleConfig::PAGE_RULES);
        ASSERT_TRUE(h.Settle());
        h.setup.SetCursor(CBattleConfig::kRulesForward);
        ASSERT_TRUE(h.RunUntil([&] { return h.setup.GetPage() == CBattleConfig::PAGE_WEAPONS; }));
        draws.push_back(h.setting->rules.randomStage);
    }
    EXPECT_FALSE(draws[0] == draws[1] && draws[1] == draws[2] && draws[2] == draws[3]);
    h.setting->rules.stageChoice = 5;
    h.setup.SetPage(CBattleConfig::PAGE_RULES);
    ASSERT_TRUE(h.Settle());
    h.setup.SetCursor(CBattleConfig::kRulesBack);
    ASSERT_TRUE(h.RunUntil([&] { return h.setup.GetPage() == CBattleConfig::PAGE_MEMBERS; }));
    EXPECT_EQ(h.setting->rules.randomStage, draws.back());
}

TEST(BattleSetupRulesPage, TheNextButtonCopiesTheCpuLevelAndResetRestoresTheDefaults)
{
    SetupHarness h(CBattleConfig::PAGE_RULES);
    ASSERT_TRUE(h.Settle());
    h.setting->rules.limit = 9;
    h.setting->rules.timeLimitIndex = 0;
    h.setting->rules.itemMask = 0;
    h.Run(1);
    ASSERT_TRUE(h.Click(CBattleConfig::kRuleLabelId + CBattleConfig::ROW_RESET));
    EXPECT_EQ(h.setting->rules.limit, 4);
    EXPECT_EQ(h.setting->rules.timeLimitIndex, 4);
    EXPECT_EQ(h.setting->rules.itemMask, 63u);
    EXPECT_EQ(h.setting->rules.stageChoice, 3);
    EXPECT_EQ(h.setting->rules.musicChoice, 12);
    h.setting->rules.cpuLevel = 4;
    h.Entry(2).roomWords[1] = 1;
    ASSERT_TRUE(h.Click(CBattleConfig::kRuleLabelId + CBattleConfig::ROW_NEXT));
    ASSERT_TRUE(h.RunUntil([&] { return h.setup.GetPage() == CBattleConfig::PAGE_WEAPONS; }));
    EXPECT_EQ(h.Entry(5).cpuLevel, 4);
    EXPECT_EQ(h.Entry(2).roomWords[1], 0u);
}

// ------------------------------------------------------------- weapons page

TEST(BattleSetupWeaponsPage, TheWeightLimitRefusesAWeaponThatWouldPassIt)
{
    SetupHarness h;
    ToWeaponsPage(h);
    EXPECT_EQ(h.setup.GetLoadoutWeight(), 5u); // sword 3, pistol 2
    // Add: category long range, its second type (the heavy gun, 8).
    h.Press(MenuKey::Up); // the done button -> ... the add row
    while (h.setup.GetRow() != CBattleConfig::ROW_ADD)
        h.Press(MenuKey::Up);
    h.Press(MenuKey::Decide);
    ASSERT_EQ(h.setup.GetPhase(), static_cast<int32_t>(Phase::Category));
    h.Press(MenuKey::Right);
    h.Press(MenuKey::Decide);
    ASSERT_EQ(h.setup.GetPhase(), static_cast<int32_t>(Phase::WeaponList));
    h.Press(MenuKey::Right);
    EXPECT_EQ(h.setup.GetCurrentWeaponType(), 7);
    ASSERT_EQ(h.setup.CountListedWeapons(), 1);
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(Phase::WeaponList)); // refused: 5 + 8 > 10
    EXPECT_EQ(h.setup.GetLoadoutWeight(), 5u);
    // The special cannon (2) fits and goes into the first empty place.
    h.Press(MenuKey::Cancel);
    h.Press(MenuKey::Right);
    h.Press(MenuKey::Decide);
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(Phase::Loadout));
    EXPECT_TRUE(Named(h.setup.GetOwnEntry()->weapons[2], "Cannon"));
    EXPECT_EQ(h.setup.GetLoadoutWeight(), 7u);
    EXPECT_TRUE(Named(h.setup.GetLoadoutName(3), "Cannon"));
}

TEST(BattleSetupWeaponsPage, ListsHideDefaultOnlyLockedAndForeignWeaponsAndAnEmptyListPicksNothing)
{
    SetupHarness h;
    ToWeaponsPage(h);
    h.Press(MenuKey::Down);
    h.Press(MenuKey::Decide); // the sword's row: replacing it
    ASSERT_EQ(h.setup.GetPhase(), static_cast<int32_t>(Phase::WeaponList));
    EXPECT_EQ(h.setup.GetListedWeapons(), (std::vector<int32_t>{-1, 0, 1})); // remove, sword, blade
    h.setting->rules.defaultWeapons = 1;
    EXPECT_EQ(h.setup.GetListedWeapons(), (std::vector<int32_t>{-1, 0}));
    h.setting->rules.defaultWeapons = 0;
    h.Press(MenuKey::Right); // type 1: only a locked weapon
    EXPECT_EQ(h.setup.GetListedWeapons(), (std::vector<int32_t>{-1}));
    h.Press(MenuKey::Right); // type 2: the spear
    h.Press(MenuKey::Right); // type 3: for another character only
    EXPECT_EQ(h.setup.CountListedWeapons(), 1);

    // Adding from an empty list: the cursor stays on 0 and nothing goes in.
    h.Press(MenuKey::Cancel);
    while (h.setup.GetRow() != CBattleConfig::ROW_ADD)
        h.Press(MenuKey::Up);
    h.Press(MenuKey::Decide);
    h.Press(MenuKey::Decide);
    for (int i = 0; i < 3; ++i)
        h.Press(MenuKey::Right);
    ASSERT_EQ(h.setup.CountListedWeapons(), 0);
    h.Press(MenuKey::Up);
    h.Press(MenuKey::Down);
    EXPECT_EQ(h.setup.GetListIndex(), 0);
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(Phase::WeaponList));
    EXPECT_EQ(h.setup.GetLoadoutWeight(), 5u);
}

TEST(BattleSetupWeaponsPage, RemovingARowReturnsToTheAddRowAndTheDoneButtonNeedsBothKinds)
{
    SetupHarness h;
    ToWeaponsPage(h);
    EXPECT_TRUE(h.setup.HasCompleteLoadout());
    // The pistol's row, then its remove item.
    while (h.setup.GetRow() != 2)
        h.Press(MenuKey::Down);
    h.Press(MenuKey::Decide);
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.setup.GetRow(), CBattleConfig::ROW_ADD);
    EXPECT_FALSE(h.setup.HasCompleteLoadout());
    EXPECT_FALSE(h.setup.HasLongOrSpecialWeapon());
    // Down and up step over the done button now.
    for (int i = 0; i < 4; ++i)
    {
        h.Press(MenuKey::Down);
        EXPECT_NE(h.setup.GetRow(), CBattleConfig::ROW_DONE);
    }
}

TEST(BattleSetupWeaponsPage, WeightTenClosesTheAddRowButAReplacementThatFitsStillGoesIn)
{
    SetupHarness h;
    tag_TOLQCHARAPLAYDATA* play = h.world.config.GetCharacterData(0);
    std::snprintf(play->weapons[2], kNameBytes, "Cannon");
    std::snprintf(play->weapons[3], kNameBytes, "Spear");
    h.Entry(0).character = 0;
    ToWeaponsPage(h);
    ASSERT_EQ(h.setup.GetLoadoutWeight(), 10u);
    for (int i = 0; i < 6; ++i)
    {
        h.Press(MenuKey::Up);
        EXPECT_NE(h.setup.GetRow(), CBattleConfig::ROW_ADD);
    }
    // The sword's row (3) for the blade (4) would pass 10; the spear's own
    // type lists the spear (already in) and nothing else.
    while (h.setup.GetRow() != 1)
        h.Press(MenuKey::Down);
    h.Press(MenuKey::Decide);
    h.Press(MenuKey::Down);
    h.Press(MenuKey::Down);
    h.Press(MenuKey::Decide); // the blade
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(Phase::WeaponList));
    h.Press(MenuKey::Up);
    h.Press(MenuKey::Decide); // the sword itself is in already
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(Phase::WeaponList));
}

TEST(BattleSetupWeaponsPage, DoneWritesTheNamesBackWithoutOverwritingOneAnotherThenStarts)
{
    SetupHarness h;
    h.Entry(0).character = 0;
    ToWeaponsPage(h);
    tag_TOLQCHARAPLAYDATA* play = h.world.config.GetCharacterData(0);
    // The places name the play data's own fields crosswise: writing field 0
    // first must not change what place 1 names.
    std::snprintf(play->weapons[3], kNameBytes, "Cannon");
    tag_TOLQBATTLEPLAYER& own = *h.setup.GetOwnEntry();
    own.weapons[0] = play->weapons[1]; // Pistol
    own.weapons[1] = play->weapons[0]; // Sword
    own.weapons[2] = play->weapons[3]; // Cannon
    own.weapons[3] = nullptr;
    while (h.setup.GetRow() != CBattleConfig::ROW_DONE)
        h.Press(MenuKey::Up);
    h.Press(MenuKey::Decide);
    EXPECT_STREQ(play->weapons[0], "Pistol");
    EXPECT_STREQ(play->weapons[1], "Sword");
    EXPECT_STREQ(play->weapons[2], "Cannon");
    EXPECT_EQ(play->weapons[3][0], '\0');
    EXPECT_EQ(own.weapons[0], play->weapons[0]);
    EXPECT_EQ(own.weapons[3], nullptr);
    EXPECT_TRUE(std::filesystem::exists(h.world.saves.Path() / "PlayData.dat"));
    // Offline the computers are ready with the player: the page fades out
    // and starts.
    EXPECT_EQ(h.Entry(4).roomWords[1], 1u);
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(Phase::Waiting));
    h.Run(1);
    EXPECT_EQ(h.setup.GetPhase(), CBattleConfig::kWeaponsForward.phase);
    ASSERT_TRUE(h.RunUntil([&] { return h.setup.GetPage() == CBattleConfig::PAGE_START; }));
    EXPECT_EQ(h.setup.GetFade(), 0.0f);
}

TEST(BattleSetupWeaponsPage, TheCameraKeysTurnAndSlideThePreviewWithinItsRange)
{
    SetupHarness h;
    ToWeaponsPage(h);
    CCharacter* preview = h.setup.GetOwnEntry()->preview;
    ASSERT_NE(preview, nullptr);
    const float start = preview->GetRotation()->y;
    for (int i = 0; i < 10; ++i)
    {
        SetupInput input = h.Idle();
        input.keys.SetHeld(MenuKey::CameraLeft, true);
        input.keys.SetHeld(MenuKey::CameraUp, true);
        h.Frame(input);
    }
    EXPECT_NEAR(preview->GetRotation()->y - start, 180.0f * 0.17f, 0.01f);
    for (int i = 0; i < 60; ++i)
    {
        SetupInput input = h.Idle();
        input.keys.SetHeld(MenuKey::CameraUp, true);
        h.Frame(input);
    }
    EXPECT_FLOAT_EQ(preview->GetPosition()->z, 0.8f);
}

TEST(BattleSetupWeaponsPage, CancelGoesBackToTheRulesPageOffline)
{
    SetupHarness h;
    ToWeaponsPage(h);
    h.Press(MenuKey::Cancel);
    EXPECT_EQ(h.setup.GetPhase(), CBattleConfig::kWeaponsBack.phase);
    ASSERT_TRUE(h.RunUntil([&] { return h.setup.GetPage() == CBattleConfig::PAGE_RULES; }));
}

// ------------------------------------------------------ pointer and keys
// On every page a pointer left resting on a control while the keys move
// the cursor takes nothing back from them: decide acts on the keys' choice.
// The keys put the pointer on their choice; these windows never carry it
// there, so that it rests where the player left it.

TEST(BattleSetupPointerAndKeys, OnTheModePageTheKeysChoiceHoldsUnderARestingPointer)
{
    SetupHarness h;
    ASSERT_TRUE(h.Settle());
    const MenuPoint team = h.ItemRect(CBattleConfig::kTeamPanelId).Centre();
    h.MoveTo(team);
    EXPECT_EQ(h.setting->rules.teamBattle, 1u) << "a moving pointer chooses";
    h.Press(MenuKey::Left);
    h.cursor = team;
    h.Run(3);
    EXPECT_EQ(h.setting->rules.teamBattle, 0u);
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.setup.GetPhase(), CBattleConfig::kModeForward.phase);
    EXPECT_EQ(h.setting->rules.teamBattle, 0u);
}

TEST(BattleSetupPointerAndKeys, OnTheMembersPageDecideTakesTheKeysCharacterNotTheIconUnderThePointer)
{
    SetupHarness h(CBattleConfig::PAGE_MEMBERS);
    ASSERT_TRUE(h.Settle());
    // The pointer moves onto panel 5; the keys go on to panel 4 and put
    // the pointer there, where the window has not carried it yet.
    const MenuPoint panel5 = h.ItemRect(CBattleConfig::kMemberPanelId + 5).Centre();
    h.MoveTo(panel5);
    EXPECT_EQ(h.setup.GetRow(), 5);
    h.Press(MenuKey::Left);
    h.cursor = panel5;
    h.Run(3);
    EXPECT_EQ(h.setup.GetRow(), 4);
    h.Entry(4).character = 0;
    h.Press(MenuKey::Decide);
    ASSERT_EQ(h.setup.GetPhase(), static_cast<int32_t>(CBattleConfig::MembersPhase::Editing));
    h.Run(1);
    // The pointer moves onto the fourth icon and rests there; the keys
    // choose the third character.
    h.MoveTo(h.ItemRect(CBattleConfig::kCharacterIconId + 3).Centre());
    EXPECT_EQ(h.Entry(4).character, 0) << "pointing is not choosing";
    h.Press(MenuKey::Down);
    h.Press(MenuKey::Down);
    h.Run(3);
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.Entry(4).character, 2);
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(CBattleConfig::MembersPhase::Panels));
    EXPECT_EQ(h.Entry(4).roomWords[0], 1u) << "decide confirmed the panel";
}

TEST(BattleSetupPointerAndKeys, OnTheRulesPageTheKeysRowHoldsUnderARestingPointer)
{
    SetupHarness h(CBattleConfig::PAGE_RULES);
    ASSERT_TRUE(h.Settle());
    const uint8_t time = h.setting->rules.timeLimitIndex;
    const MenuPoint timeCell = h.ItemRect(CBattleConfig::kRuleValueId + CBattleConfig::ROW_TIME * 100 + 1).Centre();
    h.MoveTo(timeCell);
    EXPECT_EQ(h.setup.GetRow(), CBattleConfig::ROW_TIME);
    h.Press(MenuKey::Up);
    h.cursor = timeCell;
    h.Run(3);
    EXPECT_EQ(h.setup.GetRow(), CBattleConfig::ROW_LIMIT);
    h.Press(MenuKey::Right);
    h.cursor = timeCell;
    h.Run(3);
    const int32_t column = h.setup.GetColumn();
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.setting->rules.limit, column);
    EXPECT_EQ(h.setting->rules.timeLimitIndex, time);
}

TEST(BattleSetupPointerAndKeys, OnTheWeaponsPageTheKeysRowHoldsUnderARestingPointer)
{
    SetupHarness h;
    ToWeaponsPage(h);
    const MenuPoint done = h.ItemRect(CBattleConfig::kDoneId).Centre();
    h.MoveTo(done);
    EXPECT_EQ(h.setup.GetRow(), CBattleConfig::ROW_DONE);
    h.Press(MenuKey::Down); // the done button wraps to the add row
    h.cursor = done;
    h.Press(MenuKey::Down); // the sword
    h.cursor = done;
    h.Run(3);
    EXPECT_EQ(h.setup.GetRow(), 1);
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(Phase::WeaponList)) << "the sword's row, not the done button";
}

// ---------------------------------------------------------------- back menu

TEST(BattleSetupBackMenu, OnlineCancelOpensItNoReturnsQuietlyYesTakesTheBackPair)
{
    SetupHarness h(CBattleConfig::PAGE_MODE, true, true);
    ASSERT_TRUE(h.Settle());
    h.Press(MenuKey::Cancel);
    EXPECT_TRUE(h.setup.IsBackMenuOpen());
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(CBattleConfig::ModePhase::BackMenu));
    h.Press(MenuKey::Down);
    EXPECT_EQ(h.setup.GetBackMenu().cursor, 1);
    // The decide key that closes it reaches the page only once let go.
    CInput keys;
    g_pInput = &keys;
    battletest::HoldButtons(&keys, {MenuKeyButton(MenuKey::Decide)});
    h.Press(MenuKey::Decide);
    EXPECT_EQ(CInput::GetButtonState(keys.GetPadState(0), MenuKeyButton(MenuKey::Decide)), 0u);
    g_pInput = nullptr;
    EXPECT_FALSE(h.setup.IsBackMenuOpen());
    EXPECT_EQ(h.setup.GetPhase(), static_cast<int32_t>(CBattleConfig::ModePhase::Active));
    h.Press(MenuKey::Cancel);
    EXPECT_EQ(h.setup.GetBackMenu().cursor, 0);
    h.Press(MenuKey::Up); // wraps to "いいえ"
    EXPECT_EQ(h.setup.GetBackMenu().cursor, 1);
    // The movement stick's keys (W and S) move it the same ways.
    h.Press(MenuKey::MoveUp);
    EXPECT_EQ(h.setup.GetBackMenu().cursor, 0);
    h.Press(MenuKey::MoveDown);
    EXPECT_EQ(h.setup.GetBackMenu().cursor, 1);
    h.Press(MenuKey::Up);
    h.Press(MenuKey::Decide);
    EXPECT_EQ(h.setup.GetPhase(), CBattleConfig::kModeBack.phase);
    ASSERT_TRUE(h.RunUntil([&] { return h.setup.GetPage() == CBattleConfig::PAGE_LEAVE; }));
}
