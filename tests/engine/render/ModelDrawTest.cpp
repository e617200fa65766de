#include "ModelSamples.h"
#include "RenderTestDevice.h"
#include "tests/support/TestColours.h"

#include "engine/render/CAnimationController.h"
#include "engine/render/CCamera.h"
#include "engine/render/CXMesh.h"
#include "engine/render/ModelDeviceBuffers.h"

#include <cmath>
#include <fstream>

namespace
{
const uint32_t DARK_GREEN = 0xFF00C000;
const uint32_t BACKGROUND = 0xFF202020;

bool Near(uint32_t a, uint32_t b, int tolerance = 3)
{
    return ModelSamples::NearColour(a, b, tolerance);
}

class ModelDrawTest : public RenderTest
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
        effect = CGraphics::GetDefaultShader();
        ASSERT_NE(effect, nullptr);
        const float lightDir[4] = {0.0f, 0.0f, 1.0f, 0.0f};
        const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        effect->SetVector("g_LightDir", lightDir);
        effect->SetVector("g_LightDiffuse", white);
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
    CShader* effect = nullptr;
};

// The six faces of a cube of half-size 1, four vertices each, facing out.
CModelObject* Cube()
{
    CModelObject* object = new CModelObject();
    object->SetName("Cube");
    CModelVertexList* vertices = object->GetVertexList();
    vertices->format = KVRVERTEX_POSITION | KVRVERTEX_NORMAL | KVRVERTEX_TEXCOORD0;
    const float faces[6][3][3] = {
        {{0, 0, -1}, {1, 0, 0}, {0, -1, 0}}, {{0, 0, 1}, {-1, 0, 0}, {0, -1, 0}}, {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
        {{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}}, {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}},
    };
    std::vector<uint32_t> indices;
    for (int f = 0; f < 6; ++f)
    {
        const CkvrVector3 n(faces[f][0][0], faces[f][0][1], faces[f][0][2]);
        const CkvrVector3 u(faces[f][1][0], faces[f][1][1], faces[f][1][2]);
        const CkvrVector3 v(faces[f][2][0], faces[f][2][1], faces[f][2][2]);
        const uint32_t base = vertices->GetCount();
        for (int corner = 0; corner < 4; ++corner)
        {
            const float su = (corner == 1 || corner == 2) ? 1.0f : -1.0f;
            const float sv = corner >= 2 ? 1.0f : -1.0f;
            tag_KVRMODELVERTEX vertex = {};
            vertex.position = n + u * su + v * sv;
            vertex.normal = n;
            vertex.uv[0][0] = (su + 1.0f) * 0.5f;
            vertex.uv[0][1] = (sv + 1.0f) * 0.5f;
            vertex.color.Set(1, 1, 1, 1);
            vertices->Add(vertex);
        }
        indices.insert(indices.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    }
    object->GetIndexSet()->indices.SetArray(indices.data(), uint32_t(indices.size()));
    const tag_KVRMODELINDEXOFFSET range = {0, uint32_t(indices.size())};
    object->GetIndexSet()->ranges.Add(range);
    tag_KVRMODELMATERIAL material = ModelSamples::Material("Face", "cube.png", nullptr);
    material.diffuse.Set(1, 1, 1, 1);
    material.ambient.Set(0, 0, 0, 1);
    object->GetMaterials()->Add(material);
    return object;
}

TEST_F(ModelDrawTest, ATexturedLitCubeShowsItsTexelsThroughTheCamera)
{
    // A 2x2 texture: red, green above blue, white (not the pure green that
    // images use as their transparent colour).
    CTexture* texture = new CTexture();
    const std::vector<uint32_t> texels = {RED, DARK_GREEN, BLUE, WHITE};
    const std::vector<uint8_t> png = MakePng(texels, 2, 2);
    ASSERT_EQ(texture->CreateFromMemory(png.data(), "cube.png", uint32_t(png.size())), 1);
    CResourceList<CTexture*> shared;
    shared.Add(texture);

    CMesh source;
    source.GetObjectList()->Add(Cube());
    const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&source);
    CMesh mesh;
    ASSERT_EQ(mesh.LoadFromPack(bytes.data(), "Cube.mdl", uint32_t(bytes.size()), &shared, nullptr), 1u);
    EXPECT_STREQ(mesh.GetName(), "Cube.mdl");

    CkvrMatrix world;
    ASSERT_EQ(mesh.DrawObjects(&world), 1u);
    // The face at z = -1 looks at the camera; each quarter shows a texel.
    const uint32_t corners[4] = {
        At(CkvrVector3(-0.5f, -0.5f, -1.0f)), At(CkvrVector3(0.5f, -0.5f, -1.0f)),
        At(CkvrVector3(-0.5f, 0.5f, -1.0f)), At(CkvrVector3(0.5f, 0.5f, -1.0f))};
    std::vector<uint32_t> seen(corners, corners + 4);
    for (uint32_t colour : texels)
    {
        bool found = false;
        for (uint32_t pixel : seen)
            found = found || Near(pixel, colour, 6);
        EXPECT_TRUE(found) << std::hex << colour;
    }
    EXPECT_TRUE(Near(Pixel(2, 2), BACKGROUND));
    EXPECT_TRUE(Near(Pixel(SIZE - 3, SIZE / 2), BACKGROUND));

    // Half the light: every texel at half brightness.
    const float half[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    effect->SetVector("g_LightDiffuse", half);
    ClearTo(BACKGROUND);
    ASSERT_EQ(mesh.DrawObjects(&world), 1u);
    bool halfWhite = false;
    for (const CkvrVector3& p : {CkvrVector3(-0.5f, -0.5f, -1.0f), CkvrVector3(0.5f, -0.5f, -1.0f),
                                 CkvrVector3(-0.5f, 0.5f, -1.0f), CkvrVector3(0.5f, 0.5f, -1.0f)})
        halfWhite = halfWhite || Near(At(p), 0xFF808080, 4);
    EXPECT_TRUE(halfWhite);

    // Moved off to the side by the world matrix.
    ClearTo(BACKGROUND);
    CkvrMatrix moved;
    moved.m[12] = 10.0f;
    ASSERT_EQ(mesh.DrawObjects(&moved), 1u);
    EXPECT_TRUE(Near(At(CkvrVector3(0, 0, -1)), BACKGROUND));

    mesh.Release();
    delete texture;
}

// A bar from y = 0 to 2: the lower half weighted to "Lower", the upper half
// to "Upper", which a one-key animation turns a quarter about z at y = 1.
void FillBar(CMesh* mesh)
{
    CModelObject* bar = new CModelObject();
    bar->SetName("Bar");
    CModelVertexList* vertices = bar->GetVertexList();
    vertices->format = KVRVERTEX_POSITION | KVRVERTEX_NORMAL | KVRVERTEX_COLOR;
    const float rows[4] = {0.0f, 1.0f, 1.0f, 2.0f};
    for (int r = 0; r < 4; ++r)
    {
        for (float x : {-0.15f, 0.15f})
        {
            tag_KVRMODELVERTEX v = {};
            v.position.Set(x, rows[r], 0.0f);
            v.normal.Set(0, 0, -1);
            v.color.Set(0, 1, 0, 1);
            vertices->Add(v);
        }
    }
    const uint32_t indices[12] = {0, 1, 3, 0, 3, 2, 4, 5, 7, 4, 7, 6};
    bar->GetIndexSet()->indices.SetArray(indices, 12);
    const tag_KVRMODELINDEXOFFSET range = {0, 12};
    bar->GetIndexSet()->ranges.Add(range);
    tag_KVRMODELMATERIAL material = ModelSamples::Material("Green", nullptr, nullptr);
    material.diffuse.Set(0, 0, 0, 1);
    material.ambient.Set(0, 0, 0, 1);
    material.emissive.Set(0, 1, 0, 1);
    bar->GetMaterials()->Add(material);
    mesh->GetObjectList()->Add(bar);

    CModelBone* lower = ModelSamples::AddBone(mesh, "Lower", nullptr);
    CModelBone* root = mesh->GetBoneList()->GetItem(0);
    lower->SetParent(root);
    root->GetChildren()->Add(lower);
    CModelBone* upper = ModelSamples::AddBone(mesh, "Upper", lower);
    upper->GetLocalMatrix()->m[13] = 1.0f;
    upper->GetOffsetMatrix()->m[13] = -1.0f;
    for (uint32_t i = 0; i < 4; ++i)
        ModelSamples::AddWeight(mesh, lower, 0, i, 1.0f);
    for (uint32_t i = 4; i < 8; ++i)
        ModelSamples::AddWeight(mesh, upper, 0, i, 1.0f);

    CModelAnimation* animation = new CModelAnimation();
    animation->SetName("Bend");
    tag_KVRBONEANIMATION track = {};
    track.bone = upper;
    track.boneName = upper->GetName();
    track.rotation = new CKeyFrameList<CkvrQuaternion>();
    track.rotation->SetName("Rotation");
    track.rotation->SetCount(1);
    const float s = std::sqrt(0.5f);
    *track.rotation->GetAt(0) = {0.0f, 0.0f, CkvrQuaternion(0, 0, s, s)};
    animation->GetBoneAnimationList()->Add(track);
    mesh->GetAnimationList()->Add(animation);
}

class SkinnedDrawTest : public ModelDrawTest
{
protected:
    // extraBones more bones that move nothing.
    void Load(uint32_t extraBones = 0)
    {
        CMesh source;
        FillBar(&source);
        for (uint32_t i = 0; i < extraBones; ++i)
            ModelSamples::AddBone(&source, ("Extra" + std::to_string(i)).c_str(), nullptr);
        const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&source);
        ASSERT_EQ(mesh.LoadFromPack(bytes.data(), "Bar.mdl", uint32_t(bytes.size()), nullptr, nullptr), 1u);
        ASSERT_NE(mesh.GetAnimationController(), nullptr);
    }

    // Where the tip of the upper half went: through the palette.
    CkvrVector3 Bent(const CkvrVector3& p)
    {
        return p.GetTransform(mesh.GetAnimationController()->GetBoneMatrices()[2]);
    }

    void ExpectBent()
    {
        const CkvrVector3 tip = Bent(CkvrVector3(0, 1.9f, 0));
        EXPECT_GT(std::fabs(tip.x), 0.5f) << "the upper half turned sideways";
        EXPECT_NEAR(tip.y, 1.0f, 0.2f);
        EXPECT_TRUE(Near(At(CkvrVector3(0, 0.5f, 0)), GREEN)) << std::hex << At(CkvrVector3(0, 0.5f, 0));
        EXPECT_TRUE(Near(At(tip), GREEN)) << std::hex << At(tip);
        EXPECT_TRUE(Near(At(CkvrVector3(0, 1.8f, 0)), BACKGROUND)) << "nothing left upright";
    }

    CMesh mesh;
};

