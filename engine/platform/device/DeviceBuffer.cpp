#include "engine/platform/device/DeviceBuffer.h"

#include "engine/platform/device/GraphicsDevice.h"

#include <epoxy/gl.h>

DeviceBuffer::DeviceBuffer(GraphicsDevice* device, Kind kind, uint32_t length, uint32_t usage, uint32_t format)
    : DeviceResource(device), m_kind(kind), m_length(length), m_usage(usage), m_format(format)
{
    if (m_device == nullptr || length == 0)
        return;
    m_copy.assign(length, 0);
    glGenBuffers(1, &m_name);
    // Uploads go through the copy-write target so that the bindings the
    // device keeps for drawing are left alone.
    glBindBuffer(GL_COPY_WRITE_BUFFER, m_name);
    glBufferData(GL_COPY_WRITE_BUFFER, length, nullptr, (usage & USAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    m_device->AddGlCalls(3);
}

DeviceBuffer::~DeviceBuffer()
{
    if (m_device != nullptr)
        FreeGlObjects();
}

void DeviceBuffer::FreeGlObjects()
{
    if (m_name == 0)
        return;
    m_device->ForgetGlBuffer(m_name);
    glDeleteBuffers(1, &m_name);
    m_device->AddGlCalls(1);
    m_name = 0;
}

DeviceResult DeviceBuffer::Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags)
{
    if (data == nullptr || m_name == 0 || m_locked)
        return DEVICE_ERROR_INVALID_CALL;
    if (offset > m_length)
        return DEVICE_ERROR_INVALID_CALL;
    if (size == 0)
        size = m_length - offset;
    if (size > m_length - offset)
        return DEVICE_ERROR_INVALID_CALL;
    m_locked = true;
    m_lockOffset = offset;
    m_lockSize = size;
    m_lockFlags = flags;
    *data = m_copy.data() + offset;
    return DEVICE_OK;
}

DeviceResult DeviceBuffer::Unlock()
{
    if (!m_locked)
        return DEVICE_ERROR_INVALID_CALL;
    m_locked = false;
    if ((m_lockFlags & LOCK_READONLY) || m_name == 0 || m_device == nullptr)
        return DEVICE_OK;
    glBindBuffer(GL_COPY_WRITE_BUFFER, m_name);
    glBufferSubData(GL_COPY_WRITE_BUFFER, m_lockOffset, m_lockSize, m_copy.data() + m_lockOffset);
    m_device->AddGlCalls(2);
    return DEVICE_OK;
}
