#pragma once

#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"
#include "engine/render/ModelTypes.h"

#include <cstdint>
#include <vector>

class CMesh;
class CModelObject;

// Pieces the data kit builds its models from in code: flat-coloured quads
// wound to show from their normal's side, a plain material, and the model
// file the engine's writer makes of a mesh.
namespace ModelBuilding
{
// Diffuse colour, with ambient and emissive at the given shares of it.
tag_KVRMODELMATERIAL FlatMaterial(const CkvrVector4& colour, float ambientShare, float emissiveShare);
// Four corners in turn around a quad, two triangles wound clockwise as
// seen from the normal's side; bone >= 0 weights the corners to that bone.
void AddQuad(CModelObject* object, std::vector<uint32_t>* indices, const CkvrVector3 corners[4],
             const CkvrVector3& normal, int32_t bone);
// The object's index list, one range over it, and its one material.
void FinishObject(CModelObject* object, const std::vector<uint32_t>& indices, const tag_KVRMODELMATERIAL& material);
// The model file of the mesh; empty when the writer fails.
std::vector<uint8_t> WriteModel(CMesh* mesh);
}
