// Fighters on the arena at 16 ms frames, driven by input records.
#include "tests/game/actor/ArenaHarness.h"

#include "game/actor/CWeapon.h"

#include <gtest/gtest.h>

#include <cmath>

using arena::Battle;
using arena::Record;

namespace
{
constexpr uint32_t kFrame = 16;

// Runs frames until ms have passed, the player (index 0) holding record.
void Hold(Battle* battle, const tag_TOLQINPUTRECORD& record, uint32_t ms)
{
    for (uint32_t t = 0; t < ms; t += kFrame)
        battle->Step(kFrame, {{0, record}});
}

void Settle(Battle* battle)
{
    Hold(battle, Record(), 64);
}
}

TEST(CharacterMovement, WalksAndDashesAtTheDefinitionsSpeeds)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    Settle(&battle);
    ASSERT_EQ(player->GetStateBlock()->grounded, 1u);
    // Half stick forward: walking along +z (camera yaw 0).
    Hold(&battle, Record(0, -50), 160);
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_MOVE);
    const float z0 = player->GetPosition()->z;
    Hold(&battle, Record(0, -50), 1008);
    EXPECT_NEAR(player->GetPosition()->z - z0, 4.0f * 1.008f, 0.01f);
    EXPECT_EQ(player->GetStateBlock()->dashFlag, 0u);
    // Full stick: the dash flag after 400 ms, then dash speed.
    Hold(&battle, Record(0, -100), 400);
    EXPECT_EQ(player->GetStateBlock()->dashFlag, 1u);
    const float z1 = player->GetPosition()->z;
    Hold(&battle, Record(0, -100), 320);
    EXPECT_NEAR(player->GetPosition()->z - z1, 8.0f * 0.32f, 0.01f);
    // Released: standing.
    Hold(&battle, Record(), 32);
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STAND);
    EXPECT_EQ(player->GetStateBlock()->velocity.z, 0.0f);
}

TEST(CharacterMovement, JumpsAndLandsOnFloorRampAndBoxTop)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    Settle(&battle);
    battle.Step(kFrame, {{0, Record(0, 0, {CCharacter::BUTTON_JUMP})}});
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_JUMP);
    Hold(&battle, Record(), 320);
    EXPECT_GT(player->GetPosition()->y, 0.5f);
    Hold(&battle, Record(), 800);
    EXPECT_EQ(player->GetPosition()->y, 0.0f);
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STAND);
    EXPECT_EQ(player->GetStateBlock()->grounded, 1u);

    // Up the ramp (along +x: camera yaw 90).
    CkvrVector3 rampFoot(9, 0, -20);
    player->SetPosition(&rampFoot);
    player->GetStateBlock()->cameraYaw = 90.0f;
    Hold(&battle, Record(0, -50), 2000);
    EXPECT_GT(player->GetPosition()->x, 15.0f);
    EXPECT_NEAR(player->GetPosition()->y, (player->GetPosition()->x - 10.0f) * 0.5f, 0.35f);
    EXPECT_EQ(player->GetStateBlock()->grounded, 1u);

    // Dropped onto the box (top at y = 2).
    CkvrVector3 above(30, 4, 0);
    player->SetPosition(&above);
    player->GetStateBlock()->grounded = 0;
    Hold(&battle, Record(), 1000);
    EXPECT_EQ(player->GetPosition()->y, 2.0f);
    EXPECT_EQ(player->GetStateBlock()->grounded, 1u);
}

TEST(CharacterMovement, WallsStopAndSlide)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(46, 0, 0), 4, 0);
    Settle(&battle);
    player->GetStateBlock()->cameraYaw = 90.0f; // facing the wall at x = 50
    Hold(&battle, Record(0, -50), 2000);
    EXPECT_LE(player->GetPosition()->x, 50.0f - 0.4f);
    EXPECT_GT(player->GetPosition()->x, 49.0f);
    // Diagonally into the wall: the motion along it remains.
    const float z = player->GetPosition()->z;
    Hold(&battle, Record(-50, -50), 500); // forward and left: +x and +z
    EXPECT_GT(player->GetPosition()->z, z + 0.5f);
    // The sweep runs a radius ahead along the motion, so at a slant the
    // body comes nearer, but never through.
    EXPECT_LT(player->GetPosition()->x, 50.0f);
}

