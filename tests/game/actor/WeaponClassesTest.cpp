// The weapon classes made by the factory, their ammunition records and
// muzzle, and the element attack as a class of its own.
#include "tests/game/actor/ArenaHarness.h"

#include "game/actor/CElementAttack.h"
#include "game/actor/CLongWeapon.h"
#include "game/actor/CShortWeapon.h"
#include "game/actor/CSpecialWeapon.h"

#include <gtest/gtest.h>

using arena::Battle;
using arena::Record;

namespace
{
constexpr uint32_t kFrame = 16;

CWeaponDefinition Typed(uint8_t type)
{
    CWeaponDefinition definition = type <= 5 ? arena::Sword() : arena::Rifle();
    definition.type = type;
    definition.capacity = 4;
    return definition;
}
}

TEST(WeaponClasses, TheFactoryPicksTheClassByTypeAtTheRangeEdges)
{
    struct Case
    {
        uint8_t type;
        const char* className;
        bool isShort, isLong, isSpecial;
        uint16_t maxAmmo;
    };
    const Case cases[] = {{0, "CShortWeapon", true, false, false, 0},   {5, "CShortWeapon", true, false, false, 0},
                          {6, "CLongWeapon", false, true, false, 4},    {11, "CLongWeapon", false, true, false, 4},
                          {12, "CSpecialWeapon", false, false, true, 4}, {16, "CSpecialWeapon", false, false, true, 4}};
    for (const Case& c : cases)
    {
        const CWeaponDefinition definition = Typed(c.type);
        std::unique_ptr<CWeapon> weapon = CWeapon::Make(&definition);
        ASSERT_NE(weapon, nullptr) << int(c.type);
        EXPECT_STREQ(weapon->GetClassName(), c.className) << int(c.type);
        EXPECT_EQ(weapon->AsShortWeapon() != nullptr, c.isShort) << int(c.type);
        EXPECT_EQ(weapon->AsLongWeapon() != nullptr, c.isLong) << int(c.type);
        EXPECT_EQ(weapon->AsSpecialWeapon() != nullptr, c.isSpecial) << int(c.type);
        EXPECT_EQ(weapon->GetMaxAmmo(), c.maxAmmo) << int(c.type);
        EXPECT_EQ(weapon->GetAmmo(), c.maxAmmo) << "made full";
        if (c.isLong)
        {
            EXPECT_EQ(static_cast<CWeapon*>(weapon->AsLongWeapon()), weapon.get());
        }
    }
    const CWeaponDefinition past = Typed(17);
    EXPECT_EQ(CWeapon::Make(&past), nullptr);
    EXPECT_EQ(CWeapon::Make(nullptr), nullptr);
    // A class built by hand around the wrong type answers by the type.
    const CWeaponDefinition sword = Typed(0);
    CLongWeapon misfit(&sword);
    EXPECT_EQ(misfit.AsLongWeapon(), nullptr);
    EXPECT_EQ(misfit.AsShortWeapon(), nullptr);
}

TEST(WeaponClasses, RoundsPointAtTheLiveMagazineThatFiringSpendsAndReloadRefills)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[1], 1), 1u);
    CLongWeapon* rifle = player->GetMainWeapon()->AsLongWeapon();
    ASSERT_NE(rifle, nullptr);
    const CWeapon::AmmoRecord* rounds = rifle->GetRounds();
    EXPECT_EQ(rounds->count, 3u);
    EXPECT_EQ(rounds->reserved, 0u);
    const tag_TOLQINPUTRECORD fire = Record(0, 0, {CCharacter::BUTTON_ATTACK, CCharacter::BUTTON_AIM});
    for (int shot = 0; shot < 3; ++shot)
    {
        battle.Step(kFrame, {{0, fire}});
        EXPECT_EQ(rounds->count, 2u - shot) << "the record follows each shot";
        for (int i = 0; i < 14; ++i)
            battle.Step(kFrame, {{0, Record(0, 0, {CCharacter::BUTTON_AIM})}});
    }
    // Empty: the reload clock in the record runs to the reload time, then
    // the magazine is full again.
    const uint32_t clock = rounds->reloadClock;
    battle.Step(kFrame);
    EXPECT_EQ(rounds->reloadClock, clock + kFrame);
    for (int i = 0; i < 70 && rounds->count == 0; ++i)
        battle.Step(kFrame);
    EXPECT_EQ(rounds->count, 3u);
    EXPECT_EQ(rounds->reloadClock, 0u);
    EXPECT_EQ(rifle->GetRounds(), rounds) << "the same record throughout";
}

