#include "engine/effect/CEffect.h"

#include "engine/effect/CEffectContainer.h"
#include "engine/effect/CEffectController.h"
#include "engine/effect/CEffectObject.h"
#include "engine/effect/CParticle.h"
#include "engine/effect/EffectMath.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CModelBone.h"

#include <algorithm>
#include <cmath>

namespace
{
// The next trigger search starts this far past the key that fired.
constexpr float kTriggerStep = 0.01f;

// The scaling without the Scaling track's own factor. Where the track is
// zero the division has nothing to undo: the scale before the track (the
// start scale, times the parent's) stands in, so that a flattened effect
// still hands its children and particles a world matrix of full size.
CkvrVector3 DivideScale(const CkvrVector3& scaling, const CkvrVector3& track, const CkvrVector3& base)
{
    auto part = [](float s, float t, float b) { return t == 0.0f ? b : float(double(s) / t); };
    return CkvrVector3(part(scaling.x, track.x, base.x), part(scaling.y, track.y, base.y),
                       part(scaling.z, track.z, base.z));
}
}

CEffect::CEffect()
{
    SetKind(KIND_EFFECT);
}

int CEffect::Setup(CEffectObject* object, CEffectController* controller, const tag_KVREFFECTPLAY* block)
{
    m_object = object;
    m_controller = controller;
    if (block != nullptr)
        m_play = *block;
    else
        m_play = tag_KVREFFECTPLAY{};
    m_elapsed = 0.0f;
    return 1;
}

void CEffect::AdvanceTime()
{
    m_elapsed += GetElapsedSeconds();
}

bool CEffect::IsActive() const
{
    const float length = m_object != nullptr ? m_object->GetParameters()->length : 0.0f;
    return length <= 0.0f || m_elapsed < length;
}

int CEffect::Update(uintptr_t argument)
{
    // Siblings run in a loop rather than by recursion: a parent's child
    // chain may be as long as the pool.
    int ok = 1;
    for (CEffect* effect = this; effect != nullptr; effect = effect->m_nextSibling)
    {
        effect->AdvanceTime();
        if (!effect->Step(argument))
            ok = 0;
    }
    return ok;
}

int CEffect::Step(uintptr_t argument)
{
    if (!IsActive() || m_object == nullptr)
        return 1;
    int ok = 1;
    EvaluateTracks();
    if (m_object->GetParameters()->kind == EFFECTKIND_SOUND)
        TriggerSounds();
    else
        ok = TriggerParticles();
    if (m_firstParticle != nullptr)
        m_firstParticle->Update(reinterpret_cast<uintptr_t>(static_cast<CObjectBase*>(this)));
    if (m_firstChild != nullptr && !m_firstChild->Update(argument))
        ok = 0;
    return ok;
}

int CEffect::UpdateTree(uintptr_t argument)
{
    for (CEffect* effect = this; effect != nullptr; effect = effect->m_nextSibling)
    {
        if (!effect->IsActive() || effect->m_object == nullptr)
            continue;
        effect->EvaluateTracks();
        if (effect->m_firstParticle != nullptr)
            effect->m_firstParticle->Update(reinterpret_cast<uintptr_t>(static_cast<CObjectBase*>(effect)));
        if (effect->m_firstChild != nullptr)
            effect->m_firstChild->UpdateTree(argument);
    }
    return 1;
}

int CEffect::Render(uintptr_t argument)
{
    for (CEffect* effect = this; effect != nullptr; effect = effect->m_nextSibling)
    {
        if (!effect->IsActive())
            continue;
        if (effect->m_firstParticle != nullptr)
            effect->m_firstParticle->RenderChain(effect, argument);
        if (effect->m_firstChild != nullptr)
            effect->m_firstChild->Render(argument);
    }
    return 1;
}

