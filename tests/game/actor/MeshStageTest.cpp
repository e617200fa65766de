// Fighters on a stage whose ground and walls are models: the ground without
// a block grid (searched whole), the walls with one.
#include "tests/game/actor/MeshSamples.h"
#include "tests/game/actor/ArenaHarness.h"

#include "engine/effect/CEffect.h"
#include "engine/effect/CEffectController.h"
#include "engine/platform/FrameTimer.h"
#include "game/actor/CFieldLists.h"
#include "game/actor/CStage.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <gtest/gtest.h>

using meshsamples::MakeObject;


TEST(MeshStage, FightersStandOnTheGroundModelAndStopAtTheHitModel)
{
    CMesh ground, hit;
    ground.GetObjectList()->Add(MakeObject(
        "Floor", {{CkvrVector3(-20, 0, -20), CkvrVector3(-20, 0, 20), CkvrVector3(20, 0, 20), CkvrVector3(20, 0, -20)}},
        false));
    hit.GetObjectList()->Add(MakeObject(
        "Wall", {{CkvrVector3(5, 0, -20), CkvrVector3(5, 5, -20), CkvrVector3(5, 5, 20), CkvrVector3(5, 0, 20)}}, true));
    arena::Battle battle;
    battle.world.SetGroundMesh(&ground);
    battle.world.SetHitMesh(&hit);
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 1, 0), 4, 0);
    player->GetStateBlock()->cameraYaw = 90.0f;
    for (int i = 0; i < 150; ++i)
        battle.Step(16, {{0, arena::Record(0, -50)}});
    EXPECT_EQ(player->GetPosition()->y, 0.0f);
    EXPECT_EQ(player->GetStateBlock()->grounded, 1u);
    EXPECT_LE(player->GetPosition()->x, 5.0f - 0.4f);
    EXPECT_GT(player->GetPosition()->x, 4.0f);
    // Past the floor's edge there is nothing: the fighter falls out.
    CkvrVector3 edge(-19.8f, 0, 0);
    player->SetPosition(&edge);
    player->GetStateBlock()->cameraYaw = 270.0f;
    for (int i = 0; i < 200; ++i)
        battle.Step(16, {{0, arena::Record(0, -50)}});
    EXPECT_EQ(player->GetStateBlock()->actionState, CCharacter::STATE_DOWN);
}

namespace
{
struct StageSet
{
    StageSet()
    {
        ground.GetObjectList()->Add(MakeObject("Floor",
                                               {{CkvrVector3(-20, 0, -20), CkvrVector3(-20, 0, 20),
                                                 CkvrVector3(20, 0, 20), CkvrVector3(20, 0, -20)}},
                                               false));
        hit.GetObjectList()->Add(MakeObject(
            "Wall", {{CkvrVector3(15, 0, -20), CkvrVector3(15, 5, -20), CkvrVector3(15, 5, 20), CkvrVector3(15, 0, 20)}},
            true));
        definition.extentMin = CkvrVector3(-30, -10, -30);
        definition.extentMax = CkvrVector3(30, 30, 30);
        definition.starts.resize(2);
        definition.starts[1].position = CkvrVector3(5, 0, 5);
        definition.placements.resize(2);
        std::strcpy(definition.placements[0].templateName, "Box_weapon");
        definition.placements[0].position = CkvrVector3(0, 0, 3);
        std::strcpy(definition.placements[1].templateName, "Box_item");
        definition.placements[1].position = CkvrVector3(0, 0, -3);
        CStageObjectDefinition box;
        std::strcpy(box.name, "Box_weapon");
        box.kind = CStageObjectDefinition::KIND_WEAPON_BOX;
        box.life = 30;
        box.halfSize = CkvrVector3(0.5f, 0.5f, 0.5f);
        box.respawn = 5000;
        templates.stageObjects.push_back(box);
        std::strcpy(box.name, "Box_item");
        box.kind = CStageObjectDefinition::KIND_ITEM_BOX;
        box.respawn = 0;
        templates.stageObjects.push_back(box);
        templates.weapons.push_back(arena::Sword());
        templates.weapons.push_back(arena::Rifle());
        CItemDefinition item;
        std::strcpy(item.name, "Life");
        item.kind = CItemDefinition::KIND_LIFE;
        item.value = 50.0f;
        item.radius = 0.5f;
        templates.items.push_back(item);
        std::strcpy(item.name, "Juel");
        item.kind = CItemDefinition::KIND_JEWEL;
        templates.items.push_back(item);
    }
    CMesh ground, hit;
    CStageDefinition definition;
    CGameDataLists templates;
};

// The sample stage with its two boxes placed (drops by the masks given) and
// a battle for the fighters on it.
struct PlacedStage
{
    PlacedStage(uint32_t weaponMask, uint32_t itemMask) : stage(set.definition)
    {
        stage.SetModels(&set.ground, &set.hit);
        placed = stage.Create(0) == 1 &&
                 stage.CreateStageObjects(&set.templates, &field, weaponMask, itemMask, 0) == 2u;
    }

