#include "engine/render/CAnimationController.h"

#include "engine/core/AlignedMemory.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CModelAnimation.h"
#include "engine/render/CModelBone.h"
#include "engine/render/CShader.h"

#include <cstring>
#include <new>

CGraphics* CAnimationController::s_graphics = nullptr;

namespace
{
bool IsDynamic(const CModelBone* bone)
{
    return bone != nullptr && const_cast<CModelBone*>(bone)->GetParameters()->dynamic != 0;
}

CkvrMatrix Translation(const CkvrVector3& v)
{
    CkvrMatrix m;
    m.SetTranslation(&v);
    return m;
}

CkvrMatrix TranslationOf(const CkvrMatrix& m)
{
    return Translation(CkvrVector3(m.m[12], m.m[13], m.m[14]));
}

bool IsIdentity(const CkvrMatrix& m)
{
    static const CkvrMatrix identity;
    return std::memcmp(m.m, identity.m, sizeof m.m) == 0;
}

template <class T>
float LastKeyTime(const CKeyFrameList<T>* track)
{
    if (track == nullptr || track->GetCount() == 0)
        return 0.0f;
    return track->GetAt(track->GetCount() - 1)->time;
}

float TrackEnd(const tag_KVRBONEANIMATION* track)
{
    float end = 0.0f;
    for (float t : {LastKeyTime(track->scaling), LastKeyTime(track->rotation), LastKeyTime(track->position)})
        end = t > end ? t : end;
    return end;
}
}

CAnimationController::CAnimationController() = default;

CAnimationController::CAnimationController(CResourceList<CModelBone*>* bones,
                                           CResourceList<CModelAnimation*>* animations)
    : m_bones(bones), m_animations(animations)
{
    if (bones == nullptr || !m_states.SetCount(bones->GetCount()))
        return;
    const uint32_t count = m_states.GetCount();
    for (uint32_t i = 0; i < count; ++i)
    {
        tag_KVRBONESTATE* state = m_states.GetAt(i);
        CModelBone* bone = bones->GetItem(i);
        // The list is zero-filled; the matrices start as identities.
        new (&state->boneFrameRotation) CkvrMatrix();
        new (&state->pivotRotation) CkvrMatrix();
        new (&state->spare) CkvrMatrix();
        state->index = i;
        state->bone = bone;
        state->local = bone != nullptr ? *bone->GetLocalMatrix() : CkvrMatrix();
        state->children = new CList<tag_KVRBONESTATE*>();
        if (IsDynamic(bone) && !IsDynamic(bone->GetParent()))
            m_chainRoots.Add(state);
    }
    for (uint32_t i = 0; i < count; ++i)
    {
        tag_KVRBONESTATE* state = m_states.GetAt(i);
        if (state->bone == nullptr || state->bone->GetParent() == nullptr)
            continue;
        const uint32_t p = bones->IndexOfName(state->bone->GetParent()->GetName());
        // A bone is never its own parent: that would make the walks loop.
        if (p >= count || p == i)
            continue;
        state->parent = m_states.GetAt(p);
        if (state->parent->children != nullptr)
            state->parent->children->Add(state);
    }
    m_boneMatrices = static_cast<CkvrMatrix*>(AlignedAlloc(sizeof(CkvrMatrix) * size_t(count), 16));
    for (uint32_t i = 0; m_boneMatrices != nullptr && i < count; ++i)
        new (&m_boneMatrices[i]) CkvrMatrix();
}

CAnimationController::~CAnimationController()
{
    FreeStates();
}

void CAnimationController::FreeStates()
{
    for (uint32_t i = 0; i < m_states.GetCount(); ++i)
    {
        tag_KVRBONESTATE* state = m_states.GetAt(i);
        delete state->children;
        state->children = nullptr;
    }
    m_states.Release();
    m_chainRoots.Release();
    AlignedFree(m_boneMatrices);
    m_boneMatrices = nullptr;
}

void CAnimationController::Release()
{
    delete this;
}

uint32_t CAnimationController::SlerpKeyInterpolator(const CkvrQuaternion* a, const CkvrQuaternion* b, float u,
                                                    CkvrQuaternion* out)
{
    if (a == nullptr || out == nullptr)
        return 0;
    if (b != nullptr && u != 0.0f)
        out->Slerp(a, b, u);
    else
        *out = *a;
    return 1;
}

tag_KVRBONESTATE* CAnimationController::FindState(const CModelBone* bone)
{
    if (bone == nullptr || m_bones == nullptr)
        return nullptr;
    const uint32_t index = m_bones->IndexOfName(const_cast<CModelBone*>(bone)->GetName());
    return index < m_states.GetCount() ? m_states.GetAt(index) : nullptr;
}

uint32_t CAnimationController::Play(uint32_t index, float blendSeconds, uint32_t loop, int32_t mode)
{
    return Play(index, 0.0f, blendSeconds, loop, mode);
}

