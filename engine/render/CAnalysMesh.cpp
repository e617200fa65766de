#include "engine/render/CAnalysMesh.h"

#include "engine/core/AlignedMemory.h"
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
#include <memory>

const char CAnalysMesh::MAGIC[MAGIC_SIZE + 1] = "KVR MODEL VER 0.01 FILE";

namespace
{
enum : uint32_t
{
    CHUNK_OBJECT = 0,
    RECORD_VERTICES = 1,
    RECORD_INDICES = 2,
    RECORD_MATERIALS = 3,
    RECORD_MATERIAL = 4,
    RECORD_TEXTURE = 5,
    RECORD_EFFECT = 6,
    CHUNK_BONE = 7,
    CHUNK_BONE_SET = 8,
    CHUNK_ANIMATION = 9,
    RECORD_BONE_TRACK = 10,
    RECORD_BLOCK_GRID = 11,
    RECORD_LOW_MODEL = 12,
};

enum : uint32_t
{
    KEYS_ROTATION = 0,
    KEYS_SCALING = 1,
    KEYS_POSITION = 2,
};

// The smallest stored block: bounds, an empty name, an empty index record.
constexpr uint32_t MIN_BLOCK_BYTES = 24 + 1 + 8 + 8 + 4;

inline uint32_t LoadU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline float LoadF32(const uint8_t* p)
{
    return std::bit_cast<float>(LoadU32(p));
}

// Bytes a stored vertex of these flags takes.
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

// Bytes the vertex counts in the vertex data size: the packed forms, the
// normal and the colour always included.
uint32_t PackedVertexSize(uint32_t flags)
{
    uint32_t size = 12 + 4;
    size += (flags & KVRVERTEX_POSITION) ? 12 : 0;
    size += (flags & KVRVERTEX_TEXCOORD0) ? 8 : 0;
    size += (flags & KVRVERTEX_TEXCOORD1) ? 8 : 0;
    size += (flags & KVRVERTEX_TEXCOORD2) ? 8 : 0;
    size += (flags & KVRVERTEX_TEXCOORD3) ? 8 : 0;
    size += (flags & KVRVERTEX_EXTRA) ? 12 : 0;
    return size;
}

const uint8_t* ReadVector(const uint8_t* p, CkvrVector3* out)
{
    out->Set(LoadF32(p), LoadF32(p + 4), LoadF32(p + 8));
    return p + 12;
}

const uint8_t* ReadPair(const uint8_t* p, float* out)
{
    out[0] = LoadF32(p);
    out[1] = LoadF32(p + 4);
    return p + 8;
}

bool IndicesInRange(const KVRMODELINDEXSET& set, uint32_t vertexCount)
{
    const uint32_t* indices = set.indices.GetData();
    for (uint32_t i = 0; i < set.indices.GetCount(); ++i)
    {
        if (indices[i] >= vertexCount)
            return false;
    }
    for (uint32_t i = 0; i < set.ranges.GetCount(); ++i)
    {
        const tag_KVRMODELINDEXOFFSET* range = set.ranges.GetAt(i);
        if (uint64_t(range->start) + range->count > set.indices.GetCount())
            return false;
    }
    return true;
}

template <class T>
struct ResourceDeleter
{
    void operator()(T* resource) const { delete resource; }
};
template <class T>
using Owned = std::unique_ptr<T, ResourceDeleter<T>>;
}

bool CAnalysMesh::ReadU32(uint32_t* out)
{
    if (Remaining() < 4)
        return false;
    *out = LoadU32(m_buffer + m_cursor);
    m_cursor += 4;
    return true;
}

bool CAnalysMesh::ReadU16(uint16_t* out)
{
    if (Remaining() < 2)
        return false;
    *out = static_cast<uint16_t>(m_buffer[m_cursor] | m_buffer[m_cursor + 1] << 8);
    m_cursor += 2;
    return true;
}

bool CAnalysMesh::ReadF32(float* out)
{
    if (Remaining() < 4)
        return false;
    *out = LoadF32(m_buffer + m_cursor);
    m_cursor += 4;
    return true;
}