    StageSet set;
    arena::Battle battle;
    CStage stage;
    CFieldLists field;
    bool placed = false;
};
}

TEST(Stage, CreateNeedsBothModels)
{
    StageSet set;
    CStage bare(set.definition);
    EXPECT_EQ(bare.Create(0), 0);
    bare.SetModels(&set.ground, nullptr);
    EXPECT_EQ(bare.Create(0), 0);
    CStage stage(set.definition);
    stage.SetModels(&set.ground, &set.hit);
    ASSERT_EQ(stage.Create(0), 1);
    EXPECT_EQ(stage.GetStartPointCount(), 2u);
    EXPECT_EQ(stage.GetExtent()[1], -10.0f);
    // Null template lists: nothing is placed, nothing drops.
    EXPECT_EQ(stage.CreateStageObjects(nullptr, nullptr, 0xFFFF, 0xFF, 0), 0u);
}

TEST(Stage, BoxesBreakDropByMaskAndReturn)
{
    StageSet set;
    for (uint32_t mask : {0u, 64u, 1u})
    {
        CStage stage(set.definition);
        stage.SetModels(&set.ground, &set.hit);
        ASSERT_EQ(stage.Create(0), 1);
        CFieldLists field;
        ASSERT_EQ(stage.CreateStageObjects(&set.templates, &field, mask, 0, 0), 2u);
        EXPECT_EQ(stage.DamageBox(0, 20), 0u);
        EXPECT_EQ(stage.DamageBox(0, 20), 1u);
        EXPECT_EQ(stage.DamageBox(0, 20), 0u); // broken already
        if (mask == 0)
            EXPECT_TRUE(field.weapons.empty());
        else
        {
            ASSERT_EQ(field.weapons.size(), 1u);
            EXPECT_EQ(field.weapons[0]->GetDefinition()->type, mask == 64 ? 6 : 0);
            EXPECT_EQ(field.weapons[0]->GetPosition()->y, 0.0f); // laid on the ground
        }
        // Returns after its respawn time.
        SetFrameTime(16);
        for (int i = 0; i < 312; ++i)
            stage.Update(0);
        EXPECT_TRUE(stage.GetBoxes()[0].broken); // 4992 ms
        stage.Update(0);
        EXPECT_FALSE(stage.GetBoxes()[0].broken);
        EXPECT_EQ(stage.GetBoxes()[0].life, 30);
    }
}

TEST(Stage, ItemBoxesAndJewelsAndTheReset)
{
    StageSet set;
    CStage stage(set.definition);
    stage.SetModels(&set.ground, &set.hit);
    ASSERT_EQ(stage.Create(0), 1);
    CFieldLists field;
    ASSERT_EQ(stage.CreateStageObjects(&set.templates, &field, 0, 1u << CItemDefinition::KIND_LIFE, 1), 2u);
    EXPECT_EQ(stage.DamageBox(1, 100), 1u);
    ASSERT_EQ(field.items.size(), 2u);
    EXPECT_STREQ(field.items[0]->GetDefinition()->name, "Life");
    EXPECT_STREQ(field.items[1]->GetDefinition()->name, "Juel");
    // Respawn 0: back only at a reset.
    SetFrameTime(16);
    for (int i = 0; i < 1000; ++i)
        stage.Update(0);
    EXPECT_TRUE(stage.GetBoxes()[1].broken);
    stage.ResetPlacedObjects();
    EXPECT_FALSE(stage.GetBoxes()[1].broken);
    // Items fall onto the box top or the ground.
    for (int i = 0; i < 100; ++i)
        field.Update(&stage, 16);
    EXPECT_EQ(field.items[0]->GetPosition()->y, 1.0f); // the restored box's top
}

