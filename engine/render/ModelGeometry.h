#pragma once

#include "engine/render/ModelTypes.h"

class CAnimationController;
class CGraphics;
class CkvrMatrix;
class CShader;

// Vertices and indices of a model object or low model with the device
// objects built from them, and the draw both classes share.
class ModelGeometry
{
public:
    ModelGeometry() = default;
    ModelGeometry(const ModelGeometry&) = delete;
    ModelGeometry& operator=(const ModelGeometry&) = delete;
    ~ModelGeometry() { Release(nullptr); }

    // Makes the vertex buffer, the declaration and the index buffer again.
    uint32_t Create(CGraphics* graphics);
    void ReleaseDeviceObjects(CGraphics* graphics);
    void Release(CGraphics* graphics);
    // Copies vertices and indices (not the device objects). 0 on failure.
    uint32_t CopyFrom(const ModelGeometry& other);

    // Through the effect (hardware skinning with a controller) or, without
    // one, the fixed-function pipeline (skinned on the processor). The
    // replacement sets stand in for the own indices and vertices.
    uint32_t Render(CGraphics* graphics, const CkvrMatrix* world, const CkvrVector4* color,
                    CAnimationController* controller, CShader* effect, const CMaterialList* materials,
                    KVRMODELINDEXSET* indexSet, KVRMODELVERTEXSET* vertexSet);
    uint32_t SkinVertices(CAnimationController* controller);
    // Influences of bone b lose their weight; higher bone indices move down.
    void RemoveBoneInfluences(uint32_t b);

    CModelVertexList vertices;
    KVRMODELINDEXSET indexSet;
    ModelBufferHandle vertexBuffer;
    ModelDeclarationHandle declaration;
    uint32_t declarationKey = 1;
};