bool CAnalysMesh::ReadFloatsChecked(float* out, uint32_t count)
{
    if (Remaining() / 4 < count)
        return false;
    for (uint32_t i = 0; i < count; ++i)
        out[i] = LoadF32(m_buffer + m_cursor + i * 4);
    m_cursor += count * 4;
    return true;
}

bool CAnalysMesh::ReadMat(CkvrMatrix* out)
{
    return ReadFloatsChecked(out->m, 16);
}

bool CAnalysMesh::ReadName(char** out)
{
    *out = nullptr;
    const uint8_t* start = m_buffer + m_cursor;
    const void* nul = std::memchr(start, 0, Remaining());
    if (nul == nullptr)
        return false;
    const size_t length = static_cast<const uint8_t*>(nul) - start;
    char* text = static_cast<char*>(AlignedAlloc(length + 1, 16));
    if (text == nullptr)
        return false;
    std::memcpy(text, start, length + 1);
    m_cursor += static_cast<uint32_t>(length + 1);
    *out = text;
    return true;
}

CAnalysMesh::Next CAnalysMesh::NextId(uint32_t* id)
{
    if (Remaining() == 0)
        return NEXT_CLOSED;
    if (!ReadU32(id))
        return NEXT_BROKEN;
    return *id == END ? NEXT_CLOSED : NEXT_RECORD;
}

bool CAnalysMesh::ExpectEnd()
{
    uint32_t marker = 0;
    return ReadU32(&marker) && marker == END;
}

bool CAnalysMesh::SkipRecord()
{
    uint32_t size = 0;
    if (!ReadU32(&size) || size > Remaining())
        return false;
    m_cursor += size;
    return ExpectEnd();
}

template <class Wants, class Read>
uint32_t CAnalysMesh::ReadRecords(Wants wants, Read read)
{
    for (;;)
    {
        uint32_t id = 0;
        const Next next = NextId(&id);
        if (next == NEXT_BROKEN)
            return 0;
        if (next == NEXT_CLOSED)
            return 1;
        if (!wants(id))
        {
            if (!SkipRecord())
                return 0;
            continue;
        }
        uint32_t size = 0;
        if (!ReadU32(&size) || !read(id))
            return 0;
    }
}

uint32_t CAnalysMesh::CheckHeader()
{
    if (m_buffer == nullptr || m_size < MAGIC_SIZE || std::memcmp(m_buffer, MAGIC, MAGIC_SIZE) != 0)
        return 0;
    m_cursor = MAGIC_SIZE;
    return 1;
}

uint32_t CAnalysMesh::Load(CMesh* mesh, const char* fileName, CResourceList<CTexture*>* textures,
                           CResourceList<CShader*>* effects)
{
    (void)fileName;
    if (mesh == nullptr || !CheckHeader())
        return 0;
    m_textures = textures;
    m_effects = effects;
    const auto wants = [](uint32_t id) {
        return id == CHUNK_OBJECT || id == CHUNK_BONE || id == CHUNK_BONE_SET || id == CHUNK_ANIMATION;
    };
    const auto read = [this, mesh](uint32_t id) -> uint32_t {
        switch (id)
        {
        case CHUNK_OBJECT: return ReadObject(mesh);
        case CHUNK_BONE: return ReadBone(mesh);
        case CHUNK_BONE_SET: return ReadBoneSet(mesh->GetBoneList(), mesh->GetBoneSetList());
        default: return ReadAnimation(mesh);
        }
    };
    if (!ReadRecords(wants, read))
        return 0;
    CResourceList<CModelObject*>* objects = mesh->GetObjectList();
    for (uint32_t i = 0; i < objects->GetCount(); ++i)
    {
        if (!objects->GetItem(i)->Create())
            return 0;
    }
    return 1;
}

