#pragma once

#include "engine/core/CRandom.h"
#include "game/menu/MenuRect.h"

#include <cstdint>

class CMenuPainter;
class CTexture;

// The moving part of the shared menu background: a light that sweeps
// across and 40 motes that drift and are born again at a random place, with
// a random speed and size, when they leave the screen. Places and speeds are
// layout units (per second), so on screen the speeds scale with the window
// height like everything else. Nothing here allocates.
class CMenuBackgroundEffect
{
public:
    static constexpr uint32_t kParticleCount = 40;

    struct Particle
    {
        MenuPoint position;
        MenuPoint velocity;
        float size = 0.0f;
    };

    explicit CMenuBackgroundEffect(uint32_t seed = 1);

    void Update(uint32_t milliseconds);
    // Additive pictures from the menu sheet, with alpha in [0, 1].
    void Render(const CMenuPainter& painter, CTexture* sheet, float alpha) const;

    const Particle& GetParticle(uint32_t index) const { return m_particles[index % kParticleCount]; }
    float GetSweepX() const { return m_sweepX; }
    // Where the motes live: the layout screen with a margin of a mote.
    static MenuRect Bounds();

private:
    void Respawn(Particle& particle);
    float Between(float low, float high);

    CRandom m_random;
    Particle m_particles[kParticleCount];
    float m_sweepX;
};