TEST(WeaponClasses, UsesOfASpecialWeaponSpendAndReload)
{
    CWeaponDefinition launcher = Typed(12);
    launcher.capacity = 2;
    launcher.reloadTime = 500;
    std::unique_ptr<CWeapon> weapon = CWeapon::Make(&launcher);
    CSpecialWeapon* special = weapon->AsSpecialWeapon();
    ASSERT_NE(special, nullptr);
    CWeapon::AmmoRecord* uses = special->GetUses();
    weapon->owner = 0;
    weapon->held = true;
    EXPECT_EQ(weapon->Spend(), 1u);
    EXPECT_EQ(weapon->Spend(), 1u);
    EXPECT_EQ(weapon->Spend(), 0u) << "none left";
    EXPECT_EQ(uses->count, 0u);
    weapon->Update(499);
    EXPECT_EQ(uses->count, 0u);
    EXPECT_EQ(uses->reloadClock, 499u);
    weapon->Update(1);
    EXPECT_EQ(uses->count, 2u);
}

TEST(WeaponClasses, MuzzleFollowsTheOwnersYawAndIsWhereShotsStart)
{
    Battle battle;
    battle.lists.weapons[1].bullets[0].muzzle = CkvrVector3(0.0f, 0.1f, 1.0f);
    battle.lists.weapons[1].bullets[0].spread = 0.0f;
    CCharacter* player = battle.Add(-1, CkvrVector3(1, 0, 2), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[1], 1), 1u);
    const CFiringWeapon* rifle = player->GetMainWeapon()->AsFiringWeapon();
    ASSERT_NE(rifle, nullptr);
    CkvrVector3 muzzle;
    // Facing +z: hand (0.3, 1.2, 0.3) plus muzzle (0, 0.1, 1).
    ASSERT_EQ(rifle->GetMuzzlePosition(&muzzle), 1u);
    EXPECT_NEAR(muzzle.x, 1.3f, 1e-5f);
    EXPECT_NEAR(muzzle.y, 1.3f, 1e-5f);
    EXPECT_NEAR(muzzle.z, 3.3f, 1e-5f);
    EXPECT_EQ(rifle->GetFirstBulletParameter(), 40.0f);
    // Facing +x after a step: x right turns to -z, forward to +x.
    player->GetRotation()->y = 90.0f;
    player->GetStateBlock()->cameraYaw = 90.0f;
    battle.Step(kFrame);
    ASSERT_EQ(player->GetRotation()->y, 90.0f);
    ASSERT_TRUE(player->GetMuzzlePosition(player->GetMainWeapon(), &muzzle));
    EXPECT_NEAR(muzzle.x, 1.0f + 0.3f + 1.0f, 1e-5f);
    EXPECT_NEAR(muzzle.z, 2.0f - 0.3f, 1e-5f);
    // The shot leaves from that very point.
    battle.Step(kFrame, {{0, Record(0, 0, {CCharacter::BUTTON_ATTACK, CCharacter::BUTTON_AIM})}});
    const CBullet* shot = battle.bullets.GetHead();
    ASSERT_NE(shot, nullptr);
    ASSERT_TRUE(player->GetMuzzlePosition(player->GetMainWeapon(), &muzzle));
    EXPECT_NEAR(shot->GetPrevious().x, muzzle.x, 1e-3f);
    EXPECT_NEAR(shot->GetPrevious().y, muzzle.y, 1e-3f);
    EXPECT_NEAR(shot->GetPrevious().z, muzzle.z, 1e-3f);
    // A close-range weapon has no muzzle.
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 2), 1u);
    EXPECT_FALSE(player->GetMuzzlePosition(player->GetSubWeapon(), &muzzle));
    EXPECT_EQ(player->GetFirstBulletParameter(player->GetSubWeapon()), 0.0f);
}

TEST(ElementAttackClass, EachKeyPlaysOnceOnTheStepThatPassesIt)
{
    const CElementAttackDefinition definition =
        arena::Attack("Ela_test", CElementAttackDefinition::FORMAT_ELEMENTAL, 1); // keys 0 and 200
    arena::Effects effects;
    tag_TOLQCHARASTATE state;
    CElementAttack attack;
    attack.Start(&definition);
    const CkvrVector3 at(1, 2, 3);
    attack.Advance(&state, 0, &effects, 5, at, 0.0f);
    EXPECT_TRUE(effects.attackEffects.empty()) << "no time has passed the key at 0 yet";
    attack.Advance(&state, 16, &effects, 5, at, 0.0f);
    EXPECT_EQ(effects.attackEffects, (std::vector<uint32_t>{5}));
    attack.Advance(&state, 200, &effects, 5, at, 0.0f);
    EXPECT_EQ(effects.attackEffects.size(), 1u) << "200 is not yet past the key at 200";
    EXPECT_EQ(state.elementAttackTime, 200u);
    attack.Advance(&state, 216, &effects, 5, at, 0.0f);
    attack.Advance(&state, 216, &effects, 5, at, 0.0f);
    EXPECT_EQ(effects.attackEffects.size(), 2u) << "each key once";
    // One long step passes both keys at once; without effects the clock
    // still runs.
    arena::Effects again;
    state.elementAttackTime = 0;
    attack.Advance(&state, 600, &again, 1, at, 0.0f);
    EXPECT_EQ(again.attackEffects.size(), 2u);
    attack.Advance(&state, 700, nullptr, 1, at, 0.0f);
    EXPECT_EQ(state.elementAttackTime, 700u);
}

