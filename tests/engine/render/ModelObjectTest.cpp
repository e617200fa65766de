#include "ModelSamples.h"

#include "engine/render/CAnimationController.h"
#include "engine/render/CModelBlock.h"
#include "engine/render/ModelDeviceBuffers.h"

#include <gtest/gtest.h>

namespace
{
TEST(ModelObjectTest, BlocksSplitTheBoxAndTakeTouchingTriangles)
{
    std::unique_ptr<CModelObject> object(ModelSamples::GridObject("G", 4, KVRVERTEX_POSITION));
    ASSERT_EQ(object->CreateBlocks(0, 0, 0), 1u);
    ASSERT_EQ(object->GetBlocks()->GetCount(), 1u);
    CModelBlock* whole = object->GetBlocks()->GetItem(0);
    EXPECT_FLOAT_EQ(whole->GetBounds()[0].x, 0.0f);
    EXPECT_FLOAT_EQ(whole->GetBounds()[1].x, 4.0f * 1.025f);
    EXPECT_EQ(whole->GetIndexSet()->indices.GetCount(), object->GetIndexSet()->indices.GetCount());

    ASSERT_EQ(object->CreateBlocks(3, 1, 1), 1u);
    ASSERT_EQ(object->GetBlocks()->GetCount(), 3u);
    EXPECT_STREQ(object->GetBlocks()->GetItem(2)->GetName(), "Block_2");
    const KVRMODELGRID* grid = object->GetGrid();
    EXPECT_EQ(grid->counts[0], 3);
    EXPECT_FLOAT_EQ(grid->offset.x, 4.0f * 1.025f / 3.0f * 0.5f);
    EXPECT_FLOAT_EQ(grid->offset.y, 2.0f * 2.05f * 0.5f) << "one cell is an odd count too";
    // Every block keeps one range per object range, even when empty.
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(object->GetBlocks()->GetItem(i)->GetIndexSet()->ranges.GetCount(), 1u);
}

TEST(ModelObjectTest, ABlockCollectsOneRangePerObjectRange)
{
    std::unique_ptr<CModelObject> object(ModelSamples::GridObject("G", 2, KVRVERTEX_POSITION));
    KVRMODELINDEXSET* set = object->GetIndexSet();
    set->ranges.GetAt(0)->count = 12;
    const tag_KVRMODELINDEXOFFSET second = {12, 12};
    set->ranges.Add(second);
    CModelBlock block(object->GetVertexList(), set, object->GetMaterials());
    const CkvrVector3 all[2] = {CkvrVector3(-1, -1, -1), CkvrVector3(5, 5, 5)};
    ASSERT_EQ(block.Build(all), 1u);
    ASSERT_EQ(block.GetIndexSet()->ranges.GetCount(), 2u);
    EXPECT_EQ(block.GetIndexSet()->ranges.GetAt(1)->start, 12u);
    EXPECT_EQ(block.GetIndexSet()->ranges.GetAt(1)->count, 12u);
    // A box touching only the grid's corner vertex (2, 2).
    const CkvrVector3 corner[2] = {CkvrVector3(2, 2, 0), CkvrVector3(3, 3, 1)};
    ASSERT_EQ(block.Build(corner), 1u);
    EXPECT_EQ(block.GetIndexSet()->indices.GetCount(), 6u);
    EXPECT_EQ(block.Build(nullptr), 0u);
}

TEST(ModelObjectTest, RemovingABoneRenumbersInfluences)
{
    std::unique_ptr<CModelObject> object(ModelSamples::GridObject("G", 1, KVRVERTEX_POSITION));
    tag_KVRMODELVERTEX* v = object->GetVertexList()->GetAt(0);
    v->influences = 3;
    v->boneIndex[0] = 1;
    v->boneIndex[1] = 2;
    v->boneIndex[2] = 3;
    v->boneWeight[0] = 0.5f;
    v->boneWeight[1] = 0.3f;
    v->boneWeight[2] = 0.2f;
    object->RemoveBoneInfluences(2);
    EXPECT_EQ(v->influences, 3);
    EXPECT_EQ(v->boneIndex[0], 1);
    EXPECT_EQ(v->boneIndex[1], 0);
    EXPECT_EQ(v->boneIndex[2], 2);
    EXPECT_FLOAT_EQ(v->boneWeight[0], 0.5f);
    EXPECT_FLOAT_EQ(v->boneWeight[1], 0.0f);
    EXPECT_FLOAT_EQ(v->boneWeight[2], 0.2f);
}

TEST(ModelObjectTest, VerticesPackIntoTheBufferLayout)
{
    EXPECT_EQ(ModelDeviceBuffers::PackColor(CkvrVector4(1.0f, 0.0f, 0.5f, 1.0f)), 0xFFFF007Fu);
    tag_KVRMODELVERTEX v = ModelSamples::Vertex(1, 2, 3, 0.25f, 0.5f);
    v.boneIndex[0] = 7;
    v.boneIndex[3] = 9;
    v.boneWeight[0] = 0.75f;
    uint8_t slot[KVR_MODEL_VERTEX_STRIDE] = {};
    ModelDeviceBuffers::PackVertex(v, slot);
    float f = 0.0f;
    std::memcpy(&f, slot + 4, 4);
    EXPECT_EQ(f, 2.0f);
    std::memcpy(&f, slot + 12, 4);
    EXPECT_EQ(f, 0.75f);
    EXPECT_EQ(slot[28], 7);
    EXPECT_EQ(slot[31], 9);
    std::memcpy(&f, slot + 52, 4);
    EXPECT_EQ(f, 0.5f);
}

TEST(ModelObjectTest, MeshBoundsCoverTheirObjects)
{
    CMesh mesh;
    CkvrVector3 centre;
    CkvrVector3 half;
    float radius = 1.0f;
    EXPECT_EQ(mesh.GetBoundingBox(&centre, &half), 1u);
    EXPECT_EQ(half.x, 0.0f);
    mesh.GetObjectList()->Add(ModelSamples::GridObject("A", 2, KVRVERTEX_POSITION));
    ASSERT_EQ(mesh.GetBoundingBox(&centre, &half), 1u);
    EXPECT_FLOAT_EQ(centre.x, 1.0f);
    EXPECT_FLOAT_EQ(half.y, 1.0f);
    ASSERT_EQ(mesh.GetBoundingSphere(&centre, &radius), 1u);
    EXPECT_FLOAT_EQ(radius, std::sqrt(2.0f));
    CModelObject* far = ModelSamples::GridObject("B", 2, KVRVERTEX_POSITION);
    for (uint32_t i = 0; i < far->GetVertexList()->GetCount(); ++i)
        far->GetVertexList()->GetAt(i)->position.x += 10.0f;
    mesh.GetObjectList()->Add(far);
    ASSERT_EQ(mesh.GetBoundingBox(&centre, &half), 1u);
    EXPECT_FLOAT_EQ(centre.x, 6.0f);
    EXPECT_FLOAT_EQ(half.x, 6.0f);
    ASSERT_EQ(mesh.GetBoundingSphere(&centre, &radius), 1u);
    EXPECT_FLOAT_EQ(centre.x, 6.0f);
    EXPECT_FLOAT_EQ(radius, 5.0f + std::sqrt(2.0f));
    EXPECT_EQ(mesh.GetBoundingBox(nullptr, &half), 0u);
}

TEST(ModelObjectTest, BoneSpheresAndTheBindPoseAfterLoading)
{
    CMesh source;
    ModelSamples::FillRichMesh(&source);
    float sphere[4] = {};
    ASSERT_EQ(source.GetBoneSphere(sphere, 0), 1u);
    EXPECT_EQ(sphere[3], 0.0f) << "root has no weights: an empty sphere";
    ASSERT_EQ(source.GetBoneSphere(sphere, 1), 1u);
    // Hip: vertices 0 (0, 0) and 1 (1, 0) of the body.
    EXPECT_FLOAT_EQ(sphere[0], 0.5f);
    EXPECT_FLOAT_EQ(sphere[3], 0.5f);
    EXPECT_EQ(source.GetBoneSphere(sphere, 3), 0u);
    float* spheres = nullptr;
    ASSERT_EQ(source.CreateBoneSpheres(&spheres), 1u);
    EXPECT_FLOAT_EQ(spheres[4 + 3], 0.5f);
    AlignedFree(spheres);

    CAnimationController* controller = source.CreateAnimationController();
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(controller->GetBoneCount(), 3u);
    EXPECT_EQ(controller->Play(1, 0.0f, 1, 0), 0u);
    EXPECT_FLOAT_EQ(controller->GetAnimationLength(0), 1.0f);
    controller->ResetPose();
    // Hip's file offset is identity with a moved local matrix: the bind
    // pass makes its offset the inverse of its pose.
    CModelBone* hip = source.GetBoneList()->GetItem(1);
    EXPECT_FLOAT_EQ(hip->GetOffsetMatrix()->m[13], -1.0f);
    EXPECT_FLOAT_EQ(hip->GetHead()->y, 1.0f);
    controller->Release();
}

TEST(ModelObjectTest, AMeshWithoutAnimationsDrawsWithoutTouchingAController)
{
    CMesh mesh;
    mesh.GetObjectList()->Add(ModelSamples::GridObject("A", 1, KVRVERTEX_POSITION));
    CkvrMatrix world;
    EXPECT_EQ(mesh.DrawAnimated(&world, 0.5f, 3), 1u);
    EXPECT_EQ(mesh.GetAnimationController(), nullptr);
}
}

