// The stand-in arena's display model: tiles, ramp and walls as coloured
// quads, written through the engine's own model writer.
#include "tools/datakit/ArenaLook.h"

#include "engine/core/AlignedMemory.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelObject.h"
#include "engine/render/CWriteMesh.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr float kHalf = 50.0f;
constexpr float kTile = 10.0f;
constexpr float kWallHeight = 10.0f;

struct Quad
{
    CkvrVector3 corners[4]; // in turn around the quad
    CkvrVector3 normal;     // the side it shows from
};

char* CopyText(const char* text)
{
    const size_t length = std::strlen(text) + 1;
    char* copy = static_cast<char*>(AlignedAlloc(length, 16));
    std::memcpy(copy, text, length);
    return copy;
}

tag_KVRMODELMATERIAL Material(float r, float g, float b)
{
    tag_KVRMODELMATERIAL material = {};
    material.name = CopyText("Arena");
    material.diffuse.Set(r, g, b, 1.0f);
    material.ambient.Set(r * 0.7f, g * 0.7f, b * 0.7f, 1.0f);
    material.specular.Set(0.0f, 0.0f, 0.0f, 1.0f);
    material.emissive.Set(r * 0.15f, g * 0.15f, b * 0.15f, 1.0f);
    material.power = 1.0f;
    return material;
}

// One object of quads in one colour, each wound to show from its normal's
// side (clockwise seen from in front).
CModelObject* Object(const char* name, const std::vector<Quad>& quads, float r, float g, float b)
{
    CModelObject* object = new CModelObject();
    object->SetName(name);
    CModelVertexList* vertices = object->GetVertexList();
    vertices->format = KVRVERTEX_POSITION | KVRVERTEX_NORMAL | KVRVERTEX_COLOR;
    std::vector<uint32_t> indices;
    for (const Quad& quad : quads)
    {
        const uint32_t first = vertices->GetCount();
        for (const CkvrVector3& corner : quad.corners)
        {
            tag_KVRMODELVERTEX v = {};
            v.position = corner;
            v.normal = quad.normal;
            v.color.Set(1.0f, 1.0f, 1.0f, 1.0f);
            vertices->Add(v);
        }
        const CkvrVector3 a = quad.corners[1] - quad.corners[0], b2 = quad.corners[2] - quad.corners[0];
        const bool facing = a.Cross(b2).Dot(quad.normal) > 0.0f;
        const uint32_t order[2][6] = {{0, 1, 2, 0, 2, 3}, {0, 2, 1, 0, 3, 2}};
        for (uint32_t k : order[facing ? 0 : 1])
            indices.push_back(first + k);
    }
    object->GetIndexSet()->indices.SetArray(indices.data(), static_cast<uint32_t>(indices.size()));
    const tag_KVRMODELINDEXOFFSET range = {0, static_cast<uint32_t>(indices.size())};
    object->GetIndexSet()->ranges.Add(range);
    object->GetMaterials()->Add(Material(r, g, b));
    return object;
}

void AddFloor(CMesh* mesh)
{
    std::vector<Quad> light, dark;
    const CkvrVector3 up(0.0f, 1.0f, 0.0f);
    for (int row = 0; row < 10; ++row)
    {
        for (int column = 0; column < 10; ++column)
        {
            const float x0 = -kHalf + column * kTile, z0 = -kHalf + row * kTile;
            const Quad tile = {{{x0, 0, z0}, {x0, 0, z0 + kTile}, {x0 + kTile, 0, z0 + kTile}, {x0 + kTile, 0, z0}}, up};
            ((row + column) % 2 == 0 ? light : dark).push_back(tile);
        }
    }
    mesh->GetObjectList()->Add(Object("TilesLight", light, 0.62f, 0.64f, 0.58f));
    mesh->GetObjectList()->Add(Object("TilesDark", dark, 0.42f, 0.45f, 0.40f));
}

void AddRampAndWalls(CMesh* mesh)
{
    // The ramp of the ground model: from (10, 0) up to (20, 4), 10 wide,
    // with its two sides and the ledge's face.
    const CkvrVector3 slope(-0.371391f, 0.928477f, 0.0f);
    const std::vector<Quad> ramp = {
        {{{10, 0, -5}, {10, 0, 5}, {20, 4, 5}, {20, 4, -5}}, slope},
        {{{10, 0, -5}, {20, 4, -5}, {20, 0, -5}, {20, 0, -5}}, {0, 0, -1}},
        {{{10, 0, 5}, {20, 0, 5}, {20, 4, 5}, {20, 4, 5}}, {0, 0, 1}},
        {{{20, 0, -5}, {20, 4, -5}, {20, 4, 5}, {20, 0, 5}}, {1, 0, 0}},
    };
    mesh->GetObjectList()->Add(Object("Ramp", ramp, 0.75f, 0.55f, 0.35f));
    const float h = kWallHeight, e = kHalf;
    const std::vector<Quad> walls = {
        {{{-e, 0, -e}, {-e, h, -e}, {e, h, -e}, {e, 0, -e}}, {0, 0, 1}},
        {{{e, 0, e}, {e, h, e}, {-e, h, e}, {-e, 0, e}}, {0, 0, -1}},
        {{{-e, 0, e}, {-e, h, e}, {-e, h, -e}, {-e, 0, -e}}, {1, 0, 0}},
        {{{e, 0, -e}, {e, h, -e}, {e, h, e}, {e, 0, e}}, {-1, 0, 0}},
    };
    mesh->GetObjectList()->Add(Object("Walls", walls, 0.45f, 0.55f, 0.7f));
}
}

std::vector<uint8_t> ArenaLook::Model()
{
    CMesh mesh;
    AddFloor(&mesh);
    AddRampAndWalls(&mesh);
    char* data = nullptr;
    size_t size = 0;
    std::vector<uint8_t> bytes;
    FILE* stream = open_memstream(&data, &size);
    if (stream != nullptr)
    {
        CWriteMesh writer;
        const uint32_t written = writer.WriteToStream(&mesh, stream);
        std::fclose(stream);
        if (written)
            bytes.assign(data, data + size);
        std::free(data);
    }
    mesh.Release();
    return bytes;
}

void ArenaLook::Dress(CStageDefinition* stage)
{
    stage->displayName = kModelName;
}
