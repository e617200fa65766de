#pragma once

#include "engine/platform/device/DeviceResource.h"
#include "engine/platform/device/GraphicsTypes.h"

#include <cstdint>
#include <vector>

// A vertex or index buffer: a GL buffer object with a CPU copy that Lock
// hands out and Unlock uploads.
class DeviceBuffer : public DeviceResource
{
public:
    enum Kind
    {
        KIND_VERTEX,
        KIND_INDEX,
    };

    // format: the FVF of a vertex buffer (may be 0), or FORMAT_INDEX16 /
    // FORMAT_INDEX32 of an index buffer.
    DeviceBuffer(GraphicsDevice* device, Kind kind, uint32_t length, uint32_t usage, uint32_t format);
    ~DeviceBuffer() override;

    bool IsValid() const { return m_name != 0; }

    // size 0 locks from offset to the end.
    DeviceResult Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags);
    DeviceResult Unlock();

    Kind GetKind() const { return m_kind; }
    uint32_t GetLength() const { return m_length; }
    uint32_t GetUsage() const { return m_usage; }
    uint32_t GetFormat() const { return m_format; }
    uint32_t GetIndexSize() const { return m_format == FORMAT_INDEX32 ? 4u : 2u; }
    unsigned GetGlName() const { return m_name; }

protected:
    void FreeGlObjects() override;

private:
    Kind m_kind;
    uint32_t m_length = 0;
    uint32_t m_usage = 0;
    uint32_t m_format = 0;
    unsigned m_name = 0;
    std::vector<uint8_t> m_copy;
    bool m_locked = false;
    uint32_t m_lockOffset = 0;
    uint32_t m_lockSize = 0;
    uint32_t m_lockFlags = 0;
};
