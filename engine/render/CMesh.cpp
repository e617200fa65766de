#include "engine/render/CMesh.h"

#include "engine/core/AlignedMemory.h"
#include "engine/platform/CGraphics.h"
#include "engine/render/CAnalysMesh.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CModelAnimation.h"
#include "engine/render/CModelBone.h"
#include "engine/render/CModelObject.h"
#include "engine/render/CShader.h"
#include "engine/render/CWriteMesh.h"

#include <cmath>

CGraphics* CMesh::s_graphics = nullptr;

CMesh::CMesh()
{
    SetKind(KIND_MESH);
}

CMesh::~CMesh()
{
    CMesh::Release();
}

uint32_t CMesh::Release()
{
    // The controller points into the bone and animation lists.
    if (m_controller != nullptr)
        m_controller->Release();
    m_controller = nullptr;
    for (uint32_t i = 0; i < m_objects.GetCount(); ++i)
        delete m_objects.GetItem(i);
    m_objects.Release();
    for (uint32_t i = 0; i < m_bones.GetCount(); ++i)
        delete m_bones.GetItem(i);
    m_bones.Release();
    for (uint32_t i = 0; i < m_boneSets.GetCount(); ++i)
        delete m_boneSets.GetItem(i);
    m_boneSets.Release();
    for (uint32_t i = 0; i < m_animations.GetCount(); ++i)
        delete m_animations.GetItem(i);
    m_animations.Release();
    return CResourceBase::Release();
}

uint32_t CMesh::FinishLoad()
{
    m_controller = CreateAnimationController();
    if (m_controller != nullptr)
        m_controller->ResetPose();
    for (uint32_t i = 0; i < m_bones.GetCount(); ++i)
    {
        KVRBONEPARAMETERS* parameters = m_bones.GetItem(i)->GetParameters();
        float sphere[4] = {};
        GetBoneSphere(sphere, i);
        parameters->sphereCentre.Set(sphere[0], sphere[1], sphere[2]);
        parameters->sphereRadius = sphere[3];
    }
    return 1;
}

uint32_t CMesh::LoadFromFile(const char* fileName, CResourceList<CTexture*>* textures,
                             CResourceList<CShader*>* effects)
{
    if (fileName == nullptr || s_graphics == nullptr || s_graphics->GetDevice() == nullptr)
        return 0;
    CAnalysMesh reader;
    if (!reader.Open(fileName))
        return 0;
    const uint32_t loaded = reader.Load(this, fileName, textures, effects);
    reader.Close();
    if (!loaded)
    {
        Release();
        return 0;
    }
    SetName(fileName);
    return FinishLoad();
}

uint32_t CMesh::LoadFromPack(const void* data, const char* name, uint32_t size, CResourceList<CTexture*>* textures,
                             CResourceList<CShader*>* effects)
{
    if (data == nullptr || name == nullptr || size == 0 || s_graphics == nullptr || s_graphics->GetDevice() == nullptr)
        return 0;
    CAnalysMesh reader;
    if (!reader.OpenMemory(data, size))
        return 0;
    const uint32_t loaded = reader.Load(this, name, textures, effects);
    reader.Close();
    if (!loaded)
    {
        Release();
        return 0;
    }
    SetName(name);
    return FinishLoad();
}

uint32_t CMesh::SaveToFile(const char* fileName)
{
    if (fileName == nullptr)
        return 0;
    CWriteMesh writer;
    return writer.Write(this, fileName);
}

uint32_t CMesh::LoadBoneSets(const char* fileName)
{
    if (fileName == nullptr || s_graphics == nullptr || s_graphics->GetDevice() == nullptr)
        return 0;
    CAnalysMesh reader;
    if (!reader.Open(fileName))
        return 0;
    const uint32_t loaded = reader.LoadBoneSets(this, fileName);
    reader.Close();
    return loaded;
}

CAnimationController* CMesh::CreateAnimationController()
{
    return new (std::nothrow) CAnimationController(&m_bones, &m_animations);
}

