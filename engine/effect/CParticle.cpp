#include "engine/effect/CParticle.h"

#include "engine/core/CRandom.h"
#include "engine/effect/CEffect.h"
#include "engine/effect/CEffectController.h"
#include "engine/effect/CEffectObject.h"
#include "engine/effect/EffectMath.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CPrimitiveList.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CCamera.h"
#include "engine/render/CMesh.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr uint32_t kTrailFvf = FVF_XYZ | FVF_DIFFUSE | FVF_TEX1;
constexpr uint32_t kTrailStride = 24;

CkvrVector4 Subtract4(const CkvrVector4& a, const CkvrVector4& b)
{
    return CkvrVector4(float(double(a.x) - b.x), float(double(a.y) - b.y), float(double(a.z) - b.z),
                       float(double(a.w) - b.w));
}

CkvrVector4 Scale4(const CkvrVector4& a, float s)
{
    return CkvrVector4(float(double(a.x) * s), float(double(a.y) * s), float(double(a.z) * s),
                       float(double(a.w) * s));
}

CkvrVector3 Max3(const CkvrVector3& v, float low)
{
    return CkvrVector3(std::max(v.x, low), std::max(v.y, low), std::max(v.z, low));
}
}

CParticle::CParticle() = default;

CParticle::~CParticle()
{
    FreeOwned();
}

void CParticle::FreeOwned()
{
    if (m_trailLists != nullptr)
    {
        for (uint32_t i = 0; i < m_trailLists->GetCount(); ++i)
        {
            CPrimitiveList* list = *m_trailLists->GetAt(i);
            if (list == nullptr)
                continue;
            list->Release();
            delete list;
        }
        m_trailLists->Release();
        delete m_trailLists;
        m_trailLists = nullptr;
    }
    if (m_state.animationPlayer != nullptr)
    {
        m_state.animationPlayer->Release();
        m_state.animationPlayer = nullptr;
    }
}

int CParticle::Emit(CEffectObject* object, CEffectController* controller, CEffect* effect, float time)
{
    m_object = object;
    m_controller = controller;
    m_effect = effect;
    const tag_KVRPARTICLEPARAMETER& p = *object->GetParticleParameters();
    const tag_KVREFFECTPARAMETER& e = *object->GetParameters();

    // The random draws come in a fixed order: replays depend on it.
    const float ax = p.offset.z != 0.0f ? float(RandomInt(360)) : 0.0f;
    const float ay = p.offset.x != 0.0f ? float(RandomInt(360)) : 0.0f;
    const float az = p.offset.y != 0.0f ? float(RandomInt(360)) : 0.0f;
    const CkvrVector3 angles = CkvrVector3(ax, ay, az).GetRandom(100);
    CkvrMatrix turn;
    turn.SetRotationZXY(&angles);
    m_state.start = p.offset.GetTransform(turn) + p.positionSpread.GetRandom(100);
    m_state.rotationOffset = p.rotationSpread.GetRandom(100);

    float speed = p.speed;
    if (p.speedSpread != 0.0f)
        speed = float(double(speed) + RandomSpeedOffset(p.speedSpread));
    CkvrVector3 spread = p.directionSpread.GetRandom(1000);
    spread.Normalize(&spread);
    CkvrVector3 heading = p.direction + spread;
    heading.Normalize(&heading);
    m_state.velocity = heading * speed;
    if (e.flags & EFFECTFLAG_INWARD)
        m_state.velocity = m_state.velocity - m_state.start * speed;

    m_state.scaleFactor = CkvrVector3(1.0f, 1.0f, 1.0f) + p.scaleSpread.GetRandom(100);
    const CkvrVector4 colorSpread = p.colorSpread.GetRandom(100);
    m_state.colorFactor = CkvrVector4(1.0f + colorSpread.x, 1.0f + colorSpread.y, 1.0f + colorSpread.z,
                                      1.0f + colorSpread.w);
    m_state.birthTime = time;

    SetBlendMode(e.blendMode);
    SetPriority(int32_t(e.optionWord));
    SetRenderOption(e.renderOption);
    SetUseRenderList(e.sorted);

    if (effect != nullptr)
    {
        m_state.birthPosition = *effect->GetPosition();
        m_state.birthRotation = *effect->GetRotation();
        m_state.birthScaling = *effect->GetScale();
        m_state.birthColor = *effect->GetColor();
        m_state.birthWorld = *effect->GetWorldMatrix();
    }

    if (e.kind == EFFECTKIND_MODEL)
    {
        CMesh* mesh = dynamic_cast<CMesh*>(object->GetResource());
        if (mesh != nullptr && mesh->GetAnimationList()->GetCount() > 0)
            m_state.animationPlayer = mesh->CreateAnimationController();
    }
    if (object->GetTraceList()->GetCount() > 0)
        BuildTrails();
    return 1;
}

