#include "ModelSamples.h"

#include "engine/render/CModelBlock.h"

#include <gtest/gtest.h>

#include <cmath>

#include <cstring>

namespace
{
uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at)
{
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

bool SameText(const char* a, const char* b)
{
    return std::strcmp(a != nullptr ? a : "", b != nullptr ? b : "") == 0;
}

void ExpectSameVertices(const CModelVertexList* a, const CModelVertexList* b)
{
    ASSERT_EQ(a->GetCount(), b->GetCount());
    EXPECT_EQ(a->format | KVRVERTEX_POSITION, b->format);
    const uint32_t flags = b->format;
    for (uint32_t i = 0; i < a->GetCount(); ++i)
    {
        const tag_KVRMODELVERTEX* x = a->GetAt(i);
        const tag_KVRMODELVERTEX* y = b->GetAt(i);
        EXPECT_EQ(std::memcmp(&x->position, &y->position, sizeof x->position), 0);
        if (flags & KVRVERTEX_NORMAL)
        {
            EXPECT_EQ(std::memcmp(&x->normal, &y->normal, sizeof x->normal), 0);
        }
        if (flags & KVRVERTEX_TEXCOORD0)
        {
            EXPECT_EQ(std::memcmp(x->uv[0], y->uv[0], sizeof x->uv[0]), 0);
        }
        if (flags & KVRVERTEX_COLOR)
        {
            EXPECT_EQ(std::memcmp(&x->color, &y->color, sizeof x->color), 0);
        }
        if (flags & KVRVERTEX_EXTRA)
        {
            EXPECT_EQ(std::memcmp(&x->extra, &y->extra, sizeof x->extra), 0);
        }
        EXPECT_EQ(x->influences, y->influences);
        EXPECT_EQ(std::memcmp(x->boneIndex, y->boneIndex, x->influences), 0);
    }
}

void ExpectSameIndices(const KVRMODELINDEXSET* a, const KVRMODELINDEXSET* b)
{
    ASSERT_EQ(a->indices.GetCount(), b->indices.GetCount());
    EXPECT_EQ(std::memcmp(a->indices.GetData(), b->indices.GetData(), a->indices.GetCount() * 4), 0);
    ASSERT_EQ(a->ranges.GetCount(), b->ranges.GetCount());
    for (uint32_t i = 0; i < a->ranges.GetCount(); ++i)
    {
        EXPECT_EQ(a->ranges.GetAt(i)->start, b->ranges.GetAt(i)->start);
        EXPECT_EQ(a->ranges.GetAt(i)->count, b->ranges.GetAt(i)->count);
    }
}

void ExpectSameMaterials(const CMaterialList* a, const CMaterialList* b)
{
    ASSERT_EQ(a->GetCount(), b->GetCount());
    for (uint32_t i = 0; i < a->GetCount(); ++i)
    {
        const tag_KVRMODELMATERIAL* x = a->GetAt(i);
        const tag_KVRMODELMATERIAL* y = b->GetAt(i);
        EXPECT_STREQ(x->name, y->name);
        EXPECT_EQ(std::memcmp(&x->diffuse, &y->diffuse, sizeof(CkvrVector4) * 4), 0);
        EXPECT_EQ(x->blendMode, y->blendMode);
        EXPECT_EQ(x->values[0], y->values[0]);
        EXPECT_EQ(x->values[1], y->values[1]);
        EXPECT_EQ(x->power, y->power);
        ASSERT_EQ(x->textures == nullptr, y->textures == nullptr);
        if (x->textures != nullptr)
        {
            ASSERT_EQ(x->textures->GetCount(), y->textures->GetCount());
            for (uint32_t j = 0; j < x->textures->GetCount(); ++j)
                EXPECT_STREQ(x->textures->GetItem(j)->GetName(), y->textures->GetItem(j)->GetName());
        }
        ASSERT_EQ(x->effect == nullptr, y->effect == nullptr);
        if (x->effect != nullptr)
        {
            EXPECT_STREQ(x->effect->GetName(), y->effect->GetName());
        }
    }
}

TEST(ModelRoundTripTest, AWrittenMeshReadsBackWhole)
{
    CMesh source;
    ModelSamples::FillRichMesh(&source);
    const std::vector<uint8_t> first = ModelSamples::WriteToMemory(&source);
    ASSERT_GT(first.size(), 23u);
    EXPECT_EQ(std::memcmp(first.data(), "KVR MODEL VER 0.01 FILE", 23), 0);
    EXPECT_EQ(U32At(first, 23), 0u) << "the first object chunk follows the magic, no NUL between";

    CMesh copy;
    ASSERT_EQ(ModelSamples::LoadFromMemory(&copy, first), 1u);
    ASSERT_EQ(copy.GetObjectList()->GetCount(), 2u);
    for (uint32_t i = 0; i < 2; ++i)
    {
        CModelObject* a = source.GetObjectList()->GetItem(i);
        CModelObject* b = copy.GetObjectList()->GetItem(i);
        EXPECT_STREQ(a->GetName(), b->GetName());
        ExpectSameVertices(a->GetVertexList(), b->GetVertexList());
        ExpectSameIndices(a->GetIndexSet(), b->GetIndexSet());
        ExpectSameMaterials(a->GetMaterials(), b->GetMaterials());
    }
    CModelObject* body = copy.GetObjectList()->GetItem(0);
    CModelObject* sourceBody = source.GetObjectList()->GetItem(0);
    ASSERT_NE(body->GetBlocks(), nullptr);
    ASSERT_EQ(body->GetBlocks()->GetCount(), 2u);
    EXPECT_EQ(std::memcmp(body->GetGrid(), sourceBody->GetGrid(), sizeof(KVRMODELGRID)), 0);
    for (uint32_t i = 0; i < 2; ++i)
    {
        CModelBlock* a = sourceBody->GetBlocks()->GetItem(i);
        CModelBlock* b = body->GetBlocks()->GetItem(i);
        EXPECT_STREQ(a->GetName(), b->GetName());
        EXPECT_EQ(std::memcmp(a->GetBounds(), b->GetBounds(), sizeof(CkvrVector3) * 2), 0);
        ExpectSameIndices(a->GetIndexSet(), b->GetIndexSet());
        // The box of the block's triangles, worked out again by the reader.
        EXPECT_EQ(std::memcmp(a->GetContentBounds(), b->GetContentBounds(), sizeof(float) * 6), 0);
        EXPECT_TRUE(std::isfinite(b->GetContentBounds()[0]));
    }
    ASSERT_NE(body->GetLowModels(), nullptr);
    ASSERT_EQ(body->GetLowModels()->GetCount(), 1u);
    CLowModelObject* low = body->GetLowModels()->GetItem(0);
    EXPECT_STREQ(low->GetName(), "BodyLow");
    EXPECT_EQ(low->GetValue(), 0.25f);
    EXPECT_EQ(low->GetMaterials(), body->GetMaterials());
    ExpectSameVertices(sourceBody->GetLowModels()->GetItem(0)->GetVertexList(), low->GetVertexList());

    ASSERT_EQ(copy.GetBoneList()->GetCount(), source.GetBoneList()->GetCount());
    for (uint32_t i = 0; i < copy.GetBoneList()->GetCount(); ++i)
    {
        CModelBone* a = source.GetBoneList()->GetItem(i);
        CModelBone* b = copy.GetBoneList()->GetItem(i);
        EXPECT_STREQ(a->GetName(), b->GetName());
        EXPECT_EQ(b->GetIndex(), i);
        EXPECT_TRUE(SameText(a->GetParent() ? a->GetParent()->GetName() : nullptr,
                             b->GetParent() ? b->GetParent()->GetName() : nullptr));
        EXPECT_EQ(std::memcmp(a->GetLocalMatrix(), b->GetLocalMatrix(), sizeof(CkvrMatrix)), 0);
        EXPECT_EQ(std::memcmp(a->GetOffsetMatrix(), b->GetOffsetMatrix(), sizeof(CkvrMatrix)), 0);
        EXPECT_EQ(a->GetWeights()->GetCount(), b->GetWeights()->GetCount());
        EXPECT_EQ(std::memcmp(a->GetParameters(), b->GetParameters(), 12), 0);
    }
    ASSERT_EQ(copy.GetBoneSetList()->GetCount(), 1u);
    EXPECT_STREQ(copy.GetBoneSetList()->GetItem(0)->GetName(), "Upper");
    EXPECT_EQ(copy.GetBoneSetList()->GetItem(0)->GetItem(0), copy.GetBoneList()->GetItem(2));
    ASSERT_EQ(copy.GetAnimationList()->GetCount(), 1u);
    CModelAnimation* animation = copy.GetAnimationList()->GetItem(0);
    EXPECT_STREQ(animation->GetName(), "Wave");
    EXPECT_EQ(animation->GetStoredLength(), 4800u);
    const tag_KVRBONEANIMATION* track = animation->GetBoneAnimationList()->GetAt(0);
    EXPECT_EQ(track->bone, copy.GetBoneList()->GetItem(2));
    EXPECT_EQ(track->rotation->GetCount(), 2u);
    EXPECT_FLOAT_EQ(track->rotation->GetAt(1)->value.z, 0.7071068f);
    EXPECT_FLOAT_EQ(track->rotation->GetAt(1)->ease, 0.5f);
    EXPECT_EQ(track->position->GetCount(), 2u);
    EXPECT_EQ(track->scaling->GetCount(), 1u);

    // Written again, byte for byte the same.
    EXPECT_EQ(ModelSamples::WriteToMemory(&copy), first);
}

// Every size field reaches exactly the record's closing marker: a reader
// that skips every record by its size walks the whole file.
TEST(ModelRoundTripTest, EverySizeFieldSkipsToItsClosingMarker)
{
    CMesh source;
    ModelSamples::FillRichMesh(&source);
    const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&source);
    size_t at = 23;
    uint32_t chunks = 0;
    while (at < bytes.size())
    {
        ASSERT_LE(at + 8, bytes.size());
        const uint32_t size = U32At(bytes, at + 4);
        at += 8 + size;
        ASSERT_LE(at + 4, bytes.size());
        EXPECT_EQ(U32At(bytes, at), 0xFFFFFFFFu) << "chunk " << chunks;
        at += 4;
        ++chunks;
    }
    EXPECT_EQ(at, bytes.size());
    EXPECT_EQ(chunks, 2u + 2u + 1u + 1u);

    // Inside the first object: the name, then each sub-record.
    at = 23 + 8 + std::strlen("Body") + 1;
    std::vector<uint32_t> ids;
    while (U32At(bytes, at) != 0xFFFFFFFFu)
    {
        ids.push_back(U32At(bytes, at));
        at += 8 + U32At(bytes, at + 4);
        ASSERT_EQ(U32At(bytes, at), 0xFFFFFFFFu) << "sub-record " << ids.back();
        at += 4;
    }
    EXPECT_EQ(ids, (std::vector<uint32_t>{1, 2, 3, 11, 12}));
}

