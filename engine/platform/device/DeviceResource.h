#pragma once

class GraphicsDevice;

// Base of the objects that a graphics device creates (buffers, textures,
// surfaces, declarations). The creator owns them through the handle that
// the device's Create* hands out; the device unbinds an object that is
// destroyed while bound. When the device
// goes first it frees their GL objects (its context is still current then)
// and the objects live on empty.
class DeviceResource
{
public:
    explicit DeviceResource(GraphicsDevice* device);
    virtual ~DeviceResource();

    DeviceResource(const DeviceResource&) = delete;
    DeviceResource& operator=(const DeviceResource&) = delete;

    GraphicsDevice* GetDevice() const { return m_device; }

    // Called by the device while its context is current, just before it
    // is destroyed.
    void DetachFromDevice();

protected:
    virtual void FreeGlObjects() = 0;

    GraphicsDevice* m_device = nullptr;
};
