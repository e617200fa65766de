#include "engine/render/CHDRFilter.h"

#include "engine/core/CkvrVector4.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/BuiltInEffects.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"

#include <algorithm>
#include <cmath>

namespace
{
enum : uint32_t
{
    TARGET_SCENE = 0,
    TARGET_GLOW = 1,
    TARGET_HORIZONTAL = 2,
    TARGET_BLUR = 3,
};

constexpr uint32_t FVF_QUAD = FVF_XYZRHW | FVF_TEX1;

struct QuadVertex
{
    float x, y, z, rhw;
    float u, v;
};
static_assert(sizeof(QuadVertex) == 24, "filter quads are 24-byte vertices");

uint32_t WhiteWithAlpha(uint32_t alpha)
{
    return (std::min(alpha, 255u) << 24) | 0x00FFFFFF;
}

void SetSamplerFilters(uint32_t filter)
{
    GraphicsDevice* device = CFilter::GetGraphics()->GetDevice();
    device->SetSamplerState(0, SAMP_MINFILTER, filter);
    device->SetSamplerState(0, SAMP_MAGFILTER, filter);
}
}

void CHDRFilter::ComputeWeights(float spread, float weights[8])
{
    float total = 0.0f;
    for (int i = 0; i < 8; ++i)
    {
        const float x = static_cast<float>(2 * i + 1);
        weights[i] = std::exp(-0.5f * x * x / spread);
        total += weights[i];
    }
    total *= 2.0f;
    for (int i = 0; i < 8; ++i)
        weights[i] /= total;
}

int CHDRFilter::Create(uint32_t width, uint32_t height, uint32_t format, uint32_t depthFormat)
{
    if (!CreateTargets(width, height, format, depthFormat, TARGET_COUNT))
        return 0;
    const std::vector<uint8_t>& image = BuiltInEffects::GetGaussFilterImage();
    if (!LoadShaderFromMemory(image.data(), "GaussFilter.shd", static_cast<uint32_t>(image.size()), 0, 1))
        return 0;
    float windowWidth = 0.0f;
    float windowHeight = 0.0f;
    GetWindowSize(&windowWidth, &windowHeight);
    m_screen = CRect(0.0f, windowWidth, 0.0f, windowHeight);
    m_blur = CRect(0.0f, std::min(windowWidth / 2.0f, static_cast<float>(width)), 0.0f,
                   std::min(windowHeight / 2.0f, static_cast<float>(height)));
    return SetupBlur();
}

int CHDRFilter::SetupBlur()
{
    CTexture* target = GetTarget(TARGET_SCENE);
    if (target == nullptr || m_shader == nullptr || target->GetWidth() == 0 || target->GetHeight() == 0)
        return 0;
    const float tw = static_cast<float>(target->GetWidth());
    const float th = static_cast<float>(target->GetHeight());
    CkvrVector4 offsetX[8];
    CkvrVector4 offsetY[8];
    for (int i = 0; i < 8; ++i)
    {
        offsetX[i] = CkvrVector4(static_cast<float>(i + 1) / tw * static_cast<float>(m_offsetScaleX), 0.0f, 0.0f, 0.0f);
        offsetY[i] = CkvrVector4(0.0f, static_cast<float>(i + 1) / th * static_cast<float>(m_offsetScaleY), 0.0f, 0.0f);
    }
    float weights[8];
    ComputeWeights(m_spread, weights);
    if (!m_shader->SetVectorArray("OffsetX", &offsetX[0].x, 8) || !m_shader->SetVectorArray("OffsetY", &offsetY[0].x, 8) ||
        !m_shader->SetFloatArray("Weight", weights, 8))
        return 0;
    return m_shader->SetTechnique("GaussFilter");
}

