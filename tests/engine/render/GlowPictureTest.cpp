// The glow filter's picture against the same glow drawn the plain way.
//
// GlowReference below draws every step of the glow with nothing skipped or
// merged: the targets cleared over the camera's viewport, the feedback
// drawn over the whole screen, two pairs of blur passes through a Gaussian
// effect of its own, then the scene, the glow objects and the blur drawn
// one after another. The filter must draw what it draws, frame after frame
// (the trail carries each frame into the next), at the game's window size
// with the game's 2048 x 2048 targets.
//
// Tolerance: no colour channel of any pixel more than 2 steps (of 255)
// off, and at most 1 % of the pixels off at all. The blur's sums may round
// the other way where the rasteriser orders a pass's arithmetic
// differently; every step of the blend is the same.
#include "engine/core/CRect.h"
#include "engine/platform/device/DeviceSurface.h"
#include "engine/platform/device/EffectImage.h"
#include "engine/render/CCamera.h"
#include "engine/render/CHDRFilter.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>
#include "tests/support/ArgbPng.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t kTargetSize = 2048;

const char* const kFilterVertex = R"(#version 330 compatibility
out vec2 v_TexCoord;
out vec4 v_Color;
void main()
{
    gl_Position = gl_ModelViewProjectionMatrix * vec4(gl_Vertex.xyz, 1.0);
    v_TexCoord = gl_MultiTexCoord0.xy;
    v_Color = gl_Color;
}
)";

const char* const kGaussFragment = R"(
uniform sampler2D g_samScene;
uniform float Weight[8];
uniform vec2 OffsetX[8];
uniform vec2 OffsetY[8];
in vec2 v_TexCoord;
in vec4 v_Color;
layout(location = 0) out vec4 o_Color;
void main()
{
    vec4 sum = vec4(0.0);
    for (int i = 0; i < 8; ++i)
    {
        vec2 offset = OFFSET[i];
        sum += Weight[i] * (texture(g_samScene, v_TexCoord + offset) + texture(g_samScene, v_TexCoord - offset));
    }
    o_Color = vec4(sum.rgb, 1.0) * v_Color;
}
)";

std::vector<uint8_t> GaussImage()
{
    EffectImage image;
    const std::string version = "#version 330 compatibility\n";
    image.sources = {kFilterVertex, version + "#define OFFSET OffsetX\n" + kGaussFragment,
                     version + "#define OFFSET OffsetY\n" + kGaussFragment};
    auto value = [](const char* name, uint8_t type, uint8_t columns, uint32_t elements) {
        EffectParameterDesc parameter;
        parameter.name = name;
        parameter.type = type;
        parameter.columns = columns;
        parameter.elements = elements;
        return parameter;
    };
    EffectParameterDesc sampler = value("g_samScene", EffectParameterDesc::TYPE_SAMPLER, 1, 1);
    sampler.texture = "g_Texture";
    sampler.minFilter = TEXF_LINEAR;
    sampler.magFilter = TEXF_LINEAR;
    sampler.mipFilter = TEXF_NONE;
    sampler.addressU = TADDRESS_CLAMP;
    sampler.addressV = TADDRESS_CLAMP;
    image.parameters = {value("g_Texture", EffectParameterDesc::TYPE_TEXTURE, 1, 1),
                        value("Weight", EffectParameterDesc::TYPE_FLOAT, 1, 8),
                        value("OffsetX", EffectParameterDesc::TYPE_FLOAT, 2, 8),
                        value("OffsetY", EffectParameterDesc::TYPE_FLOAT, 2, 8), sampler};
    EffectTechniqueDesc gauss;
    gauss.name = "GaussFilter";
    gauss.passes = {{"Horizontal", 0, 1}, {"Vertical", 0, 2}};
    image.techniques = {gauss};
    return image.Write();
}

