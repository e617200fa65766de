// Weapons and bullets drawn on the offscreen device: each shows its model
// where the simulation puts it, and nothing without a model.
#include "tests/engine/render/ModelSamples.h"
#include "tests/engine/render/RenderTestDevice.h"

#include "engine/render/CCamera.h"
#include "engine/render/CRenderList.h"
#include "engine/resource/CResourceController.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CBulletDefinition.h"
#include "game/actor/CBulletMemoryList.h"
#include "game/actor/CCollisionWorld.h"
#include "game/actor/CWeapon.h"
#include "game/actor/CWeaponDefinition.h"

#include <cstdlib>
#include <cstring>

namespace
{
const uint32_t BACKGROUND = 0xFF202020;

// A square of half-size 0.4 in the xy plane at model depth z, facing -z,
// lit white.
CModelObject* Square(float z)
{
    CModelObject* object = new CModelObject();
    object->SetName("Square");
    CModelVertexList* vertices = object->GetVertexList();
    vertices->format = KVRVERTEX_POSITION | KVRVERTEX_NORMAL;
    const float corners[4][2] = {{-0.4f, -0.4f}, {0.4f, -0.4f}, {0.4f, 0.4f}, {-0.4f, 0.4f}};
    for (const auto& corner : corners)
    {
        tag_KVRMODELVERTEX vertex = {};
        vertex.position.Set(corner[0], corner[1], z);
        vertex.normal.Set(0.0f, 0.0f, -1.0f);
        vertex.color.Set(1, 1, 1, 1);
        vertices->Add(vertex);
    }
    const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
    object->GetIndexSet()->indices.SetArray(indices, 6);
    const tag_KVRMODELINDEXOFFSET range = {0, 6};
    object->GetIndexSet()->ranges.Add(range);
    tag_KVRMODELMATERIAL material = ModelSamples::Material("White", nullptr, nullptr);
    material.diffuse.Set(1, 1, 1, 1);
    material.ambient.Set(0, 0, 0, 1);
    object->GetMaterials()->Add(material);
    return object;
}

// A loaded mesh of one square, named as a definition names its model.
CMesh* SquareMesh(const char* name, float z)
{
    CMesh source;
    source.GetObjectList()->Add(Square(z));
    const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&source);
    CMesh* mesh = new CMesh();
    if (bytes.empty() || mesh->LoadFromPack(bytes.data(), name, uint32_t(bytes.size()), nullptr, nullptr) != 1)
    {
        delete mesh;
        return nullptr;
    }
    return mesh;
}

class WeaponDrawTest : public RenderTest
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
        const float lightDir[4] = {0.0f, 0.0f, 1.0f, 0.0f};
        const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        effect->SetVector("g_LightDir", lightDir);
        effect->SetVector("g_LightDiffuse", white);
        effect->SetVector("g_WorldAmbient", black);
        CMesh* blade = SquareMesh("Blade.mdl", 0.0f);
        CMesh* bolt = SquareMesh("Bolt.mdl", 1.5f); // ahead of the bullet along its flight
        ASSERT_NE(blade, nullptr);
        ASSERT_NE(bolt, nullptr);
        controller.GetMeshList().Add(blade);
        controller.GetMeshList().Add(bolt);
        CActorResources::Install(&controller);
    }

    void TearDown() override
    {
        CActorResources::Install(nullptr);
        controller.Release();
        graphics.SetCamera(nullptr);
        RenderTest::TearDown();
    }

    // Something drawn there: lit white, or black where the light meets
    // the back of a square, never the background's grey.
    bool DrawnAt(const CkvrVector3& p)
    {
        float x = 0.0f, y = 0.0f, depth = 0.0f;
        const float point[3] = {p.x, p.y, p.z};
        camera.WorldToScreen(point, &x, &y, &depth);
        const int32_t green = int32_t((Pixel(int32_t(x), int32_t(y)) >> 8) & 0xFF);
        return std::abs(green - 0x20) > 0x10;
    }

    bool NothingDrawn()
    {
        for (int32_t y = 0; y < int32_t(SIZE); y += 4)
        {
            for (int32_t x = 0; x < int32_t(SIZE); x += 4)
            {
                if ((Pixel(x, y) & 0x00FFFFFF) != (BACKGROUND & 0x00FFFFFF))
                    return false;
            }
        }
        return true;
    }

    CCamera camera;
    CResourceController controller;
};

CWeaponDefinition Definition(const char* model)
{
    CWeaponDefinition definition;
    std::strcpy(definition.name, "Blade");
    definition.type = 0;
    definition.model = model;
    return definition;
}
}

