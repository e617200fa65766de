#pragma once

#include "engine/core/CRect.h"
#include "engine/render/CFilter.h"

#include <cstdint>

// The glow filter. Four targets: 0 the scene, 1 the glowing objects, 2 the
// horizontal blur, 3 the finished blur, kept from frame to frame. Apply
// blurs target 1 at half the window's resolution with a separable
// Gaussian, feeds the last frame's blur back into it first (a fading
// trail), then composites the scene, the glow objects and the blur.
class CHDRFilter : public CFilter
{
public:
    static constexpr uint32_t TARGET_COUNT = 4;

    CHDRFilter() = default;

    const char* GetClassName() const override { return "CHDRFilter"; }

    // Targets 0 and 1 only: the blur stays for the trail.
    int BeginCapture(uint32_t argument) override;
    int Apply(uint32_t argument) override;

    // Targets of width x height (the game asks for 2048 x 2048) and the
    // built-in "GaussFilter.shd" effect.
    int Create(uint32_t width, uint32_t height, uint32_t format, uint32_t depthFormat);
    // The tap offsets and weights and the technique.
    int SetupBlur();

    const CRect& GetScreenRect() const { return m_screen; }
    const CRect& GetBlurRect() const { return m_blur; }

    void SetBlurColor(uint32_t color) { m_blurColor = color; }
    uint32_t GetBlurColor() const { return m_blurColor; }
    void SetBlurPasses(uint32_t passes) { m_blurPasses = passes; }
    uint32_t GetBlurPasses() const { return m_blurPasses; }
    // The offsets and the spread take effect at the next SetupBlur.
    void SetOffsetScale(uint32_t x, uint32_t y)
    {
        m_offsetScaleX = x;
        m_offsetScaleY = y;
    }
    void SetSpread(float spread) { m_spread = spread; }
    float GetSpread() const { return m_spread; }
    void SetGlowAlpha(uint32_t alpha) { m_glowAlpha = alpha; }
    uint32_t GetGlowAlpha() const { return m_glowAlpha; }
    void SetFeedback(uint32_t on, uint8_t alpha)
    {
        m_feedback = on;
        m_feedbackAlpha = alpha;
    }
    uint32_t GetFeedback() const { return m_feedback; }
    uint8_t GetFeedbackAlpha() const { return m_feedbackAlpha; }

    // The eight one-sided tap weights for a spread; they sum to one half.
    static void ComputeWeights(float spread, float weights[8]);

private:
    // A 24-byte screen vertex quad over `position`, sampling `texels`.
    void DrawQuad(const CRect& position, const CRect& texels, float targetWidth, float targetHeight);
    int Blur();

    CRect m_screen;
    CRect m_blur;
    uint32_t m_blurColor = 0xFFFFFFFF;
    uint32_t m_blurPasses = 2;
    uint32_t m_offsetScaleX = 4;
    uint32_t m_offsetScaleY = 4;
    float m_spread = 30.0f;
    uint32_t m_glowAlpha = 16;
    uint32_t m_feedback = 1;
    uint8_t m_feedbackAlpha = 100;
};
