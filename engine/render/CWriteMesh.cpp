#include "engine/render/CWriteMesh.h"

#include "engine/core/CPathResolver.h"
#include "engine/render/CAnalysMesh.h"
#include "engine/render/CLowModelObject.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelAnimation.h"
#include "engine/render/CModelBlock.h"
#include "engine/render/CModelBone.h"
#include "engine/render/CModelObject.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"

#include <bit>
#include <cstring>

namespace
{
constexpr uint32_t RECORD_HEADER = 8; // id and size
constexpr uint32_t RECORD_FRAME = 12; // id, size and the closing marker

uint32_t StoredVertexSize(uint32_t flags)
{
    uint32_t size = 0;
    size += (flags & KVRVERTEX_POSITION) ? 12 : 0;
    size += (flags & KVRVERTEX_NORMAL) ? 12 : 0;
    size += (flags & KVRVERTEX_TEXCOORD0) ? 8 : 0;
    size += (flags & KVRVERTEX_TEXCOORD1) ? 8 : 0;
    size += (flags & KVRVERTEX_TEXCOORD2) ? 8 : 0;
    size += (flags & KVRVERTEX_TEXCOORD3) ? 8 : 0;
    size += (flags & KVRVERTEX_COLOR) ? 16 : 0;
    size += (flags & KVRVERTEX_EXTRA) ? 12 : 0;
    return size;
}

uint32_t WrittenFlags(const CModelVertexList* vertices)
{
    return vertices->format | KVRVERTEX_POSITION;
}

template <class T>
uint32_t KeyCount(const CKeyFrameList<T>* track)
{
    return track != nullptr ? track->GetCount() : 0;
}

// The material record's size as stored files have it: its own fixed part
// and name plus the texture records that follow it.
uint32_t MaterialRecordSize(const tag_KVRMODELMATERIAL* material)
{
    uint32_t size = 92 + CWriteMesh::GetTextSize(material->name);
    if (material->textures == nullptr)
        return size;
    for (uint32_t j = 0; j < material->textures->GetCount(); ++j)
        size += CWriteMesh::GetNameSize(material->textures->GetItem(j)) + RECORD_FRAME;
    return size;
}

// Effect record: name, creation flags, closing marker.
uint32_t EffectRecordLength(const tag_KVRMODELMATERIAL* material)
{
    if (material->effect == nullptr)
        return 0;
    return CWriteMesh::GetNameSize(material->effect) + 4 + RECORD_FRAME;
}
}

CWriteMesh::~CWriteMesh() = default;

void CWriteMesh::U32(uint32_t value)
{
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    if (!m_failed && std::fwrite(bytes, 1, 4, m_file) != 4)
        m_failed = true;
}

void CWriteMesh::U16(uint16_t value)
{
    const uint8_t bytes[2] = {uint8_t(value), uint8_t(value >> 8)};
    if (!m_failed && std::fwrite(bytes, 1, 2, m_file) != 2)
        m_failed = true;
}

void CWriteMesh::F32(float value)
{
    U32(std::bit_cast<uint32_t>(value));
}

void CWriteMesh::Floats(const float* values, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        F32(values[i]);
}

void CWriteMesh::Text(const char* text)
{
    const size_t length = text != nullptr ? std::strlen(text) + 1 : 1;
    if (!m_failed && std::fwrite(text != nullptr ? text : "", 1, length, m_file) != length)
        m_failed = true;
}

uint32_t CWriteMesh::GetTextSize(const char* text)
{
    return text != nullptr ? static_cast<uint32_t>(std::strlen(text) + 1) : 1;
}

uint32_t CWriteMesh::GetNameSize(const CResourceBase* resource)
{
    return resource != nullptr ? GetTextSize(resource->GetName()) : 1;
}

uint32_t CWriteMesh::Write(CMesh* mesh, const char* fileName)
{
    if (mesh == nullptr || fileName == nullptr)
        return 0;
    FILE* file = CPathResolver::Open(fileName, "wb");
    if (file == nullptr)
        return 0;
    const uint32_t written = WriteToStream(mesh, file);
    const bool closed = std::fclose(file) == 0;
    return written && closed ? 1 : 0;
}

