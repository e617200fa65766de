#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/core/CResourceList.h"
#include "engine/effect/CEffectObject.h"
#include "engine/effect/EffectRecords.h"

#include <cstdint>
#include <cstdio>

class CEffect;
class CEffectController;
class CObjectBase;
class CTexture;
class CSoundBuffer;
struct tag_KVRBONESTATE;

// A named, loaded effect definition: its effect objects in file order. Play
// takes one live effect per object from the controller's pool, places them
// with the caller's vectors and attachment, links them into a tree and,
// when asked, puts the tree on the controller's live chain.
//
// Effect file (".efc"), little-endian: counted string container name, u32
// object count, then one effect-object record per object.
class CEffectContainer : public CResourceBase
{
public:
    // Objects one file may hold; a larger count marks a damaged file.
    static constexpr uint32_t kMaxObjects = 4096;

    CEffectContainer();
    explicit CEffectContainer(const char* name);
    CEffectContainer(const CEffectContainer&) = delete;
    CEffectContainer& operator=(const CEffectContainer&) = delete;
    ~CEffectContainer() override;

    uint32_t Release() override;
    const char* GetClassName() const override { return "CEffectContainer"; }

    // Null path: the container's name followed by ".efc". 1/0. A failed
    // load leaves the container as it was.
    int Save(const char* path) const;
    int Load(const char* path);
    int SaveToStream(FILE* stream) const;
    int LoadFromStream(FILE* stream);
    int LoadFromMemory(const uint8_t* data, uint32_t size);

    int CopyTo(CEffectContainer* target) const;
    // Attaches the resources the objects name, found by file name in the
    // list their kind picks (textures, meshes, sounds, effects; any list may
    // be null), and the trail textures.
    void ResolveResources(const CResourceList<CResourceBase*>* meshes, const CResourceList<CTexture*>* textures,
                          const CResourceList<CSoundBuffer*>* sounds, const CResourceList<CResourceBase*>* effects);

    // Appends an object the container then owns. 1/0.
    int AddObject(CEffectObject* object);
    CResourceList<CEffectObject*>* GetObjectList() { return &m_objects; }
    const CResourceList<CEffectObject*>* GetObjectList() const { return &m_objects; }

    // The full form: vectors may be null (the live effect keeps its own);
    // a time limit of 0 means none; a nonzero register puts the tree on the
    // controller's live chain. Returns the first root or null.
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, const CkvrVector3* direction,
                  const CkvrVector3* scale, float timeLimit, int32_t registerTree, const tag_KVREFFECTPLAY* block,
                  CEffect* parent);

    CEffect* Play(CEffectController* controller, int32_t registerTree, CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, int32_t registerTree, CObjectBase* object, CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, int32_t registerTree,
                  CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, int32_t registerTree,
                  CObjectBase* object, CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, const CkvrVector3* direction,
                  const CkvrVector3* scale, int32_t registerTree, CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, const CkvrVector3* direction,
                  const CkvrVector3* scale, int32_t registerTree, tag_KVRBONESTATE* bone, CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, const CkvrVector3* direction,
                  const CkvrVector3* scale, int32_t registerTree, CObjectBase* object, CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, const CkvrVector3* direction,
                  const CkvrVector3* scale, float timeLimit, int32_t registerTree, CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, const CkvrVector3* direction,
                  const CkvrVector3* scale, const CkvrVector4* color, float timeLimit, int32_t registerTree,
                  CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, const CkvrVector3* direction,
                  const CkvrVector3* scale, float timeLimit, int32_t registerTree, uint32_t follow,
                  CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, const CkvrVector3* direction,
                  const CkvrVector3* scale, float timeLimit, int32_t registerTree, tag_KVRBONESTATE* bone,
                  CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, const CkvrVector3* direction,
                  const CkvrVector3* scale, float timeLimit, int32_t registerTree, CObjectBase* object,
                  CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, const CkvrVector3* direction,
                  const CkvrVector3* scale, const CkvrVector4* color, float timeLimit, int32_t registerTree,
                  uint32_t follow, CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, const CkvrVector3* direction,
                  const CkvrVector3* scale, const CkvrVector4* color, float timeLimit, int32_t registerTree,
                  tag_KVRBONESTATE* bone, CEffect* parent = nullptr);
    CEffect* Play(CEffectController* controller, const CkvrVector3* position, const CkvrVector3* direction,
                  const CkvrVector3* scale, const CkvrVector4* color, float timeLimit, int32_t registerTree,
                  uint32_t follow, tag_KVRBONESTATE* bone, CEffect* parent = nullptr);

private:
    void RemoveObjectsFrom(uint32_t first);
    int ReadContainer(FILE* file);

    CResourceList<CEffectObject*> m_objects;
};