uint32_t CAnalysMesh::LoadBoneSets(CMesh* mesh, const char* fileName)
{
    (void)fileName;
    if (mesh == nullptr || !CheckHeader())
        return 0;
    return ReadRecords([](uint32_t id) { return id == CHUNK_BONE_SET; },
                       [this, mesh](uint32_t) { return ReadBoneSet(mesh->GetBoneList(), mesh->GetBoneSetList()); });
}

uint32_t CAnalysMesh::ReadObject(CMesh* mesh)
{
    Owned<CModelObject> object(new CModelObject());
    char* name = nullptr;
    if (object == nullptr || !ReadName(&name))
        return 0;
    object->SetName(name);
    AlignedFree(name);
    const auto wants = [](uint32_t id) {
        return id == RECORD_VERTICES || id == RECORD_INDICES || id == RECORD_MATERIALS || id == RECORD_BLOCK_GRID ||
               id == RECORD_LOW_MODEL;
    };
    const auto read = [this, &object](uint32_t id) -> uint32_t {
        switch (id)
        {
        case RECORD_VERTICES: return ReadVertices(object->GetVertexList());
        case RECORD_INDICES: return ReadIndices(object->GetIndexSet());
        case RECORD_MATERIALS: return ReadMaterials(object->GetMaterials());
        case RECORD_BLOCK_GRID: return ReadBlockGrid(object.get());
        default: return ReadLowModel(object.get());
        }
    };
    if (!ReadRecords(wants, read))
        return 0;
    if (!CheckObject(object.get()) || !mesh->GetObjectList()->Add(object.get()))
        return 0;
    // With every record read: the vertices may come after the grid.
    CResourceList<CModelBlock*>* blocks = object->GetBlocks();
    for (uint32_t i = 0; blocks != nullptr && i < blocks->GetCount(); ++i)
        blocks->GetItem(i)->UpdateContentBounds();
    object.release();
    return 1;
}

bool CAnalysMesh::CheckObject(CModelObject* object)
{
    const uint32_t vertexCount = object->GetVertexList()->GetCount();
    if (!IndicesInRange(*object->GetIndexSet(), vertexCount))
        return false;
    CResourceList<CModelBlock*>* blocks = object->GetBlocks();
    for (uint32_t i = 0; blocks != nullptr && i < blocks->GetCount(); ++i)
    {
        if (!IndicesInRange(*blocks->GetItem(i)->GetIndexSet(), vertexCount))
            return false;
    }
    return true;
}

uint32_t CAnalysMesh::ReadVertices(CModelVertexList* vertices)
{
    uint32_t count = 0;
    uint32_t flags = 0;
    if (!ReadU32(&count) || !ReadU32(&flags))
        return 0;
    const uint32_t stored = StoredVertexSize(flags);
    // Vertices without stored fields still may not outnumber the bytes.
    if (uint64_t(count) * (stored > 0 ? stored : 1) > Remaining())
        return 0;
    if (!vertices->SetCount(count))
        return 0;
    vertices->format = flags;
    vertices->dataSize = 0;
    const uint8_t* p = m_buffer + m_cursor;
    for (uint32_t i = 0; i < count; ++i)
    {
        tag_KVRMODELVERTEX* v = vertices->GetAt(i);
        if (flags & KVRVERTEX_POSITION)
            p = ReadVector(p, &v->position);
        if (flags & KVRVERTEX_NORMAL)
            p = ReadVector(p, &v->normal);
        else
            v->normal = v->position.GetNormal();
        if (flags & KVRVERTEX_TEXCOORD0)
            p = ReadPair(p, v->uv[0]);
        if (flags & KVRVERTEX_TEXCOORD1)
            p = ReadPair(p, v->uv[1]);
        if (flags & KVRVERTEX_TEXCOORD2)
            p = ReadPair(p, v->uv[2]);
        if (flags & KVRVERTEX_TEXCOORD3)
            p = ReadPair(p, v->uv[3]);
        if (flags & KVRVERTEX_COLOR)
        {
            v->color.Set(LoadF32(p), LoadF32(p + 4), LoadF32(p + 8), LoadF32(p + 12));
            p += 16;
        }
        else
            v->color.Set(1.0f, 1.0f, 1.0f, 1.0f);
        if (flags & KVRVERTEX_EXTRA)
            p = ReadVector(p, &v->extra);
    }
    m_cursor += count * stored;
    vertices->dataSize = count * PackedVertexSize(flags);
    return ExpectEnd() ? 1 : 0;
}