void CParticle::BuildTrails()
{
    m_trailLists = new CResourceList<CPrimitiveList*>();
    const CList<tag_KVRPARTICLETRACEDATA>& traces = *m_object->GetTraceList();
    // One list per trail record, built or not, so that list i is trail i.
    if (!m_trailLists->SetCount(traces.GetCount()))
        return;
    for (uint32_t i = 0; i < traces.GetCount(); ++i)
    {
        const tag_KVRPARTICLETRACEDATA& trace = *traces.GetAt(i);
        CPrimitiveList* list = new CPrimitiveList();
        list->Build(2, std::min(trace.segments, kMaxTrailRows), kTrailStride, kTrailFvf, 2);
        list->SetTexture(trace.texture);
        list->SetUseRenderList(GetUseRenderList());
        list->SetBlendMode(GetBlendMode());
        list->SetRenderOption(GetRenderOption());
        m_trailLists->SetAt(list, i);
    }
}

float CParticle::Age() const
{
    const float now = m_effect != nullptr ? m_effect->GetElapsed() : 0.0f;
    return float(double(now) - m_state.birthTime);
}

bool CParticle::LifePassed() const
{
    const float life = m_object->GetParticleParameters()->life;
    return life > 0.0f && Age() >= life;
}

int CParticle::Update(uintptr_t argument)
{
    CObjectBase* parent = reinterpret_cast<CObjectBase*>(argument);
    // A chain is walked, not recursed: one emission may fill the pool.
    for (CParticle* particle = this; particle != nullptr;)
    {
        CParticle* next = particle->m_next;
        particle->UpdateSelf(parent);
        if (particle->LifePassed())
        {
            particle->Unlink();
            particle->ReleaseSelf();
        }
        particle = next;
    }
    return 1;
}

void CParticle::UpdateSelf(CObjectBase* parent)
{
    m_parent = parent;
    Step();
    const float largest = std::max({std::fabs(m_scale.x), std::fabs(m_scale.y), std::fabs(m_scale.z)});
    SetRadius(float(double(m_object->GetParameters()->size) * largest));

    if (m_state.animationPlayer != nullptr && m_effect != nullptr)
    {
        if (m_effect->GetAnimation() != m_state.animationNumber)
        {
            m_state.animationPlayer->Play(m_effect->GetAnimation(), 0.1f, 0, 0);
            m_state.animationNumber = m_effect->GetAnimation();
        }
        const float now = m_effect->GetElapsed();
        m_state.animationPlayer->Update(float(double(now) - m_state.animationTime));
        m_state.animationTime = now;
    }
    if (m_object->GetParameters()->kind == EFFECTKIND_CONTAINER && m_nested != nullptr)
        m_nested->Update(reinterpret_cast<uintptr_t>(parent));
    if (m_trailLists != nullptr)
        UpdateTrails();
    if (m_trail != nullptr)
        m_trail->Update(reinterpret_cast<uintptr_t>(static_cast<CObjectBase*>(this)));
}

