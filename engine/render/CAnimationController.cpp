#include "engine/render/CAnimationController.h"

#include "engine/core/AlignedMemory.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CModelAnimation.h"
#include "engine/render/CModelBone.h"
#include "engine/render/CPrimitiveRender.h"
#include "engine/render/CShader.h"
#include "engine/render/ModelDeviceBuffers.h"

#include <cmath>
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
    // local = scaling x rotation x translation, written out: the scaling
    // scales the rotation's rows and the translation fills the fourth row,
    // exactly what the three products would give.
    CkvrVector3 scale(1.0f, 1.0f, 1.0f);
    if (track->scaling != nullptr)
    {
        track->scaling->SetLoop(state->loop);
        CkvrVector3 v;
        track->scaling->GetValueAt(state->time, &v, 0);
        if (blending)
            v = state->fromScale + (v - state->fromScale) * w;
        state->scale = v;
        scale = v;
    }
    CkvrMatrix local;
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
        q.GetMatrix(&local);
    }
    const float factors[3] = {scale.x, scale.y, scale.z};
    for (int row = 0; row < 3; ++row)
    {
        for (int column = 0; column < 3; ++column)
            local.m[row * 4 + column] *= factors[row];
    }
    CkvrVector3 translation;
    if (track->position != nullptr)
    {
        track->position->SetLoop(state->loop);
        track->position->GetValueAt(state->time, &translation, 0);
        if (blending)
            translation = state->fromPosition + (translation - state->fromPosition) * w;
        state->position = translation;
    }
    else if (state->bone != nullptr)
    {
        const CkvrMatrix& rest = *state->bone->GetLocalMatrix();
        translation.Set(rest.m[12], rest.m[13], rest.m[14]);
    }
    local.m[12] = translation.x;
    local.m[13] = translation.y;
    local.m[14] = translation.z;
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

CkvrMatrix CAnimationController::Pivot(const tag_KVRBONESTATE* state, const CkvrMatrix& m) const
{
    const CkvrMatrix t = TranslationOf(m);
    const CkvrMatrix q = m_root.GetRotation();
    return t.GetInverse() * q.GetInverse() * state->pivotRotation * q * t;
}

bool CAnimationController::PoseState(tag_KVRBONESTATE* state, const CkvrMatrix* parent)
{
    CModelBone* bone = state->bone;
    if (bone == nullptr || IsDynamic(bone))
        return false;
    state->parentRelative = parent != nullptr ? state->local * *parent : state->local;
    CkvrMatrix combined = state->parentRelative;
    // Most bones are never turned by game code: their extra rotations are
    // identities and change nothing.
    if (!IsIdentity(state->boneFrameRotation))
    {
        const CkvrMatrix& rotation = *bone->GetBoneRotation();
        combined = rotation.GetInverse() * state->boneFrameRotation * rotation * combined;
    }
    if (!IsIdentity(state->pivotRotation))
        combined = combined * Pivot(state, combined);
    state->combined = combined;
    state->previousSkin = state->skin;
    state->skin = *bone->GetOffsetMatrix() * combined;
    m_boneMatrices[state->index] = state->skin;
    return true;
}

