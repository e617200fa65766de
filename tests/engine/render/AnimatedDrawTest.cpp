#include "ModelSamples.h"
#include "RenderTestDevice.h"
#include "tests/support/TestColours.h"

#include "engine/render/CAnimationController.h"
#include "engine/render/CCamera.h"

#include <cmath>
#include <string>

namespace
{
const uint32_t BACKGROUND = 0xFF202020;

bool Near(uint32_t a, uint32_t b, int tolerance = 3)
{
    return ModelSamples::NearColour(a, b, tolerance);
}

using ModelSamples::Glowing;

// An arm from y = 0 to 2: the upper arm (y 0..1) on "Shoulder", the
// forearm (y 1..2) on "Elbow", which bends a quarter turn over one second.
// extraBones idle bones come between the two, so that the elbow takes the
// palette slot 2 + extraBones.
void FillArm(CMesh* mesh, uint32_t extraBones = 0)
{
    CModelObject* arm = new CModelObject();
    arm->SetName("Arm");
    CModelVertexList* vertices = arm->GetVertexList();
    vertices->format = KVRVERTEX_POSITION | KVRVERTEX_NORMAL | KVRVERTEX_COLOR;
    const float rows[4] = {0.0f, 1.0f, 1.0f, 2.0f};
    for (float y : rows)
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
    const uint32_t indices[12] = {0, 1, 3, 0, 3, 2, 4, 5, 7, 4, 7, 6};
    arm->GetIndexSet()->indices.SetArray(indices, 12);
    const tag_KVRMODELINDEXOFFSET range = {0, 12};
    arm->GetIndexSet()->ranges.Add(range);
    arm->GetMaterials()->Add(Glowing(0, 1, 0));
    mesh->GetObjectList()->Add(arm);

    CModelBone* shoulder = ModelSamples::AddBone(mesh, "Shoulder", nullptr);
    CModelBone* root = mesh->GetBoneList()->GetItem(0);
    shoulder->SetParent(root);
    root->GetChildren()->Add(shoulder);
    for (uint32_t i = 0; i < extraBones; ++i)
        ModelSamples::AddBone(mesh, ("Idle" + std::to_string(i)).c_str(), nullptr);
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

class AnimatedDrawTest : public RenderTest
{
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        const float eye[3] = {0.0f, 0.0f, -5.0f};
        const float target[3] = {0.0f, 0.0f, 0.0f};
        const float up[3] = {0.0f, 1.0f, 0.0f};
        camera.SetLookAt(eye, target, up);
        camera.SetProjection(60, 1.0f, 1.0f, 100.0f);
        camera.SetViewport(0, 0, SIZE, SIZE);
        ASSERT_EQ(camera.Apply(), 1);
        graphics.Begin3D();
        graphics.SetCullMode(CULL_NONE);
        ClearTo(BACKGROUND);
        CShader* effect = CGraphics::GetDefaultShader();
        ASSERT_NE(effect, nullptr);
        const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        effect->SetVector("g_LightDiffuse", black);
        effect->SetVector("g_WorldAmbient", black);
    }

    void TearDown() override
    {
        graphics.SetCamera(nullptr);
        RenderTest::TearDown();
    }

    uint32_t At(const CkvrVector3& p)
    {
        float x = 0.0f;
        float y = 0.0f;
        float depth = 0.0f;
        const float point[3] = {p.x, p.y, p.z};
        camera.WorldToScreen(point, &x, &y, &depth);
        return Pixel(int32_t(x), int32_t(y));
    }

    CCamera camera;
};

TEST_F(AnimatedDrawTest, TheForearmBendsThroughItsKeysOverFrames)
{
    CMesh source;
    FillArm(&source);
    const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&source);
    CMesh mesh;
    ASSERT_EQ(mesh.LoadFromPack(bytes.data(), "Arm.mdl", uint32_t(bytes.size()), nullptr, nullptr), 1u);
    CAnimationController* controller = mesh.CreateAnimationController();
    ASSERT_NE(controller, nullptr);
    ASSERT_EQ(controller->Play(0, 0.0f, 0, 0), 1u);
    CkvrMatrix world;
    world.m[12] = -0.3f;
    world.m[13] = -0.8f;
    const CkvrVector3 shift(world.m[12], world.m[13], 0.0f);
    const CkvrVector3 elbow = CkvrVector3(0, 1, 0) + shift;
    const float h = std::sqrt(0.5f);
    // Where 0.7 along the forearm lies at 0, 0.5 and 1 second: upright, an
    // eighth turn and a quarter turn towards +x (the key's matrix carries
    // the local y axis to x).
    const CkvrVector3 expected[3] = {elbow + CkvrVector3(0, 0.7f, 0), elbow + CkvrVector3(h, h, 0) * 0.7f,
                                     elbow + CkvrVector3(0.7f, 0, 0)};
    // Thirty frames a second for one second.
    int checked = 0;
    for (int frame = 0; frame <= 30; ++frame)
    {
        if (frame > 0)
            controller->Update(1.0f / 30.0f);
        if (frame % 15 != 0)
            continue;
        controller->UpdatePose(&world);
        ClearTo(BACKGROUND);
        ASSERT_EQ(mesh.DrawSkinned(&world, nullptr, controller), 1u);
        const int k = frame / 15;
        EXPECT_TRUE(Near(At(expected[k]), GREEN)) << "frame " << frame << std::hex << " " << At(expected[k]);
        EXPECT_TRUE(Near(At(shift + CkvrVector3(0, 0.5f, 0)), GREEN)) << "the upper arm stays";
        for (int other = 0; other < 3; ++other)
        {
            if (other == k)
                continue;
            EXPECT_TRUE(Near(At(expected[other]), BACKGROUND)) << "frame " << frame << " pose " << other;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 3);
    controller->Release();
}

// The 75th bone, the last slot of the effect's palette, moves its vertices.
TEST_F(AnimatedDrawTest, TheLastPaletteSlotReachesTheEffect)
{
    CMesh source;
    FillArm(&source, 72);
    const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&source);
    CMesh mesh;
    ASSERT_EQ(mesh.LoadFromPack(bytes.data(), "Arm.mdl", uint32_t(bytes.size()), nullptr, nullptr), 1u);
    ASSERT_EQ(mesh.GetBoneList()->GetCount(), 75u);
    ASSERT_STREQ(mesh.GetBoneList()->GetItem(74)->GetName(), "Elbow");
    CAnimationController* controller = mesh.CreateAnimationController();
    controller->Play(0, 4800.0f, 0.0f, 0, 0);
    const CkvrMatrix world;
    controller->UpdatePose(&world);
    ASSERT_EQ(mesh.DrawSkinned(&world, nullptr, controller), 1u);
    EXPECT_TRUE(Near(At(CkvrVector3(0.7f, 1.0f, 0)), GREEN)) << std::hex << At(CkvrVector3(0.7f, 1.0f, 0));
    EXPECT_TRUE(Near(At(CkvrVector3(0, 1.7f, 0)), BACKGROUND));
    controller->Release();
}

