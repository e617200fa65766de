// The stand-in arena's display model: tiles, ramp and walls as coloured
// quads, written through the engine's own model writer.
#include "tools/datakit/ArenaLook.h"

#include "engine/render/CMesh.h"
#include "engine/render/CModelObject.h"
#include "tools/datakit/ModelBuilding.h"

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

// One object of quads in one colour.
CModelObject* Object(const char* name, const std::vector<Quad>& quads, float r, float g, float b)
{
    CModelObject* object = new CModelObject();
    object->SetName(name);
    std::vector<uint32_t> indices;
    for (const Quad& quad : quads)
        ModelBuilding::AddQuad(object, &indices, quad.corners, quad.normal, -1);
    ModelBuilding::FinishObject(object, indices, ModelBuilding::FlatMaterial(CkvrVector4(r, g, b, 1.0f), 0.7f, 0.15f));
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
    std::vector<uint8_t> bytes = ModelBuilding::WriteModel(&mesh);
    mesh.Release();
    return bytes;
}

void ArenaLook::Dress(CStageDefinition* stage)
{
    stage->displayName = kModelName;
}
