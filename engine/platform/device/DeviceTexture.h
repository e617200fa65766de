#pragma once

#include "engine/platform/device/DeviceResource.h"
#include "engine/platform/device/GlFormat.h"
#include "engine/platform/device/GraphicsTypes.h"

#include <cstdint>
#include <memory>
#include <vector>

class DeviceSurface;

// A 2D texture with its mip levels. Lock hands out a CPU copy of one level
// in the engine's pixel layout (BGRA bytes for the 32-bit colour formats,
// rows top-down); Unlock uploads it. Render-target textures give their
// levels as surfaces.
class DeviceTexture : public DeviceResource
{
public:
    // levels 0: the full chain down to 1x1.
    DeviceTexture(GraphicsDevice* device, uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                  uint32_t format);
    ~DeviceTexture() override;

    bool IsValid() const { return m_name != 0; }
    uint32_t GetWidth(uint32_t level = 0) const;
    uint32_t GetHeight(uint32_t level = 0) const;
    uint32_t GetLevelCount() const { return m_levels; }
    uint32_t GetFormat() const { return m_format; }
    uint32_t GetUsage() const { return m_usage; }
    unsigned GetGlName() const { return m_name; }

    // rect null locks the whole level; pitch is the bytes of one row (of
    // blocks, for compressed formats).
    DeviceResult LockRect(uint32_t level, void** bits, uint32_t* pitch, const DeviceRect* rect, uint32_t flags);
    DeviceResult UnlockRect(uint32_t level);

    // The level as a surface to draw into; owned by the texture, valid as
    // long as it. Null for a level that does not exist.
    DeviceSurface* GetSurfaceLevel(uint32_t level);

    // Rebuilds levels 1.. from level 0.
    void GenerateMipmaps();

protected:
    void FreeGlObjects() override;

private:
    struct LevelCopy
    {
        std::vector<uint8_t> bytes;
        bool locked = false;
        uint32_t flags = 0;
        // The rectangle the lock was asked for; all of the level when
        // none was. Only it is uploaded at unlock.
        bool partial = false;
        DeviceRect rect{};
    };

    void Bind();
    void ReadLevel(uint32_t level, LevelCopy& copy);
    void UploadLevel(uint32_t level, const LevelCopy& copy);

    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_levels = 0;
    uint32_t m_usage = 0;
    uint32_t m_format = 0;
    GlFormat m_glFormat;
    unsigned m_name = 0;
    std::vector<LevelCopy> m_copies;
    std::vector<std::unique_ptr<DeviceSurface>> m_surfaces;
};