uint32_t CAnimationController::Play(uint32_t index, float startTicks, float blendSeconds, uint32_t loop,
                                    int32_t mode)
{
    if (m_bones == nullptr || m_animations == nullptr || index >= m_animations->GetCount())
        return 0;
    CModelAnimation* animation = m_animations->GetItem(index);
    if (animation == nullptr)
        return 0;
    const float blend = blendSeconds * m_timeScale;
    const bool overrideHold = mode == 2 || mode == 3;
    CList<tag_KVRBONEANIMATION>* tracks = animation->GetBoneAnimationList();
    for (uint32_t i = 0; i < tracks->GetCount(); ++i)
    {
        tag_KVRBONEANIMATION* track = tracks->GetAt(i);
        tag_KVRBONESTATE* state = FindState(track->bone);
        if (state == nullptr || (state->hold && !overrideHold))
            continue;
        state->track = track;
        state->blendTime = blend;
        state->time = startTicks;
        state->loop = loop;
        state->hold = (mode == 1 || mode == 3) ? 1 : 0;
        state->fromPosition = state->position;
        state->fromScale = state->scale;
        state->fromRotation = state->rotation;
    }
    if (blend <= 0.0f)
        Update(0.0f);
    return 1;
}

uint32_t CAnimationController::SetMode(int32_t mode)
{
    if (m_bones == nullptr || m_animations == nullptr)
        return 0;
    for (uint32_t i = 0; i < m_states.GetCount(); ++i)
        m_states.GetAt(i)->hold = (mode == 1 || mode == 3) ? 1 : 0;
    return 1;
}

void CAnimationController::SampleState(tag_KVRBONESTATE* state, float ticks)
{
    state->time += ticks;
    float w = 1.0f;
    if (state->blendTime > 0.0f)
    {
        w = state->time / state->blendTime;
        if (w >= 1.0f)
            state->blendTime = 0.0f;
    }
    const bool blending = state->blendTime > 0.0f;
    tag_KVRBONEANIMATION* track = state->track;
    CkvrMatrix local;
    if (track->scaling != nullptr)
    {
        track->scaling->SetLoop(state->loop);
        CkvrVector3 v;
        track->scaling->GetValueAt(state->time, &v, 0);
        if (blending)
            v = state->fromScale + (v - state->fromScale) * w;
        state->scale = v;
        CkvrMatrix scaling;
        scaling.SetScaling(&v);
        local = local * scaling;
    }
    if (track->rotation != nullptr)
    {
        track->rotation->SetLoop(state->loop);
        track->rotation->SetInterpolator(&SlerpKeyInterpolator);
        CkvrQuaternion q;
        track->rotation->GetValueAt(state->time, &q, 0);
        state->rotation = q;
        if (blending)
        {
            CkvrQuaternion blended;
            blended.Slerp(&state->fromRotation, &q, w);
            q = blended;
        }
        local = local * q.GetMatrix();
    }
    if (track->position != nullptr)
    {
        track->position->SetLoop(state->loop);
        CkvrVector3 v;
        track->position->GetValueAt(state->time, &v, 0);
        if (blending)
            v = state->fromPosition + (v - state->fromPosition) * w;
        state->position = v;
        local = local * Translation(v);
    }
    else if (state->bone != nullptr)
        local = local * TranslationOf(*state->bone->GetLocalMatrix());
    state->local = local;
}

uint32_t CAnimationController::Update(float seconds)
{
    const float ticks = seconds * m_timeScale;
    for (uint32_t i = 0; i < m_states.GetCount(); ++i)
    {
        tag_KVRBONESTATE* state = m_states.GetAt(i);
        state->previousPosition = state->position;
        state->previousScale = state->scale;
        state->previousRotation = state->rotation;
        if (IsDynamic(state->bone))
            continue;
        if (state->track == nullptr)
        {
            if (state->bone != nullptr)
                state->local = *state->bone->GetLocalMatrix();
            continue;
        }
        SampleState(state, ticks);
    }
    return 1;
}

bool CAnimationController::PoseState(tag_KVRBONESTATE* state, const CkvrMatrix* parent, bool dynamicChain)
{
    CModelBone* bone = state->bone;
    if (bone == nullptr || (IsDynamic(bone) && !dynamicChain))
        return false;
    state->parentRelative = parent != nullptr ? state->local * *parent : state->local;
    const CkvrMatrix& rotation = *bone->GetBoneRotation();
    CkvrMatrix combined = rotation.GetInverse() * state->boneFrameRotation * rotation * state->parentRelative;
    const CkvrMatrix t = TranslationOf(combined);
    const CkvrMatrix q = m_root.GetRotation();
    combined = combined * (t.GetInverse() * q.GetInverse() * state->pivotRotation * q * t);
    state->combined = combined;
    state->previousSkin = state->skin;
    state->skin = *bone->GetOffsetMatrix() * combined;
    if (m_boneMatrices != nullptr && state->index < m_states.GetCount())
        m_boneMatrices[state->index] = state->skin;
    return true;
}

