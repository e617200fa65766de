#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/render/ModelTypes.h"

class CGraphics;

// The dynamic-bone parameters of a bone followed by its sphere, as one block.
struct KVRBONEPARAMETERS
{
    uint32_t dynamic;
    float resistance;
    float collisionRadius;
    CkvrVector3 sphereCentre;
    float sphereRadius;
};

// One bone of a mesh's skeleton: its place in the hierarchy, the bind
// matrices, the vertices it moves and the parameters of swinging bones.
class CModelBone : public CResourceBase
{
public:
    CModelBone();
    ~CModelBone() override;

    static void SetGraphics(CGraphics* graphics) { s_graphics = graphics; }

    uint32_t Release() override;
    const char* GetClassName() const override { return "CModelBone"; }

    // 0 when the parent is not in bones; children not in bones are dropped.
    uint32_t CheckHierarchy(const CResourceList<CModelBone*>* bones);

    CModelBone* GetParent() const { return m_parent; }
    void SetParent(CModelBone* parent) { m_parent = parent; }
    CResourceList<CModelBone*>* GetChildren() { return &m_children; }
    CkvrVector3* GetHead() { return &m_head; }
    CkvrMatrix* GetLocalMatrix() { return &m_local; }
    CkvrMatrix* GetOffsetMatrix() { return &m_offset; }
    CkvrMatrix* GetBoneRotation() { return &m_rotation; }
    CList<tag_KVRBONEWEIGHT>* GetWeights() { return &m_weights; }
    KVRBONEPARAMETERS* GetParameters() { return &m_parameters; }
    uint32_t GetIndex() const { return m_index; }
    void SetIndex(uint32_t index) { m_index = index; }

private:
    CModelBone* m_parent = nullptr;
    CResourceList<CModelBone*> m_children;
    CkvrVector3 m_head;
    CkvrMatrix m_local;
    CkvrMatrix m_offset;
    CkvrMatrix m_rotation;
    CList<tag_KVRBONEWEIGHT> m_weights;
    KVRBONEPARAMETERS m_parameters = {};
    uint32_t m_index = 0;

    static CGraphics* s_graphics;
};