uint32_t CWriteMesh::WriteToStream(CMesh* mesh, FILE* file)
{
    if (mesh == nullptr || file == nullptr)
        return 0;
    m_file = file;
    m_failed = std::fwrite(CAnalysMesh::MAGIC, 1, CAnalysMesh::MAGIC_SIZE, file) != CAnalysMesh::MAGIC_SIZE;
    CResourceList<CModelObject*>* objects = mesh->GetObjectList();
    for (uint32_t i = 0; i < objects->GetCount(); ++i)
        WriteObject(objects->GetItem(i));
    CResourceList<CModelBone*>* bones = mesh->GetBoneList();
    for (uint32_t i = 1; i < bones->GetCount(); ++i)
        WriteBone(bones->GetItem(i));
    CResourceList<CResourceList<CModelBone*>*>* sets = mesh->GetBoneSetList();
    for (uint32_t i = 0; i < sets->GetCount(); ++i)
        WriteBoneSet(sets->GetItem(i));
    CResourceList<CModelAnimation*>* animations = mesh->GetAnimationList();
    for (uint32_t i = 0; i < animations->GetCount(); ++i)
        WriteAnimation(animations->GetItem(i));
    m_file = nullptr;
    return m_failed ? 0 : 1;
}

uint32_t CWriteMesh::GetVerticesSize(const CModelVertexList* vertices)
{
    return vertices->GetCount() * StoredVertexSize(WrittenFlags(vertices)) + 8;
}

uint32_t CWriteMesh::GetIndicesSize(const KVRMODELINDEXSET* indices)
{
    return 4 + indices->indices.GetCount() * 4 + 4 + indices->ranges.GetCount() * 8;
}

uint32_t CWriteMesh::GetMaterialsSize(const CMaterialList* materials)
{
    uint32_t size = 4;
    for (uint32_t i = 0; i < materials->GetCount(); ++i)
    {
        const tag_KVRMODELMATERIAL* material = materials->GetAt(i);
        size += 92 + GetTextSize(material->name);
        if (material->textures != nullptr)
        {
            for (uint32_t j = 0; j < material->textures->GetCount(); ++j)
                size += GetNameSize(material->textures->GetItem(j)) + RECORD_FRAME;
        }
        size += EffectRecordLength(material);
    }
    return size;
}

uint32_t CWriteMesh::GetBlockGridSize(CModelObject* object)
{
    CResourceList<CModelBlock*>* blocks = object->GetBlocks();
    if (blocks == nullptr)
        return 0;
    uint32_t size = 54;
    for (uint32_t i = 0; i < blocks->GetCount(); ++i)
    {
        CModelBlock* block = blocks->GetItem(i);
        size += 24 + GetNameSize(block) + GetIndicesSize(block->GetIndexSet()) + RECORD_FRAME;
    }
    return size;
}

uint32_t CWriteMesh::GetLowModelsSize(CModelObject* object)
{
    CResourceList<CLowModelObject*>* lows = object->GetLowModels();
    uint32_t size = 0;
    for (uint32_t i = 0; lows != nullptr && i < lows->GetCount(); ++i)
    {
        CLowModelObject* low = lows->GetItem(i);
        size += RECORD_FRAME + GetNameSize(low) + 4 + GetVerticesSize(low->GetVertexList()) + RECORD_FRAME +
                GetIndicesSize(low->GetIndexSet()) + RECORD_FRAME;
    }
    return size;
}

void CWriteMesh::WriteObject(CModelObject* object)
{
    const uint32_t grid = GetBlockGridSize(object);
    const uint32_t size = GetVerticesSize(object->GetVertexList()) + RECORD_FRAME +
                          GetIndicesSize(object->GetIndexSet()) + RECORD_FRAME +
                          GetMaterialsSize(object->GetMaterials()) + RECORD_FRAME + (grid > 0 ? grid + RECORD_FRAME : 0) +
                          GetLowModelsSize(object) + GetNameSize(object);
    U32(0);
    U32(size);
    Text(object->GetName());
    WriteVertices(object->GetVertexList());
    WriteIndices(object->GetIndexSet());
    WriteMaterials(object->GetMaterials());
    WriteBlockGrid(object);
    WriteLowModels(object);
    End();
}

