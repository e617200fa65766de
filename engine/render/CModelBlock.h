#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/render/ModelTypes.h"

#include <cmath>

class CAnimationController;
class CGraphics;
class CkvrMatrix;
class CShader;

// The triangles of a model object that touch one cell of its block grid:
// indices into the object's vertices, one range per object range, so that
// collision queries and draws visit only the cells they need.
class CModelBlock : public CResourceBase
{
public:
    CModelBlock();
    CModelBlock(CModelVertexList* vertices, KVRMODELINDEXSET* objectIndices, CMaterialList* materials);
    CModelBlock(const CkvrVector3* bounds, CModelVertexList* vertices, KVRMODELINDEXSET* objectIndices,
                CMaterialList* materials);
    // Takes the other block's lists and builds over its bounds.
    CModelBlock(const CModelBlock& other);
    CModelBlock& operator=(const CModelBlock&) = delete;
    ~CModelBlock() override;

    static void SetGraphics(CGraphics* graphics) { s_graphics = graphics; }

    uint32_t Release() override;
    const char* GetClassName() const override { return "CModelBlock"; }

    // Collects the object's triangles whose boxes touch bounds (minimum,
    // maximum) and builds the index buffer. 0 for null bounds.
    uint32_t Build(const CkvrVector3* bounds);
    uint32_t CreateIndexBuffer();
    uint32_t Draw(const CkvrMatrix* world, const CkvrVector4* color, CAnimationController* controller,
                  CShader* effect);
    uint32_t Render(const CkvrMatrix* world, const CkvrVector4* color, CAnimationController* controller,
                    CShader* effect, KVRMODELINDEXSET* indexSet, CModelVertexList* vertexList);

    const CkvrVector3* GetBounds() const { return m_bounds; }
    // The box around the block's own triangles as the hit queries bound
    // them (minimum x, y, z, maximum x, y, z); empty (minimum above
    // maximum) without triangles. A query whose box misses it meets none of
    // them. Build works it out; whoever fills the index set otherwise (a
    // model reader) calls UpdateContentBounds after, and until then it is
    // all of space.
    const float* GetContentBounds() const { return m_contentBounds; }
    void UpdateContentBounds();
    KVRMODELINDEXSET* GetIndexSet() { return &m_indexSet; }
    CModelVertexList* GetVertices() const { return m_vertices; }

private:
    CkvrVector3 m_bounds[2];
    float m_contentBounds[6] = {-INFINITY, -INFINITY, -INFINITY, INFINITY, INFINITY, INFINITY};
    CModelVertexList* m_vertices = nullptr;
    KVRMODELINDEXSET* m_objectIndices = nullptr;
    CMaterialList* m_materials = nullptr;
    KVRMODELINDEXSET m_indexSet;

    static CGraphics* s_graphics;
};
