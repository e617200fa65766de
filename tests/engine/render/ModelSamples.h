#pragma once

// Meshes built in code for the model tests, the model benchmarks and the
// model fuzz seeds: no binary file is stored anywhere.
#include "engine/core/AlignedMemory.h"
#include "engine/render/CAnalysMesh.h"
#include "engine/render/CLowModelObject.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelAnimation.h"
#include "engine/render/CModelBone.h"
#include "engine/render/CModelObject.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"
#include "engine/render/CWriteMesh.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace ModelSamples
{
inline char* CopyText(const char* text)
{
    const size_t length = std::strlen(text) + 1;
    char* copy = static_cast<char*>(AlignedAlloc(length, 16));
    std::memcpy(copy, text, length);
    return copy;
}

inline tag_KVRMODELMATERIAL Material(const char* name, const char* texture, const char* effect)
{
    tag_KVRMODELMATERIAL material = {};
    material.name = CopyText(name);
    material.diffuse.Set(0.8f, 0.6f, 0.4f, 1.0f);
    material.ambient.Set(0.2f, 0.2f, 0.2f, 1.0f);
    material.specular.Set(0.1f, 0.2f, 0.3f, 0.5f);
    material.emissive.Set(0.0f, 0.0f, 0.0f, 1.0f);
    material.values[0] = 0xFFFFFFFFu;
    material.values[1] = 7;
    material.power = 12.5f;
    if (texture != nullptr)
    {
        material.textures = new CResourceList<CTexture*>();
        CTexture* t = new CTexture();
        t->SetName(texture);
        material.textures->Add(t);
        material.ownsTextures = 1;
    }
    if (effect != nullptr)
    {
        material.effect = new CShader();
        material.effect->SetName(effect);
        material.ownsEffect = 1;
        material.effectFlags = 0;
    }
    return material;
}

// A material that shows its colour whatever the lights: pixel tests can
// look for exact colours.
inline tag_KVRMODELMATERIAL Glowing(float r, float g, float b)
{
    tag_KVRMODELMATERIAL material = Material("Glow", nullptr, nullptr);
    material.diffuse.Set(0, 0, 0, 1);
    material.ambient.Set(0, 0, 0, 1);
    material.emissive.Set(r, g, b, 1);
    return material;
}

// Two ARGB colours whose red, green and blue differ by tolerance at most
// (the software rasteriser rounds a little differently by path).
inline bool NearColour(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8)
    {
        const int difference = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (difference > tolerance || difference < -tolerance)
            return false;
    }
    return true;
}

inline tag_KVRMODELVERTEX Vertex(float x, float y, float z, float u, float v)
{
    tag_KVRMODELVERTEX vertex = {};
    vertex.position.Set(x, y, z);
    vertex.normal = vertex.position.GetNormal();
    vertex.uv[0][0] = u;
    vertex.uv[0][1] = v;
    vertex.color.Set(1.0f, 0.5f, 0.25f, 1.0f);
    return vertex;
}

// A grid of quads in the xy plane: (cells + 1)^2 vertices, 2 cells^2
// triangles, all in one range.
inline CModelObject* GridObject(const char* name, uint32_t cells, uint32_t format)
{
    CModelObject* object = new CModelObject();
    object->SetName(name);
    CModelVertexList* vertices = object->GetVertexList();
    vertices->format = format;
    const uint32_t side = cells + 1;
    vertices->SetCount(side * side);
    for (uint32_t y = 0; y < side; ++y)
    {
        for (uint32_t x = 0; x < side; ++x)
            *vertices->GetAt(y * side + x) = Vertex(float(x), float(y), 0.5f, float(x) / cells, float(y) / cells);
    }
    std::vector<uint32_t> indices;
    for (uint32_t y = 0; y < cells; ++y)
    {
        for (uint32_t x = 0; x < cells; ++x)
        {
            const uint32_t a = y * side + x;
            indices.insert(indices.end(), {a, a + 1, a + side + 1, a, a + side + 1, a + side});
        }
    }
    object->GetIndexSet()->indices.SetArray(indices.data(), static_cast<uint32_t>(indices.size()));
    const tag_KVRMODELINDEXOFFSET range = {0, static_cast<uint32_t>(indices.size())};
    object->GetIndexSet()->ranges.Add(range);
    object->GetMaterials()->Add(Material("Grid", nullptr, nullptr));
    return object;
}

inline CModelBone* AddBone(CMesh* mesh, const char* name, CModelBone* parent)
{
    CResourceList<CModelBone*>* bones = mesh->GetBoneList();
    if (bones->GetCount() == 0)
    {
        CModelBone* root = new CModelBone();
        root->SetName("root");
        bones->Add(root);
    }
    CModelBone* bone = new CModelBone();
    bone->SetName(name);
    bone->SetIndex(bones->GetCount());
    bones->Add(bone);
    if (parent != nullptr)
    {
        bone->SetParent(parent);
        parent->GetChildren()->Add(bone);
    }
    return bone;
}

inline void AddWeight(CMesh* mesh, CModelBone* bone, uint16_t object, uint32_t vertex, float weight)
{
    const tag_KVRBONEWEIGHT record = {object, vertex, weight};
    bone->GetWeights()->Add(record);
    tag_KVRMODELVERTEX* v = mesh->GetObjectList()->GetItem(object)->GetVertexList()->GetAt(vertex);
    v->boneIndex[v->influences] = static_cast<uint8_t>(bone->GetIndex());
    v->boneWeight[v->influences] = weight;
    ++v->influences;
}