void CEffect::TakePlacement()
{
    const tag_KVREFFECTPLAY& play = m_play;
    if (play.followObject != nullptr)
    {
        const CObjectBase* object = play.followObject;
        m_startPosition = *object->GetPosition();
        m_startDirection = *object->GetRotation();
        m_startScale = *object->GetScale();
        m_effectColor = MultiplyColor(m_effectColor, *object->GetColor());
        return;
    }
    if (play.followBone != nullptr)
    {
        tag_KVREFFECTPLAY& own = m_play;
        own.position = play.followPosition;
        own.direction = play.followDirection;
        own.scale = play.followScale;
        const tag_KVRBONESTATE* bone = play.followBone;
        CkvrMatrix placement = bone->combined;
        if (bone->bone != nullptr)
            placement = *bone->bone->GetOffsetMatrix() * bone->combined;
        m_startPosition = own.position.GetTransform(placement);
        if (m_object->GetParameters()->flags & EFFECTFLAG_BONE_FACING)
        {
            const CkvrVector3 f = CkvrVector3(0.0f, 0.0f, -1.0f).GetTransform(placement.GetRotation());
            const double yaw = std::atan2(double(f.x), double(f.z)) * kEffectRadiansToDegrees + 180.0;
            const double pitch = std::atan2(double(f.y), std::fabs(double(f.x)) + std::fabs(double(f.z))) *
                                 kEffectRadiansToDegrees;
            m_startDirection.Set(float(pitch), float(yaw), 0.0f);
        }
        else
        {
            m_startDirection = own.direction;
        }
        m_startScale = own.scale;
        // A pointed colour tints on top of the block's own.
        CkvrVector4 tint = own.color;
        if (play.followColor != nullptr)
            tint = MultiplyColor(tint, *play.followColor);
        m_effectColor = MultiplyColor(m_effectColor, tint);
        return;
    }
    m_startPosition = play.followPosition;
    m_startDirection = play.followDirection;
    m_startScale = play.followScale;
    m_effectColor = MultiplyColor(m_effectColor, play.followColor != nullptr ? *play.followColor : play.color);
}

void CEffect::EvaluateTracks()
{
    if (m_object == nullptr)
        return;
    const tag_KVREFFECTPARAMETER& parameters = *m_object->GetParameters();
    const float t = m_elapsed;
    const uint32_t loop = parameters.loopMode;
    CkvrLine line;
    CkvrVector3 rotation;
    CkvrVector3 scaling(1.0f, 1.0f, 1.0f);
    m_object->GetPositionTrack()->GetValueAt(t, &line, loop);
    m_object->GetRotationTrack()->GetValueAt(t, &rotation, loop);
    m_object->GetScalingTrack()->GetValueAt(t, &scaling, loop);
    m_object->GetColorTrack()->GetValueAt(t, &m_effectColor, loop);
    m_object->GetUVTrack()->GetValueAt(t, &m_uv, loop);
    m_object->GetRectTrack()->GetValueAt(t, &m_rect, loop);
    m_object->GetAnimationTrack()->GetValueAt(t, &m_animation, loop);

    TakePlacement();

    CkvrMatrix direction;
    direction.SetRotationZXY(&m_startDirection);
    const CkvrVector3 offset = line.second.GetTransform(direction);
    const bool trackOnly = (parameters.flags & EFFECTFLAG_TRACK_ROTATION_ONLY) != 0;
    if (m_parent == nullptr)
    {
        m_position = m_startPosition + offset;
        m_rotation = trackOnly ? rotation : m_startDirection + rotation;
        m_scale = m_startScale.Multiply(scaling);
        m_color = m_effectColor;
    }
    else
    {
        const CEffect& parent = *m_parent;
        m_position = m_startPosition + offset.GetTransform(*parent.GetWorldMatrix());
        m_rotation = trackOnly ? rotation : *parent.GetRotation() + m_startDirection + rotation;
        m_scale = parent.GetScale()->Multiply(m_startScale).Multiply(scaling);
        m_color = MultiplyColor(*parent.GetColor(), m_effectColor);
    }

    // Children and particles inherit a world matrix without this effect's
    // own Rotation and Scaling track values.
    BuildEffectRotation(parameters.rotationOrder, m_rotation - rotation, &m_world);
    const CkvrVector3 base = m_parent != nullptr ? m_parent->GetScale()->Multiply(m_startScale) : m_startScale;
    const CkvrVector3 rows = DivideScale(m_scale, scaling, base);
    const float factors[3] = {rows.x, rows.y, rows.z};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            m_world.m[r * 4 + c] = float(double(m_world.m[r * 4 + c]) * factors[r]);
    m_world.m[12] = m_position.x;
    m_world.m[13] = m_position.y;
    m_world.m[14] = m_position.z;
}

