#include "engine/render/ModelGeometry.h"

#include "engine/core/CkvrMatrix.h"
#include "engine/platform/CGraphics.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/ModelDeviceBuffers.h"
#include "engine/render/ModelDraw.h"

void ModelGeometry::ReleaseDeviceObjects(CGraphics* graphics)
{
    ModelDraw::ForgetBindings(graphics, vertexBuffer.get(), indexSet.indexBuffer.get(), declaration.get());
    vertexBuffer.reset();
    indexSet.indexBuffer.reset();
    declaration.reset();
}

void ModelGeometry::Release(CGraphics* graphics)
{
    ReleaseDeviceObjects(graphics);
    vertices.Release();
    indexSet.indices.Release();
    indexSet.ranges.Release();
}

uint32_t ModelGeometry::Create(CGraphics* graphics)
{
    ReleaseDeviceObjects(graphics);
    // Without a device the model stays in memory only (tools, tests); the
    // draws then do nothing.
    if (graphics == nullptr || graphics->GetDevice() == nullptr)
        return 1;
    vertices.stride = KVR_MODEL_VERTEX_STRIDE;
    declarationKey = 1;
    // An object may hold no triangles; it then has no buffers and draws
    // nothing.
    if (vertices.GetCount() > 0)
    {
        vertexBuffer = ModelDeviceBuffers::CreateVertexBuffer(graphics, vertices);
        if (vertexBuffer == nullptr)
            return 0;
    }
    declaration = ModelDeviceBuffers::CreateDeclaration(graphics);
    if (declaration == nullptr)
        return 0;
    if (indexSet.indices.GetCount() > 0)
    {
        indexSet.indexBuffer = ModelDeviceBuffers::CreateIndexBuffer(graphics, indexSet.indices);
        if (indexSet.indexBuffer == nullptr)
            return 0;
    }
    return 1;
}

uint32_t ModelGeometry::CopyFrom(const ModelGeometry& other)
{
    if (!vertices.SetArray(other.vertices.GetData(), other.vertices.GetCount()) ||
        !indexSet.indices.SetArray(other.indexSet.indices.GetData(), other.indexSet.indices.GetCount()) ||
        !indexSet.ranges.SetArray(other.indexSet.ranges.GetData(), other.indexSet.ranges.GetCount()))
        return 0;
    vertices.format = other.vertices.format;
    vertices.dataSize = other.vertices.dataSize;
    vertices.stride = other.vertices.stride;
    declarationKey = other.declarationKey;
    return 1;
}

uint32_t ModelGeometry::SkinVertices(CAnimationController* controller)
{
    if (controller == nullptr)
        return 0;
    return ModelDeviceBuffers::SkinVertices(vertexBuffer.get(), vertices, controller->GetBoneMatrices(),
                                            controller->GetBoneCount());
}

uint32_t ModelGeometry::Render(CGraphics* graphics, const CkvrMatrix* world, const CkvrVector4* color,
                               CAnimationController* controller, CShader* effect, const CMaterialList* materials,
                               KVRMODELINDEXSET* replacementIndices, KVRMODELVERTEXSET* replacementVertices)
{
    if (graphics == nullptr || graphics->GetDevice() == nullptr)
        return 1;
    const KVRMODELINDEXSET* set = replacementIndices != nullptr ? replacementIndices : &indexSet;
    ModelDrawSource source;
    source.vertexBuffer = vertexBuffer.get();
    source.declaration = declaration.get();
    source.declarationKey = declarationKey;
    source.vertexCount = vertices.GetCount();
    if (replacementVertices != nullptr)
    {
        source.vertexBuffer = replacementVertices->vertexBuffer;
        source.declaration = replacementVertices->declaration;
        source.vertexCount = replacementVertices->vertices != nullptr ? replacementVertices->vertices->GetCount() : 0;
    }
    source.indexBuffer = set->indexBuffer.get();
    source.ranges = &set->ranges;
    source.materials = materials;
    if (source.vertexBuffer == nullptr || source.indexBuffer == nullptr || source.declaration == nullptr)
        return 1;
    const bool skinned = controller != nullptr && controller->GetBoneCount() > 0;
    if (effect != nullptr)
        return ModelDraw::DrawShader(graphics, source, world, color, skinned, effect);
    if (skinned)
    {
        // The processor skins the vertices the draw reads, into the space
        // the palette leads to (the world the controller was posed in): the
        // device's world transform must add nothing to them.
        const CkvrMatrix identity;
        graphics->SetWorldTransform(&identity);
        if (replacementVertices == nullptr)
            SkinVertices(controller);
        else if (replacementVertices->vertices != nullptr)
            ModelDeviceBuffers::SkinVertices(replacementVertices->vertexBuffer, *replacementVertices->vertices,
                                             controller->GetBoneMatrices(), controller->GetBoneCount());
    }
    else if (world != nullptr)
        graphics->SetWorldTransform(world);
    return ModelDraw::DrawFixed(graphics, source, color);
}

void ModelGeometry::RemoveBoneInfluences(uint32_t b)
{
    for (uint32_t i = 0; i < vertices.GetCount(); ++i)
    {
        tag_KVRMODELVERTEX* v = vertices.GetAt(i);
        const uint32_t influences = v->influences < KVR_MAX_INFLUENCES ? v->influences : KVR_MAX_INFLUENCES;
        for (uint32_t k = 0; k < influences; ++k)
        {
            if (v->boneIndex[k] == b)
            {
                v->boneIndex[k] = 0;
                v->boneWeight[k] = 0.0f;
            }
            else if (v->boneIndex[k] > b)
                --v->boneIndex[k];
        }
    }
}
