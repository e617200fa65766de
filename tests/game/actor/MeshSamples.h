#pragma once

// Models built in code for the stage tests: objects of quads, with or
// without a block grid.
#include "tests/engine/render/ModelSamples.h"

#include <array>
#include <vector>

namespace meshsamples
{
inline void Quad(CModelObject* object, std::vector<uint32_t>* indices, const CkvrVector3& a, const CkvrVector3& b,
          const CkvrVector3& c, const CkvrVector3& d)
{
    CModelVertexList* vertices = object->GetVertexList();
    const uint32_t base = vertices->GetCount();
    for (const CkvrVector3& p : {a, b, c, d})
        vertices->Add(ModelSamples::Vertex(p.x, p.y, p.z, 0, 0));
    indices->insert(indices->end(), {base, base + 1, base + 2, base, base + 2, base + 3});
}

inline CModelObject* MakeObject(const char* name, const std::vector<std::array<CkvrVector3, 4>>& quads, bool grid)
{
    CModelObject* object = new CModelObject();
    object->SetName(name);
    std::vector<uint32_t> indices;
    for (const auto& q : quads)
        Quad(object, &indices, q[0], q[1], q[2], q[3]);
    object->GetIndexSet()->indices.SetArray(indices.data(), static_cast<uint32_t>(indices.size()));
    const tag_KVRMODELINDEXOFFSET all = {0, static_cast<uint32_t>(indices.size())};
    object->GetIndexSet()->ranges.Add(all);
    object->GetMaterials()->Add(ModelSamples::Material(name, nullptr, nullptr));
    if (grid)
        object->CreateBlocks(4, 2, 4);
    return object;
}
}