TEST_F(SkinnedDrawTest, TheEffectSkinsTheSecondBoneRotated)
{
    Load();
    CkvrMatrix world;
    ASSERT_EQ(mesh.DrawAnimated(&world, 0.0f, 0), 1u);
    ExpectBent();
}

TEST_F(SkinnedDrawTest, WithoutEffectTheProcessorSkins)
{
    Load();
    CAnimationController* controller = mesh.GetAnimationController();
    ASSERT_EQ(controller->Play(0, 0.0f, 1, 0), 1u);
    CkvrMatrix world;
    controller->UpdatePose(&world);
    graphics.SetLighting(0);
    // A world transform left by an earlier draw does not move skinned
    // vertices a second time.
    CkvrMatrix moved;
    moved.m[12] = 10.0f;
    graphics.SetWorldTransform(&moved);
    CModelObject* bar = mesh.GetObjectList()->GetItem(0);
    ASSERT_EQ(bar->Draw(&world, nullptr, controller, nullptr), 1u);
    ExpectBent();
}

TEST_F(SkinnedDrawTest, TheBindPoseDrawsTheBarUpright)
{
    Load();
    CkvrMatrix world;
    // No animation played: the bones keep their file matrices.
    CAnimationController* own = mesh.CreateAnimationController();
    own->UpdatePose(&world);
    ASSERT_EQ(mesh.DrawSkinned(&world, nullptr, own), 1u);
    EXPECT_TRUE(Near(At(CkvrVector3(0, 1.8f, 0)), GREEN));
    EXPECT_TRUE(Near(At(CkvrVector3(0, 0.2f, 0)), GREEN));
    own->Release();
}
}