TEST(CharacterMovement, FallingOutGoesDownWithoutAttacker)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(150, 0, 0), 4, 0);
    Hold(&battle, Record(), 2000);
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_DOWN);
    EXPECT_EQ(player->GetBattleScore()->value[tag_TOLQBATTLESCORE::DOWNS], 1u);
    ASSERT_EQ(battle.console.messages.size(), 1u);
    // "Fighter0が倒されました" as the font reads it, in code page 932.
    EXPECT_EQ(battle.console.messages[0], "Fighter0\x82\xAA\x93\x7C\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD");
    EXPECT_EQ(battle.console.teams[0], 4u);
}

TEST(CharacterCombat, SwingHitsEachFighterOnceButNoTeamMateOrDodger)
{
    Battle battle;
    battle.teamBattle = 1;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 0, 0);
    CCharacter* enemy = battle.Add(0, CkvrVector3(0.5f, 0, 1.2f), 1, 0);
    CCharacter* mate = battle.Add(0, CkvrVector3(-0.5f, 0, 1.2f), 0, 0);
    CCharacter* dodger = battle.Add(0, CkvrVector3(0, 0, 1.6f), 1, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 1), 1u);
    Settle(&battle);
    dodger->GetStateBlock()->actionState = CCharacter::STATE_DODGE;
    dodger->GetStateBlock()->stateClock = 0;
    battle.Step(kFrame, {{0, Record(0, 0, {CCharacter::BUTTON_ATTACK})}});
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_ATTACK);
    EXPECT_EQ(player->GetBattleScore()->value[tag_TOLQBATTLESCORE::MELEE_ATTACKS], 1u);
    dodger->GetStateBlock()->stateClock = 0; // keep dodging through the window
    for (int i = 0; i < 20; ++i)
    {
        dodger->GetStateBlock()->actionState = CCharacter::STATE_DODGE;
        dodger->GetStateBlock()->stateClock = 0;
        battle.Step(kFrame, {{0, Record()}});
    }
    EXPECT_EQ(enemy->GetStateBlock()->life, 100 - 100);
    EXPECT_EQ(enemy->GetStateBlock()->actionState, CCharacter::STATE_DOWN);
    EXPECT_EQ(mate->GetStateBlock()->life, 100);
    EXPECT_EQ(dodger->GetStateBlock()->life, 100);
    EXPECT_EQ(player->GetBattleScore()->value[tag_TOLQBATTLESCORE::MELEE_HITS], 1u);
    EXPECT_EQ(player->GetBattleScore()->value[tag_TOLQBATTLESCORE::DAMAGE_DEALT], 100u);
    EXPECT_EQ(enemy->GetBattleScore()->value[tag_TOLQBATTLESCORE::DAMAGE_TAKEN], 100u);
    EXPECT_EQ(player->GetBattleScore()->value[tag_TOLQBATTLESCORE::DEFEATS], 1u);
    EXPECT_EQ(player->GetActionData()->notice, 1u);
    ASSERT_EQ(battle.console.messages.size(), 1u);
    // "Fighter1がFighter0に倒されました" in code page 932.
    EXPECT_EQ(battle.console.messages[0],
              "Fighter1\x82\xAA"
              "Fighter0\x82\xC9\x93\x7C\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD");
    EXPECT_EQ(battle.console.teams[0], 1u);
    EXPECT_EQ(player->GetStateBlock()->ruleCounter, 1); // rule 0
}