// The glow drawn the plain way, step by step, with the filter's default
// settings.
class GlowReference : public CFilter
{
public:
    int Create(uint32_t format)
    {
        if (!CreateTargets(kTargetSize, kTargetSize, format, FORMAT_D24S8, 4))
            return 0;
        const std::vector<uint8_t> image = GaussImage();
        if (!LoadShaderFromMemory(image.data(), "GaussReference.shd", static_cast<uint32_t>(image.size()), 0, 1))
            return 0;
        float width = 0.0f;
        float height = 0.0f;
        GetWindowSize(&width, &height);
        m_screen = CRect(0.0f, width, 0.0f, height);
        m_blur = CRect(0.0f, std::min(width / 2.0f, static_cast<float>(kTargetSize)), 0.0f,
                       std::min(height / 2.0f, static_cast<float>(kTargetSize)));
        CkvrVector4 offsetX[8];
        CkvrVector4 offsetY[8];
        for (int i = 0; i < 8; ++i)
        {
            offsetX[i] = CkvrVector4(static_cast<float>(i + 1) / kTargetSize * 4.0f, 0.0f, 0.0f, 0.0f);
            offsetY[i] = CkvrVector4(0.0f, static_cast<float>(i + 1) / kTargetSize * 4.0f, 0.0f, 0.0f);
        }
        float weights[8];
        CHDRFilter::ComputeWeights(30.0f, weights);
        return m_shader->SetVectorArray("OffsetX", &offsetX[0].x, 8) &&
               m_shader->SetVectorArray("OffsetY", &offsetY[0].x, 8) &&
               m_shader->SetFloatArray("Weight", weights, 8) && m_shader->SetTechnique("GaussFilter");
    }

    int BeginCapture(uint32_t) override
    {
        DeviceSurface* target = s_graphics->GetCurrentRenderTarget();
        DeviceSurface* depth = s_graphics->GetCurrentDepthStencil();
        ClearTarget(0);
        ClearTarget(1);
        ClearDepth();
        s_graphics->SetRenderTarget(target);
        s_graphics->SetDepthStencilSurface(depth);
        return 1;
    }

    int Apply(uint32_t) override
    {
        DeviceSurface* target = s_graphics->GetCurrentRenderTarget();
        DeviceSurface* depth = s_graphics->GetCurrentDepthStencil();
        SetRenderTarget(1);
        s_graphics->SetBlendMode(2);
        DrawTarget(&m_screen, &m_blur, 0x64FFFFFF, 3);
        s_graphics->SetFVF(FVF_XYZRHW | FVF_TEX1);
        s_graphics->SetBlendMode(1);
        m_shader->Begin(nullptr, 0);
        for (int pass = 0; pass < 2; ++pass)
        {
            ClearTarget(2);
            m_shader->SetTexture("g_Texture", GetTarget(pass == 0 ? 1 : 3));
            m_shader->BeginPass(0);
            Quad(m_blur, pass == 0 ? m_screen : m_blur);
            m_shader->EndPass();
            ClearTarget(3);
            m_shader->SetTexture("g_Texture", GetTarget(2));
            m_shader->BeginPass(1);
            Quad(m_blur, m_blur);
            m_shader->EndPass();
        }
        m_shader->End();
        s_graphics->SetRenderTarget(target);
        s_graphics->SetDepthStencilSurface(depth);
        s_graphics->SetBlendMode(1);
        SetSamplerFilters(TEXF_NONE);
        DrawTarget(&m_screen, &m_screen, 0xFFFFFFFF, 0);
        s_graphics->SetBlendMode(2);
        DrawTarget(&m_screen, &m_screen, 0x10FFFFFF, 1);
        SetSamplerFilters(TEXF_LINEAR);
        DrawTarget(&m_screen, &m_blur, 0xFFFFFFFF, 3);
        return 1;
    }

private:
    static void SetSamplerFilters(uint32_t filter)
    {
        s_graphics->GetDevice()->SetSamplerState(0, SAMP_MINFILTER, filter);
        s_graphics->GetDevice()->SetSamplerState(0, SAMP_MAGFILTER, filter);
    }

    static void Quad(const CRect& position, const CRect& texels)
    {
        struct Vertex
        {
            float x, y, z, rhw, u, v;
        };
        const float size = static_cast<float>(kTargetSize);
        const float l = texels.left / size;
        const float t = texels.top / size;
        const float r = texels.right / size;
        const float b = texels.bottom / size;
        const Vertex quad[4] = {{position.left, position.top, 0, 1, l, t},
                                {position.right, position.top, 0, 1, r, t},
                                {position.right, position.bottom, 0, 1, r, b},
                                {position.left, position.bottom, 0, 1, l, b}};
        s_graphics->DrawPrimitiveUP(PT_TRIANGLEFAN, 2, quad, sizeof(Vertex));
    }

    CRect m_screen;
    CRect m_blur;
};

// A rectangle with a colour per corner, drawn into whatever target is
// current.
class ShadedRect : public CObjectBase
{
public:
    ShadedRect(CGraphics* graphics, CRect rect, uint32_t topLeft, uint32_t bottomRight, int32_t target)
        : m_graphics(graphics), m_rect(rect), m_topLeft(topLeft), m_bottomRight(bottomRight)
    {
        SetRenderOption(target);
    }
    // Drawn moved by (x, y) from where it was made.
    void SetOffset(float x, float y)
    {
        m_x = x;
        m_y = y;
    }

