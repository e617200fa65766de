#pragma once

#include "engine/core/CRect.h"
#include "engine/render/CFilter.h"

#include <cstdint>

// Colour treatments of the built-in "BasicFilter.shd" effect: textures
// drawn through it (sepia unless another technique is chosen), and a
// full-screen pass over its first target. Two targets when made with
// CreateWithTargets: 0 receives the scene, 1 the treated image.
class CBasicFilter : public CFilter
{
public:
    CBasicFilter() = default;

    int Create();
    int CreateWithTargets(uint32_t width, uint32_t height, uint32_t format, uint32_t depthFormat);

    // The technique of the draws and of ApplySepia: "SepiaFilter" (the
    // default), "MonochromeFilter", "BrightFilter" or "BasicFilter". 0 for
    // any other name, the technique unchanged.
    int SetColorTechnique(const char* technique);
    const char* GetColorTechnique() const { return m_technique; }
    // What BrightFilter subtracts (r, g, b in 0..1).
    int SetMinBright(const float* rgb);

    // Each draws the texture with the arguments of the CTexture draw of the
    // same name through the effect. 0 without a texture or an effect.
    int Draw(CTexture* texture, float x, float y, const float* src, uint32_t color, uint8_t flip);
    int DrawRect(CTexture* texture, const float* dst, const float* src, uint32_t color, uint8_t flip);
    int DrawScaled(CTexture* texture, float x, float y, const float* src, float scale, uint32_t color, uint8_t flip,
                   int center);
    int DrawScaledEx(CTexture* texture, float x, float y, const float* src, float scale, uint32_t color,
                     uint8_t flip, int center, uint8_t anchor);
    int DrawScaledZ(CTexture* texture, float x, float y, float z, const float* src, float scale, uint32_t color,
                    uint8_t flip, int center);
    int DrawScaledXY(CTexture* texture, float x, float y, const float* src, float sx, float sy, uint32_t color,
                     uint8_t flip, int cx, int cy);
    int DrawScaledXYEx(CTexture* texture, float x, float y, const float* src, float sx, float sy, uint32_t color,
                       uint8_t flip, int cx, int cy, uint8_t anchor);
    int DrawScaledXYZ(CTexture* texture, float x, float y, float z, const float* src, float sx, float sy,
                      uint32_t color, uint8_t flip, int cx, int cy);
    int DrawScaledImpl(CTexture* texture, float x, float y, float z, const float* src, float sx, float sy,
                       uint32_t color, uint8_t flip, int cx, int cy, uint8_t anchor);

    // Target 0's source rectangle through the effect into target 1, then
    // target 1 over the destination rectangle of the current render target.
    // Needs the targets, the effect and a current camera.
    int ApplySepia();

    void SetSourceRect(const CRect& rect) { m_source = rect; }
    const CRect& GetSourceRect() const { return m_source; }
    void SetDestinationRect(const CRect& rect) { m_destination = rect; }
    const CRect& GetDestinationRect() const { return m_destination; }
    void SetColor(uint32_t color) { m_color = color; }
    uint32_t GetColor() const { return m_color; }

private:
    // Runs one texture draw inside the technique's pass.
    template <class DrawCall>
    int DrawThrough(CTexture* texture, DrawCall draw);
    int LoadEffect();

    CRect m_source;
    CRect m_destination;
    uint32_t m_color = 0xFFFFFFFF;
    const char* m_technique = "SepiaFilter";
};