namespace
{
TEST(ModelObjectTest, RefreshDropsWhatWasRemovedElsewhere)
{
    CMesh source;
    ModelSamples::FillRichMesh(&source);
    const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&source);
    CResourceList<CTexture*> shared;
    CMesh mesh;
    ASSERT_EQ(ModelSamples::LoadFromMemory(&mesh, bytes, &shared, nullptr), 1u);
    ASSERT_EQ(shared.GetCount(), 2u);
    CTexture* skin = shared.GetItem(0);
    ASSERT_EQ(shared.RemoveAt(0), 1u);
    CResourceList<CModelBone*>* bones = mesh.GetBoneList();
    CModelBone* hip = bones->GetItem(1);
    ASSERT_EQ(bones->RemoveAt(1), 1u);
    delete hip;

    ASSERT_EQ(mesh.Refresh(&shared, nullptr), 1u);
    const CMaterialList* materials = mesh.GetObjectList()->GetItem(0)->GetMaterials();
    EXPECT_EQ(materials->GetAt(0)->textures->GetItem(0), nullptr);
    EXPECT_EQ(materials->GetAt(1)->textures->GetItem(0), shared.GetItem(0));
    // Arm lost its parent and went with it; root forgot its child.
    ASSERT_EQ(bones->GetCount(), 1u);
    EXPECT_EQ(bones->GetItem(0)->GetChildren()->GetCount(), 0u);
    EXPECT_EQ(mesh.GetAnimationList()->GetItem(0)->GetBoneAnimationList()->GetCount(), 0u);
    EXPECT_NE(mesh.GetAnimationController(), nullptr);

    mesh.Release();
    delete skin;
    delete shared.GetItem(0);
}
}
