#include "engine/render/CBasicFilter.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/BuiltInEffects.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"

#include <algorithm>
#include <cstring>

namespace
{
const char* const TECHNIQUES[] = {"SepiaFilter", "MonochromeFilter", "BrightFilter", "BasicFilter"};

constexpr uint32_t FVF_QUAD = FVF_XYZRHW | FVF_TEX1;

struct QuadVertex
{
    float x, y, z, rhw;
    float u, v;
};
static_assert(sizeof(QuadVertex) == 24, "filter quads are 24-byte vertices");
}

int CBasicFilter::LoadEffect()
{
    const std::vector<uint8_t>& image = BuiltInEffects::GetBasicFilterImage();
    return LoadShaderFromMemory(image.data(), "BasicFilter.shd", static_cast<uint32_t>(image.size()), 0, 1);
}

int CBasicFilter::Create()
{
    return LoadEffect();
}

int CBasicFilter::CreateWithTargets(uint32_t width, uint32_t height, uint32_t format, uint32_t depthFormat)
{
    if (!CreateTargets(width, height, format, depthFormat, 2) || !LoadEffect())
        return 0;
    float windowWidth = 0.0f;
    float windowHeight = 0.0f;
    GetWindowSize(&windowWidth, &windowHeight);
    m_source = CRect(0.0f, windowWidth, 0.0f, windowHeight);
    m_destination = CRect(0.0f, std::min(static_cast<float>(width), windowWidth), 0.0f,
                          std::min(static_cast<float>(height), windowHeight));
    return 1;
}

int CBasicFilter::SetColorTechnique(const char* technique)
{
    if (technique == nullptr)
        return 0;
    for (const char* known : TECHNIQUES)
    {
        if (std::strcmp(known, technique) == 0)
        {
            m_technique = known;
            return 1;
        }
    }
    return 0;
}

int CBasicFilter::SetMinBright(const float* rgb)
{
    if (m_shader == nullptr || rgb == nullptr)
        return 0;
    const float vector[4] = {rgb[0], rgb[1], rgb[2], 0.0f};
    return m_shader->SetVector("g_MinBright", vector);
}

template <class DrawCall>
int CBasicFilter::DrawThrough(CTexture* texture, DrawCall draw)
{
    if (texture == nullptr || m_shader == nullptr || s_graphics == nullptr)
        return 0;
    if (!m_shader->SetTechnique(m_technique) || !m_shader->Begin(nullptr, 0))
        return 0;
    m_shader->SetTexture("g_Texture", texture);
    m_shader->BeginPass(0);
    draw();
    s_graphics->SetTexture(nullptr);
    m_shader->EndPass();
    m_shader->End();
    return 1;
}

int CBasicFilter::Draw(CTexture* texture, float x, float y, const float* src, uint32_t color, uint8_t flip)
{
    return DrawThrough(texture, [&] { texture->Draw(x, y, src, color, flip); });
}

int CBasicFilter::DrawRect(CTexture* texture, const float* dst, const float* src, uint32_t color, uint8_t flip)
{
    return DrawThrough(texture, [&] { texture->DrawRect(dst, src, color, flip); });
}

int CBasicFilter::DrawScaled(CTexture* texture, float x, float y, const float* src, float scale, uint32_t color,
                             uint8_t flip, int center)
{
    return DrawThrough(texture, [&] { texture->DrawScaled(x, y, src, scale, color, flip, center); });
}

int CBasicFilter::DrawScaledEx(CTexture* texture, float x, float y, const float* src, float scale, uint32_t color,
                               uint8_t flip, int center, uint8_t anchor)
{
    return DrawThrough(texture, [&] { texture->DrawScaledEx(x, y, src, scale, color, flip, center, anchor); });
}

int CBasicFilter::DrawScaledZ(CTexture* texture, float x, float y, float z, const float* src, float scale,
                              uint32_t color, uint8_t flip, int center)
{
    return DrawThrough(texture, [&] { texture->DrawScaledZ(x, y, z, src, scale, color, flip, center); });
}

