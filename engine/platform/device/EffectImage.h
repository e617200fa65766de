#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The engine's effect image: what an effect is made of, in memory or in an
// effect file (the same bytes). GLSL sources, the named parameters the
// engine sets, and named techniques whose passes each pair a vertex and a
// fragment source. Every number is little-endian:
//
//   char[4] "KFX1"; u32 version (1)
//   u32 source count;     per source: string (GLSL text)
//   u32 parameter count;  per parameter:
//       string name; u8 type; u8 rows; u8 columns; u32 elements
//       (sampler only) string texture parameter name;
//                      u8 min filter, u8 mag filter, u8 mip filter,
//                      u8 address u, u8 address v
//   u32 technique count;  per technique:
//       string name; u32 pass count;
//       per pass: string name; u32 vertex source; u32 fragment source
//
// A string is a u32 length that counts a terminating NUL, then the bytes
// with that NUL. Numeric parameters are uniforms of the same name in the
// sources; a matrix of R rows and C columns (row vectors on the left) is
// a GLSL matRxC. A sampler parameter is a sampler2D uniform that reads the
// texture parameter it names.
struct EffectParameterDesc
{
    enum Type : uint8_t
    {
        TYPE_FLOAT = 0,
        TYPE_INT = 1,
        TYPE_BOOL = 2,
        TYPE_TEXTURE = 3,
        TYPE_SAMPLER = 4,
        TYPE_STRING = 5,
        TYPE_COUNT
    };

    std::string name;
    uint8_t type = TYPE_FLOAT;
    uint8_t rows = 1;    // 1 for scalars and vectors
    uint8_t columns = 1; // components of a vector
    uint32_t elements = 1;
    // Samplers only.
    std::string texture;
    uint8_t minFilter = 2; // TextureFilter values
    uint8_t magFilter = 2;
    uint8_t mipFilter = 0;
    uint8_t addressU = 3; // TextureAddress values (clamp)
    uint8_t addressV = 3;

    bool IsNumeric() const { return type == TYPE_FLOAT || type == TYPE_INT || type == TYPE_BOOL; }
    // Components of the whole parameter (every element).
    uint32_t GetComponentCount() const { return static_cast<uint32_t>(rows) * columns * elements; }
};

struct EffectPassDesc
{
    std::string name;
    uint32_t vertexSource = 0;
    uint32_t fragmentSource = 0;
};

struct EffectTechniqueDesc
{
    std::string name;
    std::vector<EffectPassDesc> passes;
};

class EffectImage
{
public:
    static constexpr uint32_t VERSION = 1;
    // Bounds that keep a damaged image from asking for absurd amounts.
    static constexpr uint32_t MAX_ELEMENTS = 4096;
    static constexpr uint32_t MAX_DIMENSION = 4;

    // Reads an image; false (and the object left empty) when the bytes are
    // not a whole, consistent image: every count, length and index is
    // checked against the bytes present and the tables read.
    bool Read(const void* data, size_t size);
    // The bytes of the image.
    std::vector<uint8_t> Write() const;

    void Clear();

    std::vector<std::string> sources;
    std::vector<EffectParameterDesc> parameters;
    std::vector<EffectTechniqueDesc> techniques;
};
