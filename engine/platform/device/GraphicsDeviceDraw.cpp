#include "engine/platform/device/GraphicsDevice.h"

#include "engine/platform/device/DeviceBuffer.h"
#include "engine/platform/device/DeviceSurface.h"
#include "engine/platform/device/DeviceTexture.h"
#include "engine/platform/device/DeviceVertexDeclaration.h"
#include "engine/platform/device/GlEnums.h"

#include <algorithm>

// Draws from the device's buffers and from memory through the streaming
// buffers.

namespace
{
constexpr uint32_t STREAM_VERTEX_BYTES = 1u << 20;
constexpr uint32_t STREAM_INDEX_BYTES = 1u << 18;
}

// ---------------------------------------------------------------------------
// Drawing

uint32_t GraphicsDevice::VerticesForPrimitives(uint32_t type, uint32_t primitiveCount)
{
    if (primitiveCount == 0)
        return 0;
    switch (type)
    {
    case PT_POINTLIST: return primitiveCount;
    case PT_LINELIST: return primitiveCount * 2;
    case PT_LINESTRIP: return primitiveCount + 1;
    case PT_TRIANGLELIST: return primitiveCount * 3;
    case PT_TRIANGLESTRIP:
    case PT_TRIANGLEFAN: return primitiveCount + 2;
    default: return 0;
    }
}

const VertexLayout& GraphicsDevice::CurrentLayout() const
{
    return m_declaration != nullptr ? m_declaration->GetLayout() : m_fvfLayout;
}

uint32_t GraphicsDevice::TargetWidth() const
{
    return m_renderTarget != nullptr ? m_renderTarget->GetWidth() : 0;
}

uint32_t GraphicsDevice::TargetHeight() const
{
    return m_renderTarget != nullptr ? m_renderTarget->GetHeight() : 0;
}