TEST(Stage, ABrokenBoxWaitsToStandAgainUntilNoFighterIsInItsPlace)
{
    PlacedStage placed(0, 0);
    ASSERT_TRUE(placed.placed);
    arena::Battle& battle = placed.battle;
    CStage& stage = placed.stage;
    // A fighter where the weapon box (at z = 3, respawn 5 s) and the item
    // box (at z = -3, back only at a reset) stood before they broke.
    CCharacter* fighter = battle.Add(-1, CkvrVector3(0, 0, 3.2f), 4, 0);
    tag_TOLQBATTLEFRAME* frame = battle.Frame();
    frame->stage = &stage;
    auto run = [&](int frames) {
        SetFrameTime(16);
        for (int i = 0; i < frames; ++i)
            stage.Update(reinterpret_cast<uintptr_t>(frame));
    };
    ASSERT_EQ(stage.DamageBox(0, 100), 1u);
    run(400); // 6.4 s
    EXPECT_TRUE(stage.GetBoxes()[0].broken) << "it closed round the fighter";
    const CkvrVector3 beside(0, 0, 4.0f);
    fighter->SetPosition(&beside);
    run(1);
    EXPECT_FALSE(stage.GetBoxes()[0].broken) << "its place is clear";
    // The reset too waits for the place to clear.
    ASSERT_EQ(stage.DamageBox(1, 100), 1u);
    const CkvrVector3 inTheItemBox(0.3f, 0, -3.0f);
    fighter->SetPosition(&inTheItemBox);
    run(1);
    stage.ResetPlacedObjects();
    run(10);
    EXPECT_TRUE(stage.GetBoxes()[1].broken);
    const CkvrVector3 away(3.0f, 0, -3.0f);
    fighter->SetPosition(&away);
    run(1);
    EXPECT_FALSE(stage.GetBoxes()[1].broken);
}

TEST(Stage, FightersBreakBoxesPickUpWeaponsAndTakeItems)
{
    PlacedStage placed(1u << 6, 1u << CItemDefinition::KIND_LIFE);
    ASSERT_TRUE(placed.placed);
    arena::Battle& battle = placed.battle;
    CStage& stage = placed.stage;
    CFieldLists& field = placed.field;
    CCharacter* player = battle.Add(-1, CkvrVector3(0, 0, 1.4f), 4, 0);
    ASSERT_EQ(player->AddWeapon(&battle.lists.weapons[0], 1), 1u);
    auto step = [&](const tag_TOLQINPUTRECORD& record) {
        SetFrameTime(16);
        tag_TOLQBATTLEFRAME* frame = battle.Frame();
        frame->stage = &stage;
        frame->field = &field;
        player->ApplyInputRecord(&record, &battle.input);
        stage.Update(0);
        player->Update(reinterpret_cast<uintptr_t>(frame));
        player->MoveAndCollide(frame);
        field.Update(&stage, 16);
        player->UpdateHitsAndAttachments(frame);
    };
    for (int i = 0; i < 4; ++i)
        step(arena::Record());
    // Two swings at the weapon box (life 30, 100 a swing): it breaks once.
    step(arena::Record(0, 0, {CCharacter::BUTTON_ATTACK}));
    for (int i = 0; i < 40; ++i)
        step(arena::Record());
    ASSERT_EQ(field.weapons.size(), 1u);
    EXPECT_EQ(field.weapons[0]->GetDefinition()->type, 6);
    // Walk to it and pick it up.
    CkvrVector3 near(0, 0, 2.5f);
    player->SetPosition(&near);
    step(arena::Record());
    step(arena::Record(0, 0, {CCharacter::BUTTON_PICK_UP}));
    EXPECT_TRUE(field.weapons.empty());
    EXPECT_EQ(player->GetStateBlock()->weaponHandling, 1u);
    EXPECT_EQ(player->GetActionData()->pickedWord, 2u);
    EXPECT_EQ(player->GetActionData()->weight, 5);
    const std::vector<uint32_t>& events = battle.effects.events;
    EXPECT_EQ(std::count(events.begin(), events.end(), IActorEffects::EVENT_WEAPON_SET * 100u), 1);
    for (int i = 0; i < 32; ++i)
        step(arena::Record());
    EXPECT_EQ(player->GetStateBlock()->weaponHandling, 0u);
    // An item lying at the feet is taken.
    player->GetStateBlock()->life = 10;
    auto item = std::make_unique<CItem>(&placed.set.templates.items[0]);
    CkvrVector3 at(0, 0.5f, 2.5f);
    item->SetPosition(&at);
    field.items.push_back(std::move(item));
    step(arena::Record());
    EXPECT_EQ(player->GetStateBlock()->life, 60);
    EXPECT_EQ(events.back(), IActorEffects::EVENT_ITEM_LIFE * 100u);
    step(arena::Record());
    EXPECT_TRUE(field.items.empty());
}

