// Element attacks with their effect keys, the burst and its end, blessing,
// the elemental jumps and lock-on.
#include "tests/game/actor/ArenaHarness.h"

#include <gtest/gtest.h>

#include <cmath>

using arena::Battle;
using arena::Record;

namespace
{
constexpr uint32_t kFrame = 16;

void Hold(Battle* battle, const tag_TOLQINPUTRECORD& record, uint32_t ms)
{
    for (uint32_t t = 0; t < ms; t += kFrame)
        battle->Step(kFrame, {{0, record}});
}

void Press(Battle* battle, std::initializer_list<uint32_t> buttons)
{
    battle->Step(kFrame, {{0, Record(0, 0, buttons)}});
}
}

TEST(ElementActions, ElementAttackSpendsEpHitsOncePlaysEachKeyOnce)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    CCharacter* enemy = battle.Add(0, CkvrVector3(0, 0, 1.5f), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 1), 1u);
    Hold(&battle, Record(), 64);
    player->GetStateBlock()->ep = 1.5f;
    Press(&battle, {CCharacter::BUTTON_ELEMENT_ATTACK});
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STAND); // EP below the cost
    player->GetStateBlock()->ep = 3.0f;
    Hold(&battle, Record(), 32);
    Press(&battle, {CCharacter::BUTTON_ELEMENT_ATTACK});
    ASSERT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_ELEMENT_ATTACK);
    EXPECT_EQ(player->GetStateBlock()->runningElementAttack, 1u);
    EXPECT_NEAR(player->GetStateBlock()->ep, 1.0f, 0.06f); // and the refill of 48 ms
    Hold(&battle, Record(), 640);
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STAND);
    EXPECT_EQ(player->GetStateBlock()->runningElementAttack, 0u);
    EXPECT_EQ(enemy->GetStateBlock()->life, 100 - 20);
    EXPECT_EQ(battle.effects.attackEffects, (std::vector<uint32_t>{0, 0})); // keys 0 and 200, once each
}

TEST(ElementActions, BurstTurnsOnAtAFullGaugeDrainsAndEnds)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    CCharacter* enemy = battle.Add(0, CkvrVector3(0, 0, 1.5f), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 1), 1u);
    Hold(&battle, Record(), 64);
    player->GetStateBlock()->gauge = 99.0f;
    const tag_TOLQINPUTRECORD trigger = Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER});
    battle.Step(kFrame, {{0, trigger}});
    battle.Step(kFrame, {{0, Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER, CCharacter::BUTTON_ELEMENT_ATTACK})}});
    EXPECT_EQ(player->GetStateBlock()->burstActive, 0u);
    player->GetStateBlock()->gauge = 100.0f;
    battle.Step(kFrame, {{0, trigger}});
    battle.Step(kFrame, {{0, Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER, CCharacter::BUTTON_ELEMENT_ATTACK})}});
    EXPECT_EQ(player->GetStateBlock()->burstActive, 1u);
    // Under the burst, the same buttons start the weapon's burst attack.
    battle.Step(kFrame, {{0, trigger}});
    battle.Step(kFrame, {{0, Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER, CCharacter::BUTTON_ELEMENT_ATTACK})}});
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_BURST_ATTACK);
    Hold(&battle, Record(), 640);
    EXPECT_EQ(enemy->GetStateBlock()->life, 100 - 40);
    EXPECT_LT(player->GetStateBlock()->gauge, 100.0f);
    Hold(&battle, Record(), 15000);
    EXPECT_EQ(player->GetStateBlock()->burstActive, 0u);
    EXPECT_LT(player->GetStateBlock()->gauge, 1.0f); // emptied, then refilling at 1 % a second
}

TEST(ElementActions, BlessedFightersUseTheMaximumAttackAndBlessingEnds)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 1), 1u);
    Hold(&battle, Record(), 64);
    player->SetBlessing(2000);
    EXPECT_EQ(player->GetStateBlock()->statusBits, 4u);
    player->GetStateBlock()->burstActive = 1;
    battle.Step(kFrame, {{0, Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER})}});
    battle.Step(kFrame, {{0, Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER, CCharacter::BUTTON_ELEMENT_ATTACK})}});
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_MAXIMUM_ATTACK);
    EXPECT_EQ(player->GetStateBlock()->runningElementAttack, 3u);
    Hold(&battle, Record(), 2000);
    EXPECT_FALSE(player->IsBlessed());
    EXPECT_EQ(player->GetStateBlock()->statusBits, 0u);
}

TEST(ElementActions, ElementalJumpReverseAndCharge)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    CCharacter* enemy = battle.Add(0, CkvrVector3(0, 0, 2.0f), 4, 0);
    Hold(&battle, Record(), 64);
    player->SetBlessing(60000);
    const uint32_t trigger = CCharacter::BUTTON_ELEMENT_TRIGGER;
    // Not locked on: a jump twice as fast.
    battle.Step(kFrame, {{0, Record(0, 0, {trigger})}});
    battle.Step(kFrame, {{0, Record(0, 0, {trigger, CCharacter::BUTTON_JUMP})}});
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_ELEMENTAL_JUMP);
    Hold(&battle, Record(), 2000);
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STAND);

    // Locked on, near: behind the target, facing it.
    Press(&battle, {CCharacter::BUTTON_LOCK_ON});
    ASSERT_EQ(player->GetStateBlock()->lockOn, 2u);
    battle.Step(kFrame, {{0, Record(0, 0, {trigger})}});
    battle.Step(kFrame, {{0, Record(0, 0, {trigger, CCharacter::BUTTON_JUMP})}});
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_ELEMENTAL_REVERSE);
    Hold(&battle, Record(), 240);
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STAND);
    EXPECT_NEAR(player->GetPosition()->z, enemy->GetPosition()->z - 1.5f, 0.15f);

    // Locked on, far: a charge that stops within 1.5.
    CkvrVector3 far(0, 0, 12);
    enemy->SetPosition(&far);
    Hold(&battle, Record(), 32);
    battle.Step(kFrame, {{0, Record(0, 0, {trigger})}});
    battle.Step(kFrame, {{0, Record(0, 0, {trigger, CCharacter::BUTTON_JUMP})}});
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_ELEMENTAL_CHARGE);
    Hold(&battle, Record(), 640);
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STAND);
    EXPECT_GT(player->GetPosition()->z, 6.0f);
}

