#include "ModelSamples.h"

#include "engine/render/CConvertMesh.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace
{
const char* const SKINNED_X = R"(xof 0303txt 0032
template Frame {
 <3D82AB46-62DA-11cf-AB39-0020AF71E433>
 [...]
}
Header { 1; 0; 1; }
// A material written once and referenced by name.
Material Red {
 1.0;0.0;0.0;1.0;;
 10.0;
 0.5;0.5;0.5;;
 0.0;0.0;0.0;;
}
Frame Root {
  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }
  Frame Arm {
    FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,1,0,1;; }
  }
  Frame {
    Frame Hand { }
  }
  Mesh Body {
    6;
    0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 0;2;0;, 1;2;0;;
    3;
    4;0,1,2,3;,
    3;3,2,5;,
    5;0,1,2,5,4;;
    MeshNormals { 1; 0;0;-1;; 1; 3;0,0,0;; }
    MeshTextureCoords { 4; 0;0;, 1;0;, 1;1;, 0;1;; }
    MeshMaterialList {
      2; 3; 0,1,0;;
      {Red}
      Material { 0;0;1;1;; 5;; 0;0;0;; 0;0;0;; TextureFilename { "blue.png"; } }
    }
    XSkinMeshHeader { 2; 4; 9; }
    SkinWeights { "Root"; 2; 0,1; 1.0,1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }
    SkinWeights { "Arm"; 2; 4,5; 1.0,0.5; 1,0,0,0,0,1,0,0,0,0,1,0,0,-1,0,1;; }
  }
}
AnimationSet {
  Animation { {Arm}
    AnimationKey { 0; 3; 0;4;1,0,0,0;;, 2400;4;1,0,0,0;;, 4800;4;1,0,0,0;;; }
    AnimationKey { 2; 2; 0;3;0,1,0;;, 4800;3;0,2,0;;; }
    AnimationKey { 4; 1; 0;16;1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;;; }
  }
  Animation { { NoSuchFrame } AnimationKey { 1; 1; 0;3;1,1,1;;; } }
}
)";

class XImportTest : public ::testing::Test
{
protected:
    std::string Path(const char* name) { return ::testing::TempDir() + name; }

    std::string WriteX(const char* name, const std::string& text)
    {
        const std::string path = Path(name);
        std::ofstream(path, std::ios::binary) << text;
        created.push_back(path);
        return path;
    }

    std::vector<uint8_t> ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    bool Exists(const std::string& path) { return std::ifstream(path).good(); }

    void TearDown() override
    {
        for (const std::string& path : created)
            std::remove(path.c_str());
    }

    std::vector<std::string> created;
};

