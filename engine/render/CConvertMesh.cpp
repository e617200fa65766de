#include "engine/render/CConvertMesh.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CPathResolver.h"
#include "engine/render/CAnalysMesh.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelAnimation.h"
#include "engine/render/CModelBone.h"
#include "engine/render/CModelObject.h"
#include "engine/render/CTexture.h"
#include "engine/render/CWriteMesh.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace
{
// Keys closer than this to the last kept one are dropped.
const double KEY_EPSILON = double(3.0e-5f);

std::string NumberedName(const std::string& name, const char* format, uint32_t number)
{
    if (!name.empty())
        return name;
    char text[32];
    std::snprintf(text, sizeof text, format, number);
    return text;
}

char* CopyText(const std::string& text)
{
    char* copy = static_cast<char*>(AlignedAlloc(text.size() + 1, 16));
    if (copy != nullptr)
        std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

tag_KVRMODELMATERIAL MakeMaterial(const KVRXNODE* source, uint32_t number)
{
    tag_KVRMODELMATERIAL material = {};
    material.values[0] = 0xFFFFFFFFu;
    material.values[1] = 0xFFFFFFFFu;
    if (source == nullptr)
    {
        material.name = CopyText(NumberedName("", "Material_%d", number));
        material.diffuse.Set(1, 1, 1, 1);
        material.ambient.Set(1, 1, 1, 1);
        material.specular.Set(0, 0, 0, 1);
        material.emissive.Set(0, 0, 0, 1);
        return material;
    }
    material.name = CopyText(NumberedName(source->name, "Material_%d", number));
    material.diffuse = source->diffuse;
    material.ambient = source->diffuse;
    material.specular = source->specular;
    material.emissive = source->emissive;
    material.power = source->power;
    if (source->textureFile != nullptr)
    {
        // The converter needs the texture's name only.
        material.textures = new CResourceList<CTexture*>();
        CTexture* texture = new CTexture();
        texture->SetName(source->textureFile->fileName.c_str());
        material.textures->Add(texture);
        material.ownsTextures = 1;
    }
    return material;
}

uint32_t FaceMaterial(const KVRXNODE* list, uint32_t face)
{
    if (list == nullptr || list->faceIndices.empty())
        return 0;
    // Fewer material indices than faces: the last one goes on.
    return face < list->faceIndices.size() ? list->faceIndices[face] : list->faceIndices.back();
}

bool BuildObject(const KVRXNODE* mesh, uint32_t number, CModelObject* object)
{
    object->SetName(NumberedName(mesh->name, "Mesh_%d", number).c_str());
    CModelVertexList* vertices = object->GetVertexList();
    const uint32_t count = static_cast<uint32_t>(mesh->vectors.size());
    if (!vertices->SetCount(count))
        return false;
    vertices->format = KVRVERTEX_POSITION | KVRVERTEX_NORMAL | KVRVERTEX_TEXCOORD0 | KVRVERTEX_COLOR;
    for (uint32_t i = 0; i < count; ++i)
    {
        tag_KVRMODELVERTEX* v = vertices->GetAt(i);
        v->position = mesh->vectors[i];
        // Shorter normal, coordinate and colour lists leave the rest to
        // their defaults.
        if (mesh->normals != nullptr && i < mesh->normals->vectors.size())
            v->normal = mesh->normals->vectors[i];
        else
            v->normal = v->position.GetNormal();
        if (mesh->coords != nullptr && size_t(i) * 2 + 1 < mesh->coords->pairs.size())
        {
            v->uv[0][0] = mesh->coords->pairs[size_t(i) * 2];
            v->uv[0][1] = mesh->coords->pairs[size_t(i) * 2 + 1];
        }
        v->color.Set(1, 1, 1, 1);
    }
    if (mesh->vertexColors != nullptr)
    {
        for (size_t e = 0; e < mesh->vertexColors->colors.size(); ++e)
        {
            const uint32_t vertex = mesh->vertexColors->colorVertices[e];
            if (vertex < count)
                vertices->GetAt(vertex)->color = mesh->vertexColors->colors[e];
        }
    }

    // Triangles grouped by material, each face a fan from its first index.
    const KVRXNODE* list = mesh->materialList;
    const uint32_t materials = list != nullptr ? static_cast<uint32_t>(list->linked.size()) : 1;
    std::vector<uint32_t> indices;
    const uint32_t faces = static_cast<uint32_t>(mesh->faceStarts.size());
    for (uint32_t m = 0; m < materials; ++m)
    {
        tag_KVRMODELINDEXOFFSET range = {static_cast<uint32_t>(indices.size()), 0};
        for (uint32_t f = 0; f < faces; ++f)
        {
            if (list != nullptr && FaceMaterial(list, f) != m)
                continue;
            const uint32_t start = mesh->faceStarts[f];
            const uint32_t end = f + 1 < faces ? mesh->faceStarts[f + 1] : uint32_t(mesh->faceIndices.size());
            for (uint32_t k = start + 2; k < end; ++k)
                indices.insert(indices.end(), {mesh->faceIndices[start], mesh->faceIndices[k - 1], mesh->faceIndices[k]});
        }
        range.count = static_cast<uint32_t>(indices.size()) - range.start;
        if (!object->GetIndexSet()->ranges.Add(range))
            return false;
        const tag_KVRMODELMATERIAL material = MakeMaterial(list != nullptr ? list->linked[m] : nullptr, m + 1);
        if (!object->GetMaterials()->Add(material))
            return false;
    }
    return object->GetIndexSet()->indices.SetArray(indices.data(), static_cast<uint32_t>(indices.size())) != 0;
}

bool SkipFrame(const KVRXNODE* frame, const std::vector<KVRXNODE*>& skins)
{
    if (!frame->name.empty() || !frame->linked.empty())
        return false;
    for (const KVRXNODE* skin : skins)
    {
        if (skin->frame == frame)
            return false;
    }
    return true;
}

bool AddWeights(CMesh* mesh, CModelBone* bone, const KVRXNODE* frame, const std::vector<KVRXNODE*>& skins,
                const std::vector<KVRXNODE*>& meshes)
{
    uint32_t objectIndex = 0;
    for (const KVRXNODE* skin : skins)
    {
        for (uint32_t i = 0; i < meshes.size(); ++i)
        {
            if (meshes[i] == skin->mesh)
                objectIndex = i;
        }
        if (skin->frame != frame)
            continue;
        if (objectIndex > 0xFFFF)
            return false;
        *bone->GetOffsetMatrix() = skin->matrix;
        CModelObject* object = mesh->GetObjectList()->GetItem(objectIndex);
        for (size_t k = 0; k < skin->weights.size(); ++k)
        {
            const tag_KVRBONEWEIGHT weight = {static_cast<uint16_t>(objectIndex), skin->weightVertices[k],
                                              skin->weights[k]};
            if (!bone->GetWeights()->Add(weight))
                return false;
            tag_KVRMODELVERTEX* v = object != nullptr ? object->GetVertexList()->GetAt(weight.vertex) : nullptr;
            if (v == nullptr || v->influences >= KVR_MAX_INFLUENCES || bone->GetIndex() > 0xFF)
                continue;
            v->boneIndex[v->influences] = static_cast<uint8_t>(bone->GetIndex());
            v->boneWeight[v->influences] = weight.weight;
            ++v->influences;
        }
    }
    return true;
}

bool BuildBones(const CkvrXModel* model, CMesh* mesh, const std::vector<KVRXNODE*>& meshes,
                std::map<const KVRXNODE*, CModelBone*>* bonesOfFrames)
{
    const std::vector<KVRXNODE*> frames = model->Collect(KVRX_FRAME);
    const std::vector<KVRXNODE*> skins = model->Collect(KVRX_SKIN_WEIGHTS);
    CResourceList<CModelBone*>* bones = mesh->GetBoneList();
    for (uint32_t i = 0; i < frames.size(); ++i)
    {
        KVRXNODE* frame = frames[i];
        frame->index = i;
        if (SkipFrame(frame, skins))
            continue;
        if (bones->GetCount() == 0)
        {
            CModelBone* root = new CModelBone();
            root->SetName("root");
            if (!bones->Add(root))
            {
                delete root;
                return false;
            }
        }
        CModelBone* bone = new CModelBone();
        bone->SetName(NumberedName(frame->name, "Bone_%d", i).c_str());
        bone->SetIndex(bones->GetCount());
        if (!bones->Add(bone))
        {
            delete bone;
            return false;
        }
        (*bonesOfFrames)[frame] = bone;
        auto parent = bonesOfFrames->find(frame->parentFrame);
        CModelBone* parentBone = parent != bonesOfFrames->end() ? parent->second : bones->GetItem(0);
        bone->SetParent(parentBone);
        parentBone->GetChildren()->Add(bone);
        // A frame without a transform sits where its parent is.
        if (frame->transform != nullptr)
            *bone->GetLocalMatrix() = frame->transform->matrix;
        if (!AddWeights(mesh, bone, frame, skins, meshes))
            return false;
        *bone->GetBoneRotation() = bone->GetOffsetMatrix()->GetRotation();
    }
    return true;
}

template <class T>
bool AddKeys(CKeyFrameList<T>** track, const char* name, const KVRXNODE* key, uint32_t components)
{
    for (const KVRXKEY& k : key->keys)
    {
        if (k.values.size() < components)
            return false;
    }
    if (*track == nullptr)
    {
        *track = new CKeyFrameList<T>();
        (*track)->SetName(name);
    }
    const size_t count = key->keys.size();
    const KVRXKEY* kept = nullptr;
    for (size_t i = 0; i < count; ++i)
    {
        const KVRXKEY& k = key->keys[i];
        bool keep = kept == nullptr || i + 1 == count;
        for (uint32_t c = 0; c < components && !keep; ++c)
            keep = std::fabs(double(k.values[c]) - double(kept->values[c])) >= KEY_EPSILON;
        if (!keep)
            continue;
        kept = &k;
        KVRKEYFRAME<T> frame = {};
        frame.time = float(k.time);
        if constexpr (std::is_same_v<T, CkvrQuaternion>)
            frame.value = CkvrQuaternion(k.values[1], k.values[2], k.values[3], k.values[0]);
        else
            frame.value = CkvrVector3(k.values[0], k.values[1], k.values[2]);
        if (!(*track)->Add(frame))
            return false;
    }
    return true;
}

bool BuildAnimations(const CkvrXModel* model, CMesh* mesh, const std::map<const KVRXNODE*, CModelBone*>& bonesOfFrames)
{
    const std::vector<KVRXNODE*> sets = model->Collect(KVRX_ANIMATION_SET);
    for (uint32_t i = 0; i < sets.size(); ++i)
    {
        CModelAnimation* animation = new CModelAnimation();
        animation->SetName(NumberedName(sets[i]->name, "Animation_%d", i).c_str());
        animation->SetStoredLength(sets[i]->length);
        if (!mesh->GetAnimationList()->Add(animation))
        {
            delete animation;
            return false;
        }
        for (const KVRXNODE* source : sets[i]->linked)
        {
            auto bone = bonesOfFrames.find(source->frame);
            if (source->frame == nullptr || source->frame->name.empty() || bone == bonesOfFrames.end())
                continue;
            tag_KVRBONEANIMATION track = {};
            track.bone = bone->second;
            track.boneName = bone->second->GetName();
            bool ok = true;
            // Matrix keys (and any other kind) have no track in a model
            // file: they are left out rather than make it unreadable.
            for (const KVRXNODE* key : source->linked)
            {
                if (key->keyType == 0)
                    ok = ok && AddKeys(&track.rotation, "Rotation", key, 4);
                else if (key->keyType == 1)
                    ok = ok && AddKeys(&track.scaling, "Scaling", key, 3);
                else if (key->keyType == 2)
                    ok = ok && AddKeys(&track.position, "Position", key, 3);
            }
            if (!ok || !animation->GetBoneAnimationList()->Add(track))
            {
                CModelAnimation::FreeTracks(&track);
                return false;
            }
        }
    }
    return true;
}
}

uint32_t CConvertMesh::BuildMesh(const CkvrXModel* model, CMesh* mesh)
{
    if (model == nullptr || mesh == nullptr)
        return 0;
    const std::vector<KVRXNODE*> meshes = model->Collect(KVRX_MESH);
    if (meshes.empty())
        return 0;
    for (uint32_t i = 0; i < meshes.size(); ++i)
    {
        CModelObject* object = new CModelObject();
        if (!mesh->GetObjectList()->Add(object))
        {
            delete object;
            return 0;
        }
        if (!BuildObject(meshes[i], i + 1, object))
            return 0;
    }
    std::map<const KVRXNODE*, CModelBone*> bonesOfFrames;
    return BuildBones(model, mesh, meshes, &bonesOfFrames) && BuildAnimations(model, mesh, bonesOfFrames) ? 1 : 0;
}

uint32_t CConvertMesh::Convert(const char* xFileName, const char* outputFileName)
{
    if (xFileName == nullptr || outputFileName == nullptr)
        return 0;
    CkvrXModel model;
    if (!Parse(&model, xFileName))
        return 0;
    CMesh mesh;
    const uint32_t built = BuildMesh(&model, &mesh);
    if (!built && model.Count(KVRX_MESH) > 0)
        return 0;
    if (!built)
    {
        // No mesh: the output holds the magic alone.
        FILE* file = CPathResolver::Open(outputFileName, "wb");
        if (file == nullptr)
            return 0;
        std::fwrite(CAnalysMesh::MAGIC, 1, CAnalysMesh::MAGIC_SIZE, file);
        std::fclose(file);
        return 0;
    }
    CWriteMesh writer;
    return writer.Write(&mesh, outputFileName);
}
