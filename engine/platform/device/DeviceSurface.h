#pragma once

#include "engine/platform/device/DeviceResource.h"

#include <cstdint>

class DeviceTexture;

// Something a frame can draw into: a colour or depth-stencil renderbuffer
// (the back buffer, the automatic depth buffer, surfaces made on request),
// or one level of a render-target texture. Rows are stored top-down, as the
// engine addresses them.
class DeviceSurface : public DeviceResource
{
public:
    enum Kind
    {
        KIND_COLOR_BUFFER,
        KIND_DEPTH_STENCIL,
        KIND_TEXTURE_LEVEL,
    };

    // A renderbuffer of the format (a colour format or FORMAT_D24S8/D16).
    DeviceSurface(GraphicsDevice* device, uint32_t width, uint32_t height, uint32_t format);
    // Level `level` of a texture; the texture owns the surface.
    DeviceSurface(GraphicsDevice* device, DeviceTexture* texture, uint32_t level);
    ~DeviceSurface() override;

    bool IsValid() const { return m_kind == KIND_TEXTURE_LEVEL ? m_texture != nullptr : m_name != 0; }
    Kind GetKind() const { return m_kind; }
    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }
    uint32_t GetFormat() const { return m_format; }
    DeviceTexture* GetTexture() const { return m_texture; }
    uint32_t GetLevel() const { return m_level; }
    bool HasStencil() const;

    // Attaches the surface to the bound framebuffer `target` (GL enum).
    void AttachTo(unsigned target) const;

    // Counts the device's changes of the contents (draws, clears, copies,
    // uploads), so that a caller can tell whether the surface is untouched
    // since it last looked.
    uint64_t GetVersion() const { return m_version; }
    void Touch() { ++m_version; }

protected:
    void FreeGlObjects() override;

private:
    Kind m_kind;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_format = 0;
    unsigned m_name = 0;
    DeviceTexture* m_texture = nullptr;
    uint32_t m_level = 0;
    uint64_t m_version = 0;
};
