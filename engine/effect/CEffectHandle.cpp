#include "engine/effect/CEffectHandle.h"

#include "engine/effect/CEffectController.h"

CEffectHandle::CEffectHandle(const CEffectController* controller, CEffect* effect, uint32_t generation)
    : m_controller(controller), m_effect(effect), m_generation(generation)
{
}

CEffect* CEffectHandle::Get() const
{
    return m_controller != nullptr ? m_controller->Resolve(*this) : nullptr;
}