TEST(ModelRoundTripTest, AnEffectSavedWithAMaterialLoadsAgain)
{
    CMesh source;
    source.GetObjectList()->Add(ModelSamples::GridObject("A", 1, KVRVERTEX_POSITION));
    CMaterialList* materials = source.GetObjectList()->GetItem(0)->GetMaterials();
    CModelObject::FreeMaterial(materials->GetAt(0));
    *materials->GetAt(0) = ModelSamples::Material("M", nullptr, "Effect\\Glow.shd");
    materials->GetAt(0)->effectFlags = 3;
    const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&source);
    CMesh copy;
    ASSERT_EQ(ModelSamples::LoadFromMemory(&copy, bytes), 1u);
    const tag_KVRMODELMATERIAL* m = copy.GetObjectList()->GetItem(0)->GetMaterials()->GetAt(0);
    ASSERT_NE(m->effect, nullptr);
    EXPECT_STREQ(m->effect->GetName(), "Effect\\Glow.shd");
    EXPECT_EQ(m->effectFlags, 3u);
    EXPECT_EQ(m->textures, nullptr);
}

TEST(ModelRoundTripTest, SaveToFileAndLoadBoneSetsUseFiles)
{
    CMesh source;
    ModelSamples::FillRichMesh(&source);
    const std::string path = ::testing::TempDir() + "roundtrip_model.mdl";
    ASSERT_EQ(source.SaveToFile(path.c_str()), 1u);
    EXPECT_EQ(source.SaveToFile(nullptr), 0u);
    CAnalysMesh reader;
    ASSERT_EQ(reader.Open(path.c_str()), 1);
    CMesh copy;
    ASSERT_EQ(reader.Load(&copy, path.c_str(), nullptr, nullptr), 1u);
    reader.Close();
    EXPECT_EQ(copy.GetBoneList()->GetCount(), 3u) << "root is not written but made again";

    // Bone sets alone, resolved against the bones already there.
    CAnalysMesh setsReader;
    ASSERT_EQ(setsReader.Open(path.c_str()), 1);
    ASSERT_EQ(setsReader.LoadBoneSets(&copy, path.c_str()), 1u);
    ASSERT_EQ(copy.GetBoneSetList()->GetCount(), 2u);
    EXPECT_EQ(copy.GetBoneSetList()->GetItem(1)->GetItem(1), copy.GetBoneList()->GetItem(1));
    std::remove(path.c_str());

    copy.Release();
    EXPECT_EQ(copy.GetObjectList()->GetCount(), 0u);
    EXPECT_EQ(copy.GetBoneList()->GetCount(), 0u);
    EXPECT_EQ(copy.GetAnimationController(), nullptr);
    copy.Release();
}
}
