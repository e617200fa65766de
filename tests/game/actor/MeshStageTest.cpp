// Fighters on a stage whose ground and walls are models: the ground without
// a block grid (searched whole), the walls with one.
#include "tests/engine/render/ModelSamples.h"
#include "tests/game/actor/ArenaHarness.h"

#include <gtest/gtest.h>

namespace
{
void Quad(CModelObject* object, std::vector<uint32_t>* indices, const CkvrVector3& a, const CkvrVector3& b,
          const CkvrVector3& c, const CkvrVector3& d)
{
    CModelVertexList* vertices = object->GetVertexList();
    const uint32_t base = vertices->GetCount();
    for (const CkvrVector3& p : {a, b, c, d})
        vertices->Add(ModelSamples::Vertex(p.x, p.y, p.z, 0, 0));
    indices->insert(indices->end(), {base, base + 1, base + 2, base, base + 2, base + 3});
}

CModelObject* MakeObject(const char* name, const std::vector<std::array<CkvrVector3, 4>>& quads, bool grid)
{
    CModelObject* object = new CModelObject();
    object->SetName(name);
    std::vector<uint32_t> indices;
    for (const auto& q : quads)
        Quad(object, &indices, q[0], q[1], q[2], q[3]);
    object->GetIndexSet()->indices.SetArray(indices.data(), static_cast<uint32_t>(indices.size()));
    const tag_KVRMODELINDEXOFFSET all = {0, static_cast<uint32_t>(indices.size())};
    object->GetIndexSet()->ranges.Add(all);
    object->GetMaterials()->Add(ModelSamples::Material(name, nullptr, nullptr));
    if (grid)
        object->CreateBlocks(4, 2, 4);
    return object;
}
}

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
    player->GetState()->cameraYaw = 90.0f;
    for (int i = 0; i < 150; ++i)
        battle.Step(16, {{0, arena::Record(0, -50)}});
    EXPECT_EQ(player->GetPosition()->y, 0.0f);
    EXPECT_EQ(player->GetState()->grounded, 1u);
    EXPECT_LE(player->GetPosition()->x, 5.0f - 0.4f);
    EXPECT_GT(player->GetPosition()->x, 4.0f);
    // Past the floor's edge there is nothing: the fighter falls out.
    CkvrVector3 edge(-19.8f, 0, 0);
    player->SetPosition(&edge);
    player->GetState()->cameraYaw = 270.0f;
    for (int i = 0; i < 200; ++i)
        battle.Step(16, {{0, arena::Record(0, -50)}});
    EXPECT_EQ(player->GetState()->actionState, CCharacter::STATE_DOWN);
}