TEST(ElementAttackClass, TheSphereHitsEachFighterAndBoxOnceInItsWindow)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(28, 0, 0), 4, 0);
    CCharacter* near = battle.Add(0, CkvrVector3(29.5f, 0, 0.5f), 4, 0);
    CCharacter* far = battle.Add(0, CkvrVector3(20, 0, 0), 4, 0);
    battle.world.AddBox(CkvrVector3(31, 1, -1.5f), CkvrVector3(1, 1, 1), 100);
    player->GetRotation()->y = 90.0f; // facing +x: the sphere at x = 29.5
    CElementAttackDefinition definition = arena::Attack("Ela_test", CElementAttackDefinition::FORMAT_ELEMENTAL, 1);
    definition.radius = 1.5f;
    CElementAttack attack;
    attack.Start(&definition);
    tag_TOLQCHARASTATE* state = player->GetStateBlock();
    tag_TOLQBATTLEFRAME* frame = battle.Frame();
    const uint16_t lifeBefore = near->GetStateBlock()->life;
    const std::vector<CCollisionWorld::Box>& boxes = battle.world.GetBoxes();
    const uint16_t boxBefore = boxes.back().life;
    for (uint32_t clock : {50u, 99u})
    {
        state->elementAttackTime = clock;
        attack.TestHits(frame, player);
    }
    EXPECT_EQ(near->GetStateBlock()->life, lifeBefore) << "before the window";
    for (uint32_t clock : {100u, 150u, 299u})
    {
        state->elementAttackTime = clock;
        attack.TestHits(frame, player);
    }
    const uint16_t lifeAfter = near->GetStateBlock()->life;
    EXPECT_LT(lifeAfter, lifeBefore);
    EXPECT_EQ(state->swingHitMask, 1u << 1) << "only the near fighter";
    EXPECT_EQ(player->GetBattleScore()->value[tag_TOLQBATTLESCORE::MELEE_HITS], 1u) << "once in three steps";
    EXPECT_EQ(far->GetStateBlock()->life, 100u);
    const uint16_t boxAfter = boxes.back().life;
    EXPECT_LT(boxAfter, boxBefore);
    // A restart hits the box again; the fighter mask belongs to the state.
    state->elementAttackTime = 300;
    attack.TestHits(frame, player);
    EXPECT_EQ(boxes.back().life, boxAfter) << "the window is closed at its end";
    attack.Start(&definition);
    state->elementAttackTime = 100;
    attack.TestHits(frame, player);
    EXPECT_LT(boxes.back().life, boxAfter);
    EXPECT_EQ(near->GetStateBlock()->life, lifeAfter);
    EXPECT_EQ(player->GetBattleScore()->value[tag_TOLQBATTLESCORE::MELEE_HITS], 1u);
}

TEST(ElementAttackClass, TheHudShowsTheOwnWeaponFromTheFirstPhase)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 1), 1u);
    CElementAttackDefinition& ela = battle.lists.elementAttacks[0];
    ela.ownWeapon = "Rifle";
    ela.firstPhase = 100;
    for (int i = 0; i < 4; ++i)
        battle.Step(kFrame);
    player->GetStateBlock()->ep = 5.0f;
    EXPECT_EQ(player->GetElementAttackWeapon(), nullptr);
    battle.Step(kFrame, {{0, Record(0, 0, {CCharacter::BUTTON_ELEMENT_ATTACK})}});
    ASSERT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_ELEMENT_ATTACK);
    const CWeaponDefinition* shown = nullptr;
    uint32_t firstShown = 0;
    for (int i = 0; i < 20 && shown == nullptr; ++i)
    {
        battle.Step(kFrame);
        shown = player->GetElementAttackWeapon();
        firstShown = player->GetStateBlock()->elementAttackTime;
    }
    ASSERT_NE(shown, nullptr);
    EXPECT_STREQ(shown->name, "Rifle");
    EXPECT_EQ(firstShown, 112u) << "the first step at or past 100 ms";
    // Without an own weapon nothing is shown.
    CElementAttack bare;
    CElementAttackDefinition none = ela;
    none.ownWeapon.clear();
    bare.Start(&none);
    EXPECT_EQ(bare.GetShownWeapon(500, &battle.lists), nullptr);
}
