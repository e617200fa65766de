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

std::vector<uint8_t> ModelBuilding::BlockModel(const char* name, const CkvrVector3& low, const CkvrVector3& high,
                                               const CkvrVector4& colour)
{
    const float x0 = low.x, y0 = low.y, z0 = low.z, x1 = high.x, y1 = high.y, z1 = high.z;
    struct Face
    {
        CkvrVector3 corners[4];
        CkvrVector3 normal;
    };
    const Face faces[6] = {
        {{{x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}}, {0, 1, 0}},
        {{{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}}, {0, -1, 0}},
        {{{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}, {0, 0, 1}},
        {{{x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}}, {0, 0, -1}},
        {{{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}, {1, 0, 0}},
        {{{x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}}, {-1, 0, 0}},
    };
    CMesh mesh;
    CModelObject* block = new CModelObject();
    block->SetName(name);
    std::vector<uint32_t> indices;
    for (const Face& face : faces)
        AddQuad(block, &indices, face.corners, face.normal, -1);
    FinishObject(block, indices, FlatMaterial(colour, 0.7f, 0.2f));
    mesh.GetObjectList()->Add(block);
    std::vector<uint8_t> bytes = WriteModel(&mesh);
    mesh.Release();
    return bytes;
}