void CParticle::Step()
{
    const tag_KVRPARTICLEPARAMETER& p = *m_object->GetParticleParameters();
    const uint32_t flags = m_object->GetParameters()->flags;
    const float age = Age();
    CkvrMatrix spin;
    const CkvrVector3 spinAngles = p.spin * age;
    spin.SetRotationZXY(&spinAngles);

    CkvrVector3 local = m_state.start + m_state.velocity * age;
    local.y = float(double(local.y) + double(age) * age * p.gravity * 0.5);
    local = local.GetTransform(spin);
    m_state.localPosition = local;

    const bool detached = (flags & EFFECTFLAG_DETACHED) != 0;
    if (detached || (flags & EFFECTFLAG_DETACHED_POSITION))
        m_position = local.GetTransform(m_state.birthWorld);
    else if (m_parent != nullptr)
        m_position = local.GetTransform(*m_parent->GetWorldMatrix());

    if (detached || (flags & EFFECTFLAG_DETACHED_ROTATION))
        m_rotation = m_state.birthRotation + m_state.rotationOffset;
    else if (m_parent != nullptr)
        m_rotation = *m_parent->GetRotation() + m_state.rotationOffset;

    const CkvrVector3 scaleFactor = m_state.scaleFactor - p.scaleDecay * age;
    if (detached || (flags & EFFECTFLAG_DETACHED_SCALING))
        m_scale = m_state.birthScaling.Multiply(scaleFactor);
    else if (m_parent != nullptr)
        m_scale = m_parent->GetScale()->Multiply(scaleFactor);

    const CkvrVector4 colorFactor = Subtract4(m_state.colorFactor, Scale4(p.colorDecay, age));
    if (detached || (flags & EFFECTFLAG_DETACHED_COLOR))
        m_color = MultiplyColor(m_state.birthColor, colorFactor);
    else if (m_parent != nullptr)
        m_color = MultiplyColor(*m_parent->GetColor(), colorFactor);

    m_scale = Max3(m_scale, 0.0f);
    m_color = ClampColor(m_color, 0.0f, 1.0f);
}

void CParticle::UpdateWorldMatrix()
{
    const tag_KVREFFECTPARAMETER& e = *m_object->GetParameters();
    CkvrMatrix world;
    if (e.flags & EFFECTFLAG_NO_ROTATION)
    {
        world.Identity();
    }
    else if ((e.flags & EFFECTFLAG_RADIAL) && m_parent != nullptr)
    {
        const CkvrVector3 d = m_position - *m_parent->GetPosition();
        const double yaw = std::atan2(double(d.x), double(d.z)) * kEffectRadiansToDegrees;
        const double pitch =
            std::atan2(double(d.y), std::sqrt(double(d.x) * d.x + double(d.z) * d.z)) * kEffectRadiansToDegrees;
        world.SetRotationZXY(float(-pitch), float(yaw), 0.0f);
    }
    else
    {
        BuildEffectRotation(e.rotationOrder, m_rotation, &world);
    }

    CGraphics* graphics = m_controller != nullptr ? m_controller->GetGraphics() : nullptr;
    const CCamera* camera = graphics != nullptr ? graphics->GetCamera() : nullptr;
    if (e.billboard != 0 && camera != nullptr)
    {
        bool facing = true;
        CkvrMatrix face;
        if (e.billboard == 1)
            face = GetCameraInverseView(*camera);
        else if (e.billboard == 2)
            face = camera->GetBillboardMatrix();
        else if (e.billboard == 3)
            face = GetCameraUprightBillboard(*camera);
        else if (m_parent != nullptr)
        {
            CkvrVector3 u = e.facingAxis.GetTransform(m_parent->GetWorldMatrix()->GetRotation());
            CkvrMatrix tilt;
            tilt.SetRotationX(float(double(u.z) * 90.0));
            const CkvrVector3 a = CkvrVector3(0.0f, 0.0f, -1.0f).GetTransform(tilt);
            u.Set(std::fabs(u.x), std::fabs(u.y), std::fabs(u.z));
            CkvrVector3 c = GetCameraViewDirection(*camera) * -1.0f;
            c = c - c.Multiply(u);
            CkvrQuaternion arc;
            arc.SetRotationArc(&c, &a);
            face = arc.GetMatrix();
        }
        else
            facing = false;
        if (facing)
            world = world * face;
    }

    const float factors[3] = {m_scale.x, m_scale.y, m_scale.z};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            world.m[r * 4 + c] = float(double(world.m[r * 4 + c]) * factors[r]);
    // The position replaces whatever translation a facing matrix carried.
    world.m[12] = m_position.x;
    world.m[13] = m_position.y;
    world.m[14] = m_position.z;
    world.m[15] = 1.0f;
    m_world = world;
}