namespace
{
float LargestScale(const CkvrMatrix& m)
{
    const CkvrVector3 s = m.GetScale();
    return std::fmax(std::fabs(s.x), std::fmax(std::fabs(s.y), std::fabs(s.z)));
}

bool IsFinite(const CkvrVector3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A matrix no pose has written yet (the states start zero-filled).
bool IsUnposed(const CkvrMatrix& m)
{
    return m.m[15] == 0.0f;
}

// Resistance times the frame's time takes that share off the swing; a swing
// shorter than the share stops.
void DampSwing(tag_KVRBONESTATE* state, float resistance, float elapsed)
{
    const float k = elapsed * resistance;
    if (k * k <= state->swingOffset.LengthSq())
        state->swingOffset = state->swingOffset - state->swingOffset * k;
    else
        state->swingOffset = CkvrVector3();
}

// The bone's new frame rotation turning its head-to-centre line towards
// the centre moved by the swing offset. A bone scaled to nothing has no
// direction to swing in: it rests.
CkvrMatrix IntegrateSwing(tag_KVRBONESTATE* state, const SwingFrame& frame)
{
    if (!(frame.scale > 0.0f) || !std::isfinite(frame.scale))
        return CkvrMatrix();
    state->swingOffset = state->swingOffset + state->swingForce * (1.0f / frame.scale);
    if (!IsFinite(state->swingOffset))
        state->swingOffset = CkvrVector3();
    const CkvrVector3 from = frame.centre - frame.head;
    const CkvrVector3 to = frame.centre + state->swingOffset - frame.head;
    if (from.LengthSq() == 0.0f || to.LengthSq() == 0.0f)
        return CkvrMatrix();
    CkvrQuaternion q;
    q.SetRotationArc(&from, &to);
    // A quaternion's matrix turns row vectors by its conjugate: the inverse
    // arc is what carries the centre along the swing offset rather than
    // mirrored away from it.
    const CkvrMatrix& rotation = *state->bone->GetBoneRotation();
    return rotation.GetInverse() * q.GetInverse().GetMatrix() * rotation;
}
}

SwingFrame CAnimationController::MakeSwingFrame(const tag_KVRBONESTATE* state) const
{
    const KVRBONEPARAMETERS& parameters = *state->bone->GetParameters();
    SwingFrame frame;
    frame.centre = parameters.sphereCentre;
    frame.head = *state->bone->GetHead();
    frame.direction = (frame.centre.GetTransform(state->skin) - frame.head.GetTransform(state->skin)).GetNormal();
    frame.inverseRotation = state->skin.GetRotation().GetInverse();
    frame.inverseResistance = parameters.resistance > 0.0f ? 1.0f / parameters.resistance : 1.0f;
    frame.scale = LargestScale(state->skin);
    return frame;
}

void CAnimationController::AddExternalForce(tag_KVRBONESTATE* state, const SwingFrame& frame, float elapsed) const
{
    const CkvrVector3 up(0.0f, 1.0f, 0.0f);
    const float upShare = 1.0f - std::fabs(frame.direction.Dot(up));
    const float windShare = 1.0f - std::fabs(frame.direction.Dot(m_wind.GetNormal()));
    const CkvrVector3 f = up * (m_gravity * upShare) + m_wind * (windShare * frame.inverseResistance);
    state->swingForce = state->swingForce + f.GetTransform(frame.inverseRotation) * elapsed;
}

void CAnimationController::AddInertia(tag_KVRBONESTATE* state, const SwingFrame& frame) const
{
    const tag_KVRBONESTATE* parent = state->parent;
    // A parent posed for the first time has not moved: without this the
    // first pose after loading would fling every chain from the origin.
    if (parent == nullptr || IsUnposed(parent->previousSkin))
        return;
    const CkvrVector3 d = frame.centre.GetTransform(parent->previousSkin) - frame.centre.GetTransform(parent->skin);
    const float share = 1.0f - std::fabs(frame.direction.Dot(d.GetNormal()));
    state->swingForce = state->swingForce + d.GetTransform(frame.inverseRotation) * (share * frame.inverseResistance);
}

bool CAnimationController::PoseDynamic(tag_KVRBONESTATE* state, const CkvrMatrix* parent)
{
    CModelBone* bone = state->bone;
    if (bone == nullptr)
        return false;
    state->parentRelative = parent != nullptr ? state->local * *parent : state->local;
    state->previousSkin = state->skin;
    // The pose with last frame's swing: where the bone is now.
    const bool pivoted = !IsIdentity(state->pivotRotation);
    CkvrMatrix predicted = state->boneFrameRotation * state->parentRelative;
    if (pivoted)
        predicted = predicted * Pivot(state, predicted);
    state->skin = *bone->GetOffsetMatrix() * predicted;

    const float elapsed = GetElapsedSeconds();
    DampSwing(state, bone->GetParameters()->resistance, elapsed);
    state->swingForce = CkvrVector3();
    const SwingFrame frame = MakeSwingFrame(state);
    if (state->parent == nullptr || !IsDynamic(state->parent->bone))
        AddExternalForce(state, frame, elapsed);
    AddInertia(state, frame);
    CollideSwing(state, frame.inverseRotation, frame.scale);
    state->boneFrameRotation = IntegrateSwing(state, frame);

    CkvrMatrix combined = state->boneFrameRotation * state->parentRelative;
    if (pivoted)
        combined = combined * Pivot(state, combined);
    state->combined = combined;
    state->skin = *bone->GetOffsetMatrix() * combined;
    m_boneMatrices[state->index] = state->skin;
    return true;
}

void CAnimationController::CollideSwing(tag_KVRBONESTATE* state, const CkvrMatrix& inverseRotation, float scale)
{
    const KVRBONEPARAMETERS& own = *state->bone->GetParameters();
    const float r = own.collisionRadius * scale;
    const CkvrVector3 c = own.sphereCentre.GetTransform(state->skin);
    for (uint32_t j = 0; j < m_states.GetCount(); ++j)
    {
        const tag_KVRBONESTATE* other = m_states.GetAt(j);
        if (other->bone == nullptr || other->bone->GetParameters()->collisionRadius <= 0.0f)
            continue;
        const KVRBONEPARAMETERS& theirs = *other->bone->GetParameters();
        const float rj = theirs.collisionRadius * scale;
        const CkvrVector3 diff = c - theirs.sphereCentre.GetTransform(other->skin);
        const float dist = diff.Length();
        if (!(dist < r + rj))
            continue;
        const CkvrVector3 t = (own.sphereCentre - theirs.sphereCentre).GetNormal();
        const CkvrVector3 push = (diff.GetNormal() * (r + rj - dist)).GetTransform(inverseRotation);
        const CkvrVector3 term = push * (push.Dot(state->swingOffset) >= 0.0f ? scale : -scale);
        if (t.Dot(push) >= 0.0f)
        {
            state->swingOffset = state->swingOffset + term;
            state->swingForce = state->swingForce + push;
        }
        else
        {
            state->swingOffset = state->swingOffset - term;
            state->swingForce = state->swingForce - push;
        }
    }
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
        const bool posed = dynamicChain ? PoseDynamic(state, parentMatrix) : PoseState(state, parentMatrix);
        if (!posed || state->children == nullptr)
            continue;
        // Pushed in reverse so that children are posed in list order.
        for (uint32_t i = state->children->GetCount(); i-- > 0;)
            m_walk.emplace_back(state->children->GetItem(i), &state->combined);
    }
}