uint32_t CMesh::Refresh(const CResourceList<CTexture*>* textures, const CResourceList<CShader*>* effects)
{
    if (m_controller != nullptr)
        m_controller->Release();
    m_controller = nullptr;
    for (uint32_t i = 0; i < m_objects.GetCount(); ++i)
    {
        if (!m_objects.GetItem(i)->DropMissingResources(textures, effects))
            return 0;
    }
    for (uint32_t i = 0; i < m_bones.GetCount();)
    {
        CModelBone* bone = m_bones.GetItem(i);
        if (bone->CheckHierarchy(&m_bones))
        {
            ++i;
            continue;
        }
        delete bone;
        if (!m_bones.RemoveAt(i))
            return 0;
        for (uint32_t o = 0; o < m_objects.GetCount(); ++o)
            m_objects.GetItem(o)->RemoveBoneInfluences(i);
        i = 0;
    }
    for (uint32_t i = 0; i < m_bones.GetCount(); ++i)
        m_bones.GetItem(i)->SetIndex(i);
    for (uint32_t i = 0; i < m_objects.GetCount(); ++i)
    {
        if (!m_objects.GetItem(i)->Create())
            return 0;
    }
    for (uint32_t i = 0; i < m_animations.GetCount();)
    {
        CModelAnimation* animation = m_animations.GetItem(i);
        if (animation->DropMissingBones(&m_bones))
        {
            ++i;
            continue;
        }
        delete animation;
        if (!m_animations.RemoveAt(i))
            return 0;
        i = 0;
    }
    m_controller = CreateAnimationController();
    return 1;
}

CShader* CMesh::EffectForDraw() const
{
    return m_bones.GetCount() <= MAX_EFFECT_BONES ? CGraphics::GetDefaultShader() : nullptr;
}

uint32_t CMesh::DrawSkinned(const CkvrMatrix* world, const CkvrVector4* option, CAnimationController* controller)
{
    CShader* effect = EffectForDraw();
    if (controller != nullptr)
        controller->SetBoneMatrices("g_WorldMatrixArray", CGraphics::GetDefaultShader());
    for (uint32_t i = 0; i < m_objects.GetCount(); ++i)
    {
        if (!m_objects.GetItem(i)->Draw(world, option, controller, effect))
            return 0;
    }
    return 1;
}

uint32_t CMesh::DrawObjects(const CkvrMatrix* world)
{
    return DrawSkinned(world, nullptr, nullptr);
}

uint32_t CMesh::DrawStatic(const CkvrMatrix* world, const CkvrVector4* option)
{
    return DrawSkinned(world, option, nullptr);
}

uint32_t CMesh::DrawSkinnedDefault(const CkvrMatrix* world, CAnimationController* controller)
{
    return DrawSkinned(world, nullptr, controller);
}

uint32_t CMesh::DrawAnimated(const CkvrMatrix* world, float timeStep, uint32_t animation)
{
    return DrawAnimatedEx(world, nullptr, timeStep, animation);
}

uint32_t CMesh::DrawAnimatedEx(const CkvrMatrix* world, const CkvrVector4* option, float timeStep,
                               uint32_t animation)
{
    if (m_animations.GetCount() == 0)
        return DrawStatic(world, option);
    if (m_controller == nullptr)
        return DrawSkinned(world, option, nullptr);
    m_controller->Play(animation, 0.0f, 1, 0);
    m_controller->Update(timeStep);
    m_controller->UpdatePose(world);
    return DrawSkinned(world, option, m_controller);
}

uint32_t CMesh::GetBoundingBox(CkvrVector3* centre, CkvrVector3* halfSize) const
{
    if (centre == nullptr || halfSize == nullptr)
        return 0;
    CkvrVector3 low;
    CkvrVector3 high;
    bool first = true;
    for (uint32_t i = 0; i < m_objects.GetCount(); ++i)
    {
        // An object without vertices has no box to add (not one at the origin).
        if (m_objects.GetItem(i)->GetVertexList()->GetCount() == 0)
            continue;
        CkvrVector3 c;
        CkvrVector3 h;
        if (!m_objects.GetItem(i)->CalcBounds(&c, &h))
            return 0;
        const CkvrVector3 objectHigh = c + h;
        const CkvrVector3 objectLow = c - h;
        if (first)
        {
            low = objectLow;
            high = objectHigh;
            first = false;
            continue;
        }
        low.Set(std::fmin(low.x, objectLow.x), std::fmin(low.y, objectLow.y), std::fmin(low.z, objectLow.z));
        high.Set(std::fmax(high.x, objectHigh.x), std::fmax(high.y, objectHigh.y), std::fmax(high.z, objectHigh.z));
    }
    *centre = (high + low) * 0.5f;
    *halfSize = (high - low) * 0.5f;
    return 1;
}

