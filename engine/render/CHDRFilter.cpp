#include "engine/render/CHDRFilter.h"

#include "engine/core/CkvrVector4.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/device/DeviceSurface.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/BuiltInEffects.h"
#include "engine/render/GlowEffect.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>
#include <vector>

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

void ColorToFloats(uint32_t argb, float out[4])
{
    out[0] = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(argb & 0xFF) / 255.0f;
    out[3] = static_cast<float>(argb >> 24) / 255.0f;
}

// Rows between the blur and the halved glow below it that stay clear, so
// that filtered reads at the blur's edge find nothing there.
constexpr uint32_t kClearRows = 2;

// Device states one pass changes and puts back as it found them.
class SavedStates
{
public:
    SavedStates(GraphicsDevice* device, std::initializer_list<uint32_t> states) : m_device(device)
    {
        for (uint32_t state : states)
            m_saved.push_back({state, device->GetRenderState(state)});
    }
    ~SavedStates()
    {
        for (const auto& [state, value] : m_saved)
            m_device->SetRenderState(state, value);
    }
    SavedStates(const SavedStates&) = delete;
    SavedStates& operator=(const SavedStates&) = delete;

private:
    GraphicsDevice* m_device;
    std::vector<std::pair<uint32_t, uint32_t>> m_saved;
};

// The whole surface as the viewport, for passes that draw beside the
// window's part of a target.
void ViewWholeTarget(GraphicsDevice* device, DeviceSurface* surface)
{
    DeviceViewport viewport;
    viewport.width = surface->GetWidth();
    viewport.height = surface->GetHeight();
    device->SetViewport(viewport);
}

