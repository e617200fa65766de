#pragma once

#include "engine/core/CResourceList.h"
#include "engine/core/CkvrReadBinary.h"
#include "engine/render/ModelTypes.h"

class CMesh;
class CModelAnimation;
class CModelObject;

// Reads a model file (opened on the reader) into a mesh.
//
// Layout: the 23-byte magic "KVR MODEL VER 0.01 FILE", then chunks
// {u32 id, u32 size, body}: 0 object, 7 bone, 8 bone set, 9 animation. A
// size counts the bytes after it up to the record's closing 0xFFFFFFFF;
// records of unknown ids are skipped by it. Strings end with a NUL.
//
// Every count, size, index and string is checked against the bytes that
// remain and against the lists it indexes; a damaged file fails the load
// and is never read or written past.
class CAnalysMesh : public CkvrReadBinary
{
public:
    static constexpr uint32_t MAGIC_SIZE = 23;
    static constexpr uint32_t END = 0xFFFFFFFFu;
    static const char MAGIC[MAGIC_SIZE + 1];

    CAnalysMesh() = default;
    ~CAnalysMesh() override = default;

    const char* GetClassName() const override { return "CAnalysMesh"; }

    // Either shared list may be null: materials then own what they create.
    // On failure the mesh keeps what was appended; its owner releases it.
    uint32_t Load(CMesh* mesh, const char* fileName, CResourceList<CTexture*>* textures,
                  CResourceList<CShader*>* effects);
    // Only the bone sets, resolved against the mesh's bones.
    uint32_t LoadBoneSets(CMesh* mesh, const char* fileName);

    uint32_t CheckHeader();
    uint32_t ReadObject(CMesh* mesh);
    uint32_t ReadVertices(CModelVertexList* vertices);
    uint32_t ReadIndices(KVRMODELINDEXSET* indices);
    uint32_t ReadMaterials(CMaterialList* materials);
    uint32_t ReadMaterialValues(tag_KVRMODELMATERIAL* material);
    uint32_t ReadTexture(tag_KVRMODELMATERIAL* material);
    uint32_t ReadEffect(tag_KVRMODELMATERIAL* material);
    uint32_t ReadBlockGrid(CModelObject* object);
    uint32_t ReadLowModel(CModelObject* object);
    uint32_t ReadBone(CMesh* mesh);
    uint32_t ReadBoneSet(CResourceList<CModelBone*>* bones, CResourceList<CResourceList<CModelBone*>*>* sets);
    uint32_t ReadAnimation(CMesh* mesh);
    uint32_t ReadBoneAnimation(CModelAnimation* animation, CResourceList<CModelBone*>* bones);

private:
    enum Next
    {
        NEXT_RECORD,
        NEXT_CLOSED,
        NEXT_BROKEN,
    };

    uint32_t Remaining() const { return m_size - m_cursor; }
    bool ReadU32(uint32_t* out);
    bool ReadU16(uint16_t* out);
    bool ReadF32(float* out);
    bool ReadFloatsChecked(float* out, uint32_t count);
    bool ReadVec3(CkvrVector3* out) { return ReadFloatsChecked(&out->x, 3); }
    bool ReadVec4(CkvrVector4* out) { return ReadFloatsChecked(&out->x, 4); }
    bool ReadMat(CkvrMatrix* out);
    // A new aligned copy of the NUL-terminated string at the cursor ("" for
    // an empty one); false when no NUL comes before the end.
    bool ReadName(char** out);
    // The next id of a record list; the end of the data closes it too.
    Next NextId(uint32_t* id);
    bool ExpectEnd();
    // Skips an unknown record by its size; its closing marker must follow.
    bool SkipRecord();
    // Reads the records up to the closing mark: for each id that wants(id)
    // takes, its size word is consumed and read(id) reads the rest (1/0);
    // the others are skipped whole. 1 at the closing mark, 0 when broken.
    template <class Wants, class Read>
    uint32_t ReadRecords(Wants wants, Read read);
    bool CheckObject(CModelObject* object);

    CResourceList<CTexture*>* m_textures = nullptr;
    CResourceList<CShader*>* m_effects = nullptr;
};