    int Create(uintptr_t) override { return 1; }
    int Update(uintptr_t) override { return 1; }
    int Render(uintptr_t) override
    {
        struct Vertex
        {
            float x, y, z, rhw;
            uint32_t color;
        };
        const float l = m_rect.left + m_x;
        const float r = m_rect.right + m_x;
        const float t = m_rect.top + m_y;
        const float b = m_rect.bottom + m_y;
        const Vertex quad[4] = {{l, t, 0, 1, m_topLeft}, {r, t, 0, 1, m_topLeft}, {r, b, 0, 1, m_bottomRight},
                                {l, b, 0, 1, m_bottomRight}};
        m_graphics->SetTexture(nullptr);
        m_graphics->SetFVF(FVF_XYZRHW | FVF_DIFFUSE);
        m_graphics->SetBlendMode(1);
        return m_graphics->DrawPrimitiveUP(PT_TRIANGLEFAN, 2, quad, sizeof(Vertex)) == DEVICE_OK;
    }

private:
    CGraphics* m_graphics;
    CRect m_rect;
    uint32_t m_topLeft;
    uint32_t m_bottomRight;
    float m_x = 0.0f;
    float m_y = 0.0f;
};

// The pixels as a PNG in the test's folder, for a person to look at.
void SavePng(const std::vector<uint32_t>& argb, int width, int height, const char* name)
{
    SaveArgbPng(argb, width, height, name);
}

// The largest difference of one colour channel between the two pictures,
// and how many pixels differ at all.
struct Difference
{
    int largest = 0;
    uint32_t pixels = 0;
};

Difference Compare(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    Difference difference;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    {
        int largest = 0;
        for (int shift : {16, 8, 0})
            largest = std::max(largest, std::abs(Channel(a[i], shift) - Channel(b[i], shift)));
        difference.largest = std::max(difference.largest, largest);
        difference.pixels += largest > 0 ? 1 : 0;
    }
    return difference;
}

// The game's window with the game's targets: a dim stage with translucent
// parts in the scene target, glowing objects in the glow target (one too
// faint to show unblurred), a glow that moves and one that goes out, so
// that the trail carries earlier frames into later ones.
// Targets of either format the game may take from the screen: with alpha,
// and without (where every texel reads opaque).
class GlowPicture : public ::testing::TestWithParam<uint32_t>
{
protected:
    static constexpr int32_t kWidth = 640;
    static constexpr int32_t kHeight = 480;
    static constexpr uint32_t kBackground = 0xFF102030;
    // Frames with glows, then without (their trail fades to nothing), then
    // one with glows again.
    static constexpr int kDarkFrom = 4;
    static constexpr int kFrames = 14;

    void SetUp() override
    {
        ASSERT_TRUE(headless.Created());
        camera.SetViewport(0, 0, 0, 0);
        ASSERT_EQ(camera.Apply(), 1);
        CGraphics* g = &graphics;
        scene.emplace_back(g, CRect(0, 640, 300, 480), 0xFF405060, 0xFF203010, 0);
        scene.emplace_back(g, CRect(100, 300, 80, 260), 0xC0C08040, 0x80406080, 0);
        scene.emplace_back(g, CRect(400, 520, 120, 200), 0x03FFFFFF, 0x03FFFFFF, 0);
        scene.emplace_back(g, CRect(500, 600, 330, 420), 0xFFE0E0E0, 0x20E0E0E0, 0);
        glows.emplace_back(g, CRect(150, 190, 120, 160), 0xFFFFF0C0, 0xFFFF8020, 1);
        glows.emplace_back(g, CRect(420, 440, 250, 400), 0xFF40C0FF, 0xFF2040FF, 1);
        glows.emplace_back(g, CRect(560, 640, 20, 60), 0x3CFFFFFF, 0x3CFFFFFF, 1);
        glows.emplace_back(g, CRect(0, 24, 440, 480), 0xFFFF40FF, 0xFFFF40FF, 1);
    }

