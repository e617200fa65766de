#pragma once

class GraphicsDevice;

// Base of the objects that a graphics device creates (buffers, textures,
// surfaces, declarations). The creator owns them and deletes them; the
// device unbinds an object that is deleted while bound. When the device
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

    // The engine's release idiom: frees the object.
    void Release() { delete this; }

    // Called by the device while its context is current, just before it
    // is destroyed.
    void DetachFromDevice();

protected:
    virtual void FreeGlObjects() = 0;

    GraphicsDevice* m_device = nullptr;
};
