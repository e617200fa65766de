#include "engine/platform/CPrimitiveList.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/device/DeviceBuffer.h"
#include "engine/platform/device/GraphicsDevice.h"

#include <cmath>
#include <cstring>

CGraphics* CPrimitiveList::s_graphics = nullptr;

namespace
{
constexpr uint32_t SUPPORTED_FVF = FVF_XYZ | FVF_NORMAL | FVF_DIFFUSE | FVF_TEX1;
constexpr uint32_t POSITION_BYTES = 12;
constexpr uint32_t NORMAL_BYTES = 12;
constexpr uint32_t COLOR_BYTES = 4;
constexpr uint32_t TEXCOORD_BYTES = 8;

CPrimitiveList::RenderHooks g_hooks;

// Each channel times 255 truncated toward zero, its low byte.
uint32_t ChannelByte(float value)
{
    if (!(std::fabs(value) < 1.0e6f))
        return 0;
    return static_cast<uint32_t>(static_cast<int32_t>(value * 255.0f)) & 0xFF;
}

uint32_t ToArgb(const CkvrVector4& color)
{
    return ChannelByte(color.w) << 24 | ChannelByte(color.x) << 16 | ChannelByte(color.y) << 8 |
           ChannelByte(color.z);
}

uint8_t* Put(uint8_t* out, const void* data, uint32_t bytes)
{
    std::memcpy(out, data, bytes);
    return out + bytes;
}
}

void CPrimitiveList::SetRenderHooks(const RenderHooks& hooks)
{
    g_hooks = hooks;
}

CPrimitiveList::CPrimitiveList() = default;

CPrimitiveList::~CPrimitiveList()
{
    CPrimitiveList::Release();
}

void CPrimitiveList::ReleaseBuffers()
{
    if (s_graphics != nullptr)
    {
        // The cache must not keep naming buffers that are gone.
        const GraphicsStateCache* cache = s_graphics->GetStateCache();
        if (cache->indices != nullptr && cache->indices == m_indexBuffer.get())
            s_graphics->SetIndices(nullptr);
        if (cache->streamBuffers != nullptr && cache->streamBuffers[0] != nullptr &&
            cache->streamBuffers[0] == m_vertexBuffer.get())
            s_graphics->SetStreamSource(nullptr, 0);
    }
    m_vertexBuffer.reset();
    m_indexBuffer.reset();
}

uint32_t CPrimitiveList::Release()
{
    if (m_vertices != nullptr)
    {
        m_vertices->Release();
        delete m_vertices;
        m_vertices = nullptr;
    }
    if (m_indices != nullptr)
    {
        m_indices->Release();
        delete m_indices;
        m_indices = nullptr;
    }
    ReleaseBuffers();
    return CObjectBase::Release();
}

uint32_t CPrimitiveList::VertexSize(uint32_t fvf)
{
    uint32_t size = 0;
    if ((fvf & FVF_POSITION_MASK) == FVF_XYZ)
        size += POSITION_BYTES;
    if (fvf & FVF_NORMAL)
        size += NORMAL_BYTES;
    if (fvf & FVF_DIFFUSE)
        size += COLOR_BYTES;
    if (fvf & FVF_TEX1)
        size += TEXCOORD_BYTES;
    return size;
}

// ---------------------------------------------------------------------------
// Building

int CPrimitiveList::Build(uint32_t columns, uint32_t rows, uint32_t stride, uint32_t fvf, uint32_t indexSize)
{
    GraphicsDevice* device = s_graphics != nullptr ? s_graphics->GetDevice() : nullptr;
    if (device == nullptr || columns < 2 || rows < 2 || (indexSize != 2 && indexSize != 4) ||
        (fvf & ~SUPPORTED_FVF) != 0 || (fvf & FVF_POSITION_MASK) != FVF_XYZ || stride < VertexSize(fvf))
        return 0;
    const uint64_t vertexCount = uint64_t(columns) * rows;
    const uint64_t indexCount = uint64_t(columns / 2) * 12 * (rows - 1);
    // 16-bit indices reach 65535; buffers stay well inside 32-bit sizes.
    if ((indexSize == 2 && vertexCount > 0x10000) || vertexCount * stride > 0x7FFFFFFF ||
        indexCount * indexSize > 0x7FFFFFFF)
        return 0;
    Release();
    m_columns = columns;
    m_rows = rows;
    m_stride = stride;
    m_fvf = fvf;
    m_indexSize = indexSize;
    m_drawCount = 0;

    m_vertices = new CList<tag_KVRMODELVERTEX>();
    m_indices = new CList<uint32_t>();
    if (!m_vertices->SetCount(static_cast<uint32_t>(vertexCount)) ||
        !m_indices->SetCount(static_cast<uint32_t>(indexCount)))
        return 0;
    // Each takes a raw pointer or an owning handle from the device alike.
    m_vertexBuffer =
        std::unique_ptr<DeviceBuffer>(device->CreateVertexBuffer(static_cast<uint32_t>(vertexCount) * stride, 0, fvf));
    m_indexBuffer = std::unique_ptr<DeviceBuffer>(device->CreateIndexBuffer(
        static_cast<uint32_t>(indexCount) * indexSize, 0, indexSize == 2 ? FORMAT_INDEX16 : FORMAT_INDEX32));
    if (!m_vertexBuffer || !m_indexBuffer)
        return 0;
    return FillIndices();
}