// Objects with every kind of record: materials with textures and an
// effect, a block grid, a low model; bones with weights and parameters, a
// bone set and an animation with all three kinds of keys.
inline void FillRichMesh(CMesh* mesh)
{
    CModelObject* body = GridObject("Body", 3, KVRVERTEX_POSITION | KVRVERTEX_NORMAL | KVRVERTEX_TEXCOORD0 |
                                                   KVRVERTEX_COLOR | KVRVERTEX_TEXCOORD1 | KVRVERTEX_EXTRA);
    CMaterialList* materials = body->GetMaterials();
    CModelObject::FreeMaterial(materials->GetAt(0));
    materials->SetCount(0);
    materials->Add(Material("Skin", "Data\\Texture\\skin.png", "Data\\Effect\\Toon.shd"));
    materials->Add(Material("Cloth", "cloth.bmp", nullptr));
    materials->GetAt(1)->blendMode = 2;
    KVRMODELINDEXSET* set = body->GetIndexSet();
    set->ranges.GetAt(0)->count = 24;
    const tag_KVRMODELINDEXOFFSET second = {24, set->indices.GetCount() - 24};
    set->ranges.Add(second);
    body->GetVertexList()->GetAt(3)->extra.Set(1.0f, 2.0f, 3.0f);
    body->CreateBlocks(2, 1, 1);
    CLowModelObject* low = new CLowModelObject();
    low->SetName("BodyLow");
    low->SetValue(0.25f);
    low->GetVertexList()->format = KVRVERTEX_POSITION | KVRVERTEX_NORMAL;
    low->GetVertexList()->SetCount(3);
    *low->GetVertexList()->GetAt(0) = Vertex(0, 0, 0, 0, 0);
    *low->GetVertexList()->GetAt(1) = Vertex(1, 0, 0, 0, 0);
    *low->GetVertexList()->GetAt(2) = Vertex(0, 1, 0, 0, 0);
    const uint32_t lowIndices[3] = {0, 1, 2};
    low->GetIndexSet()->indices.SetArray(lowIndices, 3);
    const tag_KVRMODELINDEXOFFSET lowRange = {0, 3};
    low->GetIndexSet()->ranges.Add(lowRange);
    body->AddLowModel(low);
    mesh->GetObjectList()->Add(body);
    mesh->GetObjectList()->Add(GridObject("Head", 1, KVRVERTEX_POSITION | KVRVERTEX_TEXCOORD0));

    CModelBone* hip = AddBone(mesh, "Hip", nullptr);
    CModelBone* root = mesh->GetBoneList()->GetItem(0);
    hip->SetParent(root);
    root->GetChildren()->Add(hip);
    hip->GetLocalMatrix()->m[13] = 1.0f;
    CModelBone* arm = AddBone(mesh, "Arm", hip);
    arm->GetOffsetMatrix()->m[12] = -2.0f;
    arm->GetParameters()->dynamic = 1;
    arm->GetParameters()->resistance = 0.5f;
    arm->GetParameters()->collisionRadius = 0.75f;
    AddWeight(mesh, hip, 0, 0, 1.0f);
    AddWeight(mesh, hip, 0, 1, 0.5f);
    AddWeight(mesh, arm, 0, 1, 0.5f);
    AddWeight(mesh, arm, 1, 2, 1.0f);

    CResourceList<CModelBone*>* boneSet = new CResourceList<CModelBone*>();
    boneSet->SetName("Upper");
    boneSet->Add(arm);
    boneSet->Add(hip);
    mesh->GetBoneSetList()->Add(boneSet);

    CModelAnimation* animation = new CModelAnimation();
    animation->SetName("Wave");
    animation->SetStoredLength(4800);
    tag_KVRBONEANIMATION track = {};
    track.bone = arm;
    track.boneName = arm->GetName();
    track.rotation = new CKeyFrameList<CkvrQuaternion>();
    track.rotation->SetName("Rotation");
    track.rotation->SetCount(2);
    *track.rotation->GetAt(0) = {0.0f, 0.0f, CkvrQuaternion(0, 0, 0, 1)};
    *track.rotation->GetAt(1) = {4800.0f, 0.5f, CkvrQuaternion(0, 0, 0.7071068f, 0.7071068f)};
    track.scaling = new CKeyFrameList<CkvrVector3>();
    track.scaling->SetName("Scaling");
    track.scaling->SetCount(1);
    *track.scaling->GetAt(0) = {0.0f, 0.0f, CkvrVector3(1, 1, 1)};
    track.position = new CKeyFrameList<CkvrVector3>();
    track.position->SetName("Position");
    track.position->SetCount(2);
    *track.position->GetAt(0) = {0.0f, 0.0f, CkvrVector3(0, 1, 0)};
    *track.position->GetAt(1) = {2400.0f, 0.0f, CkvrVector3(0, 2, 0)};
    animation->GetBoneAnimationList()->Add(track);
    mesh->GetAnimationList()->Add(animation);
}

// The file bytes of a mesh, written through a memory stream.
inline std::vector<uint8_t> WriteToMemory(CMesh* mesh)
{
    char* data = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&data, &size);
    CWriteMesh writer;
    const uint32_t ok = writer.WriteToStream(mesh, stream);
    std::fclose(stream);
    std::vector<uint8_t> bytes(data, data + size);
    std::free(data);
    if (!ok)
        bytes.clear();
    return bytes;
}

inline uint32_t LoadFromMemory(CMesh* mesh, const std::vector<uint8_t>& bytes, CResourceList<CTexture*>* textures = nullptr,
                               CResourceList<CShader*>* effects = nullptr)
{
    CAnalysMesh reader;
    if (!reader.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())))
        return 0;
    return reader.Load(mesh, "memory.mdl", textures, effects);
}
}