TEST_F(XImportTest, ASkinnedAnimatedMeshConvertsAndLoads)
{
    const std::string x = WriteX("skinned.x", SKINNED_X);
    const std::string mdl = Path("skinned.mdl");
    created.push_back(mdl);
    CConvertMesh converter;
    ASSERT_EQ(converter.Convert(x.c_str(), mdl.c_str()), 1u);
    CMesh mesh;
    ASSERT_EQ(ModelSamples::LoadFromMemory(&mesh, ReadFile(mdl)), 1u);

    ASSERT_EQ(mesh.GetObjectList()->GetCount(), 1u);
    CModelObject* body = mesh.GetObjectList()->GetItem(0);
    EXPECT_STREQ(body->GetName(), "Body");
    CModelVertexList* vertices = body->GetVertexList();
    ASSERT_EQ(vertices->GetCount(), 6u);
    EXPECT_EQ(vertices->format, 0x00Fu);
    // One normal and four coordinates for six vertices: the rest default.
    EXPECT_FLOAT_EQ(vertices->GetAt(0)->normal.z, -1.0f);
    EXPECT_FLOAT_EQ(vertices->GetAt(5)->normal.x, 1.0f / std::sqrt(5.0f));
    EXPECT_FLOAT_EQ(vertices->GetAt(2)->uv[0][1], 1.0f);
    EXPECT_FLOAT_EQ(vertices->GetAt(5)->uv[0][0], 0.0f);
    EXPECT_FLOAT_EQ(vertices->GetAt(3)->color.y, 1.0f);

    // Material 0's faces (the quad and the fan of five) first, then
    // material 1's triangle, even though the file interleaves them.
    const std::vector<uint32_t> expected = {0, 1, 2, 0, 2, 3, 0, 1, 2, 0, 2, 5, 0, 5, 4, 3, 2, 5};
    const KVRMODELINDEXSET* set = body->GetIndexSet();
    ASSERT_EQ(set->indices.GetCount(), expected.size());
    EXPECT_EQ(std::vector<uint32_t>(set->indices.GetData(), set->indices.GetData() + expected.size()), expected);
    ASSERT_EQ(set->ranges.GetCount(), 2u);
    EXPECT_EQ(set->ranges.GetAt(0)->count, 15u);
    EXPECT_EQ(set->ranges.GetAt(1)->start, 15u);
    EXPECT_EQ(set->ranges.GetAt(1)->count, 3u);

    const CMaterialList* materials = body->GetMaterials();
    ASSERT_EQ(materials->GetCount(), 2u);
    EXPECT_STREQ(materials->GetAt(0)->name, "Red");
    EXPECT_FLOAT_EQ(materials->GetAt(0)->ambient.x, 1.0f);
    EXPECT_FLOAT_EQ(materials->GetAt(0)->power, 10.0f);
    EXPECT_EQ(materials->GetAt(0)->values[0], 0xFFFFFFFFu);
    EXPECT_EQ(materials->GetAt(0)->textures, nullptr);
    EXPECT_STREQ(materials->GetAt(1)->name, "Material_2");
    ASSERT_NE(materials->GetAt(1)->textures, nullptr);
    EXPECT_STREQ(materials->GetAt(1)->textures->GetItem(0)->GetName(), "blue.png");

    CResourceList<CModelBone*>* bones = mesh.GetBoneList();
    ASSERT_EQ(bones->GetCount(), 5u);
    EXPECT_STREQ(bones->GetItem(1)->GetName(), "Root");
    EXPECT_EQ(bones->GetItem(1)->GetParent(), bones->GetItem(0)) << "a top frame hangs under root";
    EXPECT_STREQ(bones->GetItem(2)->GetName(), "Arm");
    EXPECT_FLOAT_EQ(bones->GetItem(2)->GetLocalMatrix()->m[13], 1.0f);
    EXPECT_FLOAT_EQ(bones->GetItem(2)->GetOffsetMatrix()->m[13], -1.0f);
    EXPECT_STREQ(bones->GetItem(3)->GetName(), "Bone_2");
    EXPECT_STREQ(bones->GetItem(4)->GetName(), "Hand");
    EXPECT_EQ(bones->GetItem(4)->GetParent(), bones->GetItem(3));
    // Weights stamped by the reader.
    EXPECT_EQ(vertices->GetAt(0)->boneIndex[0], 1);
    EXPECT_EQ(vertices->GetAt(5)->boneIndex[0], 2);
    EXPECT_FLOAT_EQ(vertices->GetAt(5)->boneWeight[0], 0.5f);
    EXPECT_EQ(vertices->GetAt(2)->influences, 0);

    ASSERT_EQ(mesh.GetAnimationList()->GetCount(), 1u);
    CModelAnimation* animation = mesh.GetAnimationList()->GetItem(0);
    EXPECT_STREQ(animation->GetName(), "Animation_0");
    EXPECT_EQ(animation->GetStoredLength(), 4800u);
    ASSERT_EQ(animation->GetBoneAnimationList()->GetCount(), 1u) << "the track of a missing frame is left out";
    const tag_KVRBONEANIMATION* track = animation->GetBoneAnimationList()->GetAt(0);
    EXPECT_EQ(track->bone, bones->GetItem(2));
    ASSERT_NE(track->rotation, nullptr);
    ASSERT_EQ(track->rotation->GetCount(), 2u) << "repeated rotations keep the first and the last key";
    EXPECT_FLOAT_EQ(track->rotation->GetAt(1)->time, 4800.0f);
    EXPECT_FLOAT_EQ(track->rotation->GetAt(0)->value.w, 1.0f);
    ASSERT_NE(track->position, nullptr);
    EXPECT_FLOAT_EQ(track->position->GetAt(1)->value.y, 2.0f);
    EXPECT_EQ(track->scaling, nullptr);
}

