#pragma once

#include "engine/core/CRect.h"
#include "engine/platform/device/GraphicsTypes.h"
#include "engine/render/CFilter.h"
#include "engine/render/CShader.h"

#include <cstdint>

// The glow filter. Four targets: 0 the scene, 1 the glowing objects, 2 the
// horizontal blur, 3 the finished blur, kept from frame to frame. Apply
// blurs target 1 at half the window's resolution with a separable
// Gaussian, feeds the last frame's blur back into it first (a fading
// trail), then composites the scene, the glow objects and the blur.
//
// Where the window is twice the blur and the targets have room beside it,
// Apply reads whole texels: the glow target is halved once into target 3,
// below the blur, the blur passes add texels, and one pass composites the
// three targets with the blend unit's own arithmetic. The picture is the
// one the target draws make; only the back buffer's alpha, which nothing
// shows, differs. Other layouts take the target draws.
//
// The filter also follows what its targets hold (see DeviceSurface's
// version): a target nothing touched since it was cleared is not cleared
// again, and while the glow target is clear and the blur holds no colour,
// nothing glows and only the scene is drawn.
class CHDRFilter : public CFilter
{
public:
    static constexpr uint32_t TARGET_COUNT = 4;

    CHDRFilter() = default;

    const char* GetClassName() const override { return "CHDRFilter"; }
    // Also frees the effect of the whole-texel passes.
    uint32_t Release() override;

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

    // Whether the next Apply reads whole texels (tests, benchmarks).
    bool TakesWholeTexels() const;

private:
    // What a surface held after this filter last changed it.
    struct Kept
    {
        uint64_t version = ~0ull;
        bool clear = false;
        DeviceViewport cleared;

        bool Untouched(const DeviceSurface* surface) const;
        // Cleared by the filter over `now`, and untouched since.
        bool StillClear(const DeviceSurface* surface, const DeviceViewport& now) const;
        void Mark(const DeviceSurface* surface, bool isClear, const DeviceViewport& viewport);
    };

    // A 24-byte screen vertex quad over `position`, sampling `texels`.
    void DrawQuad(const CRect& position, const CRect& texels, float targetWidth, float targetHeight);
    int Blur();
    void FeedBack();
    // The composite as designed: the scene, the glow objects and the blur
    // drawn one after another.
    int ApplyTargetDraws();
    int ApplyWholeTexels();

    DeviceSurface* SurfaceOf(uint32_t index) const;
    void MarkDrawn(uint32_t index);
    void ClearIfDrawn(uint32_t index);
    void ClearDepthIfDrawn();

    // The whole-texel passes.
    float AlphaReference() const;
    void DrawWholeTarget(const char* technique, const CRect& position, const CRect& texels);
    void FeedBackTexels();
    void ClearBlurMargins();
    void Halve(uint32_t margin, uint32_t below);
    void BlurPass(uint32_t source, const int32_t step[2], const int32_t origin[2], const int32_t low[2]);
    void BlurTexels();
    void CompositeTexels();
    void SceneTexels();

    CShader m_texelPasses;
    Kept m_kept[TARGET_COUNT];
    Kept m_keptDepth;
    // The brightest colour step the finished blur may hold; 0 when it holds
    // none.
    uint32_t m_blurBound = 0;
    bool m_blurMarginsClear = false;
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
