// The drifting motes and the sweeping light of the menu background.
#include "game/app/CMenuBackgroundEffect.h"

#include "engine/platform/CGraphics.h"
#include "engine/render/CTexture.h"
#include "game/app/ControllerSheet.h"
#include "game/menu/CMenuLayout.h"
#include "game/menu/CMenuPainter.h"

namespace
{
// Motes, in layout units.
constexpr float kMinSize = 8.0f;
constexpr float kMaxSize = 40.0f;
constexpr float kMinRise = 20.0f;
constexpr float kMaxRise = 90.0f;
constexpr float kMaxDrift = 30.0f;
constexpr float kMargin = kMaxSize;
// The light crosses the screen in about eight seconds, from outside to
// outside.
constexpr float kSweepSpeed = 180.0f;
constexpr float kSweepWidth = 320.0f;
// Blend mode 2 adds the pictures onto the background.
constexpr uint32_t kAdditive = 2;
constexpr uint32_t kAlphaBlend = 1;
}

CMenuBackgroundEffect::CMenuBackgroundEffect(uint32_t seed)
{
    m_random.x ^= seed;
    m_random.w ^= seed * 2654435761u;
    for (Particle& particle : m_particles)
    {
        Respawn(particle);
        // The first motes are spread over the whole screen, not only below it.
        particle.position.y = Between(Bounds().top, Bounds().bottom);
    }
    m_sweepX = -kSweepWidth;
}

MenuRect CMenuBackgroundEffect::Bounds()
{
    return {-kMargin, -kMargin, CMenuLayout::kLayoutWidth + kMargin, CMenuLayout::kLayoutHeight + kMargin};
}

float CMenuBackgroundEffect::Between(float low, float high)
{
    const float unit = static_cast<float>(m_random.NextInt(10001)) / 10000.0f;
    return low + (high - low) * unit;
}

void CMenuBackgroundEffect::Respawn(Particle& particle)
{
    particle.size = Between(kMinSize, kMaxSize);
    particle.position = {Between(0.0f, CMenuLayout::kLayoutWidth), Bounds().bottom};
    particle.velocity = {Between(-kMaxDrift, kMaxDrift), -Between(kMinRise, kMaxRise)};
}

void CMenuBackgroundEffect::Update(uint32_t milliseconds)
{
    const float seconds = static_cast<float>(milliseconds) * 0.001f;
    for (Particle& particle : m_particles)
    {
        particle.position.x += particle.velocity.x * seconds;
        particle.position.y += particle.velocity.y * seconds;
        if (!Bounds().Contains(particle.position))
            Respawn(particle);
    }
    m_sweepX += kSweepSpeed * seconds;
    if (m_sweepX > CMenuLayout::kLayoutWidth + kSweepWidth)
        m_sweepX = -kSweepWidth;
}

void CMenuBackgroundEffect::Render(const CMenuPainter& painter, CTexture* sheet, float alpha) const
{
    CGraphics* graphics = CTexture::GetGraphics();
    if (sheet == nullptr || graphics == nullptr)
        return;
    graphics->SetBlendMode(kAdditive);
    const uint32_t light = MenuColor(MenuRole::Focused, alpha * 0.5f);
    const MenuRect sweep{m_sweepX - kSweepWidth * 0.5f, 0.0f, m_sweepX + kSweepWidth * 0.5f,
                         CMenuLayout::kLayoutHeight};
    // Kept inside the screen: a wide window's bars stay black.
    const MenuRect screen = painter.Layout().Area();
    painter.PictureIntoClipped(sheet, ControllerSheet::kSweep, sweep, screen, light);
    const uint32_t mote = MenuColor(MenuRole::Focused, alpha * 0.8f);
    for (const Particle& particle : m_particles)
    {
        const float half = particle.size * 0.5f;
        const MenuRect place{particle.position.x - half, particle.position.y - half, particle.position.x + half,
                             particle.position.y + half};
        painter.PictureIntoClipped(sheet, ControllerSheet::kParticle, place, screen, mote);
    }
    graphics->SetBlendMode(kAlphaBlend);
}
