#include "engine/platform/device/DeviceResource.h"

#include "engine/platform/device/GraphicsDevice.h"

DeviceResource::DeviceResource(GraphicsDevice* device) : m_device(device)
{
    if (m_device != nullptr)
        m_device->RegisterResource(this);
}

DeviceResource::~DeviceResource()
{
    if (m_device != nullptr)
        m_device->UnregisterResource(this);
}

void DeviceResource::DetachFromDevice()
{
    FreeGlObjects();
    m_device = nullptr;
}
