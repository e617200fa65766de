#include "ModelBytes.h"
#include "ModelSamples.h"

#include "engine/render/CAnimationController.h"
#include "engine/render/CModelBlock.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
uint32_t Load(CMesh* mesh, const ModelBytes& file)
{
    return ModelSamples::LoadFromMemory(mesh, file.bytes);
}

CModelObject* Object(CMesh& mesh, uint32_t i)
{
    return mesh.GetObjectList()->GetItem(i);
}

// "B0", "B1", ...: appended, as g++ 12 misreads a literal put in front of
// a temporary string (-Wrestrict).
std::string BoneName(int i)
{
    std::string name = "B";
    name += std::to_string(i);
    return name;
}

TEST(ModelFileTest, MagicAloneIsAnEmptyMeshAndAnEndMarkerStopsLoading)
{
    CMesh mesh;
    EXPECT_EQ(Load(&mesh, ModelBytes().Magic()), 1u);
    EXPECT_EQ(mesh.GetObjectList()->GetCount(), 0u);
    EXPECT_EQ(mesh.GetBoneList()->GetCount(), 0u);

    ModelBytes stopped;
    stopped.Magic().End().Raw("garbage that is never read", 26);
    EXPECT_EQ(Load(&mesh, stopped), 1u);
    EXPECT_EQ(mesh.GetObjectList()->GetCount(), 0u);

    ModelBytes wrong;
    wrong.Raw("KVR MODEL VER 0.02 FILE", 23);
    EXPECT_EQ(Load(&mesh, wrong), 0u);
    ModelBytes shortMagic;
    shortMagic.Raw("KVR MODEL", 9);
    EXPECT_EQ(Load(&mesh, shortMagic), 0u);
}

TEST(ModelFileTest, UnknownChunksAndRecordsAreSkippedByTheirSize)
{
    ModelBytes file;
    file.Magic().Open(42).U32(1).U32(2).Text("whatever").Close().Object("A", 3);
    CMesh mesh;
    ASSERT_EQ(Load(&mesh, file), 1u);
    ASSERT_EQ(mesh.GetObjectList()->GetCount(), 1u);
    EXPECT_STREQ(Object(mesh, 0)->GetName(), "A");

    // Not followed by the closing marker: refused.
    ModelBytes bad;
    bad.Magic().U32(42).U32(4).U32(0).U32(0x12345678);
    CMesh other;
    EXPECT_EQ(Load(&other, bad), 0u);
    // A size past the end.
    ModelBytes past;
    past.Magic().U32(42).U32(1000).U32(0);
    EXPECT_EQ(Load(&other, past), 0u);

    // An unknown sub-record inside an object is skipped alike.
    ModelBytes inner;
    inner.Magic().Open(0).Text("B").Open(77).U32(5).Close().Open(1).U32(1).U32(1).Floats({1, 2, 3}).Close().Close();
    CMesh third;
    ASSERT_EQ(Load(&third, inner), 1u);
    EXPECT_EQ(Object(third, 0)->GetVertexList()->GetCount(), 1u);
}

TEST(ModelFileTest, AbsentVertexFieldsGetTheirDefaultsAndStillCountInTheDataSize)
{
    ModelBytes file;
    file.Magic().Open(0).Text("V").Open(1).U32(2).U32(0x001 | 0x004).Floats({3, 0, 4, 0.25f, 0.75f}).Floats({0, 0, 0, 1, 1})
        .Close().Close();
    CMesh mesh;
    ASSERT_EQ(Load(&mesh, file), 1u);
    CModelVertexList* vertices = Object(mesh, 0)->GetVertexList();
    ASSERT_EQ(vertices->GetCount(), 2u);
    const tag_KVRMODELVERTEX* v = vertices->GetAt(0);
    EXPECT_FLOAT_EQ(v->normal.x, 0.6f);
    EXPECT_FLOAT_EQ(v->normal.z, 0.8f);
    EXPECT_FLOAT_EQ(v->uv[0][1], 0.75f);
    EXPECT_FLOAT_EQ(v->color.x, 1.0f);
    EXPECT_FLOAT_EQ(v->color.w, 1.0f);
    const tag_KVRMODELVERTEX* zero = vertices->GetAt(1);
    EXPECT_EQ(zero->normal.x, 0.0f);
    EXPECT_EQ(zero->normal.y, 0.0f);
    EXPECT_EQ(zero->normal.z, 0.0f);
    // Position 12, normal 12, coordinates 8, colour 4 per vertex.
    EXPECT_EQ(vertices->dataSize, 2u * 36u);
    EXPECT_EQ(vertices->format, 0x005u);
}

