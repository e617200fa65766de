#include "engine/platform/device/VertexLayout.h"

#include <epoxy/gl.h>

namespace
{
VertexAttribute At(int32_t offset, uint8_t type)
{
    VertexAttribute attribute;
    attribute.offset = offset;
    attribute.type = type;
    return attribute;
}

uint8_t TexcoordType(uint32_t fvf, int index)
{
    // Two bits per set above bit 16: 0 two floats, 1 three, 2 four, 3 one.
    static const uint8_t types[4] = {DECLTYPE_FLOAT2, DECLTYPE_FLOAT3, DECLTYPE_FLOAT4, DECLTYPE_FLOAT1};
    return types[(fvf >> (16 + index * 2)) & 3];
}
}

uint32_t GetDeclarationTypeSize(uint8_t type)
{
    switch (type)
    {
    case DECLTYPE_FLOAT1: return 4;
    case DECLTYPE_FLOAT2: return 8;
    case DECLTYPE_FLOAT3: return 12;
    case DECLTYPE_FLOAT4: return 16;
    case DECLTYPE_COLOR:
    case DECLTYPE_UBYTE4:
    case DECLTYPE_UBYTE4N:
    case DECLTYPE_SHORT2: return 4;
    case DECLTYPE_SHORT4: return 8;
    default: return 0;
    }
}

bool GetDeclarationTypeInfo(uint8_t type, int* components, unsigned* glType, bool* normalized)
{
    int count = 0;
    unsigned gl = GL_FLOAT;
    bool norm = false;
    switch (type)
    {
    case DECLTYPE_FLOAT1: count = 1; break;
    case DECLTYPE_FLOAT2: count = 2; break;
    case DECLTYPE_FLOAT3: count = 3; break;
    case DECLTYPE_FLOAT4: count = 4; break;
    case DECLTYPE_COLOR: count = GL_BGRA; gl = GL_UNSIGNED_BYTE; norm = true; break;
    case DECLTYPE_UBYTE4: count = 4; gl = GL_UNSIGNED_BYTE; break;
    case DECLTYPE_UBYTE4N: count = 4; gl = GL_UNSIGNED_BYTE; norm = true; break;
    case DECLTYPE_SHORT2: count = 2; gl = GL_SHORT; break;
    case DECLTYPE_SHORT4: count = 4; gl = GL_SHORT; break;
    default: return false;
    }
    if (components != nullptr)
        *components = count;
    if (glType != nullptr)
        *glType = gl;
    if (normalized != nullptr)
        *normalized = norm;
    return true;
}

VertexLayout VertexLayout::FromFvf(uint32_t fvf)
{
    VertexLayout layout;
    int32_t offset = 0;
    const uint32_t position = fvf & FVF_POSITION_MASK;
    if (position == FVF_XYZRHW)
    {
        layout.position = At(0, DECLTYPE_FLOAT4);
        layout.pretransformed = true;
        offset = 16;
    }
    else if (position >= FVF_XYZ && position <= FVF_XYZB5)
    {
        layout.position = At(0, DECLTYPE_FLOAT3);
        offset = 12;
        // XYZB1..B5: 1..5 blend values after the position; with the
        // UBYTE4 flag the last one holds the packed bone indices.
        const int betas = static_cast<int>((position - FVF_XYZ) / 2);
        if (betas > 0)
        {
            int weights = betas;
            if (fvf & FVF_LASTBETA_UBYTE4)
                --weights;
            if (weights > 0)
                layout.blendWeight = At(offset, static_cast<uint8_t>(DECLTYPE_FLOAT1 + (weights > 4 ? 3 : weights - 1)));
            offset += weights * 4;
            if (fvf & FVF_LASTBETA_UBYTE4)
            {
                layout.blendIndices = At(offset, DECLTYPE_UBYTE4);
                offset += 4;
            }
        }
    }
    if (fvf & FVF_NORMAL)
    {
        layout.normal = At(offset, DECLTYPE_FLOAT3);
        offset += 12;
    }
    if (fvf & FVF_PSIZE)
        offset += 4;
    if (fvf & FVF_DIFFUSE)
    {
        layout.diffuse = At(offset, DECLTYPE_COLOR);
        offset += 4;
    }
    if (fvf & FVF_SPECULAR)
    {
        layout.specular = At(offset, DECLTYPE_COLOR);
        offset += 4;
    }
    const int texcoords = static_cast<int>((fvf & FVF_TEXCOUNT_MASK) >> FVF_TEXCOUNT_SHIFT);
    for (int i = 0; i < texcoords && i < MAX_TEXCOORDS; ++i)
    {
        const uint8_t type = TexcoordType(fvf, i);
        layout.texcoord[i] = At(offset, type);
        offset += static_cast<int32_t>(GetDeclarationTypeSize(type));
    }
    layout.stride = static_cast<uint32_t>(offset);
    layout.streamMask = offset > 0 ? 1u : 0u;
    return layout;
}

VertexLayout VertexLayout::FromElements(const VertexElement* elements)
{
    VertexLayout layout;
    if (elements == nullptr)
        return layout;
    for (int i = 0; i < 64 && elements[i].stream != 0xFF; ++i)
    {
        const VertexElement& element = elements[i];
        if (element.stream >= 16 || GetDeclarationTypeSize(element.type) == 0)
            continue;
        VertexAttribute attribute = At(element.offset, element.type);
        attribute.stream = static_cast<uint8_t>(element.stream);
        VertexAttribute* target = nullptr;
        switch (element.usage)
        {
        case DECLUSAGE_POSITION:
            target = element.usageIndex == 0 ? &layout.position : nullptr;
            break;
        case DECLUSAGE_POSITIONT:
            target = &layout.position;
            layout.pretransformed = true;
            break;
        case DECLUSAGE_NORMAL: target = element.usageIndex == 0 ? &layout.normal : nullptr; break;
        case DECLUSAGE_COLOR:
            target = element.usageIndex == 0 ? &layout.diffuse : element.usageIndex == 1 ? &layout.specular : nullptr;
            break;
        case DECLUSAGE_TEXCOORD:
            target = element.usageIndex < MAX_TEXCOORDS ? &layout.texcoord[element.usageIndex] : nullptr;
            break;
        case DECLUSAGE_BLENDWEIGHT: target = &layout.blendWeight; break;
        case DECLUSAGE_BLENDINDICES: target = &layout.blendIndices; break;
        case DECLUSAGE_TANGENT: target = &layout.tangent; break;
        case DECLUSAGE_BINORMAL: target = &layout.binormal; break;
        default: break;
        }
        if (target == nullptr)
            continue;
        *target = attribute;
        layout.streamMask |= 1u << element.stream;
    }
    return layout;
}