void CWriteMesh::WriteVertices(const CModelVertexList* vertices)
{
    const uint32_t flags = WrittenFlags(vertices);
    U32(1);
    U32(GetVerticesSize(vertices));
    U32(vertices->GetCount());
    U32(flags);
    for (uint32_t i = 0; i < vertices->GetCount(); ++i)
    {
        const tag_KVRMODELVERTEX* v = vertices->GetAt(i);
        Floats(&v->position.x, 3);
        if (flags & KVRVERTEX_NORMAL)
            Floats(&v->normal.x, 3);
        if (flags & KVRVERTEX_TEXCOORD0)
            Floats(v->uv[0], 2);
        if (flags & KVRVERTEX_TEXCOORD1)
            Floats(v->uv[1], 2);
        if (flags & KVRVERTEX_TEXCOORD2)
            Floats(v->uv[2], 2);
        if (flags & KVRVERTEX_TEXCOORD3)
            Floats(v->uv[3], 2);
        if (flags & KVRVERTEX_COLOR)
            Floats(&v->color.x, 4);
        if (flags & KVRVERTEX_EXTRA)
            Floats(&v->extra.x, 3);
    }
    End();
}

void CWriteMesh::WriteIndices(const KVRMODELINDEXSET* indices)
{
    U32(2);
    U32(GetIndicesSize(indices));
    U32(indices->indices.GetCount());
    for (uint32_t i = 0; i < indices->indices.GetCount(); ++i)
        U32(*indices->indices.GetAt(i));
    U32(indices->ranges.GetCount());
    for (uint32_t i = 0; i < indices->ranges.GetCount(); ++i)
    {
        U32(indices->ranges.GetAt(i)->start);
        U32(indices->ranges.GetAt(i)->count);
    }
    End();
}

void CWriteMesh::WriteMaterials(const CMaterialList* materials)
{
    U32(3);
    U32(GetMaterialsSize(materials));
    U32(materials->GetCount());
    for (uint32_t i = 0; i < materials->GetCount(); ++i)
    {
        const tag_KVRMODELMATERIAL* material = materials->GetAt(i);
        U32(4);
        U32(MaterialRecordSize(material));
        Text(material->name);
        Floats(&material->diffuse.x, 4);
        Floats(&material->ambient.x, 4);
        Floats(&material->specular.x, 4);
        Floats(&material->emissive.x, 4);
        U32(material->blendMode);
        U32(material->values[0]);
        U32(material->values[1]);
        F32(material->power);
        WriteTextures(material);
        WriteEffect(material);
        End();
    }
    End();
}

void CWriteMesh::WriteTextures(const tag_KVRMODELMATERIAL* material)
{
    if (material->textures == nullptr)
        return;
    for (uint32_t j = 0; j < material->textures->GetCount(); ++j)
    {
        CTexture* texture = material->textures->GetItem(j);
        U32(5);
        U32(GetNameSize(texture));
        Text(texture != nullptr ? texture->GetName() : nullptr);
        End();
    }
}

void CWriteMesh::WriteEffect(const tag_KVRMODELMATERIAL* material)
{
    if (material->effect == nullptr)
        return;
    // The creation flags follow the name, as readers expect them.
    U32(6);
    U32(GetNameSize(material->effect) + 4);
    Text(material->effect->GetName());
    U32(material->effectFlags);
    End();
}

void CWriteMesh::WriteBlockGrid(CModelObject* object)
{
    CResourceList<CModelBlock*>* blocks = object->GetBlocks();
    if (blocks == nullptr)
        return;
    const KVRMODELGRID* grid = object->GetGrid();
    U32(11);
    U32(GetBlockGridSize(object));
    Floats(&grid->centre.x, 3);
    Floats(&grid->halfSize.x, 3);
    Floats(&grid->inverseCellSize.x, 3);
    Floats(&grid->offset.x, 3);
    U16(grid->counts[0]);
    U16(grid->counts[1]);
    U16(grid->counts[2]);
    for (uint32_t i = 0; i < blocks->GetCount(); ++i)
    {
        CModelBlock* block = blocks->GetItem(i);
        Floats(&block->GetBounds()[0].x, 3);
        Floats(&block->GetBounds()[1].x, 3);
        Text(block->GetName());
        WriteIndices(block->GetIndexSet());
    }
    End();
}

void CWriteMesh::WriteLowModels(CModelObject* object)
{
    CResourceList<CLowModelObject*>* lows = object->GetLowModels();
    for (uint32_t i = 0; lows != nullptr && i < lows->GetCount(); ++i)
    {
        CLowModelObject* low = lows->GetItem(i);
        U32(12);
        U32(GetNameSize(low) + 4 + GetVerticesSize(low->GetVertexList()) + RECORD_FRAME +
            GetIndicesSize(low->GetIndexSet()) + RECORD_FRAME);
        Text(low->GetName());
        F32(low->GetValue());
        WriteVertices(low->GetVertexList());
        WriteIndices(low->GetIndexSet());
        End();
    }
}