TEST(ModelFileTest, BonesGetARootParentsByNameAndWeightsStampVertices)
{
    ModelBytes file;
    file.Magic().Object("A", 3).Bone("Hip", "root", {{0, 0, 1.0f}, {0, 1, 0.25f}}).Bone("Leg", "Hip", {{0, 1, 0.75f}})
        .Bone("Lost", "NoSuchBone").Bone("", "")
        .Bone("Ghost", "Hip", {{5, 0, 1.0f}, {0, 99, 1.0f}});
    CMesh mesh;
    ASSERT_EQ(Load(&mesh, file), 1u);
    CResourceList<CModelBone*>* bones = mesh.GetBoneList();
    ASSERT_EQ(bones->GetCount(), 6u);
    CModelBone* root = bones->GetItem(0);
    EXPECT_STREQ(root->GetName(), "root");
    EXPECT_EQ(root->GetParent(), nullptr);
    CModelBone* hip = bones->GetItem(1);
    EXPECT_EQ(hip->GetParent(), root);
    EXPECT_EQ(root->GetChildren()->GetItem(0), hip);
    EXPECT_EQ(bones->GetItem(2)->GetParent(), hip);
    EXPECT_EQ(bones->GetItem(3)->GetParent(), nullptr) << "a missing parent leaves the bone at the top";
    EXPECT_STREQ(bones->GetItem(4)->GetName(), "");
    for (uint32_t i = 0; i < bones->GetCount(); ++i)
        EXPECT_EQ(bones->GetItem(i)->GetIndex(), i);

    const tag_KVRMODELVERTEX* v0 = Object(mesh, 0)->GetVertexList()->GetAt(0);
    const tag_KVRMODELVERTEX* v1 = Object(mesh, 0)->GetVertexList()->GetAt(1);
    EXPECT_EQ(v0->influences, 1);
    EXPECT_EQ(v0->boneIndex[0], 1);
    ASSERT_EQ(v1->influences, 2);
    EXPECT_EQ(v1->boneIndex[1], 2);
    EXPECT_FLOAT_EQ(v1->boneWeight[1], 0.75f);
    // Weights naming no object or vertex are kept and stamp nothing.
    EXPECT_EQ(bones->GetItem(5)->GetWeights()->GetCount(), 2u);
}

TEST(ModelFileTest, AFifthWeightOnAVertexIsIgnored)
{
    ModelBytes file;
    file.Magic().Object("A", 3);
    for (int i = 0; i < 5; ++i)
        file.Bone(BoneName(i).c_str(), "root", {{0, 2, 0.2f}});
    CMesh mesh;
    ASSERT_EQ(Load(&mesh, file), 1u);
    const tag_KVRMODELVERTEX* v = Object(mesh, 0)->GetVertexList()->GetAt(2);
    EXPECT_EQ(v->influences, 4);
    EXPECT_EQ(v->boneIndex[3], 4);
    EXPECT_EQ(mesh.GetBoneList()->GetItem(5)->GetWeights()->GetCount(), 1u);
}

TEST(ModelFileTest, KeyListsOfOneKindJoinAndTracksOfMissingBonesAreDropped)
{
    ModelBytes file;
    file.Magic().Bone("Arm", "root").Open(9).Text("Swing").U32(9600);
    file.Open(10).Text("Arm").U32(0).U32(1).Floats({0, 1, 0, 0, 0, 0});
    file.U32(2).U32(1).Floats({0, 1, 2, 3, 0.5f});
    file.U32(0).U32(2).Floats({4800, 0, 1, 0, 0, 0, 9600, 0, 0, 1, 0, 0}).Close();
    file.Open(10).Text("Nobody").U32(1).U32(1).Floats({0, 1, 1, 1, 0}).Close();
    file.Close();
    CMesh mesh;
    ASSERT_EQ(Load(&mesh, file), 1u);
    ASSERT_EQ(mesh.GetAnimationList()->GetCount(), 1u);
    CModelAnimation* animation = mesh.GetAnimationList()->GetItem(0);
    EXPECT_EQ(animation->GetStoredLength(), 9600u);
    ASSERT_EQ(animation->GetBoneAnimationList()->GetCount(), 1u);
    const tag_KVRBONEANIMATION* track = animation->GetBoneAnimationList()->GetAt(0);
    EXPECT_EQ(track->bone, mesh.GetBoneList()->GetItem(1));
    ASSERT_NE(track->rotation, nullptr);
    EXPECT_STREQ(track->rotation->GetName(), "Rotation");
    ASSERT_EQ(track->rotation->GetCount(), 3u);
    // Stored w, x, y, z.
    EXPECT_FLOAT_EQ(track->rotation->GetAt(0)->value.w, 1.0f);
    EXPECT_FLOAT_EQ(track->rotation->GetAt(1)->value.x, 1.0f);
    EXPECT_FLOAT_EQ(track->rotation->GetAt(2)->time, 9600.0f);
    EXPECT_FLOAT_EQ(track->rotation->GetAt(2)->value.y, 1.0f);
    ASSERT_NE(track->position, nullptr);
    EXPECT_FLOAT_EQ(track->position->GetAt(0)->value.z, 3.0f);
    EXPECT_FLOAT_EQ(track->position->GetAt(0)->ease, 0.5f);
    EXPECT_EQ(track->scaling, nullptr);
    EXPECT_FLOAT_EQ(animation->GetLength(), 9600.0f);

    ModelBytes badKind;
    badKind.Magic().Bone("Arm", "root").Open(9).Text("S").U32(0).Open(10).Text("Arm").U32(4).U32(0).Close().Close();
    CMesh other;
    EXPECT_EQ(Load(&other, badKind), 0u);
}