TEST_F(AnimatedDrawTest, LowModelsDrawWithTheirObjectsMaterials)
{
    CModelObject object;
    object.GetMaterials()->Add(Glowing(0, 1, 0));
    CLowModelObject* low = new CLowModelObject();
    CModelVertexList* vertices = low->GetVertexList();
    for (const CkvrVector3& p : {CkvrVector3(-1, -1, 0), CkvrVector3(1, -1, 0), CkvrVector3(1, 1, 0), CkvrVector3(-1, 1, 0)})
    {
        tag_KVRMODELVERTEX v = ModelSamples::Vertex(p.x, p.y, p.z, 0, 0);
        v.normal.Set(0, 0, -1);
        vertices->Add(v);
    }
    const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
    low->GetIndexSet()->indices.SetArray(indices, 6);
    const tag_KVRMODELINDEXOFFSET range = {0, 6};
    low->GetIndexSet()->ranges.Add(range);
    ASSERT_EQ(object.AddLowModel(low), 1u);
    ASSERT_EQ(object.Create(), 1u);
    CkvrMatrix world;
    world.m[12] = 1.0f;
    ASSERT_EQ(low->Draw(&world, nullptr, nullptr, CGraphics::GetDefaultShader()), 1u);
    EXPECT_TRUE(Near(At(CkvrVector3(1.5f, 0.5f, 0)), GREEN));
    EXPECT_TRUE(Near(At(CkvrVector3(-0.5f, 0.5f, 0)), BACKGROUND)) << "moved by the world matrix";
    // Through the fixed-function path as well.
    ClearTo(BACKGROUND);
    graphics.SetLighting(0);
    ASSERT_EQ(low->Draw(&world, nullptr, nullptr, nullptr), 1u);
    EXPECT_FALSE(Near(At(CkvrVector3(1.5f, 0.5f, 0)), BACKGROUND));
    graphics.SetLighting(1);
    // Without materials a low model draws nothing.
    CLowModelObject bare;
    EXPECT_EQ(bare.Draw(&world, nullptr, nullptr, nullptr), 1u);
}

TEST_F(AnimatedDrawTest, CollisionSpheresAndBoneCentresDrawWherePosed)
{
    CMesh mesh;
    CModelBone* hair = ModelSamples::AddBone(&mesh, "Hair", nullptr);
    hair->GetParameters()->collisionRadius = 0.5f;
    hair->GetParameters()->sphereCentre.Set(1.0f, 0.0f, 0.0f);
    CModelBone* plain = ModelSamples::AddBone(&mesh, "Plain", nullptr);
    plain->GetParameters()->sphereCentre.Set(-1.0f, 0.0f, 0.0f);
    CModelBone* root = mesh.GetBoneList()->GetItem(0);
    for (CModelBone* bone : {hair, plain})
    {
        bone->SetParent(root);
        root->GetChildren()->Add(bone);
    }
    CAnimationController* controller = mesh.CreateAnimationController();
    CkvrMatrix world;
    world.m[13] = 0.5f;
    controller->UpdatePose(&world);
    graphics.SetLighting(0);
    const CkvrVector4 red(1, 0, 0, 1);
    EXPECT_EQ(controller->DrawCollisionSpheres(&red), 1u);
    EXPECT_TRUE(Near(At(CkvrVector3(1, 0.5f, 0)), RED)) << std::hex << At(CkvrVector3(1, 0.5f, 0));
    EXPECT_TRUE(Near(At(CkvrVector3(-1, 0.5f, 0)), BACKGROUND)) << "no collision radius, no sphere";
    ClearTo(BACKGROUND);
    EXPECT_EQ(controller->DrawBoneCentres(nullptr, 0.2f), 1u);
    EXPECT_TRUE(Near(At(CkvrVector3(-1, 0.5f, 0)), 0xFFFFFFFF));
    EXPECT_TRUE(Near(At(CkvrVector3(1, 0.5f, 0)), 0xFFFFFFFF));
    graphics.SetLighting(1);
    controller->Release();
}
}