namespace
{
TEST_F(SkinnedDrawTest, ANewMeshDrawsAfterTheOldOneIsGone)
{
    Load();
    CkvrMatrix world;
    ASSERT_EQ(mesh.DrawAnimated(&world, 0.0f, 0), 1u);
    // The second load's buffers and declaration may reuse the addresses of
    // the first's: the graphics object must bind them again all the same.
    mesh.Release();
    ClearTo(BACKGROUND);
    Load();
    ASSERT_EQ(mesh.DrawAnimated(&world, 0.0f, 0), 1u);
    ExpectBent();
}

TEST_F(SkinnedDrawTest, BoneIndicesPastThePaletteMoveNothing)
{
    Load();
    CModelObject* bar = mesh.GetObjectList()->GetItem(0);
    tag_KVRMODELVERTEX* v = bar->GetVertexList()->GetAt(0);
    v->influences = 2;
    v->boneIndex[1] = 200;
    v->boneWeight[1] = 1.0f;
    CAnimationController* controller = mesh.GetAnimationController();
    CkvrMatrix world;
    controller->UpdatePose(&world);
    EXPECT_EQ(bar->SkinVertices(controller), 1u);
}

// An untextured material of alpha 1 draws with blending and the alpha
// test off (they would change nothing), and leaves both as it found them;
// one made translucent by the draw's colour still blends.
TEST_F(SkinnedDrawTest, OpaqueMaterialsDrawAsBlendedOnesWouldAndLeaveTheStates)
{
    Load();
    graphics.SetBlendMode(1);
    device->SetRenderState(RS_ALPHATESTENABLE, 1);
    CkvrMatrix world;
    ASSERT_EQ(mesh.DrawStatic(&world, nullptr), 1u);
    EXPECT_TRUE(Near(At(CkvrVector3(0, 0.5f, 0)), GREEN)) << std::hex << At(CkvrVector3(0, 0.5f, 0));
    EXPECT_EQ(device->GetRenderState(RS_ALPHABLENDENABLE), 1u);
    EXPECT_EQ(device->GetRenderState(RS_ALPHATESTENABLE), 1u);
    EXPECT_EQ(graphics.GetStateCache()->blendMode, 1u);

    ClearTo(BACKGROUND);
    const CkvrVector4 half(1.0f, 1.0f, 1.0f, 0.5f);
    ASSERT_EQ(mesh.DrawStatic(&world, &half), 1u);
    EXPECT_TRUE(Near(At(CkvrVector3(0, 0.5f, 0)), 0xFF109010)) << std::hex << At(CkvrVector3(0, 0.5f, 0));
    EXPECT_EQ(device->GetRenderState(RS_ALPHABLENDENABLE), 1u);
    device->SetRenderState(RS_ALPHATESTENABLE, 0);
    graphics.SetBlendMode(0);
}

TEST_F(ModelDrawTest, IndicesPastSixteenBitsUseWideIndexBuffers)
{
    CList<uint32_t> small;
    const uint32_t narrow[3] = {0, 1, 65535};
    small.SetArray(narrow, 3);
    ModelBufferHandle buffer = ModelDeviceBuffers::CreateIndexBuffer(&graphics, small);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->GetIndexSize(), 2u);
    CList<uint32_t> large;
    const uint32_t wide[3] = {0, 1, 70000};
    large.SetArray(wide, 3);
    buffer = ModelDeviceBuffers::CreateIndexBuffer(&graphics, large);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->GetIndexSize(), 4u);
}
}