// A fighter and a box that stay inside the blade's sphere for the whole
// hit window (and survive it) are each struck once by one swing.
TEST(CharacterCombat, OneSwingStrikesAFighterAndABoxOnlyOnce)
{
    Battle battle;
    battle.definitions[1].life = 1000;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    CCharacter* enemy = battle.Add(0, CkvrVector3(0.3f, 0, 1.0f), 4, 0);
    const uint32_t box = battle.world.AddBox(CkvrVector3(-0.4f, 1.2f, 1.6f), CkvrVector3(0.3f, 0.3f, 0.3f), 1000);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 1), 1u);
    Settle(&battle);
    battle.Step(kFrame, {{0, Record(0, 0, {CCharacter::BUTTON_ATTACK})}});
    ASSERT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_ATTACK);
    // Through the whole swing, holding the enemy where the blade passes.
    const CkvrVector3 at = *enemy->GetPosition();
    for (int i = 0; i < 40; ++i)
    {
        enemy->SetPosition(&at);
        battle.Step(kFrame, {{0, Record()}});
    }
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STAND);
    EXPECT_EQ(enemy->GetStateBlock()->life, 1000 - 100);
    EXPECT_EQ(enemy->GetBattleScore()->value[tag_TOLQBATTLESCORE::DAMAGE_TAKEN], 100u);
    EXPECT_EQ(player->GetBattleScore()->value[tag_TOLQBATTLESCORE::MELEE_HITS], 1u);
    EXPECT_EQ(battle.world.GetBoxes()[box].life, 1000 - 100);
    // The next swing, from the same place, strikes again, once.
    const CkvrVector3 origin(0, 0, 0);
    player->SetPosition(&origin);
    battle.Step(kFrame, {{0, Record(0, 0, {CCharacter::BUTTON_ATTACK})}});
    for (int i = 0; i < 40; ++i)
    {
        enemy->SetPosition(&at);
        battle.Step(kFrame, {{0, Record()}});
    }
    EXPECT_EQ(enemy->GetStateBlock()->life, 1000 - 200);
    EXPECT_EQ(battle.world.GetBoxes()[box].life, 1000 - 200);
}

TEST(CharacterCombat, ShotsSpendAmmoReloadAndHit)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    CCharacter* target = battle.Add(0, CkvrVector3(0.3f, 0, 10), 4, 0); // in line with the hand
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[1], 1), 1u);
    Settle(&battle);
    const uint32_t fire[] = {CCharacter::BUTTON_ATTACK, CCharacter::BUTTON_AIM};
    for (int shot = 0; shot < 3; ++shot)
    {
        battle.Step(kFrame, {{0, Record(0, 0, {fire[0], fire[1]})}});
        EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_LONG_ATTACK);
        Hold(&battle, Record(0, 0, {CCharacter::BUTTON_AIM}), 224);
    }
    CWeapon* rifle = player->GetMainWeapon();
    EXPECT_EQ(rifle->GetAmmo(), 0u);
    EXPECT_EQ(player->GetBattleScore()->value[tag_TOLQBATTLESCORE::SHOTS], 3u);
    EXPECT_EQ(player->GetBattleScore()->value[tag_TOLQBATTLESCORE::SHOT_HITS], 3u);
    EXPECT_EQ(target->GetStateBlock()->life, 100 - 3 * 20);
    EXPECT_EQ(battle.bullets.GetLiveCount(), 0u);
    // Empty: no shot; after the reload time, full again.
    battle.Step(kFrame, {{0, Record(0, 0, {fire[0], fire[1]})}});
    EXPECT_EQ(player->GetBattleScore()->value[tag_TOLQBATTLESCORE::SHOTS], 3u);
    Hold(&battle, Record(), 1008);
    EXPECT_EQ(rifle->GetAmmo(), 3u);
}

TEST(CharacterCombat, ABulletHitsInItsFirstPass)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    CCharacter* target = battle.Add(0, CkvrVector3(0.3f, 0, 0.6f), 4, 0); // at the muzzle
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[1], 1), 1u);
    Settle(&battle);
    battle.Step(kFrame, {{0, Record(0, 0, {CCharacter::BUTTON_ATTACK, CCharacter::BUTTON_AIM})}});
    EXPECT_EQ(target->GetStateBlock()->life, 80);
    EXPECT_EQ(battle.bullets.GetLiveCount(), 0u);
}