TEST_F(WeaponDrawTest, AHeldWeaponDrawsAtItsOwnersHandTurnedByTheYaw)
{
    const CWeaponDefinition definition = Definition("Blade.mdl");
    std::unique_ptr<CWeapon> weapon = CWeapon::Make(&definition);
    weapon->held = true;
    const CkvrVector3 hand(0.9f, 1.2f, 0.0f);
    weapon->SetHolder(CkvrVector3(0.0f, -1.2f, 0.0f), 0.0f, hand, nullptr);
    ASSERT_EQ(weapon->Render(0), 1);
    EXPECT_TRUE(DrawnAt(CkvrVector3(0.9f, 0.0f, 0.0f)));
    EXPECT_FALSE(DrawnAt(CkvrVector3(-0.9f, 0.0f, 0.0f)));
    // Turned half round, the right hand is on the left.
    ClearTo(BACKGROUND);
    weapon->SetHolder(CkvrVector3(0.0f, -1.2f, 0.0f), 180.0f, hand, nullptr);
    ASSERT_EQ(weapon->Render(0), 1);
    EXPECT_TRUE(DrawnAt(CkvrVector3(-0.9f, 0.0f, 0.0f)));
    EXPECT_FALSE(DrawnAt(CkvrVector3(0.9f, 0.0f, 0.0f)));
    // Lying on the field: where it lies, or on the ground in the shadow
    // pass, which leaves its position alone.
    ClearTo(BACKGROUND);
    weapon->held = false;
    const CkvrVector3 lying(0.0f, 2.0f, 0.0f);
    weapon->SetPosition(&lying);
    CCollisionWorld stage;
    stage.AddGroundQuad(CkvrVector3(-5, -1, -5), CkvrVector3(-5, -1, 5), CkvrVector3(5, -1, 5), CkvrVector3(5, -1, -5));
    ASSERT_EQ(weapon->DropToGround(&stage), 1u);
    EXPECT_TRUE(DrawnAt(CkvrVector3(0.0f, -1.0f, 0.0f)));
    EXPECT_FALSE(DrawnAt(lying));
    EXPECT_EQ(weapon->GetPosition()->y, 2.0f);
    ASSERT_EQ(weapon->Render(0), 1);
    EXPECT_TRUE(DrawnAt(lying));
    weapon->held = true;
    EXPECT_EQ(weapon->DropToGround(&stage), 0u) << "a held weapon has no ground shadow";
}

TEST_F(WeaponDrawTest, AnUnresolvedModelDrawsNothing)
{
    const CWeaponDefinition missing = Definition("Missing.mdl");
    std::unique_ptr<CWeapon> weapon = CWeapon::Make(&missing);
    weapon->held = true;
    weapon->SetHolder(CkvrVector3(), 0.0f, CkvrVector3(), nullptr);
    EXPECT_EQ(weapon->Render(0), 0);
    CBulletDefinition ghost;
    ghost.model = "Missing.mdl";
    CBulletMemoryList pool;
    const float extent[6] = {-100, -100, -100, 100, 100, 100};
    pool.Spawn()->Setup(&ghost, 0, 0, 1, CkvrVector3(), CkvrVector3(0, 0, 10), extent);
    CRenderList list("Bullets", 16, &graphics);
    list.Clear();
    pool.RenderAll(&list);
    EXPECT_EQ(list.GetQueuedCount(), 1u);
    list.Draw();
    EXPECT_TRUE(NothingDrawn());
    // A model found, then released: the next draw finds it again.
    const CWeaponDefinition blade = Definition("Blade.mdl");
    std::unique_ptr<CWeapon> found = CWeapon::Make(&blade);
    found->held = true;
    found->SetHolder(CkvrVector3(), 0.0f, CkvrVector3(), nullptr);
    EXPECT_EQ(found->Render(0), 1);
    found->ReleaseRuntime();
    CActorResources::Install(nullptr);
    EXPECT_EQ(found->Render(0), 0);
}

TEST_F(WeaponDrawTest, LiveBulletsDrawInTheRenderListFacingTheirFlight)
{
    CBulletDefinition bolt;
    bolt.model = "Bolt.mdl";
    CBulletMemoryList pool;
    const float extent[6] = {-100, -100, -100, 100, 100, 100};
    // Flying away from the camera: the square 1.5 ahead, straight on.
    pool.Spawn()->Setup(&bolt, 0, 0, 1, CkvrVector3(-1.0f, 0.0f, 0.0f), CkvrVector3(0, 0, 10), extent);
    CRenderList list("Bullets", 16, &graphics);
    list.SetDrawLimit(16);
    list.Clear();
    pool.RenderAll(&list);
    ASSERT_EQ(list.GetQueuedCount(), 1u);
    list.Draw();
    EXPECT_TRUE(DrawnAt(CkvrVector3(-1.0f, 0.0f, 1.5f)));
    EXPECT_FALSE(DrawnAt(CkvrVector3(1.0f, 0.0f, 1.5f)));
    // A second bullet flying at 45 degrees to the right: its square turns
    // to the right of where it is.
    ClearTo(BACKGROUND);
    CBullet* second = pool.Spawn();
    second->Setup(&bolt, 0, 0, 1, CkvrVector3(1.0f, 0.0f, 0.0f), CkvrVector3(10, 0, 10), extent);
    list.Clear();
    pool.RenderAll(&list);
    ASSERT_EQ(list.GetQueuedCount(), 2u);
    EXPECT_EQ(list.GetQueued(0), pool.GetHead()) << "chain order";
    EXPECT_EQ(list.GetQueued(1), second);
    list.Draw();
    const float side = 1.5f * 0.70710678f;
    EXPECT_TRUE(DrawnAt(CkvrVector3(1.0f + side, 0.0f, side)));
    EXPECT_TRUE(DrawnAt(CkvrVector3(-1.0f, 0.0f, 1.5f)));
    EXPECT_FALSE(DrawnAt(CkvrVector3(1.0f - side, 0.0f, side)));
}
