// Fighters, clothes, elements, items and stages drawn for real on the
// offscreen device, with their models found through the resource
// controller, and the preview steps and tables the scenes read.
#include "tests/engine/render/ModelSamples.h"
#include "tests/engine/render/RenderTestDevice.h"
#include "tests/game/actor/ArenaHarness.h"
#include "tests/game/actor/MeshSamples.h"
#include "tests/support/TestColours.h"

#include "engine/effect/CEffectController.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CCamera.h"
#include "engine/render/CRenderList.h"
#include "engine/resource/CResourceController.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CClothes.h"
#include "game/actor/CClothesDefinition.h"
#include "game/actor/CElementDefinition.h"
#include "game/actor/CItem.h"
#include "game/actor/CItemDefinition.h"
#include "game/actor/CStage.h"
#include "game/actor/CStageObjectDefinition.h"
#include "game/actor/GroundShadow.h"

#include <cmath>
#include <cstring>

namespace
{
const uint32_t BACKGROUND = 0xFF202020;

bool Near(uint32_t a, uint32_t b, int tolerance = 4)
{
    return ModelSamples::NearColour(a, b, tolerance);
}

using ModelSamples::Glowing;

CModelObject* Plate(const char* name, float x0, float y0, float x1, float y1, float z, tag_KVRMODELMATERIAL material)
{
    CModelObject* plate = new CModelObject();
    plate->SetName(name);
    CModelVertexList* vertices = plate->GetVertexList();
    vertices->format = KVRVERTEX_POSITION | KVRVERTEX_NORMAL | KVRVERTEX_COLOR;
    for (const CkvrVector3& p : {CkvrVector3(x0, y0, z), CkvrVector3(x1, y0, z), CkvrVector3(x1, y1, z),
                                 CkvrVector3(x0, y1, z)})
    {
        tag_KVRMODELVERTEX v = {};
        v.position = p;
        v.normal.Set(0, 0, -1);
        v.color.Set(1, 1, 1, 1);
        vertices->Add(v);
    }
    const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
    plate->GetIndexSet()->indices.SetArray(indices, 6);
    const tag_KVRMODELINDEXOFFSET range = {0, 6};
    plate->GetIndexSet()->ranges.Add(range);
    plate->GetMaterials()->Add(material);
    return plate;
}

// A green arm from y = 0 to 2, 0.3 wide: the upper half on "Shoulder", the
// forearm on "Elbow" (at y = 1), which the one animation bends a quarter
// turn towards +x over one second.
void FillArm(CMesh* mesh)
{
    CModelObject* arm = Plate("Arm", -0.15f, 0.0f, 0.15f, 1.0f, 0.0f, Glowing(0, 1, 0));
    // The forearm: four more vertices, two more triangles.
    CModelVertexList* vertices = arm->GetVertexList();
    for (float y : {1.0f, 2.0f})
    {
        for (float x : {-0.15f, 0.15f})
        {
            tag_KVRMODELVERTEX v = {};
            v.position.Set(x, y, 0.0f);
            v.normal.Set(0, 0, -1);
            v.color.Set(1, 1, 1, 1);
            vertices->Add(v);
        }
    }
    const uint32_t indices[12] = {0, 1, 2, 0, 2, 3, 4, 5, 7, 4, 7, 6};
    arm->GetIndexSet()->indices.SetArray(indices, 12);
    arm->GetIndexSet()->ranges.GetAt(0)->count = 12;
    mesh->GetObjectList()->Add(arm);

    CModelBone* shoulder = ModelSamples::AddBone(mesh, "Shoulder", nullptr);
    CModelBone* root = mesh->GetBoneList()->GetItem(0);
    shoulder->SetParent(root);
    root->GetChildren()->Add(shoulder);
    CModelBone* elbow = ModelSamples::AddBone(mesh, "Elbow", shoulder);
    elbow->GetLocalMatrix()->m[13] = 1.0f;
    for (uint32_t i = 0; i < 4; ++i)
        ModelSamples::AddWeight(mesh, shoulder, 0, i, 1.0f);
    for (uint32_t i = 4; i < 8; ++i)
        ModelSamples::AddWeight(mesh, elbow, 0, i, 1.0f);

    CModelAnimation* animation = new CModelAnimation();
    animation->SetName("Bend");
    tag_KVRBONEANIMATION track = {};
    track.bone = elbow;
    track.boneName = elbow->GetName();
    track.rotation = new CKeyFrameList<CkvrQuaternion>();
    track.rotation->SetName("Rotation");
    track.rotation->SetCount(2);
    const float s = std::sqrt(0.5f);
    *track.rotation->GetAt(0) = {0.0f, 0.0f, CkvrQuaternion(0, 0, 0, 1)};
    *track.rotation->GetAt(1) = {4800.0f, 0.0f, CkvrQuaternion(0, 0, s, s)};
    animation->GetBoneAnimationList()->Add(track);
    mesh->GetAnimationList()->Add(animation);
}

// The model as a loaded file: device buffers made, named for the lists.
CMesh* Loaded(CMesh* source, const char* name)
{
    const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(source);
    CMesh* mesh = new CMesh();
    EXPECT_EQ(mesh->LoadFromPack(bytes.data(), name, uint32_t(bytes.size()), nullptr, nullptr), 1u);
    mesh->SetName(name);
    return mesh;
}

float ElbowTicks(CAnimationController* animation)
{
    CList<tag_KVRBONESTATE>* states = animation->GetBoneStateList();
    for (uint32_t i = 0; i < states->GetCount(); ++i)
    {
        const tag_KVRBONESTATE* state = states->GetAt(i);
        if (state->bone != nullptr && std::strcmp(state->bone->GetName(), "Elbow") == 0)
            return state->time;
    }
    return -1.0f;
}

CCharacterDefinition ArmFighter(uint8_t number = 0)
{
    CCharacterDefinition definition = arena::Fighter(number);
    definition.model = "Arm.mdl";
    definition.motions.resize(8);
    definition.motions[3] = {0, 0, 1.0f};
    definition.motions[4] = {0, 0, 1.0f};
    definition.motions[5] = {0, 0, 2.0f};
    definition.motions[6] = {255, 0, 1.0f};
    return definition;
}

class Presentation : public RenderTest
{
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        CMesh arm;
        FillArm(&arm);
        resources.GetMeshList().Add(Loaded(&arm, "Arm.mdl"));
        // A red square in front of its origin, 0.3 to 0.6 along its y.
        CMesh hat;
        hat.GetObjectList()->Add(Plate("Hat", -0.1f, 0.3f, 0.1f, 0.6f, -0.05f, Glowing(1, 0, 0)));
        resources.GetMeshList().Add(Loaded(&hat, "Hat.mdl"));
        CMesh crate;
        crate.GetObjectList()->Add(Plate("Crate", -0.5f, 0.0f, 0.5f, 1.0f, 0.0f, Glowing(0, 0, 1)));
        resources.GetMeshList().Add(Loaded(&crate, "Crate.mdl"));
        const std::vector<uint32_t> black(16, 0xFF000000);
        const std::vector<uint8_t> png = MakePng(black, 4, 4);
        CTexture* shadow = new CTexture();
        ASSERT_EQ(shadow->CreateFromMemory(png.data(), "Shadow.dds", uint32_t(png.size())), 1);
        resources.GetTextureList().Add(shadow);
        CActorResources::Install(&resources);