int CEffect::TriggerParticles()
{
    const CKeyFrameList<uint32_t>& track = *m_object->GetParticleTrack();
    const uint32_t loopMode = m_object->GetParameters()->loopMode;
    const int64_t k = FindTriggerKey(track, m_particleTrigger, loopMode);
    if (k < 0)
        return 1;
    const KVRKEYFRAME<uint32_t>* keys = track.GetData();
    const uint32_t count = track.GetCount();
    const float first = keys[0].time;
    const float last = keys[count - 1].time;
    const double span = double(last) - double(first);
    float tau = keys[k].time;
    const bool loops = track.GetLoop() != 0 && span > 0.0;
    if (loops && last <= m_particleTrigger)
        tau = float(double(tau) + span * std::trunc((double(m_particleTrigger) - first) / span));
    if (tau > m_elapsed || tau < m_particleTrigger)
        return 1;
    m_particleTrigger = tau + kTriggerStep;
    int ok = Emit(keys[k].value, tau);
    if (loops && uint32_t(k) == count - 1 && !Emit(keys[0].value, tau))
        ok = 0;
    return ok;
}

void CEffect::TriggerSounds()
{
    const CKeyFrameList<float>& track = *m_object->GetPlayTrack();
    const uint32_t loopMode = m_object->GetParameters()->loopMode;
    const int64_t k = FindTriggerKey(track, m_soundTrigger, loopMode);
    if (k < 0)
        return;
    const KVRKEYFRAME<float>* keys = track.GetData();
    const uint32_t count = track.GetCount();
    const float first = keys[0].time;
    const float last = keys[count - 1].time;
    const double span = double(last) - double(first);
    float tau = keys[k].time;
    const bool loops = track.GetLoop() != 0 && span > 0.0;
    if (loops && last <= m_soundTrigger)
        tau = float(double(tau) + span * std::trunc((double(m_soundTrigger) - first) / span));
    if (tau > m_elapsed || tau < m_soundTrigger)
        return;
    m_soundTrigger = tau + kTriggerStep;
    if (keys[k].value > 0.0f)
        PlaySound();
    if (loops && uint32_t(k) == count - 1 && keys[0].value > 0.0f)
        PlaySound();
}

void CEffect::PlaySound() const
{
    CSoundBuffer* sound = dynamic_cast<CSoundBuffer*>(m_object->GetResource());
    if (sound == nullptr || m_controller == nullptr)
        return;
    const tag_KVREFFECTSOUND& settings = *m_controller->GetSoundSettings();
    if (settings.volume < -9999)
        return;
    const int voice = sound->PlayVoice(0, 0.0f, 1);
    if (voice < 0)
        return;
    sound->SetVolume(uint32_t(voice), settings.volume + m_object->GetParameters()->volumeOffset);
    sound->SetPosition(uint32_t(voice), &m_position, settings.distance, 0);
}

