#pragma once

#include "engine/core/CResourceBase.h"

#include <cstdint>
#include <memory>

class CGraphics;
class CkvrMatrix;
class CkvrPackFile;
class DeviceSurface;
class DeviceTexture;

// Placement flags of sprites and text.
enum KVRDRAWANCHOR : uint8_t
{
    KVRDRAWANCHOR_LEFT = 1,
    KVRDRAWANCHOR_HCENTER = 2,
    KVRDRAWANCHOR_RIGHT = 4,
    KVRDRAWANCHOR_TOP = 16,
    KVRDRAWANCHOR_VCENTER = 32,
    KVRDRAWANCHOR_BOTTOM = 64,
    KVRDRAWANCHOR_DEFAULT = 17,
    KVRDRAWANCHOR_ROTATED_DEFAULT = 34,
};

// 0 as is, 1 mirrored left-right, 2 top-bottom, 3 both, 4 quarter turn
// clockwise, 5 anticlockwise (4 and 5 swap the drawn width and height).
enum KVRDRAWFLIP : uint8_t
{
    KVRDRAWFLIP_NONE = 0,
    KVRDRAWFLIP_HORIZONTAL = 1,
    KVRDRAWFLIP_VERTICAL = 2,
    KVRDRAWFLIP_BOTH = 3,
    KVRDRAWFLIP_CLOCKWISE = 4,
    KVRDRAWFLIP_ANTICLOCKWISE = 5,
};

// Image file formats of SaveToFile.
enum : uint32_t
{
    KVRIMAGE_BMP = 0,
    KVRIMAGE_PNG = 3,
};

// A texture from an image (BMP, PNG, DDS) in a file, in memory or in a
// pack, or an empty render target; and the calls that draw it as a 2D
// sprite or a quad in the world. Positions of 2D draws are pixels of the
// current camera's viewport; a source rectangle (left, top, right, bottom)
// is in pixels of the source image, null for all of it.
class CTexture : public CResourceBase
{
public:
    CTexture();
    ~CTexture() override;

    static void SetGraphics(CGraphics* graphics) { s_graphics = graphics; }
    static CGraphics* GetGraphics() { return s_graphics; }

    uint32_t Release() override;
    const char* GetClassName() const override { return "CTexture"; }

    // Creation; each first drops what the object held. 1/0.
    int CreateFromFile(const char* fileName);
    int CreateFromMemory(const void* data, const char* name, uint32_t size);
    int CreateFromPack(CkvrPackFile* pack, const char* name);
    int CreateRenderTarget(uint32_t width, uint32_t height, uint32_t usage, uint32_t format, uint32_t pool);

    int SetAsRenderTarget();
    DeviceSurface* GetSurface();
    int SaveToFile(const char* fileName, uint32_t fileFormat, const float* rect);
    int Clear();
    int Fill(uint32_t argb);
    // Packed 3-byte pixels, rows of 3 x width bytes, into level 0.
    int SetPixelsRGB24(uint32_t width, uint32_t height, const uint8_t* pixels);
    void PixelToUV(const float* pixel, float* uv) const;

    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }
    uint32_t GetUsage() const { return m_usage; }
    uint32_t GetFormat() const { return m_format; }
    uint32_t GetPool() const { return m_pool; }
    DeviceTexture* GetDeviceTexture() const { return m_texture.get(); }

    void GetCornerUVs(const float* src, float* topLeft, float* bottomLeft, float* topRight, float* bottomRight,
                      uint8_t flip) const;

    // 2D draws (results are the device's).
    int Draw(float x, float y, const float* src, uint32_t color, uint8_t flip);
    int DrawEx(float x, float y, const float* src, uint32_t color, uint8_t flip, uint8_t anchor);
    int DrawZ(float x, float y, float z, const float* src, uint32_t color, uint8_t flip);
    int DrawImpl(float x, float y, float z, const float* src, uint32_t color, uint8_t flip, uint8_t anchor);
    int DrawRect(const float* dst, const float* src, uint32_t color, uint8_t flip);
    int DrawScaled(float x, float y, const float* src, float scale, uint32_t color, uint8_t flip, int center);
    int DrawScaledEx(float x, float y, const float* src, float scale, uint32_t color, uint8_t flip, int center,
                     uint8_t anchor);
    int DrawScaledZ(float x, float y, float z, const float* src, float scale, uint32_t color, uint8_t flip,
                    int center);
    int DrawScaledXY(float x, float y, const float* src, float sx, float sy, uint32_t color, uint8_t flip, int cx,
                     int cy);
    int DrawScaledXYEx(float x, float y, const float* src, float sx, float sy, uint32_t color, uint8_t flip, int cx,
                       int cy, uint8_t anchor);
    int DrawScaledXYZ(float x, float y, float z, const float* src, float sx, float sy, uint32_t color, uint8_t flip,
                      int cx, int cy);
    int DrawScaledImpl(float x, float y, float z, const float* src, float sx, float sy, uint32_t color, uint8_t flip,
                       int cx, int cy, uint8_t anchor);
    int DrawRotated(float x, float y, const float* src, float angle, uint32_t color, uint8_t flip);
    int DrawRotatedScaled(float x, float y, const float* src, float angle, float sx, float sy, uint32_t color,
                          uint8_t flip);
    int DrawRotatedImpl(float x, float y, const float* src, float angle, float sx, float sy, uint32_t color,
                        uint8_t flip, uint8_t anchor);
    int DrawSector(float x, float y, float z, const float* src, float radius, float start, float end,
                   uint32_t color);

    // Quads in the world.
    int DrawPolygon(const CkvrMatrix* world, const float* src, uint32_t color);
    int DrawPolygonFit(const CkvrMatrix* world, const float* src, uint32_t color);
    int DrawWorld(const float* position, const float* scale, const float* rotation, const float* src,
                  uint32_t color);
    // Needs the current camera's projection; draws nothing without one.
    int DrawBillboard(const CkvrMatrix* world, float bias, const float* src, uint32_t color);

private:
    void ReleaseTexture();
    int CreateFromImage(const void* data, uint32_t size);
    void SourceRect(const float* src, float out[4]) const;
    int DrawQuad(const float corners[4][2], float z, const float* src, uint32_t color, uint8_t flip);
    int DrawWorldQuad(const CkvrMatrix* world, float a, float b, const float* src, uint32_t color);
    int LockLevel0(void** bits, uint32_t* pitch);

    std::unique_ptr<DeviceTexture> m_texture;
    DeviceSurface* m_surface = nullptr;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_usage = 0;
    uint32_t m_format = 0;
    uint32_t m_pool = 0;

    static CGraphics* s_graphics;
};