TEST(ModelFileTest, BoneSetsResolveNamesAndKeepEmptyEntries)
{
    ModelBytes file;
    file.Magic().Bone("A", "root").Bone("B", "A").Open(8).Text("Set").U32(3).Text("B").Text("Missing").Text("A").Close();
    CMesh mesh;
    ASSERT_EQ(Load(&mesh, file), 1u);
    ASSERT_EQ(mesh.GetBoneSetList()->GetCount(), 1u);
    CResourceList<CModelBone*>* set = mesh.GetBoneSetList()->GetItem(0);
    EXPECT_STREQ(set->GetName(), "Set");
    ASSERT_EQ(set->GetCount(), 3u);
    EXPECT_EQ(set->GetItem(0), mesh.GetBoneList()->GetItem(2));
    EXPECT_EQ(set->GetItem(1), nullptr);
    EXPECT_EQ(set->GetItem(2), mesh.GetBoneList()->GetItem(1));
}

TEST(ModelFileTest, StoredEffectRecordsCarryCreationFlags)
{
    ModelBytes file;
    // Record 4 has no closing marker of its own: the texture and effect
    // records follow it, and one marker closes the material.
    file.Magic().Open(0).Text("A").Open(3).U32(1).U32(4).U32(0).Text("m");
    file.Floats({1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}).U32(0).U32(0).U32(0).F32(1);
    file.U32(5).U32(6).Text("a.png").End().U32(6).U32(10).Text("x.shd").U32(0x800).End().End().Close().Close();
    CMesh mesh;
    ASSERT_EQ(Load(&mesh, file), 1u) << "material records in the stored layout";
    const tag_KVRMODELMATERIAL* m = Object(mesh, 0)->GetMaterials()->GetAt(0);
    ASSERT_NE(m->effect, nullptr);
    EXPECT_STREQ(m->effect->GetName(), "x.shd");
    EXPECT_EQ(m->effectFlags, 0x800u);
    EXPECT_EQ(m->ownsEffect, 1u);
    ASSERT_NE(m->textures, nullptr);
    EXPECT_STREQ(m->textures->GetItem(0)->GetName(), "a.png");
}

TEST(ModelFileTest, ASharedTextureListSharesTexturesByFileName)
{
    ModelBytes file;
    file.Magic().Open(0).Text("A").Open(3).U32(2);
    for (const char* texture : {"Data\\One\\skin.png", "Other\\skin.png"})
    {
        file.U32(4).U32(0).Text("m").Floats({1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}).U32(0).U32(0).U32(0).F32(1);
        file.U32(5).U32(0).Text(texture).End().End();
    }
    file.Close().Close();
    CResourceList<CTexture*> shared;
    CMesh mesh;
    ASSERT_EQ(ModelSamples::LoadFromMemory(&mesh, file.bytes, &shared, nullptr), 1u);
    ASSERT_EQ(shared.GetCount(), 1u);
    const CMaterialList* materials = Object(mesh, 0)->GetMaterials();
    EXPECT_EQ(materials->GetAt(0)->textures->GetItem(0), shared.GetItem(0));
    EXPECT_EQ(materials->GetAt(1)->textures->GetItem(0), shared.GetItem(0));
    EXPECT_EQ(materials->GetAt(0)->ownsTextures, 0u);
    mesh.Release();
    delete shared.GetItem(0);
}