int CHDRFilter::BeginCapture(uint32_t)
{
    if (s_graphics == nullptr || GetTargetCount() < TARGET_COUNT)
        return 0;
    DeviceSurface* target = s_graphics->GetCurrentRenderTarget();
    DeviceSurface* depth = s_graphics->GetCurrentDepthStencil();
    ClearTarget(TARGET_SCENE);
    ClearTarget(TARGET_GLOW);
    ClearDepth();
    s_graphics->SetRenderTarget(target);
    s_graphics->SetDepthStencilSurface(depth);
    return 1;
}

void CHDRFilter::DrawQuad(const CRect& position, const CRect& texels, float targetWidth, float targetHeight)
{
    const float l = texels.left / targetWidth;
    const float t = texels.top / targetHeight;
    const float r = texels.right / targetWidth;
    const float b = texels.bottom / targetHeight;
    const QuadVertex vertices[4] = {
        {position.left, position.top, 0.0f, 1.0f, l, t},
        {position.right, position.top, 0.0f, 1.0f, r, t},
        {position.right, position.bottom, 0.0f, 1.0f, r, b},
        {position.left, position.bottom, 0.0f, 1.0f, l, b},
    };
    s_graphics->DrawPrimitiveUP(PT_TRIANGLEFAN, 2, vertices, sizeof(QuadVertex));
}

int CHDRFilter::Blur()
{
    const CTexture* scene = GetTarget(TARGET_SCENE);
    const float tw = static_cast<float>(scene->GetWidth());
    const float th = static_cast<float>(scene->GetHeight());
    s_graphics->SetFVF(FVF_QUAD);
    s_graphics->SetBlendMode(1);
    if (!m_shader->Begin(nullptr, 0))
        return 0;
    for (uint32_t pass = 0; pass < m_blurPasses; ++pass)
    {
        // The first pass halves the glow target into the blur rectangle;
        // later ones blur the blur again in place.
        ClearTarget(TARGET_HORIZONTAL);
        m_shader->SetTexture("g_Texture", GetTarget(pass == 0 ? TARGET_GLOW : TARGET_BLUR));
        m_shader->BeginPass(0);
        DrawQuad(m_blur, pass == 0 ? m_screen : m_blur, tw, th);
        m_shader->EndPass();
        ClearTarget(TARGET_BLUR);
        m_shader->SetTexture("g_Texture", GetTarget(TARGET_HORIZONTAL));
        m_shader->BeginPass(1);
        DrawQuad(m_blur, m_blur, tw, th);
        m_shader->EndPass();
    }
    m_shader->End();
    return 1;
}

int CHDRFilter::Apply(uint32_t)
{
    if (s_graphics == nullptr || s_graphics->GetDevice() == nullptr || m_shader == nullptr ||
        GetTargetCount() < TARGET_COUNT)
        return 0;
    DeviceSurface* target = s_graphics->GetCurrentRenderTarget();
    DeviceSurface* depth = s_graphics->GetCurrentDepthStencil();
    if (m_feedback)
    {
        // Last frame's blur, stretched back over the screen, joins the glow.
        SetRenderTarget(TARGET_GLOW);
        s_graphics->SetBlendMode(2);
        DrawTarget(&m_screen, &m_blur, WhiteWithAlpha(m_feedbackAlpha), TARGET_BLUR);
    }
    Blur();
    s_graphics->SetRenderTarget(target);
    s_graphics->SetDepthStencilSurface(depth);
    s_graphics->SetBlendMode(1);

    SetSamplerFilters(TEXF_NONE);
    int result = DrawTarget(&m_screen, &m_screen, 0xFFFFFFFF, TARGET_SCENE);
    s_graphics->SetBlendMode(2);
    result &= DrawTarget(&m_screen, &m_screen, WhiteWithAlpha(m_glowAlpha), TARGET_GLOW);
    SetSamplerFilters(TEXF_LINEAR);
    result &= DrawTarget(&m_screen, &m_blur, m_blurColor, TARGET_BLUR);
    return result != 0 ? 1 : 0;
}
