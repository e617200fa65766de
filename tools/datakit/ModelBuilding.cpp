#include "tools/datakit/ModelBuilding.h"

#include "engine/core/AlignedMemory.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelObject.h"
#include "engine/render/CWriteMesh.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
// Material names live in the engine's aligned blocks.
char* CopyName(const char* text)
{
    const size_t length = std::strlen(text) + 1;
    char* copy = static_cast<char*>(AlignedAlloc(length, 16));
    std::memcpy(copy, text, length);
    return copy;
}
}

tag_KVRMODELMATERIAL ModelBuilding::FlatMaterial(const CkvrVector4& colour, float ambientShare, float emissiveShare)
{
    tag_KVRMODELMATERIAL material = {};
    material.name = CopyName("Flat");
    material.diffuse = colour;
    material.ambient.Set(colour.x * ambientShare, colour.y * ambientShare, colour.z * ambientShare, 1.0f);
    material.specular.Set(0.0f, 0.0f, 0.0f, 1.0f);
    material.emissive.Set(colour.x * emissiveShare, colour.y * emissiveShare, colour.z * emissiveShare, 1.0f);
    material.power = 1.0f;
    return material;
}

void ModelBuilding::AddQuad(CModelObject* object, std::vector<uint32_t>* indices, const CkvrVector3 corners[4],
                            const CkvrVector3& normal, int32_t bone)
{
    CModelVertexList* vertices = object->GetVertexList();
    vertices->format = KVRVERTEX_POSITION | KVRVERTEX_NORMAL | KVRVERTEX_COLOR;
    const uint32_t first = vertices->GetCount();
    for (int i = 0; i < 4; ++i)
    {
        tag_KVRMODELVERTEX v = {};
        v.position = corners[i];
        v.normal = normal;
        v.color.Set(1.0f, 1.0f, 1.0f, 1.0f);
        if (bone >= 0)
        {
            v.influences = 1;
            v.boneIndex[0] = static_cast<uint8_t>(bone);
            v.boneWeight[0] = 1.0f;
        }
        vertices->Add(v);
    }
    const CkvrVector3 a = corners[1] - corners[0], b = corners[2] - corners[0];
    const bool facing = a.Cross(b).Dot(normal) > 0.0f;
    const uint32_t order[2][6] = {{0, 1, 2, 0, 2, 3}, {0, 2, 1, 0, 3, 2}};
    for (uint32_t k : order[facing ? 0 : 1])
        indices->push_back(first + k);
}

void ModelBuilding::FinishObject(CModelObject* object, const std::vector<uint32_t>& indices,
                                 const tag_KVRMODELMATERIAL& material)
{
    object->GetIndexSet()->indices.SetArray(indices.data(), static_cast<uint32_t>(indices.size()));
    const tag_KVRMODELINDEXOFFSET range = {0, static_cast<uint32_t>(indices.size())};
    object->GetIndexSet()->ranges.Add(range);
    object->GetMaterials()->Add(material);
}

std::vector<uint8_t> ModelBuilding::WriteModel(CMesh* mesh)
{
    char* data = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&data, &size);
    if (stream == nullptr)
        return {};
    CWriteMesh writer;
    const uint32_t written = writer.WriteToStream(mesh, stream);
    std::fclose(stream);
    std::vector<uint8_t> bytes;
    if (written)
        bytes.assign(data, data + size);
    std::free(data);
    return bytes;
}