    // One frame as the game draws it; the back buffer afterwards.
    std::vector<uint32_t> Frame(CFilter& filter, int frame)
    {
        EXPECT_EQ(graphics.BeginScene(), 1);
        headless.Device().Clear(CLEAR_TARGET, kBackground, 1.0f, 0);
        const float step = static_cast<float>(frame);
        glows[0].SetOffset(24.0f * step, 6.0f * step);
        glows[3].SetOffset(40.0f * step, -16.0f * step);
        list.SetFilter(&filter);
        list.Clear();
        for (ShadedRect& object : scene)
            list.Add(&object, 0);
        for (size_t i = 0; i < glows.size(); ++i)
        {
            // The second glow goes out after two frames, all of them after
            // four, until the last frame lights them again.
            if ((i != 1 || frame < 2) && (frame < kDarkFrom || frame == kFrames - 1))
                list.Add(&glows[i], 0);
        }
        list.Draw();
        list.SetFilter(nullptr);
        std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
        EXPECT_EQ(headless.Device().ReadPixels(graphics.GetBackBuffer(), 0, 0, kWidth, kHeight, pixels.data()),
                  DEVICE_OK);
        graphics.EndScene();
        return pixels;
    }

    RenderGraphics headless{kWidth, kHeight};
    CGraphics& graphics = headless.Graphics();
    CCamera camera;
    CRenderList list{"list", 64, &graphics};
    std::vector<ShadedRect> scene;
    std::vector<ShadedRect> glows;
};

TEST_P(GlowPicture, DrawsWhatThePlainStepByStepDrawingDraws)
{
    std::vector<std::vector<uint32_t>> expected;
    {
        GlowReference reference;
        ASSERT_EQ(reference.Create(GetParam()), 1);
        for (int frame = 0; frame < kFrames; ++frame)
            expected.push_back(Frame(reference, frame));
        reference.Release();
    }

    CHDRFilter hdr;
    ASSERT_EQ(hdr.Create(kTargetSize, kTargetSize, GetParam(), FORMAT_D24S8), 1);
    // The game's layout takes the filter's own passes.
    EXPECT_TRUE(hdr.TakesWholeTexels());
    std::vector<uint64_t> blurVersions;
    for (int frame = 0; frame < kFrames; ++frame)
    {
        SCOPED_TRACE(frame);
        const std::vector<uint32_t> drawn = Frame(hdr, frame);
        blurVersions.push_back(hdr.GetTarget(3)->GetSurface()->GetVersion());
        const Difference difference = Compare(drawn, expected[frame]);
        EXPECT_LE(difference.largest, 2) << difference.pixels << " pixels differ";
        EXPECT_LE(difference.pixels, drawn.size() / 100);
        if (frame == kDarkFrom - 1 && GetParam() == FORMAT_A8R8G8B8)
        {
            SavePng(drawn, kWidth, kHeight, "GlowPicture.png");
            SavePng(expected[frame], kWidth, kHeight, "GlowReference.png");
        }
    }
    // Seven frames after the glows went out their trail holds nothing: the
    // blur is no longer drawn; with the glows back it is.
    EXPECT_NE(blurVersions[kDarkFrom + 5], blurVersions[kDarkFrom + 4]);
    EXPECT_EQ(blurVersions[kFrames - 2], blurVersions[kDarkFrom + 7]);
    EXPECT_NE(blurVersions[kFrames - 1], blurVersions[kFrames - 2]);
    // And the dark frames show the scene alone.
    EXPECT_EQ(Compare(expected[kFrames - 2], expected[kFrames - 3]).largest, 0);

    // The picture holds what the scene needs: the stage, a halo above the
    // glowing square that the same row of the translucent panel lacks far
    // from it, and the background where nothing glows.
    const std::vector<uint32_t>& last = expected[kDarkFrom - 1];
    auto at = [&](int x, int y) { return last[static_cast<size_t>(y) * kWidth + x]; };
    auto brightness = [](uint32_t argb) { return Channel(argb, 16) + Channel(argb, 8) + Channel(argb, 0); };
    EXPECT_NE(at(320, 470) & 0xFFFFFF, kBackground & 0xFFFFFF);
    EXPECT_GT(brightness(at(242, 120)), brightness(at(110, 120)) + 6);
    // Where the scene target holds nothing, the window's picture shows
    // through, unless the target has no alpha: then it is opaque black.
    EXPECT_EQ(at(5, 5) & 0xFFFFFF, GetParam() == FORMAT_A8R8G8B8 ? kBackground & 0xFFFFFF : 0u);
    hdr.Release();
}

INSTANTIATE_TEST_SUITE_P(Formats, GlowPicture, ::testing::Values(FORMAT_A8R8G8B8, FORMAT_X8R8G8B8));
}