TEST(CharacterRules, ReviveByRuleOrStayDown)
{
    for (uint8_t rule : {0, 4})
    {
        Battle battle;
        battle.rule = rule;
        CCharacter* player = battle.Add(-1, CkvrVector3(150, 0, 0), 4, 0);
        Hold(&battle, Record(), 1600);
        ASSERT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_DOWN);
        // The battle ends while it is down: it rises into its lose pose,
        // not into its stance (seen under a lost battle's menu).
        player->SetResultPose(4);
        Hold(&battle, Record(), 3200);
        if (rule == 0)
        {
            EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STAND);
            EXPECT_EQ(player->GetMotion(), 5);
            EXPECT_EQ(player->GetStateBlock()->life, 100);
            EXPECT_LT(std::fabs(player->GetPosition()->x), 21.0f); // at a start point
        }
        else
            EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_DOWN);
    }
}

TEST(CharacterRules, RuleTwoTeamOutStaysDown)
{
    Battle battle;
    battle.rule = 2;
    battle.goalCount = 1; // limit 0: the first fall puts the team out
    CCharacter* player = battle.Add(-1, CkvrVector3(150, 0, 0), 4, 0);
    Hold(&battle, Record(), 5000);
    EXPECT_EQ(player->GetStateBlock()->ruleCounter, 1);
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_DOWN);
}

TEST(CharacterRules, GoalStopsTheFighter)
{
    Battle battle;
    battle.goalCount = 2;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    Settle(&battle);
    player->GetStateBlock()->ruleCounter = 2;
    battle.Step(kFrame, {{0, Record()}});
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STOPPED);
    EXPECT_TRUE(player->IsDown());
}

TEST(CharacterRules, AFighterStoppedAtTheGoalWhileRunningStaysPut)
{
    Battle battle;
    battle.goalCount = 2;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    Settle(&battle);
    Hold(&battle, Record(0, -100), 320);
    const CkvrVector3& running = player->GetStateBlock()->velocity;
    ASSERT_NE(running.x * running.x + running.z * running.z, 0.0f);
    player->GetStateBlock()->ruleCounter = 2;
    battle.Step(kFrame, {{0, Record(0, -100)}});
    ASSERT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STOPPED);
    const CkvrVector3 stopped = *player->GetPosition();
    Hold(&battle, Record(0, -100), 2000);
    EXPECT_EQ(player->GetPosition()->x, stopped.x);
    EXPECT_EQ(player->GetPosition()->z, stopped.z);
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STOPPED);
}

TEST(CharacterPoses, PadIgnoredWhilePosedAndTheWinDraw)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    Settle(&battle);
    SeedRandom(7);
    uint32_t before[4], after[4];
    GetRandomState(before);
    player->SetRequestedResultPose(3);
    player->ApplyRequestedResultPose();
    GetRandomState(after);
    EXPECT_NE(std::memcmp(before, after, sizeof(before)), 0); // one draw
    EXPECT_EQ(player->GetMotion(), 4);
    Hold(&battle, Record(0, -100, {CCharacter::BUTTON_JUMP}), 500);
    EXPECT_EQ(player->GetPosition()->z, 0.0f);
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STAND);
    player->ResetResultPose(3);
    EXPECT_EQ(player->GetMotion(), 3);
    Hold(&battle, Record(0, -100), 100);
    EXPECT_GT(player->GetPosition()->z, 0.0f);
}

