#pragma once

#include "engine/platform/GraphicsTypes.h"

#include <cstdint>

class CkvrMatrix;
class CSystem;
class CShader;
class DeviceSurface;
class DeviceTexture;
class GraphicsDevice;

// The graphics object that textures and shaders draw through: the device,
// the cached stage-0 texture and vertex format, the current render target
// and the lighting and fog switches that world quads turn off and on.
//
// Interim version: only the part the texture and shader classes use. The
// full object (device creation, blend modes, 2D/3D presets, reset
// protocol) replaces it.
class CGraphics
{
public:
    CGraphics() = default;
    ~CGraphics();

    CGraphics(const CGraphics&) = delete;
    CGraphics& operator=(const CGraphics&) = delete;

    // Works on a device made elsewhere (tests, tools); hands itself to the
    // drawing classes and creates the default effect. 1/0.
    int CreateOnDevice(GraphicsDevice* device, CSystem* system);
    void Destroy();
    // Drops the default effect before a device reset and makes it again
    // afterwards (the two halves of the reset protocol that concern it).
    void ReleaseDefaultEffect();
    int RecreateDefaultEffect();

    GraphicsDevice* GetDevice() const { return m_device; }
    CSystem* GetSystem() const { return m_system; }

    void SetTexture(DeviceTexture* texture);
    void SetFVF(uint32_t fvf);
    void SetLighting(uint32_t lighting);
    void SetFogEnable(uint32_t fog);
    uint32_t GetLighting() const { return m_lighting; }
    uint32_t GetFogEnable() const { return m_fogEnable; }
    int SetRenderTarget(DeviceSurface* surface);
    DeviceSurface* GetCurrentRenderTarget() const { return m_renderTarget; }
    void SetWorldTransform(const CkvrMatrix* matrix);
    DeviceResult DrawPrimitiveUP(uint32_t type, uint32_t count, const void* vertices, uint32_t stride);
    // The current camera's viewport origin; 0, 0 without a camera.
    void GetViewportOrigin(float* origin) const;

    static CShader* GetDefaultShader() { return s_defaultShader; }
    static void SetDefaultShader(CShader* shader) { s_defaultShader = shader; }

private:
    GraphicsDevice* m_device = nullptr;
    CSystem* m_system = nullptr;
    DeviceTexture* m_texture = nullptr;
    uint32_t m_fvf = 0;
    uint32_t m_lighting = 0;
    uint32_t m_fogEnable = 0;
    DeviceSurface* m_renderTarget = nullptr;

    static CShader* s_defaultShader;
};
