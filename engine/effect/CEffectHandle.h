#pragma once

#include <cstdint>

class CEffect;
class CEffectController;

// A caller's hold on a pooled live effect. Pool slots are reused as soon as
// an effect finishes, so a plain pointer kept past that would steer some
// later effect; the handle remembers its slot's generation and resolves to
// null once the slot has been freed.
class CEffectHandle
{
public:
    CEffectHandle() = default;
    CEffectHandle(const CEffectController* controller, CEffect* effect, uint32_t generation);

    // The effect, or null when it was released (or the handle is empty).
    CEffect* Get() const;
    bool IsAlive() const { return Get() != nullptr; }
    void Reset() { *this = CEffectHandle(); }

    CEffect* GetSlot() const { return m_effect; }
    uint32_t GetGeneration() const { return m_generation; }
    const CEffectController* GetController() const { return m_controller; }

private:
    const CEffectController* m_controller = nullptr;
    CEffect* m_effect = nullptr;
    uint32_t m_generation = 0;
};