uint32_t CAnalysMesh::ReadIndices(KVRMODELINDEXSET* indices)
{
    uint32_t count = 0;
    if (!ReadU32(&count) || Remaining() / 4 < count || !indices->indices.SetCount(count))
        return 0;
    uint32_t* out = indices->indices.GetData();
    for (uint32_t i = 0; i < count; ++i)
        out[i] = LoadU32(m_buffer + m_cursor + i * 4);
    m_cursor += count * 4;
    uint32_t ranges = 0;
    if (!ReadU32(&ranges) || Remaining() / 8 < ranges || !indices->ranges.SetCount(ranges))
        return 0;
    for (uint32_t i = 0; i < ranges; ++i)
    {
        tag_KVRMODELINDEXOFFSET* range = indices->ranges.GetAt(i);
        range->start = LoadU32(m_buffer + m_cursor);
        range->count = LoadU32(m_buffer + m_cursor + 4);
        m_cursor += 8;
    }
    return ExpectEnd() ? 1 : 0;
}

uint32_t CAnalysMesh::ReadMaterials(CMaterialList* materials)
{
    uint32_t count = 0;
    // Every stored material ends with its own marker.
    if (!ReadU32(&count) || Remaining() / 4 < count)
        return 0;
    for (uint32_t i = 0; i < materials->GetCount(); ++i)
        CModelObject::FreeMaterial(materials->GetAt(i));
    if (!materials->SetCount(0) || !materials->SetCount(count))
        return 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        tag_KVRMODELMATERIAL* material = materials->GetAt(i);
        const auto wants = [](uint32_t id) {
            return id == RECORD_MATERIAL || id == RECORD_TEXTURE || id == RECORD_EFFECT;
        };
        const auto read = [this, material](uint32_t id) -> uint32_t {
            if (id == RECORD_TEXTURE)
                return ReadTexture(material);
            if (id == RECORD_EFFECT)
                return ReadEffect(material);
            return ReadMaterialValues(material);
        };
        if (!ReadRecords(wants, read))
            return 0;
    }
    return ExpectEnd() ? 1 : 0;
}

uint32_t CAnalysMesh::ReadMaterialValues(tag_KVRMODELMATERIAL* material)
{
    char* name = nullptr;
    if (!ReadName(&name))
        return 0;
    AlignedFree(material->name);
    material->name = name;
    if (!ReadVec4(&material->diffuse) || !ReadVec4(&material->ambient) || !ReadVec4(&material->specular) ||
        !ReadVec4(&material->emissive) || !ReadU32(&material->blendMode) || !ReadU32(&material->values[0]) ||
        !ReadU32(&material->values[1]) || !ReadF32(&material->power))
        return 0;
    return 1;
}

uint32_t CAnalysMesh::ReadTexture(tag_KVRMODELMATERIAL* material)
{
    char* name = nullptr;
    if (!ReadName(&name))
        return 0;
    std::unique_ptr<char, void (*)(void*)> nameHolder(name, &AlignedFree);
    if (material->textures == nullptr)
    {
        material->textures = new CResourceList<CTexture*>();
        if (material->textures == nullptr)
            return 0;
    }
    material->ownsTextures = m_textures == nullptr ? 1 : 0;
    // A lone NUL keeps the slot without a texture.
    CTexture* texture = nullptr;
    bool ownedHere = false;
    if (name[0] != '\0')
    {
        texture = m_textures != nullptr ? m_textures->FindByFileName(name) : nullptr;
        if (texture == nullptr)
        {
            // An image that does not load leaves a texture with its name.
            texture = new CTexture();
            if (texture == nullptr)
                return 0;
            if (!texture->CreateFromFile(name))
                texture->SetName(name);
            // The shared list, when there is one, owns it from here on.
            if (m_textures != nullptr && !m_textures->Add(texture))
            {
                delete texture;
                return 0;
            }
            ownedHere = m_textures == nullptr;
        }
    }
    if (!material->textures->Add(texture))
    {
        if (ownedHere)
            delete texture;
        return 0;
    }
    return ExpectEnd() ? 1 : 0;
}