void CParticle::UpdateTrails()
{
    UpdateWorldMatrix();
    const CList<tag_KVRPARTICLETRACEDATA>& traces = *m_object->GetTraceList();
    const uint32_t lists = std::min(m_trailLists->GetCount(), traces.GetCount());
    for (uint32_t i = 0; i < lists; ++i)
    {
        CPrimitiveList* list = *m_trailLists->GetAt(i);
        CList<tag_KVRMODELVERTEX>* vertices = list != nullptr ? list->GetVertexList() : nullptr;
        if (vertices == nullptr || vertices->GetCount() < 2)
            continue;
        const tag_KVRPARTICLETRACEDATA& trace = *traces.GetAt(i);
        tag_KVRMODELVERTEX* v = vertices->GetData();
        const int64_t n = vertices->GetCount();
        const uint32_t drawn = list->GetDrawCount();
        const float step = float(1.0 / double(n));
        for (int64_t k = n - 1; k >= 3; k -= 2)
        {
            v[k] = v[k - 2];
            v[k - 1] = v[k - 3];
            for (tag_KVRMODELVERTEX* moved : {&v[k], &v[k - 1]})
            {
                moved->uv[0][0] = float(double(moved->uv[0][0]) + step);
                moved->color.w = float(double(moved->color.w) - trace.fade);
            }
            v[k].position = v[k - 1].position + (v[k].position - v[k - 1].position) * (1.0f - trace.pull);
        }
        v[0].position = trace.firstEdge.Multiply(m_scale).GetTransform(m_world);
        v[0].color = m_color;
        v[0].uv[0][0] = 0.0f;
        v[0].uv[0][1] = 1.0f;
        v[1].position = trace.secondEdge.Multiply(m_scale).GetTransform(m_world);
        v[1].color = m_color;
        v[1].uv[0][0] = 0.0f;
        v[1].uv[0][1] = 0.0f;
        list->SetPosition(&v[0].position);
        if (int64_t(drawn) < n)
            list->SetDrawCount(drawn + 2);
    }
}

int CParticle::RenderChain(CEffect* owner, uintptr_t renderList)
{
    (void)owner;
    for (CParticle* particle = this; particle != nullptr; particle = particle->m_next)
    {
        if (particle->m_effect != nullptr && particle->m_state.birthTime > particle->m_effect->GetElapsed())
            return 0;
        const uint32_t kind = particle->m_object->GetParameters()->kind;
        if (kind == EFFECTKIND_SOUND)
            return 1;
        if (kind == EFFECTKIND_CONTAINER)
        {
            if (particle->m_nested != nullptr)
                particle->m_nested->Render(renderList);
        }
        else if (particle->m_color.w > 0.001f)
            particle->Draw(renderList);
        if (particle->m_trail != nullptr)
            particle->m_trail->RenderChain(owner, renderList);
    }
    return 1;
}

void CParticle::Draw(uintptr_t renderList)
{
    CRenderList* list = reinterpret_cast<CRenderList*>(renderList);
    if (m_object->GetParameters()->sorted == 0 || list == nullptr)
    {
        Render(0);
        return;
    }
    list->Add(this, 0);
    if (m_trailLists == nullptr)
        return;
    for (uint32_t i = 0; i < m_trailLists->GetCount(); ++i)
    {
        CPrimitiveList* trail = *m_trailLists->GetAt(i);
        if (trail != nullptr)
            trail->Render(renderList);
    }
}