void CAnimationController::UpdatePose(const CkvrMatrix* root)
{
    if (m_states.GetCount() == 0 || m_boneMatrices == nullptr)
        return;
    m_root = root != nullptr ? *root : CkvrMatrix();
    PoseWalk(m_states.GetAt(0), root, false);
    for (uint32_t i = 0; i < m_chainRoots.GetCount(); ++i)
    {
        tag_KVRBONESTATE* chain = m_chainRoots.GetItem(i);
        PoseWalk(chain, chain->parent != nullptr ? &chain->parent->combined : root, true);
    }
}

template <class Visit>
void CAnimationController::ForEachChainState(Visit visit)
{
    for (uint32_t i = 0; i < m_chainRoots.GetCount(); ++i)
    {
        m_walk.clear();
        m_walk.emplace_back(m_chainRoots.GetItem(i), nullptr);
        for (uint32_t visits = 0; !m_walk.empty() && visits <= m_states.GetCount(); ++visits)
        {
            tag_KVRBONESTATE* state = m_walk.back().first;
            m_walk.pop_back();
            visit(state);
            for (uint32_t c = 0; state->children != nullptr && c < state->children->GetCount(); ++c)
                m_walk.emplace_back(state->children->GetItem(c), nullptr);
        }
    }
}

void CAnimationController::SetBoneOffsets(const CkvrVector3* offset)
{
    const CkvrVector3 value = offset != nullptr ? *offset : CkvrVector3();
    ForEachChainState([&](tag_KVRBONESTATE* state) {
        state->swingOffset = value;
        state->swingForce = value;
    });
}

void CAnimationController::AddBoneOffsets(const CkvrVector3* offset)
{
    if (offset == nullptr)
        return;
    ForEachChainState([&](tag_KVRBONESTATE* state) {
        state->swingOffset = state->swingOffset + *offset;
        state->swingForce = state->swingForce + *offset;
    });
}

uint32_t CAnimationController::DrawCollisionSpheres(const CkvrVector4* color)
{
    const uint32_t argb = color != nullptr ? ModelDeviceBuffers::PackColor(*color) : 0xFFFFFFFFu;
    for (uint32_t i = 0; i < m_states.GetCount(); ++i)
    {
        const tag_KVRBONESTATE* state = m_states.GetAt(i);
        if (state->bone == nullptr || state->bone->GetParameters()->collisionRadius <= 0.0f)
            continue;
        const KVRBONEPARAMETERS& parameters = *state->bone->GetParameters();
        const CkvrVector3 at = parameters.sphereCentre.GetTransform(state->skin);
        CPrimitiveRender::DrawSphere(&at.x, parameters.collisionRadius * LargestScale(state->skin), argb);
    }
    return 1;
}

uint32_t CAnimationController::DrawBoneCentres(const CkvrVector4* color, float radius)
{
    const uint32_t argb = color != nullptr ? ModelDeviceBuffers::PackColor(*color) : 0xFFFFFFFFu;
    for (uint32_t i = 0; i < m_states.GetCount(); ++i)
    {
        const tag_KVRBONESTATE* state = m_states.GetAt(i);
        if (state->bone == nullptr)
            continue;
        const CkvrVector3 at = state->bone->GetParameters()->sphereCentre.GetTransform(state->skin);
        CPrimitiveRender::DrawSphere(&at.x, radius, argb);
    }
    return 1;
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