int CBasicFilter::DrawScaledXY(CTexture* texture, float x, float y, const float* src, float sx, float sy,
                               uint32_t color, uint8_t flip, int cx, int cy)
{
    return DrawThrough(texture, [&] { texture->DrawScaledXY(x, y, src, sx, sy, color, flip, cx, cy); });
}

int CBasicFilter::DrawScaledXYEx(CTexture* texture, float x, float y, const float* src, float sx, float sy,
                                 uint32_t color, uint8_t flip, int cx, int cy, uint8_t anchor)
{
    return DrawThrough(texture, [&] { texture->DrawScaledXYEx(x, y, src, sx, sy, color, flip, cx, cy, anchor); });
}

int CBasicFilter::DrawScaledXYZ(CTexture* texture, float x, float y, float z, const float* src, float sx, float sy,
                                uint32_t color, uint8_t flip, int cx, int cy)
{
    return DrawThrough(texture, [&] { texture->DrawScaledXYZ(x, y, z, src, sx, sy, color, flip, cx, cy); });
}

int CBasicFilter::DrawScaledImpl(CTexture* texture, float x, float y, float z, const float* src, float sx, float sy,
                                 uint32_t color, uint8_t flip, int cx, int cy, uint8_t anchor)
{
    return DrawThrough(texture,
                       [&] { texture->DrawScaledImpl(x, y, z, src, sx, sy, color, flip, cx, cy, anchor); });
}

int CBasicFilter::ApplySepia()
{
    CTexture* scene = GetTarget(0);
    if (s_graphics == nullptr || s_graphics->GetDevice() == nullptr || m_shader == nullptr || scene == nullptr ||
        GetTarget(1) == nullptr || s_graphics->GetCamera() == nullptr)
        return 0;
    const float tw = static_cast<float>(scene->GetWidth());
    const float th = static_cast<float>(scene->GetHeight());
    const CRect& d = m_destination;
    const QuadVertex quad[4] = {
        {d.left, d.top, 0.0f, 1.0f, m_source.left / tw, m_source.top / th},
        {d.right, d.top, 0.0f, 1.0f, m_source.right / tw, m_source.top / th},
        {d.right, d.bottom, 0.0f, 1.0f, m_source.right / tw, m_source.bottom / th},
        {d.left, d.bottom, 0.0f, 1.0f, m_source.left / tw, m_source.bottom / th},
    };

    DeviceSurface* target = s_graphics->GetCurrentRenderTarget();
    DeviceSurface* depth = s_graphics->GetCurrentDepthStencil();
    if (m_shader->SetTechnique(m_technique) && m_shader->Begin(nullptr, 0))
    {
        ClearTarget(1);
        m_shader->SetTexture("g_Texture", scene);
        m_shader->BeginPass(0);
        s_graphics->SetFVF(FVF_QUAD);
        s_graphics->DrawPrimitiveUP(PT_TRIANGLEFAN, 2, quad, sizeof(QuadVertex));
        m_shader->EndPass();
        m_shader->End();
    }
    s_graphics->SetRenderTarget(target);
    s_graphics->SetDepthStencilSurface(depth);

    s_graphics->SetBlendMode(1);
    GraphicsDevice* device = s_graphics->GetDevice();
    device->SetSamplerState(0, SAMP_MINFILTER, TEXF_NONE);
    device->SetSamplerState(0, SAMP_MAGFILTER, TEXF_NONE);
    // The texture draw places the rectangle at the viewport origin itself.
    const int result = DrawTarget(&m_destination, &m_destination, m_color, 1);
    device->SetSamplerState(0, SAMP_MINFILTER, TEXF_LINEAR);
    device->SetSamplerState(0, SAMP_MAGFILTER, TEXF_LINEAR);
    return result;
}
