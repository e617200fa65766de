// Radio lines, voices, digit keys, clothes and cover.
#include "tests/game/actor/ArenaHarness.h"

#include "engine/render/CCamera.h"
#include "game/actor/CClothesDefinition.h"
#include "game/actor/CFieldLists.h"
#include "game/actor/CWeapon.h"
#include "game/actor/SimulationMath.h"

#include <gtest/gtest.h>

using arena::Battle;
using arena::Record;

namespace
{
void Step(Battle* battle, const tag_TOLQINPUTRECORD& record, int frames = 1)
{
    for (int i = 0; i < frames; ++i)
        battle->Step(16, {{0, record}});
}
}

TEST(CharacterControls, RadioLinesByScopeAndTheirPhrases)
{
    for (uint32_t teamBattle : {0u, 1u})
    {
        Battle battle;
        battle.teamBattle = teamBattle;
        for (CCharacterDefinition& definition : battle.definitions)
        {
            definition.voices.resize(72, "v.wav");
            definition.radio[0].phrase = 0x38;
            definition.radio[1].scope = 1; // team-mates only
            definition.radio[1].phrase = 0x39;
        }
        battle.Add(-1, CkvrVector3(0, 0, 0), 0, 0);
        Step(&battle, Record(), 2);
        Step(&battle, Record(0, 0, {KVR_BUTTON_FUNCTION_FIRST + 0}));
        Step(&battle, Record(), 2);
        Step(&battle, Record(0, 0, {KVR_BUTTON_FUNCTION_FIRST + 1}));
        if (teamBattle == 0)
        {
            EXPECT_EQ(battle.console.radio, (std::vector<uint32_t>{0}));
            EXPECT_EQ(battle.effects.voices, (std::vector<uint32_t>{0x38}));
        }
        else
        {
            EXPECT_EQ(battle.console.radio, (std::vector<uint32_t>{0, 1}));
            EXPECT_EQ(battle.effects.voices, (std::vector<uint32_t>{0x38, 0x39}));
        }
    }
}

TEST(CharacterControls, VoiceCooldownUnlessForced)
{
    Battle battle;
    battle.definitions[0].voices.resize(30, "v.wav");
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    EXPECT_EQ(player->PlayVoice(1, 0), 1u);
    EXPECT_EQ(player->PlayVoice(2, 0), 0u);
    EXPECT_EQ(player->PlayVoice(27, 1), 1u);
    EXPECT_EQ(player->PlayVoice(30, 1), 0u); // past the table
    Step(&battle, Record(), 94);
    EXPECT_EQ(player->PlayVoice(2, 0), 1u);
    CCharacter preview(&battle.definitions[1]);
    EXPECT_EQ(preview.PlayVoice(0, 1), 0u); // no battle data
}

TEST(CharacterControls, DigitKeysTakeASlotIntoTheHand)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 1), 1u); // slot 0, main
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[1], 4), 1u); // slot 1, stored
    Step(&battle, Record(), 2);
    Step(&battle, Record(0, 0, {KVR_BUTTON_DIGIT_FIRST + 1}));
    EXPECT_EQ(player->GetActionData()->mainSlot, 1);
    EXPECT_EQ(player->GetActionData()->subSlot, 0); // the sword, of the other category
    Step(&battle, Record(), 1);
    Step(&battle, Record(0, 0, {KVR_BUTTON_DIGIT_FIRST + 5})); // an empty slot
    EXPECT_EQ(player->GetActionData()->mainSlot, 1);
}

TEST(CharacterControls, ClothesSharingASlotComeOffBeforeAndAfterCreate)
{
    Battle battle;
    CClothesDefinition hat, coat, hood, other;
    std::strcpy(hat.name, "Hat");
    hat.slotMask = 0x01;
    hat.characterMask = 0xFF;
    std::strcpy(coat.name, "Coat");
    coat.slotMask = 0x06;
    coat.characterMask = 0xFF;
    std::strcpy(hood.name, "Hood");
    hood.slotMask = 0x03; // shares bit 0 with the hat and bit 1 with the coat
    hood.characterMask = 0xFF;
    other = hat;
    other.characterMask = 0x02;
    CCharacter fighter(&battle.definitions[0]);
    EXPECT_EQ(fighter.SetClothes(nullptr), 0u);
    EXPECT_EQ(fighter.SetClothes(&other), 0u);
    ASSERT_EQ(fighter.SetClothes(&hat), 1u);
    ASSERT_EQ(fighter.SetClothes(&coat), 1u);
    ASSERT_EQ(fighter.Create(0), 1); // dressed first, still dressed
    EXPECT_EQ(fighter.GetClothes(0), &hat);
    EXPECT_EQ(fighter.GetClothes(2), &coat);
    ASSERT_EQ(fighter.SetClothes(&hood), 1u);
    EXPECT_EQ(fighter.GetClothes(0), &hood);
    EXPECT_EQ(fighter.GetClothes(1), &hood);
    EXPECT_EQ(fighter.GetClothes(2), nullptr); // the coat came off whole
    EXPECT_EQ(fighter.GetClothes(6), nullptr);
}