        graphics.Begin3D();
        graphics.SetCullMode(CULL_NONE);
        graphics.SetFogEnable(0);
        CShader* effect = CGraphics::GetDefaultShader();
        ASSERT_NE(effect, nullptr);
        const float dark[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        effect->SetVector("g_LightDiffuse", dark);
        effect->SetVector("g_WorldAmbient", dark);
        list = std::make_unique<CRenderList>("Presentation", 16, &graphics);
        list->SetDrawLimit(16);
        LookFromFront();
    }

    void TearDown() override
    {
        CActorResources::Install(nullptr);
        graphics.SetCamera(nullptr);
        RenderTest::TearDown();
    }

    void Look(const CkvrVector3& from, const CkvrVector3& at, const CkvrVector3& up)
    {
        const float eye[3] = {from.x, from.y, from.z}, target[3] = {at.x, at.y, at.z}, u[3] = {up.x, up.y, up.z};
        camera.SetLookAt(eye, target, u);
        camera.SetProjection(60, 1.0f, 0.5f, 200.0f);
        camera.SetViewport(0, 0, SIZE, SIZE);
        ASSERT_EQ(camera.Apply(), 1);
    }
    void LookFromFront() { Look(CkvrVector3(0, 1, -6), CkvrVector3(0, 1, 0), CkvrVector3(0, 1, 0)); }
    void LookDown() { Look(CkvrVector3(0, 30, 0), CkvrVector3(0, 0, 0), CkvrVector3(0, 0, 1)); }

    uint32_t At(const CkvrVector3& p)
    {
        float x = 0.0f, y = 0.0f, depth = 0.0f;
        const float point[3] = {p.x, p.y, p.z};
        camera.WorldToScreen(point, &x, &y, &depth);
        return Pixel(int32_t(x), int32_t(y));
    }

    // The fighters' frame: queue, then draw the list.
    void Draw(std::initializer_list<CObjectBase*> objects)
    {
        ClearTo(BACKGROUND);
        list->Clear();
        for (CObjectBase* object : objects)
            object->Render(reinterpret_cast<uintptr_t>(list.get()));
        list->Draw();
    }

