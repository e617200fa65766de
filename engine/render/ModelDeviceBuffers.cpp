#include "engine/render/ModelDeviceBuffers.h"

#include "engine/core/CkvrMatrix.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/device/GraphicsDevice.h"

#include <cstring>

namespace
{
void PutFloats(uint8_t* out, const float* values, int count)
{
    std::memcpy(out, values, sizeof(float) * static_cast<size_t>(count));
}

void PutVector(uint8_t* out, const CkvrVector3& v)
{
    const float values[3] = {v.x, v.y, v.z};
    PutFloats(out, values, 3);
}

void PutU32(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t Channel(float value)
{
    // Truncation towards zero, low byte kept: 1.0 gives 255, 1.5 gives 126.
    const float scaled = value * 255.0f;
    if (!(scaled > -2147483648.0f && scaled < 2147483648.0f))
        return 0;
    return static_cast<uint32_t>(static_cast<int32_t>(scaled)) & 0xFFu;
}

GraphicsDevice* DeviceOf(CGraphics* graphics)
{
    return graphics != nullptr ? graphics->GetDevice() : nullptr;
}
}

uint32_t ModelDeviceBuffers::PackColor(const CkvrVector4& color)
{
    return Channel(color.w) << 24 | Channel(color.x) << 16 | Channel(color.y) << 8 | Channel(color.z);
}

void ModelDeviceBuffers::PackVertex(const tag_KVRMODELVERTEX& vertex, uint8_t* out)
{
    PutVector(out + 0, vertex.position);
    PutFloats(out + 12, vertex.boneWeight, 4);
    std::memcpy(out + 28, vertex.boneIndex, 4);
    PutVector(out + 32, vertex.normal);
    PutU32(out + 44, PackColor(vertex.color));
    PutFloats(out + 48, vertex.uv[0], 2);
}

ModelBufferHandle ModelDeviceBuffers::CreateVertexBuffer(CGraphics* graphics, const CModelVertexList& vertices)
{
    GraphicsDevice* device = DeviceOf(graphics);
    const uint64_t bytes = uint64_t(vertices.GetCount()) * KVR_MODEL_VERTEX_STRIDE;
    if (device == nullptr || bytes == 0 || bytes > UINT32_MAX)
        return nullptr;
    ModelBufferHandle buffer(device->CreateVertexBuffer(static_cast<uint32_t>(bytes), 0, 0));
    if (buffer == nullptr)
        return nullptr;
    void* data = nullptr;
    if (buffer->Lock(0, 0, &data, 0) != DEVICE_OK || data == nullptr)
        return nullptr;
    uint8_t* out = static_cast<uint8_t*>(data);
    for (uint32_t i = 0; i < vertices.GetCount(); ++i)
        PackVertex(*vertices.GetAt(i), out + size_t(i) * KVR_MODEL_VERTEX_STRIDE);
    if (buffer->Unlock() != DEVICE_OK)
        return nullptr;
    return buffer;
}

ModelBufferHandle ModelDeviceBuffers::CreateIndexBuffer(CGraphics* graphics, const CList<uint32_t>& indices)
{
    GraphicsDevice* device = DeviceOf(graphics);
    const uint32_t count = indices.GetCount();
    if (device == nullptr || count == 0)
        return nullptr;
    const uint32_t* source = indices.GetData();
    bool wide = false;
    for (uint32_t i = 0; i < count && !wide; ++i)
        wide = source[i] > 0xFFFFu;
    const uint32_t indexSize = wide ? 4 : 2;
    if (uint64_t(count) * indexSize > UINT32_MAX)
        return nullptr;
    ModelBufferHandle buffer(device->CreateIndexBuffer(count * indexSize, 0, wide ? FORMAT_INDEX32 : FORMAT_INDEX16));
    if (buffer == nullptr)
        return nullptr;
    void* data = nullptr;
    if (buffer->Lock(0, 0, &data, 0) != DEVICE_OK || data == nullptr)
        return nullptr;
    if (wide)
        std::memcpy(data, source, size_t(count) * 4);
    else
    {
        uint16_t* out = static_cast<uint16_t*>(data);
        for (uint32_t i = 0; i < count; ++i)
            out[i] = static_cast<uint16_t>(source[i]);
    }
    if (buffer->Unlock() != DEVICE_OK)
        return nullptr;
    return buffer;
}

ModelDeclarationHandle ModelDeviceBuffers::CreateDeclaration(CGraphics* graphics)
{
    GraphicsDevice* device = DeviceOf(graphics);
    if (device == nullptr)
        return nullptr;
    // The bone indices are fed as four unsigned bytes: the default effect
    // reads them as integers, in the order they are packed.
    const VertexElement elements[] = {
        {0, 0, DECLTYPE_FLOAT3, 0, DECLUSAGE_POSITION, 0},
        {0, 12, DECLTYPE_FLOAT4, 0, DECLUSAGE_BLENDWEIGHT, 0},
        {0, 28, DECLTYPE_UBYTE4, 0, DECLUSAGE_BLENDINDICES, 0},
        {0, 32, DECLTYPE_FLOAT3, 0, DECLUSAGE_NORMAL, 0},
        {0, 44, DECLTYPE_COLOR, 0, DECLUSAGE_COLOR, 0},
        {0, 48, DECLTYPE_FLOAT2, 0, DECLUSAGE_TEXCOORD, 0},
        VERTEX_ELEMENT_END,
    };
    return ModelDeclarationHandle(device->CreateVertexDeclaration(elements));
}

int ModelDeviceBuffers::SkinVertices(DeviceBuffer* buffer, const CModelVertexList& vertices,
                                     const CkvrMatrix* palette, uint32_t boneCount)
{
    if (buffer == nullptr || palette == nullptr)
        return 0;
    if (uint64_t(vertices.GetCount()) * KVR_MODEL_VERTEX_STRIDE > buffer->GetLength())
        return 0;
    void* data = nullptr;
    if (buffer->Lock(0, 0, &data, 0) != DEVICE_OK || data == nullptr)
        return 0;
    uint8_t* out = static_cast<uint8_t*>(data);
    for (uint32_t i = 0; i < vertices.GetCount(); ++i)
    {
        const tag_KVRMODELVERTEX& v = *vertices.GetAt(i);
        CkvrVector3 p;
        CkvrVector3 n;
        const uint32_t influences = v.influences < KVR_MAX_INFLUENCES ? v.influences : KVR_MAX_INFLUENCES;
        for (uint32_t k = 0; k < influences; ++k)
        {
            if (v.boneIndex[k] >= boneCount)
                continue;
            const CkvrMatrix& m = palette[v.boneIndex[k]];
            p = p + v.position.GetTransform(m) * v.boneWeight[k];
            n = n + v.normal.GetTransform(m) * v.boneWeight[k];
        }
        uint8_t* slot = out + size_t(i) * KVR_MODEL_VERTEX_STRIDE;
        PutVector(slot + 0, p);
        PutVector(slot + 32, n);
    }
    return buffer->Unlock() == DEVICE_OK ? 1 : 0;
}