TEST(CharacterEquipment, WeightLimitAndMask)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    CWeaponDefinition heavy = arena::Sword();
    heavy.weight = 7;
    CWeaponDefinition three = arena::Sword();
    three.weight = 3;
    CWeaponDefinition four = arena::Sword();
    four.weight = 4;
    ASSERT_EQ(player->AddWeapon(&heavy, 1), 1u);
    EXPECT_EQ(player->AddWeapon(&four, 4), 0u); // 11
    EXPECT_EQ(player->AddWeapon(&three, 4), 1u); // 10
    EXPECT_EQ(player->GetActionData()->weight, 10);
    CCharacter* other = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    CWeaponDefinition notMine = arena::Sword();
    notMine.characterMask = 0x01; // fighter 0 only
    EXPECT_EQ(other->AddWeapon(&notMine, 1), 0u);
    // SetWeaponAt ignores the limit, for previews.
    EXPECT_EQ(player->SetWeaponAt(&heavy, 5, 1), 1u);
    EXPECT_EQ(player->GetActionData()->mainSlot, 5);
    EXPECT_EQ(player->SetWeaponAt(nullptr, 5, 0), 1u);
    EXPECT_EQ(player->GetActionData()->mainSlot, tag_TOLQCHARAACTION::kNoSlot);
    EXPECT_EQ(player->GetWeapon(10), nullptr);
}

TEST(CharacterEquipment, ReleaseEmptiesEveryHold)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 1), 1u);
    player->Release();
    EXPECT_EQ(player->GetMainWeapon(), nullptr);
    EXPECT_EQ(player->GetActionData()->weight, 0);
    for (uint32_t slot = 0; slot < CCharacter::kWeaponSlots; ++slot)
        EXPECT_EQ(player->GetWeapon(slot), nullptr);
    // What was released can be equipped again from nothing.
    EXPECT_EQ(player->AddWeapon(&battle.lists.weapons[0], 1), 1u);
}

TEST(CharacterItems, EachKind)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[1], 1), 1u);
    player->GetMainWeapon()->Spend();
    CItemDefinition item;
    item.kind = CItemDefinition::KIND_AMMO;
    player->ApplyItem(&item);
    EXPECT_EQ(player->GetMainWeapon()->GetAmmo(), 3u);
    player->GetStateBlock()->life = 10;
    item.kind = CItemDefinition::KIND_LIFE;
    item.value = 50.0f;
    player->ApplyItem(&item);
    EXPECT_EQ(player->GetStateBlock()->life, 60);
    player->ApplyItem(&item);
    EXPECT_EQ(player->GetStateBlock()->life, 100);
    item.kind = CItemDefinition::KIND_EP;
    item.value = 2.0f;
    player->ApplyItem(&item);
    EXPECT_EQ(player->GetStateBlock()->ep, 2.0f);
    item.kind = CItemDefinition::KIND_GAUGE;
    item.value = 150.0f;
    player->ApplyItem(&item);
    EXPECT_EQ(player->GetStateBlock()->gauge, 100.0f);
    item.kind = CItemDefinition::KIND_COIN;
    player->ApplyItem(&item);
    EXPECT_EQ(player->GetStateBlock()->ruleCounter, 1);
    item.kind = CItemDefinition::KIND_SPEED;
    item.duration = 1000;
    player->ApplyItem(&item);
    EXPECT_EQ(player->GetStateBlock()->statusBits, 2u);
    EXPECT_EQ(player->GetActionData()->effectTime, 1.0f);
    Settle(&battle);
    Hold(&battle, Record(0, -50), 480);
    const float z = player->GetPosition()->z;
    Hold(&battle, Record(0, -50), 160);
    EXPECT_NEAR(player->GetPosition()->z - z, 4.0f * 1.3f * 0.16f, 0.01f);
    Hold(&battle, Record(0, -50), 500);
    EXPECT_EQ(player->GetStateBlock()->statusBits, 0u);
    item.kind = CItemDefinition::KIND_POWER;
    player->ApplyItem(&item);
    EXPECT_EQ(player->GetStateBlock()->statusBits, 1u);
}

TEST(CharacterInput, AZeroRecordStandsAndIsKept)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    const tag_TOLQINPUTRECORD moving = Record(30, -70, {CCharacter::BUTTON_JUMP});
    battle.Step(kFrame, {{0, moving}});
    EXPECT_EQ(std::memcmp(player->GetLastInputRecord()->bytes, moving.bytes, 15), 0);
    Hold(&battle, Record(), 100);
    EXPECT_EQ(player->GetControlState()->leftMagnitude, 0.0f);
    EXPECT_EQ(player->GetStateBlock()->velocity.x, 0.0f);
}