TEST(ModelFileTest, LyingCountsIndicesAndStringsAreRefused)
{
    const auto refused = [](const ModelBytes& file) {
        CMesh mesh;
        return Load(&mesh, file) == 0;
    };
    ModelBytes hugeVertices;
    hugeVertices.Magic().Open(0).Text("A").Open(1).U32(0x10000000).U32(0x3FF).Floats({1, 2, 3}).Close().Close();
    EXPECT_TRUE(refused(hugeVertices));
    ModelBytes noFields;
    noFields.Magic().Open(0).Text("A").Open(1).U32(0xFFFFFFFF).U32(0).Close().Close();
    EXPECT_TRUE(refused(noFields));
    ModelBytes hugeIndices;
    hugeIndices.Magic().Open(0).Text("A").Open(2).U32(0x40000000).U32(0).Close().Close();
    EXPECT_TRUE(refused(hugeIndices));
    ModelBytes indexPastVertices;
    indexPastVertices.Magic().Open(0).Text("A").Open(1).U32(1).U32(1).Floats({0, 0, 0}).Close();
    indexPastVertices.Open(2).U32(3).U32(0).U32(0).U32(1).U32(0).Close().Close();
    EXPECT_TRUE(refused(indexPastVertices));
    ModelBytes rangePastIndices;
    rangePastIndices.Magic().Open(0).Text("A").Open(1).U32(1).U32(1).Floats({0, 0, 0}).Close();
    rangePastIndices.Open(2).U32(3).U32(0).U32(0).U32(0).U32(1).U32(2).U32(3).Close().Close();
    EXPECT_TRUE(refused(rangePastIndices));
    ModelBytes hugeMaterials;
    hugeMaterials.Magic().Open(0).Text("A").Open(3).U32(0x7FFFFFFF).Close().Close();
    EXPECT_TRUE(refused(hugeMaterials));
    ModelBytes hugeWeights;
    hugeWeights.Magic().Open(7).Text("B").Text("root").Identity().Identity().U32(0x20000000).Close();
    EXPECT_TRUE(refused(hugeWeights));
    ModelBytes hugeKeys;
    hugeKeys.Magic().Bone("A", "root").Open(9).Text("S").U32(0).Open(10).Text("A").U32(0).U32(0x10000000).Close().Close();
    EXPECT_TRUE(refused(hugeKeys));
    ModelBytes hugeSet;
    hugeSet.Magic().Open(8).Text("S").U32(0xFFFFFFF0).Close();
    EXPECT_TRUE(refused(hugeSet));
    ModelBytes unterminated;
    unterminated.Magic().U32(0).U32(10).Raw("NoNulHere", 9);
    EXPECT_TRUE(refused(unterminated));
    ModelBytes zeroGrid;
    zeroGrid.Magic().Open(0).Text("A").Open(11).Floats({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).U16(1).U16(0).U16(1)
        .Close().Close();
    EXPECT_TRUE(refused(zeroGrid));
    ModelBytes blockNotIndices;
    blockNotIndices.Magic().Open(0).Text("A").Open(11).Floats({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).U16(1).U16(1)
        .U16(1).Floats({0, 0, 0, 1, 1, 1}).Text("b").U32(3).U32(8).U32(0).U32(0).End().Close().Close();
    EXPECT_TRUE(refused(blockNotIndices));
    ModelBytes truncatedId;
    truncatedId.Magic().U16(0);
    EXPECT_TRUE(refused(truncatedId));
}

TEST(ModelFileTest, EveryTruncationOfAFullFileLoadsOrFailsCleanly)
{
    CMesh source;
    ModelSamples::FillRichMesh(&source);
    const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&source);
    ASSERT_FALSE(bytes.empty());
    uint32_t loaded = 0;
    for (size_t size = 23; size < bytes.size(); ++size)
    {
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
        CMesh mesh;
        loaded += ModelSamples::LoadFromMemory(&mesh, part);
    }
    // Cuts at record boundaries end records as the end marker would.
    EXPECT_GT(loaded, 0u);
    EXPECT_LT(loaded, bytes.size() - 23);
}
}

namespace
{
TEST(ModelFileTest, ALongChainOfBonesLoadsAndPoses)
{
    ModelBytes file;
    file.Magic().Object("A", 3);
    std::string parent = "root";
    for (int i = 0; i < 8000; ++i)
    {
        const std::string name = BoneName(i);
        file.Bone(name.c_str(), parent.c_str(), {{0, 0, 0.1f}});
        parent = name;
    }
    CMesh mesh;
    ASSERT_EQ(Load(&mesh, file), 1u);
    ASSERT_EQ(mesh.GetBoneList()->GetCount(), 8001u);
    // Bones past 255 cannot be named by a vertex: only the first four stamp.
    EXPECT_EQ(mesh.GetObjectList()->GetItem(0)->GetVertexList()->GetAt(0)->influences, 4);
    CAnimationController* controller = mesh.CreateAnimationController();
    ASSERT_NE(controller, nullptr);
    controller->ResetPose();
    CkvrMatrix world;
    world.m[12] = 3.0f;
    controller->UpdatePose(&world);
    EXPECT_FLOAT_EQ(controller->GetBoneStateList()->GetAt(8000)->combined.m[12], 3.0f);
    controller->Release();
}
}