    CTexture* ShadowTexture() { return CActorResources::FindTexture("Shadow.dds"); }

    // Shadows are blended over white: 255 minus the shadow's alpha.
    void BeginShadows()
    {
        LookDown();
        ClearTo(WHITE);
        graphics.SetBlendMode(1);
        graphics.SetZWriteEnable(0);
        graphics.SetLighting(0);
    }

    CResourceController resources;
    CCamera camera;
    std::unique_ptr<CRenderList> list;
};

TEST_F(Presentation, AFighterDrawsItsModelWhereItStandsAndNothingWithoutOne)
{
    CCharacterDefinition definition = ArmFighter();
    CCharacter fighter(&definition);
    ASSERT_EQ(fighter.Create(0), 1);
    ASSERT_NE(fighter.GetModel(), nullptr);
    ASSERT_NE(fighter.GetAnimation(), nullptr);
    const CkvrVector3 at(1.5f, 0.0f, 0.0f);
    fighter.SetPosition(&at);
    Draw({&fighter});
    EXPECT_EQ(list->GetQueuedCount(), 1u);
    EXPECT_TRUE(Near(At(CkvrVector3(1.5f, 0.5f, 0)), GREEN)) << std::hex << At(CkvrVector3(1.5f, 0.5f, 0));
    EXPECT_TRUE(Near(At(CkvrVector3(1.5f, 1.7f, 0)), GREEN));
    EXPECT_TRUE(Near(At(CkvrVector3(0.0f, 0.5f, 0)), BACKGROUND));

    // Bent, the forearm points along the fighter's own +x, which its yaw
    // turns: towards -x in the world at 180 degrees.
    fighter.ResetResultPose(4);
    SetFrameTime(1000);
    fighter.SetAnimationSpeed();
    Draw({&fighter});
    EXPECT_TRUE(Near(At(CkvrVector3(2.2f, 1.0f, 0)), GREEN));
    EXPECT_TRUE(Near(At(CkvrVector3(0.8f, 1.0f, 0)), BACKGROUND));
    const CkvrVector3 turned(0.0f, 180.0f, 0.0f);
    fighter.SetRotation(&turned);
    Draw({&fighter});
    EXPECT_TRUE(Near(At(CkvrVector3(0.8f, 1.0f, 0)), GREEN));
    EXPECT_TRUE(Near(At(CkvrVector3(2.2f, 1.0f, 0)), BACKGROUND));

    CCharacterDefinition missing = ArmFighter();
    missing.model = "Missing.mdl";
    CCharacter plain(&missing);
    ASSERT_EQ(plain.Create(0), 1);
    EXPECT_EQ(plain.GetModel(), nullptr);
    plain.SetPosition(&at);
    plain.ResetResultPose(4);
    plain.SetAnimationSpeed();
    Draw({&plain});
    EXPECT_EQ(list->GetQueuedCount(), 0u);
    EXPECT_TRUE(Near(At(CkvrVector3(1.5f, 0.5f, 0)), BACKGROUND));
}

TEST_F(Presentation, ClothesRideTheirBoneAndWithoutItTheWearer)
{
    CCharacterDefinition definition = ArmFighter();
    CClothesDefinition hat;
    std::strcpy(hat.name, "Hat");
    hat.characterMask = 0xFF;
    hat.slotMask = 1;
    hat.model = "Hat.mdl";
    hat.bone = "Elbow";
    CClothesDefinition badge = hat;
    badge.slotMask = 2;
    badge.bone = "NoSuchBone";
    CCharacter fighter(&definition);
    // Dressed before Create: the clothes stay on.
    ASSERT_EQ(fighter.SetClothes(&hat), 1u);
    ASSERT_EQ(fighter.Create(0), 1);
    ASSERT_EQ(fighter.SetClothes(&badge), 1u);
    ASSERT_EQ(fighter.GetClothes(0), &hat);
    ASSERT_NE(fighter.GetClothesObject(0), nullptr);
    const CkvrVector3 at(-1.0f, 0.0f, 0.0f);
    fighter.SetPosition(&at);
    fighter.ResetResultPose(4);
    Draw({&fighter});
    EXPECT_EQ(list->GetQueuedCount(), 3u);
    EXPECT_TRUE(fighter.GetClothesObject(0)->IsOnBone());
    EXPECT_FALSE(fighter.GetClothesObject(1)->IsOnBone());
    // The hat on the straight elbow (y 1.3-1.6), the badge on the feet.
    EXPECT_TRUE(Near(At(CkvrVector3(-1.0f, 1.45f, 0)), RED));
    EXPECT_TRUE(Near(At(CkvrVector3(-1.0f, 0.45f, 0)), RED));
    EXPECT_TRUE(Near(At(CkvrVector3(-1.0f, 0.9f, 0)), GREEN));

    // The elbow bends a quarter turn: the hat goes with it, the badge stays.
    SetFrameTime(1000);
    fighter.SetAnimationSpeed();
    fighter.UpdateModelTransform();
    fighter.UpdateAttachments();
    const CkvrVector3* hatAt = fighter.GetClothesObject(0)->GetPosition();
    EXPECT_NEAR(hatAt->x, -1.0f, 1e-4f);
    EXPECT_NEAR(hatAt->y, 1.0f, 1e-4f);
    Draw({&fighter});
    EXPECT_TRUE(Near(At(CkvrVector3(-0.55f, 1.0f, 0)), RED)) << std::hex << At(CkvrVector3(-0.55f, 1.0f, 0));
    EXPECT_TRUE(Near(At(CkvrVector3(-1.0f, 1.45f, 0)), BACKGROUND));
    EXPECT_TRUE(Near(At(CkvrVector3(-1.0f, 0.45f, 0)), RED));

    // A coat over both slots takes both off.
    CClothesDefinition coat = hat;
    coat.slotMask = 3;
    coat.model = "";
    ASSERT_EQ(fighter.SetClothes(&coat), 1u);
    EXPECT_EQ(fighter.GetClothesObject(0), fighter.GetClothesObject(1));
    Draw({&fighter});
    EXPECT_EQ(list->GetQueuedCount(), 1u) << "a part without a model draws nothing";
}

TEST_F(Presentation, PreviewStepsAdvanceTheAnimationByTheFrameTimesSpeed)
{
    CCharacterDefinition definition = ArmFighter();
    CCharacter fighter(&definition);
    ASSERT_EQ(fighter.Create(0), 1);
    fighter.ResetResultPose(4);
    CAnimationController* animation = fighter.GetAnimation();
    EXPECT_EQ(ElbowTicks(animation), 0.0f);
    SetFrameTime(100);
    fighter.SetAnimationSpeed(2.0f);
    EXPECT_NEAR(ElbowTicks(animation), 960.0f, 0.01f);
    fighter.SetAnimationSpeed(0.5f);
    EXPECT_NEAR(ElbowTicks(animation), 1200.0f, 0.01f);
    // Motion 5 plays at twice the speed, from its start.
    fighter.ResetResultPose(5);
    EXPECT_EQ(fighter.GetMotion(), 5);
    EXPECT_EQ(ElbowTicks(animation), 0.0f);
    fighter.SetAnimationSpeed();
    EXPECT_NEAR(ElbowTicks(animation), 960.0f, 0.01f);
    // A motion without an animation leaves the one playing.
    fighter.ResetResultPose(6);
    EXPECT_EQ(fighter.GetMotion(), 6);
    fighter.SetAnimationSpeed();
    EXPECT_NEAR(ElbowTicks(animation), 1920.0f, 0.01f);
}

TEST_F(Presentation, TheStanceMotionBlendsInAndOthersCut)
{
    CCharacterDefinition definition = ArmFighter();
    CCharacter fighter(&definition);
    ASSERT_EQ(fighter.Create(0), 1);
    fighter.ResetResultPose(3);
    const tag_KVRBONESTATE* elbow = nullptr;
    CList<tag_KVRBONESTATE>* states = fighter.GetAnimation()->GetBoneStateList();
    for (uint32_t i = 0; i < states->GetCount(); ++i)
    {
        if (states->GetAt(i)->bone != nullptr && std::strcmp(states->GetAt(i)->bone->GetName(), "Elbow") == 0)
            elbow = states->GetAt(i);
    }
    ASSERT_NE(elbow, nullptr);
    EXPECT_NEAR(elbow->blendTime, 0.1f * CAnimationController::TIME_SCALE, 0.01f);
    fighter.ResetResultPose(4);
    EXPECT_EQ(elbow->blendTime, 0.0f);
}

TEST_F(Presentation, ReleaseModelTwiceAndCreateAgain)
{
    CCharacterDefinition definition = ArmFighter();
    CClothesDefinition hat;
    hat.characterMask = 0xFF;
    hat.model = "Hat.mdl";
    auto fighter = std::make_unique<CCharacter>(&definition);
    ASSERT_EQ(fighter->SetClothes(&hat), 1u);
    ASSERT_EQ(fighter->Create(0), 1);
    fighter->SetShadowTexture(ShadowTexture());
    fighter->ReleaseModel();
    EXPECT_EQ(fighter->GetModel(), nullptr);
    EXPECT_EQ(fighter->GetAnimation(), nullptr);
    EXPECT_EQ(fighter->GetClothesObject(0)->GetModel(), nullptr);
    fighter->ReleaseModel();
    fighter->SetAnimationSpeed();
    Draw({fighter.get()});
    EXPECT_EQ(list->GetQueuedCount(), 0u);
    ASSERT_EQ(fighter->Create(0), 1);
    EXPECT_NE(fighter->GetModel(), nullptr);
    EXPECT_NE(fighter->GetClothesObject(0)->GetModel(), nullptr);
    // Deleted with its model: the destructor releases it once more.
    fighter.reset();
}

TEST_F(Presentation, ShadowsFadeWithHeightAndNeedGroundWithinAHundred)
{
    EXPECT_EQ(GroundShadow::Alpha(0.0f, 0.1f), 255);
    EXPECT_EQ(GroundShadow::Alpha(-0.5f, 0.1f), 255);
    EXPECT_EQ(GroundShadow::Alpha(5.0f, 0.1f), 127);
    EXPECT_EQ(GroundShadow::Alpha(10.0f, 0.1f), 0);
    EXPECT_EQ(GroundShadow::Alpha(30.0f, 0.1f), 0);
    EXPECT_EQ(GroundShadow::Alpha(50.0f, 0.01f), 127);

    CCollisionWorld world;
    world.AddGroundQuad(CkvrVector3(-50, 0, -50), CkvrVector3(-50, 0, 50), CkvrVector3(50, 0, 50),
                        CkvrVector3(50, 0, -50));
    CkvrVector3 ground;
    EXPECT_TRUE(GroundShadow::FindGround(&world, CkvrVector3(0, 99.0f, 0), &ground));
    EXPECT_FALSE(GroundShadow::FindGround(&world, CkvrVector3(0, 101.0f, 0), &ground));

    CCharacterDefinition definition = ArmFighter();
    CCharacter fighter(&definition);
    ASSERT_EQ(fighter.Create(0), 1);
    fighter.SetShadowTexture(ShadowTexture());
    // 255 minus the alpha, blended over white.
    const struct
    {
        float height;
        int shade;
    } cases[] = {{0.0f, 0}, {5.0f, 128}, {10.0f, 255}, {150.0f, 255}};
    for (const auto& c : cases)
    {
        BeginShadows();
        const CkvrVector3 at(0.0f, c.height, 0.0f);
        fighter.SetPosition(&at);
        fighter.DrawShadow(&world);
        EXPECT_NEAR(Channel(At(CkvrVector3()), 0), c.shade, 3) << "height " << c.height;
        EXPECT_EQ(At(CkvrVector3(3.0f, 0, 0)), WHITE) << "the shadow is the fighter's size";
    }
    // Without a texture, nothing.
    fighter.SetShadowTexture(nullptr);
    BeginShadows();
    const CkvrVector3 origin;
    fighter.SetPosition(&origin);
    fighter.DrawShadow(&world);
    EXPECT_EQ(At(CkvrVector3()), WHITE);
}

TEST_F(Presentation, AFighterDrawsTheShadowOfTheElementItCarries)
{
    CMesh floor, walls;
    floor.GetObjectList()->Add(meshsamples::MakeObject(
        "Floor", {{CkvrVector3(-20, 0, -20), CkvrVector3(-20, 0, 20), CkvrVector3(20, 0, 20), CkvrVector3(20, 0, -20)}},
        false));
    walls.GetObjectList()->Add(meshsamples::MakeObject(
        "Wall", {{CkvrVector3(15, 0, -20), CkvrVector3(15, 5, -20), CkvrVector3(15, 5, 20), CkvrVector3(15, 0, 20)}},
        false));
    CStageDefinition stageDefinition;
    stageDefinition.placements.resize(1);
    std::strcpy(stageDefinition.placements[0].templateName, "Altar");
    stageDefinition.placements[0].position = CkvrVector3(-3, 0, 0);
    CGameDataLists templates;
    CStageObjectDefinition altar;
    std::strcpy(altar.name, "Altar");
    altar.kind = CStageObjectDefinition::KIND_ALTAR_FIRST;
    altar.halfSize = CkvrVector3(0.5f, 0.5f, 0.5f);
    templates.stageObjects.push_back(altar);
    CElementDefinition spirit;
    std::strcpy(spirit.name, "Spirit");
    spirit.pickUpRadius = 0.5f;
    templates.elements.push_back(spirit);
    CStage stage(stageDefinition);
    stage.SetModels(&floor, &walls);
    ASSERT_EQ(stage.Create(0), 1);
    ASSERT_EQ(stage.CreateStageObjects(&templates, nullptr, 0, 0, 0), 1u);
    ASSERT_EQ(stage.GetElementCount(), 1u);
    CElement* element = stage.GetElements()[0];
    element->SetShadowTexture(ShadowTexture());
    element->ResetAtAltar(0x7F);

    CCharacterDefinition definitions[2] = {ArmFighter(0), ArmFighter(1)};
    CCharacter carrier(&definitions[0]), other(&definitions[1]);
    for (uint8_t i = 0; i < 2; ++i)
    {
        CCharacter* fighter = i == 0 ? &carrier : &other;
        ASSERT_EQ(fighter->Create(0), 1);
        tag_TOLQBATTLECHARADATA data;
        data.fighterIndex = i;
        ASSERT_EQ(fighter->Setup(&data, nullptr), 1);
    }
    ASSERT_EQ(element->TakeBy(0), 1u);
    const CkvrVector3 above(3.0f, 5.0f, 0.0f);
    element->SetPosition(&above);

    BeginShadows();
    other.DrawShadow(&stage);
    EXPECT_EQ(At(CkvrVector3(3, 0, 0)), WHITE) << "not the other's element";
    carrier.DrawShadow(&stage);
    EXPECT_NEAR(Channel(At(CkvrVector3(3, 0, 0)), 0), 128, 3);
    EXPECT_EQ(At(CkvrVector3(0, 0, 0)), WHITE) << "the carrier itself has no shadow texture";
}

TEST_F(Presentation, ItemsFadeTheirShadowOnePercentPerUnitAndReleaseTheirEffect)
{
    CCollisionWorld world;
    world.AddGroundQuad(CkvrVector3(-50, 0, -50), CkvrVector3(-50, 0, 50), CkvrVector3(50, 0, 50),
                        CkvrVector3(50, 0, -50));
    CItemDefinition definition;
    definition.radius = 0.5f;
    definition.model = "Hat.mdl";
    CItem item(&definition);
    item.SetShadowTexture(ShadowTexture());
    for (const auto& [height, shade] : {std::pair<float, int>{0.0f, 0}, {50.0f, 128}, {99.0f, 252}})
    {
        BeginShadows();
        const CkvrVector3 at(0.0f, height, 0.0f);
        item.SetPosition(&at);
        item.DrawShadow(&world);
        EXPECT_NEAR(Channel(At(CkvrVector3()), 0), shade, 3) << "height " << height;
    }
    // Taken, it neither draws nor casts a shadow.
    item.Take();
    BeginShadows();
    const CkvrVector3 origin;
    item.SetPosition(&origin);
    item.DrawShadow(&world);
    EXPECT_EQ(At(CkvrVector3()), WHITE);

    CItem held(&definition);
    ASSERT_NE(held.GetModel(), nullptr);
    LookFromFront();
    Draw({&held});
    EXPECT_TRUE(Near(At(CkvrVector3(0, 0.45f, -0.05f)), RED));

    CEffectController effects;
    ASSERT_EQ(effects.Initialize(&graphics, 4, 4), 1);
    CEffect* effect = effects.AllocEffect();
    ASSERT_NE(effect, nullptr);
    held.SetAttachedEffect(effects.GetHandle(effect));
    ASSERT_TRUE(held.GetAttachedEffect().IsAlive());
    held.ReleaseAttachedEffect();
    EXPECT_FALSE(effects.IsLiveEffect(effect));
    EXPECT_EQ(held.GetAttachedEffect().GetSlot(), nullptr);
    held.ReleaseAttachedEffect();
}

TEST_F(Presentation, ElementCopiesAnimateOnTheirOwnAndFadeByAlpha)
{
    CElementDefinition definition;
    definition.model = "Arm.mdl";
    definition.motion = 0;
    CElement source(&definition, CkvrVector3(0.5f, 0.0f, 0.0f));
    ASSERT_EQ(source.Create(0), 1);
    source.ResetAnimation();
    ASSERT_NE(source.GetAnimation(), nullptr);
    CElement copy(source, 0);
    ASSERT_NE(copy.GetAnimation(), nullptr);
    EXPECT_NE(copy.GetAnimation(), source.GetAnimation());
    EXPECT_EQ(copy.GetModel(), source.GetModel());
    SetFrameTime(100);
    copy.AdvanceAnimation(2.0f);
    EXPECT_NEAR(ElbowTicks(copy.GetAnimation()), 960.0f, 0.01f);
    EXPECT_EQ(ElbowTicks(source.GetAnimation()), 0.0f);
    source.ReleaseAnimation();
    source.ReleaseAnimation();
    EXPECT_EQ(source.GetAnimation(), nullptr);
    copy.ResetAnimation();
    EXPECT_EQ(ElbowTicks(copy.GetAnimation()), 0.0f);

    // Idle elements are nowhere; at the altar they draw, unless faded out.
    Draw({&copy});
    EXPECT_EQ(list->GetQueuedCount(), 0u);
    copy.ResetAtAltar(0x7F);
    Draw({&copy});
    EXPECT_EQ(list->GetQueuedCount(), 1u);
    EXPECT_TRUE(Near(At(CkvrVector3(0.5f, 0.5f, 0)), GREEN));
    copy.GetColor()->w = 0.0f;
    Draw({&copy});
    EXPECT_EQ(list->GetQueuedCount(), 0u);
    EXPECT_TRUE(Near(At(CkvrVector3(0.5f, 0.5f, 0)), BACKGROUND));
}

TEST_F(Presentation, AStageDrawsItsDisplayModelAndTheObjectsStillStanding)
{
    CMesh floor, walls;
    floor.GetObjectList()->Add(meshsamples::MakeObject(
        "Floor", {{CkvrVector3(-20, 0, -20), CkvrVector3(-20, 0, 20), CkvrVector3(20, 0, 20), CkvrVector3(20, 0, -20)}},
        false));
    walls.GetObjectList()->Add(meshsamples::MakeObject(
        "Wall", {{CkvrVector3(15, 0, -20), CkvrVector3(15, 5, -20), CkvrVector3(15, 5, 20), CkvrVector3(15, 0, 20)}},
        false));
    CStageDefinition definition;
    definition.displayName = "Hat.mdl";
    definition.extentMin = CkvrVector3(-30, -10, -30);
    definition.extentMax = CkvrVector3(30, 40, 30);
    definition.starts.resize(2);
    definition.starts[1].position = CkvrVector3(5, 0, 5);
    definition.starts[1].rotation = CkvrVector3(0, 90, 0);
    definition.placements.resize(1);
    std::strcpy(definition.placements[0].templateName, "Crate");
    definition.placements[0].position = CkvrVector3(-1.5f, 0, 0);
    CGameDataLists templates;
    CStageObjectDefinition crate;
    std::strcpy(crate.name, "Crate");
    crate.kind = CStageObjectDefinition::KIND_WEAPON_BOX;
    crate.life = 10;
    crate.halfSize = CkvrVector3(0.5f, 0.5f, 0.5f);
    crate.model = "Crate.mdl";
    templates.stageObjects.push_back(crate);
    CStage stage(definition);
    stage.SetModels(&floor, &walls);
    ASSERT_EQ(stage.Create(0), 1);
    ASSERT_EQ(stage.CreateStageObjects(&templates, nullptr, 0, 0, 0), 1u);

    const float* extent = stage.GetExtent();
    EXPECT_EQ(extent[0], -30.0f);
    EXPECT_EQ(extent[4], 40.0f);
    ASSERT_EQ(stage.GetStartPoints().size(), 2u);
    EXPECT_EQ(stage.GetStartPoints()[1].rotation.y, 90.0f);
    ASSERT_EQ(stage.GetStageObjectList().size(), 1u);

    ClearTo(BACKGROUND);
    stage.Render(reinterpret_cast<uintptr_t>(list.get()));
    EXPECT_TRUE(Near(At(CkvrVector3(0, 0.45f, -0.05f)), RED));
    EXPECT_TRUE(Near(At(CkvrVector3(-1.5f, 0.8f, 0)), BLUE));
    // The query names the reticle uses.
    CkvrVector3 point, normal;
    EXPECT_EQ(stage.IntersectGroundModel(CkvrVector3(0, 5, 0), CkvrVector3(0, -5, 0), &point, &normal), 1u);
    EXPECT_EQ(stage.IntersectHitModelNearest(CkvrVector3(0, 1, 0), CkvrVector3(20, 1, 0), &point, &normal), 1u);
    EXPECT_EQ(stage.IntersectStageObjects(CkvrVector3(-5, 0.5f, 0), CkvrVector3(0, 0.5f, 0), &point, &normal), 1u);

    ASSERT_EQ(stage.DamageBox(stage.GetStageObjectList()[0].box, 10), 1u);
    ClearTo(BACKGROUND);
    stage.Render(0);
    EXPECT_TRUE(Near(At(CkvrVector3(-1.5f, 0.8f, 0)), BACKGROUND)) << "broken objects are not drawn";
    EXPECT_TRUE(Near(At(CkvrVector3(0, 0.45f, -0.05f)), RED));
}

TEST_F(Presentation, DrawingLeavesTheSimulationAsItWas)
{
    // The same battle with and without models: every frame hashes the same.
    std::vector<uint64_t> runs[2];
    for (int withModels = 0; withModels < 2; ++withModels)
    {
        SeedRandom(7);
        arena::Battle battle;
        for (CCharacterDefinition& definition : battle.definitions)
        {
            if (withModels != 0)
                definition = ArmFighter(definition.number);
        }
        battle.Add(3, CkvrVector3(-4, 0, 0));
        battle.Add(3, CkvrVector3(4, 0, 0));
        for (int frame = 0; frame < 400; ++frame)
        {
            battle.Step(frame % 7 == 0 ? 33 : 16);
            if (withModels != 0)
            {
                Draw({battle.pointers[0], battle.pointers[1]});
                BeginShadows();
                for (CCharacter* fighter : battle.pointers)
                {
                    fighter->SetShadowTexture(ShadowTexture());
                    fighter->DrawShadow(&battle.world);
                }
                LookFromFront();
            }
            runs[withModels].push_back(battle.Hash());
        }
        if (withModels != 0)
        {
            ASSERT_NE(battle.pointers[0]->GetModel(), nullptr);
        }
    }
    ASSERT_EQ(runs[0].size(), runs[1].size());
    for (size_t i = 0; i < runs[0].size(); ++i)
        ASSERT_EQ(runs[0][i], runs[1][i]) << "frame " << i;
}

TEST(CharacterTables, CopyToGivesTheTargetItsOwnCopyOfTheDefinition)
{
    auto source = std::make_unique<CCharacterDefinition>(arena::Fighter(3));
    std::strcpy(source->defaultWeapons[0], "Sword");
    std::strcpy(source->defaultClothes[5], "Coat");
    source->life = 321;
    source->model = "Arm.mdl";
    CCharacter templateFighter(source.get());
    CCharacterDefinition other = arena::Fighter(6);
    CCharacter target(&other);
    CCharacter::CopyTo(&templateFighter, &target);
    ASSERT_NE(target.GetDefinition(), source.get());
    ASSERT_NE(target.GetDefinition(), &other);
    source.reset();
    const CCharacterDefinition* copy = target.GetDefinition();
    EXPECT_STREQ(copy->name, "Fighter3");
    EXPECT_EQ(copy->number, 3);
    EXPECT_EQ(copy->ownBit, 8u);
    EXPECT_EQ(copy->life, 321);
    EXPECT_STREQ(copy->defaultWeapons[0], "Sword");
    EXPECT_STREQ(copy->defaultClothes[5], "Coat");
    EXPECT_EQ(copy->model, "Arm.mdl");
    EXPECT_STREQ(other.name, "Fighter6") << "the target's old definition is not written";
    // Null ends do nothing.
    CCharacter::CopyTo(nullptr, &target);
    CCharacter::CopyTo(&target, nullptr);
    EXPECT_EQ(target.GetDefinition(), copy);
}

TEST(CharacterTables, TheRadioTableIsTwelveRecordsOfThirtyFiveBytes)
{
    CCharacterDefinition definition = arena::Fighter(0);
    for (uint32_t i = 0; i < CCharacterDefinition::kRadioChats; ++i)
    {
        definition.radio[i].scope = static_cast<uint8_t>(i & 1);
        std::snprintf(definition.radio[i].text, sizeof(definition.radio[i].text), "Line %u", i);
        definition.radio[i].phrase = static_cast<uint8_t>(0x38 + i);
    }
    // A template, never created, answers too.
    CCharacter fighter(&definition);
    const tag_TOLQRADIOCHAT* table = fighter.GetRadioChatTable();
    ASSERT_NE(table, nullptr);
    uint8_t bytes[420];
    std::memcpy(bytes, table, sizeof(bytes));
    for (uint32_t i = 0; i < 12; ++i)
    {
        const uint8_t* record = bytes + 35 * i;
        EXPECT_EQ(record[0], i & 1);
        char expected[33] = {};
        std::snprintf(expected, sizeof(expected), "Line %u", i);
        EXPECT_EQ(std::memcmp(record + 1, expected, 33), 0) << "record " << i;
        EXPECT_EQ(record[34], 0x38 + i);
    }
    CCharacter none(nullptr);
    EXPECT_EQ(none.GetRadioChatTable(), nullptr);
}

TEST(CharacterTables, TheSelectedWeaponIsTheOneUnderTheCursor)
{
    CCharacterDefinition definition = arena::Fighter(0);
    CWeaponDefinition sword = arena::Sword();
    CCharacter fighter(&definition);
    ASSERT_EQ(fighter.Create(0), 1);
    ASSERT_EQ(fighter.SetWeaponAt(&sword, 4, 0), 1u);
    fighter.GetActionData()->cursorSlot = 4;
    EXPECT_EQ(fighter.GetSelectedWeapon(), fighter.GetWeapon(4));
    EXPECT_NE(fighter.GetSelectedWeapon(), nullptr);
    fighter.GetActionData()->cursorSlot = 3;
    EXPECT_EQ(fighter.GetSelectedWeapon(), nullptr);
    fighter.GetActionData()->cursorSlot = 10;
    EXPECT_EQ(fighter.GetSelectedWeapon(), nullptr);
}
}