uint32_t CAnalysMesh::ReadEffect(tag_KVRMODELMATERIAL* material)
{
    char* name = nullptr;
    uint32_t flags = 0;
    if (!ReadName(&name))
        return 0;
    std::unique_ptr<char, void (*)(void*)> nameHolder(name, &AlignedFree);
    if (!ReadU32(&flags))
        return 0;
    if (material->ownsEffect)
        delete material->effect;
    material->effect = nullptr;
    material->ownsEffect = m_effects == nullptr ? 1 : 0;
    material->effectFlags = flags;
    CShader* effect = m_effects != nullptr ? m_effects->FindByFileName(name) : nullptr;
    if (effect == nullptr)
    {
        Owned<CShader> created(new CShader());
        if (created == nullptr)
            return 0;
        if (!created->CreateFromFile(name, flags))
            created->SetName(name);
        if (m_effects != nullptr && !m_effects->Add(created.get()))
            return 0;
        effect = created.release();
    }
    material->effect = effect;
    return ExpectEnd() ? 1 : 0;
}

uint32_t CAnalysMesh::ReadBlockGrid(CModelObject* object)
{
    // One grid per object.
    if (object->GetBlocks() != nullptr)
        return 0;
    KVRMODELGRID* grid = object->GetGrid();
    if (!ReadVec3(&grid->centre) || !ReadVec3(&grid->halfSize) || !ReadVec3(&grid->inverseCellSize) ||
        !ReadVec3(&grid->offset) || !ReadU16(&grid->counts[0]) || !ReadU16(&grid->counts[1]) ||
        !ReadU16(&grid->counts[2]))
        return 0;
    // The collision code looks cells up by these counts: none may be 0.
    const uint64_t cells = uint64_t(grid->counts[0]) * grid->counts[1] * grid->counts[2];
    if (cells == 0 || cells * MIN_BLOCK_BYTES > Remaining() || !object->CreateBlockList())
        return 0;
    for (uint64_t i = 0; i < cells; ++i)
    {
        CkvrVector3 bounds[2];
        char* name = nullptr;
        if (!ReadVec3(&bounds[0]) || !ReadVec3(&bounds[1]) || !ReadName(&name))
            return 0;
        Owned<CModelBlock> block(
            new CModelBlock(bounds, object->GetVertexList(), object->GetIndexSet(), object->GetMaterials()));
        block->SetName(name);
        AlignedFree(name);
        uint32_t id = 0;
        uint32_t size = 0;
        if (!ReadU32(&id) || id != RECORD_INDICES || !ReadU32(&size) || !ReadIndices(block->GetIndexSet()))
            return 0;
        if (!object->GetBlocks()->Add(block.get()))
            return 0;
        block.release();
    }
    return ExpectEnd() ? 1 : 0;
}

uint32_t CAnalysMesh::ReadLowModel(CModelObject* object)
{
    char* name = nullptr;
    float value = 0.0f;
    if (!ReadName(&name))
        return 0;
    Owned<CLowModelObject> lowModel(new CLowModelObject());
    lowModel->SetName(name);
    AlignedFree(name);
    if (!ReadF32(&value))
        return 0;
    lowModel->SetValue(value);
    const auto wants = [](uint32_t id) { return id == RECORD_VERTICES || id == RECORD_INDICES; };
    const auto read = [this, &lowModel](uint32_t id) {
        return id == RECORD_VERTICES ? ReadVertices(lowModel->GetVertexList()) : ReadIndices(lowModel->GetIndexSet());
    };
    if (!ReadRecords(wants, read))
        return 0;
    if (!IndicesInRange(*lowModel->GetIndexSet(), lowModel->GetVertexList()->GetCount()))
        return 0;
    if (!object->AddLowModel(lowModel.get()))
        return 0;
    lowModel.release();
    return 1;
}