TEST(Stage, FieldWeaponsLeaveAfterAHundredSeconds)
{
    CFieldLists field;
    const CWeaponDefinition sword = arena::Sword();
    field.weapons.push_back(CWeapon::Make(&sword));
    field.Update(nullptr, 99999);
    EXPECT_EQ(field.weapons.size(), 1u);
    field.Update(nullptr, 1);
    EXPECT_TRUE(field.weapons.empty());
}

// A removed weapon's or item's successor moves into its place and waits for
// the next frame; an item moves only while it stays, and one that leaves
// lets go of its effect.
TEST(Stage, TheFieldScanVisitsTheNextIndexAfterARemoval)
{
    CFieldLists field;
    const CWeaponDefinition sword = arena::Sword();
    field.weapons.push_back(CWeapon::Make(&sword));
    field.Update(nullptr, 99999);
    CWeapon* waiting = nullptr;
    for (int i = 0; i < 2; ++i)
    {
        field.weapons.push_back(CWeapon::Make(&sword));
        waiting = waiting == nullptr ? field.weapons.back().get() : waiting;
    }
    field.Update(nullptr, 1); // the first leaves; the second waits, the third steps
    ASSERT_EQ(field.weapons.size(), 2u);
    field.Update(nullptr, 99999); // only the third has been on the field for 100 s
    ASSERT_EQ(field.weapons.size(), 1u);
    EXPECT_EQ(field.weapons[0].get(), waiting);

    StageSet set;
    CStage stage(set.definition);
    stage.SetModels(&set.ground, &set.hit);
    ASSERT_EQ(stage.Create(0), 1);
    CEffectController effects;
    ASSERT_EQ(effects.Initialize(nullptr, 4, 4), 1);
    CEffect* effect = effects.AllocEffect();
    ASSERT_NE(effect, nullptr);
    const CkvrVector3 high(0, 5, 0);
    for (int i = 0; i < 3; ++i)
    {
        field.items.push_back(std::make_unique<CItem>(&set.templates.items[0]));
        field.items.back()->SetPosition(&high);
    }
    field.items[0]->Take();
    field.items[0]->SetAttachedEffect(effects.GetHandle(effect));
    SetFrameTime(16);
    field.Update(&stage, 16);
    ASSERT_EQ(field.items.size(), 2u);
    EXPECT_FALSE(effects.IsLiveEffect(effect));
    EXPECT_EQ(field.items[0]->GetPosition()->y, 5.0f); // waited
    EXPECT_LT(field.items[1]->GetPosition()->y, 5.0f); // fell
}