TEST(CharacterControls, CoverAtAWallUntilMovingOff)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(48.8f, 0, 0), 4, 0);
    CkvrVector3 facing(0, 90, 0);
    player->SetRotation(&facing);
    Step(&battle, Record(), 4);
    Step(&battle, Record(0, 0, {CCharacter::BUTTON_COVER}));
    EXPECT_EQ(player->GetStateBlock()->cover, 1u);
    EXPECT_EQ(player->GetRotation()->y, 270.0f);
    Step(&battle, Record(0, -50), 2);
    EXPECT_EQ(player->GetStateBlock()->cover, 0u);
    // Away from walls: no cover.
    CkvrVector3 middle(0, 0, 0);
    player->SetPosition(&middle);
    Step(&battle, Record(), 2);
    Step(&battle, Record(0, 0, {CCharacter::BUTTON_COVER}));
    EXPECT_EQ(player->GetStateBlock()->cover, 0u);
}

TEST(CharacterControls, FollowCameraStaysInFrontOfWallsAndTouchesNothing)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    battle.definitions[0].eyeHeight = 1.5f;
    Step(&battle, Record(), 2);
    const uint64_t before = battle.Hash();
    CkvrVector3 eye, target;
    player->UpdateCamera(nullptr, &battle.world, &eye, &target);
    EXPECT_NEAR(eye.z, -4.0f, 1e-4f); // 4 behind at yaw 0, pitch 0
    EXPECT_NEAR(target.y, 1.5f, 1e-4f);
    player->GetStateBlock()->cameraMode = 3;
    player->UpdateCamera(nullptr, &battle.world, &eye, &target);
    EXPECT_NEAR(eye.z, -2.0f, 1e-4f);
    EXPECT_NEAR(target.x, 0.5f, 1e-4f); // the right shoulder
    player->GetStateBlock()->cameraMode = 0;
    // Backed against the wall at z = -50: the eye stays inside.
    CkvrVector3 nearWall(0, 0, -48.5f);
    player->SetPosition(&nearWall);
    player->UpdateCamera(nullptr, &battle.world, &eye, &target);
    EXPECT_GT(eye.z, -50.0f);
    // Looking back down the ramp's foot, the eye 4 behind would sit under
    // the slope (0.5 up per unit from x = 10): pulled in above it, clear of
    // it by more than the near plane's reach.
    auto lookFrom = [&](const CkvrVector3& at, float yaw) {
        player->SetPosition(&at);
        player->GetStateBlock()->cameraYaw = yaw;
        player->UpdateCamera(nullptr, &battle.world, &eye, &target);
    };
    lookFrom(CkvrVector3(9.5f, 0, -20), 270.0f);
    EXPECT_LT(eye.x, 13.0f - 0.2f);
    EXPECT_GT(eye.x, 9.5f);
    // And in front of the box at x = 29..31, not inside it.
    lookFrom(CkvrVector3(26.0f, 0, 0), 270.0f);
    EXPECT_LT(eye.x, 29.0f - 0.2f);
    EXPECT_GT(eye.x, 26.0f);
    player->GetStateBlock()->cameraYaw = 0.0f;
    CCamera camera;
    player->SetPosition(&nearWall);
    const uint64_t unchanged = battle.Hash();
    player->UpdateCamera(&camera, &battle.world);
    EXPECT_EQ(battle.Hash(), unchanged);
    EXPECT_EQ(camera.GetFov(), 60.0f);
    (void)before;
}

TEST(CharacterControls, MuzzleAndFirstBulletRange)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(1, 0, 2), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[1], 1), 1u);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 2), 1u);
    CkvrVector3 muzzle;
    ASSERT_TRUE(player->GetMuzzlePosition(player->GetMainWeapon(), &muzzle));
    EXPECT_NEAR(muzzle.x, 1.3f, 1e-5f);
    EXPECT_NEAR(muzzle.y, 1.2f, 1e-5f);
    EXPECT_NEAR(muzzle.z, 2.3f, 1e-5f);
    EXPECT_FALSE(player->GetMuzzlePosition(player->GetSubWeapon(), &muzzle));
    EXPECT_EQ(player->GetFirstBulletParameter(player->GetMainWeapon()), 40.0f);
    EXPECT_EQ(player->GetFirstBulletParameter(player->GetSubWeapon()), 0.0f);
}