uint32_t CAnalysMesh::ReadBone(CMesh* mesh)
{
    CResourceList<CModelBone*>* bones = mesh->GetBoneList();
    char* name = nullptr;
    char* parentName = nullptr;
    if (!ReadName(&name))
        return 0;
    Owned<CModelBone> bone(new CModelBone());
    bone->SetName(name);
    AlignedFree(name);
    if (!ReadName(&parentName))
        return 0;
    std::unique_ptr<char, void (*)(void*)> parentHolder(parentName, &AlignedFree);

    if (bones->GetCount() == 0)
    {
        Owned<CModelBone> root(new CModelBone());
        root->SetName("root");
        root->SetIndex(0);
        if (!bones->Add(root.get()))
            return 0;
        root.release();
    }
    if (!ReadMat(bone->GetLocalMatrix()) || !ReadMat(bone->GetOffsetMatrix()))
        return 0;
    *bone->GetBoneRotation() = bone->GetOffsetMatrix()->GetRotation();

    uint32_t count = 0;
    if (!ReadU32(&count) || Remaining() / 10 < count)
        return 0;
    CList<tag_KVRBONEWEIGHT>* weights = bone->GetWeights();
    if (!weights->SetCount(count))
        return 0;
    const uint32_t boneIndex = bones->GetCount();
    CResourceList<CModelObject*>* objects = mesh->GetObjectList();
    for (uint32_t i = 0; i < count; ++i)
    {
        tag_KVRBONEWEIGHT* weight = weights->GetAt(i);
        const uint8_t* p = m_buffer + m_cursor;
        weight->object = static_cast<uint16_t>(p[0] | p[1] << 8);
        weight->vertex = LoadU32(p + 2);
        weight->weight = LoadF32(p + 6);
        m_cursor += 10;
        CModelObject* object = objects->GetItem(weight->object);
        tag_KVRMODELVERTEX* vertex = object != nullptr ? object->GetVertexList()->GetAt(weight->vertex) : nullptr;
        // A vertex has four influence slots, and a slot holds a byte: further
        // weights, and bones past 255, are kept in the list but move nothing.
        if (vertex == nullptr || vertex->influences >= KVR_MAX_INFLUENCES || boneIndex > 0xFF)
            continue;
        vertex->boneIndex[vertex->influences] = static_cast<uint8_t>(boneIndex);
        vertex->boneWeight[vertex->influences] = weight->weight;
        ++vertex->influences;
    }
    KVRBONEPARAMETERS* parameters = bone->GetParameters();
    if (!ReadU32(&parameters->dynamic) || !ReadF32(&parameters->resistance) ||
        !ReadF32(&parameters->collisionRadius) || !ExpectEnd())
        return 0;
    bone->SetIndex(boneIndex);
    // A parent name that matches no bone leaves the bone at the top.
    CModelBone* parent = bones->FindByName(parentName);
    if (!bones->Add(bone.get()))
        return 0;
    CModelBone* added = bone.release();
    if (parent != nullptr)
    {
        if (!parent->GetChildren()->Add(added))
            return 0;
        added->SetParent(parent);
    }
    return 1;
}

uint32_t CAnalysMesh::ReadBoneSet(CResourceList<CModelBone*>* bones,
                                  CResourceList<CResourceList<CModelBone*>*>* sets)
{
    char* name = nullptr;
    if (!ReadName(&name))
        return 0;
    Owned<CResourceList<CModelBone*>> set(new CResourceList<CModelBone*>());
    set->SetName(name);
    AlignedFree(name);
    uint32_t count = 0;
    // Every bone name takes at least its NUL.
    if (!ReadU32(&count) || count > Remaining())
        return 0;
    std::unique_ptr<CModelBone*[]> entries(new CModelBone*[count > 0 ? count : 1]);
    for (uint32_t i = 0; i < count; ++i)
    {
        char* boneName = nullptr;
        if (!ReadName(&boneName))
            return 0;
        entries[i] = bones->FindByName(boneName);
        AlignedFree(boneName);
    }
    if (!set->SetArray(entries.get(), count) || !ExpectEnd() || !sets->Add(set.get()))
        return 0;
    set.release();
    return 1;
}