uint32_t CMesh::GetBoundingSphere(CkvrVector3* centre, float* radius) const
{
    if (centre == nullptr || radius == nullptr)
        return 0;
    *centre = CkvrVector3();
    *radius = 0.0f;
    CkvrVector3 sum;
    CkvrVector3 largestCentre;
    float largest = 0.0f;
    uint32_t count = 0;
    for (uint32_t i = 0; i < m_objects.GetCount(); ++i)
    {
        if (m_objects.GetItem(i)->GetVertexList()->GetCount() == 0)
            continue;
        CkvrVector3 c;
        float r = 0.0f;
        if (!m_objects.GetItem(i)->CalcRadius(&c, &r))
            return 0;
        sum = sum + c;
        if (count == 0 || r > largest)
        {
            largest = r;
            largestCentre = c;
        }
        ++count;
    }
    if (count == 0)
        return 1;
    *centre = sum * (1.0f / float(count));
    *radius = (largestCentre - *centre).Length() + largest;
    return 1;
}

template <class Visit>
bool CMesh::VisitBoneVertices(uint32_t bone, Visit visit) const
{
    CModelBone* target = m_bones.GetItem(bone);
    if (target == nullptr)
        return false;
    CList<tag_KVRBONEWEIGHT>* weights = target->GetWeights();
    bool any = false;
    for (uint32_t i = 0; i < weights->GetCount(); ++i)
    {
        const tag_KVRBONEWEIGHT* weight = weights->GetAt(i);
        CModelObject* object = m_objects.GetItem(weight->object);
        const tag_KVRMODELVERTEX* vertex = object != nullptr ? object->GetVertexList()->GetAt(weight->vertex) : nullptr;
        if (vertex == nullptr)
            continue;
        visit(vertex->position);
        any = true;
    }
    return any;
}

uint32_t CMesh::GetBoneBox(CkvrVector3* centre, CkvrVector3* halfSize, uint32_t bone) const
{
    if (centre == nullptr || halfSize == nullptr || bone >= m_bones.GetCount())
        return 0;
    CkvrVector3 low;
    CkvrVector3 high;
    bool first = true;
    // A bone without weighted vertices (always "root") gets an empty box
    // at the origin.
    VisitBoneVertices(bone, [&](const CkvrVector3& p) {
        if (first)
        {
            low = high = p;
            first = false;
            return;
        }
        low.Set(std::fmin(low.x, p.x), std::fmin(low.y, p.y), std::fmin(low.z, p.z));
        high.Set(std::fmax(high.x, p.x), std::fmax(high.y, p.y), std::fmax(high.z, p.z));
    });
    *centre = (high + low) * 0.5f;
    *halfSize = (high - low) * 0.5f;
    return 1;
}

uint32_t CMesh::GetBoneSphere(float* sphere, uint32_t bone) const
{
    if (sphere == nullptr || bone >= m_bones.GetCount())
        return 0;
    double sum[3] = {};
    uint32_t count = 0;
    VisitBoneVertices(bone, [&](const CkvrVector3& p) {
        sum[0] += p.x;
        sum[1] += p.y;
        sum[2] += p.z;
        ++count;
    });
    // A bone without weighted vertices gets a zero sphere at the origin.
    CkvrVector3 centre;
    if (count > 0)
        centre.Set(float(sum[0] / count), float(sum[1] / count), float(sum[2] / count));
    float radius = 0.0f;
    VisitBoneVertices(bone, [&](const CkvrVector3& p) {
        const float d = (p - centre).Length();
        radius = d > radius ? d : radius;
    });
    sphere[0] = centre.x;
    sphere[1] = centre.y;
    sphere[2] = centre.z;
    sphere[3] = radius;
    return 1;
}

uint32_t CMesh::CreateBoneBoxes(float** out) const
{
    if (out == nullptr)
        return 0;
    const uint32_t count = m_bones.GetCount();
    float* boxes = static_cast<float*>(AlignedAlloc(sizeof(float) * 6 * (count > 0 ? count : 1), 16));
    if (boxes == nullptr)
        return 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        CkvrVector3 c;
        CkvrVector3 h;
        GetBoneBox(&c, &h, i);
        const float values[6] = {c.x, c.y, c.z, h.x, h.y, h.z};
        for (int k = 0; k < 6; ++k)
            boxes[i * 6 + k] = values[k];
    }
    *out = boxes;
    return 1;
}

uint32_t CMesh::CreateBoneSpheres(float** out) const
{
    if (out == nullptr)
        return 0;
    const uint32_t count = m_bones.GetCount();
    float* spheres = static_cast<float*>(AlignedAlloc(sizeof(float) * 4 * (count > 0 ? count : 1), 16));
    if (spheres == nullptr)
        return 0;
    for (uint32_t i = 0; i < count; ++i)
        GetBoneSphere(spheres + i * 4, i);
    *out = spheres;
    return 1;
}
