#pragma once

#include "engine/render/ModelTypes.h"

class CGraphics;
class CkvrMatrix;

// The one place where the model classes make device objects. Every model
// vertex buffer has the same 56-byte layout:
//   0 position (3 f32), 12 four bone weights (4 f32), 28 four bone indices
//   (one byte each, index k in bits 8k..8k+7), 32 normal (3 f32),
//   44 colour (packed ARGB), 48 texture coordinates 0 (2 f32).
namespace ModelDeviceBuffers
{
// Null without a device, for an empty list, or when the device fails.
ModelBufferHandle CreateVertexBuffer(CGraphics* graphics, const CModelVertexList& vertices);
// 16-bit indices while every index fits, else 32-bit ones.
ModelBufferHandle CreateIndexBuffer(CGraphics* graphics, const CList<uint32_t>& indices);
ModelDeclarationHandle CreateDeclaration(CGraphics* graphics);

// One vertex in the buffer layout.
void PackVertex(const tag_KVRMODELVERTEX& vertex, uint8_t* out);
// The colour as A << 24 | R << 16 | G << 8 | B, each channel x 255
// truncated towards zero and cut to its low byte.
uint32_t PackColor(const CkvrVector4& color);

// Rewrites the positions and normals of buffer with vertices skinned by the
// palette; influences naming a bone at or past boneCount are left out.
// 1/0 (the buffer cannot be locked or does not match).
int SkinVertices(DeviceBuffer* buffer, const CModelVertexList& vertices, const CkvrMatrix* palette,
                 uint32_t boneCount);
}