uint32_t CAnalysMesh::ReadAnimation(CMesh* mesh)
{
    char* name = nullptr;
    if (!ReadName(&name))
        return 0;
    Owned<CModelAnimation> animation(new CModelAnimation());
    animation->SetName(name);
    AlignedFree(name);
    uint32_t length = 0;
    if (!ReadU32(&length))
        return 0;
    animation->SetStoredLength(length);
    const auto read = [this, &animation, mesh](uint32_t) {
        return ReadBoneAnimation(animation.get(), mesh->GetBoneList());
    };
    if (!ReadRecords([](uint32_t id) { return id == RECORD_BONE_TRACK; }, read))
        return 0;
    if (!mesh->GetAnimationList()->Add(animation.get()))
        return 0;
    animation.release();
    return 1;
}

namespace
{
template <class T>
bool AppendKeys(CKeyFrameList<T>** track, const char* name, uint32_t count, const uint8_t* p, uint32_t valueFloats)
{
    if (*track == nullptr)
    {
        *track = new CKeyFrameList<T>();
        if (*track == nullptr)
            return false;
        (*track)->SetName(name);
    }
    const uint32_t first = (*track)->GetCount();
    if (uint64_t(first) + count > UINT32_MAX || !(*track)->SetCount(first + count))
        return false;
    for (uint32_t i = 0; i < count; ++i)
    {
        KVRKEYFRAME<T>* key = (*track)->GetAt(first + i);
        float values[4] = {};
        key->time = LoadF32(p);
        p += 4;
        for (uint32_t k = 0; k < valueFloats; ++k, p += 4)
            values[k] = LoadF32(p);
        key->ease = LoadF32(p);
        p += 4;
        if constexpr (std::is_same_v<T, CkvrQuaternion>)
            key->value = CkvrQuaternion(values[1], values[2], values[3], values[0]);
        else
            key->value = CkvrVector3(values[0], values[1], values[2]);
    }
    return true;
}
}

uint32_t CAnalysMesh::ReadBoneAnimation(CModelAnimation* animation, CResourceList<CModelBone*>* bones)
{
    char* name = nullptr;
    if (!ReadName(&name))
        return 0;
    tag_KVRBONEANIMATION record = {};
    record.bone = bones->FindByName(name);
    AlignedFree(name);
    if (record.bone != nullptr)
        record.boneName = record.bone->GetName();
    for (;;)
    {
        uint32_t kind = 0;
        const Next next = NextId(&kind);
        if (next == NEXT_BROKEN)
            break;
        if (next == NEXT_CLOSED)
        {
            // A track of no known bone moves nothing and is dropped.
            if (record.bone == nullptr)
            {
                CModelAnimation::FreeTracks(&record);
                return 1;
            }
            if (animation->GetBoneAnimationList()->Add(record))
                return 1;
            break;
        }
        uint32_t count = 0;
        const uint32_t keyBytes = kind == KEYS_ROTATION ? 24 : 20;
        if (kind > KEYS_POSITION || !ReadU32(&count) || Remaining() / keyBytes < count)
            break;
        const uint8_t* p = m_buffer + m_cursor;
        bool ok = false;
        if (kind == KEYS_ROTATION)
            ok = AppendKeys(&record.rotation, "Rotation", count, p, 4);
        else if (kind == KEYS_SCALING)
            ok = AppendKeys(&record.scaling, "Scaling", count, p, 3);
        else
            ok = AppendKeys(&record.position, "Position", count, p, 3);
        if (!ok)
            break;
        m_cursor += count * keyBytes;
    }
    CModelAnimation::FreeTracks(&record);
    return 0;
}