namespace
{
// Up to 75 bones the effect skins on the device; from 76 the processor
// skins into the vertex buffer, which a later unskinned draw then shows.
TEST_F(SkinnedDrawTest, SeventySixBonesSkinOnTheProcessor)
{
    for (uint32_t bones : {75u, 76u})
    {
        Load(bones - 3);
        ASSERT_EQ(mesh.GetBoneList()->GetCount(), bones);
        CkvrMatrix world;
        ASSERT_EQ(mesh.DrawAnimated(&world, 0.0f, 0), 1u);
        graphics.SetLighting(0);
        ClearTo(BACKGROUND);
        ASSERT_EQ(mesh.GetObjectList()->GetItem(0)->Draw(&world, nullptr, nullptr, nullptr), 1u);
        const bool upright = Near(At(CkvrVector3(0, 1.8f, 0)), GREEN);
        EXPECT_EQ(upright, bones == 75u) << bones;
        graphics.SetLighting(1);
        mesh.Release();
        ClearTo(BACKGROUND);
    }
}
}

namespace
{
TEST_F(ModelDrawTest, AnXMeshDrawsItsSubsets)
{
    const std::string path = ::testing::TempDir() + "quad_subsets.x";
    std::ofstream(path, std::ios::binary)
        << "xof 0303txt 0032\nMesh Quad { 6; -1;-1;0;, 0;-1;0;, 0;1;0;, -1;1;0;, 1;-1;0;, 1;1;0;;\n"
           "2; 4;0,3,2,1;, 4;1,2,5,4;;\n"
           "MeshMaterialList { 2; 2; 0,1;; Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; }\n"
           "Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; TextureFilename { \"no_such_image.png\"; } } } }\n";
    CXMesh xmesh;
    ASSERT_EQ(xmesh.LoadFromFile(path.c_str()), 1u);
    std::remove(path.c_str());
    EXPECT_EQ(xmesh.GetSubsetCount(), 2u);
    graphics.SetLighting(0);
    CkvrMatrix world;
    ASSERT_EQ(xmesh.DrawSubset(&world, 1), 1u);
    EXPECT_TRUE(Near(At(CkvrVector3(0.5f, 0, 0)), WHITE)) << std::hex << At(CkvrVector3(0.5f, 0, 0));
    EXPECT_TRUE(Near(At(CkvrVector3(-0.5f, 0, 0)), BACKGROUND));
    ASSERT_EQ(xmesh.Draw(&world), 1u);
    EXPECT_TRUE(Near(At(CkvrVector3(-0.5f, 0, 0)), WHITE));
    EXPECT_EQ(xmesh.DrawSubset(&world, 2), 0u);
    graphics.SetLighting(1);
}
}