void CWriteMesh::WriteBone(CModelBone* bone)
{
    CList<tag_KVRBONEWEIGHT>* weights = bone->GetWeights();
    const uint32_t size = GetNameSize(bone) + GetNameSize(bone->GetParent()) + 144 + 10 * weights->GetCount();
    U32(7);
    U32(size);
    Text(bone->GetName());
    Text(bone->GetParent() != nullptr ? bone->GetParent()->GetName() : nullptr);
    Floats(bone->GetLocalMatrix()->m, 16);
    Floats(bone->GetOffsetMatrix()->m, 16);
    U32(weights->GetCount());
    for (uint32_t i = 0; i < weights->GetCount(); ++i)
    {
        const tag_KVRBONEWEIGHT* weight = weights->GetAt(i);
        U16(weight->object);
        U32(weight->vertex);
        F32(weight->weight);
    }
    const KVRBONEPARAMETERS* parameters = bone->GetParameters();
    U32(parameters->dynamic);
    F32(parameters->resistance);
    F32(parameters->collisionRadius);
    End();
}

void CWriteMesh::WriteBoneSet(CResourceList<CModelBone*>* set)
{
    uint32_t size = GetNameSize(set) + 4;
    for (uint32_t i = 0; i < set->GetCount(); ++i)
        size += GetNameSize(set->GetItem(i));
    U32(8);
    U32(size);
    Text(set->GetName());
    U32(set->GetCount());
    for (uint32_t i = 0; i < set->GetCount(); ++i)
        Text(set->GetItem(i) != nullptr ? set->GetItem(i)->GetName() : nullptr);
    End();
}

uint32_t CWriteMesh::GetBoneTrackSize(const tag_KVRBONEANIMATION* track)
{
    return GetNameSize(track->bone) + (KeyCount(track->rotation) > 0 ? 8 + KeyCount(track->rotation) * 24 : 0) +
           (KeyCount(track->scaling) > 0 ? 8 + KeyCount(track->scaling) * 20 : 0) +
           (KeyCount(track->position) > 0 ? 8 + KeyCount(track->position) * 20 : 0);
}

void CWriteMesh::WriteAnimation(CModelAnimation* animation)
{
    CList<tag_KVRBONEANIMATION>* tracks = animation->GetBoneAnimationList();
    uint32_t size = GetNameSize(animation) + 4;
    for (uint32_t i = 0; i < tracks->GetCount(); ++i)
    {
        if (tracks->GetAt(i)->bone != nullptr)
            size += GetBoneTrackSize(tracks->GetAt(i)) + RECORD_FRAME;
    }
    U32(9);
    U32(size);
    Text(animation->GetName());
    U32(animation->GetStoredLength());
    for (uint32_t i = 0; i < tracks->GetCount(); ++i)
        WriteBoneAnimation(tracks->GetAt(i));
    End();
}

void CWriteMesh::WriteBoneAnimation(const tag_KVRBONEANIMATION* track)
{
    if (track->bone == nullptr)
        return;
    U32(10);
    U32(GetBoneTrackSize(track));
    Text(track->bone->GetName());
    if (KeyCount(track->rotation) > 0)
    {
        U32(0);
        U32(track->rotation->GetCount());
        for (uint32_t i = 0; i < track->rotation->GetCount(); ++i)
        {
            const KVRKEYFRAME<CkvrQuaternion>* key = track->rotation->GetAt(i);
            const float values[6] = {key->time, key->value.w, key->value.x, key->value.y, key->value.z, key->ease};
            Floats(values, 6);
        }
    }
    const CKeyFrameList<CkvrVector3>* vectors[2] = {track->scaling, track->position};
    for (uint32_t kind = 1; kind <= 2; ++kind)
    {
        const CKeyFrameList<CkvrVector3>* list = vectors[kind - 1];
        if (KeyCount(list) == 0)
            continue;
        U32(kind);
        U32(list->GetCount());
        for (uint32_t i = 0; i < list->GetCount(); ++i)
        {
            const KVRKEYFRAME<CkvrVector3>* key = list->GetAt(i);
            const float values[5] = {key->time, key->value.x, key->value.y, key->value.z, key->ease};
            Floats(values, 5);
        }
    }
    End();
}
