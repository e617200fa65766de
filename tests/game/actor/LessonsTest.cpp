// The tutorial's lessons 3-30 with a scripted player on the stage: each
// step's test must pass, with the tutorial's masks, resets and refills.
#include "tests/game/actor/StageBattle.h"

#include "game/actor/CWeapon.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
using arena::Record;

class Lessons : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SeedRandom(1);
        world.battle.definitions[0].element = 0;
        player = world.battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0);
        opponent = world.battle.Add(4, CkvrVector3(0, 0, 6), 4, 0); // never moves
        ASSERT_EQ(player->AddWeapon(&world.battle.lists.weapons[0], 1), 1u); // sword, slot 0
        ASSERT_EQ(player->AddWeapon(&world.battle.lists.weapons[1], 2), 1u); // rifle, slot 1
        world.stage.SetObjectParams(0, 0, 0);
        Run(Record(), 4);
    }

    void Run(const tag_TOLQINPUTRECORD& record, int frames = 1)
    {
        for (int i = 0; i < frames; ++i)
        {
            if (everyFrame)
                everyFrame();
            world.Step(16, {{0, record}});
        }
    }

    // Presses: one frame held, one released.
    void Press(std::initializer_list<uint32_t> buttons, int x = 0, int y = 0)
    {
        Run(Record(x, y, buttons));
        Run(Record(x, y));
    }

    void Teleport(float x, float z, float yaw)
    {
        const CkvrVector3 at(x, 0, z), rotation(0, yaw, 0);
        player->SetPosition(&at);
        player->SetRotation(&rotation);
        player->GetStateBlock()->cameraYaw = yaw;
        Run(Record(), 2);
    }

    arena::StageBattle world;
    CCharacter* player = nullptr;
    CCharacter* opponent = nullptr;
    std::function<void()> everyFrame;
};
}