TEST(Stage, AltarsSpawnElementsThatBlessTheirOwnFighters)
{
    StageSet set;
    CStageObjectDefinition altar;
    std::strcpy(altar.name, "Altar_3");
    altar.kind = 4; // element 3
    altar.halfSize = CkvrVector3(0.5f, 0.25f, 0.5f);
    set.templates.stageObjects.push_back(altar);
    std::strcpy(set.definition.placements[1].templateName, "Altar_3");
    set.definition.placements[1].position = CkvrVector3(0, 0, 1.2f);
    CElementDefinition element;
    std::strcpy(element.name, "Element_3");
    element.element = 3;
    element.pickUpRadius = 1.0f;
    element.blessingTime = 1000;
    set.templates.elements.push_back(element);

    arena::Battle battle;
    CStage stage(set.definition);
    stage.SetModels(&set.ground, &set.hit);
    ASSERT_EQ(stage.Create(0), 1);
    CFieldLists field;
    ASSERT_EQ(stage.CreateStageObjects(&set.templates, &field, 0, 0, 0, 1u << 2), 2u);
    ASSERT_EQ(stage.GetElementCount(), 1u);
    CElement* spirit = stage.GetElements()[0];
    stage.ResetStageObjects();
    EXPECT_EQ(spirit->GetState(), CElement::STATE_IDLE); // element 3 not in the mask
    stage.SetObjectParams(0, 0, 1u << 3);
    stage.ResetStageObjects();
    ASSERT_EQ(spirit->GetState(), CElement::STATE_AT_ALTAR);

    CCharacter* other = battle.Add(-1, CkvrVector3(0, 0, 0), 4, 0); // element 0
    CCharacter* owner = battle.Add(-1, CkvrVector3(-5, 0, 0), 4, 0);
    battle.definitions[1].element = 3;
    auto step = [&]() {
        SetFrameTime(16);
        tag_TOLQBATTLEFRAME* frame = battle.Frame();
        frame->stage = &stage;
        frame->field = &field;
        frame->elements = stage.GetElements();
        frame->elementCount = stage.GetElementCount();
        for (CCharacter* fighter : battle.pointers)
            fighter->Update(reinterpret_cast<uintptr_t>(frame));
        for (CCharacter* fighter : battle.pointers)
            fighter->MoveAndCollide(frame);
        for (CCharacter* fighter : battle.pointers)
            fighter->UpdateHitsAndAttachments(frame);
        spirit->Update(reinterpret_cast<uintptr_t>(frame));
    };
    step();
    EXPECT_EQ(spirit->GetState(), CElement::STATE_AT_ALTAR); // not the other's element
    EXPECT_FALSE(other->IsBlessed());
    CkvrVector3 near(0.3f, 0, 0.2f);
    owner->SetPosition(&near);
    step();
    EXPECT_TRUE(owner->IsBlessed());
    EXPECT_EQ(spirit->GetState(), CElement::STATE_CARRIED);
    EXPECT_EQ(spirit->GetCarrier(), 1);
    EXPECT_EQ(battle.effects.events.back(), IActorEffects::EVENT_ELEMENTS_SET * 100u + 1u);
    for (int i = 0; i < 70; ++i)
        step();
    // The blessing ended: the element is idle until the altar's reset.
    EXPECT_FALSE(owner->IsBlessed());
    EXPECT_EQ(spirit->GetState(), CElement::STATE_IDLE);
    stage.ResetPlacedObjects();
    EXPECT_EQ(spirit->GetState(), CElement::STATE_AT_ALTAR);
}

// Boxes far from a segment are passed over; those it reaches, touches or
// only just misses are still decided by the exact test.
TEST(Stage, ASegmentMeetsTheBoxesItReachesAndNoOthers)
{
    CCollisionWorld world;
    world.AddBox(CkvrVector3(10, 1, 0), CkvrVector3(1, 1, 1), 0);  // x from 9 to 11
    world.AddBox(CkvrVector3(-40, 1, 0), CkvrVector3(1, 1, 1), 0); // far behind
    CkvrVector3 point, normal;
    EXPECT_EQ(world.IntersectStageObjects(CkvrVector3(0, 1, 0), CkvrVector3(9, 1, 0), &point, &normal), 1u);
    EXPECT_EQ(point.x, 9.0f);
    EXPECT_EQ(world.GetBoxHitIndex(), 0u);
    EXPECT_EQ(world.IntersectStageObjects(CkvrVector3(0, 1, 0), CkvrVector3(8.999f, 1, 0), &point, &normal), 0u);
    EXPECT_EQ(world.IntersectStageObjects(CkvrVector3(0, 1, 1.001f), CkvrVector3(20, 1, 1.001f), &point, &normal),
              0u);
    EXPECT_EQ(world.IntersectStageObjects(CkvrVector3(-50, 1, 0), CkvrVector3(50, 1, 0), &point, &normal), 1u);
    EXPECT_EQ(world.GetBoxHitIndex(), 1u); // the nearer of the two
    EXPECT_EQ(normal.x, -1.0f);
}
