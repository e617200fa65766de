#pragma once

#include "engine/render/ModelTypes.h"

#include <cstdint>
#include <cstdio>

class CMesh;
class CModelAnimation;
class CModelBlock;
class CModelBone;
class CModelObject;
class CResourceBase;

// Writes a mesh as a model file (the layout CAnalysMesh reads). Bone 0, the
// "root" every reader creates, is not written.
class CWriteMesh
{
public:
    CWriteMesh() = default;
    CWriteMesh(const CWriteMesh&) = delete;
    CWriteMesh& operator=(const CWriteMesh&) = delete;
    virtual ~CWriteMesh();
    virtual const char* GetClassName() const { return "CWriteMesh"; }

    // Creates the file ("wb"). 0 when it cannot be created or written.
    uint32_t Write(CMesh* mesh, const char* fileName);
    // Onto an open stream, left open (a memory stream, a pack being built).
    uint32_t WriteToStream(CMesh* mesh, FILE* file);

    void WriteObject(CModelObject* object);
    void WriteVertices(const CModelVertexList* vertices);
    void WriteIndices(const KVRMODELINDEXSET* indices);
    void WriteMaterials(const CMaterialList* materials);
    void WriteTextures(const tag_KVRMODELMATERIAL* material);
    void WriteEffect(const tag_KVRMODELMATERIAL* material);
    void WriteBlockGrid(CModelObject* object);
    void WriteLowModels(CModelObject* object);
    void WriteBone(CModelBone* bone);
    void WriteBoneSet(CResourceList<CModelBone*>* set);
    void WriteAnimation(CModelAnimation* animation);
    void WriteBoneAnimation(const tag_KVRBONEANIMATION* track);

    // Size fields: the bytes after the size up to the record's closing
    // marker.
    static uint32_t GetVerticesSize(const CModelVertexList* vertices);
    static uint32_t GetIndicesSize(const KVRMODELINDEXSET* indices);
    static uint32_t GetMaterialsSize(const CMaterialList* materials);
    static uint32_t GetBlockGridSize(CModelObject* object);
    static uint32_t GetLowModelsSize(CModelObject* object);
    static uint32_t GetNameSize(const CResourceBase* resource);
    static uint32_t GetTextSize(const char* text);

private:
    void U32(uint32_t value);
    void U16(uint16_t value);
    void F32(float value);
    void Floats(const float* values, uint32_t count);
    void Text(const char* text);
    void End() { U32(0xFFFFFFFFu); }
    static uint32_t GetBoneTrackSize(const tag_KVRBONEANIMATION* track);

    FILE* m_file = nullptr;
    bool m_failed = false;
};