int CParticle::Render(uintptr_t argument)
{
    (void)argument;
    CResourceBase* resource = m_object != nullptr ? m_object->GetResource() : nullptr;
    if (resource == nullptr)
        return 0;
    const tag_KVREFFECTPARAMETER& e = *m_object->GetParameters();
    if (e.kind == EFFECTKIND_SOUND || e.kind == EFFECTKIND_CONTAINER)
        return 1;
    UpdateWorldMatrix();
    CGraphics* graphics = m_controller != nullptr ? m_controller->GetGraphics() : nullptr;
    uint32_t fogWasOn = 0;
    if (graphics != nullptr)
    {
        graphics->SetBlendMode(GetBlendMode());
        fogWasOn = graphics->GetStateCache()->fogEnable;
        if (e.flags & EFFECTFLAG_NO_FOG)
            graphics->SetFogEnable(0);
    }
    if (e.sorted == 0 && m_trailLists != nullptr)
    {
        for (uint32_t i = 0; i < m_trailLists->GetCount(); ++i)
        {
            CPrimitiveList* trail = *m_trailLists->GetAt(i);
            if (trail != nullptr)
                trail->Render(0);
        }
        if (graphics != nullptr)
            graphics->SetBlendMode(GetBlendMode());
    }
    if (e.kind == EFFECTKIND_TEXTURE)
    {
        CTexture* texture = dynamic_cast<CTexture*>(resource);
        const CRect* rect = m_effect != nullptr ? m_effect->GetRect() : nullptr;
        const float source[4] = {rect != nullptr ? rect->left : 0.0f, rect != nullptr ? rect->top : 0.0f,
                                 rect != nullptr ? rect->right : 0.0f, rect != nullptr ? rect->bottom : 0.0f};
        if (texture != nullptr)
            texture->DrawPolygon(&m_world, source, ColorToArgb(m_color));
    }
    else if (e.kind == EFFECTKIND_MODEL)
    {
        CMesh* mesh = dynamic_cast<CMesh*>(resource);
        CShader* shader = CGraphics::GetDefaultShader();
        const CkvrVector3* uv = m_effect != nullptr ? m_effect->GetUV() : nullptr;
        const float addUv[2] = {uv != nullptr ? uv->x : 0.0f, uv != nullptr ? uv->y : 0.0f};
        if (shader != nullptr)
            shader->SetFloatArray("g_AddUV", addUv, 2);
        if (m_state.animationPlayer != nullptr)
            m_state.animationPlayer->UpdatePose(&m_world);
        if (mesh != nullptr)
            mesh->DrawSkinned(&m_world, &m_color, m_state.animationPlayer);
        const float zero[2] = {0.0f, 0.0f};
        if (shader != nullptr)
            shader->SetFloatArray("g_AddUV", zero, 2);
    }
    if (graphics != nullptr && (e.flags & EFFECTFLAG_NO_FOG) && fogWasOn != 0)
        graphics->SetFogEnable(1);
    return 1;
}

void CParticle::Unlink()
{
    if (m_previous != nullptr)
    {
        m_previous->m_next = m_next;
        if (m_next != nullptr)
            m_next->m_previous = m_previous;
    }
    else
    {
        if (m_next != nullptr)
            m_next->m_previous = nullptr;
        // A trail-chain head leaves its owner's trail chain; only the head
        // of the effect's own chain hands the effect a new first particle.
        if (m_trailOwner != nullptr)
        {
            if (m_trailOwner->m_trail == this)
                m_trailOwner->m_trail = m_next;
        }
        else if (m_effect != nullptr && m_effect->GetFirstParticle() == this)
            m_effect->SetFirstParticle(m_next);
    }
    m_previous = nullptr;
    m_next = nullptr;
    m_trailOwner = nullptr;
}

void CParticle::ReleaseChain(CParticle* head)
{
    while (head != nullptr)
    {
        CParticle* next = head->m_next;
        head->m_next = nullptr;
        head->ReleaseSelf();
        head = next;
    }
}

uint32_t CParticle::Release()
{
    CParticle* next = m_next;
    m_next = nullptr;
    ReleaseSelf();
    ReleaseChain(next);
    return 1;
}

void CParticle::ReleaseSelf()
{
    if (m_nested != nullptr)
    {
        CEffect* nested = m_nested;
        m_nested = nullptr;
        nested->Release();
    }
    FreeOwned();
    if (m_trail != nullptr)
    {
        CParticle* trail = m_trail;
        m_trail = nullptr;
        ReleaseChain(trail);
    }
    CObjectBase::Release();
    if (m_controller != nullptr)
        m_controller->FreeParticle(this);
}