void CAnimationController::PoseWalk(tag_KVRBONESTATE* start, const CkvrMatrix* parent, bool dynamicChain)
{
    m_walk.clear();
    m_walk.emplace_back(start, parent);
    // A state list built by hand may hold a cycle: no walk visits more
    // states than there are.
    for (uint32_t visits = 0; !m_walk.empty() && visits <= m_states.GetCount(); ++visits)
    {
        const auto [state, parentMatrix] = m_walk.back();
        m_walk.pop_back();
        if (!PoseState(state, parentMatrix, dynamicChain) || state->children == nullptr)
            continue;
        for (uint32_t i = 0; i < state->children->GetCount(); ++i)
            m_walk.emplace_back(state->children->GetItem(i), &state->combined);
    }
}

void CAnimationController::UpdatePose(const CkvrMatrix* root)
{
    if (m_states.GetCount() == 0)
        return;
    m_root = root != nullptr ? *root : CkvrMatrix();
    PoseWalk(m_states.GetAt(0), root, false);
    for (uint32_t i = 0; i < m_chainRoots.GetCount(); ++i)
    {
        tag_KVRBONESTATE* chain = m_chainRoots.GetItem(i);
        PoseWalk(chain, chain->parent != nullptr ? &chain->parent->combined : root, true);
    }
}

void CAnimationController::SetBoneMatrices(const char* parameter, CShader* effect)
{
    const uint32_t count = m_states.GetCount();
    if (m_boneMatrices == nullptr || count == 0)
        return;
    if (effect != nullptr)
    {
        effect->SetMatrixArray(parameter, m_boneMatrices[0].m, count);
        return;
    }
    GraphicsDevice* device = s_graphics != nullptr ? s_graphics->GetDevice() : nullptr;
    if (device == nullptr)
        return;
    for (uint32_t i = 0; i < count; ++i)
        device->SetTransform(TRANSFORM_WORLD + i, m_boneMatrices[i].m);
}

uint32_t CAnimationController::IsAnimationEnd(float marginTicks) const
{
    for (uint32_t i = 0; i < m_states.GetCount(); ++i)
    {
        const tag_KVRBONESTATE* state = m_states.GetAt(i);
        if (state->track != nullptr && state->time <= TrackEnd(state->track) - marginTicks)
            return 0;
    }
    return 1;
}

float CAnimationController::GetAnimationLength(uint32_t index) const
{
    if (m_bones == nullptr || m_animations == nullptr || index >= m_animations->GetCount())
        return 0.0f;
    const CModelAnimation* animation = m_animations->GetItem(index);
    return animation != nullptr ? animation->GetLength() / m_timeScale : 0.0f;
}

float CAnimationController::GetCurrentAnimationLength() const
{
    float end = 0.0f;
    for (uint32_t i = 0; i < m_states.GetCount(); ++i)
    {
        const tag_KVRBONESTATE* state = m_states.GetAt(i);
        if (state->track != nullptr)
        {
            const float t = TrackEnd(state->track);
            end = t > end ? t : end;
        }
    }
    return end / m_timeScale;
}

void CAnimationController::BindWalk(tag_KVRBONESTATE* start)
{
    m_walk.clear();
    m_walk.emplace_back(start, nullptr);
    for (uint32_t visits = 0; !m_walk.empty() && visits <= m_states.GetCount(); ++visits)
    {
        tag_KVRBONESTATE* state = m_walk.back().first;
        m_walk.pop_back();
        CModelBone* bone = state->bone;
        if (bone != nullptr && IsIdentity(*bone->GetOffsetMatrix()) && !IsIdentity(*bone->GetLocalMatrix()))
        {
            CkvrMatrix scaling;
            const CkvrVector3 scale = state->combined.GetScale();
            scaling.SetScaling(&scale);
            *bone->GetOffsetMatrix() = scaling * state->combined.GetInverse();
            *bone->GetHead() = CkvrVector3(state->combined.m[12], state->combined.m[13], state->combined.m[14]);
            *bone->GetBoneRotation() = bone->GetOffsetMatrix()->GetRotation();
        }
        for (uint32_t i = 0; state->children != nullptr && i < state->children->GetCount(); ++i)
            m_walk.emplace_back(state->children->GetItem(i), nullptr);
    }
}

void CAnimationController::ResetPose()
{
    Play(0, 0.0f, 1, 0);
    Update(0.0f);
    UpdatePose(nullptr);
    if (m_states.GetCount() > 0)
        BindWalk(m_states.GetAt(0));
}