TEST_F(Lessons, StepsThreeToThirtyPass)
{
    tag_TOLQCHARASTATE* state = player->GetStateBlock();
    tag_TOLQCHARAACTION* action = player->GetActionData();

    // 3 walk, 4 dash, 5 jump.
    Run(Record(0, -50, {12}));
    EXPECT_TRUE(player->IsFreeToAct() && player->GetControlState()->held.button[12] != 0);
    Run(Record(0, -100), 30);
    EXPECT_NE(state->dashFlag, 0u);
    Run(Record(), 4);
    Press({CCharacter::BUTTON_JUMP});
    EXPECT_EQ(state->actionState, CCharacter::STATE_JUMP);
    Run(Record(), 80);

    // 6 attack, 7 aim, 8 long-range attack.
    Press({CCharacter::BUTTON_ATTACK});
    EXPECT_EQ(state->actionState, CCharacter::STATE_ATTACK);
    Run(Record(), 40);
    Run(Record(0, 0, {CCharacter::BUTTON_AIM}), 2);
    EXPECT_NE(state->aimFlag, 0u);
    Run(Record(0, 0, {CCharacter::BUTTON_AIM, CCharacter::BUTTON_ATTACK}));
    EXPECT_EQ(state->actionState, CCharacter::STATE_LONG_ATTACK);
    Run(Record(), 20);

    // 9 camera, 10 camera to the front.
    Run(Record(0, 0, {19}));
    EXPECT_TRUE(player->CanControlCamera() && player->GetControlState()->held.button[19] != 0);
    Run(Record(0, 0, {CCharacter::BUTTON_CAMERA_FRONT}));
    EXPECT_TRUE(player->CanControlCamera() && player->GetControlState()->held.button[16] != 0);
    Run(Record());

    // 11 lock-on, 12 view switch.
    Press({CCharacter::BUTTON_LOCK_ON});
    EXPECT_NE(state->lockOn, 0u);
    Press({CCharacter::BUTTON_VIEW});
    EXPECT_EQ(state->cameraMode, 3);
    Press({CCharacter::BUTTON_VIEW});
    Press({CCharacter::BUTTON_LOCK_ON}); // off again: the next lessons face where they turn

    // 13 weapon switch, 14 near and far (entering it resets the objects).
    Press({CCharacter::kButtonNext});
    EXPECT_EQ(action->weaponChange, 1);
    world.stage.ResetPlacedObjects();
    Press({CCharacter::BUTTON_AIM});
    EXPECT_EQ(action->palette, 3);
    Press({CCharacter::BUTTON_ATTACK}); // close the palette
    Run(Record(), 10);

    // 15 weapon box: class 6 only.
    everyFrame = [&]() { world.stage.SetObjectParams(64, 0, 0); };
    Press({KVR_BUTTON_DIGIT_FIRST + 0}); // the sword into the hand
    Teleport(8, 0.6f, 0);                // before the box at (8, 2)
    Press({CCharacter::BUTTON_ATTACK});
    Run(Record(), 40);
    ASSERT_FALSE(world.field.weapons.empty());
    EXPECT_EQ(world.field.weapons.back()->GetDefinition()->type, 6);

    // 16 pick it up.
    const CkvrVector3 lying = *world.field.weapons.back()->GetPosition();
    Teleport(lying.x, lying.z - 0.5f, 0);
    Run(Record(0, 0, {CCharacter::BUTTON_PICK_UP}));
    EXPECT_EQ(state->weaponHandling, 1u);
    EXPECT_NE(action->pickedWord, 0u);
    Run(Record(), 40);

    // 17 drop it (entering resets the objects).
    world.stage.ResetPlacedObjects();
    Press({CCharacter::kButtonNext});
    Press({CCharacter::BUTTON_PICK_UP});
    EXPECT_EQ(state->weaponHandling, 2u);
    Press({CCharacter::BUTTON_ATTACK});
    Run(Record(), 10);

    // 18 item box.
    everyFrame = [&]() { world.stage.SetObjectParams(64, 63, 0); };
    Press({KVR_BUTTON_DIGIT_FIRST + 0});
    Teleport(2, 6.6f, 0); // before the box at (2, 8)
    Run(Record(0, 0, {CCharacter::BUTTON_ATTACK}));
    bool dropped = false; // the lunge may carry the fighter onto it at once
    for (int i = 0; i < 40; ++i)
    {
        Run(Record());
        dropped = dropped || !world.field.items.empty();
    }
    EXPECT_TRUE(dropped);

    // 19 cover at the wall x = 50, facing it.
    Teleport(48.8f, 0, 90);
    Press({CCharacter::BUTTON_COVER});
    EXPECT_NE(state->cover, 0u);
    Press({CCharacter::BUTTON_COVER});

    // 20 air dash, 21 dodge.
    Teleport(0, -10, 0);
    state->ep = 5.0f;
    Press({CCharacter::BUTTON_JUMP});
    Press({CCharacter::BUTTON_JUMP});
    EXPECT_EQ(state->actionState, CCharacter::STATE_AIR_DASH);
    Run(Record(), 100);
    state->ep = 5.0f;
    Run(Record(-60, 0), 2);
    Run(Record(-60, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER}));
    EXPECT_EQ(state->actionState, CCharacter::STATE_DODGE);
    Run(Record(), 40);

    // 22 elemental attack.
    state->ep = 5.0f;
    Press({CCharacter::BUTTON_ELEMENT_ATTACK});
    EXPECT_EQ(state->actionState, CCharacter::STATE_ELEMENT_ATTACK);
    Run(Record(), 60);

    // 23 burst, 24 burst attack: the gauge refilled until they pass.
    everyFrame = [&]() {
        world.stage.SetObjectParams(64, 63, 0);
        if (state->gauge < 100.0f && state->burstActive == 0)
            state->gauge = 100.0f;
    };
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER}));
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER, CCharacter::BUTTON_ELEMENT_ATTACK}));
    EXPECT_NE(state->burstActive, 0u);
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER}));
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER, CCharacter::BUTTON_ELEMENT_ATTACK}));
    EXPECT_EQ(state->actionState, CCharacter::STATE_BURST_ATTACK);
    Run(Record(), 60);

    // 25-30: the own element only, its altar reset every frame until each
    // step passes.
    everyFrame = [&]() {
        world.stage.SetObjectParams(64, 63, 1u << (player->GetDefinition()->element & 31));
        world.stage.ResetStageObjects();
        if (state->gauge < 100.0f && state->burstActive == 0)
            state->gauge = 100.0f;
    };
    auto bless = [&]() {
        if (player->IsBlessed())
            return;
        Teleport(-15, 14.5f, 0); // the altar of element 0 is at (-15, 15)
    };
    bless();
    EXPECT_NE(action->blessing, 0u);
    if (state->lockOn != 0)
        Press({CCharacter::BUTTON_LOCK_ON});
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER}));
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER, CCharacter::BUTTON_JUMP}));
    EXPECT_EQ(state->actionState, CCharacter::STATE_ELEMENTAL_JUMP);
    Run(Record(), 100);

    // 27 charge: locked on, far.
    bless();
    Press({CCharacter::BUTTON_LOCK_ON});
    ASSERT_EQ(state->lockOn, 2u);
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER}));
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER, CCharacter::BUTTON_JUMP}));
    EXPECT_EQ(state->actionState, CCharacter::STATE_ELEMENTAL_CHARGE);
    Run(Record(), 50);

    // 28 reverse: locked on, near.
    bless();
    if (state->lockOn == 0)
        Press({CCharacter::BUTTON_LOCK_ON});
    const CkvrVector3* target = opponent->GetPosition();
    Teleport(target->x, target->z - 2.0f, 0);
    if (state->lockOn == 0)
        Press({CCharacter::BUTTON_LOCK_ON});
    ASSERT_TRUE(player->IsBlessed());
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER}));
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER, CCharacter::BUTTON_JUMP}));
    EXPECT_EQ(state->actionState, CCharacter::STATE_ELEMENTAL_REVERSE);
    Run(Record(), 20);

    // 29 blessed with the burst on, 30 the maximum attack.
    bless();
    state->burstActive = 0;
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER}));
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER, CCharacter::BUTTON_ELEMENT_ATTACK}));
    EXPECT_TRUE(player->IsBlessed() && state->burstActive != 0);
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER}));
    Run(Record(0, 0, {CCharacter::BUTTON_ELEMENT_TRIGGER, CCharacter::BUTTON_ELEMENT_ATTACK}));
    EXPECT_EQ(state->actionState, CCharacter::STATE_MAXIMUM_ATTACK);

    // The opponent stood still throughout.
    EXPECT_EQ(opponent->GetPosition()->x, 0.0f);
}