int CPrimitiveList::FillIndices()
{
    // Each quad twice, once in each winding, so that the ribbon shows from
    // both sides.
    uint32_t* index = m_indices->GetData();
    for (uint32_t r = 0; r + 1 < m_rows; ++r)
    {
        for (uint32_t a = 0; a + 1 < m_columns; a += 2)
        {
            const uint32_t A = r * m_columns + a;
            const uint32_t B = r * m_columns + a + 1;
            const uint32_t C = A + m_columns;
            const uint32_t D = B + m_columns;
            const uint32_t quad[12] = {A, C, B, C, D, B, A, B, C, C, B, D};
            std::memcpy(index, quad, sizeof quad);
            index += 12;
        }
    }
    void* data = nullptr;
    if (DeviceFailed(m_indexBuffer->Lock(0, 0, &data, 0)))
        return 0;
    const uint32_t count = m_indices->GetCount();
    if (m_indexSize == 4)
        std::memcpy(data, m_indices->GetData(), size_t(count) * 4);
    else
    {
        uint16_t* out = static_cast<uint16_t*>(data);
        for (uint32_t i = 0; i < count; ++i)
            out[i] = static_cast<uint16_t>(m_indices->GetData()[i]);
    }
    return DeviceFailed(m_indexBuffer->Unlock()) ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Drawing

uint32_t CPrimitiveList::GetDrawnVertices() const
{
    if (m_columns == 0 || m_vertices == nullptr)
        return 0;
    const uint32_t available = m_drawCount < m_vertices->GetCount() ? m_drawCount : m_vertices->GetCount();
    const uint32_t rows = available / m_columns;
    return rows >= 2 ? rows * m_columns : 0;
}

uint32_t CPrimitiveList::GetDrawnTriangles() const
{
    const uint32_t vertices = GetDrawnVertices();
    if (vertices == 0)
        return 0;
    return (vertices / m_columns - 1) * PairCount() * 4;
}

int CPrimitiveList::FillVertices(uint32_t count)
{
    void* data = nullptr;
    if (DeviceFailed(m_vertexBuffer->Lock(0, 0, &data, 0)))
        return 0;
    const tag_KVRMODELVERTEX* records = m_vertices->GetData();
    for (uint32_t i = 0; i < count; ++i)
    {
        const tag_KVRMODELVERTEX& vertex = records[i];
        uint8_t* out = static_cast<uint8_t*>(data) + size_t(i) * m_stride;
        out = Put(out, &vertex.position, POSITION_BYTES);
        if (m_fvf & FVF_NORMAL)
            out = Put(out, &vertex.normal, NORMAL_BYTES);
        if (m_fvf & FVF_DIFFUSE)
        {
            const uint32_t argb = ToArgb(vertex.color);
            out = Put(out, &argb, COLOR_BYTES);
        }
        if (m_fvf & FVF_TEX1)
            Put(out, vertex.uv[0], TEXCOORD_BYTES);
    }
    return DeviceFailed(m_vertexBuffer->Unlock()) ? 0 : 1;
}

void CPrimitiveList::SetStreams()
{
    if (s_graphics == nullptr)
        return;
    s_graphics->SetStreamSource(m_vertexBuffer.get(), m_stride);
    s_graphics->SetIndices(m_indexBuffer.get());
}

int CPrimitiveList::Render(uintptr_t argument)
{
    if (s_graphics == nullptr || s_graphics->GetDevice() == nullptr || !m_vertexBuffer || !m_indexBuffer)
        return 0;
    if (argument != 0 && GetUseRenderList() != 0)
        return g_hooks.queue != nullptr ? g_hooks.queue(argument, this) : 0;
    const uint32_t vertices = GetDrawnVertices();
    if (vertices == 0)
        return 1;
    if (!FillVertices(vertices))
        return 0;
    s_graphics->SetWorldTransform(GetWorldMatrix());
    SetStreams();
    const bool lit = s_graphics->GetStateCache()->lighting != 0;
    const bool unlit = lit && (m_fvf & FVF_NORMAL) == 0;
    if (unlit)
        s_graphics->SetLighting(0);
    s_graphics->SetBlendMode(GetBlendMode());
    DeviceTexture* texture = nullptr;
    if (m_texture != nullptr && g_hooks.deviceTexture != nullptr)
        texture = g_hooks.deviceTexture(m_texture);
    s_graphics->SetTexture(texture);
    s_graphics->SetFVF(m_fvf);
    const DeviceResult result =
        s_graphics->GetDevice()->DrawIndexedPrimitive(PT_TRIANGLELIST, 0, 0, vertices, 0, GetDrawnTriangles());
    if (unlit)
        s_graphics->SetLighting(1);
    return DeviceFailed(result) ? 0 : 1;
}
