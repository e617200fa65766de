#pragma once

#include "engine/render/ModelTypes.h"

class CGraphics;
class CkvrMatrix;
class CShader;

// What one draw of model geometry uses: buffers, the per-material ranges
// and the materials. Objects, low models and blocks fill one each.
struct ModelDrawSource
{
    DeviceBuffer* vertexBuffer = nullptr;
    DeviceVertexDeclaration* declaration = nullptr;
    uint32_t declarationKey = 1;
    uint32_t vertexCount = 0;
    DeviceBuffer* indexBuffer = nullptr;
    const CList<tag_KVRMODELINDEXOFFSET>* ranges = nullptr;
    const CMaterialList* materials = nullptr;
    // Blocks draw inside their object's draw, which has set the stream,
    // the declaration and the transforms already.
    bool setStream = true;
};

// The per-material loops shared by CModelObject, CLowModelObject and
// CModelBlock. Both put back the blend mode they found and return 1.
namespace ModelDraw
{
// Fixed function: device material and texture stages per material.
uint32_t DrawFixed(CGraphics* graphics, const ModelDrawSource& source, const CkvrVector4* color);
// Through an effect of the default effect's parameters and techniques; the
// skinning techniques when skinned. world is set unless the source is a
// block's.
uint32_t DrawShader(CGraphics* graphics, const ModelDrawSource& source, const CkvrMatrix* world,
                    const CkvrVector4* color, bool skinned, CShader* effect);
// Drops the graphics object's cached bindings of device objects about to
// be freed, so that a later object at the same address is bound again.
void ForgetBindings(CGraphics* graphics, const DeviceBuffer* vertexBuffer, const DeviceBuffer* indexBuffer,
                    const DeviceVertexDeclaration* declaration);
}