// Clears a rectangle of the current render target to transparent black.
void ClearRect(GraphicsDevice* device, uint32_t x, uint32_t y, uint32_t width, uint32_t height)
{
    const DeviceViewport saved = device->GetViewport();
    DeviceViewport viewport;
    viewport.x = x;
    viewport.y = y;
    viewport.width = width;
    viewport.height = height;
    if (!DeviceFailed(device->SetViewport(viewport)))
        device->Clear(CLEAR_TARGET, 0x00000000, 1.0f, 0);
    device->SetViewport(saved);
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

uint32_t CHDRFilter::Release()
{
    m_texelPasses.Release();
    return CFilter::Release();
}

int CHDRFilter::Create(uint32_t width, uint32_t height, uint32_t format, uint32_t depthFormat)
{
    m_texelPasses.Release();
    // New targets: opaque black, known to hold no glow.
    for (Kept& kept : m_kept)
        kept = Kept();
    m_keptDepth = Kept();
    m_blurBound = 0;
    m_blurMarginsClear = false;
    if (!CreateTargets(width, height, format, depthFormat, TARGET_COUNT))
        return 0;
    // Without its own passes the filter draws with the targets alone.
    const std::vector<uint8_t>& passes = GlowEffect::GetImage();
    m_texelPasses.CreateFromMemory(passes.data(), "GlowPasses", static_cast<uint32_t>(passes.size()), 0, 1);
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
    if (s_graphics == nullptr || s_graphics->GetDevice() == nullptr || GetTargetCount() < TARGET_COUNT)
        return 0;
    DeviceSurface* target = s_graphics->GetCurrentRenderTarget();
    DeviceSurface* depth = s_graphics->GetCurrentDepthStencil();
    ClearIfDrawn(TARGET_SCENE);
    ClearIfDrawn(TARGET_GLOW);
    ClearDepthIfDrawn();
    s_graphics->SetRenderTarget(target);
    s_graphics->SetDepthStencilSurface(depth);
    return 1;
}

// ---------------------------------------------------------------------------
// What the targets hold

bool CHDRFilter::Kept::Untouched(const DeviceSurface* surface) const
{
    return surface != nullptr && surface->GetVersion() == version;
}

bool CHDRFilter::Kept::StillClear(const DeviceSurface* surface, const DeviceViewport& now) const
{
    return clear && Untouched(surface) && cleared.x == now.x && cleared.y == now.y && cleared.width == now.width &&
           cleared.height == now.height;
}

void CHDRFilter::Kept::Mark(const DeviceSurface* surface, bool isClear, const DeviceViewport& viewport)
{
    version = surface != nullptr ? surface->GetVersion() : 0;
    clear = isClear;
    cleared = viewport;
}

DeviceSurface* CHDRFilter::SurfaceOf(uint32_t index) const
{
    CTexture* target = GetTarget(index);
    return target != nullptr ? target->GetSurface() : nullptr;
}

void CHDRFilter::MarkDrawn(uint32_t index)
{
    m_kept[index].Mark(SurfaceOf(index), false, DeviceViewport());
}

void CHDRFilter::ClearIfDrawn(uint32_t index)
{
    GraphicsDevice* device = s_graphics->GetDevice();
    if (!SetRenderTarget(index))
        return;
    // A target nothing has touched since it was cleared over the same part
    // is clear already.
    const DeviceViewport viewport = device->GetViewport();
    if (m_kept[index].StillClear(SurfaceOf(index), viewport))
        return;
    device->Clear(CLEAR_TARGET, 0x00000000, 1.0f, 0);
    m_kept[index].Mark(SurfaceOf(index), true, viewport);
}

void CHDRFilter::ClearDepthIfDrawn()
{
    GraphicsDevice* device = s_graphics->GetDevice();
    if (!SetDepthStencil())
        return;
    const DeviceViewport viewport = device->GetViewport();
    DeviceSurface* depth = m_depthSurface.get();
    if (m_keptDepth.StillClear(depth, viewport))
        return;
    device->Clear(CLEAR_ZBUFFER | CLEAR_STENCIL, 0, 1.0f, 0);
    m_keptDepth.Mark(depth, true, viewport);
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
    return TakesWholeTexels() ? ApplyWholeTexels() : ApplyTargetDraws();
}

void CHDRFilter::FeedBack()
{
    if (!m_feedback)
        return;
    // Last frame's blur, stretched back over the screen, joins the glow.
    SetRenderTarget(TARGET_GLOW);
    s_graphics->SetBlendMode(2);
    DrawTarget(&m_screen, &m_blur, WhiteWithAlpha(m_feedbackAlpha), TARGET_BLUR);
}

int CHDRFilter::ApplyTargetDraws()
{
    DeviceSurface* target = s_graphics->GetCurrentRenderTarget();
    DeviceSurface* depth = s_graphics->GetCurrentDepthStencil();
    FeedBack();
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
    // What the blur holds now is not followed on this path.
    for (uint32_t index : {TARGET_GLOW, TARGET_HORIZONTAL, TARGET_BLUR})
        MarkDrawn(index);
    m_blurBound = 255;
    m_blurMarginsClear = false;
    return result != 0 ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Whole texels
//
// The blur's first pass reads the glow target at the corners of 2 x 2
// texels, with filtering; every later pass, the scene and the glow objects
// are read at texel centres, where a read is the texel itself. So the
// corners are read once into a halved copy (with margins for the taps that
// reach past the edges, where the filter clamps), every pass after that
// adds whole texels, and nothing else is needed to draw the same picture.
//
// And where nothing glows (the glow target clear since the capture, the
// blur known to hold no colour), the feedback, the blur and their part of
// the composite add nothing: the scene target alone is drawn.

bool CHDRFilter::TakesWholeTexels() const
{
    if (m_texelPasses.GetEffect() == nullptr || s_graphics == nullptr || s_graphics->GetDevice() == nullptr ||
        GetTargetCount() < TARGET_COUNT)
        return false;
    const GraphicsDevice* device = s_graphics->GetDevice();
    const CTexture* scene = GetTarget(TARGET_SCENE);
    const uint32_t tw = scene->GetWidth();
    const uint32_t th = scene->GetHeight();
    const auto bw = static_cast<uint32_t>(m_blur.right);
    const auto bh = static_cast<uint32_t>(m_blur.bottom);
    const uint32_t margin = 4 * m_offsetScaleX;
    // The blur exactly half the window, from the corner.
    if (m_screen.left != 0.0f || m_screen.top != 0.0f || m_blur.left != 0.0f || m_blur.top != 0.0f || bw == 0 ||
        bh == 0 || static_cast<float>(bw) != m_blur.right || static_cast<float>(bh) != m_blur.bottom ||
        m_screen.right != 2.0f * m_blur.right || m_screen.bottom != 2.0f * m_blur.bottom)
        return false;
    // Taps of the first pass on whole halved texels; room for the halved
    // glow with its margins below the blur, short of the last row and
    // column, which the stretched blur reads wrapped at its far edges.
    if (m_blurPasses == 0 || m_offsetScaleX % 2 != 0 || bw + 2 * margin >= tw || 2 * bh + kClearRows >= th ||
        bh + 8 * m_offsetScaleY >= th)
        return false;
    // The blur passes drew inside the viewport, from its corner.
    const DeviceViewport& viewport = device->GetViewport();
    if (viewport.x != 0 || viewport.y != 0 || viewport.width < bw || viewport.height < bh)
        return false;
    // The stretched blur was read wrapped; the draws blended, and the alpha
    // test, if on, kept what was above its reference.
    if (device->GetSamplerState(0, SAMP_ADDRESSU) != TADDRESS_WRAP ||
        device->GetSamplerState(0, SAMP_ADDRESSV) != TADDRESS_WRAP ||
        device->GetRenderState(RS_ALPHABLENDENABLE) == 0)
        return false;
    return device->GetRenderState(RS_ALPHATESTENABLE) == 0 || device->GetRenderState(RS_ALPHAFUNC) == CMP_GREATER;
}

float CHDRFilter::AlphaReference() const
{
    const GraphicsDevice* device = s_graphics->GetDevice();
    if (device->GetRenderState(RS_ALPHATESTENABLE) == 0)
        return -1.0f;
    return static_cast<float>(device->GetRenderState(RS_ALPHAREF) & 0xFF) / 255.0f;
}

void CHDRFilter::DrawWholeTarget(const char* technique, const CRect& position, const CRect& texels)
{
    const CTexture* scene = GetTarget(TARGET_SCENE);
    m_texelPasses.SetTechnique(technique);
    if (!m_texelPasses.Begin(nullptr, 0) || !m_texelPasses.BeginPass(0))
        return;
    DrawQuad(position, texels, static_cast<float>(scene->GetWidth()), static_cast<float>(scene->GetHeight()));
    m_texelPasses.EndPass();
    m_texelPasses.End();
}

void CHDRFilter::FeedBackTexels()
{
    if (!m_feedback)
        return;
    // The target draw reads with stage 0's filters; the pass reads linear.
    const GraphicsDevice* device = s_graphics->GetDevice();
    if (device->GetSamplerState(0, SAMP_MINFILTER) != TEXF_LINEAR ||
        device->GetSamplerState(0, SAMP_MAGFILTER) != TEXF_LINEAR)
    {
        FeedBack();
        return;
    }
    SetRenderTarget(TARGET_GLOW);
    s_graphics->SetBlendMode(2);
    s_graphics->SetFVF(FVF_QUAD);
    float feedColor[4];
    ColorToFloats(WhiteWithAlpha(m_feedbackAlpha), feedColor);
    m_texelPasses.SetTexture("g_Blur", GetTarget(TARGET_BLUR));
    m_texelPasses.SetVector("FeedColor", feedColor);
    DrawWholeTarget("FeedBack", m_screen, m_blur);
}

void CHDRFilter::ClearBlurMargins()
{
    // The row below the blur and the column beside it, which filtered
    // reads at its edges meet, clear as the design's passes leave them;
    // the rows down to the halved glow and the columns over its margin too.
    GraphicsDevice* device = s_graphics->GetDevice();
    const auto bw = static_cast<uint32_t>(m_blur.right);
    const auto bh = static_cast<uint32_t>(m_blur.bottom);
    const uint32_t margin = 4 * m_offsetScaleX;
    ClearRect(device, 0, bh, bw + 2 * margin, kClearRows);
    ClearRect(device, bw, 0, 2 * margin, bh);
    m_blurMarginsClear = true;
}

void CHDRFilter::Halve(uint32_t margin, uint32_t below)
{
    // Halved texel j (from -margin) is read at the corner 2j + 1 of the
    // glow target; it lands at margin + j, `below` rows down.
    const auto bw = static_cast<float>(m_blur.right);
    const auto bh = static_cast<float>(m_blur.bottom);
    const float m = static_cast<float>(margin);
    const float y = static_cast<float>(below);
    m_texelPasses.SetTexture("g_Source", GetTarget(TARGET_GLOW));
    DrawWholeTarget("Halve", CRect(0.0f, bw + 2.0f * m, y, y + bh),
                    CRect(-2.0f * m, 2.0f * bw + 2.0f * m, 0.0f, 2.0f * bh));
}

void CHDRFilter::BlurPass(uint32_t source, const int32_t step[2], const int32_t origin[2], const int32_t low[2])
{
    m_texelPasses.SetTexture("g_Texels", GetTarget(source));
    m_texelPasses.SetIntArray("Step", step, 2);
    m_texelPasses.SetIntArray("Origin", origin, 2);
    m_texelPasses.SetIntArray("Low", low, 2);
    DrawWholeTarget("Blur", m_blur, m_blur);
}

void CHDRFilter::BlurTexels()
{
    GraphicsDevice* device = s_graphics->GetDevice();
    const auto bw = static_cast<uint32_t>(m_blur.right);
    const auto bh = static_cast<uint32_t>(m_blur.bottom);
    const uint32_t margin = 4 * m_offsetScaleX;
    const uint32_t below = bh + kClearRows;
    float weights[8];
    ComputeWeights(m_spread, weights);
    m_texelPasses.SetFloatArray("Weight", weights, 8);
    s_graphics->SetFVF(FVF_QUAD);
    s_graphics->SetBlendMode(0);
    // These passes test no depth; without a depth surface (the window's
    // would be smaller) they reach past the window's part of the targets.
    s_graphics->SetDepthStencilSurface(nullptr);

    // The halved glow goes below the blur in its target (read before
    // anything is written there this frame).
    SetRenderTarget(TARGET_BLUR);
    DeviceSurface* blurSurface = SurfaceOf(TARGET_BLUR);
    ViewWholeTarget(device, blurSurface);
    ClearBlurMargins();
    Halve(margin, below);

    const int32_t zero[2] = {0, 0};
    const int32_t across[2] = {static_cast<int32_t>(m_offsetScaleX), 0};
    const int32_t down[2] = {0, static_cast<int32_t>(m_offsetScaleY)};
    for (uint32_t pass = 0; pass < m_blurPasses; ++pass)
    {
        SetRenderTarget(TARGET_HORIZONTAL);
        ViewWholeTarget(device, SurfaceOf(TARGET_HORIZONTAL));
        if (pass == 0)
        {
            // The rows below the horizontal blur, which the vertical taps
            // reach, hold nothing (as the design's clears leave them).
            ClearRect(device, 0, bh, bw, 8 * m_offsetScaleY);
            // On the halved grid the taps step half as far; its margins
            // hold what the clamped reads past the edges found.
            const int32_t halfStep[2] = {static_cast<int32_t>(m_offsetScaleX / 2), 0};
            const int32_t origin[2] = {static_cast<int32_t>(margin), static_cast<int32_t>(below)};
            const int32_t low[2] = {-static_cast<int32_t>(margin), 0};
            BlurPass(TARGET_BLUR, halfStep, origin, low);
        }
        else
            BlurPass(TARGET_BLUR, across, zero, zero);
        SetRenderTarget(TARGET_BLUR);
        ViewWholeTarget(device, blurSurface);
        BlurPass(TARGET_HORIZONTAL, down, zero, zero);
    }
}

void CHDRFilter::CompositeTexels()
{
    float glowColor[4];
    float blurColor[4];
    ColorToFloats(WhiteWithAlpha(m_glowAlpha), glowColor);
    ColorToFloats(m_blurColor, blurColor);
    m_texelPasses.SetTexture("g_Scene", GetTarget(TARGET_SCENE));
    m_texelPasses.SetTexture("g_Glow", GetTarget(TARGET_GLOW));
    m_texelPasses.SetTexture("g_Blur", GetTarget(TARGET_BLUR));
    m_texelPasses.SetVector("GlowColor", glowColor);
    m_texelPasses.SetVector("BlurColor", blurColor);
    m_texelPasses.SetFloat("AlphaRef", AlphaReference());
    // The pass adds the three draws' colours itself: the blend keeps what
    // the scene's alpha let through.
    GraphicsDevice* device = s_graphics->GetDevice();
    const SavedStates saved(device, {RS_ALPHABLENDENABLE, RS_SRCBLEND, RS_DESTBLEND, RS_BLENDOP, RS_ALPHATESTENABLE});
    device->SetRenderState(RS_ALPHABLENDENABLE, 1);
    device->SetRenderState(RS_SRCBLEND, BLEND_ONE);
    device->SetRenderState(RS_DESTBLEND, BLEND_INVSRCALPHA);
    device->SetRenderState(RS_BLENDOP, BLENDOP_ADD);
    device->SetRenderState(RS_ALPHATESTENABLE, 0);
    s_graphics->SetFVF(FVF_QUAD);
    DrawWholeTarget("Composite", m_screen, m_blur);
}

void CHDRFilter::SceneTexels()
{
    m_texelPasses.SetTexture("g_Scene", GetTarget(TARGET_SCENE));
    s_graphics->SetBlendMode(1);
    s_graphics->SetFVF(FVF_QUAD);
    DrawWholeTarget("Scene", m_screen, m_screen);
}

int CHDRFilter::ApplyWholeTexels()
{
    DeviceSurface* target = s_graphics->GetCurrentRenderTarget();
    DeviceSurface* depth = s_graphics->GetCurrentDepthStencil();
    const DeviceViewport viewport = s_graphics->GetDevice()->GetViewport();
    const bool sceneClear = m_kept[TARGET_SCENE].StillClear(SurfaceOf(TARGET_SCENE), viewport);
    const bool glowClear = m_kept[TARGET_GLOW].StillClear(SurfaceOf(TARGET_GLOW), viewport);
    // Drawn into by anyone but this filter, the blur holds who knows what.
    if (!m_kept[TARGET_HORIZONTAL].Untouched(SurfaceOf(TARGET_HORIZONTAL)) ||
        !m_kept[TARGET_BLUR].Untouched(SurfaceOf(TARGET_BLUR)))
        m_blurBound = 255;

    if (glowClear && m_blurBound == 0)
    {
        // Nothing glows: the scene alone, over the blur's clear margins.
        if (!m_blurMarginsClear)
        {
            SetRenderTarget(TARGET_BLUR);
            ClearBlurMargins();
            MarkDrawn(TARGET_BLUR);
        }
        s_graphics->SetRenderTarget(target);
        s_graphics->SetDepthStencilSurface(depth);
        if (!sceneClear)
            SceneTexels();
    }
    else
    {
        FeedBackTexels();
        BlurTexels();
        s_graphics->SetRenderTarget(target);
        s_graphics->SetDepthStencilSurface(depth);
        CompositeTexels();
        if (m_feedback)
            MarkDrawn(TARGET_GLOW);
        MarkDrawn(TARGET_HORIZONTAL);
        MarkDrawn(TARGET_BLUR);
        // With no new glow the blur holds at most what the feedback let
        // through of the last one: no more than the brightest of it.
        m_blurBound = !glowClear ? 255u : m_feedback ? (m_blurBound * m_feedbackAlpha + 127) / 255 : 0u;
    }
    // The states the last of the design's three draws leaves.
    s_graphics->SetBlendMode(2);
    SetSamplerFilters(TEXF_LINEAR);
    s_graphics->SetTexture(GetTarget(TARGET_BLUR)->GetDeviceTexture());
    s_graphics->SetFVF(FVF_XYZRHW | FVF_DIFFUSE | FVF_TEX1);
    return 1;
}