TEST(CharacterControls, ResultPoseVoices)
{
    Battle battle;
    battle.definitions[0].voices.resize(30, "v.wav");
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    player->SetResultPose(2);
    player->SetResultPose(4);
    SeedRandom(3);
    player->SetResultPose(3);
    ASSERT_EQ(battle.effects.voices.size(), 3u);
    EXPECT_EQ(battle.effects.voices[0], 1u); // no team battle: motion 1, voice 1
    EXPECT_EQ(battle.effects.voices[1], 24u);
    EXPECT_TRUE(battle.effects.voices[2] == 22u || battle.effects.voices[2] == 23u);
    EXPECT_EQ(player->GetMotion(), 4);
}

TEST(CharacterControls, PaletteStepsSwapsDropsAndTakes)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 1), 1u); // slot 0, sword in hand
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[1], 2), 1u); // slot 1, rifle as sub
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[1], 4), 1u); // slot 2, stored
    CFieldLists field;
    battle.frame.field = &field; // the harness's frame keeps it
    auto stepWithField = [&](const tag_TOLQINPUTRECORD& record) { battle.Step(16, {{0, record}}); };
    stepWithField(Record());
    stepWithField(Record(0, 0, {CCharacter::kButtonNext}));
    EXPECT_EQ(player->GetActionData()->weaponChange, 1);
    EXPECT_EQ(player->GetActionData()->cursorSlot, 1);
    // Opened on the sword, the cursor went over to the other weapons.
    EXPECT_EQ(player->GetActionData()->selectMode, tag_TOLQCHARAACTION::SELECT_OTHERS);
    EXPECT_EQ(player->GetActionData()->stepDirection, 3);
    stepWithField(Record());
    EXPECT_EQ(player->GetActionData()->stepClock, 16u);
    stepWithField(Record(0, 0, {KVR_BUTTON_WHEEL_DOWN}));
    EXPECT_EQ(player->GetActionData()->cursorSlot, 2);
    EXPECT_EQ(player->GetActionData()->stepDirection, 2);
    stepWithField(Record());
    stepWithField(Record(0, 0, {CCharacter::BUTTON_AIM}));
    EXPECT_EQ(player->GetActionData()->palette, 3);
    EXPECT_EQ(player->GetActionData()->mainSlot, 1);
    EXPECT_EQ(player->GetActionData()->subSlot, 0);
    for (int i = 0; i < 10; ++i)
        stepWithField(Record());
    EXPECT_EQ(player->GetActionData()->palette, 0);
    // Drop the cursor's weapon (slot 2).
    stepWithField(Record(0, 0, {CCharacter::BUTTON_PICK_UP}));
    EXPECT_EQ(player->GetStateBlock()->weaponHandling, 2u);
    ASSERT_EQ(field.weapons.size(), 1u);
    EXPECT_EQ(field.weapons[0]->owner, -1);
    EXPECT_EQ(player->GetWeapon(2), nullptr);
    EXPECT_EQ(player->GetActionData()->weight, 5);
    // Attack takes the cursor's weapon into the hand and closes.
    stepWithField(Record());
    stepWithField(Record(0, 0, {CCharacter::BUTTON_ATTACK}));
    EXPECT_EQ(player->GetActionData()->weaponChange, 0);
    EXPECT_EQ(player->GetActionData()->mainSlot, player->GetActionData()->cursorSlot);
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_STAND); // no swing
    // The closed list is on show until it has slid out.
    EXPECT_NE(player->GetActionData()->selectMode, tag_TOLQCHARAACTION::SELECT_NONE);
    for (int i = 0; i < 13; ++i)
        stepWithField(Record());
    EXPECT_EQ(player->GetActionData()->selectMode, tag_TOLQCHARAACTION::SELECT_NONE);
}

// The ramp puts the ground between the thousandths; what lies on the field
// keeps to them anyway, as every simulated pose does.
TEST(CharacterControls, AWeaponDroppedOnTheRampLiesOnQuantisedSteps)
{
    Battle battle;
    CCharacter* player = battle.Add(-1, CkvrVector3(13.337f, 3.0f, -20.0f), 4, 0);
    player->GetRotation()->y = 33.3333f;
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[1], 1), 1u);
    CFieldLists field;
    battle.frame.field = &field;
    Step(&battle, Record(), 40);
    ASSERT_GT(player->GetPosition()->y, 1.0f); // standing on the ramp
    Step(&battle, Record(0, 0, {CCharacter::kButtonNext}));
    Step(&battle, Record());
    Step(&battle, Record(0, 0, {CCharacter::BUTTON_PICK_UP}));
    ASSERT_EQ(field.weapons.size(), 1u);
    const CkvrVector3& at = *field.weapons[0]->GetPosition();
    for (float value : {at.x, at.y, at.z, field.weapons[0]->GetRotation()->y})
        EXPECT_EQ(QuantizeValue(value), value);
    EXPECT_NEAR(at.y, player->GetPosition()->y, 0.002f);
}
