#include "game/actor/CActorEffects.h"

#include "engine/core/DeterministicMath.h"
#include "engine/core/MathConstants.h"
#include "engine/effect/CEffect.h"
#include "engine/effect/CEffectContainer.h"
#include "engine/effect/CEffectController.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CEffectPlayerRecord.h"

CActorEffects::CActorEffects(CEffectController* controller) : m_controller(controller)
{
}

void CActorEffects::SetFighterVoices(uint32_t fighter, const std::vector<std::string>* voices)
{
    if (fighter >= m_voices.size())
        m_voices.resize(fighter + 1, nullptr);
    m_voices[fighter] = voices;
}

CEffectContainer* CActorEffects::FindEventEffect(uint32_t event)
{
    if (event >= EVENT_COUNT)
        return nullptr;
    return CActorResources::FindEffect(kEventEffectNames[event]);
}

void CActorEffects::PlayEvent(uint32_t event, uint32_t fighter, const CkvrVector3& position)
{
    (void)fighter;
    if (m_controller == nullptr)
        return;
    if (event == EVENT_CHANGE_SOUND)
    {
        PlaySound(CActorResources::FindSound(kChangeSoundName), m_controller->GetSoundSettings()->volume, position);
        return;
    }
    Start(FindEventEffect(event), position, nullptr, nullptr, nullptr, 0.0f);
}

void CActorEffects::PlayVoice(uint32_t fighter, uint32_t voice, int32_t volume, const CkvrVector3& position)
{
    if (m_controller == nullptr || fighter >= m_voices.size() || m_voices[fighter] == nullptr ||
        voice >= m_voices[fighter]->size())
        return;
    const std::string& name = (*m_voices[fighter])[voice];
    if (!name.empty())
        PlaySound(CActorResources::FindSound(name), volume, position);
}

// Attach mode 0 places the record in the world; 1 on the fighter, turned
// by its yaw. Bones are presentation, so mode 2 plays as mode 1.
void CActorEffects::PlayAttackEffect(const CEffectPlayerRecord& player, uint32_t fighter, const CkvrVector3& position,
                                     float yaw)
{
    (void)fighter;
    if (m_controller == nullptr)
        return;
    CEffectContainer* container = CActorResources::FindEffect(player.container);
    if (container == nullptr)
        return;
    CkvrVector3 at = player.position;
    CkvrVector3 direction = player.direction;
    if (player.attachMode != 0)
    {
        const float radians = DegreeToRadian(yaw);
        const float s = KvrSin(radians), c = KvrCos(radians);
        const CkvrVector3& p = player.position;
        at = CkvrVector3(position.x + p.x * c + p.z * s, position.y + p.y, position.z + p.z * c - p.x * s);
        direction.y += yaw;
    }
    Start(container, at, &direction, &player.scale, &player.color, player.timeLimit);
}

void CActorEffects::Start(CEffectContainer* container, const CkvrVector3& position, const CkvrVector3* direction,
                          const CkvrVector3* scale, const CkvrVector4* color, float timeLimit)
{
    if (container == nullptr)
        return;
    static const CkvrVector3 kNoTurn(0.0f, 0.0f, 0.0f);
    static const CkvrVector3 kUnitScale(1.0f, 1.0f, 1.0f);
    static const CkvrVector4 kWhite(1.0f, 1.0f, 1.0f, 1.0f);
    CEffect* effect = container->Play(m_controller, &position, direction != nullptr ? direction : &kNoTurn,
                                      scale != nullptr ? scale : &kUnitScale, color != nullptr ? color : &kWhite,
                                      timeLimit, 1);
    if (effect != nullptr)
        m_last = m_controller->GetHandle(effect);
}

// A 3D voice at the given volume and the controller's sound distance;
// settings below the quietest played volume stay silent.
void CActorEffects::PlaySound(CSoundBuffer* sound, int32_t volume, const CkvrVector3& position)
{
    if (sound == nullptr || volume < CSoundBuffer::kQuietestPlayedVolume)
        return;
    const int voice = sound->PlayWithVolume(volume, 0, 0.0f, 1);
    if (voice < 0)
        return;
    sound->SetPosition(static_cast<uint32_t>(voice), &position, m_controller->GetSoundSettings()->distance, 0);
}