DeviceResult GraphicsDevice::PrepareBufferDraw(const VertexLayout& layout, uint32_t type)
{
    GlStream streams[MAX_STREAMS];
    for (uint32_t i = 0; i < MAX_STREAMS; ++i)
    {
        const StreamSource& source = m_streams[i];
        if ((layout.streamMask & (1u << i)) && (source.buffer == nullptr || !source.buffer->IsValid()))
            return DEVICE_ERROR_INVALID_CALL;
        if (source.buffer != nullptr)
            streams[i] = {source.buffer->GetGlName(), source.offset, source.stride};
    }
    const DeviceResult prepared = PrepareDraw(layout, type);
    if (DeviceFailed(prepared))
        return prepared;
    ApplyArrays(layout, streams);
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount)
{
    const uint32_t vertexCount = VerticesForPrimitives(type, primitiveCount);
    const VertexLayout& layout = CurrentLayout();
    if (vertexCount == 0 || !layout.position.Present())
        return DEVICE_ERROR_INVALID_CALL;
    const DeviceResult prepared = PrepareBufferDraw(layout, type);
    if (DeviceFailed(prepared))
        return prepared;
    KVR_GL(glDrawArrays(GlPrimitive(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(vertexCount)));
    ++m_draws;
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::DrawIndexedPrimitive(uint32_t type, int32_t baseVertexIndex, uint32_t minIndex,
                                                  uint32_t vertexCount, uint32_t startIndex, uint32_t primitiveCount)
{
    (void)minIndex;
    (void)vertexCount;
    const uint32_t indexCount = VerticesForPrimitives(type, primitiveCount);
    const VertexLayout& layout = CurrentLayout();
    if (indexCount == 0 || m_indices == nullptr || !m_indices->IsValid() || !layout.position.Present())
        return DEVICE_ERROR_INVALID_CALL;
    const uint32_t indexSize = m_indices->GetIndexSize();
    if (static_cast<uint64_t>(startIndex + indexCount) * indexSize > m_indices->GetLength())
        return DEVICE_ERROR_INVALID_CALL;
    const DeviceResult prepared = PrepareBufferDraw(layout, type);
    if (DeviceFailed(prepared))
        return prepared;
    BindElementBuffer(m_indices->GetGlName());
    const GLenum indexType = indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
    KVR_GL(glDrawElementsBaseVertex(GlPrimitive(type), static_cast<GLsizei>(indexCount), indexType,
                                    reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * indexSize),
                                    baseVertexIndex));
    ++m_draws;
    return DEVICE_OK;
}

void GraphicsDevice::OrphanStreamBuffer(unsigned target, uint32_t& capacity, uint32_t needed)
{
    // Draws still reading the old storage keep it; new data goes to fresh
    // memory from the start.
    const uint32_t minimum = target == GL_ARRAY_BUFFER ? STREAM_VERTEX_BYTES : STREAM_INDEX_BYTES;
    if (capacity < needed || capacity < minimum)
        capacity = std::max(needed * 2, minimum);
    KVR_GL(glBufferData(target, capacity, nullptr, GL_STREAM_DRAW));
}

uint32_t GraphicsDevice::UploadToStream(unsigned target, uint32_t& capacity, uint32_t& cursor, uint32_t start,
                                        const void* data, uint32_t size)
{
    if (capacity < size || start + size > capacity)
    {
        OrphanStreamBuffer(target, capacity, size);
        start = 0;
    }
    KVR_GL(glBufferSubData(target, start, size, data));
    cursor = start + size;
    return start;
}

uint32_t GraphicsDevice::StreamVertices(const void* data, uint32_t size, uint32_t alignment)
{
    BindArrayBuffer(m_streamVertexBuffer);
    const uint32_t start = (m_streamVertexOffset + alignment - 1) / alignment * alignment;
    return UploadToStream(GL_ARRAY_BUFFER, m_streamVertexCapacity, m_streamVertexOffset, start, data, size);
}

uint32_t GraphicsDevice::StreamIndices(const void* data, uint32_t size)
{
    BindElementBuffer(m_streamIndexBuffer);
    const uint32_t start = (m_streamIndexOffset + 3u) & ~3u;
    return UploadToStream(GL_ELEMENT_ARRAY_BUFFER, m_streamIndexCapacity, m_streamIndexOffset, start, data, size);
}

DeviceResult GraphicsDevice::DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices,
                                             uint32_t stride)
{
    const uint32_t vertexCount = VerticesForPrimitives(type, primitiveCount);
    const VertexLayout& layout = CurrentLayout();
    if (vertexCount == 0 || vertices == nullptr || stride == 0 || !layout.position.Present())
        return DEVICE_ERROR_INVALID_CALL;
    const uint32_t size = vertexCount * stride;
    const DeviceResult prepared = PrepareDraw(layout, type);
    if (DeviceFailed(prepared))
        return prepared;

    // When the arrays already point into the streaming buffer with this
    // stride, the data goes to a whole number of vertices after where they
    // point and the draw starts at a later vertex: a run of similar draws
    // costs one upload and one draw call each.
    const ArrayBinding& position = m_gl.arrays[SLOT_POSITION];
    const uintptr_t positionOffset = static_cast<uintptr_t>(layout.position.offset);
    const bool keepArrays = position.buffer == m_streamVertexBuffer && position.stride == stride &&
                            position.pointer >= positionOffset &&
                            position.pointer - positionOffset <= m_streamVertexOffset;
    uint32_t base = keepArrays ? static_cast<uint32_t>(position.pointer - positionOffset) : 0;
    const uint32_t wanted = base + (m_streamVertexOffset - base + stride - 1) / stride * stride;
    uint32_t offset = 0;
    if (keepArrays && m_streamVertexCapacity >= size && wanted + size <= m_streamVertexCapacity)
    {
        BindArrayBuffer(m_streamVertexBuffer);
        offset = UploadToStream(GL_ARRAY_BUFFER, m_streamVertexCapacity, m_streamVertexOffset, wanted, vertices, size);
    }
    else
    {
        offset = StreamVertices(vertices, size, 4);
        base = offset;
    }

    GlStream streams[MAX_STREAMS];
    streams[0] = {m_streamVertexBuffer, base, stride};
    ApplyArrays(layout, streams);
    KVR_GL(glDrawArrays(GlPrimitive(type), static_cast<GLint>((offset - base) / stride),
                        static_cast<GLsizei>(vertexCount)));
    ++m_draws;
    // Drawing from memory leaves stream 0 and the indices unbound.
    m_streams[0] = StreamSource();
    m_indices = nullptr;
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::DrawIndexedPrimitiveUP(uint32_t type, uint32_t minIndex, uint32_t vertexCount,
                                                    uint32_t primitiveCount, const void* indices,
                                                    uint32_t indexFormat, const void* vertices, uint32_t stride)
{
    const uint32_t indexCount = VerticesForPrimitives(type, primitiveCount);
    const VertexLayout& layout = CurrentLayout();
    if (indexCount == 0 || indices == nullptr || vertices == nullptr || stride == 0 || vertexCount == 0 ||
        !layout.position.Present() || (indexFormat != FORMAT_INDEX16 && indexFormat != FORMAT_INDEX32))
        return DEVICE_ERROR_INVALID_CALL;
    const uint32_t indexSize = indexFormat == FORMAT_INDEX32 ? 4u : 2u;
    const DeviceResult prepared = PrepareDraw(layout, type);
    if (DeviceFailed(prepared))
        return prepared;
    // Indices address the vertex data from its start.
    const uint32_t vertexStart = StreamVertices(vertices, (minIndex + vertexCount) * stride, 16);
    const uint32_t indexStart = StreamIndices(indices, indexCount * indexSize);
    GlStream streams[MAX_STREAMS];
    streams[0] = {m_streamVertexBuffer, vertexStart, stride};
    ApplyArrays(layout, streams);
    BindElementBuffer(m_streamIndexBuffer);
    KVR_GL(glDrawElements(GlPrimitive(type), static_cast<GLsizei>(indexCount),
                          indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                          reinterpret_cast<const void*>(static_cast<uintptr_t>(indexStart))));
    ++m_draws;
    m_streams[0] = StreamSource();
    m_indices = nullptr;
    return DEVICE_OK;
}