TEST_F(XImportTest, UnnamedMeshesAndOneKeyTracksAndMissingMaterialLists)
{
    const std::string x = WriteX("plain.x", R"(xof 0303txt 0032
Frame { FrameTransformMatrix { 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } }
Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }
Mesh { 4; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;; 1; 4;0,1,2,3;;
  MeshVertexColors { 2; 3;0.5;0.5;0.5;1;;, 0;0;0;0;1;; }
}
Frame Bone { }
AnimationSet Walk { Animation { AnimationKey { 1; 1; 0;3;2,2,2;;; } { Bone } } }
)");
    const std::string mdl = Path("plain.mdl");
    created.push_back(mdl);
    CConvertMesh converter;
    ASSERT_EQ(converter.Convert(x.c_str(), mdl.c_str()), 1u);
    CMesh mesh;
    ASSERT_EQ(ModelSamples::LoadFromMemory(&mesh, ReadFile(mdl)), 1u);
    ASSERT_EQ(mesh.GetObjectList()->GetCount(), 2u);
    EXPECT_STREQ(mesh.GetObjectList()->GetItem(0)->GetName(), "Mesh_1");
    CModelObject* quad = mesh.GetObjectList()->GetItem(1);
    EXPECT_STREQ(quad->GetName(), "Mesh_2");
    // No material list: one plain material over every triangle.
    ASSERT_EQ(quad->GetMaterials()->GetCount(), 1u);
    EXPECT_STREQ(quad->GetMaterials()->GetAt(0)->name, "Material_1");
    EXPECT_EQ(quad->GetIndexSet()->ranges.GetAt(0)->count, 6u);
    // Colours go to the vertex each entry names.
    EXPECT_FLOAT_EQ(quad->GetVertexList()->GetAt(3)->color.x, 0.5f);
    EXPECT_FLOAT_EQ(quad->GetVertexList()->GetAt(0)->color.x, 0.0f);
    EXPECT_FLOAT_EQ(quad->GetVertexList()->GetAt(1)->color.x, 1.0f);
    // The unnamed frame without weights or children is no bone.
    ASSERT_EQ(mesh.GetBoneList()->GetCount(), 2u);
    EXPECT_STREQ(mesh.GetBoneList()->GetItem(1)->GetName(), "Bone");
    CModelAnimation* walk = mesh.GetAnimationList()->GetItem(0);
    EXPECT_STREQ(walk->GetName(), "Walk");
    ASSERT_EQ(walk->GetBoneAnimationList()->GetCount(), 1u);
    EXPECT_EQ(walk->GetBoneAnimationList()->GetAt(0)->scaling->GetCount(), 1u);
}

TEST_F(XImportTest, OnlyTextXFilesWithMeshesThatHoldTogetherConvert)
{
    CConvertMesh converter;
    const std::string out = Path("refused.mdl");
    created.push_back(out);

    const std::string binary = WriteX("binary.x", "xof 0303bin 0032 Mesh { 1; 0;0;0;; 0;; }");
    EXPECT_EQ(converter.Convert(binary.c_str(), out.c_str()), 0u);
    EXPECT_FALSE(Exists(out));
    EXPECT_EQ(converter.Convert(Path("missing.x").c_str(), out.c_str()), 0u);

    const std::string lying = WriteX("lying.x", "xof 0303txt 0032\nMesh { 100000; 0;0;0;; 0;; }\n");
    EXPECT_EQ(converter.Convert(lying.c_str(), out.c_str()), 0u);
    EXPECT_FALSE(Exists(out));
    const std::string badIndex = WriteX("index.x", "xof 0303txt 0032\nMesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,7;; }\n");
    EXPECT_EQ(converter.Convert(badIndex.c_str(), out.c_str()), 0u);
    const std::string badMaterial = WriteX(
        "material.x", "xof 0303txt 0032\nMesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; 3;; } }\n");
    EXPECT_EQ(converter.Convert(badMaterial.c_str(), out.c_str()), 0u);

    const std::string empty = WriteX("empty.x", "xof 0303txt 0032\nFrame Lonely { }\n{ TopLevelReference }\n");
    EXPECT_EQ(converter.Convert(empty.c_str(), out.c_str()), 0u);
    EXPECT_EQ(ReadFile(out), std::vector<uint8_t>(CAnalysMesh::MAGIC, CAnalysMesh::MAGIC + 23));
}

TEST_F(XImportTest, AFifthReferenceEndsParsing)
{
    const std::string text = "xof 0303txt 0032\nFrame A { } Frame B { } Frame C { } Frame D { } Frame E { }\n"
                             "Animation { {A} {B} {C} {D} {E} }\nMesh Late { 1; 0;0;0;; 0;; }\n";
    CkvrAnalysXFile parser;
    CkvrXModel model;
    ASSERT_EQ(parser.OpenMemory(text.data(), uint32_t(text.size())), 1);
    ASSERT_EQ(parser.ParseOpened(&model), 1u);
    const KVRXNODE* animation = model.FindFirst(KVRX_ANIMATION);
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->referenceCount, 4u);
    EXPECT_EQ(model.FindFirst(KVRX_MESH), nullptr);
    EXPECT_EQ(model.Count(KVRX_FRAME), 5u);
}
}