TEST(ElementActions, LockOnTakesTheNearestEnemyAndDropsIt)
{
    Battle battle;
    battle.teamBattle = 1;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 0, 0);
    battle.Add(0, CkvrVector3(3, 0, 0), 0, 0);   // a team-mate, nearest
    battle.Add(0, CkvrVector3(0, 0, 30), 1, 0);  // an enemy within 40
    CCharacter* far = battle.Add(0, CkvrVector3(0, 0, -45), 1, 0);
    Hold(&battle, Record(), 64);
    Press(&battle, {CCharacter::BUTTON_LOCK_ON});
    EXPECT_EQ(player->GetStateBlock()->lockOn, 3u);
    EXPECT_NEAR(player->GetStateBlock()->cameraYaw, 0.0f, 0.01f);
    EXPECT_FALSE(player->CanControlCamera());
    Hold(&battle, Record(), 32);
    Press(&battle, {CCharacter::BUTTON_LOCK_ON});
    EXPECT_EQ(player->GetStateBlock()->lockOn, 0u);
    (void)far;
    // Dropped past 50.
    Hold(&battle, Record(), 32);
    Press(&battle, {CCharacter::BUTTON_LOCK_ON});
    ASSERT_EQ(player->GetStateBlock()->lockOn, 3u);
    CkvrVector3 away(0, 0, 60);
    battle.pointers[2]->SetPosition(&away);
    Hold(&battle, Record(), 32);
    EXPECT_EQ(player->GetStateBlock()->lockOn, 0u);
}

TEST(ElementActions, InActionStateThreeTheAimStartsAtTheRunningAttacksOwnWeaponAsItWouldHeldInHand)
{
    Battle battle;
    CWeaponDefinition& rifle = battle.lists.weapons[1];
    rifle.bullets[0].muzzle = CkvrVector3(0.0f, 0.1f, 0.8f);
    battle.lists.elementAttacks[0].ownWeapon = rifle.name;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 1), 1u);
    ASSERT_EQ(player->AddWeapon(&rifle, 2), 1u);
    Hold(&battle, Record(), 64);
    CkvrVector3 muzzle;
    float range = -1.0f;
    EXPECT_FALSE(player->GetAimOrigin(&muzzle, &range)); // a sword in hand aims nothing
    player->GetStateBlock()->ep = 3.0f;
    Press(&battle, {CCharacter::BUTTON_ELEMENT_ATTACK});
    ASSERT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_ELEMENT_ATTACK);
    EXPECT_FALSE(player->GetAimOrigin(&muzzle, &range));
    // At (2, 0, 5) turned by 90 degrees the hand (0.3, 1.2, 0.3) lies at
    // (0.3, 1.2, -0.3) from the fighter and the muzzle (0, 0.1, 0.8) at
    // (0.8, 0.1, 0) from the hand. State 3 is set by hand: no action
    // enters it (see GetAimOrigin).
    const CkvrVector3 at(2.0f, 0.0f, 5.0f);
    const CkvrVector3 turned(0.0f, 90.0f, 0.0f);
    const CkvrVector3 expected(3.1f, 1.3f, 4.7f);
    player->SetPosition(&at);
    player->SetRotation(&turned);
    player->GetStateBlock()->actionState = 3;
    ASSERT_TRUE(player->GetAimOrigin(&muzzle, &range));
    EXPECT_EQ(range, battle.lists.bullets[0].range);
    EXPECT_NEAR(muzzle.x, expected.x, 1e-5f);
    EXPECT_NEAR(muzzle.y, expected.y, 1e-5f);
    EXPECT_NEAR(muzzle.z, expected.z, 1e-5f);
    // The attack over and the same rifle in hand, on the same spot: its
    // muzzle, where its shots leave, is the same point.
    player->GetStateBlock()->actionState = CCharacter::STATE_ELEMENT_ATTACK;
    Hold(&battle, Record(), 640);
    Press(&battle, {KVR_BUTTON_DIGIT_FIRST + 1});
    ASSERT_EQ(player->GetActionData()->mainSlot, 1);
    player->SetPosition(&at);
    player->SetRotation(&turned);
    Hold(&battle, Record(), kFrame);
    ASSERT_EQ(player->GetPosition()->x, at.x);
    ASSERT_EQ(player->GetPosition()->z, at.z);
    ASSERT_EQ(player->GetRotation()->y, turned.y);
    ASSERT_TRUE(player->GetAimOrigin(&muzzle, &range));
    EXPECT_NEAR(muzzle.x, expected.x, 1e-5f);
    EXPECT_NEAR(muzzle.y, expected.y, 1e-5f);
    EXPECT_NEAR(muzzle.z, expected.z, 1e-5f);
}