int CEffect::Emit(uint32_t count, float keyTime)
{
    if (m_controller == nullptr)
        return 0;
    CParticle* tail = m_firstParticle;
    while (tail != nullptr && tail->GetNext() != nullptr)
        tail = tail->GetNext();
    CParticle* cursor = tail;
    const bool attach = m_object->GetParticleParameters()->attach != 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        CParticle* particle = m_controller->AllocParticle();
        if (particle == nullptr)
            return 0;
        if (!particle->Emit(m_object, m_controller, this, keyTime))
        {
            m_controller->FreeParticle(particle);
            return 0;
        }
        if (cursor == nullptr || !attach)
        {
            if (tail != nullptr)
            {
                tail->SetNext(particle);
                particle->SetPrevious(tail);
            }
            tail = particle;
        }
        else
        {
            // Hang it at the head of the cursor's trail chain.
            CParticle* head = cursor->GetTrailChain();
            particle->SetNext(head);
            if (head != nullptr)
                head->SetPrevious(particle);
            particle->SetTrailOwner(cursor);
            cursor->SetTrailChain(particle);
            cursor = cursor->GetPrevious();
        }
        if (m_firstParticle == nullptr)
            m_firstParticle = particle;
        if (m_object->GetParameters()->kind == EFFECTKIND_CONTAINER)
        {
            CEffectContainer* nested = dynamic_cast<CEffectContainer*>(m_object->GetResource());
            if (nested != nullptr)
                particle->SetNestedEffect(nested->Play(m_controller, particle->GetPosition(), particle->GetRotation(),
                                                       particle->GetScale(), int32_t(0), particle, nullptr));
        }
    }
    return 1;
}

bool CEffect::IsFinished() const
{
    const float length = m_object != nullptr ? m_object->GetParameters()->length : 0.0f;
    if (length > 0.0f && length < m_elapsed)
        return (m_firstChild == nullptr || m_firstChild->IsFinished()) &&
               (m_nextSibling == nullptr || m_nextSibling->IsFinished());
    if (m_timeLimit > 0.0f && m_timeLimit < m_elapsed)
        return true;
    return m_object != nullptr && m_object->GetParameters()->kind == EFFECTKIND_SOUND;
}

float CEffect::GetTotalLength() const
{
    float longest = 0.0f;
    for (const CEffect* effect = this; effect != nullptr; effect = effect->m_nextSibling)
    {
        if (effect->m_object != nullptr)
            longest = std::max(longest, effect->m_object->GetParameters()->length);
        if (effect->m_firstChild != nullptr)
            longest = std::max(longest, effect->m_firstChild->GetTotalLength());
    }
    return longest;
}

void CEffect::SetNextLive(CEffect* effect)
{
    m_nextLive = effect;
    if (effect != nullptr)
        effect->m_previousLive = this;
}

void CEffect::SetPreviousLive(CEffect* effect)
{
    m_previousLive = effect;
    if (effect != nullptr)
        effect->m_nextLive = this;
}

uint32_t CEffect::Release()
{
    if (m_firstChild != nullptr)
    {
        CEffect* child = m_firstChild;
        m_firstChild = nullptr;
        child->Release();
    }
    CEffect* sibling = m_nextSibling;
    m_nextSibling = nullptr;
    while (sibling != nullptr)
    {
        CEffect* next = sibling->m_nextSibling;
        sibling->m_nextSibling = nullptr;
        sibling->Release();
        sibling = next;
    }
    ReleaseSelf();
    return 1;
}

void CEffect::ReleaseSelf()
{
    if (m_firstParticle != nullptr)
    {
        CParticle* particle = m_firstParticle;
        m_firstParticle = nullptr;
        particle->Release();
    }
    CObjectBase::Release();
    if (m_controller != nullptr && m_controller->GetFirstEffect() == this)
    {
        m_controller->SetFirstEffect(m_nextLive);
        if (m_nextLive != nullptr)
            m_nextLive->m_previousLive = nullptr;
    }
    else
    {
        if (m_previousLive != nullptr)
            m_previousLive->m_nextLive = m_nextLive;
        if (m_nextLive != nullptr)
            m_nextLive->m_previousLive = m_previousLive;
    }
    m_previousLive = nullptr;
    m_nextLive = nullptr;
    if (m_controller != nullptr)
        m_controller->FreeEffect(this);
}
