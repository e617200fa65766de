#pragma once

#include "engine/platform/device/GraphicsTypes.h"

#include <cstdint>

// Where each attribute of a vertex lies, worked out once from a flexible
// vertex format or a vertex declaration. Offsets are bytes from the start
// of the vertex in the attribute's stream; -1 means absent.
//
// Attributes without a fixed-function array go to generic attributes that
// effect programs declare at these locations.
enum : uint32_t
{
    VERTEX_ATTRIB_BLENDWEIGHT = 6,
    VERTEX_ATTRIB_BLENDINDICES = 7,
    VERTEX_ATTRIB_TANGENT = 14,
    VERTEX_ATTRIB_BINORMAL = 15,
};

struct VertexAttribute
{
    int32_t offset = -1;
    uint8_t stream = 0;
    uint8_t type = DECLTYPE_UNUSED;
    bool Present() const { return offset >= 0; }
};

class VertexLayout
{
public:
    static constexpr int MAX_TEXCOORDS = 8;

    static VertexLayout FromFvf(uint32_t fvf);
    // Reads up to the end marker or 64 elements.
    static VertexLayout FromElements(const VertexElement* elements);

    // Size of one vertex of an FVF; 0 for a declaration (strides come with
    // the stream sources).
    uint32_t stride = 0;
    bool pretransformed = false;
    VertexAttribute position;
    VertexAttribute normal;
    VertexAttribute diffuse;
    VertexAttribute specular;
    VertexAttribute texcoord[MAX_TEXCOORDS];
    VertexAttribute blendWeight;
    VertexAttribute blendIndices;
    VertexAttribute tangent;
    VertexAttribute binormal;
    uint32_t streamMask = 0; // bit n: an attribute reads stream n
};

// Components and GL type of a declaration type; false when the type is
// not one the device can feed.
bool GetDeclarationTypeInfo(uint8_t type, int* components, unsigned* glType, bool* normalized);
uint32_t GetDeclarationTypeSize(uint8_t type);
